// Test mode: a hand-made test record sent to the controller on every change
// of the test panel, and the controller's two inputs shown from its answer.
#pragma once

#include "link/command.h"

constexpr int TEST_WORDS = 16;

// The test record: words 0-5 test values, 10/11 and 12/13 the two lamps,
// 14/15 the switches; in the answer word 6 carries the inputs.
extern short testdata[TEST_WORDS];

// Fills testdata from the test panel (all words cleared first).
void get_test_data();
// Sends testdata and shows the answer. 1 when answered, 0 otherwise.
int exchange_test_data();
// Shows answer word 6 on the input lamps: bit 0 the first, bit 1 the second.
void set_test_data();

// Entering and leaving test mode: the acknowledged command, then the
// panels. Test mode is held (core/owner.h) from a confirmed entry to a
// confirmed exit. The caller holds the link for the command itself.
CommandOutcome EnterTestMode();
CommandOutcome LeaveTestMode();

int CC_CMD_ENTER_TEST(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_EXIT_TEST(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_TESTPANEL(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterTestModeCallbacks();
