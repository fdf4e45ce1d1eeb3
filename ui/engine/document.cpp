// Documents as PDF through Qt's own text layout and PDF writer: the text is
// laid out by QTextDocument on pages of the writer's size and drawn page by
// page, so every word stays text in the file; plots sit in the text flow as
// objects drawn with the painter, so they stay lines, not pictures.
#include "ui/engine/document.h"

#include "ui/engine/engine.h"
#include "ui/engine/graph_p.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <QTextTable>

#include <algorithm>
#include <cmath>

#include <sys/resource.h>

namespace {

constexpr int kResolution = 300; // dots per inch of the page coordinates
constexpr int kPlotObjectType = QTextFormat::UserObject + 1;
constexpr int kPlotIndexProperty = QTextFormat::UserProperty + 1;
constexpr double kBodyPoints = 9.0;
constexpr double kTablePoints = 8.0;
const char kFontFamily[] = "DejaVu Sans";

double mm(double v) { return v * kResolution / 25.4; }
double pt(double v) { return v * kResolution / 72.0; }
// Margins, padding and borders of the text layout count in pixels of a 96 dpi
// screen, which the layout scales to the page's resolution itself.
double layoutPt(double v) { return v * 96.0 / 72.0; }

QString qs(const std::string &s) { return QString::fromStdString(s); }

QFont font(double points, bool bold = false) {
    QFont f(kFontFamily);
    f.setPointSizeF(points);
    f.setBold(bold);
    // No ligatures: "fi" and "ff" stay two letters, so a search for a key
    // finds it and copied text reads as written.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

// Grid steps of 1, 2 or 5 times a power of ten, about eight over the range.
double tickStep(double span) { return engine::niceStep(span, 8); }

QString tickText(double v) { return QString::number(std::fabs(v) < 1e-12 ? 0.0 : v, 'g', 6); }

// A mark's label on a light ground, so that a curve or another mark's line
// behind it does not hide it.
void drawLabel(QPainter &p, const QFontMetricsF &fm, const QPointF &baseline, const QString &text) {
    const QRectF box(baseline.x() - pt(0.5), baseline.y() - fm.ascent(), fm.horizontalAdvance(text) + pt(1),
                     fm.height());
    p.fillRect(box, QColor(255, 255, 255, 210));
    p.drawText(baseline, text);
}

void drawPlot(QPainter &p, const QRectF &rect, const DocPlot &plot) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QFont small = font(7.0);
    p.setFont(small);
    const QFontMetricsF fm(small, p.device());
    const double xStep = tickStep(plot.xMax - plot.xMin), yStep = tickStep(plot.yMax - plot.yMin);
    double labelWidth = 0.0;
    for (double v = std::ceil(plot.yMin / yStep) * yStep; v <= plot.yMax + yStep * 1e-9; v += yStep)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(tickText(v)));
    const double gap = pt(3);
    const QRectF area = rect.adjusted(fm.height() + labelWidth + 2 * gap, fm.height() + gap, -gap,
                                      -(2 * fm.height() + 2 * gap));
    if (area.width() <= 0 || area.height() <= 0 || !(plot.xMax > plot.xMin) || !(plot.yMax > plot.yMin)) {
        p.restore();
        return;
    }
    auto at = [&](double x, double y) {
        return QPointF(area.left() + (x - plot.xMin) / (plot.xMax - plot.xMin) * area.width(),
                       area.bottom() - (y - plot.yMin) / (plot.yMax - plot.yMin) * area.height());
    };

