// Printing: a panel drawn as it shows, or report pages, on the default
// printer or in a PDF file; report pages are previewed first.
#include "platform/internal.h"
#include "platform/replace.h"
#include "platform/report_page.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <map>
#include <unistd.h>

namespace {

std::map<int, int> printAttributes;
std::string testPrintFile;

int Attribute(int attribute) {
    auto it = printAttributes.find(attribute);
    return it == printAttributes.end() ? VAL_USE_PRINTER_DEFAULT : it->second;
}

void ApplyAttributes(QPrinter *printer) {
    int orientation = Attribute(ATTR_PRINT_ORIENTATION);
    if (orientation == VAL_PRINT_LANDSCAPE)
        printer->setPageOrientation(QPageLayout::Landscape);
    else if (orientation == VAL_PRINT_PORTRAIT)
        printer->setPageOrientation(QPageLayout::Portrait);
    int colour = Attribute(ATTR_PRINT_COLOR_MODE);
    if (colour == VAL_PRINT_GRAYSCALE)
        printer->setColorMode(QPrinter::GrayScale);
    else if (colour == VAL_PRINT_COLOR)
        printer->setColorMode(QPrinter::Color);
    int resolution = Attribute(ATTR_PRINT_XRESOLUTION);
    if (resolution > 0) printer->setResolution(resolution);
}

// The target rectangle on the page, in device pixels of the printer.
QRectF Placement(const QPrinter &printer, QSize image, int scaling) {
    QRectF page = printer.pageRect(QPrinter::DevicePixel);
    page.moveTo(0, 0);
    const double dotsPerMm = printer.resolution() / 25.4;
    int areaWidth = Attribute(ATTR_PRINT_AREA_WIDTH);
    int areaHeight = Attribute(ATTR_PRINT_AREA_HEIGHT);
    if (areaWidth > 0) page.setWidth(std::min(page.width(), areaWidth * dotsPerMm));
    if (areaHeight > 0) page.setHeight(std::min(page.height(), areaHeight * dotsPerMm));
    QSizeF size(image.width(), image.height());
    if (scaling)
        size.scale(page.size(), Qt::KeepAspectRatio);
    else
        size *= printer.resolution() / 96.0; // a screen pixel of 1/96 inch
    return QRectF(page.topLeft(), size);
}

// The printer the print goes to without a dialog: the test file, else the
// system's default printer. False when there is neither.
bool ChooseDirectPrinter(QPrinter *printer) {
    if (!testPrintFile.empty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(testPrintFile));
        return true;
    }
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return false;
    printer->setPrinterName(info.printerName());
    return true;
}

// Paints through `paint`; a PDF file of that name is replaced only once the
// new one is whole.
int PaintOn(QPrinter *printer, const std::function<bool()> &paint) {
    const QString pdf =
        printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName() : QString();
    if (pdf.isEmpty()) return paint() ? 0 : UIEOperationFailed;
    int r = ReplaceFile(pdf.toStdString(), [&](int fd, const std::string &name) {
        printer->setOutputFileName(QString::fromStdString(name));
        return paint() && ::lseek(fd, 0, SEEK_END) > 0;
    });
    printer->setOutputFileName(pdf);
    return r == REPLACE_DONE ? 0 : UIEOperationFailed;
}

// The preview of the pages; true when the user chose to print. Its Print
// button only ends it: where the pages go is decided afterwards, as for a
// print without a preview.
bool Preview(QPrinter *printer, const std::vector<ReportPage> &pages, const std::string &title) {
    PopupRecord record{"preview", title, "", {"Print", "Cancel"}};
    PopupAnswer answer;
    if (rt::ScriptedPopup(record, &answer)) return answer.button == 1;
    QPrintPreviewDialog dialog(printer, QApplication::activeWindow());
    dialog.setWindowTitle(QString::fromStdString(title));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                     [&pages](QPrinter *target) { rt::DrawReportPages(target, pages); });
    const QString printText = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    for (QAction *action : dialog.findChildren<QAction *>()) {
        if (action->text() != printText) continue;
        QObject::disconnect(action, SIGNAL(triggered(bool)), &dialog, nullptr);
        QObject::connect(action, &QAction::triggered, &dialog, &QDialog::accept);
    }
    QRect screen = QApplication::primaryScreen()
                       ? QApplication::primaryScreen()->availableGeometry()
                       : QRect(0, 0, 1024, 768);
    dialog.resize(std::min(900, screen.width()), std::min(900, screen.height()) * 9 / 10);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

