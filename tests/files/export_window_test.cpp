// File > Export as picture and Export as CSV on a window: the files they
// write, the question before replacing one, and a file that cannot be made.
#include "compare/compare.h"
#include "files/files.h"
#include "support/running_program.h"
#include "windows/graph_fixture.h"

#include <QImage>
#include <QSvgRenderer>
#include <cstdio>
#include <filesystem>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class ExportWindowTest : public GraphWindowTest {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        RegisterFileCallbacks();
    }
    void ExportPicture(const std::string &path) {
        Expect("Export as picture", VAL_NEW_FILE_SELECTED, path);
        Gestion_fichier(menuBar, MENU_EXPORT_PICTURE, nullptr, mainPanel);
    }
};

TEST_F(ExportWindowTest, PicturesShowTheWindowInEachFormat) {
    OpenRecording("Run-up 7", RunUpCurve(300), 1);
    const std::string png = dir.file("run.png"), svg = dir.file("run.svg"),
                      pdf = dir.file("run.pdf");
    ExportPicture(png);
    ExportPicture(svg);
    ExportPicture(pdf);
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), PICTURE_WIDTH);
    EXPECT_EQ(image.height(), PICTURE_HEIGHT);
    QSvgRenderer renderer(QString::fromStdString(svg));
    EXPECT_TRUE(renderer.isValid());
    EXPECT_NE(ReadFile(svg).find("<title>Run-up 7</title>"), std::string::npos);
    EXPECT_EQ(ReadFile(pdf).rfind("%PDF", 0), 0u);
    EXPECT_NE(CommandOutput("pdftotext '" + pdf + "' - 2>/dev/null").find("Run-up 7"),
              std::string::npos);
    // A name without an extension becomes a PNG picture.
    ExportPicture(dir.file("plain"));
    EXPECT_FALSE(QImage(QString::fromStdString(dir.file("plain.png"))).isNull());
}

TEST_F(ExportWindowTest, APictureNamesTheComparedCurves) {
    int a = OpenRecording("Left shaft", RunUpCurve(300), 1);
    int b = OpenRecording("Right shaft", RunUpCurve(200), 1);
    SetComparison(a, {b});
    currentWindow = a;
    const std::string svg = dir.file("both.svg");
    ExportPicture(svg);
    const std::string text = ReadFile(svg);
    EXPECT_NE(text.find("Right shaft"), std::string::npos);
    EXPECT_NE(text.find("Left shaft"), std::string::npos);
}

TEST_F(ExportWindowTest, CsvHasTheBytesOfTheCommandLinesConvert) {
    const std::string cli = ProgramDir() + "/velorinder-cli";
    ASSERT_TRUE(fs::exists(cli)) << cli;
    // A recording file with a missing sample and times that are not k x interval.
    const std::string vlr = dir.file("shaft.vlr");
    RecordingFile f;
    f.name = "SHAFT.VLR";
    f.interval = 1;
    f.measureType = 0;
    f.time = {0.0, 1.5, 3.25, 4.0, 6.125};
    f.value = {1500.0, MISSING_SAMPLE, -12.5, 0.0001, 1234.5678};
    WriteFile(vlr, FormatRecordingFile(f));
    Lire_fichier(vlr);
    ASSERT_EQ(windowCount, 1);
    currentWindow = 0;
    const std::string csv = dir.file("shaft.csv");
    Expect("Export as CSV", VAL_NEW_FILE_SELECTED, csv);
    Gestion_fichier(menuBar, MENU_EXPORT_CSV, nullptr, mainPanel);
    const std::string out = dir.file("cli");
    CommandOutput("'" + cli + "' convert '" + vlr + "' --to csv --out '" + out +
                  "' >/dev/null 2>&1");
    ASSERT_TRUE(fs::exists(out + "/shaft.csv"));
    EXPECT_EQ(ReadFile(csv), ReadFile(out + "/shaft.csv"));
    EXPECT_NE(ReadFile(csv).find("1.500000,,tr/min"), std::string::npos);
}

TEST_F(ExportWindowTest, AnsweringNoLeavesTheFileAsItWas) {
    OpenRecording("A", RunUpCurve(50), 1);
    const std::string csv = dir.file("kept.csv");
    WriteFile(csv, "keep me\n");
    Expect("Export as CSV", VAL_EXISTING_FILE_SELECTED, csv);
    Expect("Export as CSV", 2); // No
    Expect("Export as CSV", VAL_NO_FILE_SELECTED);
    Gestion_fichier(menuBar, MENU_EXPORT_CSV, nullptr, mainPanel);
    EXPECT_EQ(ReadFile(csv), "keep me\n");
    // Yes replaces it.
    Expect("Export as CSV", VAL_EXISTING_FILE_SELECTED, csv);
    Expect("Export as CSV", 1);
    Gestion_fichier(menuBar, MENU_EXPORT_CSV, nullptr, mainPanel);
    EXPECT_EQ(ReadFile(csv).rfind("time_s,value,unit\n", 0), 0u);
}

TEST_F(ExportWindowTest, AFileThatCannotBeMadeShowsError23WithItsName) {
    OpenRecording("A", RunUpCurve(50), 1);
    for (const char *name : {"no-such-folder/a.csv", "no-such-folder/a.svg"}) {
        const std::string path = dir.file(name);
        const bool csv = std::string(name).find(".csv") != std::string::npos;
        Expect(csv ? "Export as CSV" : "Export as picture", VAL_NEW_FILE_SELECTED, path);
        Expect("-123");
        ClearPopupLog();
        Gestion_fichier(menuBar, csv ? MENU_EXPORT_CSV : MENU_EXPORT_PICTURE, nullptr, mainPanel);
        ASSERT_FALSE(PopupLog().empty());
        const PopupRecord &error = PopupLog().back();
        EXPECT_NE(error.title.find("-123"), std::string::npos);
        EXPECT_NE(error.text.find(path), std::string::npos) << error.text;
        EXPECT_NE(error.text.find("No such file"), std::string::npos) << error.text;
        EXPECT_FALSE(fs::exists(path));
    }
}

} // namespace
