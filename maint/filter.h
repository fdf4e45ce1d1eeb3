// The controller's four digital filters: reading their settings and writing
// the filter memory (256 words at controller address 0x1100).
#pragma once

#include "core/outcome.h"
#include "link/command.h"

constexpr int FILTER_COUNT = 4;
constexpr int FILTER_IMAGE_WORDS = 256;
constexpr int FILTER_COEFFICIENTS = 45; // per filter, Q15 (32767 = 1.0)
constexpr int FILTER_TRIPLES = 180;     // first word of the four parameter triples
constexpr unsigned short FILTER_MEMORY = 0x1100;
constexpr unsigned short FILTER_OFF = 0xFFFF; // setting word of a filter that is off
constexpr unsigned short FILTER_UNITY = 32767;

// The filter memory image SEND FILTER builds and writes.
extern unsigned short filterimage[FILTER_IMAGE_WORDS];

// Builds the image: every filter as pass-through (coefficient 0 = 1.0, the
// rest 0) with the triple (2, -1, 32767) that marks it off, whatever the
// filter panel's enable boxes and settings show.
void BuildFilterImage(unsigned short image[FILTER_IMAGE_WORDS]);
// Stops sampling, erases the filter memory and writes the image in 19
// packages; the outcome says how far it got. The caller holds the link.
CommandOutcome WriteFilterMemory(const unsigned short *image);
// Reads the four settings and shows them on the filter panel. The caller
// holds the link.
CommandOutcome ReadFilterSettings();
// Stops sampling, erases the filter memory and writes the image in 19
// packages. 0 on success, -1 on failure (reported in the status line).
int sendFilterCoefficients(const unsigned short *image);

// GET FILTER and SEND FILTER as their buttons run them: ask for the link,
// hold it, read the settings onto the filter panel or write the image
// BuildFilterImage makes. A failure's reason is the status line's error.
Outcome GetFilter();
Outcome SendFilter();

int CC_RNG_FILTER(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_NUM_FILTER(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_GET_FILTER(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_SEND_FILTER(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterFilterCallbacks();
