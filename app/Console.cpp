#include "app/Console.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <mutex>
#include <vector>

namespace console {
namespace {

char locale_separator() {
    // Name lookup in the order the C library uses for LC_NUMERIC.
    const char* name = nullptr;
    for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            name = v;
            break;
        }
    }
    if (!name)
        return '.';
    try {
        std::locale loc(name);
        return std::use_facet<std::numpunct<char>>(loc).decimal_point();
    } catch (const std::exception&) {
        return '.';
    }
}

std::atomic<char>& separator() {
    static std::atomic<char> sep{locale_separator()};
    return sep;
}

// Guards the captures and the stdout flag, and keeps lines whole.
std::mutex& lock() {
    static std::mutex m;
    return m;
}
struct Sinks {
    std::vector<std::function<void(std::string_view)>*> list;
};
Sinks& sinks() {
    static Sinks s;
    return s;
}
bool stdout_on = true;

std::string general(double v, int digits) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    std::string s(buf);
    const char sep = separator().load();
    if (sep != '.')
        std::replace(s.begin(), s.end(), '.', sep);
    return s;
}

}  // namespace

char decimal_separator() {
    return separator().load();
}
void set_decimal_separator(char c) {
    separator().store(c);
}

std::string text(float v) {
    return general(v, 7);
}
std::string text(double v) {
    return general(v, 15);
}

void line(std::string_view s) {
    std::lock_guard<std::mutex> g(lock());
    if (stdout_on) {
        std::fwrite(s.data(), 1, s.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    for (auto* sink : sinks().list)
        (*sink)(s);
}

Capture::Capture(std::function<void(std::string_view)> sink) : sink_(std::move(sink)) {
    std::lock_guard<std::mutex> g(lock());
    sinks().list.push_back(&sink_);
}

Capture::~Capture() {
    std::lock_guard<std::mutex> g(lock());
    auto& l = sinks().list;
    l.erase(std::remove(l.begin(), l.end(), &sink_), l.end());
}

void set_stdout_enabled(bool on) {
    std::lock_guard<std::mutex> g(lock());
    stdout_on = on;
}

}  // namespace console
