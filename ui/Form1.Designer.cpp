// Placeholder until the layout lands: only what construction and first show touch.
#include <QLineEdit>

#include "app/Form1.h"

void Form1::InitializeComponent() {
    textBox2 = new QLineEdit(this);
    textBox3 = new QLineEdit(this);
    textBox9 = new QLineEdit(this);
    timer1 = new QTimer(this);
    timer2 = new QTimer(this);
    timer3 = new QTimer(this);
}
