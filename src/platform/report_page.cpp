// What a report page looks like on paper: the title and header at the top,
// the graph drawn with the painter in the device's own pixels (lines and
// text, never a picture of the window), the readouts under it and the
// footer at the bottom. Print, preview and the command line's PDF all draw
// through here.
#include "platform/report_page.h"
#include "platform/axislabels.h"
#include "platform/internal.h"
#include "platform/replace.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

QColor Rgb(int colour) {
    return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// Inks of the page. On a grey printer the curve is solid black and the
// graticule a light grey, so that the curve stands out whatever its colour
// on screen; in colour a pale curve (white or yellow, chosen for a dark
// screen background) is darkened, as it would vanish on white paper.
struct Inks {
    explicit Inks(bool grey) : grey(grey) {
        grid = grey ? QColor(0xC8, 0xC8, 0xC8) : QColor(0xB4, 0xB4, 0xB4);
        cursor[0] = grey ? QColor(0x30, 0x30, 0x30) : QColor(0x1F, 0x4E, 0x9A);
        cursor[1] = grey ? QColor(0x50, 0x50, 0x50) : QColor(0x2E, 0x7D, 0x32);
        cursor[2] = grey ? QColor(0x50, 0x50, 0x50) : QColor(0xB0, 0x4A, 0x00);
    }
    QColor Curve(int colour) const {
        if (grey) return Qt::black;
        QColor c = Rgb(colour);
        if (qGray(c.rgb()) > 170) c = c.darker(300);
        return c;
    }
    bool grey;
    QColor grid;
    QColor text = Qt::black;
    QColor cursor[3];
};

class PageDrawer {
  public:
    PageDrawer(QPainter &painter, QRectF area, double dpi, bool grey)
        : p_(painter), area_(area), dpi_(dpi), inks_(grey) {
        QFont base = QGuiApplication::font();
        base.setStyleHint(QFont::SansSerif);
        // Any letter spacing turns ligatures off: "fi" stays two letters,
        // so that the page's words can be searched and copied as written.
        base.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
        title_ = base;
        title_.setBold(true);
        title_.setPointSizeF(15);
        header_ = base;
        header_.setPointSizeF(10);
        small_ = base;
        small_.setPointSizeF(8);
    }

    void Draw(const ReportPage &page) {
        double top = DrawHeader(page);
        double footerTop = DrawFooter(page);
        double bottom = footerTop - Mm(4);
        if (!page.graph.readouts.empty()) bottom = DrawReadouts(page.graph.readouts, bottom);
        DrawGraph(page.graph, QRectF(area_.left(), top, area_.width(), bottom - top));
    }

  private:
    double Mm(double mm) const { return mm * dpi_ / 25.4; }

    QPen Pen(const QColor &colour, double widthMm, Qt::PenStyle style = Qt::SolidLine) const {
        QPen pen(colour, Mm(widthMm), style, Qt::FlatCap, Qt::MiterJoin);
        return pen;
    }

    QFontMetricsF Metrics(const QFont &font) const { return QFontMetricsF(font, p_.device()); }

    void Line(const QFont &font, double y, const std::string &text,
              Qt::Alignment align = Qt::AlignLeft) {
        QFontMetricsF fm = Metrics(font);
        p_.setFont(font);
        p_.setPen(inks_.text);
        const QString shown =
            fm.elidedText(QString::fromStdString(text), Qt::ElideRight, area_.width());
        p_.drawText(QRectF(area_.left(), y, area_.width(), fm.height()),
                    align | Qt::AlignTop | Qt::TextSingleLine, shown);
    }

    double DrawHeader(const ReportPage &page) {
        double y = area_.top();
        Line(title_, y, page.title);
        y += Metrics(title_).lineSpacing() + Mm(1);
        for (const std::string &line : page.header) {
            Line(header_, y, line);
            y += Metrics(header_).lineSpacing();
        }
        y += Mm(1.5);
        p_.setPen(Pen(inks_.text, 0.3));
        p_.drawLine(QPointF(area_.left(), y), QPointF(area_.right(), y));
        return y + Mm(4);
    }

    double DrawFooter(const ReportPage &page) {
        QFontMetricsF fm = Metrics(small_);
        const double top = area_.bottom() - fm.height();
        p_.setPen(Pen(inks_.text, 0.2));
        p_.drawLine(QPointF(area_.left(), top - Mm(1.5)), QPointF(area_.right(), top - Mm(1.5)));
        Line(small_, top, page.footerLeft, Qt::AlignLeft);
        Line(small_, top, page.footerCentre, Qt::AlignHCenter);
        Line(small_, top, page.footerRight, Qt::AlignRight);
        return top - Mm(1.5);
    }

    double DrawReadouts(const std::vector<std::string> &lines, double bottom) {
        const double step = Metrics(header_).lineSpacing();
        double y = bottom - step * static_cast<double>(lines.size());
        const double top = y - Mm(2);
        for (const std::string &line : lines) {
            Line(header_, y, line);
            y += step;
        }
        return top;
    }

    void DrawGraph(const ReportGraph &g, QRectF box) {
        if (box.height() < Mm(20) || !(g.timeMin < g.timeMax) || !(g.valueMin < g.valueMax)) return;
        QFontMetricsF fm = Metrics(small_);
        double tickWidth = 0;
        for (const auto &tick : g.valueTicks)
            tickWidth =
                std::max(tickWidth, fm.horizontalAdvance(QString::fromStdString(tick.second)));
        // The time labels a window shows over the same view: parts of a
        // second on a short one, thinned out where they would run together.
        std::vector<AxisLabel> timeLabels;
        for (const auto &tick : g.timeTicks)
            timeLabels.push_back({tick.first, tick.second});
        timeLabels = ShownTimeLabels(timeLabels, g.timeMin, g.timeMax);
        double lastHalf = 0;
        if (!timeLabels.empty())
            lastHalf = fm.horizontalAdvance(QString::fromStdString(timeLabels.back().text)) / 2;
        const double nameHeight = fm.lineSpacing();
        QRectF plot;
        plot.setLeft(box.left() + nameHeight + Mm(1.5) + tickWidth + Mm(2));
        plot.setTop(box.top() + fm.height() + Mm(1));
        plot.setRight(box.right() - std::max(Mm(3), lastHalf));
        plot.setBottom(box.bottom() - (fm.height() + Mm(1.5) + nameHeight + Mm(1)));
        if (plot.width() < Mm(20) || plot.height() < Mm(10)) return;
        timeLabels = FitAxisLabels(
            timeLabels, g.timeMin, g.timeMax, plot.width(),
            [&](const std::string &text) {
                return fm.horizontalAdvance(QString::fromStdString(text));
            },
            fm.horizontalAdvance(QLatin1Char(' ')));

        auto X = [&](double t) {
            return plot.left() + (t - g.timeMin) / (g.timeMax - g.timeMin) * plot.width();
        };
        auto Y = [&](double v) {
            return plot.bottom() - (v - g.valueMin) / (g.valueMax - g.valueMin) * plot.height();
        };
        auto inside = [](double at, double lo, double hi) { return at >= lo && at <= hi; };

        // Graticule, under everything else.
        p_.setPen(Pen(inks_.grid, 0.12, inks_.grey ? Qt::SolidLine : Qt::DotLine));
        if (g.timeGrid)
            for (const AxisLabel &tick : timeLabels)
                if (inside(tick.position, g.timeMin, g.timeMax))
                    p_.drawLine(QPointF(X(tick.position), plot.top()),
                                QPointF(X(tick.position), plot.bottom()));
        if (g.valueGrid)
            for (const auto &tick : g.valueTicks)
                if (inside(tick.first, g.valueMin, g.valueMax))
                    p_.drawLine(QPointF(plot.left(), Y(tick.first)),
                                QPointF(plot.right(), Y(tick.first)));

        // Axes: frame, ticks, their texts and the names of both axes.
        p_.setPen(Pen(inks_.text, 0.25));
        p_.setBrush(Qt::NoBrush);
        p_.drawRect(plot);
        p_.setFont(small_);
        const double tick = Mm(1.2);
        for (const AxisLabel &t : timeLabels) {
            if (!inside(t.position, g.timeMin, g.timeMax)) continue;
            const double x = X(t.position);
            p_.setPen(Pen(inks_.text, 0.25));
            p_.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + tick));
            p_.setPen(inks_.text);
            const double w = fm.horizontalAdvance(QString::fromStdString(t.text));
            p_.drawText(QRectF(x - w / 2 - Mm(1), plot.bottom() + tick, w + Mm(2), fm.height()),
                        Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(t.text));
        }
        for (const auto &t : g.valueTicks) {
            if (!inside(t.first, g.valueMin, g.valueMax)) continue;
            const double y = Y(t.first);
            p_.setPen(Pen(inks_.text, 0.25));
            p_.drawLine(QPointF(plot.left() - tick, y), QPointF(plot.left(), y));
            p_.setPen(inks_.text);
            p_.drawText(QRectF(plot.left() - tick - Mm(0.8) - tickWidth, y - fm.height() / 2,
                               tickWidth, fm.height()),
                        Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(t.second));
        }
        p_.setPen(inks_.text);
        p_.drawText(QRectF(plot.left(), plot.bottom() + tick + fm.height() + Mm(0.5), plot.width(),
                           nameHeight),
                    Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(g.timeAxisName));
        p_.save();
        p_.translate(box.left(), plot.center().y());
        p_.rotate(-90);
        p_.drawText(QRectF(-plot.height() / 2, 0, plot.height(), nameHeight),
                    Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(g.valueAxisName));
        p_.restore();

        p_.save();
        p_.setClipRect(plot);
        DrawCurves(g, plot);
        DrawAlarms(g, plot, Y);
        DrawLabels(g, plot, X, Y);
        p_.restore();
        DrawCursors(g, plot, X, Y);
    }

    // Each curve reaches the page reduced to what the device's pixel
    // columns can show, as polylines that break where samples are missing.
    void DrawCurves(const ReportGraph &g, const QRectF &plot) {
        if (!g.reduce) return;
        const int columns = std::max(1, static_cast<int>(std::floor(plot.width())));
        const double unit = plot.width() / columns;
        for (const ReportCurve &curve : g.curves) {
            QPen pen = Pen(inks_.Curve(curve.colour), 0.3);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            p_.setPen(pen);
            for (const ReportRun &run : g.reduce(curve, g.timeMin, g.timeMax, columns)) {
                QPolygonF line;
                line.reserve(static_cast<qsizetype>(run.size()));
                for (const ReportPoint &point : run) {
                    const double y = plot.bottom() - (point.y - g.valueMin) /
                                                         (g.valueMax - g.valueMin) * plot.height();
                    line.append(QPointF(plot.left() + point.x * unit, y));
                }
                if (line.size() == 1)
                    p_.drawPoint(line.front());
                else
                    p_.drawPolyline(line);
            }
        }
    }

    template <typename MapY> void DrawAlarms(const ReportGraph &g, const QRectF &plot, MapY Y) {
        QFontMetricsF fm = Metrics(small_);
        for (const auto &alarm : g.alarms) {
            const double y = Y(alarm.first);
            p_.setPen(Pen(Qt::black, 0.3, Qt::DashLine));
            p_.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            p_.setPen(Qt::black);
            p_.setFont(small_);
            // The level's text above the line, or under it at the top edge.
            const double textTop =
                y - fm.height() - Mm(0.5) < plot.top() ? y + Mm(0.5) : y - fm.height() - Mm(0.5);
            p_.drawText(QRectF(plot.left(), textTop, plot.width() - Mm(1.5), fm.height()),
                        Qt::AlignRight | Qt::AlignTop, QString::fromStdString(alarm.second));
        }
    }

    template <typename MapX, typename MapY>
    void DrawLabels(const ReportGraph &g, const QRectF &plot, MapX X, MapY Y) {
        QFontMetricsF fm = Metrics(header_);
        p_.setFont(header_);
        p_.setPen(Qt::black);
        for (const ReportLabel &label : g.labels) {
            const QString text = QString::fromStdString(label.text);
            const double w = fm.horizontalAdvance(text), h = fm.height();
            // As on screen: above and right of its point, turned below or left
            // where it would cross the top or right edge.
            double x = X(label.x), y = Y(label.y);
            if (x + w > plot.right()) x -= w;
            y = y - h < plot.top() ? y : y - h;
            p_.drawText(QRectF(x, y, w + Mm(0.5), h), Qt::AlignLeft | Qt::AlignTop, text);
        }
    }

    template <typename MapX, typename MapY>
    void DrawCursors(const ReportGraph &g, const QRectF &plot, MapX X, MapY Y) {
        QFontMetricsF fm = Metrics(small_);
        p_.setFont(small_);
        for (const ReportCursor &c : g.cursors) {
            if (c.number < 1 || c.number > 3) continue;
            const double x = X(c.x);
            if (!(x >= plot.left() && x <= plot.right())) continue;
            const QColor ink = inks_.cursor[c.number - 1];
            p_.setPen(Pen(ink, 0.2, c.number == 1 ? Qt::SolidLine : Qt::DashLine));
            p_.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            const double y = Y(c.y);
            if (!c.vertical && y >= plot.top() && y <= plot.bottom())
                p_.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            // The cursor's number over the plot, where its readout names it.
            p_.setPen(ink);
            const QString number = QString::number(c.number);
            const double w = fm.horizontalAdvance(number);
            p_.drawText(QRectF(x - w / 2 - Mm(0.5), plot.top() - fm.height() - Mm(0.3), w + Mm(1),
                               fm.height()),
                        Qt::AlignHCenter | Qt::AlignBottom, number);
        }
    }

    QPainter &p_;
    QRectF area_;
    double dpi_;
    Inks inks_;
    QFont title_, header_, small_;
};

} // namespace

