#include "params/presets.h"

#include "core/panels.h"
#include "core/status.h"
#include "params/binding.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/outputs_ids.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

PresetHooks presetHooks;

namespace {

// Presets 2 to 7: the minimum lies `offset` from the reference, the maximum
// `span` from the (unrounded) minimum; a negative span falls.
struct CentredPreset {
    double offset, span;
};
constexpr CentredPreset kCentred[] = {
    {-2048.0, 4095.0}, {-1024.0, 2047.0}, {-512.0, 1023.0}, // 2 to 4: rising
    {2048.0, -4095.0}, {1024.0, -2047.0}, {512.0, -1023.0}, // 5 to 7: falling
};

short toLimit(double value) {
    return static_cast<short>(std::clamp(std::trunc(value), -32768.0, 32767.0));
}

double signedField(unsigned int field) {
    return static_cast<std::int32_t>(field);
}

enum class Choice { Limits, NoPreset, NotApplicable };

// The preset the analog output panel asks for, from the evaluation in param.
// The callbacks read the panels into param first, so a reference just typed
// on an evaluation panel counts and the graph's lines agree with it.
Choice chosenPreset(PresetLimits *limits) {
    short source = 0;
    int preset = 0;
    GetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, &source);
    GetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_PRESET, &preset);
    if (source != ANA_SOURCE_EVAL1 && source != ANA_SOURCE_EVAL2) return Choice::NotApplicable;
    const int e = source - ANA_SOURCE_EVAL1;
    const bool known = ComputePreset(preset, GetField32(param, PW_EVAL_REFERENCE[e]),
                                     GetField32(param, PW_EVAL_UPPER_TOL[e]),
                                     GetField32(param, PW_EVAL_LOWER_TOL[e]), limits);
    return known ? Choice::Limits : Choice::NoPreset;
}

void redraw() {
    if (presetHooks.redrawCharacteristic) presetHooks.redrawCharacteristic();
}

} // namespace

bool ComputePreset(int preset, unsigned int reference, unsigned int upperTol, unsigned int lowerTol,
                   PresetLimits *limits) {
    const double R = signedField(reference), U = signedField(upperTol), L = signedField(lowerTol);
    double minimum = 0.0, maximum = 0.0;
    if (preset == 1) {
        minimum = std::max((R - L) / 65536.0, 0.0);
        maximum = std::min((R + U) / 65536.0, 4095.0);
    } else if (preset >= 2 && preset <= PRESET_COUNT) {
        const CentredPreset &p = kCentred[preset - 2];
        minimum = R / 65536.0 + p.offset;
        maximum = minimum + p.span;
    } else {
        return false;
    }
    limits->minimum = toLimit(minimum);
    limits->maximum = toLimit(maximum);
    return true;
}

int CC_RNG_PRESET(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    GetPanelValues(param);
    redraw();
    PresetLimits limits{};
    switch (chosenPreset(&limits)) {
    case Choice::Limits:
        if (presetHooks.previewCharacteristic) presetHooks.previewCharacteristic(limits.minimum, limits.maximum);
        break;
    case Choice::NotApplicable: SetStatus("Not applicable."); break;
    case Choice::NoPreset: break;
    }
    return 0;
}

int CC_CMD_SETPRESET(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    GetPanelValues(param);
    PresetLimits limits{};
    switch (chosenPreset(&limits)) {
    case Choice::Limits:
        SetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MIN, static_cast<int>(limits.minimum));
        SetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MAX, static_cast<int>(limits.maximum));
        break;
    case Choice::NotApplicable: SetStatus("Not applicable."); break;
    case Choice::NoPreset: break;
    }
    redraw();
    return 0;
}

void RegisterPresetCallbacks() {
    static const CallbackEntry callbacks[] = {
        {"CC_RNG_PRESET", CC_RNG_PRESET},
        {"CC_CMD_SETPRESET", CC_CMD_SETPRESET},
    };
    RegisterCallbacks(callbacks);
}
