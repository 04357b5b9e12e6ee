// The spreadsheet automation server: workbooks filled through the automation
// calls, saved, and read back by an independent reader (python3-openpyxl).
#include "support/app_fixture.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sys/resource.h>

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// Prints the first sheet of a workbook: "sheet NAME", "width LETTER WIDTH" and
// "CELL TYPE VALUE NUMBERFORMAT b<bold> i<italic>" lines.
const char *kReader = R"(import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
print("sheet", ws.title)
for letter, dim in ws.column_dimensions.items():
    print("width", letter, dim.width)
for row in ws.iter_rows():
    for c in row:
        if c.value is not None:
            print(c.coordinate, type(c.value).__name__, repr(c.value), c.number_format,
                  "b%d" % bool(c.font.b), "i%d" % bool(c.font.i))
)";

// Lines of the reader keyed by their first word.
std::map<std::string, std::string> ReadBack(const testsupport::TempDir &dir,
                                            const std::string &workbook) {
    WriteFile(dir.file("reader.py"), kReader);
    std::string command = "/usr/bin/python3 " + dir.file("reader.py") + " " + workbook;
    std::map<std::string, std::string> lines;
    FILE *out = popen(command.c_str(), "r");
    if (!out) return lines;
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, out)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        size_t blank = line.find(' ');
        std::string key = line.substr(0, blank);
        if (key == "width") blank = line.find(' ', blank + 1);
        lines[line.substr(0, blank)] = line.substr(blank + 1);
    }
    EXPECT_EQ(pclose(out), 0) << "reading " << workbook;
    return lines;
}

CAVariant Text(const std::string &text) {
    CAVariant v;
    CA_VariantSetCString(&v, text);
    return v;
}

std::vector<CAVariant> SaveAsArgs(const std::string &path) {
    std::vector<CAVariant> args(12, CA_DefaultValueVariant());
    args[0] = Text(path);
    args[6] = CA_VariantInt(1); // access mode: no change
    return args;
}

const std::vector<CAVariant> kCloseUnsaved = {CA_VariantBool(false), CA_DefaultValueVariant(),
                                              CA_VariantBool(false)};

class AutomationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::CopyFromProgramDir("velorind.xl", dir.path());
        ASSERT_EQ(CA_CreateObjectByClassIdEx("Excel.Application", &app), 0);
        ASSERT_EQ(CA_SetProperty(app, "Visible", CA_VariantBool(true)), 0);
        ASSERT_EQ(CA_GetPropertyObject(app, "Workbooks", &books), 0);
    }
    void TearDown() override {
        CA_MethodInvokeEx(app, "Quit", {});
        for (CAObjHandle h : {range, sheet, sheets, book, books, app})
            if (h) CA_DiscardObjHandle(h);
    }

    int Open() {
        return CA_MethodInvokeEx(books, "Open",
                                 {Text(dir.file("velorind.xl")), CA_DefaultValueVariant()}, &book);
    }
    // Opens the template and takes the range A1:W101 of its first sheet.
    void OpenSheet() {
        ASSERT_EQ(Open(), 0);
        ASSERT_EQ(CA_GetPropertyObject(app, "Sheets", &sheets), 0);
        ASSERT_EQ(CA_MethodInvokeEx(sheets, "Item", {CA_VariantInt(1)}, &sheet), 0);
        ASSERT_EQ(CA_MethodInvokeEx(sheet, "Activate", {}), 0);
        ASSERT_EQ(CA_MethodInvokeEx(sheet, "Range", {Text("A1:W101")}, &range), 0);
        ASSERT_EQ(CA_MethodInvokeEx(range, "Activate", {}), 0);
    }
    int Put(int row, int column, const std::string &text) {
        return CA_InvokeHelperEx(range, "Item", {CA_VariantInt(row), CA_VariantInt(column)},
                                 Text(text));
    }
    int SaveAs(const std::string &path) {
        return CA_MethodInvokeEx(book, "SaveAs", SaveAsArgs(path));
    }

    testsupport::TempDir dir;
    CAObjHandle app = 0, books = 0, book = 0, sheets = 0, sheet = 0, range = 0;
};

