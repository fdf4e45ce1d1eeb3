// Every field of the parameter record that a panel control shows or the
// parameter file names, described once: the word and its bits, the control
// that shows it, the file section and key that carry it, and how each of
// them holds the value. The panel binding, the parameter file (and with it
// the compare view and the commissioning report) read this table.
#pragma once

#include "params/record.h"

#include <cstddef>

// How a panel control holds its field.
enum class PanelHolds : unsigned char {
    None,        // no control shows the field
    Word,        // a number or ring holds the whole word
    Bit,         // a box or button sets or clears bit `shift`
    NotBit,      // shown as the inverse of bit `shift`; not read back (normalisation off)
    Clears,      // when set the word reads 0; shown set while the word is 0 (no filter)
    Part,        // a number or ring holds (word & mask) >> shift of a packed word
    Fixed,       // a real shows the 16.16 field in this word and the next
    PerScanRate, // shows word / scan rate; not read back (the interval factor)
    Combination, // a ring holds the whole combination word, shown from its low byte
    EventBoxes,  // two-word event mask: box `control` + edge index per offered event
    GroupBoxes,  // condition group: edge boxes from `control`, level boxes from
                 // `levelBoxes`, evaluation boxes from `evalBoxes` (0: none)
};

// How the parameter file writes its field.
enum class FileHolds : unsigned char {
    None,         // the file does not carry the field
    Uint,         // unsigned integer, the whole word
    Int,          // signed-integer item holding 0..65535 (the analog limits)
    Flag,         // boolean, bit 0 of the word
    Real,         // the 16.16 field in this word and the next, as a real
    Byte,         // unsigned integer of the part (word & mask) >> shift; a missing key keeps it
    Label,        // ring label of the part; a missing key keeps it
    LabelLeads,   // ring label of the part; when present its item value replaces the whole word
    LabelRebuilt, // ring label of the part of a word built afresh from its keys
    Events,       // one boolean key per offered event, in edge order
    Levels,       // the twelve level keys of a condition group
    LevelsEvals,  // the level keys, then the six evaluation keys
    EvalGroup,    // four edge keys and four level keys in turn, three times
    Combination,  // the AND and Negate keys of a combination word
};

struct ParamWord {
    const char *section; // file section; null when the file does not carry it
    const char *key;     // file key of a single field; null for a bit section
    FileHolds file;
    PanelHolds panel;
    unsigned char word;  // first word of the field (of the mask or group)
    unsigned char shift; // Bit and NotBit: the bit number; Part and Byte: the field's shift
    unsigned short mask; // bits of the word that the field holds
    int *handle;         // panel handle global; null when no control shows it
    short control;       // the control, or the first box of a mask or group
    short levelBoxes, evalBoxes;
    unsigned int offered; // EventBoxes and Events: the offered events as bits of E
};

// The table, in parameter-file order. Controls that share a field with the
// row before them (more buttons of one word, a display of the same value)
// follow it with file None.
extern const ParamWord kParamWords[];
extern const std::size_t kParamWordCount;

// Words a bit section covers: 2 for an event mask, CG_WORDS for a condition
// group, 1 for a combination word; 0 for a single field.
int ParamWordSpan(const ParamWord &w);
