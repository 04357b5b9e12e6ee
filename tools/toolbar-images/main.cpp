// Draws the toolbar images into a directory: 24 x 24 pixels, light outlines
// on a transparent background, which the files mark with magenta as toolbar
// bitmaps have no alpha channel. Usage: toolbar-images <output directory>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cstdio>
#include <functional>
#include <string>

#include "toolbox/toolbox.h"

namespace {

constexpr int kSize = 24; // final image size
constexpr int kScale = 4; // drawn larger, then reduced, for smooth edges
constexpr QRgb kKey = 0xFF00FF;
constexpr QRgb kToolbarGrey = 0xEFEFEF; // what half-transparent edges blend into

const QColor kInk(0x2b, 0x33, 0x3d);
const QColor kPaper(0xfd, 0xfd, 0xfd);
const QColor kBlue(0x2f, 0x6d, 0xb5);
const QColor kLightBlue(0xcf, 0xe0, 0xf5);
const QColor kGreen(0x21, 0x7a, 0x3c);
const QColor kLightGreen(0xd9, 0xef, 0xdf);
const QColor kRed(0xc6, 0x28, 0x28);
const QColor kYellow(0xf2, 0xc0, 0x4b);
const QColor kDarkYellow(0xc9, 0x93, 0x1d);
const QColor kGrey(0x9a, 0xa4, 0xae);
const QColor kLightGrey(0xd6, 0xdb, 0xe0);

QPen Pen(const QColor &c, double w = 1.2) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Page(QPainter &p, double x, double y, double w, double h) {
    const double fold = 4.5;
    QPainterPath page;
    page.moveTo(x, y);
    page.lineTo(x + w - fold, y);
    page.lineTo(x + w, y + fold);
    page.lineTo(x + w, y + h);
    page.lineTo(x, y + h);
    page.closeSubpath();
    p.setPen(Pen(kInk));
    p.setBrush(kPaper);
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(x + w - fold, y);
    corner.lineTo(x + w - fold, y + fold);
    corner.lineTo(x + w, y + fold);
    p.setBrush(kLightGrey);
    p.drawPath(corner);
}

void Window(QPainter &p, const QRectF &r, const QColor &title) {
    p.setPen(Pen(kInk, 1.0));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(title);
    p.drawRect(QRectF(r.x() + 0.5, r.y() + 0.5, r.width() - 1.0, 3.0));
}

void Arrow(QPainter &p, QPointF from, QPointF to, const QColor &c, double head = 3.0) {
    p.setPen(Pen(c, 1.5));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF tip;
    tip << to + u * 0.8 << to - u * head + n * head * 0.7 << to - u * head - n * head * 0.7;
    p.setPen(Pen(c, 0.8));
    p.setBrush(c);
    p.drawPolygon(tip);
}

void Magnifier(QPainter &p, bool plus) {
    p.setPen(QPen(kInk, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15.5, 15.5), QPointF(21, 21));
    p.setPen(Pen(kInk, 1.6));
    p.setBrush(kLightBlue);
    p.drawEllipse(QPointF(10, 10), 7, 7);
    p.setPen(QPen(kBlue, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
    if (plus) p.drawLine(QPointF(10, 6.5), QPointF(10, 13.5));
}

void DrawClose(QPainter &p) {
    Page(p, 3.5, 2.5, 13, 18);
    p.setPen(Pen(kGrey, 1.0));
    for (double y : {8.0, 11.0, 14.0})
        p.drawLine(QPointF(6, y), QPointF(13.5, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(17, 17), 5.5, 5.5);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.6, 14.6), QPointF(19.4, 19.4));
    p.drawLine(QPointF(19.4, 14.6), QPointF(14.6, 19.4));
}

void DrawOpen(QPainter &p) {
    QPainterPath back;
    back.moveTo(2.5, 19.5);
    back.lineTo(2.5, 5.5);
    back.lineTo(8.5, 5.5);
    back.lineTo(10.5, 7.5);
    back.lineTo(18.5, 7.5);
    back.lineTo(18.5, 10.5);
    p.setPen(Pen(kInk));
    p.setBrush(kDarkYellow);
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(2.5, 19.5);
    front.lineTo(6.0, 10.5);
    front.lineTo(21.5, 10.5);
    front.lineTo(18.0, 19.5);
    front.closeSubpath();
    p.setBrush(kYellow);
    p.drawPath(front);
}

void DrawSave(QPainter &p) {
    QPainterPath disk;
    disk.moveTo(3.5, 3.5);
    disk.lineTo(17.5, 3.5);
    disk.lineTo(20.5, 6.5);
    disk.lineTo(20.5, 20.5);
    disk.lineTo(3.5, 20.5);
    disk.closeSubpath();
    p.setPen(Pen(kInk));
    p.setBrush(kBlue);
    p.drawPath(disk);
    p.setBrush(kLightGrey); // shutter
    p.drawRect(QRectF(7.5, 3.5, 9, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRect(QRectF(13, 4.8, 2, 3.4));
    p.setPen(Pen(kInk, 1.0)); // label
    p.setBrush(kPaper);
    p.drawRect(QRectF(6.5, 12.5, 11, 8));
    p.setPen(Pen(kGrey, 1.0));
    p.drawLine(QPointF(8.5, 15.5), QPointF(15.5, 15.5));
    p.drawLine(QPointF(8.5, 18), QPointF(15.5, 18));
}

void DrawPrint(QPainter &p) {
    p.setPen(Pen(kInk));
    p.setBrush(kPaper); // paper in
    p.drawRect(QRectF(7.5, 2.5, 9, 7));
    p.setBrush(kLightGrey); // body
    p.drawRoundedRect(QRectF(2.5, 8.5, 19, 9), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(18.5, 11.5), 1.1, 1.1);
    p.setPen(Pen(kInk));
    p.setBrush(kPaper); // paper out
    p.drawRect(QRectF(6.5, 14.5, 11, 7));
    p.setPen(Pen(kGrey, 1.0));
    p.drawLine(QPointF(8.5, 17.2), QPointF(15.5, 17.2));
    p.drawLine(QPointF(8.5, 19.4), QPointF(13.5, 19.4));
}

void DrawExcel(QPainter &p) {
    const QRectF sheet(2.5, 3.5, 19, 17);
    p.setPen(Pen(kGreen));
    p.setBrush(kPaper);
    p.drawRect(sheet);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawRect(QRectF(2.5, 3.5, 19, 4)); // header row
    p.setBrush(kLightGreen);
    p.drawRect(QRectF(3.0, 7.5, 4.5, 12.5)); // first column
    p.setPen(Pen(kGreen, 0.9));
    for (double y : {11.5, 15.5})
        p.drawLine(QPointF(2.5, y), QPointF(21.5, y));
    for (double x : {7.5, 12.5, 17.0})
        p.drawLine(QPointF(x, 7.5), QPointF(x, 20.5));
    p.setPen(Pen(kGreen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(sheet);
}

void DrawGraticule(QPainter &p) {
    const QRectF frame(2.5, 2.5, 19, 19);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawRect(frame);
    QPen grid(kGrey, 0.9, Qt::DotLine);
    p.setPen(grid);
    for (double v : {7.25, 12.0, 16.75}) {
        p.drawLine(QPointF(2.5, v), QPointF(21.5, v));
        p.drawLine(QPointF(v, 2.5), QPointF(v, 21.5));
    }
    QPainterPath curve;
    curve.moveTo(3, 16);
    curve.cubicTo(8, 2, 12, 22, 21, 7);
    p.setPen(Pen(kBlue, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    p.setPen(Pen(kInk));
    p.drawRect(frame);
}

void DrawCursors(QPainter &p) {
    p.setPen(Pen(kRed, 1.8));
    p.drawLine(QPointF(4.5, 2.5), QPointF(4.5, 21.5));
    p.setPen(Pen(kBlue, 1.8));
    p.drawLine(QPointF(19.5, 2.5), QPointF(19.5, 21.5));
    const QPointF mid(12, 12);
    Arrow(p, mid, QPointF(7.0, 12), kInk, 2.8);
    Arrow(p, mid, QPointF(17.0, 12), kInk, 2.8);
}

void DrawLegend(QPainter &p) {
    p.setPen(Pen(kInk));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 3.5, 19, 17));
    const QColor marks[] = {kRed, kBlue, kGreen};
    for (int i = 0; i < 3; ++i) {
        const double y = 7.5 + i * 4.5;
        p.setPen(Qt::NoPen);
        p.setBrush(marks[i]);
        p.drawRect(QRectF(5, y - 1.2, 3, 2.6));
        p.setPen(Pen(kGrey, 1.3));
        p.drawLine(QPointF(10, y), QPointF(i == 1 ? 16 : 19, y));
    }
}

void DrawScales(QPainter &p) {
    Arrow(p, QPointF(5.5, 20), QPointF(5.5, 2.5), kInk, 2.6);
    Arrow(p, QPointF(4, 18.5), QPointF(21.5, 18.5), kInk, 2.6);
    p.setPen(Pen(kInk, 1.0));
    for (double y : {15.0, 11.5, 8.0})
        p.drawLine(QPointF(3, y), QPointF(5.5, y));
    for (double x : {9.0, 12.5, 16.0})
        p.drawLine(QPointF(x, 18.5), QPointF(x, 21));
    p.setPen(Pen(kBlue, 1.6));
    p.drawLine(QPointF(8, 14), QPointF(12, 9.5));
    p.drawLine(QPointF(12, 9.5), QPointF(15, 12));
    p.drawLine(QPointF(15, 12), QPointF(19, 6.5));
}

void DrawCascade(QPainter &p) {
    Window(p, QRectF(2.5, 2.5, 12, 10), kGrey);
    Window(p, QRectF(6.5, 6.5, 12, 10), kGrey);
    Window(p, QRectF(10.5, 10.5, 11, 10), kBlue);
}

void DrawTile(QPainter &p) {
    Window(p, QRectF(2.5, 3.5, 9, 8), kBlue);
    Window(p, QRectF(12.5, 3.5, 9, 8), kGrey);
    Window(p, QRectF(2.5, 12.5, 9, 8), kGrey);
    Window(p, QRectF(12.5, 12.5, 9, 8), kGrey);
}

void DrawFullScreen(QPainter &p) {
    Window(p, QRectF(7.5, 7.5, 9, 9), kBlue);
    Arrow(p, QPointF(6.5, 6.5), QPointF(2.5, 2.5), kInk, 2.4);
    Arrow(p, QPointF(17.5, 6.5), QPointF(21.5, 2.5), kInk, 2.4);
    Arrow(p, QPointF(6.5, 17.5), QPointF(2.5, 21.5), kInk, 2.4);
    Arrow(p, QPointF(17.5, 17.5), QPointF(21.5, 21.5), kInk, 2.4);
}

void DrawHelp(QPainter &p) {
    p.setPen(Pen(kInk, 1.0));
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    QPainterPath mark;
    mark.moveTo(8.6, 9.4);
    mark.cubicTo(8.6, 6.8, 10.2, 5.8, 12.1, 5.8);
    mark.cubicTo(14.2, 5.8, 15.6, 7.2, 15.6, 9.0);
    mark.cubicTo(15.6, 11.4, 12.2, 11.8, 12.2, 14.2);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12.2, 17.6), 1.5, 1.5);
}

// Draws large with smooth edges, reduces, and flattens onto the transparent
// key: mostly transparent pixels become the key, the rest are blended over
// the usual toolbar grey.
QImage Render(const std::function<void(QPainter &)> &draw) {
    QImage big(kSize * kScale, kSize * kScale, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    {
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(kScale, kScale);
        draw(p);
    }
    const QImage small = big.scaled(kSize, kSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32);
    QImage out(kSize, kSize, QImage::Format_RGB32);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const QRgb c = small.pixel(x, y);
            const int a = qAlpha(c);
            if (a < 80) {
                out.setPixel(x, y, kKey);
                continue;
            }
            auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a)) / 255; };
            out.setPixel(x, y,
                         qRgb(mix(qRed(c), qRed(kToolbarGrey)),
                              mix(qGreen(c), qGreen(kToolbarGrey)),
                              mix(qBlue(c), qBlue(kToolbarGrey))));
        }
    }
    return out;
}

