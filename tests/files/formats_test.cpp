// File formats, kinds of file, the safe replacement of a file and the
// recent-files list, without windows.
#include "files/files.h"
#include "support/app_fixture.h"

#include <algorithm>
#include <clocale>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

RecordingFile Sample() {
    RecordingFile f;
    f.name = "MY_TEST.VLR";
    f.interval = 10;
    f.measureType = 4;
    f.coefficient = 1.25;
    f.mode = 1;
    f.curveColour = 0xFF0000;
    f.time = {0, 10, 20};
    f.value = {150, 0.25, -3.5};
    return f;
}

// A recording file's text with the given lines 10 and 11.
std::string FileText(const std::string &count, const std::string &times, const std::string &values,
                     const std::string &eol = "\n") {
    return "A.VLR" + eol + "00/00/0000 00:00" + eol + "1" + eol + count + eol + "0" + eol +
           "1.000000" + eol + "0" + eol + "0" + eol + eol + times + eol + values;
}

// ---------------------------------------------------------------- recording file format

TEST(RecordingFormat, WritesTheExactLayout) {
    EXPECT_EQ(FormatRecordingFile(Sample()),
              "MY_TEST.VLR\n00/00/0000 00:00\n10\n3\n4\n1.250000\n1\n16711680\n\n"
              "0.000000 10.000000 20.000000 \n150.000000 0.250000 -3.500000 ");
}

