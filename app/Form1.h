#pragma once
// The main window. It owns all application state; its handlers stay wiring and call into the
// small pieces of the subsystems. The methods are defined beside the subsystem they serve:
//   app/Form1.cpp                 construction, first show, message hook, disposal
//   ui/Form1.Designer.cpp         InitializeComponent
//   ui/Form1.Grids.cpp            grid population and live refresh
//   ui/Form1.Actions.cpp          grid actions
//   simlink/Form1.Subscriptions.cpp  read and settable subscriptions
//   config/Form1.Lists.cpp        variable and event list loading
//   media/Form1.Media.cpp         station, phrase and sound lists, voices, station scan
//   panel/Form1.Panel.cpp         serial port, command dispatcher, handshakes, workers

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/SharedList.h"
#include "panel/BackgroundWorker.h"
#include "panel/Requests.h"
#include "panel/SerialPort.h"
#include "simlink/SimConnect.h"
#include "ui/Dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class DataGridView;
class DataTable;
class SimConnectVars;
class SimVarSet;
class SimEventRequest;
class SimSpeak;
class SimSound;
class SimRadio;
namespace panel {
class BytePort;
class Clock;
}  // namespace panel

class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1();
    ~Form1() override;

    // ---- window state, in the order construction sets it ----
    std::atomic<bool> appActive{true};
    std::atomic<int32_t> resubscribe{0};
    std::atomic<int32_t> oldsubscribe{0};
    std::atomic<uint8_t> startup{1};
    std::atomic<bool> connected{false};
    SharedList<SimConnectVars> SimRecs;
    SharedList<SimVarSet> SimRecSet;
    SharedList<SimSpeak> SimVoice;
    SharedList<SimEventRequest> SimEvents;
    SharedList<SimSound> SimSoundFiles;
    SharedList<SimRadio> SimRadioStations;
    std::atomic<uint8_t> SimRadio_Current{0};
    std::atomic<bool> SimRadio_Scanning{false};
    std::optional<std::vector<std::string>> ComPortNames;
    std::optional<std::vector<std::string>> VoiceNames;

    // ---- application shell ----
    void Form1_Load();
    void WndProc(DWORD message, uintptr_t wParam);
    void Dispose(bool disposing);
    void timer2_Tick();

    // ---- layout ----
    void InitializeComponent();

    // ---- read and settable subscriptions ----
    void clearsubGet();
    int16_t resubGet();
    void update_SimVarGetsubscription();
    void button3_Click();
    void clearsubSet();
    int16_t resubSet();
    void update_SimVarSetsubscription();

    // ---- list loading ----
    void button4_Click();
    void button5_Click();
    void button7_Click();
    void button9_Click();
    void button11_Click();

    // ---- grid population and live refresh ----
    void load_SimRecs();
    void load_SimRecs_Settable();
    void load_SimEvents();
    void load_SimEvents_Settable();
    void load_SimSounds();
    void load_SimRadio();
    void load_SimVoices();
    void update_datagrid();
    void timer1_Tick_1();
    void button1_Click();
    void button2_Click();

    // ---- grid actions: column index and row index as shown ----
    void dataGridView1_CellContentClick(int column, int row);
    void dataGridView2_CellContentClick(int column, int row);
    void dataGridView7_CellContentClick_1(int column, int row);
    void dataGridView14_CellContentClick_1(int column, int row);
    void dataGridView16_CellContentClick(int column, int row);
    void dataGridView17_CellContentClick(int column, int row);
    void dataGridView18_CellContentClick(int column, int row);
    void dataGridView20_CellContentClick_1(int column, int row);
    void dataGridView23_CellContentClick(int column, int row);
    void dataGridView8_CellContentClick_1(int column, int row);
    void dataGridView9_CellContentClick(int column, int row);
    void dataGridView10_CellContentClick(int column, int row);
    void dataGridView11_CellContentClick(int column, int row);
    void dataGridView12_CellContentClick(int column, int row);
    void dataGridView13_CellContentClick(int column, int row);
    void dataGridView15_CellContentClick(int column, int row);
    void dataGridView19_CellContentClick(int column, int row);
    void dataGridView21_CellContentClick(int column, int row);
    void dataGridView22_CellContentClick(int column, int row);

    // ---- media ----
    void list_voices();
    void button8_Click();
    void comboBox2_SelectedIndexChanged();
    void timer3_Tick();

    // ---- panel link ----
    void list_com_ports();
    void button6_Click();
    void comboBox1_SelectedIndexChanged();
    void button10_Click();
    void serialPort1_DataReceived();
    // One command from the panel over any byte port and clock; serialPort1_DataReceived runs it
    // over the real port and the system clock.
    void panel_command(panel::BytePort& port, panel::Clock& clock);
    ArgumentType retrieve_id(panel::BytePort& port, uint8_t c);
    ArgumentType2 retrieve_value(panel::BytePort& port, panel::Clock& clock, uint8_t c);
    // The port the receive handler and the handshakes use. Set once when the port is made,
    // before any notification, so the receive thread never reads serialPort1 itself while
    // disposal resets it.
    SerialPort* panel_port_ = nullptr;
    int selected_port_index() const;
    void backgroundWorker1_DoWork(ArgumentType request);
    void backgroundWorker2_DoWork(std::shared_ptr<ArgumentType2> request);
    void backgroundWorker3_DoWork(std::shared_ptr<ArgumentType2> request);
    void backgroundWorker4_DoWork(ArgumentType request);

    // Runs f on the window thread: at once when called there, queued otherwise. Texts that
    // another thread wants shown travel this way.
    void on_window_thread(std::function<void()> f);

    // ---- controls ----
    QLabel *label9, *label1, *label2, *label5, *label7, *Settable, *label6, *label4;
    QLineEdit *textBox1, *textBox2, *textBox3, *textBox4, *textBox5, *textBox6, *textBox7,
        *textBox8, *textBox9, *textBox10, *textBox11;
    QPushButton *button1, *button2, *button3, *button4, *button5, *button6, *button7, *button8,
        *button9, *button10, *button11;
    QComboBox *comboBox1, *comboBox2;
    QTabWidget *tabControl1, *EventsTab;
    QWidget *tabPage1, *tabPage2, *tabPage3, *tabPage4, *tabPage5, *tabPage6, *tabPage16,
        *tabPage15, *tabPage19;
    QWidget *tabPage7, *tabPage8, *tabPage9, *tabPage10, *tabPage11, *tabPage12, *tabPage14,
        *tabPage13, *tabPage17, *tabPage18;
    DataGridView *dataGridView1, *dataGridView2, *dataGridView7, *dataGridView14, *dataGridView16,
        *dataGridView17, *dataGridView18, *dataGridView20, *dataGridView23;
    DataGridView *dataGridView8, *dataGridView9, *dataGridView10, *dataGridView11, *dataGridView12,
        *dataGridView13, *dataGridView15, *dataGridView19, *dataGridView21, *dataGridView22;
    DataTable *dataTable1, *dataTable2, *dataTable3, *dataTable4, *dataTable5, *dataTable6,
        *dataTable7, *dataTable8, *dataTable9, *dataTable10, *dataTable11, *dataTable12,
        *dataTable13, *dataTable14, *dataTable15, *dataTable16, *dataTable17, *dataTable18,
        *dataTable19;

    QTimer *timer1, *timer2, *timer3;
    std::unique_ptr<SerialPort> serialPort1;
    std::unique_ptr<BackgroundWorker> backgroundWorker1, backgroundWorker2, backgroundWorker3,
        backgroundWorker4;
    OpenFileDialog openFileDialog1, openFileDialog2, openFileDialog3;
    FolderBrowserDialog folderBrowserDialog1;
    // The real Qt dialogs; tests put a scripted double here.
    std::unique_ptr<Dialogs> dialogs;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // Two rebuilds of the read subscription never interleave.
    std::mutex subscription_mutex_;
    bool loaded_ = false;
    bool disposed_ = false;
};
