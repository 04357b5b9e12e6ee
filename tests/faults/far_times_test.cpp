// Recording files whose times lie far beyond what an int holds: they open,
// zoom and scroll with their true times on the axis (and, under
// -fsanitize=float-cast-overflow, without an undefined conversion).
#include "files/files.h"
#include "windows/graph_fixture.h"

#include <QScrollBar>

using namespace testsupport;

namespace {

class FarTimes : public GraphWindowTest {
  protected:
    // Writes a recording file with these times and opens it as File > Open does.
    int Open(const std::vector<double> &times) {
        RecordingFile f;
        f.name = "FAR.VLR";
        f.interval = 30;
        f.time = times;
        for (std::size_t k = 0; k < times.size(); ++k)
            f.value.push_back(100.0 + 10.0 * static_cast<double>(k));
        const std::string path = dir.file("far.vlr");
        WriteFile(path, FormatRecordingFile(f));
        Lire_fichier(path);
        Settle();
        return currentWindow;
    }
    std::pair<double, double> View(int slot) {
        double lo = 0, hi = 0;
        Range(slot, VAL_BOTTOM_XAXIS, &lo, &hi);
        return {lo, hi};
    }
    std::pair<double, double> Press(int slot, int key) {
        auto *bar = qobject_cast<QScrollBar *>(CtrlWidget(windows[slot].panel, WINDOW_SCROLLBAR));
        if (!bar)
            bar = CtrlWidget(windows[slot].panel, WINDOW_SCROLLBAR)->findChild<QScrollBar *>();
        EXPECT_NE(bar, nullptr);
        if (!bar) return {0, 0};
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(bar, &press);
        return View(slot);
    }
    static std::pair<std::string, double> Label(int slot, int index) {
        std::string text;
        double at = 0;
        GetAxisItem(windows[slot].panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, index, &text, &at);
        return {text, at};
    }
    void Zoom(int item, int times) {
        for (int i = 0; i < times; ++i)
            Gestion_affichage(menuBar, item, nullptr, mainPanel);
    }
};

TEST_F(FarTimes, TimesBeyondTheIntRangeOpenZoomAndScrollWithTheirTrueTimes) {
    const double start = 70000000000.0; // 19444444 h 26 min 40 s
    int s = Open({start, start + 30});
    ASSERT_EQ(windowCount, 1);
    ASSERT_EQ(windows[s].count, 2);
    auto first = Label(s, 0);
    EXPECT_EQ(first.second, start);
    EXPECT_EQ(first.first, "19444444:26:40");

    // Zoomed in as far as it goes, the view moves along the 30 s.
    Zoom(MENU_ZOOM_IN, ZOOM_LAST);
    auto view = View(s);
    ASSERT_LT(view.second - view.first, 30.0);
    EXPECT_EQ(Press(s, Qt::Key_End).second, start + 30);
    EXPECT_EQ(Label(s, 4).first, "19444444:27:10");
    auto back = Press(s, Qt::Key_Home);
    EXPECT_EQ(back.first, start);
    EXPECT_EQ(Label(s, 0).second, start);

    Zoom(MENU_ZOOM_OUT, ZOOM_LAST);
    view = View(s);
    EXPECT_LE(view.first, start);
    EXPECT_GE(view.second, start + 30);
}

TEST_F(FarTimes, TimesAtBothEndsOfTheNumberRangeKeepTheViewWithinTheRecording) {
    // Their difference is beyond a double: the recording's length is endless.
    const double far = 1e308;
    int s = Open({-far, far});
    ASSERT_EQ(windowCount, 1);
    ASSERT_EQ(windows[s].count, 2);
    for (int item : {MENU_ZOOM_IN, MENU_ZOOM_OUT}) {
        for (int i = 0; i < ZOOM_LAST; ++i) {
            Gestion_affichage(menuBar, item, nullptr, mainPanel);
            for (int key : {Qt::Key_End, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_Right}) {
                auto view = Press(s, key);
                EXPECT_GE(view.first, -far) << item << " " << i << " " << key;
                EXPECT_LE(view.second, far) << item << " " << i << " " << key;
                EXPECT_LT(view.first, view.second) << item << " " << i << " " << key;
            }
        }
    }
    // The clock text of a time beyond any clock still reads as hours.
    EXPECT_EQ(Label(s, 0).first.find_first_not_of("-0123456789:"), std::string::npos);
}

} // namespace
