// Panel navigation as the operator uses it: selector toggles, tab rows, the
// measurement view's size, hidden toggles, expert mode and the vectors table.
#include "tests/fixtures/program.h"

#include "measure/navigation.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/vectors_ids.h"

#include <map>

namespace {

class NavigationTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        SetPanelAttribute(panelMAIN, ATTR_WIDTH, 800);
        const int all[kSelectorCount] = {};
        panel_selector(panelSelector, all, 11);
    }
    std::vector<int> subPanels() {
        return {panelPOWER,    panelPOWER_B,    panelPOWER_TMR0, panelPOWER_TMR1, panelPOWER_GEN,
                panelPOWER_REC, panelSETTINGS,  panelSETTINGS_2, panelSETTINGS_3, panelSETTINGS_4,
                panelSETTINGS_5, panelSETTINGS_A, panelOUTPUT,   panelOUTPUT_1,   panelOUTPUT_2,
                panelOUTPUT_ANA, panelUPDATE,   panelTEST,       panelRECORDER,   panelINTENSITY,
                panelFILTER,   panelVECTORS,    panelBIGDATA};
    }
    std::vector<int> visibleSubPanels() {
        std::vector<int> v;
        for (int p : subPanels()) {
            int on = 0;
            GetPanelAttribute(p, ATTR_VISIBLE, &on);
            if (on) v.push_back(p);
        }
        return v;
    }
    int val(int panel, int id) {
        int v = -1;
        GetCtrlVal(panel, id, &v);
        return v;
    }
    int attr(int panel, int id, int attribute) {
        int v = -1;
        GetCtrlAttribute(panel, id, attribute, &v);
        return v;
    }
};

TEST_F(NavigationTest, EveryToggleShowsExactlyItsPanel) {
    const std::map<int, int *> expected = {
        {TOG_TEST, &panelTEST},         {TOG_RECORDER, &panelRECORDER}, {TOG_INTENSITY, &panelINTENSITY},
        {TOG_VECTORS, &panelVECTORS},   {TOG_SETTINGS, &panelSETTINGS}, {TOG_POWER, &panelPOWER},
        {TOG_OUTPUTS, &panelOUTPUT},    {TOG_FILTER, &panelFILTER},     {TOG_TEMPLATES, &panelSETTINGS_A},
        {TOG_UPDATE, &panelUPDATE},
    };
    for (const auto &kv : expected) {
        OperateCtrl(panelMAIN, kv.first);
        EXPECT_EQ(visibleSubPanels(), std::vector<int>{*kv.second}) << "toggle " << kv.first;
        EXPECT_EQ(val(panelMAIN, kv.first), 1);
        for (const auto &other : expected)
            if (other.first != kv.first) {
                EXPECT_EQ(val(panelMAIN, other.first), 0) << other.first;
            }
    }
    OperateCtrl(panelMAIN, TOG_MEASURE);
    EXPECT_TRUE(visibleSubPanels().empty());
    EXPECT_EQ(val(panelMAIN, TOG_MEASURE), 1);
}

