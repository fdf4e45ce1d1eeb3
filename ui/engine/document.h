// A document of a few A4 pages, laid out by the engine and written as a PDF:
// headings, paragraphs, two-column tables and line plots drawn as vectors.
// The text is real text (searchable and copyable), never a picture. The
// program says what the document holds; how it falls onto pages is left here.
#pragma once

#include <string>
#include <vector>

// One curve of a plot, drawn through its points in order.
struct DocCurve {
    std::string name; // for the legend; "" keeps the curve out of it
    std::vector<double> x, y;
    int color = 0;         // 24-bit RGB
    int lineStyle = 0;     // VAL_SOLID, VAL_DASH, ...
    double width = 1.0;    // in points
};

// A straight line across the whole plot at one value, with a label at its
// start (a trigger level, a pretrigger, an event marker).
struct DocMark {
    bool vertical = false; // at an x value; otherwise at a y value
    double at = 0.0;
    int color = 0;
    int lineStyle = 0;
    std::string label;
};

struct DocPlot {
    std::string xLabel, yLabel;
    double xMin = 0.0, xMax = 1.0, yMin = 0.0, yMax = 1.0;
    double heightMm = 70.0; // the plot takes the text width
    std::vector<DocCurve> curves;
    std::vector<DocMark> marks;
};

// A row of a table: two cells, or a heading across both.
struct DocRow {
    std::string left, right;
    bool heading = false; // left spans the row, set apart; right unused
};

struct DocBlock {
    enum Kind { Title, Heading, Paragraph, Table, Plot } kind = Paragraph;
    std::string text; // Title, Heading, Paragraph
    bool newPage = false;          // Heading: starts a page
    std::vector<DocRow> rows;      // Table
    double leftPercent = 58.0;     // Table: the left column's share of the width
    DocPlot plot;
};

struct Document {
    std::string title;   // the PDF's own title
    std::string footer;  // left in every page's foot; "Page N of M" stands right
    std::vector<DocBlock> blocks;
};

// Lays the document out on A4 pages and writes it to path, replacing the file
// only once the whole document is made. Returns the number of pages, or 0
// with the reason in *error.
int WriteDocumentPdf(const Document &doc, const std::string &path, std::string *error);
