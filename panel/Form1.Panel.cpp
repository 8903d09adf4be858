// The panel link of the window: port listing and selection, the receive handler that reads one
// command byte per notification, the handshakes and the four workers.
#include <QComboBox>
#include <chrono>
#include <exception>
#include <optional>
#include <thread>

#include "app/Console.h"
#include "app/Form1.h"
#include "media/SimRadio.h"
#include "media/SimSound.h"
#include "media/SimSpeak.h"
#include "panel/PanelLink.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"

namespace {
constexpr int kPanelTimeoutMs = 400;
constexpr auto kReopenPause = std::chrono::milliseconds(1000);
}  // namespace

// ---- port management (window thread) ----

int Form1::selected_port_index() const {
    return comboBox1->currentIndex();
}

void Form1::list_com_ports() {
    ComPortNames = SerialPort::GetPortNames();
    const auto& names = *ComPortNames;
    {
        // Emptying and refilling the selector is not a selection change.
        QSignalBlocker quiet(comboBox1);
        comboBox1->clear();
        for (const auto& n : names)
            comboBox1->addItem(QString::fromStdString(n));
        comboBox1->setCurrentIndex(-1);
    }
    if (names.empty())
        return;
    // Selecting the first entry runs the selection handler once, which opens the port.
    comboBox1->setCurrentIndex(0);
}

void Form1::button6_Click() {
    list_com_ports();
}

void Form1::comboBox1_SelectedIndexChanged() {
    SerialPort& port = *panel_port_;
    port.Close();
    std::this_thread::sleep_for(kReopenPause);
    const int index = selected_port_index();
    if (index < 0 || !ComPortNames || index >= static_cast<int>(ComPortNames->size()))
        return;
    port.PortName = (*ComPortNames)[static_cast<size_t>(index)];
    console::write("OPENING PORT");
    try {
        port.Open();
        port.DiscardInBuffer();
        port.DiscardOutBuffer();
    } catch (const std::exception& e) {
        port.Close();
        console::write("Serial Port Access denied for first enumerated port");
        console::write(e.what());
    }
}

void Form1::button10_Click() {
    SerialPort& port = *panel_port_;
    try {
        port.DiscardInBuffer();
        port.DiscardOutBuffer();
        port.Close();
        const int index = selected_port_index();
        if (index < 0 || !ComPortNames || index >= static_cast<int>(ComPortNames->size()))
            throw SerialError("no port selected");
        port.PortName = (*ComPortNames)[static_cast<size_t>(index)];
    } catch (const std::exception&) {
        console::write("Exception: Tried to close a closed serial port");
    }
    console::write("CLOSING PORT");
}

// ---- receive handler (receive thread) ----

void Form1::serialPort1_DataReceived() {
    SerialPort& serial = *panel_port_;
    if (!serial.IsOpen())
        return;
    serial.ReadTimeout = kPanelTimeoutMs;
    serial.WriteTimeout = kPanelTimeoutMs;
    panel::SerialBytePort port(serial);
    panel_command(port, panel::system_clock());
}

