// The simulator's recording line, demo set and recordings file, checked with a
// decoder written here from the instrument's line format (independent of the program's).
#include "rd5150-sim/simulator.h"
#include "sim_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace rd5150;
using simtest::Decode;
using simtest::DecodeToken;
using simtest::kUndefined;

TEST(SimFormat, ValueFieldsAreEightCharactersInExponentForm) {
    EXPECT_EQ(FormatValueField(150.0), "1.50E+2;");
    EXPECT_EQ(FormatValueField(0.25), "2.50E-1;");
    EXPECT_EQ(FormatValueField(0.0), "0.00E+0;");
    EXPECT_EQ(FormatValueField(2950.0), "2.95E+3;");
    EXPECT_EQ(FormatValueField(999.6), "1.00E+3;");
    EXPECT_EQ(FormatValueField(1.5e12), "1.5E+12;");
    EXPECT_EQ(FormatValueField(2.5e-11), "2.5E-11;");
    EXPECT_EQ(FormatValueField(kMissingSample), "----E+0;");
    EXPECT_EQ(FormatValueField(-1.5), "-1.5E+0;");
    EXPECT_EQ(FormatValueField(-2.0e15), "-2.E+15;");
    EXPECT_EQ(FormatValueField(1e300), "9.9E+99;");
}

TEST(SimFormat, ValueFieldsDecodeBackWithinThreeSignificantDigits) {
    for (double v = 1e-8; v < 1e9; v *= 1.37) {
        const std::string f = FormatValueField(v);
        ASSERT_EQ(f.size(), 8u) << v;
        ASSERT_EQ(f.back(), ';');
        const double d = DecodeToken(f.substr(0, 7));
        EXPECT_NEAR(d, v, v * 0.005) << f;
    }
    EXPECT_EQ(DecodeToken(FormatValueField(kMissingSample).substr(0, 7)), kUndefined);
    EXPECT_EQ(DecodeToken(FormatValueField(-3.0).substr(0, 7)), kUndefined);
}

TEST(SimFormat, LineOfTheSpecExample) {
    Recording r;
    r.number = 12;
    r.mode = 1;
    r.unitIndex = 0;
    r.coefficient = 1.0;
    r.interval = 10;
    r.values = {150.0, 0.25};
    const std::string line = FormatRecordingLine(r);
    EXPECT_EQ(line, "0012;1;1;001.00;00010;1.50E+2;2.50E-1;");
    for (int p : {4, 6, 8, 15, 21})
        EXPECT_FALSE(std::isalnum(static_cast<unsigned char>(line[p]))) << p;

    const auto d = Decode(line);
    EXPECT_EQ(d.number, 12);
    EXPECT_EQ(d.mode, 1);
    EXPECT_EQ(d.unitIndex, 0);
    EXPECT_DOUBLE_EQ(d.coefficient, 1.0);
    EXPECT_EQ(d.interval, 10);
    ASSERT_EQ(d.values.size(), 2u);
    EXPECT_DOUBLE_EQ(d.values[0], 150.0);
    EXPECT_DOUBLE_EQ(d.values[1], 0.25);
}

TEST(SimFormat, HeaderFieldsForEveryUnitAndMode) {
    for (int u = 0; u < 16; ++u) {
        Recording r;
        r.number = 9876;
        r.mode = u % 8;
        r.unitIndex = u;
        r.coefficient = 12.34;
        r.interval = 99999;
        r.values = {1, 2, 3, 4, 5};
        const auto d = Decode(FormatRecordingLine(r));
        EXPECT_EQ(d.number, 9876);
        EXPECT_EQ(d.mode, u % 8);
        EXPECT_EQ(d.unitIndex, u);
        EXPECT_NEAR(d.coefficient, 12.34, 1e-9);
        EXPECT_EQ(d.interval, 99999);
        EXPECT_EQ(d.values.size(), 5u);
    }
    Recording r;
    r.unitIndex = 14;
    EXPECT_EQ(FormatRecordingLine(r)[7], 'F');
    r.unitIndex = 15;
    EXPECT_EQ(FormatRecordingLine(r)[7], '0');
}

TEST(SimFormat, RawLineIsSentVerbatim) {
    const auto r = Recording::Raw("0001;0;1;001.00;00001;abc");
    EXPECT_EQ(FormatRecordingLine(r), "0001;0;1;001.00;00001;abc");
}

