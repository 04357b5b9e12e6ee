// Axis tickers shared by graph windows and the pictures drawn without one,
// so that both show the same labels.
#pragma once

#include "platform/axislabels.h"

#include <qcustomplot.h>

#include <vector>

// The time axis shows the labels the program set, unless they would run
// together on a narrow graph or name the same second on a short view.
class TimeTicker : public QCPAxisTicker {
  public:
    explicit TimeTicker(QCPAxis *axis) : axis_(axis) {}

    std::vector<AxisLabel> items;
    int usedPixels = -1; // the axis length the last labels were chosen for

  protected:
    void generate(const QCPRange &range, const QLocale &, QChar, int, QVector<double> &ticks,
                  QVector<double> *subTicks, QVector<QString> *tickLabels) override;

  private:
    static constexpr int kSubTicks = 3;
    QCPAxis *axis_;
};

// The value axis spaces its labels so that they never overlap, however short
// the graph.
class ValueTicker : public QCPAxisTicker {
  public:
    explicit ValueTicker(QCPAxis *axis) : axis_(axis) {}

    int usedPixels = -1; // the axis height the last step was chosen for

  protected:
    double getTickStep(const QCPRange &range) override;

  private:
    QCPAxis *axis_;
};
