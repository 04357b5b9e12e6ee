// Velorfolders.ini: the folders the reader takes are absolute, come from
// whole lines of the text, and read back the same once written. A zero byte
// ends the file's text; after it, zero-separated keys and folders make
// entries for the writer, which must keep exactly those it can read back.
#include "fuzz.h"

#include "platform/platform.h"

#include <vector>

namespace {

bool Absolute(const std::string &folder) {
    return !folder.empty() && folder[0] == '/';
}

bool OneLine(const std::string &s) {
    return s.find_first_of("\r\n") == std::string::npos;
}

} // namespace

FUZZ_TARGET(folders_file) {
    std::string_view input = fuzz::Text(data, size);
    const std::size_t zero = input.find('\0');
    const std::string text(input.substr(0, zero));

    const FolderEntries read = ParseFolders(text);
    const std::string lines = "\n" + text + "\n";
    for (const auto &[key, folder] : read) {
        FUZZ_CHECK_MSG(Absolute(folder), folder);
        FUZZ_CHECK(!key.empty() && key.find('=') == std::string::npos && OneLine(key));
        FUZZ_CHECK(OneLine(folder));
        const std::string line = "\n" + key + "=" + folder;
        FUZZ_CHECK_MSG(lines.find(line + "\n") != std::string::npos ||
                           lines.find(line + "\r\n") != std::string::npos,
                       key + "=" + folder);
    }
    const std::string written = FormatFolders(read);
    FUZZ_CHECK(ParseFolders(written) == read);
    FUZZ_CHECK(FormatFolders(ParseFolders(written)) == written);

    if (zero == std::string_view::npos) return 0;
    std::vector<std::string> parts;
    std::string_view rest = input.substr(zero + 1);
    while (true) {
        const std::size_t end = rest.find('\0');
        parts.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    FolderEntries given, keepable;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        given.emplace_back(parts[i], parts[i + 1]);
        if (!parts[i].empty() && parts[i].find('=') == std::string::npos && OneLine(parts[i]) &&
            Absolute(parts[i + 1]) && OneLine(parts[i + 1]))
            keepable.push_back(given.back());
    }
    FUZZ_CHECK(ParseFolders(FormatFolders(given)) == keepable);
    return 0;
}
