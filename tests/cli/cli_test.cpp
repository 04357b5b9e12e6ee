// velorinder-cli on files: convert and info run as a user runs them, their
// outputs read back by Python's csv module, openpyxl, poppler and Qt.
#include "cli_fixture.h"

#include "link/link.h"

#include <QImage>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <random>
#include <regex>

using namespace clitest;

namespace {

// Recording 12, 10 s interval, tr/min, SMOOTH, K = 1.5: 150, 0.25, a field the
// instrument marks as missing, 2000, 75.
const char *const LINE_WITH_GAP = "0012;1;1;001.50;00010;1.50E+2;2.50E-1;X.XXE+0;2.00E+3;7.50E+1;";

class FilesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { program = new ProgramCopy; }
    static void TearDownTestSuite() {
        delete program;
        program = nullptr;
    }
    Outcome Cli(const std::string &args) const { return Shell(dir, program->Command(args)); }
    // The demo recordings as the program saves them when they arrive.
    std::vector<std::string> DemoTransferFiles() const {
        std::vector<std::string> paths;
        for (const rd5150::Recording &r : rd5150::DemoRecordings()) {
            std::string name = "recording_" + std::to_string(r.number) + ".mon";
            WriteFile(dir.file(name), TransferText(name, rd5150::FormatRecordingLine(r)));
            paths.push_back(dir.file(name));
        }
        return paths;
    }
    static ProgramCopy *program;
    TempDir dir;
};
ProgramCopy *FilesTest::program = nullptr;

TEST_F(FilesTest, TransferWithGapToVlrAndBackToCsvKeepsTheNumbers) {
    WriteFile(dir.file("r12.mon"), TransferText("R12.MON", LINE_WITH_GAP));
    Outcome vlr =
        Cli("convert " + Quote(dir.file("r12.mon")) + " --to vlr --out " + Quote(dir.file("out")));
    ASSERT_EQ(vlr.status, 0) << vlr.err;
    const std::string saved = ReadFile(dir.file("out/r12.vlr"));
    // The program's own saving: name line, the transfer's date, the gap's mark.
    EXPECT_EQ(saved.substr(0, saved.find("\n\n")),
              "r12.vlr\n31/05/2024 14:07\n10\n5\n0\n1.500000\n1\n0");
    EXPECT_NE(saved.find("\n150.000000 0.250000 9999999.900000 2000.000000 75.000000 "),
              std::string::npos)
        << saved;

    Outcome csv = Cli("convert " + Quote(dir.file("out/r12.vlr")) + " --to csv");
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(
        CsvRows(dir, dir.file("out/r12.csv")),
        (std::vector<std::string>{"time_s|value|unit", "0.000000|150.000000|tr/min",
                                  "10.000000|0.250000|tr/min", "20.000000||tr/min",
                                  "30.000000|2000.000000|tr/min", "40.000000|75.000000|tr/min"}));
}

TEST_F(FilesTest, EveryDemoRecordingToVlrAndBackToCsvGivesTheInstrumentsNumbers) {
    const std::vector<std::string> mons = DemoTransferFiles();
    std::string all;
    for (const std::string &m : mons)
        all += " " + Quote(m);
    Outcome vlr = Cli("convert" + all + " --to vlr --out " + Quote(dir.file("vlr")));
    ASSERT_EQ(vlr.status, 0) << vlr.err;
    std::string vlrs;
    for (const rd5150::Recording &r : rd5150::DemoRecordings())
        vlrs += " " + Quote(dir.file("vlr/recording_" + std::to_string(r.number) + ".vlr"));
    Outcome csv = Cli("convert" + vlrs + " --to csv --out " + Quote(dir.file("csv")));
    ASSERT_EQ(csv.status, 0) << csv.err;

    const char *const units[16] = {"tr/min", "m/min", "%",   "ms",    "Hz", "ft/min", "RPM", "m",
                                   "ft",     "tr",    "Rev", "imp .", "",   "",       "",    ""};
    for (const rd5150::Recording &r : rd5150::DemoRecordings()) {
        SCOPED_TRACE("recording " + std::to_string(r.number));
        std::vector<std::string> rows =
            CsvRows(dir, dir.file("csv/recording_" + std::to_string(r.number) + ".csv"));
        ASSERT_EQ(rows.size(), r.values.size() + 1);
        EXPECT_EQ(rows[0], "time_s|value|unit");
        for (std::size_t k = 0; k < r.values.size(); ++k) {
            std::vector<std::string> f;
            std::stringstream s(rows[k + 1]);
            for (std::string field; std::getline(s, field, '|');)
                f.push_back(field);
            f.resize(3);
            ASSERT_EQ(std::stod(f[0]), static_cast<double>(k) * r.interval) << rows[k + 1];
            EXPECT_EQ(f[2], units[r.unitIndex]);
            if (rd5150::IsMissingSample(r.values[k])) {
                EXPECT_EQ(f[1], "") << "sample " << k << " is missing";
            } else {
                // The instrument sends three significant digits.
                ASSERT_FALSE(f[1].empty()) << "sample " << k;
                EXPECT_NEAR(std::stod(f[1]), r.values[k], 0.005 * std::fabs(r.values[k]) + 1e-9)
                    << "sample " << k;
            }
        }
    }
}

