// The session file: what is written reads back the same, and what this
// program did not write is refused before anything is opened.
#include "display/display.h"
#include "session/session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

SessionWindow Recording(const std::string &title, int n) {
    SessionWindow w;
    w.title = title;
    w.interval = 2;
    w.measureType = 1;
    w.coefficient = 1.25;
    w.mode = 1;
    w.date[0] = 8;
    w.date[1] = 12;
    w.date[2] = 2026;
    for (int i = 0; i < n; ++i) {
        w.time.push_back(2.0 * i);
        w.value.push_back(100.0 / 3.0 + i * 0.1); // no short decimal form
    }
    w.gaps = {1};
    w.value[1] = 0.0;
    w.labels[0] = {"Min", true, 3.5, -0.1};
    w.labels[2] = {"bearing \"B\"\nhot", true, 1e-300, 5e300};
    w.alarmShown = 10;
    w.alarmLevel[0] = 20.5;
    w.alarmLevel[1] = 50.25;
    w.manualScale = true;
    w.yMin = -1.5;
    w.yMax = 7.0;
    w.zoomLevel = 12;
    w.viewStart = 4.0;
    w.cursors[0][0] = 2.0;
    w.cursors[1][1] = std::numeric_limits<double>::infinity();
    w.variationCursors = true;
    w.geometry[0] = 90;
    return w;
}

Session Sample() {
    Session s;
    s.windows.push_back(Recording("RECORDING_12.MON", 25));
    SessionWindow avg;
    avg.kind = KIND_AVERAGE;
    avg.source = 0;
    avg.constant = 5;
    avg.title = "Average of  RECORDING_12.MON";
    s.windows.push_back(avg);
    s.windows[0].compared = {1};
    s.current = 1;
    return s;
}

TEST(SessionFormat, ReadsBackTheSameWindowsAndWritesTheSameBytes) {
    const Session s = Sample();
    const std::string text = FormatSession(s);
    Session back;
    std::string why;
    ASSERT_TRUE(ParseSession(text, &back, &why)) << why;
    EXPECT_EQ(back.current, 1);
    ASSERT_EQ(back.windows.size(), 2u);
    EXPECT_TRUE(back.windows[0] == s.windows[0]);
    EXPECT_TRUE(back.windows[1] == s.windows[1]);
    EXPECT_EQ(FormatSession(back), text);
}

TEST(SessionFormat, ADerivedDisplayWhoseRecordingWasClosedKeepsItsOwnSamples) {
    Session s;
    SessionWindow orphan = Recording("Position curve of  GONE.MON", 6);
    orphan.kind = KIND_POSITION;
    orphan.source = -1;
    s.windows.push_back(orphan);
    const std::string text = FormatSession(s);
    Session back;
    std::string why;
    ASSERT_TRUE(ParseSession(text, &back, &why)) << why;
    ASSERT_EQ(back.windows.size(), 1u);
    EXPECT_TRUE(back.windows[0] == orphan);
    EXPECT_EQ(FormatSession(back), text);
    // Without them there is nothing to show.
    std::string cut = text;
    cut.erase(cut.find("      \"recording\""),
              cut.find("      \"labels\"") - cut.find("      \"recording\""));
    EXPECT_FALSE(ParseSession(cut, &back, &why));
}

TEST(SessionFormat, EveryCorpusFileIsASession) {
    const std::string dir = VELORINDER_SOURCE_DIR "/fuzz/corpus/session_file";
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        Session s;
        std::string why;
        EXPECT_TRUE(ParseSession(text.str(), &s, &why)) << entry.path() << ": " << why;
        ++files;
    }
    EXPECT_GE(files, 3);
}

TEST(SessionFormat, ANameThatIsNoUtf8BecomesStableAfterOneSave) {
    Session s;
    s.windows.push_back(Recording(std::string("ESSAI \xE9t\xE9"), 5)); // Latin-1 from an old file
    const std::string first = FormatSession(s);
    Session back;
    ASSERT_TRUE(ParseSession(first, &back, nullptr));
    EXPECT_EQ(back.windows[0].title, "ESSAI \xC3\xA9t\xC3\xA9");
    Session again;
    ASSERT_TRUE(ParseSession(FormatSession(back), &again, nullptr));
    EXPECT_EQ(FormatSession(again), FormatSession(back));
}

TEST(SessionFormat, RefusesWhatItCannotOpenAndLeavesTheSessionAlone) {
    const std::string good = FormatSession(Sample());
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string t = good;
        const std::size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? t : t.replace(at, from.size(), to);
    };
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"damaged", good.substr(0, good.size() / 2)},
        {"foreign", "{\"format\": \"other\", \"version\": 1, \"windows\": []}"},
        {"newer", replaced("\"version\": 1", "\"version\": 2")},
        {"kind", replaced("\"average\"", "\"spectrum\"")},
        {"source", replaced("\"source\": 0", "\"source\": 1")},
        {"constant", replaced("\"constant\": 5", "\"constant\": 25")},
        {"current", replaced("\"current\": 1", "\"current\": 2")},
        {"times", replaced("0, 2, 4,", "0, 2, 2,")},
        {"gap", replaced("\"gaps\": [\n", "\"gaps\": [\n 99, ")},
        {"unit", replaced("\"measureType\": 1", "\"measureType\": 16")},
        {"zoom", replaced("\"zoomLevel\": 12", "\"zoomLevel\": 22")},
        {"fraction", replaced("\"mode\": 1", "\"mode\": 1.5")},
        {"alarm", replaced("\"shown\": 10", "\"shown\": 2")},
        {"compared", replaced("\"compared\": [1]", "\"compared\": [0]")},
        {"compared twice", replaced("\"compared\": [1]", "\"compared\": [1, 1]")},
        {"labels",
         replaced("\"labels\": [\n",
                  "\"labels\": [\n{\"text\": \"\", \"shown\": false, \"x\": 0, \"y\": 0},")},
    };
    for (const auto &[what, text] : bad) {
        Session kept = Sample();
        std::string why;
        EXPECT_FALSE(ParseSession(text, &kept, &why)) << what;
        EXPECT_FALSE(why.empty()) << what;
        EXPECT_EQ(FormatSession(kept), good) << what;
    }
    std::string tooMany =
        "{\"format\": \"velorinder-session\", \"version\": 1, \"current\": -1, \"windows\": [";
    for (int i = 0; i < 10; ++i)
        tooMany += std::string(i ? "," : "") + "{}";
    Session kept;
    EXPECT_FALSE(ParseSession(tooMany + "]}", &kept, nullptr));
}

} // namespace