    // Grid and the numbers on both axes.
    p.setPen(QPen(QColor(215, 215, 215), pt(0.3)));
    for (double x = std::ceil(plot.xMin / xStep) * xStep; x <= plot.xMax + xStep * 1e-9; x += xStep) {
        const double px = at(x, plot.yMin).x();
        p.setPen(QPen(QColor(215, 215, 215), pt(0.3)));
        p.drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
        p.setPen(Qt::black);
        const QString t = tickText(x);
        p.drawText(QPointF(px - fm.horizontalAdvance(t) / 2, area.bottom() + gap + fm.ascent()), t);
    }
    for (double y = std::ceil(plot.yMin / yStep) * yStep; y <= plot.yMax + yStep * 1e-9; y += yStep) {
        const double py = at(plot.xMin, y).y();
        p.setPen(QPen(QColor(215, 215, 215), pt(0.3)));
        p.drawLine(QPointF(area.left(), py), QPointF(area.right(), py));
        p.setPen(Qt::black);
        const QString t = tickText(y);
        p.drawText(QPointF(area.left() - gap - fm.horizontalAdvance(t), py + fm.ascent() / 2 - fm.descent() / 2), t);
    }
    p.setPen(QPen(Qt::black, pt(0.5)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(area);
    const QString xLabel = qs(plot.xLabel), yLabel = qs(plot.yLabel);
    p.drawText(QPointF(area.center().x() - fm.horizontalAdvance(xLabel) / 2,
                       area.bottom() + 2 * gap + fm.height() + fm.ascent()),
               xLabel);
    p.save();
    p.translate(rect.left() + fm.ascent(), area.center().y() + fm.horizontalAdvance(yLabel) / 2);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), yLabel);
    p.restore();

    // Curves and marks stay inside the frame.
    p.save();
    p.setClipRect(area);
    for (const DocCurve &c : plot.curves) {
        const std::size_t n = std::min(c.x.size(), c.y.size());
        if (n == 0) continue;
        QPainterPath path(at(c.x[0], c.y[0]));
        for (std::size_t i = 1; i < n; ++i) path.lineTo(at(c.x[i], c.y[i]));
        QPen pen(engine::colorOf(c.color), pt(c.width), engine::penStyle(c.lineStyle));
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.drawPath(path);
    }
    // Labels of marks at the same place would print over each other: each
    // vertical mark's label stands a line lower than the one before, each
    // horizontal mark's label right of the one before.
    double labelDown = 0.0, labelRight = 0.0;
    for (const DocMark &m : plot.marks) {
        p.setPen(QPen(engine::colorOf(m.color), pt(0.8), engine::penStyle(m.lineStyle)));
        const QString label = qs(m.label);
        if (m.vertical) {
            const double x = at(m.at, plot.yMin).x();
            p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            drawLabel(p, fm, QPointF(x + pt(1.5), area.top() + fm.ascent() + pt(1) + labelDown), label);
            labelDown += fm.height();
        } else {
            const double y = at(plot.xMin, m.at).y();
            p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            drawLabel(p, fm, QPointF(area.left() + pt(2) + labelRight, y - pt(1.5)), label);
            labelRight += fm.horizontalAdvance(label) + pt(6);
        }
    }
    p.restore();

    // The legend above the frame, right-aligned: a swatch and a name each.
    double x = area.right();
    for (auto it = plot.curves.rbegin(); it != plot.curves.rend(); ++it) {
        if (it->name.empty()) continue;
        const QString name = qs(it->name);
        x -= fm.horizontalAdvance(name);
        p.setPen(Qt::black);
        p.drawText(QPointF(x, area.top() - gap), name);
        x -= pt(2) + pt(14);
        p.setPen(QPen(engine::colorOf(it->color), pt(std::max(it->width, 1.0)), engine::penStyle(it->lineStyle)));
        const double y = area.top() - gap - fm.ascent() / 2 + fm.descent() / 2;
        p.drawLine(QPointF(x, y), QPointF(x + pt(14), y));
        x -= pt(10);
    }
    p.restore();
}

// Draws the document's plots where the layout puts their objects.
class PlotObjects : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

  public:
    explicit PlotObjects(double width) : width_(width) {}
    int add(const DocPlot *plot) {
        plots_.push_back(plot);
        return static_cast<int>(plots_.size() - 1);
    }
    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &format) override {
        const DocPlot *plot = of(format);
        return plot ? QSizeF(width_, mm(plot->heightMm)) : QSizeF();
    }
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *, int, const QTextFormat &format) override {
        if (const DocPlot *plot = of(format)) drawPlot(*painter, rect, *plot);
    }

  private:
    const DocPlot *of(const QTextFormat &format) const {
        const int i = format.intProperty(kPlotIndexProperty);
        return i >= 0 && static_cast<std::size_t>(i) < plots_.size() ? plots_[static_cast<std::size_t>(i)] : nullptr;
    }
    double width_;
    std::vector<const DocPlot *> plots_;
};

