// Presets of the analog output: limits placed around the reference of the
// evaluation that drives the output, or across its tolerance band. The
// preset ring previews them on the analog output graph; the set-preset
// button writes them into the minimum and maximum controls.
#pragma once

// Analog output sources whose value is an evaluation's.
constexpr int ANA_SOURCE_EVAL1 = 17;
constexpr int ANA_SOURCE_EVAL2 = 18;
constexpr int PRESET_COUNT = 7;

// The analog output graph lives in the measurement view; start-up fills
// these. Empty hooks draw nothing.
struct PresetHooks {
    void (*redrawCharacteristic)() = nullptr; // the characteristic of the panel's limits
    void (*previewCharacteristic)(short minimum, short maximum) = nullptr; // drawn over it
};
extern PresetHooks presetHooks;

struct PresetLimits {
    short minimum, maximum;
};

// The limits of preset 1 to 7 for an evaluation's reference, upper and lower
// tolerance (16.16 fields). Computed in double precision, then truncated
// toward zero; results beyond 16 bits stop at -32768 and 32767. False for
// any other preset.
bool ComputePreset(int preset, unsigned int reference, unsigned int upperTol, unsigned int lowerTol,
                   PresetLimits *limits);

int CC_RNG_PRESET(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_SETPRESET(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterPresetCallbacks();
