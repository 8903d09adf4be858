// Loading a 100-line variable list and a 100-line event list through the window's buttons
// (the scripted dialog answers with the file at once): reading the Data files and the list,
// checking every line, making the records, the settable subscriptions (every tenth variable
// the simulator lets us write is settable), mapping every event with the simulator and filling
// the grids. Also the rebuild of the read subscription with all 100 variables active, as the
// panel's polls trigger it. The names come from Data/.
#include <benchmark/benchmark.h>

#include "BenchWindow.h"

namespace {

// The texts the load handed over to the window thread are shown between iterations.
void settle(benchmark::State& state) {
    state.PauseTiming();
    QApplication::processEvents();
    state.ResumeTiming();
}

void BM_LoadVariableList100(benchmark::State& state) {
    bench::PanelWindow& w = *bench::shared_window;
    const std::string file = bench::write_list("vars100.txt", bench::variable_lines(100, 10));
    for (auto _ : state) {
        w.load_variables(file);
        settle(state);
    }
    state.counters["variables"] = static_cast<double>(w.form->SimRecs.size());
    state.counters["settable"] = static_cast<double>(w.form->SimRecSet.size());
    if (w.form->SimRecs.size() != 100 || !w.dialogs->messages().empty())
        state.SkipWithError("the list did not load whole and without complaint");
}
BENCHMARK(BM_LoadVariableList100)->Unit(benchmark::kMillisecond);

void BM_LoadEventList100(benchmark::State& state) {
    bench::PanelWindow& w = *bench::shared_window;
    const std::string file = bench::write_list("events100.txt", bench::event_lines(100));
    for (auto _ : state) {
        w.load_events(file);
        settle(state);
    }
    state.counters["events"] = static_cast<double>(w.form->SimEvents.size());
    if (w.form->SimEvents.size() != 100 || !w.dialogs->messages().empty())
        state.SkipWithError("the list did not load whole and without complaint");
}
BENCHMARK(BM_LoadEventList100)->Unit(benchmark::kMillisecond);

void BM_RenewReadSubscription100(benchmark::State& state) {
    bench::PanelWindow& w = *bench::shared_window;
    w.load_variables(bench::write_list("vars100.txt", bench::variable_lines(100)));
    for (const auto& r : *w.form->SimRecs.snapshot())
        r->active = true;
    for (auto _ : state) {
        w.form->update_SimVarGetsubscription();
        settle(state);
    }
    state.counters["subscribed"] = static_cast<double>(simlink::testing::sim_definition_size(0));
    if (simlink::testing::sim_definition_size(0) != 100)
        state.SkipWithError("the definition does not hold all 100 variables");
}
BENCHMARK(BM_RenewReadSubscription100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::run_with_window(argc, argv);
}
