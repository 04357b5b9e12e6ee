// The Edit menu on real graph windows: alarm lines, labels, copy and rename.
#include "edit/edit.h"
#include "link/link.h"
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <cstdlib>
#include <optional>
#include <qcustomplot.h>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

struct Line {
    double x1, x2, y;
};
struct Text {
    double x, y;
    std::string text;
};

class EditTest : public GraphWindowTest {
  protected:
    static void Click(int panel, int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(panel, control));
        ASSERT_NE(button, nullptr) << "control " << control;
        button->click();
    }
    static void Menu(int item) { Gestion_edition(menuBar, item, nullptr, mainPanel); }
    static bool MenusDimmed() {
        int dimmed = 0;
        GetMenuBarAttribute(menuBar, MENU_EDIT, ATTR_DIMMED, &dimmed);
        return dimmed != 0;
    }
    static bool Dimmed(int panel, int control) { return !CtrlWidget(panel, control)->isEnabled(); }
    static QCustomPlot *Graph(int slot) {
        return qobject_cast<QCustomPlot *>(CtrlWidget(windows[slot].panel, WINDOW_GRAPH));
    }
    static std::vector<Line> Lines(int slot) {
        std::vector<Line> lines;
        QCustomPlot *plot = Graph(slot);
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *l = qobject_cast<QCPItemLine *>(plot->item(i)))
                lines.push_back(
                    {l->start->coords().x(), l->end->coords().x(), l->end->coords().y()});
        return lines;
    }
    static std::vector<Text> Texts(int slot) {
        std::vector<Text> texts;
        QCustomPlot *plot = Graph(slot);
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *t = qobject_cast<QCPItemText *>(plot->item(i)))
                texts.push_back({t->position->coords().x(), t->position->coords().y(),
                                 t->text().toStdString()});
        return texts;
    }
    // The alarm dialog with each line on (level) or off (nullopt), then OK.
    static void SetAlarms(std::optional<double> line1, std::optional<double> line2,
                          int setting = 0) {
        Menu(MENU_ALARM);
        ASSERT_GT(alarmPanel, 0);
        EXPECT_TRUE(MenusDimmed()) << "menus are dimmed while the dialog is open";
        const std::pair<int, std::optional<double>> boxes[2] = {{ALARM_LINE_1, line1},
                                                                {ALARM_LINE_2, line2}};
        for (const auto &[box, level] : boxes) {
            int on = 0;
            GetCtrlVal(alarmPanel, box, &on);
            if ((on != 0) != level.has_value()) Click(alarmPanel, box);
            const int field = box == ALARM_LINE_1 ? ALARM_LEVEL_1 : ALARM_LEVEL_2;
            EXPECT_EQ(Dimmed(alarmPanel, field), !level.has_value()) << "box " << box;
            if (level) SetCtrlVal(alarmPanel, field, *level);
        }
        SetCtrlVal(alarmPanel, ALARM_SETTING, setting);
        Click(alarmPanel, ALARM_OK);
        EXPECT_EQ(alarmPanel, 0);
        EXPECT_FALSE(MenusDimmed());
    }
    // Puts graph cursor 1 on sample i of a window.
    static void CursorAt(int slot, int i) {
        const WindowRecord &w = windows[slot];
        SetGraphCursor(w.panel, WINDOW_GRAPH, 1, w.time[i], w.value[i]);
    }
    static std::vector<double> Ramp(int n) {
        std::vector<double> v(n);
        for (int i = 0; i < n; ++i)
            v[i] = 100.0 + i;
        return v;
    }
};

TEST_F(EditTest, BothAlarmLinesKeepTheLowerLevelFirst) {
    int s = OpenRecording("alarms", testsupport::RunUpCurve(300));
    SetAlarms(50.0, 20.0);
    const WindowRecord &w = windows[s];
    EXPECT_EQ(w.alarmShown, 10);
    EXPECT_EQ(w.alarmLevel[0], 20);
    EXPECT_EQ(w.alarmLevel[1], 50);
    // Each handle follows its level: removing handle 0 leaves the line at 50.
    ASSERT_EQ(Lines(s).size(), 2u);
    DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.alarmPlot[0], VAL_IMMEDIATE_DRAW);
    auto lines = Lines(s);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].y, 50);
    EXPECT_LE(lines[0].x1, w.time[0]) << "the line spans the whole recording";
    EXPECT_GE(lines[0].x2, w.time[w.count - 1]);
}

