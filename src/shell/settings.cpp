// The settings file Velorcfg.ini: read at start, created when missing or
// damaged, saved at exit.
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

int mainTop = 25, mainLeft = 5, mainHeight = 500, mainWidth = 800, mainZoom = 0;
char recentFiles[4][300] = {};
int recentItems[4] = {};
std::string spreadsheetDir;

namespace {

// Lines without their line end; files written on Windows end lines in CR LF.
std::vector<std::string> ReadLines(std::istream &in) {
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool ParseInts(const std::string &line, int *values, int count) {
    std::istringstream s(line);
    for (int i = 0; i < count; ++i)
        if (!(s >> values[i])) return false;
    return true;
}

std::string HeadText(int tick) {
    std::ostringstream text;
    text << tick << '\n' << comPort << ' ' << baudRate << '\n';
    return text.str();
}

std::string RecentText() {
    std::string text;
    for (auto &entry : recentFiles)
        text += std::string(entry) + "\n";
    return text;
}

bool WriteWhole(const std::string &path, const std::string &text) {
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

} // namespace

std::string SettingsTailText() {
    std::ostringstream text;
    for (int c : displayColours)
        text << c << '\n';
    text << '\n' << language << '\n';
    for (int v : {mainTop, mainLeft, mainHeight, mainWidth, mainZoom})
        text << v << '\n';
    text << "***\n";
    return text.str();
}

void WriteSettingsTail(std::FILE *file) {
    std::string text = SettingsTailText();
    std::fwrite(text.data(), 1, text.size(), file);
}

void DefaultSettings() {
    comPort = 1;
    baudRate = 38400;
    const int colours[6] = {0xFF0000, 0xC0C0C0, 0x000080, 0x00FF00, 0xFFFF00, 0x000000};
    for (int i = 0; i < 6; ++i)
        displayColours[i] = colours[i];
    language = 1;
    mainTop = 25;
    mainLeft = 5;
    mainHeight = 500;
    mainWidth = 800;
    mainZoom = 0;
    spreadsheetDir = StartFolder(FolderKind::Workbook);
}

void ReadSettings() {
    for (int &item : recentItems)
        item = 0;
    int tick = 0;
    bool valid = false;
    std::ifstream in(settingsPath, std::ios::binary);
    if (in) {
        std::vector<std::string> lines = ReadLines(in);
        lines.resize(std::max<size_t>(lines.size(), 21));
        if (!ParseInts(lines[0], &tick, 1)) tick = 0;
        int port[2];
        if (ParseInts(lines[1], port, 2)) {
            comPort = port[0];
            baudRate = port[1];
        }
        for (int i = 0; i < 7; ++i) {
            int c;
            if (ParseInts(lines[2 + i], &c, 1)) displayColours[i] = c;
        }
        // Lines 11 to 16 must give six values and line 17 the end marker.
        int six[6];
        int delivered = 0;
        for (; delivered < 6; ++delivered)
            if (!ParseInts(lines[10 + delivered], &six[delivered], 1)) break;
        if (delivered == 6 && lines[16] != "***") delivered = 5;
        if (delivered == 6) {
            valid = true;
            language = six[0];
            mainTop = six[1];
            mainLeft = six[2];
            mainHeight = six[3];
            mainWidth = six[4];
            mainZoom = six[5];
            for (int i = 0; i < 4; ++i) {
                std::strncpy(recentFiles[i], lines[17 + i].c_str(), sizeof recentFiles[i] - 1);
                recentFiles[i][sizeof recentFiles[i] - 1] = '\0';
            }
        }
    }
    in.close();
    if (!valid) {
        DeleteFile(settingsPath);
        DefaultSettings();
        tick = 1;
        ShowError(0);
        // A directory we cannot write to: the program runs on the defaults.
        WriteWhole(settingsPath, HeadText(tick) + SettingsTailText());
    }
    // The language tables know five languages; anything else reads as English.
    if (language < 0 || language >= LANGUAGE_COUNT) language = 1;

    if (mainZoom != 0) {
        SetPanelAttribute(mainPanel, ATTR_WINDOW_ZOOM, mainZoom);
    } else {
        SetPanelAttribute(mainPanel, ATTR_TOP, mainTop);
        SetPanelAttribute(mainPanel, ATTR_LEFT, mainLeft);
        SetPanelAttribute(mainPanel, ATTR_HEIGHT, mainHeight);
        SetPanelAttribute(mainPanel, ATTR_WIDTH, mainWidth);
    }
    SetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, tick);
    for (int i = 0; i < 4; ++i)
        if (recentFiles[i][0] == '_')
            recentItems[i] =
                NewMenuItem(menuBar, 2, recentFiles[i], 12, 0, Gestion_fichier, nullptr);
    SetMenuBarAttribute(menuBar, language + 37, ATTR_CHECKED, 1);
}

void SaveSettingsAtExit() {
    int tick = 0;
    GetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, &tick);
    if (tick == 1) {
        GetPanelAttribute(mainPanel, ATTR_TOP, &mainTop);
        GetPanelAttribute(mainPanel, ATTR_LEFT, &mainLeft);
        GetPanelAttribute(mainPanel, ATTR_HEIGHT, &mainHeight);
        GetPanelAttribute(mainPanel, ATTR_WIDTH, &mainWidth);
        GetPanelAttribute(mainPanel, ATTR_WINDOW_ZOOM, &mainZoom);
        // Nothing is shown when the full save cannot open the file.
        WriteWhole(settingsPath, HeadText(tick) + SettingsTailText() + RecentText());
        return;
    }
    // Partial save: the tick and the recent files; lines 2 to 17 stay as they are.
    std::ifstream in(settingsPath, std::ios::binary);
    if (!in) {
        ShowError(0);
        return;
    }
    std::vector<std::string> lines = ReadLines(in);
    in.close();
    std::string text = std::to_string(tick) + "\n";
    bool marker = false;
    for (size_t i = 1; i < lines.size() && !marker; ++i) {
        text += lines[i] + "\n";
        marker = lines[i] == "***";
    }
    // The old file is rewritten whole, so nothing of a longer old tail survives.
    if (marker) text += RecentText();
    if (!WriteWhole(settingsPath, text)) ShowError(0);
}
