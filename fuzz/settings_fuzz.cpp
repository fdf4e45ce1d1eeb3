// libFuzzer target for the settings-file reader: the input is the program's
// settings file, read as at start-up into the panels loaded once.
#include "fuzz/fuzz_common.h"

#include "app/settings.h"
#include "core/panels.h"
#include "ui/engine/engine.h"
#include "ui/engine/scripted_popups.h"
#include "ui/panels/main_ids.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    fuzz::LoadProgramPanels(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    ScriptedPopups popups;
    // Start-up reads into a fresh address history.
    int items = 0;
    Combo_GetNumItems(panelInterf, INTERF_ADDRESS, &items);
    if (items > 0) Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, 0, items);
    const std::string path = fuzz::WriteInputFile("settings.ini", data, size);
    const int rc = readApplicationVarsFromIni(path.c_str());
    FUZZ_CHECK(rc == 0 || rc == -1);
    Combo_GetNumItems(panelInterf, INTERF_ADDRESS, &items);
    FUZZ_CHECK(items >= 1);
    return 0;
}
