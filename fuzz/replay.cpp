// Runs every file of the corpora through its target: fuzz_replay <corpus
// folder>, whose subfolders are named after the targets. Fails when a
// property fails, when a target has no inputs, or when a folder names no
// target.
#include "fuzz.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace fuzz {

namespace {

struct PropertyFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::map<std::string, TargetFunction> &Targets() {
    static std::map<std::string, TargetFunction> targets;
    return targets;
}

} // namespace

bool RegisterTarget(const char *name, TargetFunction function) {
    Targets()[name] = function;
    return true;
}

void Fail(const char *file, int line, const char *condition, const std::string &detail) {
    std::string what = std::string(file) + ":" + std::to_string(line) + ": " + condition;
    if (!detail.empty()) what += " (" + detail + ")";
    throw PropertyFailure(what);
}

} // namespace fuzz

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    int failures = 0;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(root, ec)) {
        if (entry.is_directory() && !fuzz::Targets().count(entry.path().filename().string())) {
            std::fprintf(stderr, "%s: no target of that name\n", entry.path().c_str());
            ++failures;
        }
    }
    if (ec) {
        std::fprintf(stderr, "%s: %s\n", root.c_str(), ec.message().c_str());
        return 1;
    }
    for (const auto &[name, target] : fuzz::Targets()) {
        std::vector<fs::path> files;
        for (const auto &entry : fs::directory_iterator(root / name, ec))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        if (files.empty()) {
            std::fprintf(stderr, "%s: no inputs in %s\n", name.c_str(), (root / name).c_str());
            ++failures;
            continue;
        }
        int failed = 0;
        for (const fs::path &file : files) {
            std::ifstream in(file, std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            if (!in.eof() && in.fail()) {
                std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
                ++failed;
                continue;
            }
            try {
                // libFuzzer never passes a null pointer, even for an empty input.
                static const std::uint8_t none = 0;
                target(bytes.empty() ? &none : reinterpret_cast<const std::uint8_t *>(bytes.data()),
                       bytes.size());
            } catch (const std::exception &e) {
                std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
                ++failed;
            }
        }
        std::printf("%-20s %4zu inputs, %d failed\n", name.c_str(), files.size(), failed);
        failures += failed;
    }
    return failures == 0 ? 0 : 1;
}
