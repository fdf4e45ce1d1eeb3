// qvex-ctl: the program's jobs from the command line. Every job runs through
// the program's own callbacks on its own panels (loaded offscreen), so a file
// it writes is the file the panels would write and a frame it sends is the
// frame the panels would send.
#pragma once

#include <string>
#include <vector>

namespace ctl {

// Exit codes of qvex-ctl.
enum ExitCode {
    EXIT_DONE = 0,
    EXIT_LINK_FAILED = 1, // the controller or the link failed
    EXIT_USAGE = 2,       // bad usage, or a file that cannot be read or written
    EXIT_DIFFERENT = 3,   // diff found differences
};

struct Options {
    enum Link { NONE, TCP, SERIAL } link = NONE;
    std::string host;
    int tcpPort = 0;
    int serialPort = 0;        // port number as the connection dialog counts it
    std::string serialDevice;  // a device named directly
    int baud = 19200;
    bool quiet = false;
    std::string settingsFile; // only read when given
    bool json = false;        // one JSON object per controller on stdout
    std::string name;         // the controller's name in the result (default: the link)
    // Many controllers: an inventory file, which of its controllers, how
    // many at once, how long each may take, where their files go.
    std::string inventory;
    std::vector<std::string> limit;
    int jobs = 4;
    int timeoutSeconds = 0; // 0: none
    std::string outDir;
    std::string command;
    std::vector<std::string> args; // the command's own arguments
};

// Parses argv. On a usage error returns EXIT_USAGE with the message in
// `error`; on --help or --version returns -1 with the text in `text`.
int ParseCommandLine(int argc, char **argv, Options *options, std::string *text, std::string *error);

// HOST:PORT as --tcp and an inventory's tcp key take it (a port 1 ...
// 65535), and N|DEVICE as --serial and serial take it (a port number 1 ...
// 255 or a path). False when the text is not one; the *Form texts say what
// is wanted ("takes ...").
bool ParseTcpLink(const std::string &text, std::string *host, int *port);
bool ParseSerialLink(const std::string &text, int *port, std::string *device);
extern const char kTcpForm[], kSerialForm[], kBaudForm[];

// The link as a result names it: HOST:PORT, or the serial port as given.
std::string LinkText(const Options &options);

// Runs qvex-ctl: parses the command line, starts the program offscreen and
// runs the job. Returns the exit code.
int Main(int argc, char **argv);

} // namespace ctl
