// Graph control over QCustomPlot: curves, lines and texts by handle, the two
// axes, text labels on the time axis, and up to three crosshair cursors that
// the user drags with the mouse or moves with the arrow keys.
#include "platform/axislabels.h"
#include "platform/internal.h"
#include "platform/tickers.h"

#include "display/reduction.h"

#include <QMdiSubWindow>

#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace {

QColor Rgb(int colour) {
    if (colour == VAL_TRANSPARENT) return QColor(Qt::transparent);
    return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

constexpr int kMaxCursors = 3;
constexpr int kGrabPixels = 6;    // how near a cursor line a press must be to take it
constexpr int kMinZoomPixels = 5; // a smaller rectangle is a click, not a zoom
constexpr int kWheelNotch = 120;  // angle delta of one wheel step

int nextPlotHandle = 1; // unique over the run, so a stale handle never hits a new plot

// A graph text stands above and right of its point, and turns below or left
// of it where it would cross the top or right edge, so a label moved to an
// edge or put on the highest sample stays readable.
class EdgeText : public QCPItemText {
  public:
    using QCPItemText::QCPItemText;

  protected:
    void draw(QCPPainter *painter) override {
        const QPointF at = position->pixelPosition();
        const QSizeF size = QFontMetricsF(mainFont())
                                .boundingRect(QRectF(), Qt::TextDontClip | textAlignment(), text())
                                .size();
        const QRect area = clipRect();
        Qt::Alignment align = at.x() + size.width() > area.right() ? Qt::AlignRight : Qt::AlignLeft;
        align |= at.y() - size.height() < area.top() ? Qt::AlignTop : Qt::AlignBottom;
        setPositionAlignment(align);
        QCPItemText::draw(painter);
    }
};

// A curve's samples and what its view last drew of them: the points of the
// pixel columns, for one visible range, plot width and device scale. Times
// a fixed step apart (a recording's, as a rule) are kept as first time and
// step: half the memory of a long curve.
struct CurveSamples {
    std::vector<double> x, y; // x empty when the times are first + k * step
    double first = 0, step = 0;
    QSharedPointer<QCPGraphDataContainer> drawn{new QCPGraphDataContainer};
    double lo = 0, hi = 0, columns = 0; // the view `drawn` is for; columns 0 when none
    bool rangesKnown = false, hasRange[2] = {false, false};
    QCPRange range[2]; // of the times and of the values, missing samples left out

    int Count() const { return static_cast<int>(y.size()); }
    // One expression for the check and the use, so that both round alike.
    static double Nth(double first, double step, int k) { return first + k * step; }
    double Time(int k) const {
        return x.empty() ? Nth(first, step, k) : x[static_cast<std::size_t>(k)];
    }
    double operator[](int k) const { return Time(k); } // the times, as ReduceToColumns reads them

    // Times a fixed step apart, to the last bit, stand as first time and step.
    static bool Evenly(const double *t, int count, double *first, double *step) {
        if (count < 2) return false;
        *first = t[0];
        *step = t[1] - t[0];
        for (int k = 0; k < count; ++k)
            if (t[k] != Nth(*first, *step, k)) return false;
        return true;
    }
    void SetTimes(const double *t, int count) {
        if (Evenly(t, count, &first, &step)) {
            x.clear();
            x.shrink_to_fit();
        } else {
            x.assign(t, t + count);
        }
    }
    bool SameTimes(const double *t, int count) const {
        if (Count() != count) return false;
        if (!x.empty())
            return count == 0 ||
                   std::memcmp(x.data(), t, static_cast<std::size_t>(count) * sizeof(double)) == 0;
        double f = 0, d = 0;
        return Evenly(t, count, &f, &d) && f == first && d == step;
    }
};

// A curve that keeps all its samples and hands QCustomPlot only the few
// points each pixel column needs, worked out again only when the visible
// range or the plot's width changes: a cursor move, a new colour or a
// re-tile at the same size draws from the points already made.
class ReducedGraph : public QCPGraph {
  public:
    ReducedGraph(QCPAxis *keyAxis, QCPAxis *valueAxis, std::shared_ptr<CurveSamples> samples)
        : QCPGraph(keyAxis, valueAxis), samples_(std::move(samples)) {
        setData(samples_->drawn);
        setAdaptiveSampling(false); // the columns are reduced already
    }

    const std::shared_ptr<CurveSamples> &Samples() const { return samples_; }
    int Count() const { return samples_->Count(); }
    double Key(int i) const { return samples_->Time(i); }
    double Value(int i) const { return samples_->y[static_cast<std::size_t>(i)]; }

    // The range of the samples themselves, not of the points last drawn;
    // worked out once, since a curve's samples never change.
    bool FullRange(int axis, QCPRange *range) const {
        CurveSamples &s = *samples_;
        if (!s.rangesKnown) {
            for (int a = 0; a < 2; ++a) {
                s.hasRange[a] = false;
                for (int k = 0; k < Count(); ++k) {
                    const double d = a == 0 ? Key(k) : Value(k);
                    if (std::isnan(d)) continue;
                    if (!s.hasRange[a]) s.range[a] = QCPRange(d, d);
                    s.range[a].expand(d);
                    s.hasRange[a] = true;
                }
            }
            s.rangesKnown = true;
        }
        if (s.hasRange[axis]) *range = s.range[axis];
        return s.hasRange[axis];
    }

  protected:
    void draw(QCPPainter *painter) override {
        CurveSamples &s = *samples_;
        const QCPRange view = keyAxis()->range();
        // A cosmetic pen is one device pixel wide: a printer's page has more
        // columns than the screen for the same plot width.
        const double scale = std::max(1.0, std::abs(painter->deviceTransform().m11()));
        const double columns = std::max(1.0, std::round(keyAxis()->axisRect()->width() * scale));
        if (view.lower != s.lo || view.upper != s.hi || columns != s.columns) {
            ReduceToColumns(s, s.y.data(), Count(), view.lower, view.upper, columns, &keys_,
                            &values_);
            QVector<QCPGraphData> points(static_cast<qsizetype>(keys_.size()));
            for (std::size_t i = 0; i < keys_.size(); ++i)
                points[static_cast<qsizetype>(i)] = QCPGraphData(keys_[i], values_[i]);
            s.drawn->set(points, true);
            s.lo = view.lower;
            s.hi = view.upper;
            s.columns = columns;
        }
        QCPGraph::draw(painter);
    }

  private:
    std::shared_ptr<CurveSamples> samples_;
    std::vector<double> keys_, values_; // room for the reduction, kept between draws
};

// A cursor's line, drawn straight onto the screen over the plot's picture
// (see GraphPlot), not into the picture: moving it redraws nothing else.
class CursorLine : public QCPItemStraightLine {
  public:
    using QCPItemStraightLine::QCPItemStraightLine;
    void DrawOver(QCPPainter *painter) {
        painter->save();
        // As QCustomPlot clips an item drawn into its layers.
        painter->setClipRect(clipRect().translated(0, -1));
        applyDefaultAntialiasingHint(painter);
        draw(painter);
        painter->restore();
    }
};

// The picture of everything but the cursors. Each drawing starts from the
// plot's opaque background rather than from transparent, so the picture
// stays opaque: showing it is a plain copy, with no background to fill
// under it and nothing to blend.
class OpaqueBuffer : public QCPPaintBufferPixmap {
  public:
    OpaqueBuffer(QCustomPlot *plot, const QBrush *background)
        : QCPPaintBufferPixmap(plot->viewport().size(), plot->bufferDevicePixelRatio()),
          plot_(plot), background_(background) {
        reallocateBuffer(); // the base class's own, made as it was constructed, has alpha
    }
    void clear(const QColor &) override {
        if (!Solid(*background_)) {
            mBuffer.fill(Qt::transparent);
            return;
        }
        // The plot area paints its own background over its whole rectangle
        // next: only the band around it needs this one.
        QCPAxisRect *area = plot_->axisRect();
        if (!mBuffer.hasAlphaChannel() && area && Solid(area->backgroundBrush()) &&
            area->background().isNull()) {
            QPainter painter(&mBuffer);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            for (const QRect &band : QRegion(QRect(QPoint(0, 0), mSize)) - area->rect())
                painter.fillRect(band, background_->color());
            return;
        }
        mBuffer.fill(background_->color());
    }
    bool Opaque() const { return !mBuffer.hasAlphaChannel(); }

  protected:
    // Made without an alpha channel whatever the screen's own format, so
    // that filling it with an opaque colour keeps it opaque.
    void reallocateBuffer() override {
        setInvalidated();
        QImage image(mSize * mDevicePixelRatio, QImage::Format_RGB32);
        mBuffer = QPixmap::fromImage(std::move(image), Qt::NoFormatConversion);
        mBuffer.setDevicePixelRatio(mDevicePixelRatio);
    }

  private:
    static bool Solid(const QBrush &brush) {
        return brush.style() == Qt::SolidPattern && brush.color().alpha() == 255;
    }
    QCustomPlot *plot_;
    const QBrush *background_; // the plot's
};

// The graph control: QCustomPlot with one opaque picture, and the cursors
// drawn over it at each paint.
class GraphPlot : public QCustomPlot {
  public:
    explicit GraphPlot(QWidget *parent) : QCustomPlot(parent) {
        mPaintBuffers.clear();
        mPaintBuffers.append(
            QSharedPointer<QCPAbstractPaintBuffer>(new OpaqueBuffer(this, &mBackgroundBrush)));
    }
    std::vector<CursorLine *> overlay; // drawn over the picture, in this order

  protected:
    void paintEvent(QPaintEvent *event) override {
        auto *picture = mPaintBuffers.size() == 1
                            ? dynamic_cast<OpaqueBuffer *>(mPaintBuffers.first().data())
                            : nullptr;
        if (!picture || !picture->Opaque()) {
            QCustomPlot::paintEvent(event);
            picture = nullptr;
        }
        QCPPainter painter(this);
        if (!painter.isActive()) return;
        if (picture) picture->draw(&painter);
        for (CursorLine *line : overlay)
            if (line->visible()) line->DrawOver(&painter);
    }
};

struct Cursor {
    double x = 0.0;
    double y = 0.0;
    int mode = VAL_SNAP_TO_POINT;
    int colour = 0xFFFFFF;
    int index = -1; // sample under a snapping cursor, -1 when none
    CursorLine *vertical = nullptr;
    CursorLine *horizontal = nullptr;
};

struct PlotEntry {
    ReducedGraph *curve = nullptr;
    QCPAbstractItem *item = nullptr;
};

class GraphState;
std::unordered_map<QCustomPlot *, GraphState *> states;

class GraphState : public QObject {
  public:
    GraphState(QCustomPlot *plot, int panel, int control)
        : QObject(plot), panel_(panel), control_(control), plot_(plot) {
        states[plot] = this;
        Setup();
        plot->installEventFilter(this);
        connect(plot, &QCustomPlot::afterReplot, this, [this] { replotQueued_ = false; });
    }
    ~GraphState() override { states.erase(plot_); }

    int panel_;
    int control_;

    QCustomPlot *Plot() const { return plot_; }

    // ---- look
    void Setup() {
        plot_->setNotAntialiasedElements(QCP::aeAll);
        plot_->setNoAntialiasingOnDrag(true);
        plot_->setInteractions(QCP::Interactions());
        plot_->setFocusPolicy(Qt::StrongFocus);
        plot_->setBackground(plot_->palette().window());
        // The plot fills its whole area with that background: nothing under
        // it needs painting first.
        plot_->setAttribute(Qt::WA_OpaquePaintEvent);
        // Room on the right for the label at the end of the time axis.
        plot_->axisRect()->setAutoMargins(QCP::msLeft | QCP::msTop | QCP::msBottom);
        plot_->axisRect()->setMargins(QMargins(0, 0, 34, 0));
        // One picture of everything but the cursors. The overlay layer, with
        // its buffer, is for selections this graph does not make. The
        // cursors' layer is left out of the picture: the graph control draws
        // them over it, so that moving one redraws nothing else. A plain
        // QCustomPlot keeps them in a buffer of their own.
        plot_->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
        plot_->addLayer(QStringLiteral("cursors"), plot_->layer(QStringLiteral("overlay")),
                        QCustomPlot::limAbove);
        cursorLayer_ = plot_->layer(QStringLiteral("cursors"));
        overlay_ = dynamic_cast<GraphPlot *>(plot_);
        if (overlay_)
            cursorLayer_->setVisible(false);
        else
            cursorLayer_->setMode(QCPLayer::lmBuffered);
        numericTicker_ = QSharedPointer<QCPAxisTicker>(new QCPAxisTicker);
        textTicker_ = QSharedPointer<TimeTicker>(new TimeTicker(plot_->xAxis));
        valueTicker_ = QSharedPointer<ValueTicker>(new ValueTicker(plot_->yAxis));
        plot_->yAxis->setTicker(valueTicker_);
        // Labels are chosen before the layout settles: a new size chooses
        // again, once, when the labels of this drawing were chosen for another.
        connect(plot_, &QCustomPlot::beforeReplot, this,
                [this] { textTicker_->usedPixels = valueTicker_->usedPixels = -1; });
        connect(plot_, &QCustomPlot::afterReplot, this, [this] {
            const int width = textTicker_->usedPixels, height = valueTicker_->usedPixels;
            if ((useLabelStrings_ && width >= 0 && width != plot_->axisRect()->width()) ||
                (height >= 0 && height != plot_->axisRect()->height()))
                Replot();
        });
        for (int i = 0; i < kMaxCursors; ++i)
            cursors_[i].mode = i == 0 ? VAL_SNAP_TO_POINT : VAL_FREE_FORM_CURSOR;
        ApplyLook();
    }

    void ApplyLook() {
        plot_->axisRect()->setBackground(QBrush(Rgb(plotBg_)));
        QPen gridPen(Rgb(gridColour_), 1, Qt::DotLine);
        gridPen.setCosmetic(true);
        for (QCPAxis *axis : {plot_->xAxis, plot_->yAxis}) {
            axis->grid()->setPen(gridPen);
            axis->grid()->setZeroLinePen(Qt::NoPen);
            axis->grid()->setSubGridVisible(false);
            QColor text = Rgb(textColour_);
            QPen axisPen(text, 1);
            axis->setBasePen(axisPen);
            axis->setTickPen(axisPen);
            axis->setSubTickPen(axisPen);
            axis->setTickLabelColor(text);
            axis->setLabelColor(text);
        }
        plot_->xAxis->grid()->setVisible(xGrid_);
        plot_->yAxis->grid()->setVisible(yGrid_);
        plot_->xAxis->setTickLabels(xLabels_);
        plot_->yAxis->setTickLabels(yLabels_);
        plot_->xAxis->setTicker(useLabelStrings_ ? QSharedPointer<QCPAxisTicker>(textTicker_)
                                                 : numericTicker_);
    }

    void Replot() {
        replotQueued_ = true;
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
    bool replotQueued_ = false; // a whole replot is on its way: cursors wait for it

    // ---- attributes
    bool Set(int attribute, double value, int *result) {
        *result = 0;
        int v = static_cast<int>(value);
        switch (attribute) {
        case ATTR_GRID_COLOR:
            gridColour_ = v;
            break;
        case ATTR_PLOT_BGCOLOR:
            plotBg_ = v;
            break;
        case ATTR_GRAPH_TEXT_COLOR:
            textColour_ = v;
            break;
        case ATTR_XGRID_VISIBLE:
            xGrid_ = v != 0;
            break;
        case ATTR_YGRID_VISIBLE:
            yGrid_ = v != 0;
            break;
        case ATTR_XLABEL_VISIBLE:
            xLabels_ = v != 0;
            break;
        case ATTR_YLABEL_VISIBLE:
            yLabels_ = v != 0;
            break;
        case ATTR_XUSE_LABEL_STRINGS:
            useLabelStrings_ = v != 0;
            break;
        case ATTR_NUM_CURSORS:
            if (v < 0 || v > kMaxCursors) {
                *result = UIEOperationFailed;
                return true;
            }
            SetCursorCount(v);
            return true;
        default:
            return false;
        }
        ApplyLook();
        Replot();
        return true;
    }

    bool Get(int attribute, double *value) const {
        switch (attribute) {
        case ATTR_GRID_COLOR:
            *value = gridColour_;
            return true;
        case ATTR_PLOT_BGCOLOR:
            *value = plotBg_;
            return true;
        case ATTR_GRAPH_TEXT_COLOR:
            *value = textColour_;
            return true;
        case ATTR_XGRID_VISIBLE:
            *value = xGrid_;
            return true;
        case ATTR_YGRID_VISIBLE:
            *value = yGrid_;
            return true;
        case ATTR_XLABEL_VISIBLE:
            *value = xLabels_;
            return true;
        case ATTR_YLABEL_VISIBLE:
            *value = yLabels_;
            return true;
        case ATTR_XUSE_LABEL_STRINGS:
            *value = useLabelStrings_;
            return true;
        case ATTR_NUM_CURSORS:
            *value = numCursors_;
            return true;
        default:
            return false;
        }
    }

    // ---- plots
    int AddCurve(const double *x, const double *y, int count, int colour) {
        std::shared_ptr<CurveSamples> samples = Recycled(x, y, count);
        if (!samples) {
            samples = std::make_shared<CurveSamples>();
            if (std::is_sorted(x, x + count)) {
                samples->SetTimes(x, count);
                samples->y.assign(y, y + count);
            } else {
                // A time going back would make the columns meaningless: such a
                // curve is drawn in order of its times, as QCustomPlot sorts it.
                std::vector<std::size_t> order(static_cast<std::size_t>(count));
                for (std::size_t i = 0; i < order.size(); ++i)
                    order[i] = i;
                std::stable_sort(order.begin(), order.end(),
                                 [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
                samples->x.resize(order.size());
                samples->y.resize(order.size());
                for (std::size_t i = 0; i < order.size(); ++i) {
                    samples->x[i] = x[order[i]];
                    samples->y[i] = y[order[i]];
                }
            }
        }
        auto *curve = new ReducedGraph(plot_->xAxis, plot_->yAxis, std::move(samples));
        QPen pen(Rgb(colour), 1);
        pen.setCosmetic(true);
        curve->setPen(pen);
        curve->setAntialiased(false);
        curve->setLineStyle(QCPGraph::lsLine);
        curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
        int handle = nextPlotHandle++;
        plots_[handle].curve = curve;
        lastCurve_ = handle;
        Autoscale();
        SnapCursor(0);
        UpdateCursorItems();
        Replot();
        return handle;
    }

    // The samples of a curve deleted in this same turn of the event loop,
    // when the very same samples are plotted again (a redraw for a tile, a
    // colour or a scale): taken over with the points they last drew.
    std::shared_ptr<CurveSamples> Recycled(const double *x, const double *y, int count) {
        const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(double);
        for (auto it = recycled_.begin(); it != recycled_.end(); ++it) {
            const CurveSamples &s = **it;
            if (!s.SameTimes(x, count) || (count > 0 && std::memcmp(s.y.data(), y, bytes) != 0))
                continue;
            std::shared_ptr<CurveSamples> found = *it;
            recycled_.erase(it);
            return found;
        }
        return nullptr;
    }

    void Recycle(const std::shared_ptr<CurveSamples> &samples) {
        if (recycled_.empty())
            QMetaObject::invokeMethod(
                this, [this] { recycled_.clear(); }, Qt::QueuedConnection);
        recycled_.push_back(samples);
    }

    std::vector<std::shared_ptr<CurveSamples>> recycled_;

    int AddItem(QCPAbstractItem *item) {
        int handle = nextPlotHandle++;
        plots_[handle].item = item;
        Replot();
        return handle;
    }

    void Delete(int handle) {
        if (handle == VAL_ALL_PLOTS) {
            for (auto &entry : plots_)
                Remove(entry.second);
            plots_.clear();
            lastCurve_ = 0;
        } else {
            auto it = plots_.find(handle);
            if (it == plots_.end()) return; // already gone
            Remove(it->second);
            plots_.erase(it);
            if (handle == lastCurve_) lastCurve_ = 0;
        }
        if (lastCurve_ == 0) {
            // The snapping cursor follows the newest curve still shown.
            for (auto &entry : plots_)
                if (entry.second.curve) lastCurve_ = entry.first;
            SnapCursor(0);
            UpdateCursorItems();
        }
        Replot();
    }

    int PlotCount() const { return static_cast<int>(plots_.size()); }

    // ---- axes
    QCPAxis *Axis(int axis) const {
        return axis == VAL_BOTTOM_XAXIS ? plot_->xAxis
               : axis == VAL_LEFT_YAXIS ? plot_->yAxis
                                        : nullptr;
    }

    int SetScaling(int axis, int mode, double min, double max) {
        QCPAxis *a = Axis(axis);
        if (!a || (mode != VAL_MANUAL && mode != VAL_AUTOSCALE)) return UIEOperationFailed;
        if (mode == VAL_MANUAL && !(min < max)) return UIEOperationFailed;
        modes_[axis] = mode;
        if (mode == VAL_MANUAL) {
            if (a->range().lower == min && a->range().upper == max) return 0;
            a->setRange(min, max);
        } else {
            Autoscale();
        }
        SnapCursor(0);
        UpdateCursorItems();
        Replot();
        return 0;
    }

    int GetScaling(int axis, int *mode, double *min, double *max) const {
        QCPAxis *a = Axis(axis);
        if (!a) return UIEOperationFailed;
        if (mode) *mode = modes_[axis];
        if (min) *min = a->range().lower;
        if (max) *max = a->range().upper;
        return 0;
    }

    void Autoscale() {
        for (int axis = 0; axis < 2; ++axis) {
            if (modes_[axis] != VAL_AUTOSCALE) continue;
            bool found = false;
            QCPRange range;
            for (auto &entry : plots_) {
                if (!entry.second.curve) continue;
                QCPRange r;
                if (!entry.second.curve->FullRange(axis, &r)) continue;
                range =
                    found ? QCPRange(std::min(range.lower, r.lower), std::max(range.upper, r.upper))
                          : r;
                found = true;
            }
            if (!found) continue;
            if (range.size() <= 0) range = QCPRange(range.lower - 1, range.upper + 1);
            Axis(axis)->setRange(range);
        }
    }

    std::vector<std::pair<double, std::string>> axisItems_;

    void UpdateTicks() {
        textTicker_->items.clear();
        for (auto &item : axisItems_)
            textTicker_->items.push_back({item.first, item.second});
        Replot();
    }

    // ---- cursors
    int numCursors_ = 0;
    int active_ = 1;
    Cursor cursors_[kMaxCursors];

    int LastCurveHandle() const { return lastCurve_; }

    ReducedGraph *LastCurve() const {
        auto it = plots_.find(lastCurve_);
        return it == plots_.end() ? nullptr : it->second.curve;
    }

    void SetCursorCount(int n) {
        numCursors_ = n;
        if (active_ > n) active_ = n > 0 ? 1 : 0;
        if (active_ == 0 && n > 0) active_ = 1;
        UpdateCursorItems();
        Replot();
    }

    // Puts a snapping cursor on the sample nearest its time.
    void SnapCursor(int i) {
        Cursor &c = cursors_[i];
        if (c.mode != VAL_SNAP_TO_POINT) return;
        ReducedGraph *curve = LastCurve();
        if (!curve || curve->Count() == 0) {
            c.index = -1;
            return;
        }
        int a = 0, b = curve->Count(); // the first sample at or after the cursor's time
        while (a < b) {
            const int mid = a + (b - a) / 2;
            if (curve->Key(mid) < c.x)
                a = mid + 1;
            else
                b = mid;
        }
        if (a == curve->Count()) {
            --a;
        } else if (a > 0 && c.x - curve->Key(a - 1) <= curve->Key(a) - c.x) {
            --a;
        }
        c.index = a;
        c.x = curve->Key(c.index);
        c.y = curve->Value(c.index);
    }

    void SnapStep(int i, int step) {
        Cursor &c = cursors_[i];
        ReducedGraph *curve = LastCurve();
        if (!curve || c.index < 0) return;
        c.index = std::clamp(c.index + step, 0, curve->Count() - 1);
        c.x = curve->Key(c.index);
        c.y = curve->Value(c.index);
    }

    void UpdateCursorItems() {
        for (int i = 0; i < kMaxCursors; ++i) {
            Cursor &c = cursors_[i];
            bool shown = i < numCursors_ && !(c.mode == VAL_SNAP_TO_POINT && c.index < 0);
            if (!c.vertical) {
                c.vertical = new CursorLine(plot_);
                c.horizontal = new CursorLine(plot_);
                for (auto *line : {c.vertical, c.horizontal}) {
                    if (overlay_) overlay_->overlay.push_back(line);
                    line->setLayer(cursorLayer_);
                    line->setSelectable(false);
                    line->setAntialiased(false);
                    line->setClipToAxisRect(true);
                }
            }
            QPen pen(Rgb(c.colour), 1, i == 0 ? Qt::SolidLine : Qt::DashLine);
            pen.setCosmetic(true);
            c.vertical->setPen(pen);
            c.horizontal->setPen(pen);
            c.vertical->point1->setCoords(c.x, 0);
            c.vertical->point2->setCoords(c.x, 1);
            c.horizontal->point1->setCoords(0, c.y);
            c.horizontal->point2->setCoords(1, c.y);
            c.vertical->setVisible(shown);
            // A missing sample has no value to mark: only its time is shown.
            c.horizontal->setVisible(shown && !std::isnan(c.y));
        }
    }

    void MoveCursor(int i, double x, double y) {
        cursors_[i].x = x;
        cursors_[i].y = y;
        SnapCursor(i);
        UpdateCursorItems();
    }

    // A box over the plot's top right corner: a widget of its own, so that
    // changing it redraws neither the curve nor the cursors.
    void SetInfoText(const QString &text) {
        if (text.isEmpty()) {
            if (info_) info_->hide();
            return;
        }
        if (!info_) {
            info_ = new QLabel(plot_);
            info_->setAttribute(Qt::WA_TransparentForMouseEvents);
            info_->setTextFormat(Qt::PlainText);
            info_->setStyleSheet(QStringLiteral("QLabel { background: rgba(255, 255, 255, 225); "
                                                "color: black; border: 1px solid black; "
                                                "padding: 2px 4px; }"));
            QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            font.setPointSizeF(font.pointSizeF() * 0.85);
            info_->setFont(font);
            // The plot area moves when the axes' labels change width.
            connect(plot_, &QCustomPlot::afterReplot, info_, [this] { PlaceInfo(); });
        }
        if (info_->text() != text) info_->setText(text);
        PlaceInfo();
        info_->show();
    }

    void PlaceInfo() {
        if (!info_) return;
        // Kept inside the plot area, so that in a small window it covers
        // neither the axes' labels nor the readouts beside the graph.
        const QRect r = plot_->axisRect()->rect();
        const QSize want = info_->sizeHint();
        info_->resize(std::min(want.width(), r.width() - 1),
                      std::min(want.height(), r.height() - 1));
        info_->move(r.right() - info_->width(), r.top() + 1);
    }

    QString InfoText() const { return info_ && !info_->isHidden() ? info_->text() : QString(); }

    GraphGesture gesture_;

    void RedrawCursors() {
        // The cursors are drawn over the picture at each paint: moving one
        // redraws neither the curve nor its picture.
        if (overlay_) {
            plot_->update();
            return;
        }
        // In their own buffer, with a whole replot coming (a new or resized
        // graph), drawing the layer now would draw everything twice.
        if (plot_->isVisible() && !replotQueued_)
            cursorLayer_->replot();
        else
            Replot();
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != plot_) return false;
        if (Gesture(event)) return true;
        switch (event->type()) {
        case QEvent::Resize:
            // QCustomPlot redraws at once on each resize; a window laid out
            // anew (width, then height, then its neighbours) is drawn once,
            // at its final size, when the event loop comes round.
            // The axes' pixels follow the new size now, for a press that
            // comes before the drawing.
            plot_->setViewport(plot_->rect());
            for (auto phase : {QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins,
                               QCPLayoutElement::upLayout})
                plot_->plotLayout()->update(phase);
            Replot();
            return true;
        case QEvent::MouseButtonPress: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() != Qt::LeftButton || numCursors_ == 0) return false;
            QPointF p = me->position();
            if (!plot_->axisRect()->rect().contains(p.toPoint())) return false;
            dragging_ = PickCursor(p);
            if (dragging_ == 0) dragging_ = active_;
            active_ = dragging_;
            DragTo(p);
            return true;
        }
        case QEvent::MouseMove: {
            if (dragging_ == 0) return false;
            DragTo(static_cast<QMouseEvent *>(event)->position());
            return true;
        }
        case QEvent::MouseButtonRelease: {
            if (dragging_ == 0) return false;
            dragging_ = 0;
            rt::DispatchCtrlEvent(panel_, control_, EVENT_COMMIT);
            return true;
        }
        case QEvent::MouseButtonDblClick: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::RightButton) {
                // The graph fills its window: a right double click on it is the window's.
                dragging_ = 0;
                rt::DispatchPanelEvent(panel_, EVENT_RIGHT_DOUBLE_CLICK);
                return true;
            }
            if (me->button() != Qt::LeftButton) return false;
            dragging_ = 0;
            rt::DispatchCtrlEvent(panel_, control_, EVENT_LEFT_DOUBLE_CLICK);
            return true;
        }
        case QEvent::KeyPress:
            return KeyPress(static_cast<QKeyEvent *>(event));
        default:
            return false;
        }
    }

  private:
    enum class Drag { None, Rectangle, Pan };

    QPointF Clamped(QPointF p) const {
        const QRectF r = plot_->axisRect()->rect();
        return QPointF(std::clamp(p.x(), r.left(), r.right()),
                       std::clamp(p.y(), r.top(), r.bottom()));
    }

    void EndGesture() {
        gestureDrag_ = Drag::None;
        if (band_) band_->hide();
    }

    // Zoom and pan with the mouse; true when the event was one of theirs.
    // Cursor drags (left button) and the double clicks go on as before.
    bool Gesture(QEvent *event) {
        switch (event->type()) {
        case QEvent::Wheel: {
            auto *we = static_cast<QWheelEvent *>(event);
            const int delta = we->angleDelta().y();
            if (delta == 0) return false;
            // A touchpad sends parts of a notch: they add up to steps.
            if ((wheelRest_ > 0) != (delta > 0)) wheelRest_ = 0;
            wheelRest_ += delta;
            const int steps = wheelRest_ / kWheelNotch;
            wheelRest_ -= steps * kWheelNotch;
            if (steps != 0) {
                const QPointF p = Clamped(we->position());
                gesture_ = {plot_->xAxis->pixelToCoord(p.x()), plot_->yAxis->pixelToCoord(p.y()), 0,
                            0};
                const bool value = (we->modifiers() & Qt::ControlModifier) != 0;
                rt::DispatchCtrlEvent(panel_, control_, EVENT_GRAPH_WHEEL, steps, value ? 1 : 0);
            }
            return true;
        }
        case QEvent::MouseButtonPress: {
            auto *me = static_cast<QMouseEvent *>(event);
            const QPointF p = me->position();
            if (!plot_->axisRect()->rect().contains(p.toPoint())) return false;
            const bool shiftLeft =
                me->button() == Qt::LeftButton && (me->modifiers() & Qt::ShiftModifier) != 0;
            if (me->button() == Qt::RightButton || shiftLeft) {
                gestureDrag_ = Drag::Rectangle;
                dragStart_ = p;
                // A right press alone stays a click (a double one is full screen).
                return shiftLeft;
            }
            if (me->button() == Qt::MiddleButton) {
                gestureDrag_ = Drag::Pan;
                dragStart_ = lastPan_ = p;
                panX_ = plot_->xAxis->range();
                panY_ = plot_->yAxis->range();
                return true;
            }
            return false;
        }
        case QEvent::MouseMove: {
            if (gestureDrag_ == Drag::None) return false;
            const QPointF p = static_cast<QMouseEvent *>(event)->position();
            if (gestureDrag_ == Drag::Rectangle) {
                if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, plot_);
                band_->setGeometry(QRectF(dragStart_, Clamped(p)).normalized().toRect());
                band_->show();
                return true;
            }
            if (p == lastPan_) return true;
            lastPan_ = p;
            const QRect r = plot_->axisRect()->rect();
            const double dx = (p.x() - dragStart_.x()) * panX_.size() / std::max(1, r.width());
            const double dy = (p.y() - dragStart_.y()) * panY_.size() / std::max(1, r.height());
            // The curve follows the pointer: the view moves the other way.
            gesture_ = {panX_.lower - dx, panY_.lower + dy, panX_.upper - dx, panY_.upper + dy};
            rt::DispatchCtrlEvent(panel_, control_, EVENT_GRAPH_PAN);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            if (gestureDrag_ == Drag::None) return false;
            const Drag drag = gestureDrag_;
            EndGesture();
            if (drag == Drag::Pan) return true;
            const QPointF p = Clamped(static_cast<QMouseEvent *>(event)->position());
            const QPointF a = Clamped(dragStart_);
            if (std::abs(p.x() - a.x()) < kMinZoomPixels ||
                std::abs(p.y() - a.y()) < kMinZoomPixels)
                return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
            gesture_ = {plot_->xAxis->pixelToCoord(a.x()), plot_->yAxis->pixelToCoord(a.y()),
                        plot_->xAxis->pixelToCoord(p.x()), plot_->yAxis->pixelToCoord(p.y())};
            rt::DispatchCtrlEvent(panel_, control_, EVENT_GRAPH_ZOOM_RECT);
            return true;
        }
        case QEvent::MouseButtonDblClick:
            EndGesture();
            return false;
        case QEvent::KeyPress:
            // Escape lets go of a rectangle without zooming.
            if (gestureDrag_ != Drag::Rectangle ||
                static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
                return false;
            EndGesture();
            return true;
        default:
            return false;
        }
    }

    int PickCursor(QPointF p) const {
        int best = 0;
        double bestDistance = kGrabPixels + 1;
        for (int i = 0; i < numCursors_; ++i) {
            const Cursor &c = cursors_[i];
            if (c.mode == VAL_SNAP_TO_POINT && c.index < 0) continue;
            double dx = std::abs(plot_->xAxis->coordToPixel(c.x) - p.x());
            double dy = std::abs(plot_->yAxis->coordToPixel(c.y) - p.y());
            double d = c.mode == VAL_SNAP_TO_POINT ? dx : std::min(dx, dy);
            // On a tie the active cursor wins, so two cursors on one spot can be parted.
            if (d < bestDistance || (d == bestDistance && i + 1 == active_)) {
                best = i + 1;
                bestDistance = d;
            }
        }
        return best;
    }

    void DragTo(QPointF p) {
        QCPRange xr = plot_->xAxis->range(), yr = plot_->yAxis->range();
        double x = std::clamp(plot_->xAxis->pixelToCoord(p.x()), xr.lower, xr.upper);
        double y = std::clamp(plot_->yAxis->pixelToCoord(p.y()), yr.lower, yr.upper);
        MoveCursor(dragging_ - 1, x, y);
        RedrawCursors();
        // Readouts follow the cursor while it moves, not only when it is let go.
        rt::DispatchCtrlEvent(panel_, control_, EVENT_COMMIT);
    }

    bool KeyPress(QKeyEvent *key) {
        if (numCursors_ == 0 || active_ == 0) return false;
        int i = active_ - 1;
        Cursor &c = cursors_[i];
        QCPRange xr = plot_->xAxis->range(), yr = plot_->yAxis->range();
        double dx = xr.size() / 100.0, dy = yr.size() / 100.0;
        switch (key->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            int step = key->key() == Qt::Key_Left ? -1 : 1;
            if (c.mode == VAL_SNAP_TO_POINT)
                SnapStep(i, step);
            else
                c.x = std::clamp(c.x + step * dx, xr.lower, xr.upper);
            break;
        }
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (c.mode == VAL_SNAP_TO_POINT) return true;
            c.y = std::clamp(c.y + (key->key() == Qt::Key_Up ? dy : -dy), yr.lower, yr.upper);
            break;
        default:
            return false;
        }
        UpdateCursorItems();
        RedrawCursors();
        rt::DispatchCtrlEvent(panel_, control_, EVENT_COMMIT);
        return true;
    }

    void Remove(PlotEntry &entry) {
        if (entry.curve) {
            Recycle(entry.curve->Samples());
            plot_->removeGraph(entry.curve);
        }
        if (entry.item) plot_->removeItem(entry.item);
    }

    QCustomPlot *plot_;
    QCPLayer *cursorLayer_ = nullptr;
    GraphPlot *overlay_ = nullptr; // draws the cursors over its picture; null for a plain plot
    QSharedPointer<QCPAxisTicker> numericTicker_;
    QSharedPointer<TimeTicker> textTicker_;
    QSharedPointer<ValueTicker> valueTicker_;
    std::map<int, PlotEntry> plots_;
    int lastCurve_ = 0;
    int modes_[2] = {VAL_AUTOSCALE, VAL_AUTOSCALE};
    int gridColour_ = 0x000000;
    int plotBg_ = 0xC0C0C0;
    int textColour_ = 0x000000;
    bool xGrid_ = true;
    bool yGrid_ = true;
    bool xLabels_ = true;
    bool yLabels_ = true;
    bool useLabelStrings_ = false;
    int dragging_ = 0;
    QLabel *info_ = nullptr;
    Drag gestureDrag_ = Drag::None;
    QPointF dragStart_, lastPan_;
    QCPRange panX_, panY_;
    QRubberBand *band_ = nullptr;
    int wheelRest_ = 0;
};

