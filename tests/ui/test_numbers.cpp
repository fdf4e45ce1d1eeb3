// Reals in files, texts and command lines, and numbers in numeric controls,
// under an operator locale with a decimal comma; letter case under a Turkish
// one. The record and parameter files themselves are checked through
// qvex-ctl (tests/ctl).
#include "tests/fixtures/inline_panel.h"
#include "tests/fixtures/locale.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"

#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QLocale>
#include <QSpinBox>
#include <QTest>

#include <cfloat>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr char kNumbersUi[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Numbers</class>
 <widget class="QWidget" name="Numbers">
  <widget class="QWidget" name="p1">
   <property name="panel" stdset="0"><number>1</number></property>
   <widget class="QDoubleSpinBox" name="interval">
    <property name="decimals"><number>1</number></property>
    <property name="maximum"><double>100000.0</double></property>
    <property name="ctrlId" stdset="0"><number>2</number></property>
    <property name="callback" stdset="0"><string>N_CTRL</string></property>
   </widget>
   <widget class="QSpinBox" name="rows">
    <property name="maximum"><number>10000000</number></property>
    <property name="ctrlId" stdset="0"><number>3</number></property>
    <property name="callback" stdset="0"><string>N_CTRL</string></property>
   </widget>
  </widget>
 </widget>
</ui>
)";

std::string cFormat(const char *format, double v) {
    char buf[400];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// What an operator types into a numeric control, ended with Enter.
void typeInto(QAbstractSpinBox *box, const char *text) {
    box->setFocus();
    box->clear();
    QTest::keyClicks(box, QString::fromLatin1(text));
    QTest::keyClick(box, Qt::Key_Return);
}

TEST(EngineNumbers, RealsKeepAPointWhenTheLocaleIsChangedAgainAfterStartUp) {
    ASSERT_LOCALE_INSTALLED(kCommaLocale);
    const double values[] = {0.0, 0.5, -1241.787, 1e-7, 123456789.125, 65535.9999847, -0.0004, -DBL_MAX};
    std::vector<std::string> fixed3, fixed6, shortForm;
    for (double v : values) { // the "C" locale the program starts in
        fixed3.push_back(cFormat("%.3f", v));
        fixed6.push_back(cFormat("%f", v));
        shortForm.push_back(cFormat("%g", v));
    }
    const ProcessLocale comma(LC_NUMERIC, kCommaLocale);
    ASSERT_TRUE(comma.ok());
    ASSERT_EQ(cFormat("%.1f", 0.5), "0,5"); // the C library now writes a comma
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(FormatFixed(values[i], 3), fixed3[i]);
        EXPECT_EQ(FormatFixed(values[i], 6), fixed6[i]);
        EXPECT_EQ(FormatShort(values[i]), shortForm[i]);
    }

    double v = -1;
    const std::pair<const char *, double> good[] = {{"0.5", 0.5},       {"+2", 2.0},  {"-1.25e3", -1250.0},
                                                    {".5", 0.5},        {"7.", 7.0},  {"86400", 86400.0},
                                                    {"1E-3", 0.001}};
    for (const auto &[text, expected] : good) {
        EXPECT_TRUE(ParseDecimal(text, &v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
    v = -1;
    for (const char *bad : {"0,5", "0x10", "1,000.5", " 1", "1 ", "", "-", ".", "1e", "e5", "inf", "nan", "1.2.3",
                            "++1", "1e400"})
        EXPECT_FALSE(ParseDecimal(bad, &v)) << bad;
    EXPECT_EQ(v, -1);
}

TEST(EngineNumbers, NumericControlsShowAndTakeAPointUnderAGermanDesktop) {
    static const CallbackEntry table[] = {{"N_CTRL", RecordClick}};
    RegisterCallbacks(table);
    const QLocale desktop;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // as Qt takes it from LANG=de_DE.UTF-8
    InlinePanel resource;
    const int panel = resource.load("Numbers.ui", kNumbersUi);
    QLocale::setDefault(desktop);
    ASSERT_GT(panel, 0);
    auto *interval = static_cast<QDoubleSpinBox *>(GetCtrlWidget(panel, 2));
    auto *rows = static_cast<QSpinBox *>(GetCtrlWidget(panel, 3));
    DisplayPanel(panel);

    ASSERT_EQ(SetCtrlVal(panel, 2, 2.5), 0);
    ASSERT_EQ(SetCtrlVal(panel, 3, 1234567), 0);
    EXPECT_EQ(interval->text().toStdString(), "2.5");
    EXPECT_EQ(rows->text().toStdString(), "1234567");

    g_clicks.clear();
    typeInto(interval, "12.5");
    double typed = 0;
    GetCtrlVal(panel, 2, &typed);
    EXPECT_EQ(typed, 12.5);
    typeInto(rows, "2500");
    int count = 0;
    GetCtrlVal(panel, 3, &count);
    EXPECT_EQ(count, 2500);
    ASSERT_EQ(g_clicks.size(), 2u);
    EXPECT_EQ(g_clicks[0].control, 2);
    EXPECT_EQ(g_clicks[1].control, 3);

    // The keypad's decimal key of a German keyboard types a comma: never a
    // value ten times too large.
    typeInto(interval, "0,5");
    GetCtrlVal(panel, 2, &typed);
    EXPECT_EQ(typed, 0.5);
}

} // namespace

namespace {

// The C library's toupper leaves "i" as it is in Turkish, where its upper
// case is a dotted capital outside ASCII.
TEST(EngineText, UpperCaseIsTheSameUnderATurkishLocale) {
    ASSERT_LOCALE_INSTALLED(kTurkishLocale);
    const ProcessLocale turkish(LC_ALL, kTurkishLocale);
    ASSERT_TRUE(turkish.ok());
    char text[] = "s30d0000fffe baud limit";
    StringUpperCase(text);
    EXPECT_STREQ(text, "S30D0000FFFE BAUD LIMIT");
}

} // namespace
