// The parameter panels and the record: reading every bound control into a
// record, showing a record on the panels, and the callbacks that keep
// related controls consistent while the operator edits.
#pragma once

#include "params/record.h"

// What the layers above do when the panels change the record's picture: the
// measurement view redraws the analog output's characteristic. Filled at
// start-up; empty hooks do nothing.
struct BindingHooks {
    void (*recordShown)() = nullptr;
};
extern BindingHooks bindingHooks;

// Reads every bound control into rec. Words no control is bound to keep their
// values; words 61, 75 and 77 get their fixed values.
void GetPanelValues(unsigned short rec[PARAM_WORDS]);
// Shows rec on the panels and sets the all-conditions switches to the
// contradiction check of the groups shown.
void SetPanelValues(const unsigned short rec[PARAM_WORDS]);

// What the panels can hold for one field of the record, so that a value from
// elsewhere (a parameter file) is checked against the control that will show
// it. part picks a byte of a packed word, as the value stands in the control;
// 0xFFFF is the whole word.
struct PanelRange {
    double min = 0.0, max = 0.0; // the bound numeric control's range, in its own units
    unsigned bits = 0;           // a word shown by buttons: the bits they can set (min and max unused)
};
// False when no numeric control or buttons show that field.
bool PanelRangeOf(int word, unsigned short part, PanelRange *range);

int CC_FILTERMODES(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_NORMMODE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_TRIGGERMODES(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_SYNC(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_NUM_SCANRATE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_NORM_BASE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_SETTINGS_PARA(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RNG_ANA_OUTMODE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_OUTPUT_MODE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterParamsCallbacks();
