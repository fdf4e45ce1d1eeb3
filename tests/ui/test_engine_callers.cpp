// The engine's panel clicks and file dialog rules as the program's own panels
// and callers meet them; the rules themselves are in test_engine.cpp.
#include "tests/fixtures/program.h"

#include "params/parafile.h"
#include "params/record.h"
#include "ui/panels/main_ids.h"

#include <QCheckBox>
#include <QTest>

namespace {

class EngineCallersTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        DisplayPanel(panelMAIN);
    }
    void TearDown() override {
        RemovePopup(panelSHOW);
        SetCtrlVal(panelMAIN, MAIN_TOG_SHOW, 0);
        HidePanel(panelMAIN);
        ProgramTest::TearDown();
    }
    static bool shown(int panel) {
        int visible = -1;
        GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
        return visible == 1;
    }
    static int showToggle() {
        int on = -1;
        GetCtrlVal(panelMAIN, MAIN_TOG_SHOW, &on);
        return on;
    }
};

TEST_F(EngineCallersTest, RightClickOnTheTracePopupClosesItAndReleasesTheToggle) {
    OperateCtrl(panelMAIN, MAIN_TOG_SHOW, 1);
    ASSERT_TRUE(shown(panelSHOW));
    // Its lower right corner: the frame that backs the boxes, no box.
    auto *popup = static_cast<QWidget *>(GetPanelWidget(panelSHOW));
    const QPoint corner(popup->width() - 4, popup->height() - 4);
    QWidget *under = popup->childAt(corner);
    ASSERT_NE(under, nullptr);
    ASSERT_EQ(qobject_cast<QCheckBox *>(under), nullptr);
    const QPoint at = under->mapFrom(popup, corner);

    QTest::mouseClick(under, Qt::LeftButton, {}, at);
    EXPECT_TRUE(shown(panelSHOW)) << "a left click leaves it open";
    QTest::mouseClick(under, Qt::RightButton, {}, at);
    EXPECT_FALSE(shown(panelSHOW));
    EXPECT_EQ(showToggle(), 0);

    // On a check box, a right click closes it too and leaves the box as it was.
    OperateCtrl(panelMAIN, MAIN_TOG_SHOW, 1);
    ASSERT_TRUE(shown(panelSHOW));
    auto *box = static_cast<QCheckBox *>(GetCtrlWidget(panelSHOW, SHOW_EVAL1));
    const bool checked = box->isChecked();
    QTest::mouseClick(box, Qt::RightButton);
    EXPECT_FALSE(shown(panelSHOW));
    EXPECT_EQ(showToggle(), 0);
    EXPECT_EQ(box->isChecked(), checked);
}

TEST_F(EngineCallersTest, ParameterFileNamedWithoutExtensionIsWrittenAndReadAsIni) {
    const std::string typed = MakePathname(ProgramDir(), "params");
    std::remove((typed + ".ini").c_str());
    unsigned short rec[PARAM_WORDS] = {};
    popups->fileAnswers = {typed};
    ASSERT_EQ(SendParaToFile(rec), 1);
    long size = 0;
    EXPECT_EQ(GetFileInfo((typed + ".ini").c_str(), &size), 1);
    EXPECT_GT(size, 0);
    EXPECT_EQ(GetFileInfo(typed.c_str(), &size), 0);

    // Loading by the same bare name finds the same file.
    popups->fileAnswers = {typed};
    EXPECT_EQ(ReadParaFromFile(rec), 1);

    // Another extension is refused with a word, and nothing is written.
    popups->fileAnswers = {typed + ".txt"};
    EXPECT_EQ(SendParaToFile(rec), 0);
    EXPECT_EQ(GetFileInfo((typed + ".txt").c_str(), &size), 0);
    EXPECT_NE(popups->lastMessage(kParaFileDialogTitle).find(".ini"), std::string::npos);
}

} // namespace
