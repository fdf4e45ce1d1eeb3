#include "measure/navigation.h"

#include "core/groups.h"
#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "measure/data.h"
#include "measure/sampling.h"
#include "params/binding.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"
#include "ui/panels/vectors_ids.h"

#include <vector>

int panelSelectorState[kSelectorCount] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
int panelSelector[kSelectorCount];

namespace {

// The selector toggles that choose a sub-panel (the expert toggle is a mode
// switch and keeps its state).
const std::vector<int> kMainToggles = {TOG_UPDATE, TOG_TEST,    TOG_RECORDER, TOG_INTENSITY, TOG_POWER,    TOG_SETTINGS,
                                       TOG_OUTPUTS, TOG_FILTER, TOG_VECTORS,  TOG_MEASURE,   TOG_TEMPLATES};

constexpr int kReferenceWidth = 800;

// A group's panels in tab order, and per panel the id of each tab button.
struct TabGroup {
    std::vector<int *> panels;
    std::vector<std::vector<int>> tabIds; // [panel][tab]
    int mainToggle;
};

const TabGroup &powerGroup() {
    static const TabGroup g{
        {&panelPOWER, &panelPOWER_B, &panelPOWER_TMR0, &panelPOWER_TMR1, &panelPOWER_GEN, &panelPOWER_REC},
        {{POWER_TAB_CHA, POWER_TAB_CHB, POWER_TAB_TMR0, POWER_TAB_TMR1, POWER_TAB_GEN, POWER_TAB_REC},
         {POWER_B_TAB_CHA, POWER_B_TAB_CHB, POWER_B_TAB_TMR0, POWER_B_TAB_TMR1, POWER_B_TAB_GEN, POWER_B_TAB_REC},
         {POWER_TMR0_TAB_CHA, POWER_TMR0_TAB_CHB, POWER_TMR0_TAB_TMR0, POWER_TMR0_TAB_TMR1, POWER_TMR0_TAB_GEN, POWER_TMR0_TAB_REC},
         {POWER_TMR1_TAB_CHA, POWER_TMR1_TAB_CHB, POWER_TMR1_TAB_TMR0, POWER_TMR1_TAB_TMR1, POWER_TMR1_TAB_GEN, POWER_TMR1_TAB_REC},
         {POWER_GEN_TAB_CHA, POWER_GEN_TAB_CHB, POWER_GEN_TAB_TMR0, POWER_GEN_TAB_TMR1, POWER_GEN_TAB_GEN, POWER_GEN_TAB_REC},
         {POWER_REC_TAB_CHA, POWER_REC_TAB_CHB, POWER_REC_TAB_TMR0, POWER_REC_TAB_TMR1, POWER_REC_TAB_GEN, POWER_REC_TAB_REC}},
        TOG_POWER};
    return g;
}

// Settings tabs: index 0 is the templates panel, 1 to 5 the evaluations.
const TabGroup &settingsGroup() {
    static const TabGroup g{
        {&panelSETTINGS_A, &panelSETTINGS, &panelSETTINGS_2, &panelSETTINGS_3, &panelSETTINGS_4, &panelSETTINGS_5},
        {{SETTINGS_A_TAB_TEMPL, SETTINGS_A_TAB_EVAL1, SETTINGS_A_TAB_EVAL2, SETTINGS_A_TAB_EVAL3, SETTINGS_A_TAB_EVAL4, SETTINGS_A_TAB_EVAL5},
         {SETTINGS_TAB_TEMPL, SETTINGS_TAB_EVAL1, SETTINGS_TAB_EVAL2, SETTINGS_TAB_EVAL3, SETTINGS_TAB_EVAL4, SETTINGS_TAB_EVAL5},
         {SETTINGS_2_TAB_TEMPL, SETTINGS_2_TAB_EVAL1, SETTINGS_2_TAB_EVAL2, SETTINGS_2_TAB_EVAL3, SETTINGS_2_TAB_EVAL4, SETTINGS_2_TAB_EVAL5},
         {SETTINGS_3_TAB_TEMPL, SETTINGS_3_TAB_EVAL1, SETTINGS_3_TAB_EVAL2, SETTINGS_3_TAB_EVAL3, SETTINGS_3_TAB_EVAL4, SETTINGS_3_TAB_EVAL5},
         {SETTINGS_4_TAB_TEMPL, SETTINGS_4_TAB_EVAL1, SETTINGS_4_TAB_EVAL2, SETTINGS_4_TAB_EVAL3, SETTINGS_4_TAB_EVAL4, SETTINGS_4_TAB_EVAL5},
         {SETTINGS_5_TAB_TEMPL, SETTINGS_5_TAB_EVAL1, SETTINGS_5_TAB_EVAL2, SETTINGS_5_TAB_EVAL3, SETTINGS_5_TAB_EVAL4, SETTINGS_5_TAB_EVAL5}},
        TOG_SETTINGS};
    return g;
}

const TabGroup &outputsGroup() {
    static const TabGroup g{{&panelOUTPUT, &panelOUTPUT_1, &panelOUTPUT_2, &panelOUTPUT_ANA},
                            {{OUTPUT_TAB_OUT0, OUTPUT_TAB_OUT1, OUTPUT_TAB_OUT2, OUTPUT_TAB_ANALOG},
                             {OUTPUT_1_TAB_OUT0, OUTPUT_1_TAB_OUT1, OUTPUT_1_TAB_OUT2, OUTPUT_1_TAB_ANALOG},
                             {OUTPUT_2_TAB_OUT0, OUTPUT_2_TAB_OUT1, OUTPUT_2_TAB_OUT2, OUTPUT_2_TAB_ANALOG},
                             {OUTPUT_ANA_TAB_OUT0, OUTPUT_ANA_TAB_OUT1, OUTPUT_ANA_TAB_OUT2, OUTPUT_ANA_TAB_ANALOG}},
                            TOG_OUTPUTS};
    return g;
}

// Tab numbers as select_tab counts them: power and outputs from 1, settings from 0.
int firstTab(int group) { return group == 2 ? 0 : 1; }

const TabGroup *groupOf(int group) {
    switch (group) {
    case 1: return &powerGroup();
    case 2: return &settingsGroup();
    case 3: return &outputsGroup();
    default: return nullptr;
    }
}

std::vector<int> allSubPanels() {
    return {panelPOWER,      panelPOWER_B,    panelPOWER_TMR0, panelPOWER_TMR1, panelPOWER_GEN,  panelPOWER_REC,
            panelSETTINGS,   panelSETTINGS_2, panelSETTINGS_3, panelSETTINGS_4, panelSETTINGS_5, panelSETTINGS_A,
            panelOUTPUT,     panelOUTPUT_1,   panelOUTPUT_2,   panelOUTPUT_ANA, panelUPDATE,     panelTEST,
            panelRECORDER,   panelINTENSITY,  panelFILTER,     panelVECTORS,    panelBIGDATA};
}

void mainTogglesOff() {
    for (int id : kMainToggles) SetCtrlVal(panelMAIN, id, 0);
}

// A tab button on a group panel: which group and tab it stands for.
bool findTab(int panel, int control, int *group, int *tab) {
    for (int g = 1; g <= 3; ++g) {
        const TabGroup &tg = *groupOf(g);
        for (std::size_t p = 0; p < tg.panels.size(); ++p) {
            if (*tg.panels[p] != panel) continue;
            for (std::size_t t = 0; t < tg.tabIds[p].size(); ++t)
                if (tg.tabIds[p][t] == control) {
                    *group = g;
                    *tab = static_cast<int>(t) + firstTab(g);
                    return true;
                }
        }
    }
    return false;
}

int panelOfTab(int group, int tab) { return *groupOf(group)->panels[tab - firstTab(group)]; }

// Shows the sub-panel a main toggle stands for, with the toggle on.
void selectFromMain(int toggle, int panel, int viewWidth) {
    if (viewWidth) resize_measurement_view(viewWidth);
    mainTogglesOff();
    show_sub_panel(panel);
    SetCtrlVal(panelMAIN, toggle, 1);
}

} // namespace