// The csv writes each number as "%f" does, halves and large values included.
TEST(CsvText, NumbersAreThoseOfPrintf) {
    std::vector<double> values = {0.0,       -0.0,      1.0 / 128,       -1.0 / 128, 2.5e-7,
                                  0.0000005, 1234.5625, 3999999.9999995, 4000000.5,  9999999.9,
                                  1e20,      -1e-9,     123.4564999999,  0.1,        7812.4999995};
    std::mt19937_64 random;
    for (int k = 0; k < 20000; ++k) {
        const double magnitude = std::pow(10.0, static_cast<int>(random() % 16) - 8);
        const double x = static_cast<double>(random() % 100000000) / 1e7 * magnitude;
        values.push_back(random() % 2 ? x : -x);
        // Exact halves of the sixth decimal, and their neighbours.
        const double half = (static_cast<double>(random() % 2000000) + 0.5) / 1e6;
        values.push_back(half);
        values.push_back(std::nextafter(half, 1e9));
    }
    CliRecording r;
    for (std::size_t k = 0; k < values.size(); ++k) {
        r.file.time.push_back(static_cast<double>(k) * 0.25);
        r.file.value.push_back(values[k]);
    }
    std::vector<std::string> lines = Lines(CsvText(r));
    ASSERT_EQ(lines.size(), values.size() + 1);
    for (std::size_t k = 0; k < values.size(); ++k) {
        char time[400], value[400];
        std::snprintf(time, sizeof time, "%f", static_cast<double>(k) * 0.25);
        std::snprintf(value, sizeof value, "%f", values[k]);
        ASSERT_EQ(lines[k + 1], std::string(time) + "," + value + ",tr/min")
            << "value " << std::hexfloat << values[k];
    }
}

// Both the program's own language codes and the ISO ones name a language.
TEST(CliLanguage, IsoCodesNameTheLanguagesOfTheProgramsCodes) {
    const char *const program[5] = {"fr", "gb", "al", "es", "it"};
    const char *const iso[5] = {"fr", "en", "de", "es", "it"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(LanguageOfCode(program[i]), i) << program[i];
        EXPECT_EQ(LanguageOfCode(iso[i]), i) << iso[i];
    }
    EXPECT_EQ(LanguageOfCode("xx"), -1);
}

// The command line takes the language only from a settings file the program
// itself would keep: a marker on line 10 makes it damaged for both.
TEST(CliSettingsFile, TakesOnlyWhatTheProgramReads) {
    const std::string good = "0\n1 38400\n255\n1\n2\n3\n4\n0\n0\n\n3\n25\n5\n500\n800\n0\n***\n";
    CliSettings read = ParseCliSettings(good);
    EXPECT_TRUE(read.found);
    EXPECT_EQ(read.language, 3);
    const std::string damaged =
        "0\n1 38400\n255\n1\n2\n3\n4\n0\n0\n***\n3\n25\n5\n500\n800\n0\n***\n";
    EXPECT_FALSE(ParseCliSettings(damaged).found);
    EXPECT_EQ(Clock(3725.4), "1:02:05");
    EXPECT_EQ(Clock(1e308), Clock(1e15));
    EXPECT_EQ(Clock(-5), "0:00:00");
}