TEST_F(AutomationTest, SavedCellsReadBackAsTextOrNumber) {
    OpenSheet();
    ASSERT_EQ(Put(2, 1, "'Run 12.5"), 0);
    ASSERT_EQ(Put(5, 5, "' 1.500000"), 0);
    ASSERT_EQ(Put(10, 1, "   12.50"), 0);
    ASSERT_EQ(Put(10, 2, "mm"), 0);
    ASSERT_EQ(Put(11, 1, "  -----  "), 0);
    ASSERT_EQ(Put(109, 1, "7"), 0); // below the range, as the data rows go
    CAObjHandle inner = 0;
    ASSERT_EQ(CA_MethodInvokeEx(sheet, "Range", {Text("C3:D4")}, &inner), 0);
    ASSERT_EQ(CA_InvokeHelperEx(inner, "Item", {CA_VariantInt(1), CA_VariantInt(2)}, Text("x")), 0);
    CA_DiscardObjHandle(inner);
    ASSERT_EQ(SaveAs(dir.file("out.xlsx")), 0);

    auto back = ReadBack(dir, dir.file("out.xlsx"));
    EXPECT_EQ(back["A2"], "str 'Run 12.5' General b1 i0");
    EXPECT_EQ(back["E5"], "str ' 1.500000' General b0 i0");
    EXPECT_EQ(back["A10"], "float 12.5 0.00 b0 i0");
    EXPECT_EQ(back["B10"], "str 'mm' General b0 i0");
    EXPECT_EQ(back["A11"], "str '  -----  ' General b0 i0");
    EXPECT_EQ(back["A109"], "int 7 0 b0 i0");
    EXPECT_EQ(back["D3"], "str 'x' General b0 i0");
    auto cells = std::count_if(back.begin(), back.end(), [](const auto &line) {
        return line.first != "sheet" && line.first.rfind("width", 0) != 0;
    });
    EXPECT_EQ(cells, 7); // nothing else
}

TEST_F(AutomationTest, NumbersPassedAsNumbersKeepTheirValueAndShowRoundedDecimals) {
    OpenSheet();
    auto put = [this](int row, double x) {
        return CA_InvokeHelperEx(range, "Item", {CA_VariantInt(row), CA_VariantInt(1)},
                                 CA_VariantDouble(x));
    };
    const double values[] = {5.76667, 4719.68,   0.666667,  1e-7,        123456789.125, -2.5,
                             0,       0.1 + 0.2, 9.9999996, 0.099999996, 2.5e-5};
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(put(10 + i, values[i]), 0) << i;
    EXPECT_EQ(put(21, std::nan("")), kCaErrFailed) << "a cell cannot hold it";
    ASSERT_EQ(SaveAs(dir.file("out.xlsx")), 0);

    auto back = ReadBack(dir, dir.file("out.xlsx"));
    // The value whole, its shown decimals rounded to 7 significant digits.
    EXPECT_EQ(back["A10"], "float 5.76667 0.00000 b0 i0");
    EXPECT_EQ(back["A11"], "float 4719.68 0.00 b0 i0");
    EXPECT_EQ(back["A12"], "float 0.666667 0.000000 b0 i0");
    EXPECT_EQ(back["A13"], "float 1e-07 0E+00 b0 i0");
    EXPECT_EQ(back["A14"], "float 123456789.125 0 b0 i0");
    EXPECT_EQ(back["A15"], "float -2.5 0.0 b0 i0");
    EXPECT_EQ(back["A16"], "int 0 0 b0 i0");
    EXPECT_EQ(back["A17"], "float 0.3 0.0 b0 i0");
    // Rounded up to the next power of ten, they lose their decimals.
    EXPECT_EQ(back["A18"], "float 9.9999996 0 b0 i0");
    EXPECT_EQ(back["A19"], "float 0.099999996 0.0 b0 i0");
    EXPECT_EQ(back["A20"], "float 2.5e-05 0.0E+00 b0 i0");
    EXPECT_FALSE(back.count("A21"));
}

TEST_F(AutomationTest, FailedOpenAndSaveAsSayWhy) {
    fs::remove(dir.file("velorind.xl"));
    EXPECT_EQ(Open(), kCaErrFailed);
    EXPECT_EQ(CA_LastErrorDescription(), "No such file or directory");
    fs::create_directory(dir.file("velorind.xl"));
    EXPECT_EQ(Open(), kCaErrFailed);
    EXPECT_EQ(CA_LastErrorDescription(), "Is a directory");
    fs::remove(dir.file("velorind.xl"));
    testsupport::CopyFromProgramDir("velorind.xl", dir.path());
    OpenSheet();
    EXPECT_EQ(CA_LastErrorDescription(), "");
    EXPECT_EQ(SaveAs(dir.file("none/out.xlsx")), kCaErrFailed);
    EXPECT_EQ(CA_LastErrorDescription(), "No such file or directory");
}