TEST_F(EditTest, OnlyLineTwoIsNeverExchangedWithAnOldLevel) {
    int s = OpenRecording("alarms", testsupport::RunUpCurve(300));
    SetAlarms(50.0, std::nullopt, 12);
    EXPECT_EQ(windows[s].alarmShown, 1);
    EXPECT_EQ(windows[s].alarmLevel[0], 50) << "line 1 keeps its level over an unused 0.0";
    SetAlarms(std::nullopt, 30.0, 12);
    const WindowRecord &w = windows[s];
    EXPECT_EQ(w.alarmShown, 11);
    EXPECT_EQ(w.alarmLevel[1], 30) << "the line drawn keeps its level";
    auto lines = Lines(s);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].y, 30);

    Menu(MENU_ALARM);
    ASSERT_GT(alarmPanel, 0);
    int on1 = -1, on2 = -1, setting = -1;
    double level2 = 0;
    GetCtrlVal(alarmPanel, ALARM_LINE_1, &on1);
    GetCtrlVal(alarmPanel, ALARM_LINE_2, &on2);
    GetCtrlVal(alarmPanel, ALARM_LEVEL_2, &level2);
    GetCtrlVal(alarmPanel, ALARM_SETTING, &setting);
    EXPECT_EQ(on1, 0);
    EXPECT_TRUE(Dimmed(alarmPanel, ALARM_LEVEL_1));
    EXPECT_EQ(on2, 1);
    EXPECT_FALSE(Dimmed(alarmPanel, ALARM_LEVEL_2));
    EXPECT_EQ(level2, 30) << "the dialog shows the level drawn";
    EXPECT_EQ(setting, 12);
    Click(alarmPanel, ALARM_QUIT);
    EXPECT_EQ(alarmPanel, 0);
    EXPECT_EQ(Lines(s).size(), 1u) << "Quit changes nothing";
}

TEST_F(EditTest, OkWithNoBoxRemovesBothLines) {
    int s = OpenRecording("alarms", testsupport::RunUpCurve(300));
    SetAlarms(50.0, 20.0);
    SetAlarms(std::nullopt, std::nullopt);
    EXPECT_EQ(windows[s].alarmShown, 0);
    EXPECT_EQ(windows[s].alarmPlot[0], 0);
    EXPECT_EQ(windows[s].alarmPlot[1], 0);
    EXPECT_TRUE(Lines(s).empty());
}

TEST_F(EditTest, ArrowsStopWithinTheMarginsOfTheVisibleAxes) {
    int s = OpenRecording("labels", Ramp(200));
    CursorAt(s, 100);
    Menu(MENU_TEXT_1);
    ASSERT_GT(textDialog, 0);
    EXPECT_TRUE(MenusDimmed());
    const WindowRecord &w = windows[s];
    double ymin = 0, ymax = 0, xmin = 0, xmax = 0;
    Range(s, VAL_LEFT_YAXIS, &ymin, &ymax);
    Range(s, VAL_BOTTOM_XAXIS, &xmin, &xmax);
    for (int i = 0; i < 30; ++i)
        Click(textDialog, TEXT_UP);
    EXPECT_GE(labelY, ymax - 0.05 * (ymax - ymin));
    EXPECT_LE(labelY, ymax) << "the label stays on the graph";
    for (int i = 0; i < 100; ++i)
        Click(textDialog, TEXT_LEFT);
    EXPECT_LE(labelX, xmin + 0.01 * (xmax - xmin));
    EXPECT_GE(labelX, xmin);
    auto texts = Texts(s);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x, labelX);
    EXPECT_EQ(texts[0].y, labelY);
    EXPECT_EQ(texts[0].text, w.labelText[2]);
    Click(textDialog, TEXT_OK);
    EXPECT_EQ(textDialog, 0);
    EXPECT_FALSE(MenusDimmed());
    EXPECT_EQ(Texts(s).size(), 1u) << "OK keeps the label";
}

