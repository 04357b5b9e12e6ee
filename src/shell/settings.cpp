// The settings file Velorcfg.ini: read at start, created when missing or
// damaged, saved at exit.
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "platform/replace.h"
#include "shell/shell.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sstream>

int mainTop = 25, mainLeft = 5, mainHeight = 500, mainWidth = 800, mainZoom = 0;
char recentFiles[4][300] = {};
int recentItems[4] = {};
std::string spreadsheetDir;

namespace {

// Lines without their line end; files written on Windows end lines in CR LF.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Exactly `count` decimal integers, separated and surrounded by blanks only.
bool ParseInts(std::string_view line, int *values, int count) {
    const char *p = line.data();
    const char *end = p + line.size();
    for (int i = 0; i < count; ++i) {
        while (p < end && IsBlank(*p))
            ++p;
        if (p < end && *p == '+') ++p;
        auto [next, ec] = std::from_chars(p, end, values[i]);
        if (ec != std::errc() || next == p) return false;
        if (next < end && !IsBlank(*next)) return false;
        p = next;
    }
    while (p < end && IsBlank(*p))
        ++p;
    return p == end;
}

bool IsBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), IsBlank);
}

bool IsEndMarker(std::string_view line) {
    return line.substr(0, 3) == "***" && IsBlankLine(line.substr(3));
}

// A recent-files entry as its 300 characters keep it.
std::string RecentEntry(std::string_view line) {
    std::string entry(line.substr(0, line.find('\0')).substr(0, sizeof recentFiles[0] - 1));
    // A line end of its own would not read back.
    while (!entry.empty() && entry.back() == '\r')
        entry.pop_back();
    return entry;
}

std::string HeadText(int tick) {
    std::ostringstream text;
    text << tick << '\n' << comPort << ' ' << baudRate << '\n';
    return text.str();
}

std::array<std::string, 4> HeldRecentFiles() {
    std::array<std::string, 4> list;
    for (int i = 0; i < 4; ++i)
        list[i] = recentFiles[i];
    return list;
}

std::string RecentText(const std::array<std::string, 4> &recent) {
    std::string text;
    for (const std::string &entry : recent)
        text += entry + "\n";
    return text;
}

// One axis of FitMainPlacement: start and length against the area's.
void FitSide(int *start, int *length, int areaStart, int areaLength) {
    constexpr long long kShownStrip = 100; // enough of a window to take it by its title bar
    constexpr int kShortestSide = 150;     // smaller windows are hard to find and to use
    if (areaLength <= 0) return;
    const bool cut = *length > areaLength;
    *length = std::clamp(*length, std::min(kShortestSide, areaLength), areaLength);
    const long long end = static_cast<long long>(areaStart) + areaLength;
    const long long shown = std::min<long long>(kShownStrip, *length);
    if (cut)
        *start = areaStart;
    else if (*start < areaStart || *start > end - shown)
        *start = static_cast<int>(std::clamp<long long>(*start, areaStart, end - *length));
}

} // namespace

MainPlacement FitMainPlacement(MainPlacement want, MainPlacement area) {
    FitSide(&want.top, &want.height, area.top, area.height);
    FitSide(&want.left, &want.width, area.left, area.width);
    return want;
}

bool ParseSettingsFile(std::string_view text, SettingsFile *s) {
    *s = SettingsFile{};
    std::vector<std::string_view> lines = Lines(text);
    lines.resize(std::max<std::size_t>(lines.size(), 21));
    int tick = 0;
    if (ParseInts(lines[0], &tick, 1)) s->tick = tick != 0 ? 1 : 0;
    // Every line up to the end marker must be as the program writes it: the
    // partial save keeps lines 2 to 17 as they are and finds its place by them.
    int port[2];
    if (!ParseInts(lines[1], port, 2)) return false;
    s->comPort = port[0];
    s->baudRate = port[1];
    for (int i = 0; i < 7; ++i)
        if (!ParseInts(lines[2 + i], &s->colours[i], 1)) return false;
    if (!IsBlankLine(lines[9])) return false;
    if (!ParseInts(lines[10], &s->language, 1)) return false;
    for (int i = 0; i < 5; ++i)
        if (!ParseInts(lines[11 + i], &s->placement[i], 1)) return false;
    if (!IsEndMarker(lines[16])) return false;
    for (int i = 0; i < 4; ++i)
        s->recent[i] = RecentEntry(lines[17 + i]);
    return true;
}

bool PartialSettingsText(std::string_view old, int tick, const std::array<std::string, 4> &recent,
                         std::string *text) {
    SettingsFile read;
    if (!ParseSettingsFile(old, &read)) return false;
    std::vector<std::string_view> lines = Lines(old);
    *text = std::to_string(tick) + "\n";
    for (int i = 1; i < 17; ++i) {
        *text += lines[i];
        *text += '\n';
    }
    *text += RecentText(recent);
    return true;
}

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
    std::string text;
    SettingsFile read;
    if (ReadWholeFile(settingsPath, &text) && ParseSettingsFile(text, &read)) {
        tick = read.tick;
        comPort = read.comPort;
        baudRate = read.baudRate;
        for (int i = 0; i < 7; ++i)
            displayColours[i] = read.colours[i];
        language = read.language;
        mainTop = read.placement[0];
        mainLeft = read.placement[1];
        mainHeight = read.placement[2];
        mainWidth = read.placement[3];
        mainZoom = read.placement[4];
        for (int i = 0; i < 4; ++i)
            CopyText(recentFiles[i], sizeof recentFiles[i], read.recent[i]);
    } else {
        DeleteFile(settingsPath);
        DefaultSettings();
        tick = 1;
        ShowError(0);
        // A folder we cannot write to: the program runs on the defaults; a
        // full disk is worth saying.
        if (ReplaceFileText(settingsPath, HeadText(tick) + SettingsTailText()) ==
            REPLACE_NOT_WRITTEN)
            ShowError(23);
    }
    // The language tables know five languages; anything else reads as English.
    if (language < 0 || language >= LANGUAGE_COUNT) language = 1;

    if (mainZoom != 0) {
        SetPanelAttribute(mainPanel, ATTR_WINDOW_ZOOM, mainZoom);
    } else {
        // A file from a larger screen, or edited by hand, must not put the
        // window (and the dialogs centred on it) out of sight.
        MainPlacement area;
        if (GetScreenWorkArea(&area.top, &area.left, &area.height, &area.width) == 0) {
            const MainPlacement fitted =
                FitMainPlacement({mainTop, mainLeft, mainHeight, mainWidth}, area);
            mainTop = fitted.top;
            mainLeft = fitted.left;
            mainHeight = fitted.height;
            mainWidth = fitted.width;
        }
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
        // Nothing is shown when the full save cannot make its file; a write
        // that fails (a full disk) is shown, and the old file stays.
        if (ReplaceFileText(settingsPath, HeadText(tick) + SettingsTailText() +
                                              RecentText(HeldRecentFiles())) == REPLACE_NOT_WRITTEN)
            ShowError(23);
        return;
    }
    // Partial save: the tick and the recent files; lines 2 to 17 stay as they
    // are. A file that no longer reads as settings is left to the next start.
    std::string old, text;
    if (!ReadWholeFile(settingsPath, &old) ||
        !PartialSettingsText(old, tick, HeldRecentFiles(), &text)) {
        ShowError(0);
        return;
    }
    int r = ReplaceFileText(settingsPath, text);
    if (r != REPLACE_DONE) ShowError(r == REPLACE_NOT_WRITTEN ? 23 : 0);
}
