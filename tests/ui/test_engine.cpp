// The engine over Qt: panel loading and binding, operator-only callbacks,
// control values and attributes, waiting without spinning, files.
#include "tests/fixtures/inline_panel.h"
#include "ui/engine/engine.h"
#include "ui/engine/engine_p.h"
#include "ui/engine/scripted_popups.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Hit {
    int panel, control, event, data1, data2;
};
std::vector<Hit> g_hits;

int Record(int panel, int control, int event, void *, int data1, int data2) {
    g_hits.push_back({panel, control, event, data1, data2});
    return 0;
}

const char *kTestUi = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>container</class>
 <widget class="QWidget" name="container">
  <widget class="QWidget" name="p1">
   <property name="panel" stdset="0"><number>1</number></property>
   <property name="callback" stdset="0"><string>T_PANEL</string></property>
   <property name="geometry"><rect><x>0</x><y>0</y><width>400</width><height>300</height></rect></property>
   <widget class="QPushButton" name="cmd">
    <property name="geometry"><rect><x>10</x><y>10</y><width>80</width><height>25</height></rect></property>
    <property name="ctrlId" stdset="0"><number>2</number></property>
    <property name="callback" stdset="0"><string>T_CTRL</string></property>
   </widget>
   <widget class="QCheckBox" name="chk">
    <property name="ctrlId" stdset="0"><number>3</number></property>
    <property name="callback" stdset="0"><string>T_CTRL</string></property>
   </widget>
   <widget class="QSpinBox" name="num">
    <property name="maximum"><number>1000</number></property>
    <property name="ctrlId" stdset="0"><number>4</number></property>
    <property name="callback" stdset="0"><string>T_CTRL</string></property>
   </widget>
   <widget class="QComboBox" name="ring">
    <property name="itemValues" stdset="0"><string>10,20,40</string></property>
    <property name="ctrlId" stdset="0"><number>5</number></property>
    <property name="callback" stdset="0"><string>T_CTRL</string></property>
    <item><property name="text"><string>ten</string></property></item>
    <item><property name="text"><string>twenty</string></property></item>
    <item><property name="text"><string>forty</string></property></item>
   </widget>
   <widget class="QLineEdit" name="str">
    <property name="ctrlId" stdset="0"><number>6</number></property>
    <property name="callback" stdset="0"><string>T_CTRL</string></property>
   </widget>
   <widget class="QPlainTextEdit" name="box"><property name="ctrlId" stdset="0"><number>7</number></property></widget>
   <widget class="QComboBox" name="combo">
    <property name="editable"><bool>true</bool></property>
    <property name="ctrlId" stdset="0"><number>8</number></property>
   </widget>
   <widget class="QvLed" name="led"><property name="ctrlId" stdset="0"><number>9</number></property></widget>
   <widget class="QProgressBar" name="bar"><property name="ctrlId" stdset="0"><number>10</number></property></widget>
   <widget class="QDoubleSpinBox" name="dbl"><property name="ctrlId" stdset="0"><number>11</number></property></widget>
  </widget>
  <widget class="QWidget" name="p2">
   <property name="panel" stdset="0"><number>2</number></property>
   <widget class="QPushButton" name="bad">
    <property name="ctrlId" stdset="0"><number>2</number></property>
    <property name="callback" stdset="0"><string>NOBODY_REGISTERED_THIS</string></property>
   </widget>
  </widget>
  <widget class="QWidget" name="p3">
   <property name="panel" stdset="0"><number>3</number></property>
   <property name="callback" stdset="0"><string>T_PANEL</string></property>
   <property name="geometry"><rect><x>0</x><y>0</y><width>120</width><height>80</height></rect></property>
   <widget class="QLabel" name="caption">
    <property name="geometry"><rect><x>20</x><y>30</y><width>60</width><height>20</height></rect></property>
    <property name="text"><string>Traces</string></property>
   </widget>
  </widget>
 </widget>
 <customwidgets>
  <customwidget><class>QvLed</class><extends>QWidget</extends><header>ui/engine/widgets.h</header></customwidget>
 </customwidgets>
</ui>
)";

class EngineTest : public ::testing::Test {
  protected:
    InlinePanel resource;
    QTemporaryDir &dir = resource.dir;
    int panel = 0;

