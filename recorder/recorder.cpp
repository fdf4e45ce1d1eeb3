#include "recorder/recorder.h"

#include "app/groups.h"
#include "app/panels.h"

#include <vector>

namespace {
// The recorder panel's groups; they fill as its controls arrive.
const std::vector<int> kGroups[5] = {};
} // namespace

void set_recorder_attributes(int a, int b, int c, int d, int e) {
    const int states[5] = {a, b, c, d, e};
    for (int g = 0; g < 5; ++g) SetGroupState(panelRECORDER, kGroups[g], states[g]);
}

// The recorder panel carries no type selector yet: recording is manual.
int GetRecordingType() { return REC_TYPE_MANUAL; }