void resize_measurement_view(int w) {
    int width = kReferenceWidth;
    GetPanelAttribute(panelMAIN, ATTR_WIDTH, &width);
    SetCtrlAttribute(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH, width * w / kReferenceWidth);
    SetCtrlAttribute(panelMAIN, MAIN_GRAPH, ATTR_WIDTH, width * (w + 20) / kReferenceWidth);
    SetCtrlAttribute(panelMAIN, MAIN_NUM_POINTS, ATTR_LEFT, width * (w + 85) / kReferenceWidth);
    SetCtrlAttribute(panelMAIN, MAIN_RNG_XSCALE, ATTR_LEFT, width * (w + 85) / kReferenceWidth);
}

void show_sub_panel(int panel) {
    if (panel) {
        DisplayPanel(panel);
        ShowMissedValues(panel);
    }
    for (int p : allSubPanels())
        if (p != panel) HidePanel(p);
    if (panel) SetActivePanel(panel);
}

void select_tab(int group, int tab) {
    if (group == 0) {
        mainTogglesOff();
        return;
    }
    const TabGroup *g = groupOf(group);
    if (!g || tab < firstTab(group) || tab >= firstTab(group) + static_cast<int>(g->panels.size())) return;
    mainTogglesOff();
    const int index = tab - firstTab(group);
    for (std::size_t p = 0; p < g->panels.size(); ++p) {
        for (int id : g->tabIds[p]) SetCtrlVal(*g->panels[p], id, 0);
        SetCtrlVal(*g->panels[p], g->tabIds[p][index], 1);
    }
    SetCtrlVal(panelMAIN, g->mainToggle, 1);
    SetActiveCtrl(*g->panels[index], g->tabIds[index][index]);
}