TEST_F(EditTest, TextOneTwiceLeavesOneLabelAtTheSecondCursor) {
    int s = OpenRecording("labels", Ramp(200));
    CursorAt(s, 20);
    Menu(MENU_TEXT_1);
    Click(textDialog, TEXT_OK);
    CursorAt(s, 150);
    Menu(MENU_TEXT_1);
    Click(textDialog, TEXT_OK);
    auto texts = Texts(s);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x, windows[s].time[150]);
    EXPECT_EQ(texts[0].y, windows[s].value[150]);
}

TEST_F(EditTest, RemoveAfterUpLeavesNoLabel) {
    int s = OpenRecording("labels", Ramp(200));
    Menu(MENU_TEXT_1 + 1);
    Click(textDialog, TEXT_UP);
    Click(textDialog, TEXT_REMOVE);
    EXPECT_EQ(textDialog, 0);
    EXPECT_FALSE(MenusDimmed());
    EXPECT_TRUE(Texts(s).empty());
    EXPECT_EQ(windows[s].labelState[3], 0);
}

TEST_F(EditTest, TheGraphFollowsTheTypingAndOkKeepsTheText) {
    int s = OpenRecording("labels", Ramp(200));
    Menu(MENU_TEXT_3);
    auto *field = qobject_cast<QLineEdit *>(CtrlWidget(textDialog, TEXT_FIELD));
    ASSERT_NE(field, nullptr);
    field->selectAll();
    QTest::keyClicks(field, "Run-up");
    auto texts = Texts(s);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Run-up");
    EXPECT_STREQ(windows[s].labelText[4], "text") << "stored only by OK";
    Click(textDialog, TEXT_OK);
    EXPECT_STREQ(windows[s].labelText[4], "Run-up");
}

TEST_F(EditTest, MaximumLabelStandsAtTheExtremeSampleTime) {
    std::vector<double> v = {3, 5, 4, 9, 2, 7};
    int s = OpenRecording("interval 10", v, 10);
    Menu(MENU_MAX_LABEL);
    ASSERT_GT(textDialog, 0);
    std::string shown;
    GetCtrlVal(textDialog, TEXT_FIELD, &shown);
    EXPECT_EQ(shown, "Max");
    Click(textDialog, TEXT_OK);
    auto texts = Texts(s);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x, 30) << "sample 3 is at 30 s";
    EXPECT_EQ(texts[0].y, 9);
    EXPECT_EQ(windows[s].labelState[LABEL_MAX], 1);
}

TEST(ExtremeSample, MissingSamplesAreNeverTheMinimum) {
    const double v[] = {4, 0, 3, 0, 5};
    const int gaps[] = {1, 3};
    EXPECT_EQ(ExtremeSample(v, 5, gaps, 2, false), 2);
    EXPECT_EQ(ExtremeSample(v, 5, gaps, 2, true), 4);
    EXPECT_EQ(ExtremeSample(v, 2, gaps, 1, true), 0);
    const int all[] = {0, 1};
    EXPECT_EQ(ExtremeSample(v, 2, all, 2, false), -1);
}

TEST_F(EditTest, RenameChangesTitleBarAndWindowMenu) {
    int s = OpenRecording("old name", Ramp(20));
    Expect("Rename Window", 1, "Brake test 3");
    Menu(MENU_RENAME_WINDOW);
    std::string title, item;
    GetPanelAttribute(windows[s].panel, ATTR_TITLE, &title);
    GetMenuBarAttribute(menuBar, windows[s].menuItem, ATTR_ITEM_NAME, &item);
    EXPECT_EQ(title, "Brake test 3");
    EXPECT_EQ(item, "Brake test 3");
    Expect("Rename Window", 2, "ignored");
    Menu(MENU_RENAME_WINDOW);
    GetPanelAttribute(windows[s].panel, ATTR_TITLE, &title);
    EXPECT_EQ(title, "Brake test 3") << "Cancel keeps the title";
}