GraphState *StateOf(QCustomPlot *plot, int panel = -1, int control = -1) {
    auto it = states.find(plot);
    if (it != states.end()) return it->second;
    return new GraphState(plot, panel, control);
}

GraphState *Graph(int panel, int control) {
    auto *plot = qobject_cast<QCustomPlot *>(rt::FindCtrl(panel, control));
    return plot ? StateOf(plot, panel, control) : nullptr;
}

bool ValidCursor(GraphState *g, int cursor) {
    return g && cursor >= 1 && cursor <= kMaxCursors;
}

} // namespace

namespace rt {

QWidget *NewGraphCtrl(QWidget *parent) {
    return new GraphPlot(parent);
}

void InitGraphCtrl(int panel, int control, QWidget *widget) {
    auto *plot = qobject_cast<QCustomPlot *>(widget);
    if (!plot) return;
    GraphState *g = StateOf(plot, panel, control);
    g->panel_ = panel;
    g->control_ = control;
}

bool GraphSetAttribute(QWidget *widget, int attribute, double value, int *result) {
    auto *plot = qobject_cast<QCustomPlot *>(widget);
    return plot && StateOf(plot)->Set(attribute, value, result);
}

bool GraphSetText(QWidget *widget, int attribute, const QString &value) {
    auto *plot = qobject_cast<QCustomPlot *>(widget);
    if (!plot || attribute != ATTR_YNAME) return false;
    if (plot->yAxis->label() != value) {
        plot->yAxis->setLabel(value);
        StateOf(plot)->Replot();
    }
    return true;
}

bool GraphGetAttribute(QWidget *widget, int attribute, double *value, int *result) {
    auto *plot = qobject_cast<QCustomPlot *>(widget);
    if (!plot || !StateOf(plot)->Get(attribute, value)) return false;
    *result = 0;
    return true;
}

} // namespace rt

