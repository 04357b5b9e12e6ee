// The installed program: installed into a prefix of its own and started from
// another folder, with a home of its own, it keeps its settings and the
// folders it remembers in that home, saves and opens recordings there, and
// writes nothing under the prefix or in the folder it was started from. A
// driver that Qt loads into the program answers its windows as a user would.
#include "support/app_fixture.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A recording of six samples, 10 s apart, as the instrument sends it.
const std::string LINE = "0012;1;1;001.00;00010;1.50E+2;2.50E-1;3.00E+1;4.25E+0;5.00E+3;6.00E-2;";
const std::vector<double> VALUES = {150.0, 0.25, 30.0, 4.25, 5000.0, 0.06};

struct Entry {
    std::uintmax_t size;
    fs::file_time_type time;
    bool operator==(const Entry &) const = default;
};

// Every file and folder below root, with its size and time.
std::map<std::string, Entry> Snapshot(const std::string &root) {
    std::map<std::string, Entry> files;
    for (const auto &e : fs::recursive_directory_iterator(root)) {
        std::error_code ec;
        std::uintmax_t size = e.is_regular_file(ec) ? e.file_size(ec) : 0;
        files[fs::relative(e.path(), root).string()] = {size, e.last_write_time(ec)};
    }
    return files;
}

std::vector<double> Numbers(const std::string &line) {
    std::vector<double> numbers;
    std::istringstream in(line);
    for (double x; in >> x;)
        numbers.push_back(x);
    return numbers;
}

class InstalledProgram : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = new TempDir;
        const std::string command = std::string(VELORINDER_CMAKE) + " --install " +
                                    VELORINDER_BUILD_DIR + " --prefix " + prefix_->path() + " > " +
                                    prefix_->path() + "-install.log 2>&1";
        installStatus_ = std::system(command.c_str());
        std::remove((prefix_->path() + "-install.log").c_str());
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(installStatus_, 0) << "cmake --install failed";
        ASSERT_TRUE(fs::is_regular_file(prefix_->path() + "/bin/velorinder"));
        before_ = Snapshot(prefix_->path());
    }
    void TearDown() override {
        auto after = Snapshot(prefix_->path());
        for (const auto &[path, entry] : after)
            EXPECT_TRUE(before_.count(path) && before_.at(path) == entry)
                << "written under the prefix: " << path;
        for (const auto &[path, entry] : before_)
            EXPECT_TRUE(after.count(path)) << "removed under the prefix: " << path;
        EXPECT_TRUE(fs::is_empty(work.path())) << "something written where it was started";
    }

    std::string Home(const std::string &below) const { return home.path() + "/" + below; }

    // Starts an installed program from the work folder, with the home's
    // environment and the driver; gives its process id.
    pid_t Start(const std::string &name, std::vector<std::string> args, const std::string &script,
                const std::string &log) {
        std::map<std::string, std::string> env = CurrentEnvironment();
        env["HOME"] = home.path();
        env["XDG_CONFIG_HOME"] = Home("cfg");
        env["XDG_STATE_HOME"] = Home("state");
        env["XDG_CACHE_HOME"] = Home("cache");
        env["XDG_DATA_HOME"] = Home("data");
        env.erase("XDG_DOCUMENTS_DIR");
        env["QT_QPA_PLATFORM"] = "offscreen";
        if (!script.empty()) {
            env["QT_QPA_GENERIC_PLUGINS"] = "velorinderdriver";
            env["QT_PLUGIN_PATH"] = VELORINDER_DRIVER_PLUGINS;
            env["VELORINDER_DRIVER_SCRIPT"] = script;
            env["VELORINDER_DRIVER_LOG"] = log;
        }
        return StartProcess(prefix_->path() + "/bin/" + name, std::move(args), env, work.path());
    }

    // Runs the installed program with the driver's script; gives the log.
    std::vector<std::vector<std::string>> Run(const std::vector<std::string> &steps) {
        const std::string script = logs.file("script"), log = logs.file("log");
        std::string text;
        for (const auto &s : steps)
            text += s + "\n";
        WriteFile(script, text);
        std::remove(log.c_str());
        pid_t pid = Start("velorinder", {}, script, log);
        int status = -1;
        if (!WaitForExit(pid, std::chrono::minutes(3), &status))
            ADD_FAILURE() << "the program did not end";
        std::vector<std::vector<std::string>> entries = DriverLogEntries(ReadFile(log));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n"
                                                                   << ReadFile(log);
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                                [](const auto &e) { return e[0] == "done"; }),
                  static_cast<long>(steps.size()))
            << ReadFile(log);
        return entries;
    }

    static std::vector<std::string> Field(const std::vector<std::vector<std::string>> &log,
                                          const std::string &what) {
        std::vector<std::string> values;
        for (const auto &e : log)
            if (e[0] == what) values.push_back(e.size() > 1 ? e[1] : "");
        return values;
    }

    TempDir home, work, logs;
    std::map<std::string, Entry> before_;
    static TempDir *prefix_;
    static int installStatus_;
};