TEST_F(FilesTest, InfoDescribesATransferFileWithItsGaps) {
    WriteFile(dir.file("r12.mon"), TransferText("R12.MON", LINE_WITH_GAP));
    Outcome info = Cli("info " + Quote(dir.file("r12.mon")));
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

// Mantissa times ten to the exponent leaves noise in the last of a double's
// 17 digits (1.18 x 10 is 11.799999999999999); info shows the instrument's number.
TEST_F(FilesTest, InfoShowsDecodedValuesWithoutTheArithmeticsNoise) {
    WriteFile(dir.file("r13.mon"),
              TransferText("R13.MON", "0013;1;1;001.50;00010;1.18E+1;9.87E+7;"));
    Outcome info = Cli("info " + Quote(dir.file("r13.mon")));
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("minimum: 11.8 tr/min at 0 s\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("maximum: 98700000 tr/min at 10 s\n"), std::string::npos) << info.out;
}

TEST_F(FilesTest, DamagedFileAmongGoodOnesGivesStatus3AndConvertsTheGoodOnes) {
    WriteFile(dir.file("a.mon"), TransferText("A.MON", LINE_WITH_GAP));
    WriteFile(dir.file("broken.mon"), "BROKEN.MON\n05/31/2024 14:07\n0012;1;1\n");
    WriteFile(dir.file("b.mon"), TransferText("B.MON", "0013;0;2;001.00;00001;3.00E+1;4.00E+1;"));
    for (const char *to : {"csv", "png"}) {
        SCOPED_TRACE(to);
        Outcome run =
            Cli("convert " + Quote(dir.file("a.mon")) + " " + Quote(dir.file("broken.mon")) + " " +
                Quote(dir.file("b.mon")) + " --to " + to);
        EXPECT_EQ(run.status, CLI_FILE);
        EXPECT_TRUE(fs::exists(dir.file(std::string("a.") + to)));
        EXPECT_TRUE(fs::exists(dir.file(std::string("b.") + to)));
        EXPECT_FALSE(fs::exists(dir.file(std::string("broken.") + to)));
        // One line that names the file refused.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(dir.file("broken.mon")), std::string::npos) << run.err;
    }
}

TEST_F(FilesTest, InfoRefusesGarbageSavedAsATransferFile) {
    // Random bytes in three lines: a file of another kind given the extension.
    std::mt19937 random(5150);
    std::string garbage;
    while (garbage.size() < 3000) {
        char c = static_cast<char>(random() % 255 + 1);
        if (c != '\n' && c != '\r') garbage += c;
    }
    garbage[40] = '\n';
    garbage[80] = '\n';
    WriteFile(dir.file("garbage.mon"), garbage);
    Outcome info = Cli("info " + Quote(dir.file("garbage.mon")));
    EXPECT_EQ(info.status, CLI_FILE);
    EXPECT_EQ(info.out, "");
    EXPECT_NE(info.err.find("not a transfer file"), std::string::npos) << info.err;
}

TEST_F(FilesTest, UsageErrorsWriteNothing) {
    WriteFile(dir.file("a.mon"), TransferText("A.MON", LINE_WITH_GAP));
    for (const char *args : {"", " --to", " --to doc", " --to csv --size 640x400",
                             " --to png --size 640", " --to png --lang xx"}) {
        SCOPED_TRACE(args);
        Outcome run = Cli("convert " + Quote(dir.file("a.mon")) + args);
        EXPECT_EQ(run.status, CLI_USAGE);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3)
        << "a.mon and the two outputs of the runs only";
}

TEST_F(FilesTest, ConvertingAFileOntoItselfIsRefused) {
    // Converting a recording file to vlr beside itself would replace the input.
    WriteFile(dir.file("a.mon"), TransferText("A.MON", LINE_WITH_GAP));
    ASSERT_EQ(Cli("convert " + Quote(dir.file("a.mon")) + " --to vlr").status, 0);
    const std::string before = ReadFile(dir.file("a.vlr"));
    Outcome run = Cli("convert " + Quote(dir.file("a.vlr")) + " --to vlr");
    EXPECT_EQ(run.status, CLI_FILE);
    EXPECT_EQ(ReadFile(dir.file("a.vlr")), before);
}

TEST_F(FilesTest, ConvertingOntoLinksReplacesWhatTheyLeadToAndKeepsTheLinks) {
    WriteFile(dir.file("a.mon"), TransferText("A.MON", LINE_WITH_GAP));
    fs::create_directories(dir.file("out"));
    fs::create_directories(dir.file("mine"));
    for (const std::string ext : {"vlr", "csv", "xlsx", "png", "svg", "pdf"}) {
        SCOPED_TRACE(ext);
        WriteFile(dir.file("mine/a." + ext), "old");
        fs::create_symlink("../mine/a." + ext, dir.file("out/a." + ext));
        Outcome run = Cli("convert " + Quote(dir.file("a.mon")) + " --to " + ext + " --out " +
                          Quote(dir.file("out")));
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_TRUE(fs::is_symlink(dir.file("out/a." + ext)));
        EXPECT_EQ(fs::read_symlink(dir.file("out/a." + ext)), "../mine/a." + ext);
        const std::string written = ReadFile(dir.file("mine/a." + ext));
        EXPECT_NE(written, "old");
        EXPECT_GT(written.size(), 3u);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("mine")), fs::directory_iterator()), 6)
        << "nothing left beside the files";
}

