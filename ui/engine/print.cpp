// Printing a panel through Qt's print support: on a printer with the print
// dialog, or into a PDF file.
#include "ui/engine/engine_p.h"
#include "ui/engine/graph_explore_p.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace {

struct PrintSettings {
    int orientation = VAL_LANDSCAPE;
    int colorMode = VAL_COLOR;
    int copies = 1;
};
PrintSettings g_print;
std::string g_printFile; // set: prints for the printer go into this PDF

// Draws the panel (or its visible part) onto the printer's page as the
// screen shows it: the panel's picture at the screen's resolution, scaled to
// the page. Drawn straight at the printer's resolution the graphs' lines,
// one or two screen pixels wide, would become faint hairlines. The graphs'
// exploration marks (cursor, bar) are no part of the print.
bool render(QWidget *w, QPrinter &printer, int scaling, int area) {
    engine::flushGraphs(w);
    const engine::ExplorationMarksHidden marks(w);
    QRect source = w->rect();
    if (area == VAL_VISIBLE_AREA && !w->visibleRegion().isEmpty()) source = w->visibleRegion().boundingRect();
    QImage picture(source.size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        w->render(&p, QPoint(), QRegion(source), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    double scale = printer.resolution() / static_cast<double>(w->logicalDpiX() > 0 ? w->logicalDpiX() : 96);
    if (scaling) scale = std::min(page.width() / source.width(), page.height() / source.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, source.width() * scale, source.height() * scale), picture);
    return painter.end();
}

} // namespace

int SetPrintAttributeEx(int attribute, int value) {
    switch (attribute) {
    case ATTR_PRINT_ORIENTATION:
        if (value != VAL_PORTRAIT && value != VAL_LANDSCAPE) return UIE_InvalidArgument;
        g_print.orientation = value;
        return 0;
    case ATTR_PRINT_COLOR_MODE:
        if (value != VAL_BW && value != VAL_COLOR) return UIE_InvalidArgument;
        g_print.colorMode = value;
        return 0;
    case ATTR_PRINT_NUMCOPIES:
        if (value < 1 || value > 99) return UIE_InvalidArgument;
        g_print.copies = value;
        return 0;
    default: return UIE_InvalidAttribute;
    }
}

int GetPrintAttribute(int attribute, int *value) {
    int v = 0;
    switch (attribute) {
    case ATTR_PRINT_ORIENTATION: v = g_print.orientation; break;
    case ATTR_PRINT_COLOR_MODE: v = g_print.colorMode; break;
    case ATTR_PRINT_NUMCOPIES: v = g_print.copies; break;
    default: return UIE_InvalidAttribute;
    }
    if (value) *value = v;
    return 0;
}

void SetPrintOutputFile(const std::string &pdfPath) { g_printFile = pdfPath; }

int PrintPanel(int panelHandle, const char *fileName, int scaling, int area, int interactive) {
    engine::PanelRec *p = engine::panel(panelHandle);
    if (!p || !p->widget) return UIE_InvalidPanel;
    if (area != VAL_FULL_PANEL && area != VAL_VISIBLE_AREA) return UIE_InvalidArgument;

    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(g_print.orientation == VAL_LANDSCAPE ? QPageLayout::Landscape
                                                                   : QPageLayout::Portrait);
    printer.setColorMode(g_print.colorMode == VAL_COLOR ? QPrinter::Color : QPrinter::GrayScale);
    printer.setCopyCount(g_print.copies);
    printer.setDocName(p->widget->windowTitle());

    std::string file = fileName && *fileName ? fileName : g_printFile;
    if (!file.empty()) {
        // Opening a FIFO would wait for its reader; a device would take the page.
        const QFileInfo target(QString::fromStdString(file));
        if (target.exists() && !target.isFile()) return UIE_PrinterError;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(file));
    } else if (interactive) {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        dialog.setWindowTitle(QStringLiteral("Print"));
        if (dialog.exec() != QDialog::Accepted) return UIE_PrintCancelled;
    } else if (QPrinterInfo::availablePrinters().isEmpty()) {
        return UIE_PrinterError;
    }
    return render(p->widget, printer, scaling, area) ? 0 : UIE_PrinterError;
}
