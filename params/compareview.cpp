#include "params/compareview.h"

#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "params/binding.h"
#include "params/compare.h"
#include "params/record.h"
#include "params/transfer.h"
#include "ui/engine/engine.h"
#include "ui/panels/compare_ids.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// What the open view compared: the controller's record as it was read, the
// memory it came from and the rows listed.
unsigned short g_controller[PARAM_WORDS];
int g_place = RAM;
std::vector<FieldDifference> g_fields;

const char *placeName(int place) { return place == EEPROM ? "EEPROM" : "RAM"; }

// The record the panels show now; words no control shows keep the record's.
void panelRecord(unsigned short rec[PARAM_WORDS]) {
    std::copy(param, param + PARAM_WORDS, rec);
    GetPanelValues(rec);
}

// Wide enough for the longest section, key and label names, and narrow
// enough that the last column ("Keep controller", which takes the rest)
// keeps its header in sight beside the vertical scroll bar of a long list.
void setColumnWidths() {
    const int widths[][2] = {{COMPARE_COL_SECTION, 140},
                             {COMPARE_COL_KEY, 235},
                             {COMPARE_COL_PANEL, 120},
                             {COMPARE_COL_CONTROLLER, 120}};
    for (const auto &w : widths) SetTableColumnWidth(panelCOMPARE, COMPARE_TABLE, w[0], w[1]);
}

void fillTable() {
    setColumnWidths();
    DeleteTableRows(panelCOMPARE, COMPARE_TABLE, 1, -1);
    InsertTableRows(panelCOMPARE, COMPARE_TABLE, 1, static_cast<int>(g_fields.size()));
    int row = 1;
    for (const FieldDifference &f : g_fields) {
        SetTableCellVal(panelCOMPARE, COMPARE_TABLE, row, COMPARE_COL_SECTION, f.section);
        SetTableCellVal(panelCOMPARE, COMPARE_TABLE, row, COMPARE_COL_KEY, f.key);
        SetTableCellVal(panelCOMPARE, COMPARE_TABLE, row, COMPARE_COL_PANEL, f.left);
        SetTableCellVal(panelCOMPARE, COMPARE_TABLE, row, COMPARE_COL_CONTROLLER, f.right);
        SetTableCellCheck(panelCOMPARE, COMPARE_TABLE, row, COMPARE_COL_KEEP, 0);
        ++row;
    }
    char text[128];
    if (g_fields.empty())
        std::snprintf(text, sizeof text, "The panels and the controller's %s agree.", placeName(g_place));
    else
        std::snprintf(text, sizeof text, "%zu field%s of the panels differ%s from the controller's %s.",
                      g_fields.size(), g_fields.size() == 1 ? "" : "s", g_fields.size() == 1 ? "s" : "",
                      placeName(g_place));
    SetCtrlVal(panelCOMPARE, COMPARE_MESSAGE, text);
    // The read said it loaded the record; what the compare did is what counts.
    SetStatusF("Compared, panels unchanged: %s", text);
    for (int id : {COMPARE_SEND, COMPARE_UPDATE, COMPARE_ALL_PANEL, COMPARE_ALL_CONTROLLER})
        SetCtrlAttribute(panelCOMPARE, id, ATTR_DIMMED, g_fields.empty() ? 1 : 0);
}

// The rows whose controller value the operator chose to keep.
std::vector<FieldDifference> keptFromController() {
    std::vector<FieldDifference> kept;
    for (std::size_t i = 0; i < g_fields.size(); ++i) {
        int checked = 0;
        GetTableCellCheck(panelCOMPARE, COMPARE_TABLE, static_cast<int>(i) + 1, COMPARE_COL_KEEP, &checked);
        if (checked) kept.push_back(g_fields[i]);
    }
    return kept;
}

bool sameField(const FieldDifference &a, const FieldDifference &b) {
    return a.section == b.section && a.key == b.key && a.left == b.left && a.right == b.right;
}

