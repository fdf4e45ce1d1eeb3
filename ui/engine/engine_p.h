// Inside of the run-time engine: the panel table and helpers shared by the
// engine's source files. Only ui/engine includes this.
#pragma once

#include "ui/engine/engine.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>

namespace engine {

// What the engine keeps stays within these however long the program runs.
constexpr int kTextBoxMaxLines = 5000; // a text box drops its oldest lines beyond this

struct ControlRec {
    QPointer<QWidget> widget;
    int kind = CTRL_KIND_UNKNOWN;
    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
};

struct PanelRec {
    int handle = 0;
    int parent = 0;
    QPointer<QWidget> widget;
    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    std::map<int, ControlRec> controls;
    bool popup = false;
};

PanelRec *panel(int handle);
ControlRec *control(int panelHandle, int ctrlId);
// Calls the callback of a control (ctrlId > 0) or of the panel (ctrlId 0).
int dispatch(int panelHandle, int ctrlId, int event, int eventData1 = 0, int eventData2 = 0);
int kindOf(QWidget *w);
QString colorName(int rgb);
// Makes a numeric control show and take numbers as the files write them: a
// decimal point and no group separators, whatever the desktop's locale.
void takeNumbersWithAPoint(QWidget *numeric);

// Graph and strip-chart attributes of SetCtrlAttribute/GetCtrlAttribute;
// UIE_InvalidAttribute for anything else (graphs.cpp).
int graphSetCtrlAttribute(ControlRec *c, int attribute, int value);
int graphGetCtrlAttribute(ControlRec *c, int attribute, int *value);
// Text, decoration and canvas-pen attributes; UIE_InvalidAttribute for
// anything else (pictures.cpp).
int textSetCtrlAttribute(ControlRec *c, int attribute, int value);
int textGetCtrlAttribute(ControlRec *c, int attribute, int *value);
// ATTR_TEXT_FONT: a meta font name or a family.
int setTextFont(ControlRec *c, const std::string &name);
// A text message that follows its text's size takes it after every change.
void followText(QWidget *w);
// Brings every graph below root up to date at once (before grabbing or printing).
void flushGraphs(QWidget *root);
// True for a mouse event on a graph that the operator's exploration takes
// (Ctrl and Shift gestures, the exploration bar): it reaches no callback.
bool graphKeepsMouseEvent(QObject *target, const QEvent *e);

// Keeps the application object alive and owns engine-wide objects.
bool ensureApplication(int argc, char **argv);
// True once ensureApplication has the application the panels run in.
bool applicationReady();
// The timer that bounds WaitForSystemEvents: made with the application (or
// by the first wait), dropped when the engine closes (events.cpp).
void makeWaitTimer();
void dropWaitTimer();
// Forgets a pending quit, the delivery hook and the delayed calls (the
// engine closing).
void resetEventLoop();
// Paints with the desktop's style, every widget of the same colours with
// one shared palette, so the style's kept pictures are found again after a
// colour change instead of piling up (looks.cpp). The count of shared
// palettes is for tests.
void useSteadyLooks();
std::size_t sharedPaletteCount();

// The session asked the program to end (a termination signal): the pop-ups
// open now are closed as if cancelled, and no new one waits for the
// operator, so the program's own close can run to its end (popups.cpp).
void endPopupsForTermination();

// Where the program's files are (files.cpp).
std::string executableDir();
std::string installedPanelDir();
// True when no panel file stands beside the executable but the install's
// panel folder exists: the program was installed, not run from its build
// folder or a copied program folder.
bool runsFromInstall();

} // namespace engine
