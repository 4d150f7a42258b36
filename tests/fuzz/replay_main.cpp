// The replay driver: feeds files to a fuzz target's LLVMFuzzerTestOneInput without libFuzzer, so
// any compiler builds it and CTest replays the seed corpora and the reproducers of past findings as
// regression tests. Arguments are files or folders (taken recursively); the files are fed in name
// order. A broken promise aborts with the file's name.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputFiles(int argc, char** argv, bool& ok) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument = argv[i];
        std::error_code ec;
        if (fs::is_directory(argument, ec)) {
            for (fs::recursive_directory_iterator it(argument, ec), end; !ec && it != end; it.increment(ec)) {
                if (it->is_regular_file(ec)) files.push_back(it->path());
            }
        } else if (fs::is_regular_file(argument, ec)) {
            files.push_back(argument);
        } else {
            std::fprintf(stderr, "no such file or folder: %s\n", argument.string().c_str());
            ok = false;
        }
        if (ec) {
            std::fprintf(stderr, "cannot read %s: %s\n", argument.string().c_str(), ec.message().c_str());
            ok = false;
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    bool ok = true;
    const std::vector<fs::path> files = inputFiles(argc, argv, ok);
    if (!ok) return 2;
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...  (no input found)\n", argv[0]);
        return 2;
    }
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
            return 2;
        }
        const std::string name = file.string();
        oz::fuzz::currentInput = name.c_str();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    oz::fuzz::currentInput = nullptr;
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
