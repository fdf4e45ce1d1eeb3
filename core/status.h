// The main panel's status line: progress and link errors of every command
// that talks to the controller end up here.
#pragma once

extern char szStatus[128];

constexpr int MAIN_STATUS_LINE = 21;

// Writes szStatus to the main panel's status line.
void ShowStatus();
// Copies text into szStatus (cut to fit) and shows it.
void SetStatus(const char *text);
// Formats into szStatus (cut to fit) and shows it.
void SetStatusF(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Adds text to what the status line says (cut to fit) and shows it.
void AppendStatus(const char *text);
// Ends a step that showed its text before an exchange: the step's text and
// the result ("OK."), whatever the exchange said meanwhile (a retry's
// "Read failure! Retrying ..." must not stand before an "OK.").
void StatusStepDone(const char *step, const char *result);

// Shows why a command was refused. The text stays readable for a few
// seconds against the texts a running loop writes on every pass
// (ShowLoopStatus); any other status text replaces it at once.
void ShowRefusal(const char *text);
// A text a loop writes again on every pass ("Recording paused."): left out
// while a refusal is still to be read.
void ShowLoopStatus(const char *text);
// True while a refusal is still to be read.
bool RefusalStillShown();
// Lets the loops write again at once, e.g. when the program is put back to
// its start-up state.
void ForgetRefusal();

// Called with every text the status line shows, e.g. for a log of a job run
// without a screen; nullptr: nobody listens.
void SetStatusObserver(void (*observer)(const char *text));
