// The engine over Qt: panel loading and binding, operator-only callbacks,
// control values and attributes, waiting without spinning, files.
#include "ui/engine/engine.h"
#include "ui/engine/scripted_popups.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Hit {
    int panel, control, event;
};
std::vector<Hit> g_hits;

int Record(int panel, int control, int event, void *, int, int) {
    g_hits.push_back({panel, control, event});
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
 </widget>
 <customwidgets>
  <customwidget><class>QvLed</class><extends>QWidget</extends><header>ui/engine/widgets.h</header></customwidget>
 </customwidgets>
</ui>
)";

class EngineTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::string savedResourceDir;
    int panel = 0;

    void SetUp() override {
        static const CallbackEntry table[] = {{"T_PANEL", Record}, {"T_CTRL", Record}};
        RegisterCallbacks(table);
        savedResourceDir = GetPanelResourceDir();
        std::ofstream(dir.filePath("Test.ui").toStdString()) << kTestUi;
        SetPanelResourceDir(dir.path().toStdString());
        panel = LoadPanel(0, "Test.ui", 1);
        ASSERT_GT(panel, 0);
        g_hits.clear();
    }
    void TearDown() override {
        DiscardPanel(panel);
        SetPanelResourceDir(savedResourceDir);
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
    popups.fileAnswers = {"/tmp/x.csv"};
    EXPECT_EQ(FileSelectPopup("", "*.csv", "", "Pick", VAL_OK_BUTTON, 0, 0, 1, 0, &path), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(path, "/tmp/x.csv");
    ASSERT_EQ(popups.shown.size(), 5u);
    EXPECT_EQ(popups.lastMessage("ERROR!"), "text one");
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
    EXPECT_EQ(size, 6 + 5 + 6 + 11);
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
