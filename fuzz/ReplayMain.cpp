// Runs a fuzz target over saved inputs without libFuzzer: the corpus replay of CI, built
// with the normal compiler. Arguments are files or folders (every file below them).
// A crash, a sanitizer report or a broken promise ends the run with the input named.
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

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& place) {
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(place)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(place))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
        inputs.push_back(place);
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        for (const std::filesystem::path& input : InputsOf(argv[i])) {
            std::ifstream in(input, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.eof() && in.fail()) {
                std::fprintf(stderr, "%s: cannot read\n", input.c_str());
                return 1;
            }
            std::fprintf(stderr, "%s\n", input.c_str());  // names the input if the call below dies
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++count;
        }
    }
    std::fprintf(stderr, "%zu inputs replayed\n", count);
    return count > 0 ? 0 : 1;  // a replay of nothing proves nothing
}