TempDir *InstalledProgram::prefix_ = nullptr;
int InstalledProgram::installStatus_ = -1;

TEST_F(InstalledProgram, KeepsEverythingInTheUsersHomeAndRoundTripsARecording) {
    const std::string documents = Home("Documents");
    fs::create_directories(documents + "/in");
    fs::create_directories(documents + "/out");
    fs::create_directories(documents + "/books");
    WriteFile(documents + "/in/shaft.mon", "shaft.mon\n03/07/2024 09:05\n" + LINE + "\n");

    auto first = Run({
        "click\tError\tOK", // a first start finds no settings
        "click\tparameters of communication\tQuit",
        "menu\t3",
        "file\tOpen\t" + documents + "/in/shaft.mon",
        "menu\t4",
        "file\tSave\t" + documents + "/out/run.vlr",
        "menu\t3",
        "file\tOpen\t" + documents + "/out/run.vlr",
        "menu\t4",
        "file\tSave\t" + documents + "/out/again.vlr",
        "menu\t18",
        "click\tEXCEL\tRun",
        "click\tEXCEL\tExport",
        "file\tSave\t" + documents + "/books/sheet.xlsx",
        "click\tEXCEL\tQuit",
        "click\tEXCEL Sheet\tOK",
        "menu\t61",
        "list\t" + Home("cache/velorinder"),
        "close\tVELORINDER - Help",
        "menu\t9",
        "click\tQuit\tYes",
    });
    // Open starts in the documents, then where a recording was last used;
    // Save where a recording file was last saved; the export in the documents.
    EXPECT_EQ(Field(first, "dir"),
              (std::vector<std::string>{documents, documents, documents + "/out",
                                        documents + "/out", documents}));
    EXPECT_TRUE(fs::is_regular_file(documents + "/books/sheet.xlsx"))
        << "the template is found in the installed resources";
    const std::string cfg = Home("cfg/velorinder");
    EXPECT_TRUE(fs::is_regular_file(cfg + "/Velorcfg.ini"));
    auto settings = Lines(ReadFile(cfg + "/Velorcfg.ini"));
    ASSERT_GE(settings.size(), 17u);
    EXPECT_EQ(settings[1], "1 38400");
    auto cached = Field(first, "entry");
    EXPECT_NE(std::find(cached.begin(), cached.end(), "Velorinder.hlp"), cached.end());
    EXPECT_TRUE(std::any_of(cached.begin(), cached.end(), [](const std::string &name) {
        return name.rfind("velorinder-help-", 0) == 0;
    })) << "the help viewer's collection is made in the cache folder";

    auto run = Lines(ReadFile(documents + "/out/run.vlr"));
    auto again = Lines(ReadFile(documents + "/out/again.vlr"));
    ASSERT_EQ(run.size(), 11u);
    ASSERT_EQ(again.size(), 11u);
    EXPECT_EQ(run[0], "run.vlr");
    EXPECT_EQ(again[0], "again.vlr");
    EXPECT_EQ(std::vector<std::string>(run.begin() + 1, run.end()),
              std::vector<std::string>(again.begin() + 1, again.end()))
        << "a recording saved and opened again is saved the same";
    EXPECT_EQ(run[2], "10");
    EXPECT_EQ(run[3], "6");
    EXPECT_EQ(Numbers(run[9]), (std::vector<double>{0, 10, 20, 30, 40, 50}));
    EXPECT_EQ(Numbers(run[10]), VALUES);

    // A second start finds its settings and the folder last used.
    auto second = Run({
        "click\tparameters of communication\tQuit",
        "menu\t3",
        "file\tOpen\t" + documents + "/out/run.vlr",
        "menu\t18",
        "click\tEXCEL\tRun",
        "click\tEXCEL\tExport",
        "file\tSave\t",
        "click\tEXCEL\tQuit",
        "click\tEXCEL Sheet\tOK",
        "menu\t9",
        "click\tQuit\tYes",
    });
    EXPECT_EQ(Field(second, "dir"),
              (std::vector<std::string>{documents + "/out", documents + "/books"}));
    for (const std::string &title : Field(second, "seen"))
        EXPECT_EQ(title.find("Error"), std::string::npos) << title;

    // The home holds the settings, the cache and the user's own files, nothing else.
    for (const auto &[path, entry] : Snapshot(home.path())) {
        bool expected = path.rfind("cfg", 0) == 0 || path.rfind("cache", 0) == 0 ||
                        path.rfind("state", 0) == 0 || path.rfind("Documents", 0) == 0;
        EXPECT_TRUE(expected) << path;
    }
    for (const auto &e : fs::directory_iterator(Home("cache/velorinder")))
        EXPECT_NE(e.path().filename().string().rfind("velorinder-help-", 0), 0u)
            << "the help collection goes at exit";
}

} // namespace