int PlotXY(int panel, int control, const double *x, const double *y, int count, int xType,
           int yType, int, int, int, int, int colour) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (xType != VAL_DOUBLE || yType != VAL_DOUBLE || count < 0 || (count > 0 && (!x || !y)))
        return UIEOperationFailed;
    return g->AddCurve(x, y, count, colour);
}

int PlotLine(int panel, int control, double x1, double y1, double x2, double y2, int colour) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    auto *line = new QCPItemLine(g->Plot());
    QPen pen(Rgb(colour), 1);
    pen.setCosmetic(true);
    line->setPen(pen);
    line->setAntialiased(false);
    line->start->setCoords(x1, y1);
    line->end->setCoords(x2, y2);
    return g->AddItem(line);
}

int PlotText(int panel, int control, double x, double y, const std::string &text, int,
             int textColour, int backColour) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    auto *item = new EdgeText(g->Plot());
    item->setText(QString::fromStdString(text));
    item->position->setCoords(x, y);
    item->setColor(Rgb(textColour));
    item->setBrush(backColour == VAL_TRANSPARENT ? QBrush(Qt::NoBrush) : QBrush(Rgb(backColour)));
    item->setPen(Qt::NoPen);
    return g->AddItem(item);
}

int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    g->Delete(plotHandle);
    if (refresh == VAL_IMMEDIATE_DRAW) g->Plot()->replot();
    return 0;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    return g->SetScaling(axis, mode, min, max);
}

