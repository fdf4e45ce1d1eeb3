// The branding header: what start-up paints, what each kind of table row
// adds, and what the header looks like. Canvas drawing itself is covered by
// the engine tests.
#include "tests/fixtures/program.h"

#include "maint/branding.h"
#include "ui/panels/main_ids.h"

#include <QImage>
#include <QLabel>
#include <QWidget>

#include <cstdlib>
#include <map>
#include <set>

namespace {

const int kBlue = MakeColor(0, 128, 255);

struct Line {
    int id, left, top, points, bold, background, text;
};

class BrandingTest : public ProgramTest {
  protected:
    std::set<QLabel *> initial; // the labels before the test
    std::set<QLabel *> before;  // the labels before the ShowLogo call under test

    void SetUp() override {
        ProgramTest::SetUp();
        initial = before = labels();
    }
    // Each row's lines stay for good; the start-up header returns for the next test.
    void TearDown() override {
        ShowLogo(kOwnBranding);
        for (QLabel *l : labels())
            if (!initial.count(l)) delete l;
        ProgramTest::TearDown();
    }
    static QWidget *mainWidget() { return static_cast<QWidget *>(GetPanelWidget(panelMAIN)); }
    static std::set<QLabel *> labels() {
        const QList<QLabel *> all = mainWidget()->findChildren<QLabel *>();
        return {all.begin(), all.end()};
    }
    // The text messages a ShowLogo call added, by text.
    std::map<std::string, Line> added() const {
        std::map<std::string, Line> lines;
        for (QLabel *l : labels()) {
            if (before.count(l)) continue;
            Line d{l->property("ctrlId").toInt(), 0, 0, 0, 0, 0, 0};
            GetCtrlAttribute(panelMAIN, d.id, ATTR_LEFT, &d.left);
            GetCtrlAttribute(panelMAIN, d.id, ATTR_TOP, &d.top);
            GetCtrlAttribute(panelMAIN, d.id, ATTR_TEXT_POINT_SIZE, &d.points);
            GetCtrlAttribute(panelMAIN, d.id, ATTR_TEXT_BOLD, &d.bold);
            GetCtrlAttribute(panelMAIN, d.id, ATTR_TEXT_BGCOLOR, &d.background);
            GetCtrlAttribute(panelMAIN, d.id, ATTR_TEXT_COLOR, &d.text);
            int kind = 0;
            GetCtrlAttribute(panelMAIN, d.id, ATTR_CTRL_KIND, &kind);
            EXPECT_EQ(kind, CTRL_KIND_TEXTMSG);
            lines[l->text().toStdString()] = d;
        }
        return lines;
    }
    static int attr(int id, int attribute) {
        int v = -1;
        GetCtrlAttribute(panelMAIN, id, attribute, &v);
        return v;
    }
    // Everything a branding row may change, for comparing before and after.
    static std::vector<int> headerState() {
        return {static_cast<int>(labels().size()), attr(MAIN_HEADER, ATTR_FRAME_COLOR),
                attr(MAIN_LOGO, ATTR_VISIBLE),      attr(MAIN_LOGO, ATTR_LEFT),
                attr(MAIN_LOGO, ATTR_TOP),          attr(MAIN_PICTURE, ATTR_VISIBLE)};
    }
};

TEST_F(BrandingTest, StartUpPaintsTheOwnBrandingOnABlueBanner) {
    EXPECT_EQ(attr(MAIN_HEADER, ATTR_FRAME_COLOR), kBlue);
    EXPECT_EQ(attr(MAIN_LOGO, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(MAIN_LOGO, ATTR_LEFT), 320);
    EXPECT_EQ(attr(MAIN_LOGO, ATTR_TOP), 7);
    EXPECT_EQ(attr(MAIN_PICTURE, ATTR_VISIBLE), 0);

    // The same row once more shows where start-up put each line.
    ShowLogo(2);
    const auto lines = added();
    ASSERT_EQ(lines.size(), 5u) << "three supplier lines, name and version";
    const std::map<std::string, std::vector<int>> expected = {
        {"Q-VEX Scope Project", {15, 7, 11}},     {"Tel. +00 000 0000000", {15, 22, 11}},
        {"www.qvex-scope.example", {15, 37, 11}}, {"Q-VEX-MOD7-ARC Scope ", {320, 32, 0}},
        {"v1.0x (Build 01/2010)", {520, 36, 11}},
    };
    for (const auto &kv : expected) {
        ASSERT_TRUE(lines.count(kv.first)) << kv.first;
        const Line &l = lines.at(kv.first);
        EXPECT_EQ(l.left, kv.second[0]) << kv.first;
        EXPECT_EQ(l.top, kv.second[1]) << kv.first;
        if (kv.second[2]) {
            EXPECT_EQ(l.points, kv.second[2]) << kv.first;
        }
        EXPECT_EQ(l.bold, 1);
        EXPECT_EQ(l.background, kBlue);
        EXPECT_EQ(l.text, MakeColor(255, 255, 255));
    }
    // The name is 16 points where the standard font lets it end before the
    // version, smaller where the font is wider.
    const Line &name = lines.at("Q-VEX-MOD7-ARC Scope ");
    int width = 0;
    GetCtrlAttribute(panelMAIN, name.id, ATTR_WIDTH, &width);
    EXPECT_LE(name.points, 16);
    EXPECT_GE(name.points, 12);
    EXPECT_LE(320 + width, 520);
}

TEST_F(BrandingTest, RowsZeroAndOneShowOnlyNameAndVersionWithoutALogo) {
    for (int row : {0, 1}) {
        before = labels();
        ShowLogo(row);
        const auto lines = added();
        EXPECT_EQ(lines.size(), 2u) << row;
        EXPECT_EQ(lines.at("Q-VEX-MOD7-ARC Scope ").left, 20);
        EXPECT_EQ(lines.at("v1.0x (Build 01/2010)").left, 220);
        EXPECT_EQ(lines.at("v1.0x (Build 01/2010)").top, 24);
        EXPECT_EQ(attr(MAIN_LOGO, ATTR_VISIBLE), 0) << row;
        // Row 0: grey on white; row 1: white on blue.
        EXPECT_EQ(attr(MAIN_HEADER, ATTR_FRAME_COLOR), row == 0 ? MakeColor(255, 255, 255) : kBlue);
        EXPECT_EQ(lines.at("Q-VEX-MOD7-ARC Scope ").text,
                  row == 0 ? MakeColor(128, 128, 128) : MakeColor(255, 255, 255));
    }
}

TEST_F(BrandingTest, EmptyAndUnknownRowsChangeNothing) {
    ShowLogo(1); // something that differs from the start-up header
    before = labels();
    const std::vector<int> state = headerState();
    for (int row : {5, 8, -1, 1000}) {
        ShowLogo(row);
        EXPECT_EQ(headerState(), state) << row;
    }
}

TEST_F(BrandingTest, SupplierBitmapRowsShowTheFileOrNoLogoWithoutIt) {
    std::remove(BrandingBitmapPath(4).c_str());
    ShowLogo(4);
    EXPECT_EQ(attr(MAIN_LOGO, ATTR_VISIBLE), 0) << "no bitmap delivered: no logo, no message";
    EXPECT_TRUE(popups->shown.empty());
    EXPECT_EQ(added().size(), 5u);

    QImage bitmap(88, 46, QImage::Format_RGB32);
    bitmap.fill(Qt::red);
    ASSERT_TRUE(bitmap.save(QString::fromStdString(BrandingBitmapPath(4))));
    ShowLogo(4);
    EXPECT_EQ(attr(MAIN_LOGO, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(MAIN_LOGO, ATTR_LEFT), 470);
    EXPECT_EQ(attr(MAIN_LOGO, ATTR_TOP), 7);
    std::remove(BrandingBitmapPath(4).c_str());
}

// The start-up header as the operator sees it. Writes the main panel to the
// file named by QVEX_HEADER_PNG when set.
TEST_F(BrandingTest, TheHeaderShowsTheLogoAndLinesOnTheBanner) {
    DisplayPanel(panelMAIN);
    const QImage img = mainWidget()->grab().toImage();
    auto isBlue = [](QColor c) { return c.red() < 20 && std::abs(c.green() - 128) < 20 && c.blue() > 235; };
    auto isWhite = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; };
    int blue = 0, whiteInLogo = 0, whiteInLines = 0;
    for (int y = 0; y < 58; ++y)
        for (int x = 0; x < 700; ++x) {
            const QColor c = img.pixelColor(x, y);
            if (isBlue(c)) ++blue;
            if (isWhite(c) && x >= 320 && x < 520 && y >= 7 && y < 31) ++whiteInLogo;
            if (isWhite(c) && x < 300) ++whiteInLines;
        }
    EXPECT_GT(blue, 700 * 58 / 2) << "the banner is blue";
    EXPECT_GT(whiteInLogo, 300) << "the logo is drawn in white";
    EXPECT_GT(whiteInLines, 300) << "the supplier lines are drawn";
    if (const char *path = std::getenv("QVEX_HEADER_PNG")) {
        EXPECT_TRUE(img.save(path));
    }
}

} // namespace
