// The spreadsheet dialog: starting and closing the automation server, filling
// the template's first sheet and saving the workbook.
#include "export/export.h"
#include "link/link.h"
#include "shell/shell.h"

#include <cerrno>
#include <chrono>
#include <cstring>

std::string sheetName;
int sheetCounter = 0;
int excelStarted = 0;
CAObjHandle excelApp = 0, excelWorkbooks = 0, excelWorkbook = 0, excelSheets = 0, excelSheet = 0,
            excelRange = 0;

namespace {

const char *const TEMPLATE_NAME = "velorind.xl";
const char *const BASE_NAME = "velorx";
// Longest stretch of rows written without a look for Stop.
constexpr std::chrono::milliseconds STOP_LOOK_INTERVAL{20};

void Release(CAObjHandle *handle) {
    if (*handle) CA_DiscardObjHandle(*handle);
    *handle = 0;
}

void ReleaseWorkbook() {
    Release(&excelRange);
    Release(&excelSheet);
    Release(&excelSheets);
    Release(&excelWorkbook);
    Release(&excelWorkbooks);
}

// A failed automation call: the handles of the workbook go and error 12 shows.
void AutomationFailed() {
    ReleaseWorkbook();
    ShowError(12);
}

// The same for a call on a file: the file and the server's reason go with it.
void AutomationFailed(const std::string &path) {
    const std::string reason = CA_LastErrorDescription();
    ReleaseWorkbook();
    ShowError(12, path, reason);
}

void Message(const char *const texts[5]) {
    SetCtrlVal(spreadsheetPanel, EXCEL_MESSAGE, Tr(texts));
}

void Dim(int control, int dimmed) {
    SetCtrlAttribute(spreadsheetPanel, control, ATTR_DIMMED, dimmed);
}

// A working directory never filled in: where the last workbook was saved, or
// the user's documents (the program directory when portable).
std::string DefaultWorkingDir() {
    return StartFolder(FolderKind::Workbook);
}

void ShowDialog(const std::string &name) {
    const int p = spreadsheetPanel;
    TranslateSpreadsheetDialog(p);
    // After a restart the working directory is the one last used.
    if (spreadsheetDir.empty()) spreadsheetDir = DefaultWorkingDir();
    SetCtrlVal(p, EXCEL_DIRECTORY, spreadsheetDir);
    SetCtrlVal(p, EXCEL_SHEET, name);
    ResetTextBox(p, EXCEL_MESSAGE, "");
    DisplayPanel(p);
}

// Run: enters the working directory and starts the server.
void RunExcel() {
    const int p = spreadsheetPanel;
    GetCtrlVal(p, EXCEL_DIRECTORY, &spreadsheetDir);
    GetCtrlVal(p, EXCEL_SHEET, &sheetName);
    if (spreadsheetDir.empty()) {
        spreadsheetDir = DefaultWorkingDir();
        SetCtrlVal(p, EXCEL_DIRECTORY, spreadsheetDir);
    }
    errno = 0;
    if (SetDir(spreadsheetDir) < 0) {
        const int error = errno != 0 ? errno : ENOENT;
        ShowError(6, spreadsheetDir, std::strerror(error));
        return;
    }
    // Only a convenience for the next start: not worth a message.
    RememberFolder(FolderKind::Workbook, spreadsheetDir);
    if (excelStarted == 0 && excelWorkbooks == 0) {
        if (CA_CreateObjectByClassIdEx("Excel.Application", &excelApp) < 0) {
            excelApp = 0;
            ShowError(9);
            return;
        }
        excelStarted = 1;
    }
    SetWaitCursor(0);
    if (CA_SetProperty(excelApp, "Visible", CA_VariantBool(true)) < 0) {
        AutomationFailed();
        return;
    }
    MakeApplicationActive();
    Message(EXCEL_READY_TEXT);
    excelStarted = 1;
    Dim(EXCEL_RUN, 1);
    Dim(EXCEL_DIRECTORY, 1);
    Dim(EXCEL_BROWSE, 1);
    Dim(EXCEL_EXPORT, 0);
    SetActiveCtrl(p, EXCEL_EXPORT);
}

void CloseExcel() {
    Release(&excelRange);
    Release(&excelSheet);
    Release(&excelSheets);
    // Only a workbook still held (filled, never saved) is open here.
    if (excelWorkbook && CA_MethodInvokeEx(excelWorkbook, "Close",
                                           {CA_VariantBool(false), CA_DefaultValueVariant(),
                                            CA_VariantBool(false)}) < 0) {
        AutomationFailed();
    }
    if (language < LANGUAGE_COUNT)
        MessagePopup(Tr(EXCEL_SHEET_TITLE), std::string(Tr(EXCEL_CLOSED_TEXT)) + "\n");
    Release(&excelWorkbook);
    Release(&excelWorkbooks);
    if (CA_MethodInvokeEx(excelApp, "Quit", {}) < 0) ShowError(12);
    // The server is gone for the program either way: the next Run starts another.
    Release(&excelApp);
}

void QuitExcel() {
    const int p = spreadsheetPanel;
    HidePanel(p);
    if (excelStarted == 1) {
        CloseExcel();
        excelStarted = 0;
    }
    Dim(EXCEL_RUN, 0);
    Dim(EXCEL_DIRECTORY, 0);
    Dim(EXCEL_BROWSE, 0);
    Dim(EXCEL_EXPORT, 1);
    SetActiveCtrl(p, EXCEL_RUN);
}

void Browse() {
    std::string dir;
    if (DirSelectPopup("", "", 1, 0, &dir) > 0) {
        spreadsheetDir = dir;
        SetCtrlVal(spreadsheetPanel, EXCEL_DIRECTORY, dir);
    }
}

// The progress panel of the fill: please-wait text, Stop, gauge at 0.
bool ShowProgress() {
    const int panel = progressPanel;
    TranslateProgressPanel(panel);
    SetCtrlAttribute(panel, STOP_BUTTON, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, IMPORT_PROGRESS_WAIT, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, IMPORT_PROGRESS_TEXT, ATTR_VISIBLE, 0);
    DefaultCtrl(panel, IMPORT_PROGRESS_GAUGE);
    SetCtrlVal(panel, IMPORT_PROGRESS_PERCENT, "0 %");
    const bool shown = InstallPopup(panel) == 0;
    ProcessDrawEvents();
    return shown;
}

// Opens the template as the workbook to fill. A template that cannot be read
// shows the error, naming it and why; the rows then go into a plain workbook,
// so that the export still gives them. False when there is no workbook at all.
bool OpenTemplate() {
    if (CA_GetPropertyObject(excelApp, "Workbooks", &excelWorkbooks) < 0) {
        AutomationFailed();
        return false;
    }
    const std::string dir = ResourceDir();
    SetDir(dir);
    const std::string path = dir + "/" + TEMPLATE_NAME;
    std::vector<CAVariant> args(15, CA_DefaultValueVariant());
    CA_VariantSetCString(&args[0], path);
    if (CA_MethodInvokeEx(excelWorkbooks, "Open", args, &excelWorkbook) >= 0) return true;
    ShowError(12, path, CA_LastErrorDescription());
    if (CA_MethodInvokeEx(excelWorkbooks, "Add", {}, &excelWorkbook) >= 0) return true;
    AutomationFailed();
    return false;
}

bool TakeSheet(int count) {
    CAVariant range;
    CA_VariantSetCString(&range, "A1:W" + std::to_string(count + 1));
    return CA_GetPropertyObject(excelApp, "Sheets", &excelSheets) >= 0 &&
           CA_MethodInvokeEx(excelSheets, "Item", {CA_VariantInt(1)}, &excelSheet) >= 0 &&
           CA_MethodInvokeEx(excelSheet, "Activate", {}) >= 0 &&
           CA_MethodInvokeEx(excelSheet, "Range", {range, CA_DefaultValueVariant()}, &excelRange) >=
               0 &&
           CA_MethodInvokeEx(excelRange, "Activate", {}) >= 0;
}

} // namespace