void panel_selector(const int ids[kSelectorCount], const int state[kSelectorCount], int level) {
    SetCtrlAttribute(panelMAIN, ids[0], ATTR_VISIBLE, level >= 0 && state[0] == 0 ? 1 : 0);
    SetCtrlAttribute(panelMAIN, ids[1], ATTR_VISIBLE, level > 0 && state[1] == 0 ? 1 : 0);
    SetCtrlAttribute(panelMAIN, TOG_TEMPLATES, ATTR_VISIBLE, level >= 2 && state[1] == 0 ? 1 : 0);
    for (int i = 2; i < kSelectorCount; ++i) {
        if (i == 7) continue; // the vectors toggle keeps its visibility
        SetCtrlAttribute(panelMAIN, ids[i], ATTR_VISIBLE, level >= i && state[i] == 0 ? 1 : 0);
    }
}

void expert_panel(int a, int b, int c, int d) {
    SetGroupState(panelEXPERT, {6, 7, 9, 10, 11}, a);
    // The password entry is shown and hidden with its group but never dimmed.
    if (a >= -1 && a <= 1) {
        SetCtrlAttribute(panelEXPERT, EXPERT_PASSWORD, ATTR_VISIBLE, a == -1 ? 0 : 1);
        SetCtrlAttribute(panelEXPERT, EXPERT_PASSWORD, ATTR_DIMMED, 0);
    }
    SetGroupState(panelEXPERT, {17, 18, 19, 20, 21}, b);
    if (b >= -1 && b <= 1) SetCtrlAttribute(panelEXPERT, EXPERT_FRAME_HIDE, ATTR_VISIBLE, b == -1 ? 0 : 1);
    SetGroupState(panelEXPERT, {15, 16}, c);
    SetGroupState(panelEXPERT, {12, 13, 14}, d);
}

int CC_TOGBT_PNL_SELECTOR(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (panel != panelMAIN) {
        int group = 0, tab = 0;
        if (findTab(panel, control, &group, &tab)) {
            select_tab(group, tab);
            show_sub_panel(panelOfTab(group, tab));
        }
        return 0;
    }
    switch (control) {
    case TOG_MEASURE:
        resize_measurement_view(kViewAlone);
        mainTogglesOff();
        show_sub_panel(panelMAIN);
        SetCtrlVal(panelMAIN, TOG_MEASURE, 1);
        break;
    case TOG_TEST: selectFromMain(control, panelTEST, 0); break;
    case TOG_RECORDER: selectFromMain(control, panelRECORDER, kViewBeside); break;
    case TOG_INTENSITY: selectFromMain(control, panelINTENSITY, kViewBeside); break;
    case TOG_VECTORS: selectFromMain(control, panelVECTORS, kViewBeside); break;
    case TOG_SETTINGS:
        select_tab(2, 1);
        show_sub_panel(panelSETTINGS);
        SetCtrlVal(panelMAIN, control, 1);
        break;
    case TOG_POWER:
        select_tab(1, 1);
        show_sub_panel(panelPOWER);
        SetCtrlVal(panelMAIN, control, 1);
        break;
    case TOG_OUTPUTS:
        select_tab(3, 1);
        show_sub_panel(panelOUTPUT);
        SetCtrlVal(panelMAIN, control, 1);
        break;
    case TOG_FILTER: selectFromMain(control, panelFILTER, 0); break;
    case TOG_TEMPLATES: selectFromMain(control, panelSETTINGS_A, 0); break;
    case TOG_UPDATE:
        DisplayPanel(panelUPDATE);
        SetActivePanel(panelUPDATE);
        selectFromMain(control, panelUPDATE, 0);
        break;
    default: break;
    }
    return 0;
}

