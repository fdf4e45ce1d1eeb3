// The JSON texts the publisher sends: a row of live values with the record
// file's column names and values, the connection status and the curves of
// a DATA read.
#pragma once

#include "recorder/recfile.h"

#include <string>

// text as a JSON string with its quotes; control characters and bytes
// outside ASCII (a controller's version text may hold any) are escaped, so
// the message is always valid UTF-8.
std::string JsonString(const std::string &text);
// {"index": N, "time": "HH:MM:SS.mmm", "RESULT A": n, ... "EVAL 2": x}: the
// row's fields under the file's column names, INDEX and TIMESTAMP as
// "index" and "time" (time with milliseconds).
std::string LiveJson(const RecordRow &row, const std::string &time);
// {"state": "online"|"offline", "version": ..., "link": ...}
std::string StatusJson(const char *state, const std::string &version, const std::string &link);
// {"time": ..., "samples": n, "Channel A": [...], "Channel B": [...]}: the n
// samples of both curves the read refreshed, signed as the record file
// writes them.
std::string CurveJson(const std::string &time, int samples, const unsigned short *a, const unsigned short *b);
