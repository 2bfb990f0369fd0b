// The corpus replay: feeds every file named on the command line, and every
// regular file in every folder named there, to the fuzz target's
// LLVMFuzzerTestOneInput, once each, in name order. Built with the ordinary
// compiler, so that CTest replays the seeds and every crash ever found in each
// build (sanitizer builds included) without libFuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Optional in a target, as with libFuzzer.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

bool CollectInputs(const fs::path& path, std::vector<fs::path>& inputs) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        inputs.push_back(path);
        return true;
    }
    if (!fs::is_directory(path, ec)) return false;
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(path, ec))
        if (entry.is_regular_file(ec)) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    inputs.insert(inputs.end(), found.begin(), found.end());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!CollectInputs(argv[i], inputs)) {
            std::fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            return 2;
        }
    }
    // An empty corpus would let a broken path pass silently.
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER... (at least one input)\n", argv[0]);
        return 2;
    }
    for (const fs::path& input : inputs) {
        std::ifstream stream(input, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
        if (!stream.good() && !stream.eof()) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 2;
        }
        std::fprintf(stderr, "replay %s (%zu bytes)\n", input.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
