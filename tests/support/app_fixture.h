// Test support: a QApplication, a temporary project directory holding the
// resource file, and scripted popups where an unexpected popup fails the test.
#pragma once

#include "platform/platform.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace testsupport {

// Creates the QApplication once for the whole test program.
void EnsureApplication();
// Registers, once for the test program, the callbacks of the main panel, the
// graph windows and the display menu.
void RegisterGraphCallbacks();

// A fresh project directory under /tmp, removed afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// The built program directory (resource file, toolbar images, help files).
std::string ProgramDir();
// Copies a file or folder of the program directory into dir.
void CopyFromProgramDir(const std::string &name, const std::string &dir);
std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &text);
// The lines of text, without their line ends.
std::vector<std::string> Lines(const std::string &text);

// The main panel and the graph-window template, shown at the given size in a
// temporary program directory, without the splash and settings of start-up;
// closes every graph window and the panels when it goes.
class MainWindowForTesting {
  public:
    MainWindowForTesting(int height, int width);
    ~MainWindowForTesting();
    TempDir dir;
};

// Base fixture: scripted popups, project directory set to a temporary one
// holding VELORPNL.UIR. Derived fixtures start the program as they need.
class AppTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Scripts the next popup: its title must contain titleContains.
    void Expect(const std::string &titleContains, int button = 1, const std::string &response = "");
    // Titles of the popups shown since the test began.
    std::vector<std::string> PopupTitles() const;

    TempDir dir;
};

} // namespace testsupport