bool FillSheet() {
    const WindowRecord &w = windows[currentWindow];
    const int count = ExportCount(w);
    BuildExportTexts(w, count);
    const bool position = !exportTotals.empty();
    const std::string unit = ExportUnitText(w, language);

    if (!OpenTemplate()) return false;
    // From here a failure ends the fill; the rows so far are saved as after Stop.
    auto failed = [] {
        Release(&excelRange);
        Release(&excelSheet);
        Release(&excelSheets);
        ShowError(12);
        return true;
    };
    if (!TakeSheet(count)) return failed();
    const bool shown = ShowProgress();
    ClearStopRequests();
    bool ok = true;
    for (const SheetCell &cell : HeaderCells(w, language, w.averageConstant))
        if (ok && WriteSheetCell(excelRange, cell) < 0) ok = false;

    importRunning = 1;
    int lastPercent = 0;
    std::vector<SheetCell> cells;
    // A look at the event queue costs more than a row: it is taken whenever
    // the gauge moves (every row of a short fill, a hundred in all) and
    // whenever a look interval has gone by, which keeps Stop prompt without
    // slowing a long fill.
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextLook = Clock::now();
    for (int i = 0; ok && i < count && importRunning == 1; ++i) {
        const int percent = (i * 100 + 100) / count;
        bool look = false;
        if (percent > lastPercent) {
            lastPercent = percent;
            SetCtrlVal(progressPanel, IMPORT_PROGRESS_GAUGE, percent);
            SetCtrlVal(progressPanel, IMPORT_PROGRESS_PERCENT, std::to_string(percent) + " %");
            look = true;
        }
        const Clock::time_point now = Clock::now();
        if (look || now >= nextLook) {
            nextLook = now + STOP_LOOK_INTERVAL;
            if (PollForStop()) break;
        }
        DataRowCells(i, unit, position, &cells);
        for (const SheetCell &cell : cells)
            if (ok && WriteSheetCell(excelRange, cell) < 0) ok = false;
    }
    importRunning = 1;
    DefaultCtrl(progressPanel, IMPORT_PROGRESS_GAUGE);
    (void)shown; // the popup stays until the end of Export
    if (!ok) failed();
    return true;
}