TEST_F(AutomationTest, TemplateShapesTheSheet) {
    WriteFile(dir.file("velorind.xl"), "# changed\nsheet = Trial 3\nwidth = 9\nwidth.C = 30\n"
                                       "style.t = italic\nrow.2 = t\ndecimals = general\n");
    OpenSheet();
    ASSERT_EQ(Put(2, 1, "'Title"), 0);
    ASSERT_EQ(Put(10, 3, "12.50"), 0);
    ASSERT_EQ(SaveAs(dir.file("out.xlsx")), 0);

    auto back = ReadBack(dir, dir.file("out.xlsx"));
    EXPECT_EQ(back["sheet"], "Trial 3");
    EXPECT_NEAR(std::stod(back["width A"]), 9.7, 0.5);
    EXPECT_NEAR(std::stod(back["width C"]), 30.7, 0.5);
    EXPECT_EQ(back["A2"], "str 'Title' General b0 i1");
    EXPECT_EQ(back["C10"], "float 12.5 General b0 i0");
}

TEST_F(AutomationTest, MissingOrUnreadableTemplateFailsOpen) {
    fs::remove(dir.file("velorind.xl"));
    EXPECT_EQ(Open(), kCaErrFailed);
    EXPECT_EQ(book, 0);
    WriteFile(dir.file("velorind.xl"), "sheet = Data\nwidht = 12\n");
    EXPECT_EQ(Open(), kCaErrFailed);
    EXPECT_EQ(CA_GetPropertyObject(app, "Sheets", &sheets), kCaErrFailed);
}

TEST_F(AutomationTest, SaveAsOverAnExistingWorkbookReplacesItOnlyWhenComplete) {
    OpenSheet();
    for (int row = 10; row < 3000; ++row)
        ASSERT_EQ(Put(row, 1, std::to_string(row * 7)), 0);
    std::string target = dir.file("velorx01.xlsx");
    WriteFile(target, "the old workbook");

    // A file-size limit makes the write fail part-way, as a full disk would.
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    int failed = SaveAs(target);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(failed, kCaErrFailed);
    EXPECT_EQ(ReadFile(target), "the old workbook");
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"velorind.xl", "velorx01.xlsx"}));

    ASSERT_EQ(SaveAs(target), 0);
    EXPECT_EQ(ReadBack(dir, target)["A2999"], "int 20993 0 b0 i0");
}

TEST_F(AutomationTest, OpenSaveAsAndCloseEachFailOnceThroughTheSeam) {
    FailAutomationCallForTesting("Workbooks.Open");
    EXPECT_EQ(Open(), kCaErrFailed);
    OpenSheet();
    ASSERT_EQ(Put(10, 1, "1.5"), 0);

    FailAutomationCallForTesting("Workbook.SaveAs");
    EXPECT_EQ(SaveAs(dir.file("out.xlsx")), kCaErrFailed);
    EXPECT_FALSE(fs::exists(dir.file("out.xlsx")));
    EXPECT_EQ(SaveAs(dir.file("out.xlsx")), 0);
    EXPECT_EQ(ReadBack(dir, dir.file("out.xlsx"))["A10"], "float 1.5 0.0 b0 i0");

    FailAutomationCallForTesting("Workbook.Close");
    EXPECT_EQ(CA_MethodInvokeEx(book, "Close", kCloseUnsaved), kCaErrFailed);
    EXPECT_EQ(CA_MethodInvokeEx(book, "Close", kCloseUnsaved), 0);
}

TEST_F(AutomationTest, CloseUnsavedWritesNothingAndQuitEndsTheServer) {
    OpenSheet();
    ASSERT_EQ(Put(10, 1, "1.5"), 0);
    ASSERT_EQ(CA_MethodInvokeEx(book, "Close", kCloseUnsaved), 0);
    EXPECT_EQ(SaveAs(dir.file("out.xlsx")), kCaErrNoObject);
    EXPECT_EQ(Put(10, 1, "2"), kCaErrNoObject);
    EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), "velorind.xl");

    ASSERT_EQ(Open(), 0); // a workbook left open is closed by Quit
    ASSERT_EQ(CA_MethodInvokeEx(app, "Quit", {}), 0);
    EXPECT_EQ(SaveAs(dir.file("out.xlsx")), kCaErrNoObject);
    CAObjHandle again = 0;
    EXPECT_EQ(CA_GetPropertyObject(app, "Workbooks", &again), kCaErrNoObject);
    EXPECT_FALSE(fs::exists(dir.file("out.xlsx")));
}

} // namespace
