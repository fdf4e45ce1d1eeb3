// Binds every module's callbacks by name for the panel resources, and fills
// the hooks through which lower layers reach the ones above them.
#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "app/settings.h"
#include "link/dialog.h"
#include "maint/filter.h"
#include "maint/testmode.h"
#include "maint/access.h"
#include "maint/firmware.h"
#include "maint/lindata.h"
#include "journal/history.h"
#include "journal/journal.h"
#include "params/binding.h"
#include "params/compareview.h"
#include "measure/graphs.h"
#include "measure/navigation.h"
#include "measure/sampling.h"
#include "params/presets.h"
#include "params/templates.h"
#include "params/transfer.h"
#include "publish/publish.h"
#include "recorder/recfile.h"
#include "recorder/recorder.h"
#include "recorder/viewer.h"
#include "ui/engine/engine.h"

namespace {
// Panels whose own callback has nothing to do.
int NoAction(int, int, int, void *, int, int) { return 0; }
} // namespace

void RegisterAllCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_MAIN_PANEL", CC_MAIN_PANEL}, {"CC_INTERFACEP", CC_INTERFACEP}, {"CC_VDROP", CC_VDROP},
        {"CC_PANEL_UPDT", NoAction},      {"CC_PANEL_TEST", NoAction},      {"CC_OUTPUT", NoAction},
        {"CC_EXPERT", NoAction},          {"CC_BIGDATA", NoAction},         {"CC_FILTER", NoAction},
        {"CC_VECTORS", NoAction},         {"CC_RECORDER", NoAction},        {"CC_SETTINGS", NoAction},
        {"CC_INTENSITY", NoAction},       {"CC_POWER", NoAction},
    };
    RegisterCallbacks(table);
    RegisterLinkCallbacks();
    RegisterParamsCallbacks();
    RegisterNavigationCallbacks();
    RegisterTransferCallbacks();
    RegisterCompareCallbacks();
    RegisterTemplateCallbacks();
    RegisterPresetCallbacks();
    RegisterMeasureCallbacks();
    RegisterFilterCallbacks();
    RegisterTestModeCallbacks();
    RegisterAccessCallbacks();
    RegisterFirmwareCallbacks();
    RegisterLinDataCallbacks();
    RegisterRecorderCallbacks();
    RegisterViewerCallbacks();
    RegisterPublishCallbacks();
    RegisterHistoryCallbacks();

    // Reactions that cross from a lower layer to a higher one.
    bindingHooks.recordShown = plot_analog_graph;
    accessHooks.saveSettings = [] { return writeApplicationVarsToIni(appliniPath); };
    presetHooks.redrawCharacteristic = plot_analog_graph;
    presetHooks.previewCharacteristic = plot_possible_analog_graph;
    runHooks.valuesRead = PublishRunCycle;
    runHooks.curvesRead = PublishCurves;
    recordHooks.rowStored = PublishRecordRow;
    controllerNoteHooks.noted = NoteToJournal;
    controllerNoteHooks.writeRefusal = JournalWriteRefusal;
}
