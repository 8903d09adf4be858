// Main of the replay builds: runs the fuzz target once over every file named on the command
// line or found directly in a folder named there, in name order, as libFuzzer would replay them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    for (int k = 1; k < argc; ++k) {
        const fs::path p(argv[k]);
        if (fs::is_directory(p)) {
            std::vector<fs::path> found;
            for (const auto& e : fs::directory_iterator(p))
                if (e.is_regular_file())
                    found.push_back(e.path());
            std::sort(found.begin(), found.end());
            inputs.insert(inputs.end(), found.begin(), found.end());
        } else if (fs::exists(p)) {
            inputs.push_back(p);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[k]);
            return 2;
        }
    }
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        std::fprintf(stderr, "replaying %s (%zu bytes)\n", p.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::fprintf(stderr, "%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
