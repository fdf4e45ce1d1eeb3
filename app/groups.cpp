#include "app/groups.h"

#include "ui/engine/engine.h"

void SetGroupState(int panel, const std::vector<int> &controls, int state) {
    if (state < -1 || state > 1) return;
    for (int id : controls) {
        SetCtrlAttribute(panel, id, ATTR_VISIBLE, state == -1 ? 0 : 1);
        if (state != -1) SetCtrlAttribute(panel, id, ATTR_DIMMED, state == 0 ? 1 : 0);
    }
}
