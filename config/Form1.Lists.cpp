// The "Load SimVars" and "Load Simevents" buttons: wiring over the list planners.
#include <QLineEdit>
#include <QString>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "app/Console.h"
#include "app/Form1.h"
#include "config/EventList.h"
#include "config/TextFile.h"
#include "config/VariableList.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"

namespace {

struct ListInputs {
    std::array<std::string, 7> categories;
    std::string types;  // units or parameter types
    std::vector<std::string> lines;
};

// Reads the seven category files in order, then the type file, then the chosen list. On the
// first file that cannot be read it stops and leaves the message naming it in `failed`.
std::optional<ListInputs> read_inputs(const std::array<const char*, 7>& category_files,
                                      const char* type_file, const std::string& list_file,
                                      std::string& failed) {
    const std::filesystem::path dir = current_directory();
    ListInputs in;
    for (size_t k = 0; k < category_files.size(); ++k) {
        const std::string path = (dir / category_files[k]).string();
        std::string why;
        auto text = config::read_all_text(path, &why);
        if (!text) {
            failed = config::cannot_read_message(path, why);
            return std::nullopt;
        }
        in.categories[k] = std::move(*text);
    }
    const std::string path = (dir / type_file).string();
    std::string why;
    auto types = config::read_all_text(path, &why);
    if (!types) {
        failed = config::cannot_read_message(path, why);
        return std::nullopt;
    }
    in.types = std::move(*types);
    auto lines = config::read_all_lines(list_file, &why);
    if (!lines) {
        failed = config::cannot_read_message(list_file, why);
        return std::nullopt;
    }
    in.lines = std::move(*lines);
    return in;
}

// Writes the console lines and shows the message boxes of a load in line order, and hands the
// steps that make records to `make`, so that all of them interleave as the lines ask.
template <typename Step, typename Make>
void carry_out(const std::vector<Step>& steps, Dialogs& dialogs, Make make) {
    for (const Step& step : steps) {
        if (auto* c = std::get_if<config::ConsoleLine>(&step))
            console::line(c->text);
        else if (auto* m = std::get_if<config::MessageBoxShown>(&step))
            dialogs.MessageBox(m->text, m->caption);
        else
            make(step);
    }
}

}  // namespace

void Form1::button4_Click() {
    set_up_list_dialog(openFileDialog1);
    if (dialogs->ShowDialog(openFileDialog1) != DialogResult::OK)
        return;

    // Readers hold snapshots, so publishing the empty lists here is all the receive thread and
    // the workers see of the reload until the new lists are published at the end.
    {
        // A rebuild of the read subscription on the receive thread between clearing it and
        // emptying the list would subscribe the old records again.
        std::lock_guard<std::mutex> rebuild(subscription_mutex_);
        clearsubGet();
        SimRecs.clear();
        SimConnectVars::clear();
    }
    startup = 1;
    clearsubSet();
    SimRecSet.clear();
    SimVarSet::clear();

    std::string failed;
    auto in = read_inputs(config::kVariableCategoryFiles, config::kVariableUnitsFile,
                          openFileDialog1.FileName, failed);
    if (!in) {
        report_failure(*dialogs, failed, "Error in SimVar file");
        // The lists stay empty; the grids and counts must not go on showing the old ones.
        load_SimRecs();
        load_SimRecs_Settable();
        textBox1->setText(QStringLiteral("0/%1").arg(SimRecs.size()));
        textBox7->setText(QString::number(SimRecSet.size()));
        return;
    }

    SharedList<SimConnectVars>::Records recs;
    SharedList<SimVarSet>::Records sets;
    carry_out(config::plan_variable_list(in->categories, in->types, in->lines), *dialogs,
              [&](const config::VariableStep& step) {
                  if (auto* r = std::get_if<config::ReadableVariable>(&step))
                      recs.push_back(
                          std::make_shared<SimConnectVars>(r->SimVar, r->SimUnit, r->var_type));
                  else if (auto* s = std::get_if<config::SettableVariable>(&step))
                      sets.push_back(std::make_shared<SimVarSet>(s->line, s->SimVar, s->SimUnit));
              });
    const size_t readable = recs.size(), settable = sets.size();
    SimRecs.publish(std::move(recs));
    SimRecSet.publish(std::move(sets));

    load_SimRecs();
    console::write("SimVars size ", readable);
    update_SimVarSetsubscription();
    load_SimRecs_Settable();
    textBox1->setText(QStringLiteral("0/%1").arg(readable));
    textBox7->setText(QString::number(settable));
}

void Form1::button5_Click() {
    set_up_list_dialog(openFileDialog2);
    if (dialogs->ShowDialog(openFileDialog2) == DialogResult::OK) {
        SimEvents.clear();
        SimEventRequest::clear();

        std::string failed;
        auto in = read_inputs(config::kEventCategoryFiles, config::kEventParamsFile,
                              openFileDialog2.FileName, failed);
        if (!in) {
            report_failure(*dialogs, failed, "Error in SimEvents file");
            // The list stays empty; the grids and the parameter count follow it.
            load_SimEvents();
            textBox8->setText(QStringLiteral("0"));
        } else {
            SharedList<SimEventRequest>::Records events;
            carry_out(config::plan_event_list(in->categories, in->types, in->lines), *dialogs,
                      [&](const config::EventStep& step) {
                          auto* e = std::get_if<config::EventRecord>(&step);
                          if (!e)
                              return;
                          // Each constructor maps its event with the simulator at once, in line
                          // order.
                          events.push_back(e->param_type ? std::make_shared<SimEventRequest>(
                                                               e->SimEvent, *e->param_type,
                                                               e->ev_ID, e->var_type)
                                                         : std::make_shared<SimEventRequest>(
                                                               e->SimEvent, e->ev_ID, e->var_type));
                      });
            const size_t count = events.size();
            SimEvents.publish(std::move(events));
            load_SimEvents();
            console::write("Simevents size ", count);
        }
    }
    textBox5->setText(QString::number(SimEvents.size()));
}
