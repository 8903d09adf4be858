#pragma once
// The console is the program's only log: one diagnostic per line, written whole from any thread.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>

namespace console {

// Decimal separator of the user's locale, read once from the environment (LC_ALL, LC_NUMERIC,
// LANG). It is taken explicitly because the process's C locale must stay "C" for libmpv.
char decimal_separator();
void set_decimal_separator(char c);  // for tests

// Number-to-text as the console writes it: integers plain decimal, 32-bit floats in general
// notation with up to 7 significant digits, 64-bit ones with up to 15.
std::string text(float v);
std::string text(double v);
inline std::string text(std::string_view s) {
    return std::string(s);
}
inline std::string text(const char* s) {
    return s;
}
inline std::string text(const std::string& s) {
    return s;
}
inline std::string text(bool b) {
    return b ? "True" : "False";
}
template <typename I>
requires std::is_integral_v<I> &&(!std::is_same_v<I, bool>)&&(!std::is_same_v<I, char>)std::string
    text(I v) {
    return std::to_string(
        static_cast<std::conditional_t<std::is_signed_v<I>, long long, unsigned long long>>(v));
}

// Writes one whole line (a newline is added) to standard output and to every capture.
void line(std::string_view s);

// Joins the parts with nothing between them and writes them as one line.
template <typename... Parts>
void write(const Parts&... parts) {
    std::string s;
    ((s += text(parts)), ...);
    line(s);
}

// Receives every line while it lives; used by tests and tools. Called under the console's lock,
// so a sink must not write to the console itself.
class Capture {
public:
    explicit Capture(std::function<void(std::string_view)> sink);
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

private:
    std::function<void(std::string_view)> sink_;
};

// Stops (or restarts) the copy to standard output; tests that capture many lines use it.
void set_stdout_enabled(bool on);

}  // namespace console
