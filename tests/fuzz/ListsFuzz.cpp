// The list loaders' parsing over arbitrary file bytes: the text decoding (byte-order marks,
// UTF-16, broken UTF-8, NUL bytes), the line splitting (CR LF, LF, CR) and the variable, event,
// station and phrase parsers, checked against the Data files of the repository. Besides not
// crashing, each step must keep what it promises: valid UTF-8 out, lines without breaks, at most
// 100 records of each list, records numbered by their line, names trimmed and without commas.
#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "config/EventList.h"
#include "config/ListFields.h"
#include "config/Matching.h"
#include "config/MediaLists.h"
#include "config/TextFile.h"
#include "config/VariableList.h"

namespace {

struct DataFiles {
    std::array<std::string, 7> var_categories, event_categories;
    std::string units, params;
};

std::string file_text(const char* relative) {
    std::ifstream in(std::string(TARNWELL_SOURCE_DIR) + "/" + relative, std::ios::binary);
    FUZZ_REQUIRE(in.good());
    return config::decode_text(std::string(std::istreambuf_iterator<char>(in), {}));
}

const DataFiles& data_files() {
    static const DataFiles files = [] {
        DataFiles f;
        for (size_t k = 0; k < 7; ++k) {
            f.var_categories[k] = file_text(config::kVariableCategoryFiles[k]);
            f.event_categories[k] = file_text(config::kEventCategoryFiles[k]);
        }
        f.units = file_text(config::kVariableUnitsFile);
        f.params = file_text(config::kEventParamsFile);
        return f;
    }();
    return files;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Appends the code
// points to `out` when given.
bool valid_utf8(std::string_view s, std::vector<char32_t>* out = nullptr) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<uint8_t>(s[i]);
        size_t len;
        char32_t c, min;
        if (b < 0x80) {
            len = 1, c = b, min = 0;
        } else if (b >= 0xC0 && b < 0xE0) {
            len = 2, c = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b < 0xF0) {
            len = 3, c = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b < 0xF8) {
            len = 4, c = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            const auto t = static_cast<uint8_t>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            c = c << 6 | (t & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        if (out)
            out->push_back(c);
        i += len;
    }
    return true;
}

std::string utf16_with_bom(const std::vector<char32_t>& cps, bool big_endian) {
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    auto unit = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += big_endian ? hi : lo;
        out += big_endian ? lo : hi;
    };
    for (char32_t c : cps) {
        if (c < 0x10000) {
            unit(static_cast<char16_t>(c));
        } else {
            unit(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            unit(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

void check_decoding(std::string_view bytes, const std::string& text, bool round_trips) {
    std::vector<char32_t> cps;
    FUZZ_REQUIRE(valid_utf8(text, &cps));
    FUZZ_REQUIRE(text.size() <= 3 * bytes.size());
    const bool bom = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
                     bytes.starts_with("\xFE\xFF");
    if (!bom && valid_utf8(bytes))
        FUZZ_REQUIRE(text == bytes);  // valid text passes through unchanged
    if (!round_trips)
        return;
    // The same text saved with each byte-order mark reads back as it.
    FUZZ_REQUIRE(config::decode_text("\xEF\xBB\xBF" + text) == text);
    FUZZ_REQUIRE(config::decode_text(utf16_with_bom(cps, false)) == text);
    FUZZ_REQUIRE(config::decode_text(utf16_with_bom(cps, true)) == text);
}

void check_lines(std::string_view text, const std::vector<std::string>& lines) {
    // The lines joined with LF give the text with every break made LF, less a final break.
    std::string normal;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        normal += text[i] == '\r' ? '\n' : text[i];
    }
    const size_t breaks = static_cast<size_t>(std::count(normal.begin(), normal.end(), '\n'));
    const bool open_end = !normal.empty() && normal.back() != '\n';
    FUZZ_REQUIRE(lines.size() == breaks + (open_end ? 1 : 0));
    std::string joined;
    for (size_t k = 0; k < lines.size(); ++k) {
        FUZZ_REQUIRE(lines[k].find_first_of("\r\n") == std::string::npos);
        joined += lines[k];
        if (k + 1 < lines.size() || !open_end)
            joined += '\n';
    }
    FUZZ_REQUIRE(joined == normal);
}

// A record's name as the parsers promise it: one field (no comma), trimmed.
void check_name(const std::string& name, bool utf8) {
    FUZZ_REQUIRE(name.find(',') == std::string::npos);
    if (utf8) {
        FUZZ_REQUIRE(valid_utf8(name));
        FUZZ_REQUIRE(config::trim(name) == name);
    }
}

// The console line before a record names it as written, so trimmed it is the record's name.
void check_announced(const std::string& line, std::string_view prefix, const std::string& name,
                     bool utf8) {
    FUZZ_REQUIRE(line.starts_with(prefix));
    if (utf8)
        FUZZ_REQUIRE(config::trim(std::string_view(line).substr(prefix.size())) == name);
}

void check_variables(const std::vector<std::string>& lines, bool utf8) {
    const DataFiles& d = data_files();
    const auto steps = config::plan_variable_list(d.var_categories, d.units, lines);
    size_t readable = 0, settable = 0, boxes = 0;
    int32_t last_line = -1;
    const std::string* previous = nullptr;
    for (const auto& step : steps) {
        if (auto* r = std::get_if<config::ReadableVariable>(&step)) {
            ++readable;
            FUZZ_REQUIRE(r->var_type >= 0 && r->var_type <= 6);
            check_name(r->SimVar, utf8);
            check_name(r->SimUnit, utf8);
            FUZZ_REQUIRE(previous);
            check_announced(*previous, "SIMVAR : ", r->SimVar, utf8);
        } else if (auto* s = std::get_if<config::SettableVariable>(&step)) {
            ++settable;
            FUZZ_REQUIRE(s->line > last_line && s->line < config::kListLineLimit);
            FUZZ_REQUIRE(static_cast<size_t>(s->line) < lines.size());
            last_line = s->line;
            check_name(s->SimVar, utf8);
            check_name(s->SimUnit, utf8);
            FUZZ_REQUIRE(previous);
            check_announced(*previous, "SIMVARSET : ", s->SimVar, utf8);
        } else if (std::holds_alternative<config::MessageBoxShown>(step)) {
            ++boxes;
        }
        auto* c = std::get_if<config::ConsoleLine>(&step);
        previous = c ? &c->text : nullptr;
    }
    FUZZ_REQUIRE(readable <= 100 && settable <= 100);
    FUZZ_REQUIRE(boxes <= lines.size());
}

void check_events(const std::vector<std::string>& lines, bool utf8) {
    const DataFiles& d = data_files();
    static const size_t param_chars = [&] {
        std::vector<char32_t> cps;
        FUZZ_REQUIRE(valid_utf8(d.params, &cps));
        return cps.size();
    }();
    const auto steps = config::plan_event_list(d.event_categories, d.params, lines);
    size_t events = 0, boxes = 0;
    int32_t last_id = -1;
    const std::string* previous = nullptr;
    for (const auto& step : steps) {
        if (auto* e = std::get_if<config::EventRecord>(&step)) {
            ++events;
            FUZZ_REQUIRE(e->ev_ID > last_id && e->ev_ID < config::kListLineLimit);
            FUZZ_REQUIRE(static_cast<size_t>(e->ev_ID) < lines.size());
            last_id = e->ev_ID;
            FUZZ_REQUIRE(e->var_type >= 0 && e->var_type <= 6);
            if (e->param_type) {
                FUZZ_REQUIRE(*e->param_type >= 1);
                FUZZ_REQUIRE(static_cast<size_t>(*e->param_type) <= param_chars + 1);
                FUZZ_REQUIRE(config::split_fields(lines[static_cast<size_t>(e->ev_ID)]).size() ==
                             2);
            } else {
                FUZZ_REQUIRE(config::split_fields(lines[static_cast<size_t>(e->ev_ID)]).size() ==
                             1);
            }
            check_name(e->SimEvent, utf8);
            FUZZ_REQUIRE(previous);
            check_announced(*previous, "SIMEVENT : ", e->SimEvent, utf8);
        } else if (std::holds_alternative<config::MessageBoxShown>(step)) {
            ++boxes;
        }
        auto* c = std::get_if<config::ConsoleLine>(&step);
        previous = c ? &c->text : nullptr;
    }
    FUZZ_REQUIRE(events <= 100);
    FUZZ_REQUIRE(boxes <= lines.size());
}

void check_media(const std::vector<std::string>& lines, bool utf8) {
    const auto stations = config::parse_stations(lines);
    FUZZ_REQUIRE(stations.size() == lines.size());
    size_t count = 0;
    for (size_t i = 0; i < stations.size(); ++i) {
        const config::StationLine& s = stations[i];
        FUZZ_REQUIRE(s.index == i);
        const auto commas = std::count(lines[i].begin(), lines[i].end(), ',');
        switch (s.kind) {
            case config::StationLine::Kind::Station:
                ++count;
                FUZZ_REQUIRE(commas == 1 && i < config::kMaxStations);
                FUZZ_REQUIRE(lines[i].starts_with(s.name_raw));
                check_name(s.name, utf8);
                check_name(s.url, utf8);
                if (utf8)
                    FUZZ_REQUIRE(config::trim(s.name_raw) == s.name);
                break;
            case config::StationLine::Kind::TooFew:
                FUZZ_REQUIRE(commas == 0);
                break;
            case config::StationLine::Kind::Ignored:
                FUZZ_REQUIRE(commas >= 2 || (commas == 1 && i >= config::kMaxStations));
                break;
        }
    }
    FUZZ_REQUIRE(count <= config::kMaxStations);

    const auto phrases = config::take_phrases(lines);
    FUZZ_REQUIRE(phrases.size() == std::min(lines.size(), config::kMaxPhrases));
    FUZZ_REQUIRE(std::equal(phrases.begin(), phrases.end(), lines.begin()));
}

}  // namespace

// An input starting with this byte (not the start of any byte-order mark) stands for one long
// line, the rest after the next byte without its line breaks repeated to 1 KB << (that byte %
// 11), up to 1 MB, followed by a line break and the rest as it is. So small inputs reach the
// megabyte lines a user's file may hold, while most of them stay quick (a megabyte of short
// lines is slow by nature: every line is looked up in the Data files).
constexpr uint8_t kStretch = 0xFA;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string stretched;
    const bool stretch = size >= 3 && data[0] == kStretch;
    if (stretch) {
        const size_t target = size_t(1024) << (data[1] % 11);
        const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
        std::string unit;
        std::copy_if(rest.begin(), rest.end(), std::back_inserter(unit),
                     [](char c) { return c != '\r' && c != '\n'; });
        if (unit.empty())
            unit.push_back(' ');
        while (stretched.size() < target)
            stretched += unit;
        stretched += '\n';
        stretched += rest;
        data = reinterpret_cast<const uint8_t*>(stretched.data());
        size = stretched.size();
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = config::decode_text(bytes);
    check_decoding(bytes, text, !stretch);
    const auto lines = config::split_lines(text);
    check_lines(text, lines);
    check_variables(lines, true);
    check_events(lines, true);
    check_media(lines, true);
    if (stretch)
        return 0;  // the rest would only repeat the same work on the long input

    // The parsers also meet lines that were never decoded: they must not read past a broken
    // sequence at a line's end, and the counts and numbering hold all the same.
    const auto raw = config::split_lines(bytes);
    check_lines(bytes, raw);
    check_variables(raw, false);
    check_events(raw, false);
    check_media(raw, false);
    return 0;
}
