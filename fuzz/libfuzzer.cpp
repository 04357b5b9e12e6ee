// What a finding does under libFuzzer: say which property failed, then abort
// so that libFuzzer keeps the input.
#include "fuzz.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz {

bool RegisterTarget(const char *, TargetFunction) {
    return true;
}

void Fail(const char *file, int line, const char *condition, const std::string &detail) {
    std::fprintf(stderr, "\n*** property failed at %s:%d: %s\n", file, line, condition);
    if (!detail.empty()) std::fprintf(stderr, "*** %s\n", detail.c_str());
    std::abort();
}

} // namespace fuzz
