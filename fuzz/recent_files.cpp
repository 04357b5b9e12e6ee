// The recent-files list: the four entries as the settings file brings them,
// then paths opened or saved one after the other. The list keeps the last
// four distinct paths, most recent first, each entry numbered and short enough
// for its 300 characters; a path it cannot keep leaves it unchanged.
#include "fuzz.h"

#include "files/files.h"

#include <algorithm>
#include <vector>

namespace {

// The paths a list names, in order.
std::vector<std::string> Paths(const RecentList &list) {
    std::vector<std::string> paths;
    for (const std::string &entry : list) {
        std::string p = RecentEntryPath(entry);
        if (!p.empty()) paths.push_back(p);
    }
    return paths;
}

std::vector<std::string_view> Split(std::string_view text) {
    std::vector<std::string_view> parts;
    while (true) {
        std::size_t end = text.find('\0');
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return parts;
}

} // namespace

FUZZ_TARGET(recent_files) {
    // Zero bytes separate the parts: a settings line holds none, nor a path.
    const std::vector<std::string_view> parts = Split(fuzz::Text(data, size));
    RecentList list;
    for (std::size_t k = 0; k < list.size() && k < parts.size(); ++k)
        list[k] = std::string(parts[k].substr(0, RECENT_ENTRY_SIZE - 1));

    for (std::size_t i = list.size(); i < parts.size(); ++i) {
        const std::string path(parts[i]);
        const RecentList before = list;
        const std::vector<std::string> old = Paths(before);
        const bool keepable = !path.empty() && path.size() <= std::size_t(RECENT_ENTRY_SIZE - 5) &&
                              path.find_first_of("\r\n") == std::string::npos;
        if (!UpdateRecentList(&list, path)) {
            FUZZ_CHECK(list == before);
            FUZZ_CHECK(!keepable || (!old.empty() && RecentEntryPath(before[0]) == path));
            continue;
        }
        FUZZ_CHECK(keepable);
        std::vector<std::string> expected{path};
        for (const std::string &p : old)
            if (expected.size() < list.size() &&
                std::find(expected.begin(), expected.end(), p) == expected.end())
                expected.push_back(p);
        FUZZ_CHECK(Paths(list) == expected);
        for (std::size_t k = 0; k < list.size(); ++k) {
            FUZZ_CHECK(list[k].size() < std::size_t(RECENT_ENTRY_SIZE));
            if (k < expected.size()) {
                FUZZ_CHECK(list[k] == std::string("__") + char('1' + k) + " " + expected[k]);
            } else {
                FUZZ_CHECK(list[k].empty());
            }
        }
        // The same path again changes nothing.
        const RecentList after = list;
        FUZZ_CHECK(!UpdateRecentList(&list, path));
        FUZZ_CHECK(list == after);
    }
    return 0;
}