int Lancer_excel(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    switch (control) {
    case EXCEL_RUN:
        RunExcel();
        break;
    case EXCEL_QUIT:
        QuitExcel();
        break;
    case EXCEL_BROWSE:
        Browse();
        break;
    default:
        break;
    }
    return 0;
}

int Exporter_excel(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT || control != EXCEL_EXPORT) return 0;
    if (currentWindow < 0 || currentWindow >= windowCount) {
        ShowError(4);
        return 0;
    }
    const int p = spreadsheetPanel;
    Dim(EXCEL_EXPORT, 1);
    Dim(EXCEL_QUIT, 1);
    SetWaitCursor(1);
    auto finish = [p] {
        SetWaitCursor(0);
        RemovePopup(1);
        Dim(EXCEL_QUIT, 0);
        SetActiveCtrl(p, EXCEL_QUIT);
        Release(&excelRange);
        Release(&excelSheets);
        Release(&excelSheet);
        Release(&excelWorkbook);
        Release(&excelWorkbooks);
        return 0;
    };
    // Without a workbook there is nothing to save.
    if (!FillSheet()) return finish();

    std::string text;
    GetCtrlVal(p, EXCEL_SHEET, &text);
    sheetName = CleanExportName(text);
    // The directory was entered by Run: cleaning could only lose it.
    GetCtrlVal(p, EXCEL_DIRECTORY, &spreadsheetDir);
    if (spreadsheetDir.empty()) spreadsheetDir = DefaultWorkingDir();
    if (spreadsheetDir.back() != '/') spreadsheetDir += '/';
    // The first number whose workbook is not there yet: nothing is proposed
    // for replacing, in this run or after a restart.
    sheetCounter = FirstFreeSheetNumber(spreadsheetDir, sheetName);
    const std::string proposed = ProposedSheetName(sheetName, sheetCounter);

    std::string chosen;
    const int chosenKind = FileSelectPopup(spreadsheetDir, proposed, "*.xlsx", Tr(SAVE_TITLE),
                                           VAL_SAVE_BUTTON, 0, 1, 1, 1, &chosen);
    if (chosenKind != VAL_NO_FILE_SELECTED) {
        const std::string path = WorkbookPath(chosen);
        long size = 0;
        // "Yes" lets SaveAs replace the file, which it does only once the new one is whole.
        const bool refused =
            GetFileInfo(path, &size) == 1 && !AskYesNo(Tr(EXCEL_SHEET_TITLE), Tr(OVERWRITE_TEXT));
        int r = 0;
        if (!refused) {
            std::vector<CAVariant> args(12, CA_DefaultValueVariant());
            CA_VariantSetCString(&args[0], path);
            args[6] = CA_VariantInt(1);
            r = CA_MethodInvokeEx(excelWorkbook, "SaveAs", args);
        } else {
            r = CA_MethodInvokeEx(
                excelWorkbook, "Close",
                {CA_VariantBool(false), CA_DefaultValueVariant(), CA_VariantBool(false)});
            if (r >= 0) Release(&excelWorkbook);
        }
        if (r < 0) {
            if (refused)
                AutomationFailed();
            else
                AutomationFailed(path);
            return finish();
        }
        // Only a convenience for the next start: not worth a message.
        if (!refused) RememberFolder(FolderKind::Workbook, path);
        // A saved workbook stays open in the server until Quit; it needs no handle.
        Release(&excelWorkbook);
    }
    Message(SHEET_READY_TEXT);
    ++sheetCounter;
    SetCtrlVal(p, EXCEL_SHEET, sheetName);
    // A workbook left unsaved keeps its handle, so that Quit closes it unsaved.
    const CAObjHandle unsaved = excelWorkbook;
    excelWorkbook = 0;
    finish();
    excelWorkbook = unsaved;
    return 0;
}

void OpenSpreadsheetDialog() {
    sheetName = BASE_NAME;
    ShowDialog(sheetName);
}

void Gestion_excel() {
    sheetName = BASE_NAME;
    if (spreadsheetDir.empty()) spreadsheetDir = DefaultWorkingDir();
    ShowDialog(ProposedSheetName(sheetName, FirstFreeSheetNumber(spreadsheetDir, sheetName)));
}

void RegisterExportCallbacks() {
    RegisterCtrlCallback("Lancer_excel", Lancer_excel);
    RegisterCtrlCallback("Exporter_excel", Exporter_excel);
}
