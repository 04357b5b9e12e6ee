// Pictures of a curve without a window, for the command-line program: the
// graph drawn offscreen with QCustomPlot as a graph window draws it, saved
// as PNG, SVG or PDF; and the run-time such a program starts.
#include "platform/platform.h"
#include "platform/replace.h"
#include "platform/tickers.h"

#include <QApplication>
#include <QFileInfo>
#include <QSvgGenerator>
#include <qcustomplot.h>

#include <clocale>
#include <cmath>
#include <cstdio>

namespace {

QColor Rgb(int colour) {
    return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// A command-line program reports its own failures in one line each; Qt's
// notes (no runtime directory, font substitutions) are not among them.
void QuietMessages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        std::abort();
    }
}

// The window face of the program's style, around the plot area.
constexpr int WINDOW_FACE = 0xEFEFEF;

void AddCurve(QCustomPlot &plot, const std::vector<double> &time, const std::vector<double> &value,
              int colour) {
    auto *curve = plot.addGraph();
    QPen pen(Rgb(colour), 1);
    pen.setCosmetic(true);
    curve->setPen(pen);
    curve->setAntialiased(false);
    curve->setAdaptiveSampling(true);
    curve->setLineStyle(QCPGraph::lsLine);
    const std::size_t n = std::min(time.size(), value.size());
    QVector<QCPGraphData> data(static_cast<qsizetype>(n));
    for (std::size_t i = 0; i < n; ++i)
        data[static_cast<qsizetype>(i)] = QCPGraphData(time[i], value[i]);
    // The times rise (the readers end a recording where they stop rising).
    curve->data()->set(data, true);
}

// The graph as a window shows it: the plot area in the background colour,
// dotted grid, the curve 1 px wide without smoothing, the time axis with its
// h:mm:ss labels, the unit naming the value axis, the title above.
void Compose(QCustomPlot &plot, const CurvePicture &picture) {
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.setAntialiasedElement(QCP::aeAxes, false);
    plot.setBackground(QBrush(Rgb(WINDOW_FACE)));
    plot.axisRect()->setBackground(QBrush(Rgb(picture.plotBackColour)));
    // Room on the right for the label at the end of the time axis.
    plot.axisRect()->setAutoMargins(QCP::msLeft | QCP::msTop | QCP::msBottom);
    plot.axisRect()->setMargins(QMargins(0, 0, 34, 0));

    QFont titleFont = plot.font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    plot.plotLayout()->insertRow(0);
    plot.plotLayout()->addElement(
        0, 0, new QCPTextElement(&plot, QString::fromStdString(picture.title), titleFont));
    if (!picture.others.empty()) {
        // The curves laid over this one, each named in its colour.
        plot.plotLayout()->insertRow(1);
        auto *names = new QCPLayoutGrid;
        names->setColumnSpacing(14);
        plot.plotLayout()->addElement(1, 0, names);
        QFont nameFont = plot.font();
        nameFont.setBold(true);
        auto *own = new QCPTextElement(&plot, QString::fromStdString(picture.title), nameFont);
        own->setTextColor(Rgb(picture.curveColour));
        names->addElement(0, 0, own);
        for (std::size_t k = 0; k < picture.others.size(); ++k) {
            auto *name = new QCPTextElement(&plot, QString::fromStdString(picture.others[k].title),
                                            nameFont);
            name->setTextColor(Rgb(picture.others[k].colour));
            names->addElement(0, static_cast<int>(k) + 1, name);
        }
    }

    QPen gridPen(Rgb(picture.gridColour), 1, Qt::DotLine);
    gridPen.setCosmetic(true);
    QPen axisPen(Qt::black, 1);
    for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
        axis->grid()->setPen(gridPen);
        axis->grid()->setZeroLinePen(Qt::NoPen);
        axis->grid()->setSubGridVisible(false);
        axis->setBasePen(axisPen);
        axis->setTickPen(axisPen);
        axis->setSubTickPen(axisPen);
    }

    // The labels a window would show over the same view and width.
    auto ticker = QSharedPointer<TimeTicker>(new TimeTicker(plot.xAxis));
    for (const auto &label : picture.timeLabels)
        ticker->items.push_back({label.first, label.second});
    plot.xAxis->setTicker(ticker);
    plot.yAxis->setTicker(QSharedPointer<ValueTicker>(new ValueTicker(plot.yAxis)));
    plot.xAxis->setRange(picture.timeMin, picture.timeMax);
    plot.yAxis->setRange(picture.valueMin, picture.valueMax);
    plot.yAxis->setLabel(QString::fromStdString(picture.valueAxisName));

    // The window's own curve last, so that it lies above the others.
    for (const auto &other : picture.others)
        AddCurve(plot, other.time, other.value, other.colour);
    AddCurve(plot, picture.time, picture.value, picture.curveColour);
}

bool Draw(QCustomPlot &plot, const CurvePicture &picture, const std::string &format,
          const QString &file, int width, int height) {
    if (format == "png") return plot.saveRastered(file, width, height, 1.0, "PNG");
    if (format == "pdf")
        return plot.savePdf(file, width, height, QCP::epAllowCosmetic, "Velorinder",
                            QString::fromStdString(picture.title));
    if (format == "svg") {
        QSvgGenerator svg;
        svg.setFileName(file);
        svg.setSize(QSize(width, height));
        // Pixels of a screen, so that a viewer shows the size asked for.
        svg.setResolution(96);
        svg.setViewBox(QRect(0, 0, width, height));
        svg.setTitle(QString::fromStdString(picture.title));
        svg.setDescription("Velorinder");
        QCPPainter painter;
        if (!painter.begin(&svg)) return false;
        plot.toPainter(&painter, width, height);
        return painter.end() && QFileInfo(file).size() > 0;
    }
    return false;
}

} // namespace

void InitConsoleRunTime(int argc, char *argv[]) {
    if (QCoreApplication::instance()) return;
    // No window is ever shown: the program runs where there is no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    static int count = argc;
    new QApplication(count, argv);
    // Qt adopts the user's locale; numbers in files keep the point.
    std::setlocale(LC_NUMERIC, "C");
}

int SaveCurvePicture(const CurvePicture &picture, const std::string &path,
                     const std::string &format, int width, int height) {
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return UIEOperationFailed;
    if (width < 1 || height < 1 || !(picture.timeMin < picture.timeMax) ||
        !(picture.valueMin < picture.valueMax))
        return UIEOperationFailed;
    QCustomPlot plot;
    plot.resize(width, height);
    Compose(plot, picture);
    // Labels are chosen for the plot area of the layout before: lay it out at
    // the picture's size first.
    plot.replot(QCustomPlot::rpImmediateRefresh);
    // Written whole and put in place of the target only then, so that a
    // failure leaves an earlier picture of that name as it was.
    const int replaced = ReplaceFile(path, [&](int, const std::string &name) {
        return Draw(plot, picture, format, QString::fromStdString(name), width, height);
    });
    return replaced == REPLACE_DONE ? 0 : UIEOperationFailed;
}