int GetAxisScalingMode(int panel, int control, int axis, int *mode, double *min, double *max) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    return g->GetScaling(axis, mode, min, max);
}

int DeleteAxisItem(int panel, int control, int axis, int index, int count) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (axis != VAL_BOTTOM_XAXIS || index < 0) return UIEOperationFailed;
    auto &items = g->axisItems_;
    if (index >= static_cast<int>(items.size())) return 0;
    int last = count < 0 ? static_cast<int>(items.size())
                         : std::min<int>(index + count, static_cast<int>(items.size()));
    items.erase(items.begin() + index, items.begin() + last);
    g->UpdateTicks();
    return 0;
}

int InsertAxisItem(int panel, int control, int axis, int index, const std::string &label,
                   double value) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (axis != VAL_BOTTOM_XAXIS) return UIEOperationFailed;
    auto &items = g->axisItems_;
    if (index < 0 || index > static_cast<int>(items.size())) index = static_cast<int>(items.size());
    items.insert(items.begin() + index, {value, label});
    g->UpdateTicks();
    return 0;
}

int GetNumAxisItems(int panel, int control, int axis, int *count) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (axis != VAL_BOTTOM_XAXIS) return UIEOperationFailed;
    *count = static_cast<int>(g->axisItems_.size());
    return 0;
}