namespace {

TEST_F(InstalledProgram, ImportsThroughALinkInTheConfigFolderAndRemovesItsTemporaryFiles) {
    const std::string documents = Home("Documents");
    fs::create_directories(documents + "/imports");
    const std::string link = Home("cfg/velorinder/COM1");
    fs::create_directories(Home("cfg/velorinder"));
    pid_t sim = Start("rd5150-sim", {"--link", link, "--unpaced"}, "", "");
    ASSERT_GT(sim, 0);
    for (int i = 0; i < 200 && !fs::is_symlink(link); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::is_symlink(link)) << "the simulator did not start";

    // The simulator holds six recordings: the first is saved, the others are
    // left to temporary files.
    std::vector<std::string> steps = {"click\tError\tOK",
                                      "click\tparameters of communication\tQuit", "menu\t14",
                                      "file\tSave\t" + documents + "/imports/first.mon"};
    for (int i = 0; i < 5; ++i)
        steps.push_back("file\tSave\t");
    steps.insert(steps.end(), {"click\tVELORINDER\tQuit", "list\t" + Home("state/velorinder"),
                               "menu\t9", "click\tQuit\tYes",
                               // Not kept: the temporary recordings go with the exit.
                               "click\tQuit\tNo"});
    auto log = Run(steps);
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);

    for (const std::string &title : Field(log, "seen")) {
        if (title.find("-100") != std::string::npos) continue; // a first start: no settings
        EXPECT_EQ(title.find("Error"), std::string::npos) << title;
    }
    auto dirs = Field(log, "dir");
    ASSERT_EQ(dirs.size(), 6u);
    EXPECT_EQ(dirs[0], documents) << "the first transfer file is proposed in the documents";
    EXPECT_EQ(dirs[1], documents + "/imports") << "then where the last one was saved";
    EXPECT_EQ(Lines(ReadFile(documents + "/imports/first.mon")).at(0), "first.mon");
    auto temporary = Field(log, "entry");
    EXPECT_EQ(std::count_if(temporary.begin(), temporary.end(),
                            [](const std::string &name) {
                                return name.size() > 4 && name.substr(name.size() - 4) == ".tmp";
                            }),
              5)
        << "the recordings not saved wait in the state folder";
    for (const auto &e : fs::directory_iterator(Home("state/velorinder")))
        ADD_FAILURE() << "left after exit: " << e.path();
}

TEST(UserFolders, UnsetOrRelativeVariablesMeanTheFoldersInTheHome) {
    const char *saved = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = saved ? saved : "";
    unsetenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    EXPECT_EQ(XdgFolder("XDG_CONFIG_HOME", ".config"), home + "/.config/velorinder");
    setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(XdgFolder("XDG_CONFIG_HOME", ".config"), home + "/.config/velorinder");
    setenv("XDG_CONFIG_HOME", "/srv/cfg/", 1);
    EXPECT_EQ(XdgFolder("XDG_CONFIG_HOME", ".config"), "/srv/cfg/velorinder");
    if (saved)
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

} // namespace