// Appends the blocks to the text document.
class Builder {
  public:
    // The document is laid out once, when the builder is done: laid out
    // after every insertion, a table of some hundred rows takes seconds.
    Builder(QTextDocument &text, PlotObjects &plots) : c_(&text), plots_(plots) { c_.beginEditBlock(); }
    ~Builder() { c_.endEditBlock(); }

    // A table and, per row, the heading it stands under ("" for none) and
    // whether it is that heading.
    struct Placed {
        QTextTable *table;
        std::vector<QString> under;
        std::vector<bool> heading;
    };
    std::vector<Placed> &tables() { return tables_; }

    void add(const DocBlock &b) {
        switch (b.kind) {
        case DocBlock::Title: paragraph(b.text, font(16.0, true), layoutPt(0), layoutPt(6)); break;
        case DocBlock::Heading: paragraph(b.text, font(11.0, true), layoutPt(10), layoutPt(3), b.newPage); break;
        case DocBlock::Paragraph: paragraph(b.text, font(kBodyPoints), layoutPt(2), layoutPt(2)); break;
        case DocBlock::Table: table(b); break;
        case DocBlock::Plot: plot(b.plot); break;
        }
    }

  private:
    // The document's last block when it is still empty (the first one, the
    // one after a table), else a new one.
    void block(const QTextBlockFormat &bf, const QTextCharFormat &cf) {
        c_.movePosition(QTextCursor::End);
        if (c_.block().length() > 1) c_.insertBlock(bf, cf);
        c_.setBlockFormat(bf);
        c_.setCharFormat(cf);
        c_.setBlockCharFormat(cf);
    }
    void paragraph(const std::string &text, const QFont &f, double before, double after, bool newPage = false) {
        QTextBlockFormat bf;
        if (newPage) bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        bf.setTopMargin(before);
        bf.setBottomMargin(after);
        QTextCharFormat cf;
        cf.setFont(f);
        block(bf, cf);
        c_.insertText(qs(text), cf);
    }
    // A table broken over pages goes on row by row; its heading rows stand
    // out by a bold face and a shaded cell across the row.
    void table(const DocBlock &b) {
        if (b.rows.empty()) return;
        QTextCharFormat cf;
        cf.setFont(font(kTablePoints));
        block(QTextBlockFormat(), cf);
        QTextTableFormat tf;
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tf.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, b.leftPercent),
                                      QTextLength(QTextLength::PercentageLength, 100 - b.leftPercent)});
        tf.setCellPadding(layoutPt(1.5));
        tf.setCellSpacing(0);
        tf.setBorder(layoutPt(0.75));
        tf.setBorderBrush(QColor(170, 170, 170));
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderCollapse(true);
        tf.setTopMargin(layoutPt(4));
        tf.setBottomMargin(layoutPt(4));
        QTextTable *t = c_.insertTable(static_cast<int>(b.rows.size()), 2, tf);
        Placed placed{t, {}, {}};
        QString under;
        for (int r = 0; r < static_cast<int>(b.rows.size()); ++r) {
            const DocRow &row = b.rows[static_cast<std::size_t>(r)];
            if (row.heading) under = qs(row.left);
            placed.under.push_back(under);
            placed.heading.push_back(row.heading);
            if (row.heading) {
                headingRow(t, r, qs(row.left));
                continue;
            }
            t->cellAt(r, 0).firstCursorPosition().insertText(qs(row.left), cf);
            t->cellAt(r, 1).firstCursorPosition().insertText(qs(row.right), cf);
        }
        tables_.push_back(std::move(placed));
    }

  public:
    // A row across the table, set apart: bold on a shaded ground.
    static void headingRow(QTextTable *t, int r, const QString &text) {
        QTextCharFormat bold;
        bold.setFont(font(kTablePoints, true));
        t->mergeCells(r, 0, 1, 2);
        QTextTableCell cell = t->cellAt(r, 0);
        QTextCharFormat shaded = cell.format();
        shaded.setBackground(QColor(225, 232, 240));
        cell.setFormat(shaded);
        cell.firstCursorPosition().insertText(text, bold);
    }

  private:
    void plot(const DocPlot &p) {
        QTextBlockFormat bf;
        bf.setTopMargin(layoutPt(4));
        bf.setBottomMargin(layoutPt(4));
        QTextCharFormat cf;
        cf.setFont(font(kBodyPoints));
        block(bf, cf);
        QTextCharFormat object;
        object.setObjectType(kPlotObjectType);
        object.setProperty(kPlotIndexProperty, plots_.add(&p));
        c_.insertText(QString(QChar::ObjectReplacementCharacter), object);
    }

    QTextCursor c_;
    PlotObjects &plots_;
    std::vector<Placed> tables_;
};

