// Runs a fuzzing harness once over each file named on the command line or found in the folders
// named there, for builds without libFuzzer: the regression runs of the test suite.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool runFile(const std::filesystem::path &path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so that the sanitizer sees any read past its end.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    int count = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument(argv[i]);
        std::vector<fs::path> files;
        if (fs::is_directory(argument)) {
            for (const fs::directory_entry &entry : fs::recursive_directory_iterator(argument))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else if (fs::exists(argument)) {
            files.push_back(argument);
        }
        for (const fs::path &file : files) {
            ok = runFile(file) && ok;
            ++count;
        }
    }
    std::printf("ran %d inputs\n", count);
    return ok ? 0 : 1;
}