TEST(SimFormat, DemoRecordingsCoverTheAnnouncedCases) {
    const auto demo = DemoRecordings();
    ASSERT_EQ(demo.size(), 6u);
    bool rpmAt1s = false, conveyor = false, hz = false, missing = false, count = false,
         longOne = false;
    for (std::size_t i = 0; i < demo.size(); ++i) {
        const Recording &r = demo[i];
        EXPECT_EQ(r.number, static_cast<int>(i) + 1);
        EXPECT_GE(r.values.size(), 5u);
        rpmAt1s |= r.unitIndex == 0 && r.interval == 1 && r.values.size() < 1000;
        conveyor |= r.unitIndex == 1;
        hz |= r.unitIndex == 4;
        count |= r.mode == 2;
        longOne |= r.values.size() >= 7900 && r.values.size() <= 8122;
        for (double v : r.values)
            missing |= IsMissingSample(v);

        const std::string line = FormatRecordingLine(r);
        EXPECT_GE(line.size(), 35u);
        EXPECT_LE(line.size(), 64999u);
        EXPECT_EQ(line.find_first_of("\x11\x13\r\n"), std::string::npos);
        const auto d = Decode(line);
        EXPECT_EQ(d.number, r.number);
        EXPECT_EQ(d.mode, r.mode);
        EXPECT_EQ(d.unitIndex, r.unitIndex);
        EXPECT_NEAR(d.coefficient, r.coefficient, 0.005);
        EXPECT_EQ(d.interval, r.interval);
        ASSERT_EQ(d.values.size(), r.values.size());
        for (std::size_t k = 0; k < r.values.size(); ++k) {
            if (IsMissingSample(r.values[k]))
                EXPECT_EQ(d.values[k], kUndefined);
            else
                EXPECT_NEAR(d.values[k], r.values[k], std::fabs(r.values[k]) * 0.005 + 1e-12);
        }
    }
    EXPECT_TRUE(rpmAt1s && conveyor && hz && missing && count && longOne);
}

TEST(SimFormat, RecordingsTextFile) {
    const std::string text = "# two recordings and a raw line\n"
                             "recording number=12 mode=1 unit=0 coefficient=1.0 interval=10\n"
                             "150 0.25\n"
                             "  - 300\r\n"
                             "\n"
                             "recording unit=4\n"
                             "50 50.5 51 1e3 2\n"
                             "raw 0099;0;1;001.00;00001;1.00E+0;\n";
    std::vector<Recording> rs;
    std::string error;
    ASSERT_TRUE(ParseRecordingsText(text, rs, &error)) << error;
    ASSERT_EQ(rs.size(), 3u);
    EXPECT_EQ(rs[0].number, 12);
    EXPECT_EQ(rs[0].mode, 1);
    EXPECT_EQ(rs[0].interval, 10);
    ASSERT_EQ(rs[0].values.size(), 4u);
    EXPECT_TRUE(IsMissingSample(rs[0].values[2]));
    EXPECT_EQ(rs[0].values[3], 300.0);
    EXPECT_EQ(rs[1].number, 2);
    EXPECT_EQ(rs[1].unitIndex, 4);
    EXPECT_EQ(rs[1].interval, 1);
    EXPECT_EQ(rs[1].values.size(), 5u);
    EXPECT_EQ(FormatRecordingLine(rs[2]), "0099;0;1;001.00;00001;1.00E+0;");

    const auto dir =
        std::filesystem::temp_directory_path() / ("rd5150-sim-file-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = (dir / "recs.txt").string();
    std::ofstream(path) << text;
    std::vector<Recording> fromFile;
    ASSERT_TRUE(LoadRecordingsFile(path, fromFile, &error)) << error;
    EXPECT_EQ(fromFile.size(), 3u);
    EXPECT_FALSE(LoadRecordingsFile((dir / "none.txt").string(), fromFile, &error));
    EXPECT_NE(error.find("none.txt"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(SimFormat, RecordingsTextErrorsNameTheLine) {
    std::vector<Recording> rs;
    std::string error;
    EXPECT_FALSE(ParseRecordingsText("1 2 3\n", rs, &error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    EXPECT_FALSE(ParseRecordingsText("recording\n1 2\nrecording unit=16\n", rs, &error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_FALSE(ParseRecordingsText("recording\n1 x 2\n", rs, &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(ParseRecordingsText("recording colour=red\n", rs, &error));
    EXPECT_NE(std::string(RecordingsFileHelp()).find("raw"), std::string::npos);
}
