#include "maint/access.h"

#include "core/groups.h"
#include "core/panels.h"
#include "measure/navigation.h"
#include "ui/engine/engine.h"
#include "ui/panels/expert_ids.h"

#include <cstring>

char password[kPasswordMax + 1] = "4826";
const char master_password_sha256[] = "c6c780511995eed23bbe9865d94f235737bdc12c569d19ff64722e772052e9fe";
AccessHooks accessHooks;

namespace {

constexpr const char kErrorTitle[] = "Error";

// The hide boxes behind panel-selector entries 2 to 7, in entry order.
constexpr int kHideBoxes[] = {EXPERT_HIDE_RECORDER, EXPERT_HIDE_INTENSITY, EXPERT_HIDE_POWER,
                              EXPERT_HIDE_SETTINGS, EXPERT_HIDE_OUTPUTS,   EXPERT_HIDE_VECTORS};

bool readPasswordField(int id, std::string *text) {
    return PasswordCtrl_GetAttribute(panelEXPERT, id, ATTR_PASSWORD_VAL, text) >= 0;
}

// What the password entry holds; a field that cannot be read opens nothing.
PasswordKind enteredPassword() {
    std::string typed;
    return readPasswordField(EXPERT_PASSWORD, &typed) ? CheckPassword(typed) : PASSWORD_WRONG;
}

int checked(int id) {
    int on = 0;
    GetCtrlVal(panelEXPERT, id, &on);
    return on ? 1 : 0;
}

// What standard mode shows: the measurement view, the expert toggle, and
// what the hide boxes leave; filter, update and test never.
void setStandardModeFlags() {
    panelSelectorState[0] = panelSelectorState[1] = 0;
    for (int i = 0; i < 6; ++i) panelSelectorState[2 + i] = checked(kHideBoxes[i]);
    panelSelectorState[8] = panelSelectorState[9] = panelSelectorState[10] = 1;
}

void setExpertFlags(PasswordKind kind) {
    for (int i = 0; i < kSelectorCount; ++i) panelSelectorState[i] = 0;
    if (kind != PASSWORD_MASTER) panelSelectorState[8] = panelSelectorState[9] = panelSelectorState[10] = 1;
}

// Both mode commands start from the measurement view alone.
void resetMainView() {
    show_sub_panel(0);
    resize_measurement_view(kViewAlone);
    SetCtrlVal(panelMAIN, TOG_MEASURE, 1);
}

// Every sub-panel toggle off, the measurement view's on.
void selectMeasurementView() {
    select_tab(0, 0);
    SetCtrlVal(panelMAIN, TOG_MEASURE, 1);
}

} // namespace

PasswordKind CheckPassword(const std::string &typed) {
    if (Sha256Hex(typed) == master_password_sha256) return PASSWORD_MASTER;
    if (typed == password) return PASSWORD_USER;
    return PASSWORD_WRONG;
}

int CC_TXT_ENTERPASSWORD(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    switch (enteredPassword()) {
    case PASSWORD_MASTER:
        send_get_status = 0;
        expert_panel(1, 1, 1, -1);
        break;
    case PASSWORD_USER:
        send_get_status = checked(EXPERT_HIDE_SENDGET) ? 0 : 1;
        expert_panel(1, 1, 1, -1);
        break;
    default:
        expert_panel(0, -1, -1, -1);
        MessagePopup(kErrorTitle, "Wrong Password. Access denied!");
        break;
    }
    return 0;
}

int CC_CMD_ENTER_EXPERTMODE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const PasswordKind kind = enteredPassword();
    resetMainView();
    SetCtrlVal(panelMAIN, TOG_EXPERT, 1);
    if (kind == PASSWORD_WRONG) {
        // Silently standard mode; the toggles keep what they show.
        expert_panel(0, -1, -1, -1);
        setStandardModeFlags();
    } else {
        send_get_status = 0;
        expert_panel(1, 1, 1, -1);
        setExpertFlags(kind);
        // Level 8 keeps filter, update and test hidden whatever their flags.
        panel_selector(panelSelector, panelSelectorState, kind == PASSWORD_MASTER ? 11 : 8);
    }
    HidePanel(panelEXPERT);
    selectMeasurementView();
    return 0;
}

int CC_CMD_ENTER_STANDARD(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    resetMainView();
    SetCtrlVal(panelMAIN, TOG_EXPERT, 0);
    expert_panel(0, -1, -1, -1);
    setStandardModeFlags();
    HidePanel(panelEXPERT);
    panel_selector(panelSelector, panelSelectorState, 11);
    // Whatever holds the main commands (a measuring loop, a recording, test
    // mode, a lost link) keeps them dimmed; its end restores them with
    // send_get_status.
    if (!MainCommandsHeld()) set_main_buttons(1, 1, send_get_status);
    selectMeasurementView();
    return 0;
}

int CC_CMD_SETNEWPASSWORD(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    std::string fresh, confirmation;
    if (!readPasswordField(EXPERT_NEW_PASSWORD, &fresh) || !readPasswordField(EXPERT_CONFIRM_PASSWORD, &confirmation)) {
        MessagePopup(kErrorTitle, "Could not read password.");
        return 0;
    }
    if (fresh != confirmation) {
        MessagePopup(kErrorTitle, "Passwords do not match.");
        return 0;
    }
    // The field takes 20 characters; an accented letter takes two of the
    // 20 places the settings file keeps, and a cut password could never be
    // typed again.
    if (fresh.size() > static_cast<std::size_t>(kPasswordMax)) {
        MessagePopup(kErrorTitle, "The new password is too long: at most 20 characters, accented letters count twice.");
        return 0;
    }
    std::memset(password, 0, sizeof password);
    std::memcpy(password, fresh.data(), fresh.size());
    if (!accessHooks.saveSettings || accessHooks.saveSettings() < 0) {
        MessagePopup(kErrorTitle,
                     "New password set, but the settings file could not be written: the old password returns at the next start.");
        return 0;
    }
    MessagePopup("Success", "New password set.");
    return 0;
}

void RegisterAccessCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_TXT_ENTERPASSWORD", CC_TXT_ENTERPASSWORD},
        {"CC_CMD_ENTER_EXPERTMODE", CC_CMD_ENTER_EXPERTMODE},
        {"CC_CMD_ENTER_STANDARD", CC_CMD_ENTER_STANDARD},
        {"CC_CMD_SETNEWPASSWORD", CC_CMD_SETNEWPASSWORD},
    };
    RegisterCallbacks(table);
}