int GetAxisItem(int panel, int control, int axis, int index, std::string *label, double *value) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (axis != VAL_BOTTOM_XAXIS || index < 0 || index >= static_cast<int>(g->axisItems_.size()))
        return UIEOperationFailed;
    if (label) *label = g->axisItems_[index].second;
    if (value) *value = g->axisItems_[index].first;
    return 0;
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y) {
    GraphState *g = Graph(panel, control);
    if (!ValidCursor(g, cursor)) return g ? UIEOperationFailed : UIEBadControlId;
    g->MoveCursor(cursor - 1, x, y);
    g->RedrawCursors();
    return 0;
}

int GetGraphCursor(int panel, int control, int cursor, double *x, double *y) {
    GraphState *g = Graph(panel, control);
    if (!ValidCursor(g, cursor)) return g ? UIEOperationFailed : UIEBadControlId;
    if (x) *x = g->cursors_[cursor - 1].x;
    if (y) *y = g->cursors_[cursor - 1].y;
    return 0;
}

int GetGraphCursorIndex(int panel, int control, int cursor, int *plotHandle, int *pointIndex) {
    GraphState *g = Graph(panel, control);
    if (!ValidCursor(g, cursor)) return g ? UIEOperationFailed : UIEBadControlId;
    const Cursor &c = g->cursors_[cursor - 1];
    bool on = c.mode == VAL_SNAP_TO_POINT && c.index >= 0 && g->LastCurve();
    int handle = -1;
    if (on) handle = g->LastCurveHandle();
    if (plotHandle) *plotHandle = handle;
    if (pointIndex) *pointIndex = on ? c.index : -1;
    return 0;
}