int CC_TOG_EXPERT(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    show_sub_panel(0);
    int width = kReferenceWidth;
    GetPanelAttribute(panelMAIN, ATTR_WIDTH, &width);
    SetCtrlAttribute(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH, width * 540 / kReferenceWidth);
    SetCtrlAttribute(panelMAIN, MAIN_GRAPH, ATTR_WIDTH, width * 560 / kReferenceWidth);
    SetCtrlAttribute(panelMAIN, MAIN_NUM_POINTS, ATTR_LEFT, width * 625 / kReferenceWidth);
    SetCtrlAttribute(panelMAIN, MAIN_RNG_XSCALE, ATTR_LEFT, width * 625 / kReferenceWidth);
    SetCtrlVal(panelMAIN, TOG_MEASURE, 1);

    int on = 0;
    GetCtrlVal(panelMAIN, TOG_EXPERT, &on);
    const int others[] = {TOG_UPDATE, TOG_TEST, TOG_RECORDER, TOG_INTENSITY, TOG_POWER,
                          TOG_SETTINGS, TOG_OUTPUTS, TOG_FILTER, TOG_VECTORS};
    if (on) {
        for (int id : others) SetCtrlVal(panelMAIN, id, 0);
        SetCtrlVal(panelMAIN, TOG_MEASURE, 0);
        SetCtrlVal(panelMAIN, TOG_TEMPLATES, 0);
        panelSelectorState[0] = 0;
        for (int i = 1; i < kSelectorCount; ++i) panelSelectorState[i] = 1;
        for (int id : {EXPERT_PASSWORD, EXPERT_NEW_PASSWORD, EXPERT_CONFIRM_PASSWORD}) SetCtrlVal(panelEXPERT, id, "");
        DisplayPanel(panelEXPERT);
        SetActivePanel(panelEXPERT);
        SetActiveCtrl(panelEXPERT, EXPERT_PASSWORD);
    } else {
        int locked = 0;
        GetCtrlVal(panelEXPERT, EXPERT_HIDE_SENDGET, &locked);
        send_get_status = locked ? 0 : 1;
        const int hideBoxes[] = {EXPERT_HIDE_RECORDER, EXPERT_HIDE_INTENSITY, EXPERT_HIDE_POWER,
                                 EXPERT_HIDE_SETTINGS, EXPERT_HIDE_OUTPUTS,   EXPERT_HIDE_VECTORS};
        panelSelectorState[0] = panelSelectorState[1] = 0;
        for (int i = 0; i < 6; ++i) GetCtrlVal(panelEXPERT, hideBoxes[i], &panelSelectorState[2 + i]);
        panelSelectorState[8] = panelSelectorState[9] = panelSelectorState[10] = 1;
        for (int id : others) SetCtrlVal(panelMAIN, id, 0);
        SetCtrlVal(panelMAIN, TOG_TEMPLATES, 0);
        SetCtrlVal(panelMAIN, TOG_MEASURE, 1);
        HidePanel(panelEXPERT);
    }
    panel_selector(panelSelector, panelSelectorState, 11);
    expert_panel(0, -1, -1, -1);
    if (!MainCommandsHeld()) set_main_buttons(-2, -2, send_get_status);
    return 0;
}

int CC_NUM_NANOMETER(int, int, int event, void *, int, int) {
    if (event != EVENT_LEFT_DOUBLE_CLICK) return 0;
    for (int id : {TOG_MEASURE, TOG_UPDATE, TOG_TEST, TOG_RECORDER, TOG_INTENSITY, TOG_POWER, TOG_SETTINGS,
                   TOG_FILTER, TOG_VECTORS})
        SetCtrlVal(panelMAIN, id, 0);
    show_sub_panel(panelBIGDATA);
    return 0;
}

namespace {
// Selects the whole row of the table's active cell and makes the table the
// active control; returns the selection.
Rect selectActiveRow() {
    int row = 0, column = 0;
    GetActiveTableCell(panelVECTORS, VECTORS_TABLE, &row, &column);
    if (row >= 1) SetTableSelection(panelVECTORS, VECTORS_TABLE, MakeRect(row, 1, 1, 2));
    SetActiveCtrl(panelVECTORS, VECTORS_TABLE);
    Rect selection{};
    GetTableSelection(panelVECTORS, VECTORS_TABLE, &selection);
    return selection;
}
} // namespace

int CC_TAB_VECTORS(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) selectActiveRow();
    return 0;
}

int CC_CMD_TEACHVECTOR(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const Rect selection = selectActiveRow();
    if (selection.height <= 0 || selection.width <= 0) return 0;
    GetPanelValues(param);
    int advance = 0;
    GetCtrlVal(panelVECTORS, VECTORS_AUTO_ADVANCE, &advance);
    if (selection.height == 1 && advance) {
        const int next = selection.top % kVectorRows + 1; // row 7 is followed by row 1
        SetActiveTableCell(panelVECTORS, VECTORS_TABLE, next, 1);
        SetTableSelection(panelVECTORS, VECTORS_TABLE, MakeRect(next, 1, 1, 2));
    }
    return 0;
}

void RegisterNavigationCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_TOGBT_PNL_SELECTOR", CC_TOGBT_PNL_SELECTOR}, {"CC_TOG_EXPERT", CC_TOG_EXPERT},
        {"CC_NUM_NANOMETER", CC_NUM_NANOMETER},           {"CC_TAB_VECTORS", CC_TAB_VECTORS},
        {"CC_CMD_TEACHVECTOR", CC_CMD_TEACHVECTOR},
    };
    RegisterCallbacks(table);
}
