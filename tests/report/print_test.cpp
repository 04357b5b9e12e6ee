// The printed report on the running program: File > Print and Print all
// windows into PDF files read back with poppler, and velorinder-cli's page
// of the same file.
#include "cli/cli.h"
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "report/report.h"
#include "shell/shell.h"
#include "support/running_program.h"
#include "windows/graph_fixture.h"
#include "windows/windows.h"

#include <QImage>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char *const SETTINGS = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                             "\n1\n25\n5\n650\n1000\n0\n***\n";

std::string PdfText(const std::string &pdf) {
    return CommandOutput("pdftotext '" + pdf + "' - 2>/dev/null");
}

// The page as a picture; kept under VELORINDER_KEEP_PAGES when set, to look at.
QImage PagePicture(const std::string &pdf, const std::string &name, int page = 1) {
    const std::string png = fs::path(pdf).replace_extension("").string() + "-" + name;
    CommandOutput("pdftoppm -png -r 90 -f " + std::to_string(page) + " -singlefile '" + pdf +
                  "' '" + png + "'");
    if (const char *keep = std::getenv("VELORINDER_KEEP_PAGES"))
        fs::copy_file(png + ".png", std::string(keep) + "/" + name + ".png",
                      fs::copy_options::overwrite_existing);
    return QImage(QString::fromStdString(png + ".png"));
}

class ReportTest : public RunningProgramTest {
  protected:
    void SetUp() override {
        RunningProgramTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartProgram(SETTINGS));
        DismissStartUpDialogs();
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
    }
    void TearDown() override {
        CloseProgram();
        language = 1;
        SetPrintFileForTesting("");
        RunningProgramTest::TearDown();
    }
    static void Menu(int item) { Gestion_fichier(menuBar, item, nullptr, mainPanel); }
    // A recording file of n samples every `interval` seconds, read as File > Open reads it.
    std::string OpenFile(const std::string &name, int n, unsigned interval = 10,
                         std::vector<int> gaps = {}) {
        RecordingFile f;
        f.name = name;
        f.day = 31;
        f.month = 5;
        f.year = 2024;
        f.hour = 14;
        f.minute = 7;
        f.interval = interval;
        f.mode = 1;
        f.coefficient = 1.5;
        f.curveColour = 0xFF0000;
        const std::vector<double> curve = RunUpCurve(n);
        for (int k = 0; k < n; ++k) {
            f.time.push_back(static_cast<double>(k) * interval);
            f.value.push_back(curve[static_cast<std::size_t>(k)]);
        }
        for (int g : gaps) {
            f.value[static_cast<std::size_t>(g)] = 0.0;
            f.gaps.push_back(g);
        }
        const std::string path = dir.file(name);
        WriteFile(path, FormatRecordingFile(f));
        Lire_fichier(path);
        return path;
    }
    std::string PrintCurrent(const std::string &previewTitle = "Print preview") {
        const std::string pdf = dir.file("print.pdf");
        SetPrintFileForTesting(pdf);
        Expect(previewTitle);
        Menu(MENU_PRINT);
        return pdf;
    }
};

void ExpectHolds(const std::string &text, const std::vector<std::string> &words) {
    for (const std::string &w : words)
        EXPECT_NE(text.find(w), std::string::npos) << "'" << w << "' in:\n" << text;
}

TEST_F(ReportTest, ThePrintedPageSaysWhatWasMeasuredInTheLanguageOfTheProgram) {
    const std::string path = OpenFile("fan_test.vlr", 900);
    ASSERT_EQ(windowCount, 1);
    std::string pdf = PrintCurrent();
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_EQ(PopupLog().back().kind, "preview");
    ExpectHolds(PdfText(pdf),
                {"fan_test.vlr", "Date: 31/05/2024", "Time: 14:07", "File: " + path, "Mode: SMOOTH",
                 "Interval: 10 s", "Coefficient K: 1.500000", "Unit: tr/min", "Velorinder 1.0",
                 "Printed on", "Page 1 / 1", "0:00:00", "X = 0:"});
    // Text, not a picture of text: the page's fonts are listed.
    const std::string fonts = CommandOutput("pdffonts '" + pdf + "'");
    EXPECT_NE(fonts.find("TrueType"), std::string::npos) << fonts;
    PagePicture(pdf, "report-recording");

    language = 2;
    pdf = PrintCurrent("Druckvorschau");
    ExpectHolds(PdfText(pdf), {"fan_test.vlr", "Datum: 31.05.2024", "Stunde: 14:07",
                               "Datei: " + path, "Leseintervall: 10 s", "Koeffizient K: 1.500000",
                               "Einheit: tr/min", "Gedruckt am", "Seite 1 / 1"});
}

TEST_F(ReportTest, ACancelledPreviewPrintsNothingAndSaysNothing) {
    OpenFile("a.vlr", 50);
    SetPrintFileForTesting(dir.file("print.pdf"));
    Expect("Print preview", 2);
    Menu(MENU_PRINT);
    EXPECT_FALSE(fs::exists(dir.file("print.pdf")));
    EXPECT_EQ(PopupLog().back().kind, "preview");
}

