// The outcome of one job against one controller, as --json gives it: each
// job fills what it knows (the fields that differ, the files it wrote) and
// the run adds the rest (name, link, exit status, time) before the object
// goes out as one line on stdout.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace ctl {

struct ResultField {
    std::string section, key;
    std::string controller; // the value the controller holds (held, for apply)
    std::string file;       // the value the parameter file gives
};

struct JobResult {
    std::string name;    // the inventory's section, or the link
    std::string link;    // HOST:PORT, or the serial port as given
    std::string command;
    std::string status;  // "ok", "unchanged", "changed", "differs" or "failed"; "" until the job ends
    int exit = 0;
    std::string reason;  // why the job failed; "" when it did not
    std::vector<ResultField> fields;
    std::string version; // the controller's version text, once connected
    std::vector<std::string> files; // as the file system names them: the bytes the user gave
    std::vector<std::string> warnings;
    double seconds = 0;
};

// The result the current job fills.
JobResult &Result();

// Fills status from the exit code when the job left it open: 0 "ok",
// 3 "differs", anything else "failed".
void SettleStatus(JobResult *result);

// One JSON object on one line, without the line end. Bytes that are not
// UTF-8 become U+FFFD; "files_bytes" gives each of "files" as it stands on
// disk, percent-encoded (bytes outside printable ASCII, and '%', as %XX).
std::string ToJsonLine(const JobResult &result);

// A text for a JSON value: UTF-8 as it is, any byte that is not part of
// valid UTF-8 as U+FFFD.
QString JsonText(const std::string &text);
// A file name's bytes, readable as ASCII and exact: '%' and every byte that
// is not printable ASCII (a space too) as %XX; urllib.parse.unquote_to_bytes
// gives the bytes back.
std::string PercentEncoded(const std::string &bytes);

} // namespace ctl