    void SetUp() override {
        static const CallbackEntry table[] = {{"T_PANEL", Record}, {"T_CTRL", Record}};
        RegisterCallbacks(table);
        panel = resource.load("Test.ui", kTestUi);
        ASSERT_GT(panel, 0);
        g_hits.clear();
    }
};

TEST_F(EngineTest, LoadFailuresNameTheFileAndTheCallback) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadPanel(0, "Test.ui", 2), UIE_UnknownCallback);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Test.ui"), std::string::npos) << err;
    EXPECT_NE(err.find("NOBODY_REGISTERED_THIS"), std::string::npos) << err;

    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadPanel(0, "Missing.ui", 1), UIE_FileNotFound);
    EXPECT_EQ(LoadPanel(0, "Test.ui", 9), UIE_BadResource);
    testing::internal::GetCapturedStderr();
}

TEST_F(EngineTest, ProgramChangesNeverFireCallbacksOperatorActionsDo) {
    EXPECT_EQ(SetCtrlVal(panel, 3, 1), 0);
    EXPECT_EQ(SetCtrlVal(panel, 4, 7), 0);
    EXPECT_EQ(SetCtrlVal(panel, 5, 20), 0);
    EXPECT_EQ(SetCtrlVal(panel, 6, "abc"), 0);
    ProcessSystemEvents();
    EXPECT_TRUE(g_hits.empty());

    EXPECT_EQ(OperateCtrl(panel, 4, 9), 0);
    ASSERT_EQ(g_hits.size(), 1u);
    EXPECT_EQ(g_hits[0].control, 4);
    EXPECT_EQ(g_hits[0].event, EVENT_COMMIT);

    // A real mouse click on the real widget takes the same path: the click
    // itself, then the commit it causes.
    DisplayPanel(panel);
    auto *cmd = static_cast<QPushButton *>(GetCtrlWidget(panel, 2));
    QTest::mouseClick(cmd, Qt::LeftButton);
    ASSERT_EQ(g_hits.size(), 3u);
    EXPECT_EQ(g_hits[1].control, 2);
    EXPECT_EQ(g_hits[1].event, EVENT_LEFT_CLICK);
    EXPECT_EQ(g_hits[2].event, EVENT_COMMIT);
    QTest::mouseDClick(static_cast<QWidget *>(GetCtrlWidget(panel, 4)), Qt::LeftButton);
    EXPECT_EQ(g_hits.back().event, EVENT_LEFT_DOUBLE_CLICK);
    g_hits.clear();

    // A dimmed control takes no operator action.
    SetCtrlAttribute(panel, 2, ATTR_DIMMED, 1);
    QTest::mouseClick(cmd, Qt::LeftButton);
    OperateCtrl(panel, 2);
    EXPECT_TRUE(g_hits.empty());

    // Closing the window is the panel's close event; the window stays.
    OperateClosePanel(panel);
    ASSERT_EQ(g_hits.size(), 1u);
    EXPECT_EQ(g_hits[0].control, 0);
    EXPECT_EQ(g_hits[0].event, EVENT_CLOSE);
}

