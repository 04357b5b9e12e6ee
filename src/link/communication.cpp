// The communication dialog (test or search a port), its report, the
// clear-memory command and the instrument menu.
#include "link/link.h"

#include "export/export.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <string>
#include <vector>

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
Texts CLEAR_DONE = {
    "La mémoire de l'appareil a été effacée.", "The instrument's memory has been erased.",
    "Der Speicher des Geräts wurde gelöscht.", "La memoria del aparato ha sido borrada.",
    "La memoria dell'apparecchio è stata cancellata."};
// A port that exists but that this user may not open: %1 the port number,
// %2 the device, %3 the group that owns it.
Texts PERMISSION_TEXT = {
    "Le port série COM%1 (%2) existe, mais vous n'avez pas le droit de l'ouvrir.\n"
    "Ajoutez votre compte au groupe « %3 », propriétaire du port :\n"
    "    sudo adduser $USER %3\n"
    "puis fermez la session et rouvrez-la.",
    "Serial port COM%1 (%2) exists, but you are not allowed to open it.\n"
    "Add your account to the group \"%3\" that owns the port:\n"
    "    sudo adduser $USER %3\n"
    "then log out and log in again.",
    "Der serielle Anschluss COM%1 (%2) ist vorhanden, aber Sie dürfen ihn nicht öffnen.\n"
    "Fügen Sie Ihr Konto der Gruppe „%3“ hinzu, der der Anschluss gehört:\n"
    "    sudo adduser $USER %3\n"
    "und melden Sie sich danach ab und wieder an.",
    "El puerto serie COM%1 (%2) existe, pero usted no tiene permiso para abrirlo.\n"
    "Añada su cuenta al grupo «%3», propietario del puerto:\n"
    "    sudo adduser $USER %3\n"
    "y después cierre la sesión y vuelva a entrar.",
    "La porta seriale COM%1 (%2) esiste, ma non si ha il permesso di aprirla.\n"
    "Aggiungere il proprio account al gruppo «%3», proprietario della porta:\n"
    "    sudo adduser $USER %3\n"
    "poi uscire dalla sessione e rientrare."};
// Beside a port in the dialog's list: %1 the group that owns it.
Texts NO_ACCESS_MARK = {" (accès refusé : groupe %1)", " (no access: group %1)",
                        " (kein Zugriff: Gruppe %1)", " (sin acceso: grupo %1)",
                        " (accesso negato: gruppo %1)"};

std::string Fill(std::string text, const std::vector<std::string> &values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string mark = "%" + std::to_string(i + 1);
        for (std::size_t at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + values[i].size()))
            text.replace(at, mark.size(), values[i]);
    }
    return text;
}

int ErrorLanguage() {
    return language >= 0 && language < LANGUAGE_COUNT ? language : 1;
}

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

std::string PermissionText(int port) {
    std::string group = ComPortDeniedGroup(port);
    if (group.empty()) return "";
    return Fill(Tr(PERMISSION_TEXT), {std::to_string(port), ComPortDevice(port), group});
}

bool ShowPermissionError(int port) {
    std::string denied = PermissionText(port);
    if (denied.empty()) return false;
    MessagePopup(ErrorTitle(19, ErrorLanguage()), denied);
    return true;
}

std::string PortListText() {
    std::string text;
    for (int n = 1; n <= MAX_COM_PORTS; ++n) {
        std::string device = ComPortDevice(n);
        if (device.empty()) continue;
        text += "\nCOM" + std::to_string(n) + " = " + device;
        std::string group = ComPortDeniedGroup(n);
        if (!group.empty()) text += Fill(Tr(NO_ACCESS_MARK), {group});
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
    std::string denied; // the first port this user may not open
    for (int n = 1; n <= MAX_COM_PORTS; ++n) {
        if (inProgressPanel > 0) {
            DefaultCtrl(inProgressPanel, IN_PROGRESS_PORT);
            SetCtrlVal(inProgressPanel, IN_PROGRESS_PORT, "COM" + std::to_string(n));
            ProcessDrawEvents();
        }
        r = ProbeInstrument(n, baudRate);
        if (r > 0) break;
        if (r == kRs232CannotOpen && denied.empty()) denied = PermissionText(n);
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
    // The instrument may well be behind the port that could not be opened.
    if (r <= 0 && !denied.empty())
        MessagePopup(ErrorTitle(LinkResultError(r), ErrorLanguage()),
                     ErrorText(LinkResultError(r), ErrorLanguage()) + "\n\n" + denied);
    else
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
        // "Occupied" would send the user looking for another program.
        if (r != kRs232CannotOpen || !ShowPermissionError(port)) ReportLinkResult(r);
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
    // Like an import, the command reaches the instrument on its own; a port
    // that failed has shown its error.
    if (portOpen != 1 && OpenTransferLink() < 0) return;
    int r = ClearInstrumentMemory();
    if (r < 0) {
        // After a failure of the link itself the next command opens it afresh.
        if (GetRs232Err() < 0) {
            CloseCom(comPort);
            portOpen = 0;
        }
        ShowError(24);
        return;
    }
    MessagePopup(Tr(INFO_TITLE), Tr(CLEAR_DONE));
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
