// Panel navigation: the main panel's selector toggles, the tab rows of the
// power, settings and outputs groups, the measurement view's size, which
// toggles the operator may see, and the expert panel's groups.
#pragma once

constexpr int kSelectorCount = 11;
// One flag per toggle of panelSelector; 1 hides the toggle.
extern int panelSelectorState[kSelectorCount];
// The ids of the selector toggles, in selector order.
extern int panelSelector[kSelectorCount];

// Main-panel selector toggles (panelSelector holds the first eleven ids).
constexpr int TOG_EXPERT = 45, TOG_MEASURE = 8, TOG_RECORDER = 12, TOG_INTENSITY = 13, TOG_POWER = 16,
              TOG_SETTINGS = 15, TOG_OUTPUTS = 17, TOG_VECTORS = 14, TOG_FILTER = 18, TOG_UPDATE = 20,
              TOG_TEST = 10, TOG_TEMPLATES = 19;

// Shows one sub-panel and hides all others; 0 hides them all.
void show_sub_panel(int panel);
// Group 0 switches the main toggles off; groups 1 (power, tabs 1-6),
// 2 (settings, tabs 0-5, 0 = templates) and 3 (outputs, tabs 1-4) also set
// the group's tab rows and main toggle.
void select_tab(int group, int tab);
// Sets which selector toggles are visible for the given level.
void panel_selector(const int ids[kSelectorCount], const int state[kSelectorCount], int level);
// Visibility of the expert panel's four groups: -1 hide, 0 dimmed, 1 enabled.
void expert_panel(int a, int b, int c, int d);
constexpr int kViewAlone = 540;  // measurement view without a panel beside it
constexpr int kViewBeside = 360; // with the recorder, intensity or vectors panel at its right
// Sizes the measurement view for a base width w (kViewAlone or kViewBeside).
void resize_measurement_view(int w);

int CC_TOGBT_PNL_SELECTOR(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_TOG_EXPERT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_NUM_NANOMETER(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_TAB_VECTORS(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_TEACHVECTOR(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterNavigationCallbacks();