TEST_F(NavigationTest, EveryTabShowsItsPanelAndSetsTheRows) {
    struct Group {
        std::vector<int *> panels;
        std::vector<std::vector<int>> ids;
        int toggle;
    };
    const std::vector<int> s = {6, 5, 10, 9, 8, 4};
    const std::vector<Group> groups = {
        {{&panelPOWER, &panelPOWER_B, &panelPOWER_TMR0, &panelPOWER_TMR1, &panelPOWER_GEN, &panelPOWER_REC},
         {{10, 15, 13, 11, 12, 14},
          {10, 15, 13, 11, 12, 14},
          {10, 15, 13, 11, 12, 14},
          {10, 15, 13, 11, 12, 14},
          {11, 20, 16, 12, 13, 19},
          {3, 10, 8, 4, 5, 9}},
         TOG_POWER},
        {{&panelSETTINGS, &panelSETTINGS_2, &panelSETTINGS_3, &panelSETTINGS_4, &panelSETTINGS_5, &panelSETTINGS_A},
         {s, s, s, s, s, s},
         TOG_SETTINGS},
        {{&panelOUTPUT, &panelOUTPUT_1, &panelOUTPUT_2, &panelOUTPUT_ANA},
         {{6, 5, 8, 7}, {6, 5, 8, 7}, {5, 8, 7, 6}, {7, 6, 9, 8}},
         TOG_OUTPUTS},
    };
    for (const Group &g : groups) {
        for (std::size_t from = 0; from < g.panels.size(); ++from) {
            for (std::size_t tab = 0; tab < g.panels.size(); ++tab) {
                OperateCtrl(*g.panels[from], g.ids[from][tab]);
                ASSERT_EQ(visibleSubPanels(), std::vector<int>{*g.panels[tab]}) << "from " << from << " tab " << tab;
                EXPECT_EQ(val(panelMAIN, g.toggle), 1);
                for (std::size_t p = 0; p < g.panels.size(); ++p)
                    for (std::size_t t = 0; t < g.panels.size(); ++t)
                        EXPECT_EQ(val(*g.panels[p], g.ids[p][t]), t == tab ? 1 : 0);
            }
        }
    }
}

TEST_F(NavigationTest, PanelsBesideTheViewNarrowIt) {
    OperateCtrl(panelMAIN, TOG_RECORDER);
    EXPECT_EQ(attr(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH), 360);
    EXPECT_EQ(attr(panelMAIN, MAIN_GRAPH, ATTR_WIDTH), 380);
    EXPECT_EQ(attr(panelMAIN, MAIN_NUM_POINTS, ATTR_LEFT), 445);
    EXPECT_EQ(attr(panelMAIN, MAIN_RNG_XSCALE, ATTR_LEFT), 445);
    OperateCtrl(panelMAIN, TOG_POWER); // leaves the size alone
    EXPECT_EQ(attr(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH), 360);
    OperateCtrl(panelMAIN, TOG_MEASURE);
    EXPECT_EQ(attr(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH), 540);
    EXPECT_EQ(attr(panelMAIN, MAIN_GRAPH, ATTR_WIDTH), 560);
    EXPECT_EQ(attr(panelMAIN, MAIN_NUM_POINTS, ATTR_LEFT), 625);
}

