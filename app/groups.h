// Switching a group of controls together: -1 hide, 0 show dimmed, 1 show
// enabled, any other value leaves the group as it is.
#pragma once

#include <vector>

void SetGroupState(int panel, const std::vector<int> &controls, int state);
