// The operator's exploration of a graph or strip chart: freeze the display
// while the program keeps plotting, zoom and pan, read the curves under the
// mouse, export the picture or the curves. None of it changes what the
// program plotted or the axes it asked for; plain clicks stay the program's.
#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QString>

#include <vector>

class QIODevice;
class QPainter;
class QRectF;

class QvGraph;
class QRubberBand;
class QToolButton;
class QWidget;

namespace engine {

struct GraphModel;

// One curve as a graph shows it: a strip-chart trace or a graph's curve
// (lines and texts are decoration and left out).
struct ShownCurve {
    QString name;
    QColor color;
    QList<QPointF> points;
    std::vector<qsizetype> breaks; // points that start a new run: the line is not drawn up to them
    bool stepped = false;
    bool scatter = false;        // marks only, no line
    double width = 1.0;          // of the line, in pixels
    Qt::PenStyle style = Qt::SolidLine;
};

// The visible curves of a model, named from the widget's curve or trace names.
std::vector<ShownCurve> shownCurves(const QvGraph &g, const GraphModel &m);
// A curve's value at x: its point at x, else the line between its neighbours
// (the earlier value for a step plot); NaN where the curve has no value.
double valueAt(const ShownCurve &c, double x);
// Comma-separated text of the curves' points with x0 <= x <= x1: a header
// "x,<name>,..." and one row per x that any curve has, a curve without a
// point at that x leaving its field empty.
QString curvesCsv(const std::vector<ShownCurve> &curves, double x0, double x1);

// The legend of an exported picture: a swatch and the name of every shown
// curve, in a box in the plot area's top left corner.
void paintLegend(QPainter &painter, const QRectF &plotArea, const std::vector<ShownCurve> &curves);

class ExploreOverlay;
class ExploreBar;

// While it lives, no graph under root shows its exploration marks: for a
// picture of a whole panel as the program draws it.
class ExplorationMarksHidden {
  public:
    explicit ExplorationMarksHidden(QWidget *root);
    ~ExplorationMarksHidden();
    ExplorationMarksHidden(const ExplorationMarksHidden &) = delete;
    ExplorationMarksHidden &operator=(const ExplorationMarksHidden &) = delete;

  private:
    QList<QPointer<QvGraph>> graphs_;
};

class GraphExplorer : public QObject {
  public:
    explicit GraphExplorer(QvGraph *graph);
    ~GraphExplorer() override;

    // Freezing keeps the picture as it is; the program's plots go on into
    // the model, and unfreezing shows the latest.
    void setFrozen(bool on);
    bool frozen() const;
    // Shows these data ranges; ranges that are empty, reversed or not
    // finite are ignored. The operator's changes of the view are announced
    // (QvGraph::viewChanged); the program's own (notify false) are not.
    void zoomTo(double x0, double x1, double y0, double y1, bool notify = true);
    void resetZoom(bool notify = true);
    bool zoomed() const;

    // The cursor readout: shown while the mouse is over the plot area.
    bool readoutShown() const { return cursorShown_; }
    // "x = <x>" then "<name>: <value>" per visible curve ("-" without one).
    QString readoutText() const;

    std::vector<ShownCurve> curves() const; // what the graph shows now
    QString csv() const;                    // those curves over the x range shown
    // Writes the graph as a PNG picture, an SVG drawing or a PDF page, or its
    // curves as CSV, by the file's extension. Returns "" or why it failed.
    QString exportTo(const QString &path);
    // Draws the graph as SVG into out: the frame, axes and texts as the
    // chart draws them, then each shown curve as one path through its own
    // points in real-valued coordinates, clipped to the plot area (cut where
    // it leaves it, and under one clip path).
    bool paintSvg(QIODevice *out, const std::vector<ShownCurve> &shown);
    // Asks for a file and exports to it; failures are reported in a pop-up.
    void exportWithDialog();

    // A picture of the graph (export, print) shows what the program drew,
    // without the exploration's own marks (cursor, bar, rubber band): hide
    // them for the picture, then put back what was shown.
    void hideMarks();
    void restoreMarks();

    bool keepsMouseEvent(QObject *target, const QEvent *e) const;
    void viewRedrawn();
    QWidget *bar() const;

  protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

  private:
    friend class ExploreOverlay;
    struct Reading {
        QString name;
        QColor color;
        double value;
    };
    enum class Drag { None, Band, Pan };

    void track(const QPoint &pos);
    void hideCursor();
    void updateBar();
    void placeOverlays();
    void zoomAround(const QPointF &dataPoint, double factor);

    QvGraph *g_;
    ExploreOverlay *overlay_;
    ExploreBar *bar_;
    QToolButton *freezeButton_, *fullViewButton_, *exportButton_;
    QRubberBand *band_ = nullptr;
    bool hovered_ = false;
    bool cursorShown_ = false;
    bool overlayWasShown_ = false, barWasShown_ = false; // before hideMarks()
    QPoint mouse_;
    double readX_ = 0.0;
    std::vector<Reading> readings_;
    Drag drag_ = Drag::None;
    QPoint dragFrom_;
    double from_[4] = {0, 0, 0, 0}; // x0, x1, y0, y1 shown when a pan began
};

} // namespace engine
