// Names and paths: the cleaning of recording lines and file names, the name a
// transfer or recording file stores, the directory stripped from a name, and
// the kind of file a path names. Each gives only what it may hold, and the
// stored name is stable: cleaning it again, or saving under it in any folder,
// gives it back.
#include "fuzz.h"

#include "files/files.h"
#include "link/link.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsAllowed(char c, bool forName) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    if (forName && c == '_') return true;
    return c != '\0' && std::strchr("-.:/;+=*,\\", c) != nullptr;
}

bool IsSubsequence(std::string_view part, std::string_view whole) {
    std::size_t i = 0;
    for (char c : whole)
        if (i < part.size() && part[i] == c) ++i;
    return i == part.size();
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

} // namespace

FUZZ_TARGET(names) {
    const std::string_view text = fuzz::Text(data, size);
    const std::string path(text);

    // A received line keeps its length; what was allowed stays, the rest is "_".
    const std::string line = CleanLineText(text);
    FUZZ_CHECK(line.size() == text.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        FUZZ_CHECK(IsAllowed(text[i], false) ? line[i] == text[i] : line[i] == '_');

    // A cleaned name drops what a file name may not hold, and nothing else.
    const std::string clean = CleanName(text);
    FUZZ_CHECK(std::all_of(clean.begin(), clean.end(), [](char c) { return IsAllowed(c, true); }));
    FUZZ_CHECK(IsSubsequence(clean, text));
    FUZZ_CHECK(clean.size() == std::size_t(std::count_if(text.begin(), text.end(), [](char c) {
                   return IsAllowed(c, true);
               })));

    // The name without its folders: the end of the path after its last separator.
    const std::string base = StripDirectoryName(text);
    FUZZ_CHECK(base.find_first_of("/\\") == std::string::npos);
    FUZZ_CHECK(EndsWith(text, base));
    FUZZ_CHECK(base.size() == text.size() ||
               std::strchr("/\\", text[text.size() - base.size() - 1]) != nullptr);

    // The stored name: allowed characters, no blank, no folder; stable.
    const std::string stored = StoredName(path);
    FUZZ_CHECK(stored == NameLine(path));
    FUZZ_CHECK(
        std::all_of(stored.begin(), stored.end(), [](char c) { return IsAllowed(c, true); }));
    FUZZ_CHECK(stored.find_first_of("/\\") == std::string::npos);
    FUZZ_CHECK(StoredName(stored) == stored);
    FUZZ_CHECK(StoredName("/home/user/my recordings/" + stored) == stored);
    FUZZ_CHECK(StoredName("C:\\DATA\\" + stored) == stored);

    // The kind of a file follows the extension of its own name, in any case.
    const std::string ext = PathExtension(path);
    FUZZ_CHECK(ext.empty() || ext[0] == '.');
    FUZZ_CHECK(ext == Lower(ext));
    FUZZ_CHECK(ext.find_first_of("/\\") == std::string::npos);
    FUZZ_CHECK(EndsWith(Lower(base), ext));
    FUZZ_CHECK(ext.empty() || base.size() > ext.size()); // a name is more than its extension
    FUZZ_CHECK(ext.empty() || ext.find('.', 1) == std::string::npos);
    const FileKind kind = KindOfPath(path);
    FUZZ_CHECK((kind == FileKind::Recording) == (ext == ".vlr"));
    FUZZ_CHECK((kind == FileKind::Transfer) == (ext == ".mon" || ext == ".tmp"));
    if (!stored.empty()) FUZZ_CHECK(KindOfPath(stored + ".VLR") == FileKind::Recording);

    // A line received into the reply buffer is cleaned the same way there
    // (ImportRecording), up to its end or the buffer's.
    std::memset(replyBuffer, 0, sizeof replyBuffer);
    std::memcpy(replyBuffer, text.data(),
                std::min<std::size_t>(text.size(), REPLY_BUFFER_SIZE - 1));
    CleanReplyLine();
    const std::string_view received =
        text.substr(0, std::min(text.find('\0'), std::size_t(REPLY_BUFFER_SIZE - 1)));
    FUZZ_CHECK(std::string_view(cleanLine) == CleanLineText(received));
    return 0;
}
