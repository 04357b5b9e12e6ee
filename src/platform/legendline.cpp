// The line of coloured texts above a graph that names the curves laid over
// each other in one window.
#include "platform/axislabels.h"
#include "platform/internal.h"
#include "platform/platform.h"

#include <qcustomplot.h>

#include <cmath>

namespace {

// A text of the line that gives way when the graph is narrow: the line shares
// the width out, and each text is cut to its share. text() stays whole.
class LegendText : public QCPTextElement {
  public:
    using QCPTextElement::QCPTextElement;

    QSize minimumOuterSizeHint() const override {
        QSize size = QCPTextElement::minimumOuterSizeHint();
        const QFontMetricsF metrics(mFont);
        size.setWidth(static_cast<int>(std::ceil(metrics.horizontalAdvance(QChar(0x2026)))) +
                      mMargins.left() + mMargins.right());
        return size;
    }

  protected:
    void draw(QCPPainter *painter) override {
        const QFontMetricsF metrics(mFont);
        const std::string shown = ElideText(
            mText.toStdString(), mRect.width(),
            [&](const std::string &t) {
                return metrics.horizontalAdvance(QString::fromStdString(t));
            },
            ElideSide::Right);
        painter->setFont(mFont);
        painter->setPen(QPen(mTextColor));
        painter->drawText(mRect, mTextFlags, QString::fromStdString(shown), &mTextBoundingRect);
    }
};

const char *const LINE_NAME = "legendLine";

QCustomPlot *PlotOf(int panel, int control) {
    return qobject_cast<QCustomPlot *>(rt::FindCtrl(panel, control));
}

QCPLayoutGrid *FindLine(QCustomPlot *plot) {
    QCPLayoutGrid *layout = plot->plotLayout();
    if (layout->rowCount() == 0 || !layout->hasElement(0, 0)) return nullptr;
    QCPLayoutElement *first = layout->element(0, 0);
    if (!first || first->objectName() != LINE_NAME) return nullptr;
    return qobject_cast<QCPLayoutGrid *>(first);
}

QColor Rgb(int colour) {
    return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

int Rgb(const QColor &c) {
    return (c.red() << 16) | (c.green() << 8) | c.blue();
}

} // namespace

int SetGraphLegendLine(int panel, int control, const std::vector<LegendEntry> &entries) {
    QCustomPlot *plot = PlotOf(panel, control);
    if (!plot) return UIEBadControlId;
    QCPLayoutGrid *layout = plot->plotLayout();
    QCPLayoutGrid *line = FindLine(plot);
    if (entries.empty()) {
        if (line) {
            layout->remove(line);
            layout->simplify();
        }
    } else {
        if (!line) {
            layout->insertRow(0);
            line = new QCPLayoutGrid;
            line->setObjectName(LINE_NAME);
            line->setColumnSpacing(14);
            layout->addElement(0, 0, line);
        }
        line->clear();
        line->simplify();
        QFont font = plot->font();
        font.setBold(true);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            auto *text = new LegendText(plot, QString::fromStdString(entries[i].text), font);
            text->setTextColor(Rgb(entries[i].colour));
            text->setMargins(QMargins(2, 2, 2, 0));
            line->addElement(0, static_cast<int>(i), text);
        }
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
    return 0;
}

int GetGraphLegendLine(int panel, int control, std::vector<LegendEntry> *entries) {
    QCustomPlot *plot = PlotOf(panel, control);
    if (!plot) return UIEBadControlId;
    entries->clear();
    QCPLayoutGrid *line = FindLine(plot);
    if (!line) return 0;
    for (int c = 0; c < line->columnCount(); ++c) {
        auto *text =
            line->hasElement(0, c) ? qobject_cast<QCPTextElement *>(line->element(0, c)) : nullptr;
        if (text) entries->push_back({text->text().toStdString(), Rgb(text->textColor())});
    }
    return 0;
}
