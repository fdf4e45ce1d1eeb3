// libFuzzer target for the templates-file reader: the input is the templates
// file; the name box is filled from it with each of its first templates shown
// and loaded as the operator's Load button loads it.
#include "fuzz/fuzz_common.h"

#include "core/panels.h"
#include "core/program.h"
#include "params/templates.h"
#include "ui/engine/engine.h"
#include "ui/engine/scripted_popups.h"
#include "ui/panels/settings_ids.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    fuzz::LoadProgramPanels(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    ScriptedPopups popups;
    const std::string path = fuzz::WriteInputFile("templates.ini", data, size);
    FUZZ_CHECK(path.size() < sizeof templatesPath);
    std::strcpy(templatesPath, path.c_str());
    for (int index = 0; index < 4; ++index) {
        const int rc = loadTemplatesFromFile(path.c_str(), index);
        FUZZ_CHECK(rc == 1 || rc == -1);
        int items = 0;
        Combo_GetNumItems(panelSETTINGS_A, SETTINGS_A_TEMPLATE, &items);
        FUZZ_CHECK(items >= 1);
        std::string shown;
        GetCtrlVal(panelSETTINGS_A, SETTINGS_A_TEMPLATE, &shown);
        FUZZ_CHECK(!shown.empty());
        CC_CMD_LOAD_TEMPLATE(panelSETTINGS_A, SETTINGS_A_TEMPLATE, EVENT_COMMIT, nullptr, 0, 0);
        if (shown == kNewTemplate) break;
    }
    return 0;
}