bool Save(const QImage &image, const QString &path) {
    if (path.endsWith(".pcx")) {
        PcxImage pcx;
        pcx.width = image.width();
        pcx.height = image.height();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                pcx.pixels.push_back(image.pixel(x, y) & 0xFFFFFF);
        return PcxWriteFile(path.toStdString(), pcx);
    }
    return image.save(path, "BMP");
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const struct {
        const char *name;
        void (*draw)(QPainter &);
    } images[] = {
        {"close.bmp", DrawClose},
        {"open.bmp", DrawOpen},
        {"save.bmp", DrawSave},
        {"print.bmp", DrawPrint},
        {"excel.bmp", DrawExcel},
        {"grati.bmp", DrawGraticule},
        {"curseur.bmp", DrawCursors},
        {"legend.pcx", DrawLegend},
        {"echelles.pcx", DrawScales},
        {"zplus.bmp", [](QPainter &p) { Magnifier(p, true); }},
        {"zmoins.bmp", [](QPainter &p) { Magnifier(p, false); }},
        {"cascade.bmp", DrawCascade},
        {"tile.bmp", DrawTile},
        {"ecran.bmp", DrawFullScreen},
        {"help.bmp", DrawHelp},
    };
    for (const auto &image : images) {
        const QString path = dir + "/" + image.name;
        if (!Save(Render(image.draw), path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