void Form1::panel_command(panel::BytePort& port, panel::Clock& clock) {
    int n;
    try {
        n = port.BytesToRead();
    } catch (const std::exception&) {
        return;  // closed since the test above
    }
    if (n == 0)
        return;
    uint8_t c;
    try {
        // More than two bytes pending means the panel and the system are out of step: drop
        // them and wait for a fresh command byte.
        if (n > 2)
            port.DiscardInBuffer();
        c = static_cast<uint8_t>(port.ReadByte());
    } catch (const std::exception&) {
        console::write("Exception in ReadByte");
        return;
    }

    // The id commands write their line, then run the id handshake; a handshake that could not
    // finish ends the command without effect.
    auto id_command = [&](const char* line) -> std::optional<ArgumentType> {
        console::write(line);
        try {
            return retrieve_id(port, c);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    };

    if (c == 254) {
        const auto got = id_command("SimRadio");
        if (!got)
            return;
        ArgumentType a = *got;
        auto stations = SimRadioStations.snapshot();
        const int n = static_cast<int>(stations->size());
        auto play = [&](uint8_t k) {
            if (k < n)
                (*stations)[k]->Play();
        };
        switch (a.id) {
            case 200:
                SimRadio::Stop();
                break;
            case 201: {
                SimRadio_Current = panel::radio_next(SimRadio_Current, n);
                play(SimRadio_Current);
                break;
            }
            case 202: {
                SimRadio_Current = panel::radio_previous(SimRadio_Current, n);
                play(SimRadio_Current);
                break;
            }
            case 203:
                SimRadio_Scanning = true;
                console::write("Scanning Stations started");
                break;
            case 204:
                SimRadio_Scanning = false;
                console::write("Scanning Stations stopped");
                break;
            case 205: {
                console::write("Volume UP");
                SimRadio::VolumeUp();
                const uint8_t cur = SimRadio_Current;
                if (SimRadio::getvolume() > 10 && !SimRadio::playing && cur < n) {
                    play(cur);
                    console::write("Starting Radio------------------------");
                }
                break;
            }
            case 206:
                SimRadio::VolumeDown();
                console::write("Volume DOWN");
                if (SimRadio::getvolume() < 10 && SimRadio::playing && n > 0) {
                    SimRadio::Stop();
                    console::write("Stopping Radio-------------------------");
                    SimRadio::setvolume(100);
                }
                break;
            case 207: {
                const uint8_t cur = SimRadio_Current;
                if (cur < n) {
                    play(cur);
                    console::write("Play Current Song");
                }
                break;
            }
            default:
                break;
        }
        if (a.id < n) {
            play(a.id);
            SimRadio_Current = a.id;
        }
        return;
    }

    if (c == 253) {
        const auto got = id_command("SimSound Control");
        if (!got)
            return;
        ArgumentType a = *got;
        switch (a.id) {
            case 200:
                SimSound::Stop();
                console::write("SimSound Stop");
                break;
            case 201:
                SimSound::VolumeUp();
                break;
            case 202:
                SimSound::VolumeDown();
                break;
            case 203:
                SimSound::setvolume(25);
                break;
            case 204:
                SimSound::setvolume(50);
                break;
            case 205:
                SimSound::setvolume(75);
                break;
            case 206:
                SimSound::setvolume(100);
                break;
            default:
                break;
        }
        return;
    }

    if (c == 252) {
        const auto got = id_command("SimVoice");
        if (!got)
            return;
        ArgumentType a = *got;
        switch (a.id) {
            case 200:
                SimSpeak::Volume_Up();
                break;
            case 201:
                SimSpeak::Volume_Down();
                break;
            case 202:
                SimSpeak::Volume_25();
                break;
            case 203:
                SimSpeak::Volume_50();
                break;
            case 204:
                SimSpeak::Volume_75();
                break;
            case 205:
                SimSpeak::Volume_100();
                break;
            default:
                if (a.id < SimVoice.size()) {
                    a.val = 0;
                    // Two workers, so a phrase can start while another is still spoken.
                    if (!backgroundWorker1->IsBusy())
                        backgroundWorker1->RunWorkerAsync(
                            [this, a] { backgroundWorker1_DoWork(a); });
                    else if (!backgroundWorker4->IsBusy())
                        backgroundWorker4->RunWorkerAsync(
                            [this, a] { backgroundWorker4_DoWork(a); });
                } else {
                    console::write("SimVoice id out of range");
                }
                break;
        }
        return;
    }

    if (c == 251 || c == 250) {
        const bool set = c == 250;
        console::write(set ? "SimVarSet" : "SimEventSet");
        auto request = std::make_shared<ArgumentType2>(retrieve_value(port, clock, c));
        if (!request->handle) {
            if (set)
                console::write("SimVarset Retrieve value failed for SimVarSet: ", request->id);
            else
                console::write("SimEventset Retrieve value failed for SimEventSet: ", request->id);
            return;
        }
        if (set) {
            if (request->id >= SimRecSet.size())
                return;
            if (!backgroundWorker2->IsBusy())
                backgroundWorker2->RunWorkerAsync(
                    [this, request] { backgroundWorker2_DoWork(request); });
        } else {
            if (request->id >= SimEvents.size())
                return;
            if (!backgroundWorker3->IsBusy())
                backgroundWorker3->RunWorkerAsync(
                    [this, request] { backgroundWorker3_DoWork(request); });
        }
        return;
    }

    if (c >= 200 && c <= 249) {  // play a sound
        const uint8_t k = c - 200;
        if (auto sound = SimSoundFiles.at(k)) {
            console::write("SimSound");
            sound->Play();
        } else {
            console::write("SimSound id out of range");
        }
        return;
    }

    if (c >= 100 && c <= 199) {  // fire an event without a parameter
        const uint8_t k = c - 100;
        if (k >= SimEvents.size())
            return;
        console::write("SimEvent ", k);
        auto request = std::make_shared<ArgumentType2>();
        request->id = k;
        if (!backgroundWorker3->IsBusy())
            backgroundWorker3->RunWorkerAsync(
                [this, request] { backgroundWorker3_DoWork(request); });
        return;
    }

    if (c > 99)
        return;  // 255: nothing at all

    // Variable poll; the reply goes out before any renewal work.
    uint16_t word = 0;
    if (auto r = SimRecs.at(c)) {
        if (!r->active.exchange(true))
            resubscribe.fetch_add(1);
        word = r->get_data();
    }
    const auto reply = panel::poll_reply(c, word);
    try {
        port.Write(reply.data(), static_cast<int>(reply.size()));
    } catch (const std::exception&) {
        console::write("Sending data on the serialport failed.");
    }
    panel::throttle(resubscribe, oldsubscribe, startup, [this, &port] {
        update_SimVarGetsubscription();
        try {
            // polls sent during the renewal stay unanswered; a port closed meanwhile refuses
            port.DiscardInBuffer();
        } catch (const std::exception&) {
        }
    });
}

// ---- handshakes (receive thread) ----

ArgumentType Form1::retrieve_id(panel::BytePort& port, uint8_t c) {
    return panel::id_handshake(port, c);
}

ArgumentType2 Form1::retrieve_value(panel::BytePort& port, panel::Clock& clock, uint8_t c) {
    return panel::parameter_handshake(port, clock, c);
}

// ---- workers: each looks its record up when it runs; a list reloaded meanwhile may no longer
// hold the position, and the job then ends without effect ----

void Form1::backgroundWorker1_DoWork(ArgumentType request) {
    if (auto phrase = SimVoice.at(request.id))
        phrase->speak();
}

void Form1::backgroundWorker4_DoWork(ArgumentType request) {
    if (auto phrase = SimVoice.at(request.id))
        phrase->speak();
}

void Form1::backgroundWorker2_DoWork(std::shared_ptr<ArgumentType2> request) {
    if (!request || !request->handle)
        return;
    if (auto var = SimRecSet.at(request->id))
        var->fire(request->handle.get(), request->size);
}

void Form1::backgroundWorker3_DoWork(std::shared_ptr<ArgumentType2> request) {
    if (!request)
        return;
    auto event = SimEvents.at(request->id);
    if (!event)
        return;
    if (request->handle)
        event->fire(request->handle.get(), request->size);
    else
        event->fire(0.0f);
}
