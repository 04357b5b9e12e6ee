// The communication dialog (test or search a port), its report, the
// clear-memory command and the instrument menu.
#include "link/link.h"

#include "export/export.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <string>

int communicationPanel = 0;
int inProgressPanel = 0;

namespace {

Texts INFO_TITLE = {"Communication", "Communication", "Kommunikation", "Communicación",
                    "Comunicazione"};
Texts INFO_TEXT = {"Communication OK", "Communication OK", "Kommunikation OK", "Comunicación OK",
                   "Comunicazione OK"};
Texts IN_PROGRESS = {"Communication en cours", "Communication in progress", "Kommunikation aktiv",
                     "Comunicación en curso", "Comunicazione in corso"};
Texts CLEAR_TITLE = {"ATTENTION ! EFFACEMENT LES DONNEES.", "CAUTION!  THE DATA WILL BE ERASED",
                     "ACHTUNG! DER DATEN BERDEN GELÖSCHT SEIN.",
                     "ATENCION! LOS DATOS SERAN BORRADOS.",
                     "ATTENZIONE ! I DATI SARANNO ANNULLATI"};
Texts CLEAR_QUESTION = {"Voulez vous continuer ?", "Do you wish continue ?",
                        "Möchten Sie fortsetzen?", "¿Desea continuar?", "Volete continuare?"};

void CloseCommunicationDialog(int panel) {
    RemovePopup(0);
    DiscardPanel(panel);
    if (panel == communicationPanel) communicationPanel = 0;
}

// A test or search starts from a closed port.
void ReleaseTransferPort() {
    if (portOpen == 1) {
        CloseCom(comPort);
        portOpen = 0;
    }
}

void ShowInProgressPanel() {
    inProgressPanel = LoadPanel(0, ResourceFile(), PANEL_IN_PROGRESS);
    if (inProgressPanel < 0) {
        inProgressPanel = 0; // the search runs without its panel
        return;
    }
    SetCtrlVal(inProgressPanel, IN_PROGRESS_TEXT, Tr(IN_PROGRESS));
    SetCtrlAttribute(inProgressPanel, IN_PROGRESS_TEXT, ATTR_VISIBLE, 1);
    InstallPopup(inProgressPanel);
    ProcessDrawEvents();
}

} // namespace

std::string PortListText() {
    std::string text;
    for (int n = 1; n <= MAX_COM_PORTS; ++n) {
        std::string device = ComPortDevice(n);
        if (!device.empty()) text += "\nCOM" + std::to_string(n) + " = " + device;
    }
    return text;
}

int LinkResultError(int result) {
    if (result > 0) return 0;
    if (result == 0) return 29;
    if (result == kRs232NoSuchPort) return 21;
    if (result == kRs232CannotOpen) return 19;
    return 20;
}

void ReportLinkResult(int result) {
    if (result > 0)
        MessagePopup(Tr(INFO_TITLE), Tr(INFO_TEXT));
    else
        ShowError(LinkResultError(result));
}

int ScanPorts() {
    SetWaitCursor(1);
    if (inProgressPanel > 0) SetCtrlAttribute(inProgressPanel, IN_PROGRESS_PORT, ATTR_VISIBLE, 1);
    int r = 0;
    for (int n = 1; n <= MAX_COM_PORTS; ++n) {
        if (inProgressPanel > 0) {
            DefaultCtrl(inProgressPanel, IN_PROGRESS_PORT);
            SetCtrlVal(inProgressPanel, IN_PROGRESS_PORT, "COM" + std::to_string(n));
            ProcessDrawEvents();
        }
        r = ProbeInstrument(n, baudRate);
        if (r > 0) break;
    }
    // Without an instrument the last port's own error (often a number that
    // names no device) would hide that nothing answered.
    if (r < 0) r = 0;
    if (inProgressPanel > 0) {
        RemovePopup(0);
        DiscardPanel(inProgressPanel);
        inProgressPanel = 0;
    }
    SetWaitCursor(0);
    ReportLinkResult(r);
    return r;
}

void OpenCommunicationDialog() {
    int panel = LoadPanel(0, ResourceFile(), PANEL_COMMUNICATION);
    if (panel < 0) {
        MessagePopup("Velorinder", "The communication dialog cannot be loaded.");
        return;
    }
    communicationPanel = panel;
    TranslateCommunicationDialog(panel);
    std::string ports = PortListText();
    if (!ports.empty()) SetCtrlVal(panel, COMM_TEXT, ports);
    SetCtrlVal(panel, COMM_PORT, comPort);
    if (portOpen == 1) Griser_menus(1);
    InstallPopup(panel);
}

int Communication(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    switch (control) {
    case COMM_TEST: {
        int port = 0;
        GetCtrlVal(panel, COMM_PORT, &port);
        ReleaseTransferPort();
        CloseCommunicationDialog(panel);
        int r = ProbeInstrument(port, baudRate);
        SetWaitCursor(0);
        ReportLinkResult(r);
        Griser_menus(0);
        break;
    }
    case COMM_SEARCH:
        ReleaseTransferPort();
        CloseCommunicationDialog(panel);
        ShowInProgressPanel();
        ScanPorts();
        Griser_menus(0);
        break;
    case COMM_QUIT:
        CloseCommunicationDialog(panel);
        Griser_menus(0);
        break;
    default:
        Griser_menus(0);
        break;
    }
    return 0;
}

void ClearMemoryCommand() {
    int button = GenericMessagePopup(Tr(CLEAR_TITLE), Tr(CLEAR_QUESTION), Tr(YES_TEXT), Tr(NO_TEXT),
                                     "", nullptr, 0, 0, VAL_GENERIC_POPUP_BTN1,
                                     VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN2);
    if (button != VAL_GENERIC_POPUP_BTN1) return;
    if (ClearInstrumentMemory() < 0) ShowError(24);
}

void Gestion_import(int, int menuItem, void *, int) {
    ResetTimer(0, 0);
    switch (menuItem) {
    case MENU_COMMUNICATION:
        OpenCommunicationDialog();
        break;
    case MENU_CLEAR_MEMORY:
        ClearMemoryCommand();
        break;
    case MENU_IMPORT:
        ImportCommand();
        break;
    case MENU_SPREADSHEET_EXPORT:
        OpenSpreadsheetDialog();
        break;
    default:
        break;
    }
}

void RegisterLinkCallbacks() {
    RegisterCtrlCallback("Communication", Communication);
    RegisterMenuCallback("Gestion_import", Gestion_import);
    RegisterCtrlCallback("Quitter_Data", Quitter_Data);
}
