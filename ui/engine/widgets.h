// Custom controls the panel resources use beside Qt's own widgets.
#pragma once

#include <QColor>
#include <QFrame>
#include <QWidget>

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

// Plot area for curves; plotting arrives with the measurement view.
class QvGraph : public QFrame {
    Q_OBJECT
  public:
    explicit QvGraph(QWidget *parent = nullptr);

  protected:
    void paintEvent(QPaintEvent *) override;
};

// Scrolling chart of live values.
class QvStripChart : public QvGraph {
    Q_OBJECT
  public:
    explicit QvStripChart(QWidget *parent = nullptr) : QvGraph(parent) {}
};
