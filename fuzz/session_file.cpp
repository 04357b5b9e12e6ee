// Session files: whatever the reader accepts holds only what the store can
// take (nine windows, rising times, gaps inside the samples, derived displays
// on an earlier recording, or keeping their own samples once it was closed),
// and writing it gives a file that reads back as the same session and is then
// written with the same bytes.
#include "fuzz.h"

#include "display/display.h"
#include "session/session.h"

FUZZ_TARGET(session_file) {
    const std::string text(fuzz::Text(data, size));
    Session session;
    std::string why;
    if (!ParseSession(text, &session, &why)) {
        FUZZ_CHECK(!why.empty());
        FUZZ_CHECK(session.windows.empty());
        return 0;
    }
    FUZZ_CHECK(session.windows.size() <= static_cast<std::size_t>(MAX_WINDOWS));
    FUZZ_CHECK(session.current >= -1 && session.current < static_cast<int>(session.windows.size()));
    for (std::size_t i = 0; i < session.windows.size(); ++i) {
        const SessionWindow &w = session.windows[i];
        if (w.kind == SESSION_RECORDING || w.source == -1) {
            FUZZ_CHECK(w.time.size() == w.value.size());
            FUZZ_CHECK(w.time.size() <= static_cast<std::size_t>(MAX_SAMPLES));
            for (std::size_t k = 1; k < w.time.size(); ++k)
                FUZZ_CHECK(w.time[k] > w.time[k - 1]);
            for (std::size_t g = 0; g < w.gaps.size(); ++g) {
                FUZZ_CHECK(w.gaps[g] >= 0 && static_cast<std::size_t>(w.gaps[g]) < w.time.size());
                FUZZ_CHECK(g == 0 || w.gaps[g] > w.gaps[g - 1]);
            }
        }
        if (w.kind != SESSION_RECORDING)
            FUZZ_CHECK(w.kind >= KIND_POSITION && w.kind <= KIND_AVERAGE);
        if (w.kind != SESSION_RECORDING && w.source != -1) {
            FUZZ_CHECK(w.source >= 0 && static_cast<std::size_t>(w.source) < i);
            FUZZ_CHECK(session.windows[static_cast<std::size_t>(w.source)].kind ==
                       SESSION_RECORDING);
        }
        FUZZ_CHECK(w.zoomLevel >= 0 && w.zoomLevel < ZOOM_LAST);
        FUZZ_CHECK(w.title.size() < 100);
    }
    const std::string written = FormatSession(session);
    Session back;
    FUZZ_CHECK(ParseSession(written, &back, &why));
    const std::string again = FormatSession(back);
    FUZZ_CHECK(again == written);
    return 0;
}
