// Time from start to the window shown: the benchmark starts itself again as a child that does
// what the program's main does (application, window, show, event loop) and stamps the first
// expose of the window; the parent stamps the moment just before it spawns the child. Both read
// the same monotonic clock, so the figure covers the exec, the loading of the libraries, the
// application, the window's construction (the simulator session, the port listing and opening)
// and the first show. A virtual panel is published for the child to open (the first port
// listed); the child uses the embedded simulator. Opening the first port at start includes the
// one-second pause between closing and opening that every port selection makes, so the window
// is built about a second after main is entered.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Console.h"
#include "app/Form1.h"
#include "panel/PortList.h"
#include "tools/panel/VirtualPort.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kReportFd = 3;  // where the child writes its stamps
constexpr int kRuns = 8;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Stamps the first expose of the window, then ends the event loop.
class FirstExpose : public QObject {
public:
    QWindow* window = nullptr;
    int64_t at = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (!at && e->type() == QEvent::Expose && window && o == window && window->isExposed()) {
            at = now_ns();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
};

// The child: what app/main.cpp does, with the stamps.
int child(int argc, char** argv) {
    const int64_t entered = now_ns();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    FirstExpose stamp;
    app.installEventFilter(&stamp);
    Form1 window;
    const int64_t built = now_ns();
    window.winId();  // makes the native window so that its expose can be told apart
    stamp.window = window.windowHandle();
    window.show();
    app.exec();
    const std::string line = std::to_string(entered) + " " + std::to_string(built) + " " +
                             std::to_string(stamp.at) + "\n";
    (void)!::write(kReportFd, line.data(), line.size());
    return stamp.at ? 0 : 1;
}

struct Run {
    double to_main_ms = 0, to_built_ms = 0, to_shown_ms = 0;
};

// Spawns the child with its standard output discarded and reads its stamps.
bool spawn_child(const std::string& runtime, Run& out) {
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], kReportFd);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> env_s;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) && std::strncmp(*e, "QT_QPA_PLATFORM=", 16))
            env_s.emplace_back(*e);
    env_s.push_back("XDG_RUNTIME_DIR=" + runtime);
    env_s.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (auto& s : env_s)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char flag[] = "--child";
    char* args[] = {self, flag, nullptr};
    pid_t pid;
    const int64_t t0 = now_ns();
    const int rc = posix_spawn(&pid, "/proc/self/exe", &fa, nullptr, args, envp.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    std::string text;
    char buf[256];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    long long entered = 0, built = 0, shown = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "%lld %lld %lld", &entered, &built, &shown) != 3)
        return false;
    out = {(entered - t0) / 1e6, (built - t0) / 1e6, (shown - t0) / 1e6};
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_StartToWindowShown(benchmark::State& state) {
    const fs::path runtime =
        fs::temp_directory_path() / ("tarnwell-startup-" + std::to_string(::getpid()));
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    auto panel = std::make_unique<panelproto::VirtualPort>(virtual_ports_dir(), "panel");
    for (auto _ : state) {
        std::vector<double> main_ms, built_ms, shown_ms, built_to_shown_ms;
        for (int k = 0; k < kRuns; ++k) {
            Run r;
            if (!spawn_child(runtime.string(), r)) {
                state.SkipWithError("the child did not show its window");
                break;
            }
            main_ms.push_back(r.to_main_ms);
            built_ms.push_back(r.to_built_ms);
            shown_ms.push_back(r.to_shown_ms);
            built_to_shown_ms.push_back(r.to_shown_ms - r.to_built_ms);
        }
        if (shown_ms.empty())
            break;
        state.counters["to_main_ms"] = median(main_ms);
        state.counters["to_built_ms"] = median(built_ms);
        state.counters["to_shown_ms"] = median(shown_ms);
        state.counters["built_to_shown_ms"] = median(built_to_shown_ms);
        state.counters["max_shown_ms"] = *std::max_element(shown_ms.begin(), shown_ms.end());
        state.counters["runs"] = static_cast<double>(shown_ms.size());
    }
    panel.reset();
    fs::remove_all(runtime);
}
BENCHMARK(BM_StartToWindowShown)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
