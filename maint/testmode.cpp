#include "maint/testmode.h"

#include "app/groups.h"
#include "app/panels.h"

#include <vector>

namespace {
// The test panel's groups; they fill as its commands arrive.
const std::vector<int> kLinkGroup = {};
const std::vector<int> kTestGroup = {};
} // namespace

void set_test_panel_controls(int a, int b) {
    SetGroupState(panelTEST, kLinkGroup, a);
    SetGroupState(panelTEST, kTestGroup, b);
}