TEST_F(ReportTest, AFullRecordingIsDrawnAsLinesInASmallFile) {
    OpenFile("long.vlr", MAX_SAMPLES, 1, {30000, 30001, 30002});
    const std::string pdf = PrintCurrent();
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_LT(fs::file_size(pdf), 2u * 1024 * 1024);
    // No picture anywhere on the page: pdfimages lists only its header.
    const std::string images = CommandOutput("pdfimages -list '" + pdf + "'");
    EXPECT_EQ(std::count(images.begin(), images.end(), '\n'), 2) << images;
    const QImage page = PagePicture(pdf, "report-long");
    int red = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            QRgb c = page.pixel(x, y);
            red += qRed(c) - std::max(qGreen(c), qBlue(c)) > 80 ? 1 : 0;
        }
    EXPECT_GT(red, 2000);
}

TEST_F(ReportTest, ADerivedDisplayPageNamesItsSourceWithItsLabelsAndAlarmLines) {
    OpenFile("fan.vlr", 600);
    const int source = currentWindow;
    MakeWorkCopy(windows[source], &workTime, &workValue, &workMissing);
    workSource = source;
    sourceTitle = windows[source].title;
    workCount = windows[source].count;
    filterConstant = 12;
    windows[source].isAverage = 1;
    AffichageSecond(source, KIND_AVERAGE);
    ASSERT_EQ(windowCount, 2);
    WindowRecord &w = windows[currentWindow];
    for (int k = 0; k < 2; ++k) {
        w.alarmLevel[k] = k == 0 ? 600.0 : 1400.0;
        w.alarmPlot[k] =
            PlotLine(w.panel, WINDOW_GRAPH, 0.0, w.alarmLevel[k], 1e7, w.alarmLevel[k], 0);
    }
    w.alarmShown = 10;
    w.labelPlot[2] = PlotText(w.panel, WINDOW_GRAPH, 2000, 1100, "steady run", VAL_DEFAULT_FONT, 0,
                              VAL_TRANSPARENT);
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    const std::string pdf = PrintCurrent();
    ExpectHolds(PdfText(pdf),
                {"Kind: Moving average", "Source: fan.vlr", "Constant of the filter: 12",
                 "Alarm: 600.00 tr/min", "Alarm: 1400.0 tr/min", "steady run", "X1 = ", "dY = "});
    PagePicture(pdf, "report-derived");
}

TEST_F(ReportTest, PrintAllWindowsGivesOnePagePerWindowInTheirOrder) {
    Expect("Error n° -104");
    Menu(MENU_PRINT_ALL);
    for (const char *name : {"one.vlr", "two.vlr", "three.vlr"})
        OpenFile(name, 100);
    const std::string pdf = dir.file("all.pdf");
    SetPrintFileForTesting(pdf);
    Expect("Print preview");
    Menu(MENU_PRINT_ALL);
    ASSERT_EQ(PdfPages(pdf), 3);
    const std::string text = PdfText(pdf);
    const std::size_t one = text.find("one.vlr"), two = text.find("two.vlr"),
                      three = text.find("three.vlr");
    ASSERT_NE(three, std::string::npos) << text;
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
    ExpectHolds(text, {"Page 1 / 3", "Page 2 / 3", "Page 3 / 3"});
}

TEST_F(ReportTest, AGreyPrinterGetsASolidDarkCurveOnALightGraticule) {
    OpenFile("grey.vlr", 900);
    SetReportPrintAttributes();
    SetPrintAttributeEx(ATTR_PRINT_COLOR_MODE, VAL_PRINT_GRAYSCALE);
    const std::string pdf = dir.file("grey.pdf");
    ASSERT_EQ(PrintReport(WindowReports({currentWindow}), pdf, "Print preview"), 0);
    const QImage page = PagePicture(pdf, "report-grey");
    int coloured = 0, dark = 0, light = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            QRgb c = page.pixel(x, y);
            coloured += std::max({qRed(c), qGreen(c), qBlue(c)}) -
                                    std::min({qRed(c), qGreen(c), qBlue(c)}) >
                                30
                            ? 1
                            : 0;
            dark += qGray(c) < 60 ? 1 : 0;
            light += qGray(c) > 170 && qGray(c) < 235 ? 1 : 0;
        }
    // The red curve became black; the graticule stays light.
    EXPECT_EQ(coloured, 0);
    EXPECT_GT(dark, 3000);
    EXPECT_GT(light, 2000);
}

TEST_F(ReportTest, TheCommandLinePageOfAFileIsThePageTheProgramPrints) {
    const std::string path = OpenFile("batch.vlr", 700, 5, {100});
    const std::string printed = PdfText(PrintCurrent());
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"velorinder-cli", "convert", path, "--to", "pdf", "--out", dir.file("cli"),
                      "--lang", "gb"},
                     out, err),
              CLI_OK)
        << err.str();
    const std::string converted = PdfText(dir.file("cli/batch.pdf"));
    // The same page but for the minute of printing.
    auto withoutPrintDate = [](const std::string &text) {
        std::istringstream in(text);
        std::string kept;
        for (std::string line; std::getline(in, line);)
            if (line.find("Printed on") == std::string::npos) kept += line + "\n";
        return kept;
    };
    EXPECT_EQ(withoutPrintDate(converted), withoutPrintDate(printed));
    EXPECT_NE(converted.find("Page 1 / 1"), std::string::npos) << converted;
}

// A printed short view names its times as the window does: parts of a second,
// each once.
TEST_F(ReportTest, APrintedTwoSecondViewTellsItsTimesApart) {
    OpenFile("short.vlr", 100, 1);
    SetVisibleTime(windows[currentWindow].panel, 10.3, 12.3);
    const std::string text = PdfText(PrintCurrent());
    ExpectHolds(text, {"0:00:10.3", "0:00:11.3", "0:00:12.3"});
    PagePicture(dir.file("print.pdf"), "report-two-seconds");
}

} // namespace