TEST_F(FilesTest, WorkbookIsTheExportsSheetAndOpensInOpenpyxl) {
    const std::vector<std::string> mons = DemoTransferFiles();
    const rd5150::Recording fan = rd5150::DemoRecordings()[3]; // RPM every 5 s, with gaps
    Outcome run = Cli("convert " + Quote(mons[3]) + " --to xlsx --lang fr");
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> cells =
        Lines(Python(dir,
                     "import openpyxl, sys\n"
                     "ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                     "print(ws['A2'].value)\n"
                     "print('|'.join(str(ws.cell(4, c).value) for c in range(1, 6)))\n"
                     "print('|'.join(str(ws.cell(7, c).value) for c in range(1, 5)))\n"
                     "r = 10\n"
                     "while ws.cell(r, 4).value is not None:\n"
                     "    print('|'.join(repr(ws.cell(r, c).value) for c in range(1, 5)))\n"
                     "    r += 1\n",
                     {dir.file("recording_4.xlsx")}));
    ASSERT_EQ(cells.size(), 3 + fan.values.size());
    EXPECT_EQ(cells[0], "recording_4.mon");
    EXPECT_EQ(cells[1], "Date|Heure|Mode|Intervalle|Coefficient K");
    EXPECT_EQ(cells[2], "Valeur Y|Unité des Y|Valeur X|   t   ");
    for (std::size_t k = 0; k < fan.values.size(); ++k) {
        SCOPED_TRACE(cells[3 + k]);
        std::vector<std::string> f;
        std::stringstream s(cells[3 + k]);
        for (std::string field; std::getline(s, field, '|');)
            f.push_back(field);
        ASSERT_EQ(f.size(), 4u);
        EXPECT_EQ(std::stod(f[2]), 5.0 * k) << "the time is a number";
        EXPECT_EQ(f[3], "'s (scan)'");
        if (rd5150::IsMissingSample(fan.values[k]))
            EXPECT_EQ(f[0], "'  -----  '");
        else
            EXPECT_NEAR(std::stod(f[0]), fan.values[k], 5.0) << "the value is a number";
    }
}

// Text of a PDF page as poppler extracts it.
std::string PdfText(const TempDir &dir, const std::string &pdf) {
    return Shell(dir, "pdftotext -layout " + Quote(pdf) + " -").out;
}

TEST_F(FilesTest, PicturesOfTheLongRecordingHaveTheirSizeTitleAxesAndCurve) {
    const std::vector<std::string> mons = DemoTransferFiles();
    for (const char *to : {"png", "svg"}) {
        Outcome run = Cli("convert " + Quote(mons[5]) + " --to " + to + " --size 640x400");
        ASSERT_EQ(run.status, 0) << to << ": " << run.err;
    }
    // A pdf is the printed page, whose size is the paper's.
    Outcome sized = Cli("convert " + Quote(mons[5]) + " --to pdf --size 640x400");
    EXPECT_EQ(sized.status, CLI_USAGE);
    EXPECT_NE(sized.err.find("--size applies to png and svg"), std::string::npos) << sized.err;
    Outcome pdf = Cli("convert " + Quote(mons[5]) + " --to pdf");
    ASSERT_EQ(pdf.status, 0) << pdf.err;
    // 8,000 samples at 1 s: from 0:00:00 to 2:13:19, in tr/min.
    const std::vector<std::string> words = {"recording_6.mon", "tr/min", "0:00:00", "1:06:39",
                                            "2:13:19"};

    QImage png(QString::fromStdString(dir.file("recording_6.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), QSize(640, 400));
    // The plot area in the graph background, the curve in black across it.
    int background = 0, curveColumns = 0;
    for (int x = 0; x < png.width(); ++x) {
        bool curve = false;
        for (int y = 0; y < png.height(); ++y) {
            QRgb c = png.pixel(x, y) & 0xFFFFFF;
            background += c == 0xC0C0C0 ? 1 : 0;
            curve = curve || (c == 0 && y > 40 && y < png.height() - 40);
        }
        curveColumns += curve ? 1 : 0;
    }
    EXPECT_GT(background, 640 * 400 / 3);
    EXPECT_GT(curveColumns, 640 / 2);

    QSvgRenderer svg(QString::fromStdString(dir.file("recording_6.svg")));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBox(), QRect(0, 0, 640, 400));
    const std::string svgText = ReadFile(dir.file("recording_6.svg"));
    for (const std::string &w : words)
        EXPECT_NE(svgText.find(w), std::string::npos) << w << " in the svg";

    Outcome info = Shell(dir, "pdfinfo " + Quote(dir.file("recording_6.pdf")));
    EXPECT_TRUE(
        std::regex_search(info.out, std::regex(R"(Page size:\s+(842 x 595|792 x 612) pts)")))
        << "a landscape page: " << info.out;
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(Pages:\s+1\n)"))) << info.out;
    const std::string text = PdfText(dir, dir.file("recording_6.pdf"));
    for (const char *w :
         {"recording_6.mon", "Unit: tr/min", "Interval: 1 s", "0:00:00", "Page 1 / 1"})
        EXPECT_NE(text.find(w), std::string::npos) << w << " in the pdf: " << text;
}

} // namespace
