#pragma once
// The status fields show a word in a colour of its own: "CONNECTED" green, "OFFLINE" red, ...

#include <QColor>
#include <QLineEdit>
#include <QPalette>

inline void show_status(QLineEdit* box, const char* text, const QColor& colour) {
    box->setText(text);
    QPalette p = box->palette();
    p.setColor(QPalette::Text, colour);
    box->setPalette(p);
}
