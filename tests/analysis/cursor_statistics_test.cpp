// The statistics panel of a graph window and Display > Copy statistics.
#include "analysis/analysis.h"
#include "windows/graph_fixture.h"

#include <QClipboard>
#include <QMouseEvent>
#include <qcustomplot.h>

#include <cstdlib>
#include <sstream>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

class CursorStatisticsTest : public GraphWindowTest {
  protected:
    static std::string Panel(int slot) {
        std::string text;
        GetGraphInfoText(windows[slot].panel, WINDOW_GRAPH, &text);
        return text;
    }
    static QCustomPlot *Plot(int slot) {
        return qobject_cast<QCustomPlot *>(CtrlWidget(windows[slot].panel, WINDOW_GRAPH));
    }
    // The number a panel line shows after its label.
    static std::string Figure(const std::string &panel, const std::string &label) {
        std::istringstream lines(panel);
        std::string line;
        while (std::getline(lines, line))
            if (line.rfind(label, 0) == 0) {
                std::istringstream rest(line.substr(label.size()));
                std::string number;
                rest >> number;
                return number;
            }
        return "";
    }
    // Drags a variation cursor by its vertical line, as a user does.
    static void DragCursor(int slot, int cursor, double toTime) {
        QCustomPlot *plot = Plot(slot);
        double x = 0, y = 0;
        GetGraphCursor(windows[slot].panel, WINDOW_GRAPH, cursor, &x, &y);
        const QPointF from(plot->xAxis->coordToPixel(x), plot->yAxis->coordToPixel(y));
        const QPointF to(plot->xAxis->coordToPixel(toTime), from.y());
        auto send = [plot](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
            QMouseEvent e(type, at, plot->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(plot, &e);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
};

TEST_F(CursorStatisticsTest, PanelShowsWhileTheVariationCursorsAreOn) {
    int s = OpenRecording("run", testsupport::RunUpCurve(600));
    EXPECT_EQ(Panel(s), "");
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    EXPECT_NE(Figure(Panel(s), "Samples"), "");
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    EXPECT_EQ(Panel(s), "");
}

// Dragging a cursor with the mouse updates the figures as it moves.
TEST_F(CursorStatisticsTest, DraggedCursorUpdatesTheFigures) {
    std::vector<double> v(600);
    for (int i = 0; i < 600; ++i)
        v[i] = 2.0 * i; // rises 2 units a second
    int s = OpenRecording("ramp", v, 1, 0, {300, 301, 302});
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    DragCursor(s, 2, 100.0);
    DragCursor(s, 3, 400.0);
    double t2 = 0, t3 = 0, y = 0;
    GetGraphCursor(windows[s].panel, WINDOW_GRAPH, 2, &t2, &y);
    GetGraphCursor(windows[s].panel, WINDOW_GRAPH, 3, &t3, &y);
    const int first = static_cast<int>(std::ceil(std::min(t2, t3)));
    const int last = static_cast<int>(std::floor(std::max(t2, t3)));
    const std::string panel = Panel(s);
    EXPECT_EQ(Figure(panel, "Samples"), std::to_string(last - first + 1 - 3)) << panel;
    EXPECT_EQ(Figure(panel, "Missing"), "3") << panel;
    EXPECT_EQ(Figure(panel, "Mean slope"), "2") << panel;
    EXPECT_EQ(Figure(panel, "Min"), std::to_string(2 * first)) << panel;
}

// A closed window moves the slots down: the next curve in a slot is measured
// afresh, never from the table of the curve that was there.
TEST_F(CursorStatisticsTest, FiguresFollowTheCurveNowInTheSlot) {
    int low = OpenRecording("low", std::vector<double>(300, 10.0));
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    ASSERT_EQ(Figure(Panel(low), "Mean"), "10");
    Fermer_fenetre();
    int s = OpenRecording("high", std::vector<double>(300, 500.0));
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    EXPECT_EQ(Figure(Panel(s), "Mean"), "500") << Panel(s);
}

TEST_F(CursorStatisticsTest, CopyPutsTheFiguresOnTheClipboard) {
    int s = OpenRecording("Shaft 3", testsupport::RunUpCurve(900));
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    ASSERT_EQ(InvokeMenuItem(menuBar, MENU_COPY_STATISTICS), 0);
    RangeStatistics stats;
    double t1 = 0, t2 = 0;
    ASSERT_TRUE(CursorStatistics(s, &stats, &t1, &t2));
    const std::string copied = QApplication::clipboard()->text().toStdString();
    EXPECT_EQ(copied, StatisticsClipboardText(stats, t1, t2, "Shaft 3", "tr/min", 1));
    EXPECT_GT(stats.count, 100);
}

TEST_F(CursorStatisticsTest, CopyWithoutVariationCursorsSaysHowToGetThem) {
    OpenRecording("run", testsupport::RunUpCurve(100));
    QApplication::clipboard()->setText("kept");
    Expect("Statistics");
    InvokeMenuItem(menuBar, MENU_COPY_STATISTICS);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "kept");
}

TEST_F(CursorStatisticsTest, PanelSpeaksTheLanguageChosen) {
    int s = OpenRecording("run", testsupport::RunUpCurve(300));
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    const std::vector<std::string> samples = {"Échantillons", "Samples", "Werte", "Muestras",
                                              "Campioni"};
    for (int lang = 0; lang < 5; ++lang) {
        language = lang;
        ValCurseur(windows[s].panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(Panel(s).rfind(samples[lang], 0), 0u) << Panel(s);
    }
    language = 1;
}

// The panel over a recording with gaps (VELORINDER_PICTURES=<dir>).
TEST_F(CursorStatisticsTest, PictureOfTheStatisticsPanel) {
    std::vector<int> gaps;
    for (int i = 400; i < 430; ++i)
        gaps.push_back(i);
    int s = OpenRecording("Shaft 3", testsupport::RunUpCurve(1200), 1, 0, gaps);
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    EXPECT_EQ(Figure(Panel(s), "Missing"), "30");
    if (const char *out = std::getenv("VELORINDER_PICTURES")) {
        EXPECT_TRUE(SavePicture(std::string(out) + "/statistics.png"));
    }
}

} // namespace