TEST_F(NavigationTest, HiddenTogglesFollowStateAndLevel) {
    int state[kSelectorCount] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    for (int level : {0, 4, 8, 11}) {
        panel_selector(panelSelector, state, level);
        EXPECT_EQ(attr(panelMAIN, TOG_POWER, ATTR_VISIBLE), 0) << level;
    }
    SetCtrlAttribute(panelMAIN, TOG_VECTORS, ATTR_VISIBLE, 0);
    panel_selector(panelSelector, state, 8);
    EXPECT_EQ(attr(panelMAIN, TOG_UPDATE, ATTR_VISIBLE), 0);
    EXPECT_EQ(attr(panelMAIN, TOG_TEST, ATTR_VISIBLE), 0);
    EXPECT_EQ(attr(panelMAIN, TOG_FILTER, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(panelMAIN, TOG_TEMPLATES, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(panelMAIN, TOG_VECTORS, ATTR_VISIBLE), 0) << "the vectors toggle keeps its visibility";
    panel_selector(panelSelector, state, 11);
    EXPECT_EQ(attr(panelMAIN, TOG_TEST, ATTR_VISIBLE), 1);
}

TEST_F(NavigationTest, ExpertToggleLeavesOnlyItselfUntilLeft) {
    OperateCtrl(panelMAIN, TOG_POWER);
    SetCtrlVal(panelEXPERT, EXPERT_PASSWORD, "typed");
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_RECORDER, 1);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_VECTORS, 1);
    OperateCtrl(panelMAIN, TOG_EXPERT); // on
    EXPECT_TRUE(visibleSubPanels().empty());
    int v = 0;
    GetPanelAttribute(panelEXPERT, ATTR_VISIBLE, &v);
    EXPECT_EQ(v, 1);
    std::string pw;
    GetCtrlVal(panelEXPERT, EXPERT_PASSWORD, &pw);
    EXPECT_EQ(pw, "");
    EXPECT_EQ(attr(panelMAIN, TOG_EXPERT, ATTR_VISIBLE), 1);
    for (int id : {TOG_MEASURE, TOG_RECORDER, TOG_INTENSITY, TOG_POWER, TOG_SETTINGS, TOG_OUTPUTS, TOG_FILTER,
                   TOG_UPDATE, TOG_TEST, TOG_TEMPLATES})
        EXPECT_EQ(attr(panelMAIN, id, ATTR_VISIBLE), 0) << id;
    EXPECT_EQ(attr(panelEXPERT, EXPERT_HIDE_RECORDER, ATTR_VISIBLE), 0) << "group b closed";
    EXPECT_EQ(attr(panelEXPERT, EXPERT_PASSWORD, ATTR_DIMMED), 0);
    EXPECT_EQ(attr(panelEXPERT, EXPERT_CHANGE_PASSWORD, ATTR_DIMMED), 1);

    OperateCtrl(panelMAIN, TOG_EXPERT); // off: the hide boxes decide
    GetPanelAttribute(panelEXPERT, ATTR_VISIBLE, &v);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(panelSelectorState[2], 1);
    EXPECT_EQ(panelSelectorState[7], 1);
    EXPECT_EQ(attr(panelMAIN, TOG_RECORDER, ATTR_VISIBLE), 0);
    EXPECT_EQ(attr(panelMAIN, TOG_POWER, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(panelMAIN, TOG_FILTER, ATTR_VISIBLE), 0);
    EXPECT_EQ(val(panelMAIN, TOG_MEASURE), 1);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_RECORDER, 0);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_VECTORS, 0);
}

TEST_F(NavigationTest, DoubleClickOnTheValueShowsBigDigits) {
    OperateCtrl(panelMAIN, TOG_OUTPUTS);
    OperateCtrlEvent(panelMAIN, MAIN_NUM_EVAL1, EVENT_COMMIT); // a single commit does nothing
    EXPECT_EQ(visibleSubPanels(), std::vector<int>{panelOUTPUT});
    OperateCtrlEvent(panelMAIN, MAIN_NUM_EVAL1, EVENT_LEFT_DOUBLE_CLICK);
    EXPECT_EQ(visibleSubPanels(), std::vector<int>{panelBIGDATA});
    EXPECT_EQ(val(panelMAIN, TOG_OUTPUTS), 1) << "the outputs toggle keeps its state";
}

TEST_F(NavigationTest, VectorsTableSelectsRowsAndAdvancesAfterTeaching) {
    SetCtrlVal(panelVECTORS, VECTORS_AUTO_ADVANCE, 1);
    SetActiveTableCell(panelVECTORS, VECTORS_TABLE, 7, 2);
    OperateCtrlEvent(panelVECTORS, VECTORS_TABLE, EVENT_LEFT_CLICK);
    Rect r{};
    GetTableSelection(panelVECTORS, VECTORS_TABLE, &r);
    EXPECT_TRUE(RectEqual(r, MakeRect(7, 1, 1, 2)));
    OperateCtrl(panelVECTORS, VECTORS_TEACH);
    GetTableSelection(panelVECTORS, VECTORS_TABLE, &r);
    EXPECT_TRUE(RectEqual(r, MakeRect(1, 1, 1, 2))) << r.top;
    OperateCtrl(panelVECTORS, VECTORS_TEACH);
    GetTableSelection(panelVECTORS, VECTORS_TABLE, &r);
    EXPECT_EQ(r.top, 2);

    SetCtrlVal(panelVECTORS, VECTORS_AUTO_ADVANCE, 0);
    OperateCtrl(panelVECTORS, VECTORS_TEACH);
    GetTableSelection(panelVECTORS, VECTORS_TABLE, &r);
    EXPECT_EQ(r.top, 2);
}

} // namespace
