// Which panel-selector toggles the operator may see.
#pragma once

constexpr int kSelectorCount = 11;
// One flag per toggle of panelSelector; 1 hides the toggle.
extern int panelSelectorState[kSelectorCount];