TEST(RecordingFormat, SixDecimalsWhateverTheLocale) {
    // Qt programs run under the user's locale; a comma would not read back.
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    std::string text;
    AppendFixed(&text, 1234.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1234.500000");
}

TEST(RecordingFormat, WrittenFileReadsBackTheSame) {
    RecordingFile in = Sample();
    RecordingFile out;
    ASSERT_TRUE(ParseRecordingFile(FormatRecordingFile(in), &out));
    EXPECT_EQ(out.name, in.name);
    EXPECT_EQ(out.interval, in.interval);
    EXPECT_EQ(out.measureType, in.measureType);
    EXPECT_EQ(out.coefficient, in.coefficient);
    EXPECT_EQ(out.mode, in.mode);
    EXPECT_EQ(out.curveColour, in.curveColour);
    EXPECT_EQ(out.time, in.time);
    EXPECT_EQ(out.value, in.value);
    EXPECT_TRUE(out.gaps.empty());
}

TEST(RecordingFormat, TimesThatStopRisingEndTheSamples) {
    RecordingFile f;
    ASSERT_TRUE(ParseRecordingFile(FileText("5", "0 1 2 2 3", "5 6 7 8 9"), &f));
    EXPECT_EQ(f.time, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(f.value, (std::vector<double>{5, 6, 7}));
}

TEST(RecordingFormat, MissingSampleBecomesZeroAndAGap) {
    RecordingFile f;
    ASSERT_TRUE(ParseRecordingFile(FileText("3", "0 1 2", "9999999.9 4 9999999.900000"), &f));
    EXPECT_EQ(f.value, (std::vector<double>{0.0, 4.0, 0.0}));
    EXPECT_EQ(f.gaps, (std::vector<int>{0, 2}));
}

TEST(RecordingFormat, CountOutsideTheStoreIsRefused) {
    RecordingFile f;
    EXPECT_FALSE(ParseRecordingFile(FileText("0", "0", "1"), &f));
    EXPECT_FALSE(ParseRecordingFile(FileText("-4", "0", "1"), &f));
    EXPECT_FALSE(ParseRecordingFile(FileText("65001", "0", "1"), &f));
    EXPECT_FALSE(ParseRecordingFile(FileText("many", "0", "1"), &f));
    EXPECT_FALSE(ParseRecordingFile("", &f));
    EXPECT_TRUE(ParseRecordingFile(FileText("65000", "0", "1"), &f));
}

TEST(RecordingFormat, FewerNumbersThanCountGiveTheCompletePairs) {
    RecordingFile f;
    ASSERT_TRUE(ParseRecordingFile(FileText("6", "0 1 2 3 4", "7 8 9"), &f));
    EXPECT_EQ(f.time.size(), 3u);
    EXPECT_EQ(f.value.size(), 3u);
    ASSERT_TRUE(ParseRecordingFile(FileText("6", "0 1", "7 8 9 10"), &f));
    EXPECT_EQ(f.value, (std::vector<double>{7, 8}));
    // More numbers than the count: the count rules.
    ASSERT_TRUE(ParseRecordingFile(FileText("2", "0 1 2", "7 8 9"), &f));
    EXPECT_EQ(f.value, (std::vector<double>{7, 8}));
    EXPECT_FALSE(ParseRecordingFile(FileText("3", "", "1 2 3"), &f)) << "not one pair";
}

TEST(RecordingFormat, AnyDecimalNotationReads) {
    RecordingFile f;
    ASSERT_TRUE(ParseRecordingFile(FileText("6", "0 1.5 2e1 +30 3.5E+01 41.",
                                            "1.5e2 .25 -7 +8 "
                                            "1E-3 12"),
                                   &f));
    EXPECT_EQ(f.time, (std::vector<double>{0, 1.5, 20, 30, 35, 41}));
    EXPECT_EQ(f.value, (std::vector<double>{150, 0.25, -7, 8, 0.001, 12}));
    // A word that is not a finite number ends the line's numbers.
    ASSERT_TRUE(ParseRecordingFile(FileText("4", "0 1 2 3", "5 nan 7 8"), &f));
    EXPECT_EQ(f.value, (std::vector<double>{5}));
    ASSERT_TRUE(ParseRecordingFile(FileText("3", "0 1 inf", "5 6 7"), &f));
    EXPECT_EQ(f.time.size(), 2u);
    ASSERT_TRUE(ParseRecordingFile(FileText("3", "0 1 2", "5 6,5 7"), &f));
    EXPECT_EQ(f.value, (std::vector<double>{5}));
}

TEST(RecordingFormat, HeaderFieldsThatAreMissingStayZero) {
    RecordingFile f;
    ASSERT_TRUE(ParseRecordingFile("N\n\n\n2\n\n\n\n\n\n0 1\n3 4", &f));
    EXPECT_EQ(f.interval, 0u);
    EXPECT_EQ(f.coefficient, 0.0);
    EXPECT_EQ(f.value, (std::vector<double>{3, 4}));
}

TEST(RecordingFormat, WindowsLineEndsAndDosNamesReadAlike) {
    RecordingFile lf, crlf;
    ASSERT_TRUE(ParseRecordingFile(FileText("3", "0 1 2 ", "4 5 6 "), &lf));
    std::string text = FileText("3", "0 1 2 ", "4 5 6 ", "\r\n");
    text.replace(0, 5, "C:\\DATA\\A.VLR");
    ASSERT_TRUE(ParseRecordingFile(text, &crlf));
    EXPECT_EQ(crlf.name, lf.name);
    EXPECT_EQ(crlf.time, lf.time);
    EXPECT_EQ(crlf.value, lf.value);
    EXPECT_EQ(crlf.interval, lf.interval);
}

TEST(RecordingFormat, LongNameLineIsCutToTheTitle) {
    RecordingFile f;
    std::string text = FileText("1", "0", "1");
    text.replace(0, 5, std::string(150, 'N'));
    ASSERT_TRUE(ParseRecordingFile(text, &f));
    EXPECT_EQ(f.name, std::string(MAX_TITLE_LENGTH, 'N'));
}

TEST(RecordingFormat, DateLineIsRead) {
    RecordingFile f;
    std::string text = FileText("1", "0", "1");
    text.replace(text.find("00/00/0000 00:00"), 16, "31/05/2024 14:07");
    ASSERT_TRUE(ParseRecordingFile(text, &f));
    EXPECT_EQ(f.day, 31);
    EXPECT_EQ(f.month, 5);
    EXPECT_EQ(f.year, 2024);
    EXPECT_EQ(f.hour, 14);
    EXPECT_EQ(f.minute, 7);
}

// ---------------------------------------------------------------- names and kinds

TEST(FileNames, NameLineIsTheFileNameWithBlanksAsUnderscores) {
    EXPECT_EQ(NameLine("/home/tech/runs/MY TEST.VLR"), "MY_TEST.VLR");
    EXPECT_EQ(NameLine("C:\\DATA\\MY TEST.VLR"), "MY_TEST.VLR");
    EXPECT_EQ(NameLine("/tmp/a?b(c).vlr"), "abc.vlr");
}

TEST(FileNames, KindIsToldByTheExtensionOfTheName) {
    EXPECT_EQ(KindOfPath("/data/OLD.MONTHS/A.VLR"), FileKind::Recording);
    EXPECT_EQ(KindOfPath("C:\\OLD.MONTHS\\A.VLR"), FileKind::Recording);
    EXPECT_EQ(KindOfPath("/data/x.tmp.d/run.vlr"), FileKind::Recording);
    EXPECT_EQ(KindOfPath("/data/RECORDING_1.MON"), FileKind::Transfer);
    EXPECT_EQ(KindOfPath("/prog/1a2b.TMP"), FileKind::Transfer);
    EXPECT_EQ(KindOfPath("/data/a.vlr.txt"), FileKind::Other);
    EXPECT_EQ(KindOfPath("/data/run.vlr/notes"), FileKind::Other);
    EXPECT_EQ(KindOfPath("/data/.vlr"), FileKind::Other);
}

// ---------------------------------------------------------------- transfer file format

TEST(TransferFormat, ReadsNameDateAndLineWithEitherLineEnd) {
    const std::string line = "0012;1;1;001.00;00010;1.50E+2;2.50E-1;";
    for (const char *eol : {"\n", "\r\n"}) {
        TransferFile f;
        std::string text =
            std::string("C:\\DATA\\RECORDING_12.MON") + eol + "05/31/2024 14:07" + eol + line + eol;
        ASSERT_TRUE(ParseTransferFile(text, &f)) << "line end " << (eol[1] ? "CRLF" : "LF");
        EXPECT_EQ(f.name, "RECORDING_12.MON");
        EXPECT_EQ(f.line, line);
        EXPECT_EQ(f.date[0], 5);
        EXPECT_EQ(f.date[1], 31);
        EXPECT_EQ(f.date[2], 2024);
        EXPECT_EQ(f.date[4], 7);
    }
}

TEST(TransferFormat, LineLengthLimits) {
    TransferFile f;
    std::string head = "0012;1;1;001.00;00010;1.50E+2;";
    std::string longest = head + std::string(MAX_TRANSFER_LINE - head.size(), 'x');
    const std::string start = "N\n05/31/2024 14:07\n";
    EXPECT_TRUE(ParseTransferFile(start + longest + "\n", &f));
    EXPECT_EQ(f.line.size(), static_cast<std::size_t>(MAX_TRANSFER_LINE));
    EXPECT_FALSE(ParseTransferFile(start + longest + "x\n", &f));
    EXPECT_FALSE(ParseTransferFile(start + "0012;1;1;001.00;00010;\n", &f)) << "no value field";
    EXPECT_FALSE(ParseTransferFile(start, &f));
}

// Bytes of no file the program writes, in three lines (a name, a "date" and
// a long third line), as a file of another program saved as .mon would be.
std::string Garbage(std::size_t size) {
    std::mt19937 random(5150);
    std::string text;
    while (text.size() < size) {
        char c = static_cast<char>(random() % 255 + 1);
        if (c != '\n' && c != '\r') text += c;
    }
    text[40] = '\n';
    text[80] = '\n';
    return text;
}

TEST(TransferFormat, RefusesGarbage) {
    TransferFile f;
    EXPECT_FALSE(ParseTransferFile(Garbage(3000), &f));
}

TEST(TransferFormat, RefusesWhatTheImportNeverWrites) {
    const std::string name = "recording_12.mon", date = "05/31/2024 14:07",
                      line = "0012;1;1;001.00;00010;1.50E+2;2.50E-1;";
    TransferFile f;
    ASSERT_TRUE(ParseTransferFile(name + "\n" + date + "\n" + line + "\n", &f));
    for (const char *bad :
         {"0000-03-86", "13/31/2024 14:07", "00/31/2024 14:07", "05/32/2024 14:07",
          "05/31/2024 24:07", "05/31/2024 14:60", "5/31/2024 14:07", "05/31/24 14:07",
          "05/31/0000 14:07", "05/31/2024 14:07:33", "05-31-2024 14:07", ""}) {
        EXPECT_FALSE(ParseTransferFile(name + "\n" + bad + "\n" + line + "\n", &f)) << bad;
    }
    for (std::size_t at : {0u, 3u, 5u, 7u, 9u, 14u, 16u, 20u}) {
        std::string damaged = line;
        damaged[at] = at == 7 ? 'G' : 'x';
        EXPECT_FALSE(ParseTransferFile(name + "\n" + date + "\n" + damaged + "\n", &f)) << damaged;
    }
    for (const char *bad :
         {"0012;1;1;01.0.0;00010;1.50E+2;2.50E-1;", "0012;1;1;......;00010;1.50E+2;2.50E-1;",
          "0012;1;1;001.00;00010;12345678;2.50E-1;"}) {
        EXPECT_FALSE(ParseTransferFile(name + "\n" + date + "\n" + bad + "\n", &f)) << bad;
    }
    EXPECT_FALSE(ParseTransferFile("rec\x01\x02.mon\n" + date + "\n" + line + "\n", &f));
    // while every form the instrument writes is still read.
    {
        const std::string start = "R.MON\r\n12/01/1999 00:00\r\n";
        for (const char *form :
             {"9999;7;F;999.99;99999;9.9E+99;", "0001;0;0;000000;00000;----E+0;1.50E+2;",
              "0012;2;a;1.0000;00001;1.50e-2;", "0012;1;1;1234.5;00010;7.5E+1;;;"}) {
            EXPECT_TRUE(ParseTransferFile(start + form + "\r\n", &f)) << form;
            EXPECT_EQ(f.line, form);
        }
    }
}

// ---------------------------------------------------------------- replacing a file

class ReplaceFile : public ::testing::Test {
  protected:
    TempDir dir;
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(ReplaceFile, WritesANewFileAndReplacesAnOldOne) {
    std::string path = dir.file("a.vlr");
    ASSERT_TRUE(ReplaceFileContents(path, "first"));
    EXPECT_EQ(ReadFile(path), "first");
    ASSERT_TRUE(ReplaceFileContents(path, "second, longer"));
    EXPECT_EQ(ReadFile(path), "second, longer");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.vlr"}));
}

TEST_F(ReplaceFile, KeepsTheOldPermissionsAndLinks) {
    std::string path = dir.file("a.vlr");
    WriteFile(path, "old");
    ::chmod(path.c_str(), 0640);
    fs::create_symlink(path, dir.file("link.vlr"));
    ASSERT_TRUE(ReplaceFileContents(dir.file("link.vlr"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.vlr")));
    EXPECT_EQ(ReadFile(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ReplaceFile, FailurePartWayLeavesTheOldFileAndNoLeftovers) {
    std::string path = dir.file("a.vlr");
    WriteFile(path, "the old recording");
    // The file size limit makes the write fail after 100 bytes, as a full disk would.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = ReplaceFileContents(path, std::string(5000, '7'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadFile(path), "the old recording");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.vlr"}));
}

TEST_F(ReplaceFile, ReadOnlyFileIsLeftAsItWas) {
    std::string path = dir.file("a.vlr");
    WriteFile(path, "kept");
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(ReplaceFileContents(path, "new"));
    EXPECT_EQ(ReadFile(path), "kept");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.vlr"}));
}

TEST_F(ReplaceFile, MissingFolderOrAFolderAsTargetFails) {
    EXPECT_FALSE(ReplaceFileContents(dir.file("no/such/a.vlr"), "x"));
    fs::create_directory(dir.file("d.vlr"));
    EXPECT_FALSE(ReplaceFileContents(dir.file("d.vlr"), "x"));
    EXPECT_TRUE(fs::is_directory(dir.file("d.vlr")));
}

// ---------------------------------------------------------------- recent files

RecentList List(std::initializer_list<const char *> paths) {
    RecentList list;
    int k = 0;
    for (const char *p : paths) {
        list[k] = std::string("__") + static_cast<char>('1' + k) + " " + p;
        ++k;
    }
    return list;
}

TEST(RecentFiles, NewPathGoesOnTopAndTheOldestDrops) {
    RecentList list;
    for (const char *p : {"/d/1.vlr", "/d/2.vlr", "/d/3.vlr", "/d/4.vlr", "/d/5.vlr"})
        ASSERT_TRUE(UpdateRecentList(&list, p));
    EXPECT_EQ(list, List({"/d/5.vlr", "/d/4.vlr", "/d/3.vlr", "/d/2.vlr"}));
}

TEST(RecentFiles, EntryTwoMovesToTheTopEntryThreeStays) {
    RecentList list = List({"/a.vlr", "/b.vlr", "/c.vlr", "/d.vlr"});
    ASSERT_TRUE(UpdateRecentList(&list, "/c.vlr"));
    EXPECT_EQ(list, List({"/c.vlr", "/a.vlr", "/b.vlr", "/d.vlr"}));
    ASSERT_TRUE(UpdateRecentList(&list, "/a.vlr"));
    EXPECT_EQ(list, List({"/a.vlr", "/c.vlr", "/b.vlr", "/d.vlr"}));
    ASSERT_TRUE(UpdateRecentList(&list, "/d.vlr"));
    EXPECT_EQ(list, List({"/d.vlr", "/a.vlr", "/c.vlr", "/b.vlr"}));
}

TEST(RecentFiles, EntryZeroAgainChangesNothing) {
    RecentList list = List({"/a.vlr", "/b.vlr"});
    RecentList before = list;
    EXPECT_FALSE(UpdateRecentList(&list, "/a.vlr"));
    EXPECT_EQ(list, before);
}

TEST(RecentFiles, PathsKeepTheirCaseAndCompareExactly) {
    RecentList list = List({"/data/Run.vlr"});
    ASSERT_TRUE(UpdateRecentList(&list, "/data/run.vlr"));
    EXPECT_EQ(list, List({"/data/run.vlr", "/data/Run.vlr"}));
    EXPECT_EQ(RecentEntryPath(list[1]), "/data/Run.vlr");
}

TEST(RecentFiles, PathsThatCannotBeKeptWholeStayOut) {
    RecentList list = List({"/a.vlr"});
    RecentList before = list;
    EXPECT_FALSE(UpdateRecentList(&list, "/" + std::string(295, 'x')));
    EXPECT_FALSE(UpdateRecentList(&list, "/new\nline.vlr"));
    EXPECT_FALSE(UpdateRecentList(&list, ""));
    EXPECT_EQ(list, before);
    EXPECT_TRUE(UpdateRecentList(&list, "/" + std::string(294, 'x')));
}

TEST(RecentFiles, EntriesNotInUseAreSkipped) {
    RecentList list = {"__1 /a.vlr", "", "not an entry", "__4 /d.vlr"};
    ASSERT_TRUE(UpdateRecentList(&list, "/n.vlr"));
    EXPECT_EQ(list, List({"/n.vlr", "/a.vlr", "/d.vlr"}));
    EXPECT_EQ(RecentEntryPath("not an entry"), "");
}

} // namespace
