// Where a graph window puts its graph, scroll bar and zoom text, through the
// layouts the program makes and the changes of size the user makes.
#include "windows/graph_fixture.h"

#include <QMdiSubWindow>

#include <cstdlib>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

class LayoutTest : public GraphWindowTest {
  protected:
    static QRect CtrlRect(int slot, int control) {
        QWidget *c = CtrlWidget(windows[slot].panel, control);
        return c ? c->geometry() : QRect();
    }
    // The graph fills the window but its left band, the scroll bar lies along
    // its foot: both inside the window.
    static void ExpectFitted(int slot, const std::string &why) {
        const QSize in = PanelWidget(windows[slot].panel)->size();
        const QRect graph = CtrlRect(slot, WINDOW_GRAPH);
        const QRect bar = CtrlRect(slot, WINDOW_SCROLLBAR);
        EXPECT_EQ(graph.right() + 1, in.width()) << why;
        EXPECT_EQ(graph.height(), in.height() - 15) << why;
        EXPECT_EQ(bar.bottom() + 1, in.height()) << why;
        EXPECT_LE(bar.right() + 1, in.width()) << why;
    }
    // Nine windows with their legends and variation cursors, tiled.
    void OpenNineWithLegends() {
        for (int i = 0; i < MAX_WINDOWS; ++i) {
            OpenRecording("recording_" + std::to_string(i) + ".vlr",
                          testsupport::RunUpCurve(600 + 100 * i));
            Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
            Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
        }
        Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
        Settle();
    }
    static std::string PictureDir() {
        const char *dir = std::getenv("VELORINDER_PICTURES");
        return dir ? dir : ::testing::TempDir();
    }
};

TEST_F(LayoutTest, RestoringAMaximisedWindowByItsFrameLaysItOutAgain) {
    for (int i = 0; i < 3; ++i)
        OpenRecording("rec" + std::to_string(i), testsupport::RunUpCurve(100));
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    Settle();
    ExpectFitted(2, "after cascade");
    // The frame's own buttons, not the program's zoom attribute.
    auto *frame = qobject_cast<QMdiSubWindow *>(PanelWidget(windows[2].panel)->parentWidget());
    ASSERT_NE(frame, nullptr);
    frame->showMaximized();
    Settle();
    ExpectFitted(2, "maximised");
    frame->showNormal();
    Settle();
    ExpectFitted(2, "restored");
    ASSERT_TRUE(SavePicture(PictureDir() + "/restored.png"));
}

// Each new size places every control, whatever the size before it.
TEST_F(LayoutTest, AWindowWidenedByTheGraphsLeftBandLaysOutItsGraphAgain) {
    OpenRecording("rec", testsupport::RunUpCurve(100));
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    Settle();
    const int p = windows[0].panel;
    SetPanelAttribute(p, ATTR_WIDTH, PanelInt(p, ATTR_WIDTH) + 90);
    Settle();
    ExpectFitted(0, "ninety pixels wider");
}

// The zoom text meets neither the legend's boxes, nor the graph, nor the
// scroll bar, and stays inside its window, in every tile the program makes.
TEST_F(LayoutTest, ZoomTextCollidesWithNothingInTiledWindows) {
    for (auto [height, width] : {std::pair{600, 800}, std::pair{800, 1280}}) {
        SetMainSize(height, width);
        OpenNineWithLegends();
        ASSERT_TRUE(SavePicture(PictureDir() + "/tile9-" + std::to_string(width) + "x" +
                                std::to_string(height) + ".png"));
        for (int n = MAX_WINDOWS; n >= 1; --n) {
            Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
            Settle();
            for (int i = 0; i < n; ++i) {
                const std::string why = std::to_string(n) + " windows in " + std::to_string(width) +
                                        "x" + std::to_string(height) + ", window " +
                                        std::to_string(i);
                const WindowRecord &w = windows[i];
                const QRect zoom = CtrlRect(i, WINDOW_ZOOM_TEXT);
                EXPECT_TRUE(QRect(QPoint(0, 0), PanelWidget(w.panel)->size()).contains(zoom))
                    << why;
                for (int box : {w.legendFrame, w.legendCursorBox[0], w.legendCursorBox[1]})
                    EXPECT_FALSE(zoom.intersects(CtrlRect(i, box))) << why;
                EXPECT_FALSE(zoom.intersects(CtrlRect(i, WINDOW_GRAPH))) << why;
                EXPECT_FALSE(zoom.intersects(CtrlRect(i, WINDOW_SCROLLBAR))) << why;
                ExpectFitted(i, why);
            }
            currentWindow = n - 1;
            Fermer_fenetre();
        }
    }
}

} // namespace
