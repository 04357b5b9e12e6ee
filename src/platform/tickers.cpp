// Axis tickers; see tickers.h.
#include "platform/tickers.h"

#include <algorithm>

void TimeTicker::generate(const QCPRange &range, const QLocale &, QChar, int,
                          QVector<double> &ticks, QVector<double> *subTicks,
                          QVector<QString> *tickLabels) {
    usedPixels = axis_->axisRect()->width();
    const QFontMetricsF metrics(axis_->tickLabelFont());
    std::vector<AxisLabel> shown = FitAxisLabels(
        ShownTimeLabels(items, range.lower, range.upper), range.lower, range.upper, usedPixels,
        [&](const std::string &text) {
            return metrics.horizontalAdvance(QString::fromStdString(text));
        },
        metrics.horizontalAdvance(QLatin1Char(' ')));
    std::stable_sort(shown.begin(), shown.end(), [](const AxisLabel &a, const AxisLabel &b) {
        return a.position < b.position;
    });
    ticks.clear();
    if (tickLabels) tickLabels->clear();
    for (const AxisLabel &label : shown) {
        if (label.position < range.lower || label.position > range.upper) continue;
        // Two items at one place draw once, as the program's last word there.
        if (!ticks.isEmpty() && ticks.last() == label.position) {
            if (tickLabels) tickLabels->last() = QString::fromStdString(label.text);
            continue;
        }
        ticks.push_back(label.position);
        if (tickLabels) tickLabels->push_back(QString::fromStdString(label.text));
    }
    if (subTicks) {
        subTicks->clear();
        for (int i = 1; i < ticks.size(); ++i)
            for (int k = 1; k <= kSubTicks; ++k)
                subTicks->push_back(ticks[i - 1] + (ticks[i] - ticks[i - 1]) * k / (kSubTicks + 1));
    }
}

double ValueTicker::getTickStep(const QCPRange &range) {
    usedPixels = axis_->axisRect()->height();
    const QFontMetricsF metrics(axis_->tickLabelFont());
    return ValueTickStep(QCPAxisTicker::getTickStep(range), range.size(), usedPixels,
                         metrics.height(), metrics.height() / 4);
}
