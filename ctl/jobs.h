// What the jobs of qvex-ctl share: the command's own arguments, the status
// line's history during a job, and the jobs beyond the parameter record.
#pragma once

#include "ctl/session.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace ctl {

using Args = std::vector<std::string>;

// The command's own flags: --name value pairs (a flag may take several
// values, and comes once at most) and plain words.
class CommandArgs {
  public:
    CommandArgs(const Args &args, std::initializer_list<const char *> flags,
                std::initializer_list<const char *> pairFlags = {}) {
        auto among = [](const std::string &a, std::initializer_list<const char *> set) {
            return std::any_of(set.begin(), set.end(), [&](const char *f) { return a == f; });
        };
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string &a = args[i];
            const std::size_t n = among(a, pairFlags) ? 2 : among(a, flags) ? 1 : 0;
            if (n > 0 && values_.count(a) != 0) {
                // A second value would silently win over the first.
                if (error_.empty()) error_ = a + " given twice";
                i += std::min(n, args.size() - 1 - i);
            } else if (n > 0 && i + n < args.size()) {
                std::string &v = values_[a];
                v = args[++i];
                if (n == 2) second_[a] = args[++i];
            } else if (n > 0 || (a.size() > 1 && a[0] == '-' && a != "-")) {
                if (error_.empty())
                    error_ =
                        n > 0 ? a + (n == 2 ? " needs two values" : " needs a value") : "unknown option " + a;
            } else {
                words_.push_back(a);
            }
        }
    }
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

// Every text the status line showed since the last clear.
std::vector<std::string> &StatusLog();
bool StartsWith(const std::string &s, const std::string &head);
// Whether a file can be opened for reading.
bool Readable(const std::string &path);

// live's publishing to an MQTT broker (--mqtt and its companions): started
// before the first cycle, flushed and reported after the last. EXIT_DONE
// when all went out (or --mqtt was not given).
int StartLiveMqtt(Session &s, const CommandArgs &a);
int EndLiveMqtt(Session &s);
// The recorder's jobs.
int JobLive(Session &s, const Args &args);
int JobRecord(Session &s, const Args &args);
int JobCapture(Session &s, const Args &args);
// Statistics of a record file's columns (no controller needed).
int JobStats(const Args &args);
// The parameter journal: list, show and verify (no controller needed).
int JobJournal(const Args &args);
// The maintenance jobs.
int JobFilter(Session &s, const Args &args);
int JobFlash(Session &s, const Args &args);

} // namespace ctl