bool rt::DrawReportPages(QPrinter *printer, const std::vector<ReportPage> &pages) {
    QPainter painter;
    if (!painter.begin(printer)) return false;
    QRectF area = printer->pageRect(QPrinter::DevicePixel);
    area.moveTo(0, 0);
    const bool grey = printer->colorMode() == QPrinter::GrayScale;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer->newPage()) {
            painter.end();
            return false;
        }
        PageDrawer(painter, area, printer->resolution(), grey).Draw(pages[i]);
    }
    return painter.end();
}

int SaveReportPdf(const std::vector<ReportPage> &pages, const std::string &path) {
    // Fonts and the PDF writer need the run-time of a program with a screen
    // (offscreen will do).
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()) || pages.empty())
        return UIEOperationFailed;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    rt::ApplyPrintAttributes(&printer);
    printer.setDocName(QString::fromStdString(pages.front().title));
    int r = ReplaceFile(path, [&](int fd, const std::string &name) {
        printer.setOutputFileName(QString::fromStdString(name));
        return rt::DrawReportPages(&printer, pages) && ::lseek(fd, 0, SEEK_END) > 0;
    });
    return r == REPLACE_DONE ? 0 : UIEOperationFailed;
}

int GetGraphTexts(int panel, int control, std::vector<ReportLabel> *texts) {
    auto *plot = qobject_cast<QCustomPlot *>(rt::FindCtrl(panel, control));
    if (!plot) return UIEBadControlId;
    texts->clear();
    for (int i = 0; i < plot->itemCount(); ++i) {
        auto *text = qobject_cast<QCPItemText *>(plot->item(i));
        if (!text || !text->visible()) continue;
        const QPointF at = text->position->coords();
        texts->push_back({at.x(), at.y(), text->text().toStdString()});
    }
    return 0;
}
