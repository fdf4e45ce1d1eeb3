// Measuring-loop state shared by every command that talks to the controller,
// the RUN and STOP commands and the one-shot sensor commands.
#pragma once

#include "core/groups.h"
#include "core/outcome.h"

#include <functional>

// The program's state while a loop started by MAIN_CMD_RUN or MAIN_CMD_DATA
// runs, and back to idle when it ends. `failure` is the last request's
// outcome (MEAS_OK, MEAS_LOST or MEAS_ECHO): a lost connection leaves the
// command groups dimmed.
void EnterMeasuringState(int loopCommand);
void EnterIdleState(int loopCommand, int failure);
// The main panel as continuous measurement shows it: the strip chart with
// its point-count and margin controls, the DATA graph and its x scale hidden.
void ShowRunLayout();

// Runs the one-shot sensor command of a main panel button (MAIN_CMD_TRIGGER,
// _RESET, _TEACH with its re-read, _STOP_SAMPLING, _RESTART_SAMPLING) as its
// click does: asks for the link, holds it, sends, and says on the status line
// what the outcome says.
Outcome RunSensorCommand(int control);
// RUN as its button runs it: live values cycle after cycle until STOP or a
// failed request; Done when it was stopped, Failed with the request's error.
Outcome RunMeasuring();
int CC_CMD_RUN(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_STOP(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_TRIGGER(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_RESET(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_TEACH(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_STOP_SAMPLING(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_RESTART_SAMPLING(int panel, int control, int event, void *callbackData, int eventData1,
                            int eventData2);
int CC_CMD_VERSION(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_HIDE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// Binds the measurement, graph and sampling callbacks by name.
void RegisterMeasureCallbacks();

// Called after every completed RUN cycle, whether the display showed it or
// not (the display follows the screen's pace); a job run without a screen
// counts cycles with it. valuesRead follows cycleDone in the same cycle
// (also when cycleDone pressed STOP) with the cycle's number from 0 in this
// RUN; curvesRead follows every DATA pass that brought both curves, with the
// number of samples it refreshed. Empty: nobody listens.
struct RunHooks {
    std::function<void()> cycleDone;
    std::function<void(int cycle)> valuesRead;
    std::function<void(int samples)> curvesRead;
};
extern RunHooks runHooks;