TEST_F(EngineTest, ClicksOnAPanelReachItsCallbackWithTheirPosition) {
    DisplayPanel(panel);
    auto *pw = static_cast<QWidget *>(GetPanelWidget(panel));
    const QPoint bare(390, 290);
    ASSERT_EQ(pw->childAt(bare), nullptr);
    QTest::mouseClick(pw, Qt::RightButton, {}, bare);
    ASSERT_EQ(g_hits.size(), 1u);
    EXPECT_EQ(g_hits[0].panel, panel);
    EXPECT_EQ(g_hits[0].control, 0);
    EXPECT_EQ(g_hits[0].event, EVENT_RIGHT_CLICK);
    EXPECT_EQ(g_hits[0].data1, 290);
    EXPECT_EQ(g_hits[0].data2, 390);
    g_hits.clear();
    QTest::mouseDClick(pw, Qt::LeftButton, {}, bare);
    ASSERT_EQ(g_hits.size(), 1u);
    EXPECT_EQ(g_hits[0].control, 0);
    EXPECT_EQ(g_hits[0].event, EVENT_LEFT_DOUBLE_CLICK);
    g_hits.clear();

    // A click a control takes stays with the control; one it leaves (a right
    // click on a check box) goes on to the panel after the control's own.
    auto *chk = static_cast<QWidget *>(GetCtrlWidget(panel, 3));
    QTest::mouseClick(chk, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(g_hits.size(), 2u);
    EXPECT_EQ(g_hits[0].control, 3);
    EXPECT_EQ(g_hits[1].event, EVENT_COMMIT);
    g_hits.clear();
    QTest::mouseClick(chk, Qt::RightButton, {}, QPoint(5, 5));
    ASSERT_EQ(g_hits.size(), 2u);
    EXPECT_EQ(g_hits[0].control, 3);
    EXPECT_EQ(g_hits[1].control, 0);
    EXPECT_EQ(g_hits[1].event, EVENT_RIGHT_CLICK);
    EXPECT_EQ(g_hits[1].data1, chk->y() + 5);
    EXPECT_EQ(g_hits[1].data2, chk->x() + 5);
    g_hits.clear();

    // A click inside a sub-panel is the sub-panel's alone, with its own
    // coordinates, whatever it lands on.
    const int child = LoadPanel(panel, "Test.ui", 3);
    ASSERT_GT(child, 0);
    DisplayPanel(child);
    SetPanelPos(child, 100, 150);
    auto *caption = static_cast<QWidget *>(GetPanelWidget(child))->findChild<QWidget *>("caption");
    ASSERT_NE(caption, nullptr);
    QTest::mouseClick(caption, Qt::RightButton, {}, QPoint(4, 6));
    ASSERT_EQ(g_hits.size(), 1u);
    EXPECT_EQ(g_hits[0].panel, child);
    EXPECT_EQ(g_hits[0].event, EVENT_RIGHT_CLICK);
    EXPECT_EQ(g_hits[0].data1, 36);
    EXPECT_EQ(g_hits[0].data2, 24);
}

TEST_F(EngineTest, ValuesAreTypedAndMismatchesAreErrors) {
    int i = -1;
    double d = 0;
    std::string s;
    unsigned short us = 0;

    EXPECT_EQ(SetCtrlVal(panel, 5, 40), 0);
    EXPECT_EQ(GetCtrlVal(panel, 5, &us), 0);
    EXPECT_EQ(us, 40);
    EXPECT_EQ(SetCtrlVal(panel, 5, 30), UIE_ItemNotFound);
    int index = -1, value = 0, count = 0;
    EXPECT_EQ(GetIndexFromValue(panel, 5, &index, 20), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(GetValueFromIndex(panel, 5, 2, &value), 0);
    EXPECT_EQ(value, 40);
    EXPECT_EQ(GetNumListItems(panel, 5, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(GetLabelFromIndex(panel, 5, 0, &s), 0);
    EXPECT_EQ(s, "ten");

    EXPECT_EQ(SetCtrlVal(panel, 4, 1.5), UIE_TypeMismatch); // no silent rounding
    EXPECT_EQ(SetCtrlVal(panel, 4, 12.0), 0);
    EXPECT_EQ(GetCtrlVal(panel, 4, &i), 0);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(SetCtrlVal(panel, 4, "12"), UIE_TypeMismatch);
    EXPECT_EQ(GetCtrlVal(panel, 4, &s), UIE_TypeMismatch);
    EXPECT_EQ(SetCtrlVal(panel, 6, 3), UIE_TypeMismatch);
    EXPECT_EQ(SetCtrlVal(panel, 11, 2.25), 0);
    EXPECT_EQ(GetCtrlVal(panel, 11, &d), 0);
    EXPECT_DOUBLE_EQ(d, 2.25);
    EXPECT_EQ(GetCtrlVal(panel, 11, &i), UIE_TypeMismatch);

    SetCtrlVal(panel, 4, 1000);
    short sh = 0;
    EXPECT_EQ(GetCtrlVal(panel, 4, &sh), 0);
    EXPECT_EQ(sh, 1000);

    char small[4];
    SetCtrlVal(panel, 6, "abcdef");
    EXPECT_EQ(GetCtrlVal(panel, 6, small, sizeof small), 0);
    EXPECT_STREQ(small, "abc");

    EXPECT_EQ(SetCtrlVal(panel, 99, 1), UIE_InvalidControl);
    EXPECT_EQ(SetCtrlVal(999, 2, 1), UIE_InvalidPanel);
}

TEST_F(EngineTest, TextBoxComboPasswordAndIndicatorOperations) {
    int n = -1;
    std::string s;
    EXPECT_EQ(GetNumTextBoxLines(panel, 7, &n), 0);
    EXPECT_EQ(n, 0);
    SetCtrlVal(panel, 7, "first");
    SetCtrlVal(panel, 7, "second");
    EXPECT_EQ(GetNumTextBoxLines(panel, 7, &n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(GetTextBoxLine(panel, 7, 1, &s), 0);
    EXPECT_EQ(s, "second");
    EXPECT_EQ(GetTextBoxLine(panel, 7, 2, &s), UIE_IndexOutOfRange);
    ResetTextBox(panel, 7, "");
    GetNumTextBoxLines(panel, 7, &n);
    EXPECT_EQ(n, 0);

    // A box written to line by line keeps the newest lines only.
    for (int i = 0; i < 2 * engine::kTextBoxMaxLines; ++i) SetCtrlVal(panel, 7, "line " + std::to_string(i));
    GetNumTextBoxLines(panel, 7, &n);
    EXPECT_EQ(n, engine::kTextBoxMaxLines);
    GetTextBoxLine(panel, 7, 0, &s);
    EXPECT_EQ(s, "line " + std::to_string(engine::kTextBoxMaxLines));
    GetTextBoxLine(panel, 7, n - 1, &s);
    EXPECT_EQ(s, "line " + std::to_string(2 * engine::kTextBoxMaxLines - 1));
    ResetTextBox(panel, 7, "");

    // List operations keep the text in the field.
    SetCtrlVal(panel, 8, "typed");
    for (const char *t : {"a", "b", "c"}) Combo_InsertComboItem(panel, 8, -1, t);
    Combo_InsertComboItem(panel, 8, 0, "top");
    int index = 0;
    Combo_GetIndex(panel, 8, "b", &index);
    EXPECT_EQ(index, 2);
    Combo_GetIndex(panel, 8, "B", &index);
    EXPECT_EQ(index, -1);
    Combo_DeleteComboItem(panel, 8, 2, -1);
    Combo_GetNumItems(panel, 8, &n);
    EXPECT_EQ(n, 2);
    GetCtrlVal(panel, 8, &s);
    EXPECT_EQ(s, "typed");

    EXPECT_EQ(PasswordCtrl_ConvertFromString(panel, 6), 0);
    EXPECT_EQ(PasswordCtrl_SetAttribute(panel, 6, ATTR_PASSWORD_MAX_LENGTH, 20), 0);
    EXPECT_EQ(PasswordCtrl_SetAttribute(panel, 6, ATTR_PASSWORD_MASK_CHARACTER, '*'), 0);
    SetCtrlVal(panel, 6, std::string(25, 'x'));
    GetCtrlVal(panel, 6, &s);
    EXPECT_EQ(s.size(), 20u);
    EXPECT_EQ(PasswordCtrl_ConvertFromString(panel, 4), UIE_TypeMismatch);

    int v = 0;
    SetCtrlAttribute(panel, 9, ATTR_ON_COLOR, VAL_RED);
    GetCtrlAttribute(panel, 9, ATTR_ON_COLOR, &v);
    EXPECT_EQ(v, VAL_RED);
    SetCtrlAttribute(panel, 10, ATTR_MAX_VALUE, 12);
    SetCtrlVal(panel, 10, 6);
    GetCtrlAttribute(panel, 10, ATTR_MAX_VALUE, &v);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(SetCtrlAttribute(panel, 10, ATTR_FILL_COLOR, VAL_GREEN), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, 4, ATTR_FILL_COLOR, VAL_GREEN), UIE_InvalidAttribute);
    EXPECT_EQ(SetCtrlAttribute(panel, 2, ATTR_CMD_BUTTON_COLOR, VAL_RED), 0);
    GetCtrlAttribute(panel, 2, ATTR_CMD_BUTTON_COLOR, &v);
    EXPECT_EQ(v, VAL_RED);
    SetCtrlAttribute(panel, 2, ATTR_LEFT, 33);
    GetCtrlAttribute(panel, 2, ATTR_LEFT, &v);
    EXPECT_EQ(v, 33);
    SetCtrlAttribute(panel, 2, ATTR_LABEL_TEXT, std::string("GO"));
    GetCtrlAttribute(panel, 2, ATTR_LABEL_TEXT, &s);
    EXPECT_EQ(s, "GO");
}

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The percentage in the middle of a progress bar stays readable: on a dark
// fill it is drawn light, on the bar's light background dark, and split
// between the two where the fill ends under it.
TEST_F(EngineTest, AProgressBarsPercentageStandsOutFromWhatLiesBehindIt) {
    auto *bar = static_cast<QWidget *>(GetCtrlWidget(panel, 10));
    ASSERT_NE(bar, nullptr);
    bar->resize(200, 24);
    SetCtrlAttribute(panel, 10, ATTR_MIN_VALUE, 0);
    SetCtrlAttribute(panel, 10, ATTR_MAX_VALUE, 100);
    // The lightest and darkest pixels in the middle fifth, where the text is.
    auto extremes = [&] {
        const QImage img = bar->grab().toImage();
        int lightest = 0, darkest = 255;
        for (int x = img.width() * 2 / 5; x < img.width() * 3 / 5; ++x)
            for (int y = 4; y < img.height() - 4; ++y) {
                const int l = img.pixelColor(x, y).lightness();
                lightest = std::max(lightest, l);
                darkest = std::min(darkest, l);
            }
        return std::pair{lightest, darkest};
    };
    for (int fill : {VAL_DK_RED, VAL_BLUE, VAL_DK_GREEN}) {
        SetCtrlAttribute(panel, 10, ATTR_FILL_COLOR, fill);
        SetCtrlVal(panel, 10, 100);
        const int fillLightness = QColor::fromRgb(static_cast<QRgb>(fill)).lightness();
        EXPECT_GT(extremes().first, fillLightness + 100) << std::hex << fill;
        SetCtrlVal(panel, 10, 0);
        EXPECT_LT(extremes().second, 80) << std::hex << fill;
        // Half filled, the text is light on the fill and dark beside it.
        SetCtrlVal(panel, 10, 55);
        EXPECT_GT(extremes().first, fillLightness + 100) << std::hex << fill;
        EXPECT_LT(extremes().second, 80) << std::hex << fill;
    }
}

TEST(EngineWait, WaitingCostsAlmostNoCpuAndWakesOnEvents) {
    const double cpu0 = cpuSeconds();
    const double t0 = Timer();
    while (Timer() - t0 < 0.4) WaitForSystemEvents(0.5);
    const double used = cpuSeconds() - cpu0;
    EXPECT_LT(used, 0.05) << "an idle wait must not spin";

    // An event arriving wakes the wait at once, long before its deadline.
    bool fired = false;
    QTimer::singleShot(20, [&] { fired = true; });
    const double t1 = Timer();
    while (!fired && Timer() - t1 < 2.0) WaitForSystemEvents(1.0);
    EXPECT_TRUE(fired);
    EXPECT_LT(Timer() - t1, 0.5);
}

TEST(EngineLoop, QuitBeforeAndDuringTheEventLoop) {
    QuitUserInterface(7);
    EXPECT_EQ(RunUserInterface(), 7);
    QTimer::singleShot(10, [] { QuitUserInterface(3); });
    EXPECT_EQ(RunUserInterface(), 3);
}

TEST(EnginePopups, ScriptedResponderAnswersAndRecords) {
    ScriptedPopups popups;
    popups.confirmAnswers = {0};
    MessagePopup("ERROR!", "text one");
    EXPECT_EQ(ConfirmPopup("Q", "sure?"), 0);
    EXPECT_EQ(ConfirmPopup("Q", "again?"), 1);
    std::string path;
    EXPECT_EQ(FileSelectPopup("", "*.csv", "", "Pick", VAL_OK_BUTTON, 0, 0, 1, 0, &path), VAL_NO_FILE_SELECTED);
    QTemporaryDir dir;
    const std::string existing = MakePathname(dir.path().toStdString(), "x.csv");
    std::ofstream(existing) << "a";
    popups.fileAnswers = {existing, existing + ".new"};
    EXPECT_EQ(FileSelectPopup("", "*.csv", "", "Pick", VAL_OK_BUTTON, 0, 0, 1, 0, &path), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(path, existing);
    EXPECT_EQ(FileSelectPopup("", "*.csv", "", "Pick", VAL_OK_BUTTON, 0, 0, 1, 0, &path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, existing + ".new");
    ASSERT_EQ(popups.shown.size(), 6u);
    EXPECT_EQ(popups.lastMessage("ERROR!"), "text one");
}

// The rules hold for whatever the responder answers: here a script that
// answers with exactly the names an operator might type.
TEST(EnginePopups, ChosenNamesFollowTheExtensionAndDirectoryRules) {
    ScriptedPopups popups;
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString(), other = dir + "/other";
    QDir().mkpath(QString::fromStdString(other));
    std::ofstream(dir + "/Old.INI") << "[x]";
    std::string path;
    auto ask = [&](int restrictDirectory, int restrictExtension, const char *pattern = "*.ini") {
        path.clear();
        return FileSelectPopup(dir.c_str(), pattern, "*.ini", "Parameter File", VAL_SAVE_BUTTON, restrictDirectory,
                               restrictExtension, 1, 1, &path);
    };

    // No extension typed: the default one is added; the case of a typed one is free.
    popups.fileAnswers = {dir + "/params", "params", dir + "/trailing.", dir + "/Old.INI"};
    EXPECT_EQ(ask(0, 1), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/params.ini");
    EXPECT_EQ(ask(0, 1), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/params.ini") << "a bare name lies in the default directory";
    EXPECT_EQ(ask(0, 1), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/trailing.ini");
    EXPECT_EQ(ask(0, 1), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/Old.INI");

    // Another extension is refused with a word and asked again.
    popups.fileAnswers = {dir + "/params.txt", dir + "/params.v2.ini"};
    EXPECT_EQ(ask(0, 1), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/params.v2.ini");
    ASSERT_EQ(popups.fileRequests.size(), 6u);
    EXPECT_NE(popups.lastMessage("Parameter File").find("Only .ini files"), std::string::npos);
    EXPECT_EQ(popups.shown.back().kind, "file");
    popups.fileAnswers = {dir + "/params.txt"};
    EXPECT_EQ(ask(0, 1), VAL_NO_FILE_SELECTED) << "cancelled after the refusal";

    // Unrestricted, the name stays as typed; a default file name gives
    // the extension too.
    popups.fileAnswers = {dir + "/params", dir + "/record"};
    EXPECT_EQ(ask(0, 0), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/params");
    EXPECT_EQ(ask(0, 1, "record.csv"), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/record.csv");

    // A fixed directory takes files in it only.
    popups.fileAnswers = {other + "/x.ini", dir + "/x.ini"};
    EXPECT_EQ(ask(1, 0), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir + "/x.ini");
    EXPECT_NE(popups.shown[popups.shown.size() - 2].text.find("Only files in"), std::string::npos);

    // The responder is told every flag.
    FileSelectPopup("d", "*.S", "*.S;*.s19", "Load Firmware File", VAL_LOAD_BUTTON, 1, 1, 0, 0, &path);
    const FileSelectRequest &r = popups.fileRequests.back();
    EXPECT_EQ(r.defaultDirectory, "d");
    EXPECT_EQ(r.fileTypeList, "*.S;*.s19");
    EXPECT_EQ(r.buttonLabel, VAL_LOAD_BUTTON);
    EXPECT_EQ(r.restrictDirectory, 1);
    EXPECT_EQ(r.restrictExtension, 1);
    EXPECT_EQ(r.allowCancel, 0);
    EXPECT_EQ(r.allowMakeDirectory, 0);
    EXPECT_EQ(r.defaultExtension(), "S");
    FileSelectRequest any;
    any.defaultFile = "*.*";
    EXPECT_EQ(any.defaultExtension(), "");
}

// The interactive responder's own dialog, operated by typing into it.
class RealFileDialog : public ::testing::Test {
  protected:
    QTemporaryDir tmp;
    std::string dir = tmp.path().toStdString();
    std::string path;
    QObject guard; // owns the timers of one test

    bool inTmp(const std::string &p, const QString &name) const {
        const QFileInfo f(QString::fromStdString(p));
        return f.fileName() == name && QDir(f.path()) == QDir(tmp.path());
    }

    // Calls look(dialog) once the dialog is up; then the operator types
    // each of typed into the file name field and presses Enter.
    void operate(const std::function<void(QFileDialog *)> &look, const QStringList &typed) {
        // A warning the dialog raises over itself would wait for a person.
        auto *watchdog = new QTimer(&guard);
        QObject::connect(watchdog, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "the dialog warned: " << box->text().toStdString();
                box->reject();
            }
        });
        watchdog->start(50);
        auto *poll = new QTimer(&guard);
        poll->setInterval(10);
        const double t0 = Timer();
        QObject::connect(poll, &QTimer::timeout, [=] {
            auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!d) {
                if (Timer() - t0 > 10) poll->stop(); // never shown: the test fails below
                return;
            }
            poll->stop();
            look(d);
            auto *name = d->findChild<QLineEdit *>("fileNameEdit");
            for (const QString &t : typed) {
                if (!name || !d->isVisible()) break;
                name->clear();
                QTest::keyClicks(name, t);
                QTest::keyClick(name, Qt::Key_Return);
                QCoreApplication::processEvents();
            }
            if (d->isVisible()) {
                ADD_FAILURE() << "the dialog did not take " << typed.join(", ").toStdString();
                static_cast<QDialog *>(d)->done(QDialog::Rejected);
            }
        });
        poll->start();
    }
};

TEST_F(RealFileDialog, ParameterFileDialogAddsTheExtensionAndOffersNewFolders) {
    SetPopupResponder(nullptr);
    operate(
        [&](QFileDialog *d) {
            EXPECT_EQ(d->windowTitle(), "Q-VEX-MOD7-ARC Parameter File");
            EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(d->fileMode(), QFileDialog::AnyFile);
            EXPECT_EQ(d->nameFilters(), QStringList{"*.ini"});
            EXPECT_EQ(d->defaultSuffix(), "ini");
            EXPECT_EQ(QDir(d->directory()), QDir(tmp.path()));
            auto *newFolder = d->findChild<QWidget *>("newFolderButton");
            ASSERT_NE(newFolder, nullptr);
            EXPECT_TRUE(newFolder->isEnabled());
            auto *box = d->findChild<QDialogButtonBox *>();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->button(QDialogButtonBox::Save) ? 1 : 0, 1);
            EXPECT_FALSE(box->button(QDialogButtonBox::Cancel)->isHidden());
        },
        {"params"});
    EXPECT_EQ(FileSelectPopup(dir.c_str(), "*.ini", "*.ini", "Q-VEX-MOD7-ARC Parameter File", VAL_SAVE_BUTTON, 0, 1,
                              1, 1, &path),
              VAL_NEW_FILE_SELECTED);
    EXPECT_TRUE(inTmp(path, "params.ini")) << path;
}

TEST_F(RealFileDialog, FixedDirectoryNoCancelNoNewFolders) {
    SetPopupResponder(nullptr);
    std::ofstream(dir + "/fw.S") << "S0";
    QDir().mkpath(tmp.filePath("elsewhere"));
    operate(
        [&](QFileDialog *d) {
            EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
            EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
            EXPECT_EQ(d->nameFilters(), QStringList{"*.S"});
            EXPECT_FALSE(d->findChild<QWidget *>("newFolderButton")->isEnabled());
            auto *box = d->findChild<QDialogButtonBox *>();
            EXPECT_TRUE(box->button(QDialogButtonBox::Cancel)->isHidden());
            QTest::keyClick(d, Qt::Key_Escape);
            EXPECT_TRUE(d->isVisible()) << "no cancel";
        },
        {tmp.filePath("elsewhere"), "fw.S"});
    EXPECT_EQ(FileSelectPopup(dir.c_str(), "*.S", "*.S", "Load Firmware File", VAL_LOAD_BUTTON, 1, 1, 0, 0, &path),
              VAL_EXISTING_FILE_SELECTED);
    EXPECT_TRUE(inTmp(path, "fw.S")) << path;
}

TEST(EngineFiles, FormattedOutputWritesCrLfInAsciiFilesAndWholeOrNothing) {
    QTemporaryDir dir;
    const std::string path = MakePathname(dir.path().toStdString(), "fmt.csv");
    int h = OpenFile(path.c_str(), VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    EXPECT_EQ(FmtFile(h, "first,%i", -7), 8);
    EXPECT_EQ(FmtFile(h, "\n%s,%.3f,", "row", 1.5), 12);
    EXPECT_EQ(FmtFile(h, "\nown\r\n"), 7); // a CR LF given is not doubled
    EXPECT_EQ(SyncFile(h), 0);
    CloseFile(h);
    h = OpenFile(path.c_str(), VAL_WRITE_ONLY, VAL_APPEND, VAL_BINARY);
    EXPECT_EQ(FmtFile(h, "\nraw"), 4);
    CloseFile(h);
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "first,-7\r\nrow,1.500,\r\nown\r\n\nraw");

    // A write the file system cuts short leaves the file as it was.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = text.size() + 5;
    setrlimit(RLIMIT_FSIZE, &small);
    h = OpenFile(path.c_str(), VAL_WRITE_ONLY, VAL_APPEND, VAL_ASCII);
    const int written = FmtFile(h, "\n%s", "a line longer than the room left");
    const int code = GetFmtIOError();
    CloseFile(h);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(written, -1);
    EXPECT_EQ(code, 9);
    long size = 0;
    GetFileInfo(path.c_str(), &size);
    EXPECT_EQ(size, static_cast<long>(text.size()));
    EXPECT_EQ(FmtFile(h, "closed"), -1);
    EXPECT_EQ(GetFmtIOError(), 3);
}

TEST(EngineFiles, LinesErrorsAndTime) {
    QTemporaryDir dir;
    const std::string path = MakePathname(dir.path().toStdString(), "a.txt");
    EXPECT_EQ(OpenFile(MakePathname(dir.path().toStdString(), "no/such.txt").c_str(), VAL_READ_ONLY, 0, VAL_ASCII),
              -1);
    EXPECT_EQ(GetFmtIOError(), 1);

    int h = OpenFile(path.c_str(), VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    ASSERT_GT(h, 0);
    EXPECT_EQ(WriteLine(h, "alpha", -1), 5);
    EXPECT_EQ(WriteLine(h, "betagamma", 4), 4);
    EXPECT_EQ(WriteFile(h, "crlf\r\n", 6), 6);
    EXPECT_EQ(CloseFile(h), 0);
    h = OpenFile(path.c_str(), VAL_WRITE_ONLY, VAL_APPEND, VAL_ASCII);
    EXPECT_EQ(WriteLine(h, "0123456789", -1), 10);
    CloseFile(h);
    // An ASCII file gets CR LF from every writer; a binary one keeps LF.
    const std::string binary = MakePathname(dir.path().toStdString(), "b.bin");
    int hb = OpenFile(binary.c_str(), VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_BINARY);
    EXPECT_EQ(WriteLine(hb, "raw", -1), 3);
    CloseFile(hb);
    auto bytes = [](const std::string &file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(bytes(path), "alpha\r\nbeta\r\ncrlf\r\n0123456789\r\n");
    EXPECT_EQ(bytes(binary), "raw\n");

    h = OpenFile(path.c_str(), VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    char buf[16];
    EXPECT_EQ(ReadLine(h, buf, 15), 5);
    EXPECT_STREQ(buf, "alpha");
    EXPECT_EQ(ReadLine(h, buf, 15), 4);
    EXPECT_STREQ(buf, "beta");
    EXPECT_EQ(ReadLine(h, buf, 15), 4);
    EXPECT_STREQ(buf, "crlf");
    EXPECT_EQ(ReadLine(h, buf, 4), 4); // cut, rest of the line skipped
    EXPECT_STREQ(buf, "0123");
    EXPECT_EQ(ReadLine(h, buf, 15), -2);
    CloseFile(h);
    EXPECT_EQ(WriteLine(h, "closed", -1), -1);
    EXPECT_EQ(GetFmtIOError(), 3);

    long size = 0;
    EXPECT_EQ(GetFileInfo(path.c_str(), &size), 1);
    EXPECT_EQ(size, 7 + 6 + 6 + 12);
    EXPECT_EQ(GetFileInfo((path + ".none").c_str(), &size), 0);
    EXPECT_EQ(OpenFile(dir.path().toStdString().c_str(), VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII), -1);
    EXPECT_EQ(GetFmtIOError(), 6);

    // Only plain files open: a FIFO without its other end would block the
    // open for ever (here the test holds both ends, so nothing waits should
    // it open), and a device never ends.
    const std::string fifo = MakePathname(dir.path().toStdString(), "fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int ends = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    for (const std::string &special : {fifo, std::string("/dev/zero")})
        for (const int mode : {VAL_READ_ONLY, VAL_WRITE_ONLY}) {
            EXPECT_EQ(OpenFile(special.c_str(), mode, VAL_TRUNCATE, VAL_ASCII), -1) << special;
            EXPECT_EQ(GetFmtIOError(), 7) << special;
        }
    close(ends);

    const std::string date = DateStr(), time = TimeStr();
    EXPECT_EQ(date.size(), 10u);
    EXPECT_EQ(date[2], '-');
    EXPECT_EQ(date[5], '-');
    EXPECT_EQ(time.size(), 8u);
    EXPECT_EQ(time[2], ':');
    const double t0 = Timer();
    EXPECT_GE(Timer(), t0);
}

} // namespace
