// The engine's drawing and text additions: canvases, pictures from image
// files, text messages made at run time with their fonts, decoration
// colours, reading password fields, and the SHA-256 digest. Control values
// and events in general are the business of test_engine.cpp.
#include "tests/fixtures/inline_panel.h"
#include "ui/engine/engine.h"
#include "ui/engine/widgets.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>

#include <string>

namespace {

const char *kCanvasUi = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>container</class>
 <widget class="QWidget" name="container">
  <widget class="QWidget" name="p1">
   <property name="panel" stdset="0"><number>1</number></property>
   <property name="geometry"><rect><x>0</x><y>0</y><width>300</width><height>200</height></rect></property>
   <widget class="QFrame" name="banner">
    <property name="geometry"><rect><x>0</x><y>0</y><width>300</width><height>40</height></rect></property>
    <property name="ctrlId" stdset="0"><number>2</number></property>
   </widget>
   <widget class="QvCanvas" name="canvas">
    <property name="geometry"><rect><x>10</x><y>50</y><width>100</width><height>60</height></rect></property>
    <property name="ctrlId" stdset="0"><number>3</number></property>
   </widget>
   <widget class="QLabel" name="picture">
    <property name="geometry"><rect><x>150</x><y>50</y><width>60</width><height>60</height></rect></property>
    <property name="picture" stdset="0"><bool>true</bool></property>
    <property name="ctrlId" stdset="0"><number>4</number></property>
   </widget>
   <widget class="QLineEdit" name="secret"><property name="ctrlId" stdset="0"><number>5</number></property></widget>
   <widget class="QLabel" name="caption">
    <property name="text"><string>caption</string></property>
    <property name="ctrlId" stdset="0"><number>9</number></property>
   </widget>
  </widget>
 </widget>
</ui>
)";

constexpr int BANNER = 2, CANVAS = 3, PICTURE = 4, SECRET = 5, CAPTION = 9;

class CanvasTest : public ::testing::Test {
  protected:
    InlinePanel resource;
    QTemporaryDir &dir = resource.dir;
    int panel = 0;

    void SetUp() override {
        panel = resource.load("Canvas.ui", kCanvasUi);
        ASSERT_GT(panel, 0);
        DisplayPanel(panel);
    }
    // What the control shows, at the control's own size; a canvas's own
    // surface, so what is not drawn stays transparent.
    QImage shot(int id) {
        auto *w = static_cast<QWidget *>(GetCtrlWidget(panel, id));
        if (auto *canvas = qobject_cast<QvCanvas *>(w)) return canvas->surface().scaled(w->size());
        return w->grab().toImage().scaled(w->size());
    }
    int attr(int id, int attribute) {
        int v = -1;
        GetCtrlAttribute(panel, id, attribute, &v);
        return v;
    }
};

TEST_F(CanvasTest, ShapesStayInsideTheirRectanglesUntilCleared) {
    EXPECT_EQ(attr(CANVAS, ATTR_CTRL_KIND), CTRL_KIND_CANVAS);
    SetCtrlAttribute(panel, CANVAS, ATTR_PEN_COLOR, VAL_RED);
    SetCtrlAttribute(panel, CANVAS, ATTR_PEN_FILL_COLOR, VAL_BLUE);
    SetCtrlAttribute(panel, CANVAS, ATTR_PEN_WIDTH, 2);
    ASSERT_EQ(CanvasDrawRect(panel, CANVAS, MakeRect(10, 10, 20, 30), VAL_DRAW_FRAME_AND_INTERIOR), 0);
    QImage img = shot(CANVAS);
    EXPECT_EQ(img.pixelColor(10, 10), QColor(Qt::red)) << "the frame starts at the rectangle's corner";
    EXPECT_EQ(img.pixelColor(39, 29), QColor(Qt::red)) << "and ends inside it";
    EXPECT_EQ(img.pixelColor(40, 30).alpha(), 0) << "nothing outside";
    EXPECT_EQ(img.pixelColor(25, 20), QColor(Qt::blue));

    const Point zigzag[] = {MakePoint(60, 50), MakePoint(70, 10), MakePoint(80, 50)};
    SetCtrlAttribute(panel, CANVAS, ATTR_PEN_WIDTH, 1);
    ASSERT_EQ(CanvasDrawPoly(panel, CANVAS, 3, zigzag, 0, VAL_DRAW_FRAME), 0);
    CanvasDrawOval(panel, CANVAS, MakeRect(40, 0, 10, 10), VAL_DRAW_INTERIOR);
    img = shot(CANVAS);
    EXPECT_GT(img.pixelColor(70, 11).red(), 100);
    EXPECT_EQ(img.pixelColor(70, 40).alpha(), 0) << "an open polyline is not filled";
    EXPECT_EQ(img.pixelColor(5, 45), QColor(Qt::blue));

    CanvasClear(panel, CANVAS, MakeRect(0, 0, 0, 0));
    EXPECT_EQ(shot(CANVAS).pixelColor(25, 20).alpha(), 0);
    EXPECT_EQ(CanvasDrawRect(panel, CANVAS, MakeRect(0, 0, 5, 5), 7), UIE_InvalidArgument);
    EXPECT_EQ(CanvasDrawRect(panel, PICTURE, MakeRect(0, 0, 5, 5), VAL_DRAW_FRAME), UIE_TypeMismatch);
}

