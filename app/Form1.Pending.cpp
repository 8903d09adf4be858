// Handlers whose subsystems have not landed yet. Each subsystem removes its entries here as it
// defines them beside its own code; this file goes away when it is empty.
#include "app/Form1.h"

void Form1::clearsubGet() {}
int16_t Form1::resubGet() { return {}; }
void Form1::update_SimVarGetsubscription() {}
void Form1::button3_Click() {}
void Form1::clearsubSet() {}
int16_t Form1::resubSet() { return {}; }
void Form1::update_SimVarSetsubscription() {}
void Form1::button4_Click() {}
void Form1::button5_Click() {}
void Form1::button7_Click() {}
void Form1::button9_Click() {}
void Form1::button11_Click() {}
void Form1::load_SimRecs() {}
void Form1::load_SimRecs_Settable() {}
void Form1::load_SimEvents() {}
void Form1::load_SimEvents_Settable() {}
void Form1::load_SimSounds() {}
void Form1::load_SimRadio() {}
void Form1::load_SimVoices() {}
void Form1::update_datagrid() {}
void Form1::timer1_Tick_1() {}
void Form1::button1_Click() {}
void Form1::button2_Click() {}
void Form1::dataGridView1_CellContentClick(int, int) {}
void Form1::dataGridView2_CellContentClick(int, int) {}
void Form1::dataGridView7_CellContentClick_1(int, int) {}
void Form1::dataGridView14_CellContentClick_1(int, int) {}
void Form1::dataGridView16_CellContentClick(int, int) {}
void Form1::dataGridView17_CellContentClick(int, int) {}
void Form1::dataGridView18_CellContentClick(int, int) {}
void Form1::dataGridView20_CellContentClick_1(int, int) {}
void Form1::dataGridView23_CellContentClick(int, int) {}
void Form1::dataGridView8_CellContentClick_1(int, int) {}
void Form1::dataGridView9_CellContentClick(int, int) {}
void Form1::dataGridView10_CellContentClick(int, int) {}
void Form1::dataGridView11_CellContentClick(int, int) {}
void Form1::dataGridView12_CellContentClick(int, int) {}
void Form1::dataGridView13_CellContentClick(int, int) {}
void Form1::dataGridView15_CellContentClick(int, int) {}
void Form1::dataGridView19_CellContentClick(int, int) {}
void Form1::dataGridView21_CellContentClick(int, int) {}
void Form1::dataGridView22_CellContentClick(int, int) {}
void Form1::list_voices() {}
void Form1::button8_Click() {}
void Form1::comboBox2_SelectedIndexChanged() {}
void Form1::timer3_Tick() {}
void Form1::list_com_ports() {}
void Form1::button6_Click() {}
void Form1::comboBox1_SelectedIndexChanged() {}
void Form1::button10_Click() {}
void Form1::serialPort1_DataReceived() {}
ArgumentType Form1::retrieve_id(uint8_t) { return {}; }
ArgumentType2 Form1::retrieve_value(uint8_t) { return {}; }
void Form1::backgroundWorker1_DoWork(ArgumentType) {}
void Form1::backgroundWorker2_DoWork(std::shared_ptr<ArgumentType2>) {}
void Form1::backgroundWorker3_DoWork(std::shared_ptr<ArgumentType2>) {}
void Form1::backgroundWorker4_DoWork(ArgumentType) {}
