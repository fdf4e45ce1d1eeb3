#include "params/origin.h"

#include "params/compare.h"
#include "ui/engine/engine.h"

#include <algorithm>

namespace {
RecordOrigin g_origin;
} // namespace

void NoteRecordOrigin(RecordSource source, const std::string &name, const unsigned short rec[PARAM_WORDS]) {
    g_origin.source = source;
    g_origin.name = name;
    g_origin.time = DateStr() + " " + TimeStr();
    std::copy(rec, rec + PARAM_WORDS, g_origin.record);
}

const RecordOrigin &LastRecordOrigin() { return g_origin; }

RecordOrigin OriginOf(const unsigned short rec[PARAM_WORDS]) {
    if (g_origin.source == RecordSource::None || !CompareRecords(g_origin.record, rec).empty()) return {};
    return g_origin;
}