int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value) {
    GraphState *g = Graph(panel, control);
    if (!ValidCursor(g, cursor)) return g ? UIEOperationFailed : UIEBadControlId;
    Cursor &c = g->cursors_[cursor - 1];
    switch (attribute) {
    case ATTR_CURSOR_MODE:
        if (value != VAL_SNAP_TO_POINT && value != VAL_FREE_FORM_CURSOR) return UIEOperationFailed;
        c.mode = value;
        if (value == VAL_FREE_FORM_CURSOR) c.index = -1;
        g->SnapCursor(cursor - 1);
        break;
    case ATTR_CURSOR_COLOR:
        if (value < 0 || value > 0xFFFFFF) return UIEOperationFailed;
        c.colour = value;
        break;
    default:
        return UIEOperationFailed;
    }
    g->UpdateCursorItems();
    g->RedrawCursors();
    return 0;
}

int GetCursorAttribute(int panel, int control, int cursor, int attribute, int *value) {
    GraphState *g = Graph(panel, control);
    if (!ValidCursor(g, cursor)) return g ? UIEOperationFailed : UIEBadControlId;
    const Cursor &c = g->cursors_[cursor - 1];
    switch (attribute) {
    case ATTR_CURSOR_MODE:
        *value = c.mode;
        return 0;
    case ATTR_CURSOR_COLOR:
        *value = c.colour;
        return 0;
    default:
        return UIEOperationFailed;
    }
}