// Where a row of a table starts on the pages: the page's number from 0.
int pageOfRow(QTextDocument &text, QTextTable *t, int r, double pageHeight) {
    const QTextBlock block = t->cellAt(r, 0).firstCursorPosition().block();
    return static_cast<int>(std::floor(text.documentLayout()->blockBoundingRect(block).top() / pageHeight));
}

// A paragraph that runs over a page break is cut into two blocks there. The
// layout draws a whole block wherever any of it falls on a page, so without
// the cut the lines of the page before would stand, clipped but present,
// in the next page's text (found twice by a search, copied twice).
void splitParagraphsAtPageBreaks(QTextDocument &text, double pageHeight) {
    QAbstractTextDocumentLayout *layout = text.documentLayout();
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        if (QTextCursor(b).currentTable()) continue; // table rows go to the next page whole
        layout->blockBoundingRect(b);                   // lays the document out up to here
        const QTextLayout *lines = b.layout();
        if (!lines || lines->lineCount() < 2) continue;
        auto pageOf = [&](int i) {
            return static_cast<int>(std::floor((lines->position().y() + lines->lineAt(i).y()) / pageHeight));
        };
        for (int i = 1; i < lines->lineCount(); ++i) {
            if (pageOf(i) == pageOf(i - 1)) continue;
            // Neither part's margin reaches over the break.
            QTextCursor cut(&text);
            cut.setPosition(b.position() + lines->lineAt(i).textStart());
            QTextBlockFormat rest = b.blockFormat(), before = b.blockFormat();
            rest.setTopMargin(0);
            rest.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore); // where the layout had it
            before.setBottomMargin(0);
            cut.setBlockFormat(before);
            cut.insertBlock(rest, cut.charFormat());
            break; // the rest is the next block, checked in its turn
        }
    }
}

// A section of a table that goes on over a page break gets its heading again
// at the top of the new page, marked as continued, so a page read alone says
// what its rows belong to.
void repeatHeadingsOverPageBreaks(QTextDocument &text, std::vector<Builder::Placed> &tables, double pageHeight) {
    for (Builder::Placed &p : tables) {
        for (int r = 1; r < p.table->rows(); ++r) {
            const std::size_t i = static_cast<std::size_t>(r);
            if (p.heading[i] || p.under[i].isEmpty()) continue;
            if (pageOfRow(text, p.table, r, pageHeight) == pageOfRow(text, p.table, r - 1, pageHeight)) continue;
            p.table->insertRows(r, 1);
            Builder::headingRow(p.table, r, p.under[i] + " (continued)");
            p.under.insert(p.under.begin() + r, p.under[i]);
            p.heading.insert(p.heading.begin() + r, true);
            ++r; // the row that now follows the repeated heading
        }
    }
}

} // namespace