// An edit on the panels while the view was open changes what differs. The
// list then no longer shows what would be sent, so it is made again from the
// panels as they are (a field still listed keeps its tick) and the operator
// looks again before anything happens. True when the list was still right.
bool listStillShowsThePanels(const unsigned short panels[PARAM_WORDS]) {
    const std::vector<FieldDifference> now = CompareRecords(panels, g_controller);
    if (std::equal(now.begin(), now.end(), g_fields.begin(), g_fields.end(), sameField)) return true;
    const std::vector<FieldDifference> kept = keptFromController();
    g_fields = now;
    fillTable();
    for (std::size_t row = 0; row < g_fields.size(); ++row)
        for (const FieldDifference &k : kept)
            if (k.section == g_fields[row].section && k.key == g_fields[row].key)
                SetTableCellCheck(panelCOMPARE, COMPARE_TABLE, static_cast<int>(row) + 1, COMPARE_COL_KEEP, 1);
    SetCtrlVal(panelCOMPARE, COMPARE_MESSAGE,
               "The panels were edited since the comparison; the list now shows them. Check it and press again.");
    return false;
}

// Shows the chosen merge on the panels and in the record. The panels as they
// are now are the base, and the list must show them: an edit made while the
// view was open is neither lost nor sent unseen.
// Returns the number of fields taken from the controller, -1 on failure.
int showMerge() {
    unsigned short panels[PARAM_WORDS], merged[PARAM_WORDS];
    panelRecord(panels);
    if (!listStillShowsThePanels(panels)) return -1;
    const std::vector<FieldDifference> kept = keptFromController();
    if (MergeRecords(panels, g_controller, kept, merged) != 0) {
        SetStatus("Merging the chosen values failed; nothing was changed.");
        return -1;
    }
    std::copy(merged, merged + PARAM_WORDS, param);
    SetPanelValues(param);
    return static_cast<int>(kept.size());
}

} // namespace

Outcome CompareWithController() {
    if (const char *busy = RefusalReason(Command::Transfer); *busy) {
        ShowRefusal(busy);
        return Outcome::Refused(busy);
    }
    OperationHold hold(Operation::Transfer);
    TargetFromSelector();
    if (target == DATFILE) {
        constexpr char kNoMemory[] = "Select RAM or EEPROM to compare the panels with the controller.";
        SetStatus(kNoMemory);
        return Outcome::Refused(kNoMemory);
    }
    unsigned short panels[PARAM_WORDS], controller[PARAM_WORDS];
    panelRecord(panels);
    std::copy(panels, panels + PARAM_WORDS, controller);
    // The read reports on the status line; a failed read opens no view.
    const Outcome read = GetRecord(controller);
    if (!read.done()) return read;
    std::copy(controller, controller + PARAM_WORDS, g_controller);
    g_place = target;
    g_fields = CompareRecords(panels, controller);
    fillTable();
    DisplayPanel(panelCOMPARE);
    Outcome outcome = Outcome::Done();
    outcome.count = static_cast<int>(g_fields.size());
    return outcome;
}

int CC_BTNCompare(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) CompareWithController();
    return 0;
}

int CC_COMPARE(int panel, int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) HidePanel(panel);
    return 0;
}

int CC_COMPARE_KEEP(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int controller = control == COMPARE_ALL_CONTROLLER ? 1 : 0;
    for (std::size_t row = 1; row <= g_fields.size(); ++row)
        SetTableCellCheck(panelCOMPARE, COMPARE_TABLE, static_cast<int>(row), COMPARE_COL_KEEP, controller);
    return 0;
}

int CC_COMPARE_SEND(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || CommandRefused(Command::Transfer)) return 0;
    OperationHold hold(Operation::Transfer);
    if (showMerge() < 0) return 0;
    HidePanel(panelCOMPARE);
    // To the memory that was compared, whatever the selector shows now.
    target = g_place;
    SendParameter(param);
    return 0;
}

int CC_COMPARE_UPDATE(int, int, int event, void *, int, int) {
    // Taking fields into the panels while a read or send runs would mix
    // the record it works on.
    if (event != EVENT_COMMIT || CommandRefused(Command::Transfer)) return 0;
    const int taken = showMerge();
    if (taken < 0) return 0;
    HidePanel(panelCOMPARE);
    SetStatusF("Panels updated: %d of %zu differing fields taken from the controller's %s.", taken,
               g_fields.size(), placeName(g_place));
    return 0;
}

int CC_COMPARE_CLOSE(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) HidePanel(panelCOMPARE);
    return 0;
}

void RegisterCompareCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_BTNCompare", CC_BTNCompare},         {"CC_COMPARE", CC_COMPARE},
        {"CC_COMPARE_KEEP", CC_COMPARE_KEEP},     {"CC_COMPARE_SEND", CC_COMPARE_SEND},
        {"CC_COMPARE_UPDATE", CC_COMPARE_UPDATE}, {"CC_COMPARE_CLOSE", CC_COMPARE_CLOSE},
    };
    RegisterCallbacks(table);
}
