// One qvex-ctl run: the program started offscreen in a folder of its own,
// pop-ups answered from the command line, progress on stderr, and the link
// opened through the connection dialog.
#pragma once

#include "core/outcome.h"
#include "ctl/ctl.h"
#include "ui/engine/engine.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace ctl {

// Index of a baud rate in the connection dialog's ring, -1 when not offered.
int BaudIndex(int rate);
// The exit status of a job that SIGINT or SIGTERM ended.
constexpr int kExitInterrupted = 130;
// Whether SIGINT or SIGTERM asked the job to end.
bool Interrupted();
// Says "Interrupted." on stderr; returns kExitInterrupted.
int ReportInterrupted();

// Opens a file for reading only when it is a regular file, and never waits
// on it: a FIFO is not opened for good, a device is not acted on. Returns
// the descriptor, or -1 with the reason in *problem.
int OpenPlainFile(const std::string &path, std::string *problem);
// Why path cannot take a file the job writes ("" when it can): it must be a
// regular file or a new name in an existing folder.
std::string TargetProblem(const std::string &path);
// The folder qvex-ctl was started in, as the file system names it.
std::string WorkingFolder();
// Text for the terminal: control characters and bytes that are not UTF-8
// become '?', so a file's contents echoed in a message cannot move the
// cursor, clear the screen or retitle the window. Line feeds stay.
std::string Printable(const std::string &text);
// The usage text with the command list filled in.
std::string FormatUsage(const char *usage);
// Starts the program and runs options.command. Returns the exit code.
int RunCommand(int argc, char **argv, const Options &options);

// Answers the program's pop-ups: file dialogs with the paths queued for
// them, questions with yes; messages are kept and repeated on stderr.
class CtlPopups : public PopupResponder {
  public:
    std::deque<std::string> files;   // relative paths count from startDir
    std::deque<std::string> prompts; // answers to the text questions, in turn
    std::string startDir;
    std::string lastTitle, lastText;

    int message(const std::string &title, const std::string &text) override;
    int confirm(const std::string &title, const std::string &text) override;
    int fileSelect(const FileSelectRequest &request, std::string *pathName) override;
    int prompt(const std::string &title, const std::string &text, std::string *response) override;
};

class Session {
  public:
    explicit Session(const Options &options);
    ~Session();

    // Loads the panels offscreen and gives the globals their start values.
    // Returns false (with the reason on stderr) when the panels do not load.
    bool start(int argc, char **argv);
    // Opens the link as the operator does through the connection dialog
    // (CONNECT, the fields, TRY TO CONNECT, ACCEPT): Done when a controller
    // answered, else why not.
    Outcome connect();

    // Operates a control as the operator would.
    void operate(int panel, int control);
    // Clicks a command whose callback runs `run`, and gives what it returned:
    // the same code the operator's click runs. A dimmed command cannot be
    // clicked: that is a refusal, and nothing runs.
    Outcome click(int panel, int control, const std::function<Outcome()> &run);
    // Ends a job with an operation's outcome: the reason goes on stderr and
    // into the result, the kind gives the exit status (Failed and Refused 1,
    // Rejected and Cancelled 2, Interrupted 130). Done returns EXIT_DONE.
    int ended(const Outcome &outcome);
    bool linkOpen() const;

    // Reports a job that failed while it ran (the controller, the link, or
    // a file that stopped taking what was written): what, on stderr.
    int linkFailed(const std::string &what);
    // Reports a usage or file problem on stderr.
    int usage(const std::string &what);

    // A path in the session's own temporary folder (gone when the run ends).
    std::string scratchPath(const char *name) const;

    // Shows a progress indicator on stderr while a job runs: the main
    // panel's, or the given control's value as a share of maximum.
    void progressOn(int panel = 0, int control = 0, int maximum = 100);
    void progressOff();

    const Options &options;
    CtlPopups popups;

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace ctl
