#pragma once
// What the window benchmarks share: the real window with the embedded simulator and its port
// open on a virtual panel, lists written from the names under Data/ and loaded through the
// buttons, a panel thread that runs while the window thread runs its event loop, and
// percentiles.

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "app/Console.h"
#include "app/Form1.h"
#include "config/EventList.h"
#include "config/TextFile.h"
#include "config/VariableList.h"
#include "panel/PortList.h"
#include "simlink/Aircraft.h"
#include "simlink/SimConnectVars.h"
#include "simlink/testing/SimTestHooks.h"
#include "tests/ui/ScriptedDialogs.h"
#include "tools/panel/VirtualPort.h"

namespace bench {

namespace fs = std::filesystem;

// A scratch folder of this process, removed by the caller when done.
inline fs::path scratch_dir() {
    static const fs::path d = [] {
        auto p = fs::temp_directory_path() / ("tarnwell-bench-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return d;
}

// The loaders read Data/ relative to the current directory: run from the source tree.
inline void enter_source_dir() {
    const char* src = std::getenv("TARNWELL_SOURCE_DIR");
    fs::current_path(src ? src : TARNWELL_SOURCE_DIR);
}

// Every name of the category files, in category order, as the loaders read them.
inline std::vector<std::string> data_names(const std::array<const char*, 7>& files) {
    std::vector<std::string> names;
    for (const char* f : files)
        for (const auto& l : config::read_all_lines(f).value_or(std::vector<std::string>{}))
            if (!l.empty())
                names.push_back(l);
    return names;
}

// n lines of a variable list, each with the unit the embedded simulator holds the variable in;
// with settable_every k > 0, every k-th line that the simulator lets us write is settable.
inline std::vector<std::string> variable_lines(size_t n, size_t settable_every = 0) {
    std::vector<std::string> lines;
    for (const auto& name : data_names(config::kVariableCategoryFiles)) {
        if (lines.size() == n)
            break;
        const auto* v = simlink::Aircraft::find_variable(name);
        if (!v)
            continue;
        std::string line = name + "," + v->native_name;
        if (settable_every && v->settable && lines.size() % settable_every == 0)
            line += ",1";
        lines.push_back(line);
    }
    if (lines.size() != n)
        throw std::runtime_error("Data/ holds fewer than " + std::to_string(n) + " variables");
    return lines;
}

inline std::vector<std::string> event_lines(size_t n) {
    auto names = data_names(config::kEventCategoryFiles);
    if (names.size() < n)
        throw std::runtime_error("Data/ holds fewer than " + std::to_string(n) + " events");
    names.resize(n);
    return names;
}

inline std::string write_list(const std::string& name, const std::vector<std::string>& lines) {
    const fs::path p = scratch_dir() / name;
    std::ofstream out(p, std::ios::binary);
    for (const auto& l : lines)
        out << l << "\r\n";
    return p.string();
}

// The window as the program builds it, its port open on a virtual panel published in a ports
// folder of our own (so that it is the first port listed), shown, with scripted dialogs.
struct PanelWindow {
    std::unique_ptr<panelproto::VirtualPort> panel;
    std::unique_ptr<Form1> form;
    ScriptedDialogs* dialogs = nullptr;

    PanelWindow() {
        const fs::path runtime = scratch_dir() / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);  // as the session's own
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        simlink::testing::reset();
        panel = std::make_unique<panelproto::VirtualPort>(virtual_ports_dir(), "panel");
        form = std::make_unique<Form1>();  // lists the ports, which opens the first
        if (!form->serialPort1->IsOpen() || !form->connected)
            throw std::runtime_error("the window did not open the virtual port or the simulator");
        dialogs = ScriptedDialogs::install(*form);
        form->show();
        QApplication::processEvents();
    }
    ~PanelWindow() {
        form.reset();
        panel.reset();
        simlink::testing::reset();
    }
    void load_variables(const std::string& file) {
        dialogs->answerFile(file);
        form->button4_Click();
    }
    void load_events(const std::string& file) {
        dialogs->answerFile(file);
        form->button5_Click();
    }
};

// Runs f on a thread of its own, as the panel, while the window thread runs its event loop (the
// simulator's dispatch and the texts other threads hand over run there); returns f's result.
// The loop looks for the end every 5 ms rather than being told by a queued call: Qt's posting
// between threads is invisible to ThreadSanitizer, the atomic and the join are not.
template <typename F>
auto as_panel(F f) {
    using R = std::invoke_result_t<F>;
    R result{};
    std::exception_ptr error;
    std::atomic<bool> done{false};
    std::thread t([&] {
        try {
            result = f();
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
    });
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done)
            loop.quit();
    });
    check.start(5);
    loop.exec();
    t.join();
    if (error)
        std::rethrow_exception(error);
    return result;
}

// On the panel thread: polls positions 0 to n-1 round and round until all n are switched on
// and the throttle has renewed the read subscription with them (a reply may go missing around
// the renewal). `between` runs after every poll. Returns whether that happened in time.
template <typename Between>
bool activate_all(PanelWindow& w, int n, Between between) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int k = 0; std::chrono::steady_clock::now() < until; ++k) {
        panelproto::poll(*w.panel, static_cast<uint8_t>(k % n), {.reply_ms = 200, .frame_ms = 200});
        between(k);
        if (k > 2 * n + 40 && w.form->resubscribe == 0 && w.form->startup == 0) {
            auto recs = w.form->SimRecs.snapshot();
            return static_cast<int>(recs->size()) == n &&
                   std::all_of(recs->begin(), recs->end(),
                               [](const auto& r) { return r->active.load(); });
        }
    }
    return false;
}
inline bool activate_all(PanelWindow& w, int n) {
    return activate_all(w, n, [](int) {});
}

inline double percentile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
}

// The main of a window benchmark: one application on the offscreen platform, as the program's;
// `run` runs the benchmarks (a window shared by all of them may live around the call).
template <typename Run>
int run_main(int argc, char** argv, Run run) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    console::set_stdout_enabled(false);
    enter_source_dir();
    benchmark::Initialize(&argc, argv);
    run();
    benchmark::Shutdown();
    fs::remove_all(scratch_dir());
    return 0;
}
inline int run_main(int argc, char** argv) {
    return run_main(argc, argv, [] { benchmark::RunSpecifiedBenchmarks(); });
}

// The window and virtual panel shared by the benchmarks of a program run by run_with_window.
inline PanelWindow* shared_window = nullptr;

inline int run_with_window(int argc, char** argv) {
    return run_main(argc, argv, [] {
        PanelWindow w;
        shared_window = &w;
        benchmark::RunSpecifiedBenchmarks();
        shared_window = nullptr;
    });
}

}  // namespace bench