int WriteDocumentPdf(const Document &doc, const std::string &path, std::string *error) {
    auto fail = [&](const QString &why) {
        if (error) *error = why.toStdString();
        return 0;
    };
    const QString file = qs(path);
    // The new file is renamed over the old one: a device or FIFO of that
    // name would be replaced by it.
    const QFileInfo target(file);
    if (target.exists() && !target.isFile()) return fail(QString("Cannot write \"%1\": not a regular file").arg(file));

    // Made in memory and written in one go, so a full disk never leaves half
    // a document under the name.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 15, 18, 12),
                                     QPageLayout::Millimeter));
    writer.setTitle(qs(doc.title));
    writer.setCreator(QCoreApplication::applicationName());
    const QRectF paper = writer.pageLayout().paintRectPixels(kResolution);
    const QFont footFont = font(7.5);
    const QFontMetricsF footMetrics(footFont, &writer);
    const double footHeight = 2.5 * footMetrics.height();

    QTextDocument text;
    text.documentLayout()->setPaintDevice(&writer);
    text.setDefaultFont(font(kBodyPoints));
    text.setDocumentMargin(0);
    // The layout counts in 64ths of a unit: a page height on that grid puts
    // its page breaks exactly where the pages are drawn, however many pages.
    text.setPageSize(QSizeF(paper.width(), std::floor((paper.height() - footHeight) * 64.0) / 64.0));
    PlotObjects plots(paper.width());
    text.documentLayout()->registerHandler(kPlotObjectType, &plots);
    std::vector<Builder::Placed> tables;
    {
        Builder builder(text, plots);
        for (const DocBlock &b : doc.blocks) builder.add(b);
        tables = std::move(builder.tables());
    }
    repeatHeadingsOverPageBreaks(text, tables, text.pageSize().height());
    splitParagraphsAtPageBreaks(text, text.pageSize().height());

    const double bodyHeight = text.pageSize().height();
    const int pages = std::max(1, text.pageCount());
    QPainter painter;
    if (!painter.begin(&writer)) return fail(QString("Cannot make the PDF for \"%1\"").arg(file));
    for (int page = 0; page < pages; ++page) {
        if (page > 0) writer.newPage();
        painter.save();
        const QRectF shown(0, page * bodyHeight, paper.width(), bodyHeight);
        painter.translate(0, -shown.top());
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        // A block that ends where the page begins, or begins where it ends,
        // belongs to the page next to it: a clip that touched it would write
        // its text (unseen, but copied and searched) on this page too.
        context.clip = shown.adjusted(0, 0.5, 0, -0.5);
        text.documentLayout()->draw(&painter, context);
        painter.restore();

        painter.setFont(footFont);
        painter.setPen(QPen(QColor(140, 140, 140), pt(0.4)));
        const double rule = paper.height() - footHeight + footMetrics.height();
        painter.drawLine(QPointF(0, rule), QPointF(paper.width(), rule));
        painter.setPen(Qt::black);
        const double baseline = rule + footMetrics.height();
        painter.drawText(QPointF(0, baseline), qs(doc.footer));
        const QString number = QString("Page %1 of %2").arg(page + 1).arg(pages);
        painter.drawText(QPointF(paper.width() - footMetrics.horizontalAdvance(number), baseline), number);
    }
    if (!painter.end()) return fail(QString("Cannot make the PDF for \"%1\"").arg(file));
    buffer.close();

    // A file-size limit (ulimit -f) makes the write fail with no error text
    // of its own: it is named before anything is written.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<unsigned long long>(bytes.size()) > static_cast<unsigned long long>(limit.rlim_cur))
        return fail(QString("Cannot write \"%1\": the PDF takes %2 bytes, more than the file-size limit of this "
                            "session allows (%3 bytes, ulimit -f)")
                        .arg(file)
                        .arg(bytes.size())
                        .arg(static_cast<unsigned long long>(limit.rlim_cur)));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QString("Cannot write \"%1\": %2").arg(file, out.errorString()));
    if (out.write(bytes) != bytes.size()) out.cancelWriting();
    if (!out.commit()) {
        const QString why = out.errorString();
        return fail(QString("Cannot write \"%1\"%2").arg(file, why.isEmpty() ? QString() : ": " + why));
    }
    return pages;
}

#include "document.moc"
