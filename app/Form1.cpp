#include "app/Form1.h"

#include <QApplication>
#include <QLineEdit>
#include <QThread>
#include <exception>

#include "app/Console.h"
#include "app/WindowNotifier.h"
#include "simlink/Dispatch.h"
#include "simlink/Session.h"
#include "ui/StatusText.h"

namespace {

// Runs one step of disposal; a failing step does not keep the later ones from running.
template <typename Step>
void dispose_step(const char* what, Step step) {
    try {
        step();
    } catch (const std::exception& e) {
        console::write("Dispose: ", what, " failed: ", e.what());
    }
}

}  // namespace

Form1::Form1() {
    // The state fields took their initial values above, in table order, and the base window
    // was built. There is no separate console to open: diagnostics go to standard output.
    try {
        InitializeComponent();
        WindowNotifier::instance().attach(this);
        windowhandle = &WindowNotifier::instance();
        connect(qApp, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState s) {
                    WndProc(WM_ACTIVATEAPP, s == Qt::ApplicationActive);
                });
        if (SimConnect_Open(&hSimConnect, kClientName, windowhandle, WM_USER_SIMCONNECT, nullptr,
                            0) == S_OK)
            connected = true;
        list_com_ports();
    } catch (...) {
        Dispose(true);
        throw;
    }
}

Form1::~Form1() {
    Dispose(true);
}

void Form1::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!loaded_) {
        loaded_ = true;
        Form1_Load();
    }
}

void Form1::Form1_Load() {
    if (connected)
        show_status(textBox2, "CONNECTED", Qt::green);
    else
        show_status(textBox2, "OFFLINE", Qt::red);
    show_status(textBox3, "IDLE", Qt::red);
    show_status(textBox9, "0.81", Qt::blue);
    timer1->stop();
    timer3->start();
}

bool Form1::event(QEvent* e) {
    if (e->type() == WindowNotifier::eventType()) {
        WndProc(static_cast<SimMessageEvent*>(e)->message, 0);
        return true;
    }
    return QWidget::event(e);
}

void Form1::WndProc(DWORD message, uintptr_t wParam) {
    if (message == WM_ACTIVATEAPP) {
        appActive = wParam != 0;
        update();
    } else if (message == WM_USER_SIMCONNECT) {
        SimConnect_CallDispatch(hSimConnect, MyDispatchProcRD, nullptr);
    }
}

void Form1::timer2_Tick() {
    if (connected) {
        timer2->stop();
        return;
    }
    if (SimConnect_Open(&hSimConnect, kClientName, windowhandle, WM_USER_SIMCONNECT, nullptr, 0) ==
        S_OK)
        connected = true;
}

void Form1::on_window_thread(std::function<void()> f) {
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void Form1::Dispose(bool disposing) {
    if (disposed_)
        return;
    disposed_ = true;
    if (disposing) {
        // The component container: the timers stop, the port closes, the workers finish.
        dispose_step("notification", [] { WindowNotifier::instance().detach(); });
        dispose_step("timers", [this] {
            for (QTimer* t : {timer1, timer2, timer3})
                if (t)
                    t->stop();
        });
        dispose_step("serial port", [this] {
            if (serialPort1)
                serialPort1->Close();
            serialPort1.reset();
        });
        dispose_step("workers", [this] {
            backgroundWorker1.reset();
            backgroundWorker2.reset();
            backgroundWorker3.reset();
            backgroundWorker4.reset();
        });
    }
    // The base window's own disposal happens in ~QWidget.
    if (disposing) {
        dispose_step("SimRadioStations", [this] { SimRadioStations.clear(); });
        dispose_step("SimSoundFiles", [this] { SimSoundFiles.clear(); });
        dispose_step("SimEvents", [this] { SimEvents.clear(); });
        dispose_step("SimVoice", [this] { SimVoice.clear(); });
        dispose_step("SimRecSet", [this] { SimRecSet.clear(); });
        dispose_step("SimRecs", [this] { SimRecs.clear(); });
    }
}
