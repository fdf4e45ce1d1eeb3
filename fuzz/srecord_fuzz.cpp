// libFuzzer target for S-record checking and the linearisation merge. The
// input's first byte picks the table window and which tables take part; the
// rest is a firmware file. Every line is parsed; a file that passes the
// check is merged with two short tables, after which it still passes, keeps
// its line count, and the records inside the window carry the tables' words.
#include "fuzz/fuzz_common.h"
#include "maint/lindata.h"
#include "maint/srecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned pick = data[0];
    const std::vector<std::string> lines = fuzz::Lines(data + 1, size - 1);

    for (const std::string &line : lines) {
        SRecord r;
        std::string problem;
        if (ParseSRecord(line, &r, &problem)) {
            FUZZ_CHECK(r.type >= '0' && r.type <= '9');
            FUZZ_CHECK(r.addressBytes >= 2 && r.addressBytes <= 4);
            FUZZ_CHECK(static_cast<int>(r.data.size()) == r.count - r.addressBytes - 1);
        } else {
            FUZZ_CHECK(!problem.empty());
        }
    }
    // The same lines read as a table file.
    std::vector<int16_t> values;
    int badLine = -1;
    std::string problem;
    if (ParseLinTable(lines, &values, &badLine, &problem)) FUZZ_CHECK(values.size() == kLinTableValues);
    else FUZZ_CHECK(badLine >= 0 && badLine <= static_cast<int>(lines.size()) && !problem.empty());

    badLine = -1;
    if (!CheckSRecordLines(lines, &badLine, &problem)) {
        FUZZ_CHECK(badLine >= 0 && badLine <= static_cast<int>(lines.size()) && !problem.empty());
        return 0;
    }
    const std::vector<int16_t> tableA{1, -2, 3, 0x7FFF, -0x8000}, tableB{0x1234, 0x55AA};
    const uint32_t windowStart = (pick & 0x0F) * 0x100;
    const uint32_t windowEnd = (pick & 0x30) == 0x30 ? 0xFFFFFFFFu : windowStart + 0x1000 * ((pick >> 4) & 3);
    std::vector<std::string> merged = lines;
    if (!MergeLinTables(merged, windowStart, windowEnd, (pick & 0x40) ? nullptr : &tableA,
                        (pick & 0x80) ? nullptr : &tableB, &badLine, &problem))
        return 0;
    FUZZ_CHECK(merged.size() == lines.size());
    FUZZ_CHECK(CheckSRecordLines(merged, &badLine, &problem));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SRecord before, after;
        const bool parsed = ParseSRecord(lines[i], &before, nullptr);
        FUZZ_CHECK(parsed == ParseSRecord(merged[i], &after, nullptr));
        if (!parsed) {
            FUZZ_CHECK(merged[i] == lines[i]);
            continue;
        }
        FUZZ_CHECK(before.type == after.type && before.address == after.address &&
                   before.data.size() == after.data.size());
    }
    return 0;
}
