// The JSON texts the publisher sends: a row of live values with the record
// file's column names and values, the connection status and the curves of
// a DATA read.
#pragma once

#include "recorder/recfile.h"

#include <string>

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
