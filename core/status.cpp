#include "core/status.h"

#include "core/panels.h"
#include "ui/engine/engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

char szStatus[128];

namespace {
void (*g_observer)(const char *) = nullptr;
// How long a refusal stands before a loop's own text may replace it.
constexpr double kRefusalSeconds = 3.0;
// When the refusal on the status line may give way; 0: none is shown.
double g_refusalUntil = 0.0;
} // namespace

void SetStatusObserver(void (*observer)(const char *text)) { g_observer = observer; }

void ShowStatus() {
    SetCtrlVal(panelMAIN, MAIN_STATUS_LINE, szStatus);
    if (g_observer) g_observer(szStatus);
}

void SetStatus(const char *text) {
    g_refusalUntil = 0.0;
    std::snprintf(szStatus, sizeof szStatus, "%s", text ? text : "");
    ShowStatus();
}

void SetStatusF(const char *format, ...) {
    g_refusalUntil = 0.0;
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
    g_refusalUntil = 0.0;
    const std::size_t used = std::strlen(szStatus);
    std::snprintf(szStatus + used, sizeof szStatus - used, "%s", text ? text : "");
    ShowStatus();
}

void ShowRefusal(const char *text) {
    SetStatus(text);
    g_refusalUntil = Timer() + kRefusalSeconds;
}

bool RefusalStillShown() {
    if (g_refusalUntil != 0.0 && Timer() >= g_refusalUntil) g_refusalUntil = 0.0;
    return g_refusalUntil != 0.0;
}

void ForgetRefusal() { g_refusalUntil = 0.0; }

void ShowLoopStatus(const char *text) {
    if (!RefusalStillShown()) SetStatus(text);
}
