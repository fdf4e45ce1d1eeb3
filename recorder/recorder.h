// The recorder panel as the measuring commands see it: its recording type
// and the switch for its control groups.
#pragma once

constexpr int REC_TYPE_MANUAL = 0;
constexpr int REC_TYPE_AUTOMATIC = 1;

// Switches the recorder panel's groups (-1 hide, 0 dimmed, 1 enabled, other
// values leave a group as it is): a = recording on/off, b = manual record,
// c = file choice, d = interval, e = automatic start.
void set_recorder_attributes(int a, int b, int c, int d, int e);
// The recording type the recorder panel is set to.
int GetRecordingType();
