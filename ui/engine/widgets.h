// Custom controls the panel resources use beside Qt's own widgets.
#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QList>
#include <QPolygonF>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

// Round indicator light with an on and an off colour.
class QvLed : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool on READ isOn WRITE setOn)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(QColor offColor READ offColor WRITE setOffColor)
  public:
    explicit QvLed(QWidget *parent = nullptr);
    bool isOn() const { return on_; }
    void setOn(bool on);
    QColor onColor() const { return onColor_; }
    void setOnColor(const QColor &c);
    QColor offColor() const { return offColor_; }
    void setOffColor(const QColor &c);
    QSize sizeHint() const override { return {20, 20}; }

  protected:
    void paintEvent(QPaintEvent *) override;
    virtual bool round() const { return true; }

  private:
    bool on_ = false;
    QColor onColor_{0, 255, 0};
    QColor offColor_{64, 64, 64};
};

// Rectangular two-colour lamp.
class QvLamp : public QvLed {
    Q_OBJECT
  public:
    explicit QvLamp(QWidget *parent = nullptr) : QvLed(parent) {}

  protected:
    bool round() const override { return false; }
};

// On/off button with a lamp in it: the lamp lights in the on colour while
// the button is on and shows the off colour while it is off.
class QvLampButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(QColor offColor READ offColor WRITE setOffColor)
  public:
    explicit QvLampButton(QWidget *parent = nullptr);
    QColor onColor() const { return onColor_; }
    void setOnColor(const QColor &c);
    QColor offColor() const { return offColor_; }
    void setOffColor(const QColor &c);

  protected:
    void paintEvent(QPaintEvent *) override;

  private:
    QColor onColor_{255, 0, 0};
    QColor offColor_{64, 64, 64};
};

// Drawing surface: keeps what is drawn on it, at the screen's full
// resolution, until it is cleared. Starts transparent.
class QvCanvas : public QWidget {
    Q_OBJECT
  public:
    explicit QvCanvas(QWidget *parent = nullptr);
    // The surface to draw on, in widget coordinates; call update() after.
    QImage &surface();
    void clear(const QRect &area);

  protected:
    void paintEvent(QPaintEvent *) override;

  private:
    QImage image_;
};

namespace engine {
struct GraphModel;
struct ViewState;
class GraphView;
class GraphExplorer;
} // namespace engine

// Graph over Qt Charts: curves, lines and text on a dark, gridded plot area
// (ui/engine/graph_widgets.cpp). Mouse clicks anywhere on it land on this widget
// itself, never on the chart view inside.
// The operator can freeze, zoom, pan, read and export what it shows
// (graph_explore.cpp) with Ctrl and Shift gestures and a small bar in its
// corner; plain clicks stay the program's. curveNames names curves in the
// readout and in exports by their colour: "#0000ff=Channel A,#00ff00=Channel B".
class QvGraph : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString xName READ xName WRITE setXName)
    Q_PROPERTY(QString yName READ yName WRITE setYName)
    Q_PROPERTY(QColor plotColor READ plotColor WRITE setPlotColor)
    Q_PROPERTY(QColor gridColor READ gridColor WRITE setGridColor)
    Q_PROPERTY(QString curveNames READ curveNames WRITE setCurveNames)
  public:
    explicit QvGraph(QWidget *parent = nullptr);
    ~QvGraph() override;

    engine::GraphModel &model() { return *model_; }
    const engine::GraphModel &model() const { return *model_; }
    // The model changed: the chart follows within one frame period (about
    // 33 ms), however many changes come before. Nothing is drawn here.
    void scheduleRedraw();
    // Brings the chart up to date at once.
    void redrawNow();
    bool redrawPending() const;
    int redrawCount() const; // times the chart has followed the model
    // The QChartView inside (a QWidget, so this header stays free of charts).
    QWidget *chartView() const;
    // Data coordinates of a point of this widget.
    QPointF toData(const QPoint &widgetPos) const;
    // Widget position of a data point.
    QPointF toWidget(const QPointF &data) const;
    // The plot area in widget coordinates.
    QRectF plotArea() const;
    // Off: the chart draws no curve, line or trace (a vector drawing writes
    // them itself); on: as before.
    void setCurvesPainted(bool on);
    // The range an axis shows now (VAL_XAXIS or VAL_LEFT_YAXIS): the
    // program's, or the operator's zoom.
    std::pair<double, double> shownRange(int axis) const;
    // The operator's view of it: freeze, zoom, readout, export.
    engine::ViewState &viewState();
    engine::GraphExplorer &explorer() const;
    QString curveNames() const { return curveNames_; }
    void setCurveNames(const QString &s) { curveNames_ = s; }
    // Where a CSV export of the x range shown comes from; empty: the
    // plotted points.
    std::function<QString(double x0, double x1)> csvSource;
    // Where the cursor readout's value of a curve at x comes from; empty:
    // the plotted points.
    std::function<double(const QString &curve, double x)> valueSource;
    // Where the export dialog opens; empty: the folder of the last export.
    QString exportDir;

  signals:
    // The operator zoomed, panned or went back to the full view.
    void viewChanged();

  public:

    QString xName() const { return xName_; }
    void setXName(const QString &s);
    QString yName() const { return yName_; }
    void setYName(const QString &s);
    QColor plotColor() const { return plotColor_; }
    void setPlotColor(const QColor &c);
    QColor gridColor() const { return gridColor_; }
    void setGridColor(const QColor &c);

  protected:
    QvGraph(QWidget *parent, bool stripChart);
    void showEvent(QShowEvent *e) override;
    const engine::GraphView &view() const { return *view_; }

  private:
    void restyle();
    QPointF toWidgetFromChart(const QPointF &chartPos) const;
    QString xName_, yName_, curveNames_;
    QColor plotColor_{0, 0, 0};
    QColor gridColor_{72, 72, 72};
    std::unique_ptr<engine::GraphModel> model_;
    std::unique_ptr<engine::GraphView> view_;
    std::unique_ptr<engine::GraphExplorer> explorer_;
};

// Scrolling chart of live values: traces of interleaved points, one screen of
// history. The traces and the time axis are drawn by the chart itself (one
// graphics item), not by Qt Charts series. The trace count, screen length,
// trace colours (comma-separated colour names) and the traces' names for the
// readout and exports (comma-separated, in trace order) may come from the
// panel resource.
class QvStripChart : public QvGraph {
    Q_OBJECT
    Q_PROPERTY(int numTraces READ numTraces WRITE setNumTraces)
    Q_PROPERTY(int pointsPerScreen READ pointsPerScreen WRITE setPointsPerScreen)
    Q_PROPERTY(QString traceColors READ traceColors WRITE setTraceColors)
    Q_PROPERTY(QString traceNames READ traceNames WRITE setTraceNames)
  public:
    explicit QvStripChart(QWidget *parent = nullptr);
    int numTraces() const;
    void setNumTraces(int n);
    int pointsPerScreen() const;
    void setPointsPerScreen(int n);
    QString traceColors() const;
    void setTraceColors(const QString &names);
    QString traceNames() const { return traceNames_; }
    void setTraceNames(const QString &names) { traceNames_ = names; }
    // What the chart draws of trace t (from 0) since its last redraw: each
    // run of finite values as a polyline in data coordinates; nothing while
    // the trace is hidden. And the colour it is drawn in.
    QList<QPolygonF> drawnLines(int t) const;
    QColor drawnColor(int t) const;
    // The time axis's labels as last painted, left to right.
    QStringList drawnTimeLabels() const;

  private:
    QString traceNames_;
};
