#include "support/app_fixture.h"

#include "display/display.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

void EnsureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "velorinder-tests";
    static char *argv[] = {name, nullptr};
    InitCVIRTE(argc, argv);
}

void RegisterGraphCallbacks() {
    static bool registered = false;
    if (registered) return;
    RegisterCallbacks();
    RegisterDisplayCallbacks();
    RegisterWindowCallbacks();
    registered = true;
}

TempDir::TempDir() {
    std::string templ = (fs::temp_directory_path() / "velorinder-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("cannot make a temporary directory");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ProgramDir() {
    return VELORINDER_PROGRAM_DIR;
}

void CopyFromProgramDir(const std::string &name, const std::string &dir) {
    fs::copy(fs::path(ProgramDir()) / name, fs::path(dir) / name,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

MainWindowForTesting::MainWindowForTesting(int height, int width) {
    EnsureApplication();
    SetProjectDirForTesting(dir.path());
    CopyFromProgramDir("VELORPNL.UIR", dir.path());
    RegisterCallbacks();
    mainPanel = LoadPanel(0, ResourceFile(), PANEL_MAIN);
    menuBar = GetPanelMenuBar(mainPanel);
    templatePanel = LoadPanel(mainPanel, ResourceFile(), PANEL_TEMPLATE);
    language = 1;
    SetPanelAttribute(mainPanel, ATTR_HEIGHT, height);
    SetPanelAttribute(mainPanel, ATTR_WIDTH, width);
    DisplayPanel(mainPanel);
    QApplication::processEvents();
}

MainWindowForTesting::~MainWindowForTesting() {
    while (currentWindow >= 0)
        Fermer_fenetre();
    DiscardPanel(templatePanel);
    DiscardPanel(mainPanel);
    templatePanel = mainPanel = menuBar = 0;
}

void AppTest::SetUp() {
    EnsureApplication();
    SetProjectDirForTesting(dir.path());
    CopyFromProgramDir("VELORPNL.UIR", dir.path());
    SetPopupScriptMode(true);
    ClearPopupLog();
    SetUnexpectedPopupHandler([](const PopupRecord &r) {
        ADD_FAILURE() << "unexpected popup: [" << r.title << "] " << r.text;
    });
}

void AppTest::TearDown() {
    EXPECT_EQ(ScriptedPopupsLeft(), 0) << "scripted popups that never came";
    SetPopupScriptMode(false);
    SetUnexpectedPopupHandler(nullptr);
}

void AppTest::Expect(const std::string &titleContains, int button, const std::string &response) {
    ScriptPopup({titleContains, button, response});
}

std::vector<std::string> AppTest::PopupTitles() const {
    std::vector<std::string> titles;
    for (const auto &r : PopupLog())
        titles.push_back(r.title);
    return titles;
}

} // namespace testsupport
