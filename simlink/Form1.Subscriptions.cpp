// The read subscription (definition 0, request 0) and the settable definitions (50 + def_ID).
#include <QLineEdit>
#include <QPalette>
#include <string>

#include "app/Console.h"
#include "app/Form1.h"
#include "simlink/Session.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimVarSet.h"
#include "ui/StatusText.h"

namespace {

constexpr DWORD kReadDefinition = 0;
constexpr DWORD kReadRequest = 0;
constexpr DWORD kSettableBase = 50;

}  // namespace

void Form1::clearsubGet() {
    SimConnect_RequestDataOnSimObject(hSimConnect, kReadRequest, kReadDefinition,
                                      SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_NEVER,
                                      SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 0, 0, 0);
    SimConnect_ClearDataDefinition(hSimConnect, kReadDefinition);
}

int16_t Form1::resubGet() {
    const auto recs = SimRecs.snapshot();
    if (recs->empty())
        return 0;
    // Slots of earlier subscriptions stop belonging to anybody: a record left out of this one
    // reads 0 rather than the value of whichever record now holds its old slot.
    SimConnectVars::begin_subscription();
    int16_t k = 0;
    for (const auto& r : *recs) {
        if (!r->active)
            continue;
        r->reset();
        r->set_data_buffer(k);
        ++k;
        SimConnect_AddToDataDefinition(hSimConnect, static_cast<DWORD>(r->def_ID),
                                       r->SimVar.c_str(), r->SimUnit.c_str(),
                                       SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
        console::write("ADDED DATA DEFINITION: ", r->SimVar);
    }
    const HRESULT hr = SimConnect_RequestDataOnSimObject(
        hSimConnect, kReadRequest, kReadDefinition, SIMCONNECT_OBJECT_ID_USER,
        SIMCONNECT_PERIOD_SIM_FRAME, SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 0, 0, 0);
    return hr == S_OK ? k : 0;
}

void Form1::update_SimVarGetsubscription() {
    // Runs on the window thread (ReSubscribe) or the receive thread (panel polls); one rebuild
    // at a time, so that the definition, the slots and buffer_counter come from one rebuild.
    std::lock_guard<std::mutex> rebuild(subscription_mutex_);
    if (!connected)
        return;
    const auto list = SimRecs.snapshot();
    if (list->empty())
        return;
    clearsubGet();
    const int16_t n = resubGet();
    if (n == 0)
        return;
    resubscribe = 0;
    const std::string count = console::text(n) + "/" + console::text(list->size());
    on_window_thread([this, list, count] {
        show_status(textBox3, "SUBSCRIBED", Qt::green);
        // A list loaded meanwhile has written its own count, which must stay.
        if (SimRecs.snapshot() == list)
            textBox1->setText(QString::fromStdString(count));
    });
}

void Form1::button3_Click() {
    if (!connected)
        return;
    update_SimVarGetsubscription();
    update_SimVarSetsubscription();
}

void Form1::clearsubSet() {
    const auto set = SimRecSet.snapshot();
    console::write("SIMRECSET size ", set->size());
    for (const auto& r : *set)
        SimConnect_ClearDataDefinition(hSimConnect, static_cast<DWORD>(r->def_ID) + kSettableBase);
}

int16_t Form1::resubSet() {
    const auto set = SimRecSet.snapshot();
    if (set->empty())
        return 0;
    bool failed = false;
    for (const auto& r : *set) {
        const HRESULT hr = SimConnect_AddToDataDefinition(
            hSimConnect, static_cast<DWORD>(r->def_ID) + kSettableBase, r->SimVar.c_str(),
            r->SimUnit.c_str(), SIMCONNECT_DATATYPE_FLOAT32, 0.0f, SIMCONNECT_UNUSED);
        if (hr == E_FAIL) {
            console::write("SimVarSet FAILED a subscription");
            console::write("FAILED at id: ", r->def_ID, " -> ", r->SimVar);
            failed = true;
        } else {
            console::write("SimVarSet SUCCEEDED in subscription");
            console::write("SUCCEEDED at id: ", r->def_ID, " -> ", r->SimVar);
        }
    }
    return failed ? 0 : static_cast<int16_t>(set->size());
}

void Form1::update_SimVarSetsubscription() {
    const size_t total = SimRecSet.size();
    if (total == 0)
        return;
    clearsubSet();
    const int16_t n = resubSet();
    if (n == 0)
        return;
    const std::string count = console::text(n) + "/" + console::text(total);
    on_window_thread([this, count] { textBox7->setText(QString::fromStdString(count)); });
}
