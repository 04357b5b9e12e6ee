// Exporting a 65,000-sample position display (eight data columns) to a
// workbook through the export's own fill and save, next to bare libxlsxwriter
// writing the same cells in the same program.
#include "export/export.h"
#include "link/link.h"
#include "windows/graph_fixture.h"

#include <benchmark/benchmark.h>

#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace {

struct Program : testsupport::MainWindowForTesting {
    Program() : MainWindowForTesting(700, 1100) {
        testsupport::CopyFromProgramDir("velorind.xl", dir.path());
        progressPanel = LoadPanel(0, ResourceFile(), PANEL_PROGRESS);
        language = 1;
        const int source =
            testsupport::OpenRecording("speed", testsupport::RunUpCurve(MAX_SAMPLES));
        sourceList[0] = source;
        sourceCount = 1;
        TraitementFiltre(0, KIND_POSITION);
    }
    ~Program() {
        DiscardPanel(progressPanel);
        progressPanel = 0;
    }
    bool Ready() const {
        return windowCount == 2 && IsPositionDisplay(windows[currentWindow]) &&
               windows[currentWindow].count == MAX_SAMPLES;
    }
};

int SaveAndClose(const std::string &path) {
    std::vector<CAVariant> args(1, CAVariant{});
    CA_VariantSetCString(&args[0], path);
    int r = CA_MethodInvokeEx(excelWorkbook, "SaveAs", args);
    RemovePopup(1);
    CA_MethodInvokeEx(excelWorkbook, "Close", {CA_VariantBool(false)});
    for (CAObjHandle *h :
         {&excelRange, &excelSheet, &excelSheets, &excelWorkbook, &excelWorkbooks}) {
        if (*h) CA_DiscardObjHandle(*h);
        *h = 0;
    }
    return r;
}

void BM_ExportPositionDisplay(benchmark::State &state) {
    Program program;
    if (!program.Ready()) state.SkipWithError("no position display");
    SetPopupScriptMode(true);
    CA_CreateObjectByClassIdEx("Excel.Application", &excelApp);
    const std::string path = program.dir.file("ours.xlsx");
    // Where the time goes: filling the sheet, and saving it to a file.
    using Clock = std::chrono::steady_clock;
    Clock::duration fill{}, save{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool filled = FillSheet();
        const Clock::time_point saving = Clock::now();
        const int saved = SaveAndClose(path);
        fill += saving - start;
        save += Clock::now() - saving;
        if (!filled || saved < 0) state.SkipWithError("export failed");
    }
    const double runs = std::max<double>(1, static_cast<double>(state.iterations()));
    state.counters["fill_ms"] = std::chrono::duration<double, std::milli>(fill).count() / runs;
    state.counters["save_ms"] = std::chrono::duration<double, std::milli>(save).count() / runs;
    CA_MethodInvokeEx(excelApp, "Quit", {});
    CA_DiscardObjHandle(excelApp);
    excelApp = 0;
    state.counters["rows"] = static_cast<double>(exportValues.size());
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_ExportPositionDisplay)->Unit(benchmark::kMillisecond);

// The same cells, numbers already numbers: only libxlsxwriter's own work.
void BM_BareLibxlsxwriter(benchmark::State &state) {
    Program program;
    if (!program.Ready()) state.SkipWithError("no position display");
    const WindowRecord &w = windows[currentWindow];
    const int count = ExportCount(w);
    BuildExportTexts(w, count);
    const std::string unit = ExportUnitText(w, language);
    std::vector<SheetCell> header = HeaderCells(w, language, 0);
    std::vector<SheetCell> cells, row;
    for (int i = 0; i < count; ++i) {
        DataRowCells(i, unit, true, &row);
        cells.insert(cells.end(), row.begin(), row.end());
    }
    struct Prepared {
        int row, column;
        bool number;
        double value;
        std::string text;
    };
    std::vector<Prepared> prepared;
    for (const auto *list : {&header, &cells})
        for (const SheetCell &c : *list) {
            // A number cell holds its value, not a text.
            if (c.numeric) {
                prepared.push_back({c.row - 1, c.column - 1, true, c.number, ""});
                continue;
            }
            std::string text = c.text[0] == '\'' ? c.text.substr(1) : c.text;
            std::string trimmed = text.substr(text.find_first_not_of(' ') == std::string::npos
                                                  ? text.size()
                                                  : text.find_first_not_of(' '));
            trimmed.erase(trimmed.find_last_not_of(' ') + 1);
            char *end = nullptr;
            double x = std::strtod(trimmed.c_str(), &end);
            bool number = c.text[0] != '\'' && !trimmed.empty() && *end == '\0';
            prepared.push_back({c.row - 1, c.column - 1, number, x, text});
        }
    const std::string path = program.dir.file("bare.xlsx");
    for (auto _ : state) {
        lxw_workbook *book = workbook_new(path.c_str());
        lxw_worksheet *sheet = workbook_add_worksheet(book, "Velorinder");
        for (const Prepared &p : prepared) {
            if (p.number)
                worksheet_write_number(sheet, p.row, static_cast<lxw_col_t>(p.column), p.value,
                                       nullptr);
            else
                worksheet_write_string(sheet, p.row, static_cast<lxw_col_t>(p.column),
                                       p.text.c_str(), nullptr);
        }
        if (workbook_close(book) != LXW_NO_ERROR) state.SkipWithError("not written");
    }
    state.counters["rows"] = count;
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_BareLibxlsxwriter)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
