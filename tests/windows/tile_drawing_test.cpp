// Re-tiling lays every window out anew and draws each graph once, at its
// final size, not once per width, height and neighbour.
#include "windows/graph_fixture.h"

#include <qcustomplot.h>

#include <map>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

TEST_F(GraphWindowTest, NineWindowsRetiledAtANewSizeAreEachDrawnOnce) {
    std::vector<QCustomPlot *> plots;
    for (int i = 0; i < MAX_WINDOWS; ++i) {
        const int slot =
            OpenRecording("run " + std::to_string(i + 1), testsupport::RunUpCurve(5000));
        plots.push_back(qobject_cast<QCustomPlot *>(CtrlWidget(windows[slot].panel, WINDOW_GRAPH)));
        ASSERT_NE(plots.back(), nullptr);
    }
    Settle();
    std::map<QCustomPlot *, int> drawn;
    QObject counting; // the counts stop with the test, before the windows close
    for (QCustomPlot *plot : plots)
        QObject::connect(plot, &QCustomPlot::afterReplot, &counting,
                         [&drawn, plot] { ++drawn[plot]; });
    // Cascaded first: every window gets a new height and width from the tile.
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    Settle();
    drawn.clear();
    const QSize before = plots[0]->size();
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    Settle();
    ASSERT_NE(plots[0]->size(), before) << "the tiles kept their size";
    for (int i = 0; i < MAX_WINDOWS; ++i)
        EXPECT_EQ(drawn[plots[i]], 1) << "window " << i + 1;
    // Drawn at the size they ended with: the plot area fills the new graph.
    for (QCustomPlot *plot : plots)
        EXPECT_EQ(plot->viewport(), plot->rect());
}

} // namespace
