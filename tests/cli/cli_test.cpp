// velorinder-cli run as a user runs it: the built program on real files, its
// csv read back by Python's csv module.
#include "cli/cli.h"
#include "support/app_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Recording 12, 10 s interval, tr/min, SMOOTH, K = 1.5: 150, 0.25, a field the
// instrument marks as missing, 2000, 75.
const char *const LINE_WITH_GAP = "0012;1;1;001.50;00010;1.50E+2;2.50E-1;X.XXE+0;2.00E+3;7.50E+1;";

std::string TransferText(const std::string &line) {
    return "R12.MON\n05/31/2024 14:07\n" + line + "\n";
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string &s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The built program with the given arguments, its outputs captured in files.
Outcome RunProgram(const TempDir &dir, const std::string &args) {
    const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    std::string command = Quote(std::string(VELORINDER_PROGRAM_DIR) + "/velorinder-cli") + " " +
                          args + " >" + Quote(out) + " 2>" + Quote(err);
    int raw = std::system(command.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return {status, ReadFile(out), ReadFile(err)};
}

// The rows of a csv file as Python's csv module reads them, fields joined by "|".
std::vector<std::string> CsvRows(const TempDir &dir, const std::string &csv) {
    WriteFile(dir.file("rows.py"), "import csv, sys\n"
                                   "with open(sys.argv[1], newline='') as f:\n"
                                   "    for row in csv.reader(f):\n"
                                   "        print('|'.join(row))\n");
    std::string command = "/usr/bin/python3 " + Quote(dir.file("rows.py")) + " " + Quote(csv);
    std::vector<std::string> rows;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return rows;
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        text.append(buffer, n);
    EXPECT_EQ(pclose(p), 0) << "python could not read " << csv;
    std::size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        rows.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return rows;
}

TEST(Convert, TransferWithGapToVlrAndBackToCsvKeepsTheNumbers) {
    TempDir dir;
    WriteFile(dir.file("r12.mon"), TransferText(LINE_WITH_GAP));
    Outcome vlr = RunProgram(dir, "convert " + Quote(dir.file("r12.mon")) + " --to vlr --out " +
                                      Quote(dir.file("out")));
    ASSERT_EQ(vlr.status, 0) << vlr.err;
    const std::string saved = ReadFile(dir.file("out/r12.vlr"));
    // The program's own saving: name line, the transfer's date, the gap's mark.
    EXPECT_EQ(saved.substr(0, saved.find("\n\n")),
              "r12.vlr\n31/05/2024 14:07\n10\n5\n0\n1.500000\n1\n0");
    EXPECT_NE(saved.find("\n150.000000 0.250000 9999999.900000 2000.000000 75.000000 "),
              std::string::npos)
        << saved;

    Outcome csv = RunProgram(dir, "convert " + Quote(dir.file("out/r12.vlr")) + " --to csv");
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(
        CsvRows(dir, dir.file("out/r12.csv")),
        (std::vector<std::string>{"time_s|value|unit", "0.000000|150.000000|tr/min",
                                  "10.000000|0.250000|tr/min", "20.000000||tr/min",
                                  "30.000000|2000.000000|tr/min", "40.000000|75.000000|tr/min"}));
}

TEST(Info, DescribesATransferFileWithItsGaps) {
    TempDir dir;
    WriteFile(dir.file("r12.mon"), TransferText(LINE_WITH_GAP));
    Outcome info = RunProgram(dir, "info " + Quote(dir.file("r12.mon")));
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, "file: " + dir.file("r12.mon") +
                            "\n"
                            "kind: transfer file\n"
                            "title: R12.MON\n"
                            "date: 2024-05-31 14:07\n"
                            "interval: 10 s\n"
                            "unit: tr/min\n"
                            "mode: SMOOTH\n"
                            "coefficient: 1.5\n"
                            "samples: 5\n"
                            "duration: 40 s (0:00:40)\n"
                            "minimum: 0.25 tr/min at 10 s\n"
                            "maximum: 2000 tr/min at 30 s\n"
                            "gaps: 1, at 20 s\n");
    EXPECT_EQ(info.err, "");
}

TEST(Convert, DamagedFileAmongGoodOnesGivesStatus3AndConvertsTheGoodOnes) {
    TempDir dir;
    WriteFile(dir.file("a.mon"), TransferText(LINE_WITH_GAP));
    WriteFile(dir.file("broken.mon"), "BROKEN.MON\n05/31/2024 14:07\n0012;1;1\n");
    WriteFile(dir.file("b.mon"), TransferText("0013;0;2;001.00;00001;3.00E+1;4.00E+1;"));
    Outcome run = RunProgram(dir, "convert " + Quote(dir.file("a.mon")) + " " +
                                      Quote(dir.file("broken.mon")) + " " +
                                      Quote(dir.file("b.mon")) + " --to csv");
    EXPECT_EQ(run.status, CLI_FILE);
    EXPECT_TRUE(fs::exists(dir.file("a.csv")));
    EXPECT_TRUE(fs::exists(dir.file("b.csv")));
    EXPECT_FALSE(fs::exists(dir.file("broken.csv")));
    // One line that names the file refused.
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(dir.file("broken.mon")), std::string::npos) << run.err;
}

TEST(Convert, MissingTargetFormatIsAUsageError) {
    TempDir dir;
    WriteFile(dir.file("a.mon"), TransferText(LINE_WITH_GAP));
    Outcome run = RunProgram(dir, "convert " + Quote(dir.file("a.mon")));
    EXPECT_EQ(run.status, CLI_USAGE);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(fs::exists(dir.file("a.vlr")));
    EXPECT_FALSE(fs::exists(dir.file("a.csv")));
}

TEST(Convert, ConvertingAFileOntoItselfIsRefused) {
    // Converting a recording file to vlr beside itself would replace the input.
    TempDir dir;
    WriteFile(dir.file("a.mon"), TransferText(LINE_WITH_GAP));
    ASSERT_EQ(RunProgram(dir, "convert " + Quote(dir.file("a.mon")) + " --to vlr").status, 0);
    const std::string before = ReadFile(dir.file("a.vlr"));
    Outcome run = RunProgram(dir, "convert " + Quote(dir.file("a.vlr")) + " --to vlr");
    EXPECT_EQ(run.status, CLI_FILE);
    EXPECT_EQ(ReadFile(dir.file("a.vlr")), before);
}

} // namespace