TEST_F(EditTest, RenameNamesTheRecordingForWhatIsMadeOfItLater) {
    int s = OpenRecording("old name", Ramp(20));
    Expect("Rename Window", 1, "  Brake test 3 ");
    Menu(MENU_RENAME_WINDOW);
    EXPECT_STREQ(windows[s].title, "Brake test 3");
    std::string title;
    GetPanelAttribute(windows[s].panel, ATTR_TITLE, &title);
    EXPECT_EQ(title, "Brake test 3");
    // A position display made now is named after the new name.
    sourceList[0] = s;
    sourceCount = 1;
    TraitementFiltre(0, KIND_POSITION);
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(std::string(windows[1].title), DerivedTitle(KIND_POSITION, language, "Brake test 3"));
}

TEST_F(EditTest, BlankRenameKeepsTheName) {
    int s = OpenRecording("old name", Ramp(20));
    Expect("Rename Window", 1, "   ");
    Menu(MENU_RENAME_WINDOW);
    std::string title, item;
    GetPanelAttribute(windows[s].panel, ATTR_TITLE, &title);
    GetMenuBarAttribute(menuBar, windows[s].menuItem, ATTR_ITEM_NAME, &item);
    EXPECT_EQ(title, "old name");
    EXPECT_EQ(item, "old name");
    EXPECT_STREQ(windows[s].title, "old name");
}

TEST_F(EditTest, LongRenameIsCutToTheTitleBetweenCharacters) {
    int s = OpenRecording("old name", Ramp(20));
    std::string accents;
    for (int k = 0; k < 100; ++k)
        accents += "\xC3\xA9"; // é
    Expect("Rename Window", 1, accents);
    Menu(MENU_RENAME_WINDOW);
    const std::string kept = windows[s].title;
    EXPECT_EQ(kept, accents.substr(0, 98)) << "49 whole characters fit in the field";
    std::string title;
    GetPanelAttribute(windows[s].panel, ATTR_TITLE, &title);
    EXPECT_EQ(title, kept) << "the title bar shows the name the recording keeps";
}

TEST_F(EditTest, CopyPutsTheWindowImageOnTheClipboard) {
    int s = OpenRecording("copied", testsupport::RunUpCurve(300));
    QApplication::clipboard()->clear();
    Menu(MENU_COPY_WINDOW);
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    QWidget *inside = PanelWidget(windows[s].panel);
    EXPECT_EQ(copied.size(), inside->size()) << "the panel's inside, without title bar";
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              inside->grab().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(EditTest, EveryCommandWithoutAWindowGivesError4) {
    for (int item : {20, 22, 23, 24, 25, 26, 28, 29}) {
        Expect("-104");
        Menu(item);
        EXPECT_EQ(ScriptedPopupsLeft(), 0) << "item " << item;
        EXPECT_EQ(alarmPanel, 0);
        EXPECT_EQ(textDialog, 0);
    }
}

// Pictures for a person to look at, when VELORINDER_PICTURES names a folder.
TEST_F(EditTest, Pictures) {
    const char *out = std::getenv("VELORINDER_PICTURES");
    if (!out) GTEST_SKIP() << "VELORINDER_PICTURES not set";
    int s = OpenRecording("recording_3.mon", testsupport::RunUpCurve(600));
    SetAlarms(1300.0, 400.0);
    Menu(MENU_MIN_LABEL);
    Click(textDialog, TEXT_OK);
    Menu(MENU_MAX_LABEL);
    Click(textDialog, TEXT_OK);
    CursorAt(s, 450);
    Menu(MENU_TEXT_1);
    auto *field = qobject_cast<QLineEdit *>(CtrlWidget(textDialog, TEXT_FIELD));
    field->setText("steady run");
    emit field->textEdited(field->text());
    Click(textDialog, TEXT_UP);
    Settle();
    PanelWidget(textDialog)->grab().save(QString(out) + "/text_dialog.png");
    Click(textDialog, TEXT_OK);
    EXPECT_TRUE(SavePicture(std::string(out) + "/edit_labels_and_alarms.png"));
}

} // namespace
