#include "config/MediaLists.h"

#include "config/ListFields.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace config {

namespace {

bool ends_with_mp3(const std::string& name) {
    static constexpr char kExt[] = ".mp3";
    constexpr size_t n = sizeof(kExt) - 1;
    if (name.size() < n)
        return false;
    return std::equal(name.end() - n, name.end(), kExt, [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
    });
}

}  // namespace

std::vector<StationLine> parse_stations(const std::vector<std::string>& lines) {
    std::vector<StationLine> out;
    out.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string_view> f = split_fields(lines[i]);
        StationLine s{StationLine::Kind::Ignored, i, {}, {}, {}};
        if (f.size() < 2) {
            s.kind = StationLine::Kind::TooFew;
        } else if (f.size() == 2 && i < kMaxStations) {
            s.kind = StationLine::Kind::Station;
            s.name_raw = std::string(f[0]);
            s.name = trim(f[0]);
            s.url = trim(f[1]);
        }
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<std::string> take_phrases(const std::vector<std::string>& lines) {
    return {lines.begin(),
            lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), kMaxPhrases))};
}

std::optional<std::vector<std::string>> list_sound_files(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec)
        return std::nullopt;
    std::vector<std::pair<std::string, std::string>> found;  // name, full path
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return std::nullopt;
        std::error_code kind_ec;
        if (!it->is_regular_file(kind_ec))
            continue;  // follows links; folders are skipped
        std::string name = it->path().filename().string();
        if (ends_with_mp3(name))
            found.emplace_back(name, it->path().string());
    }
    if (ec)
        return std::nullopt;
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    paths.reserve(found.size());
    for (auto& f : found)
        paths.push_back(std::move(f.second));
    return paths;
}

}  // namespace config
