#include "core/status.h"

#include "core/panels.h"
#include "ui/engine/engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

char szStatus[128];

namespace {
void (*g_observer)(const char *) = nullptr;
}

void SetStatusObserver(void (*observer)(const char *text)) { g_observer = observer; }

void ShowStatus() {
    SetCtrlVal(panelMAIN, MAIN_STATUS_LINE, szStatus);
    if (g_observer) g_observer(szStatus);
}

void SetStatus(const char *text) {
    std::snprintf(szStatus, sizeof szStatus, "%s", text ? text : "");
    ShowStatus();
}

void SetStatusF(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(szStatus, sizeof szStatus, format, args);
    va_end(args);
    ShowStatus();
}

void StatusStepDone(const char *step, const char *result) {
    SetStatusF("%s%s", step ? step : "", result ? result : "");
}

void AppendStatus(const char *text) {
    const std::size_t used = std::strlen(szStatus);
    std::snprintf(szStatus + used, sizeof szStatus - used, "%s", text ? text : "");
    ShowStatus();
}