int SetActiveGraphCursor(int panel, int control, int cursor) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (cursor < 1 || cursor > g->numCursors_) return UIEOperationFailed;
    g->active_ = cursor;
    return 0;
}

int GetActiveGraphCursor(int panel, int control, int *cursor) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    *cursor = g->active_;
    return 0;
}

int RefreshGraph(int panel, int control) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    g->Plot()->replot(QCustomPlot::rpImmediateRefresh);
    return 0;
}

int GetGraphGesture(int panel, int control, GraphGesture *gesture) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (gesture) *gesture = g->gesture_;
    return 0;
}

int SetGraphInfoText(int panel, int control, const std::string &text) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    g->SetInfoText(QString::fromStdString(text));
    return 0;
}

int GetGraphInfoText(int panel, int control, std::string *text) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    if (text) *text = g->InfoText().toStdString();
    return 0;
}

int GetNumGraphPlots(int panel, int control, int *count) {
    GraphState *g = Graph(panel, control);
    if (!g) return UIEBadControlId;
    *count = g->PlotCount();
    return 0;
}

int GetPanelInnerSize(int panel, int *height, int *width) {
    rt::Panel *p = rt::FindPanel(panel);
    if (!p || !p->widget) return UIEBadPanelHandle;
    // A hidden or just resized window has not laid out its panel yet: the
    // window's contents rectangle is the size the panel is about to get.
    QSize size = p->subWindow ? p->subWindow->contentsRect().size() : p->widget->size();
    if (height) *height = size.height();
    if (width) *width = size.width();
    return 0;
}
