#include "measure/navigation.h"

int panelSelectorState[kSelectorCount] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
