// What the libFuzzer targets share: the failed-check abort, the input as
// text lines or as a file, and the program's panels loaded once (offscreen)
// for the targets whose readers show what they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                                   \
    do {                                                                                                   \
        if (!(cond)) {                                                                                     \
            std::fprintf(stderr, "check failed at %s:%d: %s\n", __FILE__, __LINE__, #cond);              \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (0)

namespace fuzz {

// The input split at "\n" with a trailing "\r" removed, as the program's
// line reader hands lines over.
std::vector<std::string> Lines(const std::uint8_t *data, std::size_t size);

// Creates the widget application (offscreen) and loads every panel; once.
void LoadProgramPanels(int *argc, char ***argv);

// A file in a folder of the fuzzer's own holding exactly the input.
std::string WriteInputFile(const char *name, const std::uint8_t *data, std::size_t size);

} // namespace fuzz