void rt::ApplyPrintAttributes(QPrinter *printer) {
    ApplyAttributes(printer);
    // A printer that knows no colour prints grey, whatever was asked.
    if (printer->outputFormat() == QPrinter::NativeFormat && !printer->printerName().isEmpty()) {
        QPrinterInfo info(*printer);
        const QList<QPrinter::ColorMode> modes = info.supportedColorModes();
        if (!modes.isEmpty() && !modes.contains(QPrinter::Color))
            printer->setColorMode(QPrinter::GrayScale);
    }
}

int PrintReport(const std::vector<ReportPage> &pages, const std::string &fileName,
                const std::string &previewTitle) {
    if (pages.empty()) return UIEOperationFailed;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromStdString(pages.front().title));
    auto paint = [&] { return rt::DrawReportPages(&printer, pages); };
    if (!fileName.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(fileName));
        rt::ApplyPrintAttributes(&printer);
        return PaintOn(&printer, paint);
    }
    const bool direct = ChooseDirectPrinter(&printer);
    rt::ApplyPrintAttributes(&printer);
    // Pending moves and resizes are laid out before the preview opens.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!Preview(&printer, pages, previewTitle)) return VAL_PRINT_CANCELLED;
    if (!direct) {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted) return VAL_PRINT_CANCELLED;
    }
    return PaintOn(&printer, paint);
}

void SetPrintFileForTesting(const std::string &pdfPath) {
    testPrintFile = pdfPath;
}

int SetPrintAttributeEx(int attribute, int value) {
    switch (attribute) {
    case ATTR_PRINT_ORIENTATION:
    case ATTR_PRINT_AREA_HEIGHT:
    case ATTR_PRINT_AREA_WIDTH:
    case ATTR_PRINT_XRESOLUTION:
    case ATTR_PRINT_YRESOLUTION:
    case ATTR_PRINT_COLOR_MODE:
        printAttributes[attribute] = value;
        return 0;
    default:
        return UIEOperationFailed;
    }
}

int PrintPanel(int panel, const std::string &fileName, int scaling, int visibility, int frame) {
    rt::Panel *p = rt::FindPanel(panel);
    if (!p || !p->widget) return UIEBadPanelHandle;
    QWidget *source = p->widget;
    if (frame && p->subWindow) source = p->subWindow;
    // Pending moves and resizes must be laid out before the picture is
    // taken; the user's own input waits until the page is done.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QRect area = source->rect();
    if (!visibility) area = source->visibleRegion().boundingRect();
    if (area.isEmpty()) return UIEOperationFailed;
    QPixmap picture = source->grab(area);
    if (picture.isNull()) return UIEOperationFailed;

    QPrinter printer(QPrinter::HighResolution);
    std::string file = fileName.empty() ? testPrintFile : fileName;
    if (!file.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(file));
    } else {
        QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (!info.isNull()) {
            printer.setPrinterName(info.printerName());
        } else {
            QPrintDialog dialog(&printer, QApplication::activeWindow());
            if (dialog.exec() != QDialog::Accepted) return VAL_PRINT_CANCELLED;
        }
    }
    ApplyAttributes(&printer);

    auto paint = [&] {
        QPainter painter;
        if (!painter.begin(&printer)) return false;
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(Placement(printer, picture.size(), scaling), picture,
                           QRectF(picture.rect()));
        return painter.end();
    };
    return PaintOn(&printer, paint);
}
