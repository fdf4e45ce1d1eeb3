// libFuzzer target for the parameter-file reader: the input is read as INI
// text and its parameter sections overlaid on a record. A file without them
// leaves the record alone; a record read is written and read again, after
// which it no longer changes.
#include "fuzz/fuzz_common.h"
#include "ini/inifile.h"
#include "params/parafile.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    fuzz::LoadProgramPanels(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    IniHolder ini(0);
    FUZZ_CHECK(Ini_ReadFromBuffer(ini, reinterpret_cast<const char *>(data), size) == 0);
    unsigned short rec[PARAM_WORDS], before[PARAM_WORDS];
    for (int i = 0; i < PARAM_WORDS; ++i) rec[i] = static_cast<unsigned short>(i * 2654435761u >> 7);
    std::memcpy(before, rec, sizeof rec);
    const int rc = GetParaSections(ini, rec);
    FUZZ_CHECK(rc == 0 || rc == 1);
    if (rc == 0) {
        FUZZ_CHECK(std::memcmp(rec, before, sizeof rec) == 0);
        return 0;
    }
    // Written and read back twice: the second round changes nothing.
    unsigned short once[PARAM_WORDS], twice[PARAM_WORDS];
    IniHolder first(0), second(0);
    FUZZ_CHECK(PutParaSections(first, rec) == 0);
    std::memcpy(once, rec, sizeof rec);
    FUZZ_CHECK(GetParaSections(first, once) == 1);
    FUZZ_CHECK(PutParaSections(second, once) == 0);
    std::memcpy(twice, once, sizeof once);
    FUZZ_CHECK(GetParaSections(second, twice) == 1);
    FUZZ_CHECK(std::memcmp(once, twice, sizeof once) == 0);
    return 0;
}
