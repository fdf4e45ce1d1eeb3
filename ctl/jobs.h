// What the jobs of qvex-ctl share: the command's own arguments, the status
// line's history during a job, and the jobs beyond the parameter record.
#pragma once

#include "ctl/session.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace ctl {

using Args = std::vector<std::string>;

// The command's own flags, read with QCommandLineParser: --name value
// pairs (each comes once at most), flags with two values (--window START
// END, taken by hand, as the parser knows one value an option) and plain
// words; "--" ends the flags. The first problem is in error().
class CommandArgs {
  public:
    CommandArgs(const Args &args, std::initializer_list<const char *> flags,
                std::initializer_list<const char *> pairFlags = {});
    const std::string &error() const { return error_; }
    bool has(const char *flag) const { return values_.count(flag) != 0; }
    std::string value(const char *flag) const {
        auto it = values_.find(flag);
        return it == values_.end() ? std::string() : it->second;
    }
    std::string second(const char *flag) const {
        auto it = second_.find(flag);
        return it == second_.end() ? std::string() : it->second;
    }
    const Args &words() const { return words_; }

  private:
    std::map<std::string, std::string> values_, second_;
    Args words_;
    std::string error_;
};

bool StartsWith(const std::string &s, const std::string &head);
// Whether a file can be opened for reading.
bool Readable(const std::string &path);

// The files live's --mqtt companions name, checked before the program
// starts, as every input file is: "" or why one cannot be read (a FIFO or
// a device is refused at once, never waited on).
std::string LiveInputProblem(const Args &args);
// live's publishing to an MQTT broker (--mqtt and its companions): checked
// and its files read before the link opens, started before the first
// cycle, flushed and reported after the last. EXIT_DONE when all went out
// (or --mqtt was not given).
struct LiveMqtt {
    bool on = false;
    bool tls = false;
    std::string host;
    int port = 0;
    std::string prefix; // with the controller's name when it has one
    std::string user, password, caFile;
    int queueMB = 100;
};
int PrepareLiveMqtt(Session &s, const CommandArgs &a, LiveMqtt *m);
int StartLiveMqtt(Session &s, const LiveMqtt &m);
int EndLiveMqtt(Session &s);
// Why a controller's name cannot be a level of its topics ("" when it can).
std::string TopicNameProblem(const std::string &name);
// The recorder's jobs.
int JobLive(Session &s, const Args &args);
int JobRecord(Session &s, const Args &args);
int JobCapture(Session &s, const Args &args);
// Statistics of a record file's columns (no controller needed).
int JobStats(const Args &args);
// The maintenance jobs.
int JobFilter(Session &s, const Args &args);
int JobFlash(Session &s, const Args &args);

} // namespace ctl