TEST_F(CanvasTest, ImageFilesFillCanvasesAndPicturesKeepingTheirProportions) {
    const std::string file = dir.filePath("logo.png").toStdString();
    QImage wide(200, 60, QImage::Format_RGB32);
    wide.fill(Qt::green);
    ASSERT_TRUE(wide.save(QString::fromStdString(file)));

    ASSERT_EQ(DisplayImageFile(panel, CANVAS, file.c_str()), 0);
    QImage img = shot(CANVAS);
    EXPECT_EQ(img.pixelColor(50, 30), QColor(Qt::green));
    EXPECT_EQ(img.pixelColor(50, 5).alpha(), 0) << "100 x 30 centred in 100 x 60";

    EXPECT_EQ(attr(PICTURE, ATTR_CTRL_KIND), CTRL_KIND_PICTURE);
    ASSERT_EQ(DisplayImageFile(panel, PICTURE, file.c_str()), 0);
    EXPECT_EQ(static_cast<QLabel *>(GetCtrlWidget(panel, PICTURE))->pixmap().deviceIndependentSize().toSize(),
              QSize(60, 18));

    EXPECT_EQ(DisplayImageFile(panel, CANVAS, dir.filePath("missing.png").toStdString().c_str()), UIE_FileNotFound);
    EXPECT_EQ(shot(CANVAS).pixelColor(50, 30), QColor(Qt::green)) << "a failed load keeps the picture";
    EXPECT_EQ(DisplayImageFile(panel, SECRET, file.c_str()), UIE_TypeMismatch);
}

TEST_F(CanvasTest, TextMessagesMadeAtRunTimeFollowTheirTextAndFont) {
    const int a = NewCtrl(panel, CTRL_KIND_TEXTMSG, "short", 12, 40);
    const int b = NewCtrl(panel, CTRL_KIND_TEXTMSG, "next", 30, 40);
    EXPECT_EQ(a, CAPTION + 1) << "past every id the panel had";
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(NewCtrl(panel, CTRL_KIND_CANVAS, "", 0, 0), UIE_InvalidArgument);
    EXPECT_EQ(NewCtrl(99, CTRL_KIND_TEXTMSG, "", 0, 0), UIE_InvalidPanel);
    EXPECT_EQ(attr(a, ATTR_CTRL_KIND), CTRL_KIND_TEXTMSG);
    EXPECT_EQ(attr(a, ATTR_LEFT), 40);
    EXPECT_EQ(attr(a, ATTR_TOP), 12);
    EXPECT_EQ(attr(a, ATTR_VISIBLE), 1);

    const int narrow = attr(a, ATTR_WIDTH);
    SetCtrlVal(panel, a, "a much longer line of text");
    const int longer = attr(a, ATTR_WIDTH);
    EXPECT_GT(longer, narrow);
    SetCtrlAttribute(panel, a, ATTR_TEXT_FONT, VAL_APP_META_FONT);
    SetCtrlAttribute(panel, a, ATTR_TEXT_POINT_SIZE, 24);
    SetCtrlAttribute(panel, a, ATTR_TEXT_BOLD, 1);
    EXPECT_EQ(attr(a, ATTR_TEXT_POINT_SIZE), 24);
    EXPECT_EQ(attr(a, ATTR_TEXT_BOLD), 1);
    EXPECT_GT(attr(a, ATTR_WIDTH), longer);
    EXPECT_GE(attr(a, ATTR_HEIGHT), 24);

    // A caption of the resource keeps its size.
    const int captionWidth = attr(CAPTION, ATTR_WIDTH);
    SetCtrlVal(panel, CAPTION, "a caption that became much longer");
    EXPECT_EQ(attr(CAPTION, ATTR_WIDTH), captionWidth);
}

TEST_F(CanvasTest, DecorationsTakeTheirFrameColour) {
    SetCtrlAttribute(panel, BANNER, ATTR_FRAME_COLOR, MakeColor(0, 128, 255));
    EXPECT_EQ(attr(BANNER, ATTR_FRAME_COLOR), MakeColor(0, 128, 255));
    EXPECT_EQ(shot(BANNER).pixelColor(150, 20), QColor(0, 128, 255));
    EXPECT_EQ(SetCtrlAttribute(panel, SECRET, ATTR_FRAME_COLOR, 0), UIE_InvalidAttribute);
}

TEST_F(CanvasTest, OnlyPasswordFieldsGiveTheirTextAsPassword) {
    std::string text;
    SetCtrlVal(panel, SECRET, "Typed");
    EXPECT_EQ(PasswordCtrl_GetAttribute(panel, SECRET, ATTR_PASSWORD_VAL, &text), UIE_TypeMismatch);
    PasswordCtrl_ConvertFromString(panel, SECRET);
    EXPECT_EQ(PasswordCtrl_GetAttribute(panel, SECRET, ATTR_PASSWORD_VAL, &text), 0);
    EXPECT_EQ(text, "Typed");
    EXPECT_EQ(PasswordCtrl_GetAttribute(panel, CAPTION, ATTR_PASSWORD_VAL, &text), UIE_TypeMismatch);
    EXPECT_EQ(PasswordCtrl_GetAttribute(panel, 77, ATTR_PASSWORD_VAL, &text), UIE_InvalidControl);
}

TEST(Digest, Sha256HexMatchesTheStandardVectors) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

} // namespace
