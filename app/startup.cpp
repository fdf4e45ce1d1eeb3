#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"

#include "app/settings.h"
#include "core/panels.h"
#include "core/groups.h"
#include "core/owner.h"
#include "journal/history.h"
#include "journal/journal.h"
#include "link/reconnect.h"
#include "link/transport.h"
#include "maint/access.h"
#include "maint/branding.h"
#include "maint/update_files.h"
#include "measure/graphs.h"
#include "measure/navigation.h"
#include "measure/sampling.h"
#include "params/binding.h"
#include "params/templates.h"
#include "params/transfer.h"
#include "publish/publish.h"
#include "recorder/recorder.h"
#include "recorder/viewer.h"
#include "link/frame.h"
#include "ui/engine/engine.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/settings_ids.h"
#include "ui/panels/vectors_ids.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

int main_left = 0, main_top = 0, main_zoom = 0;

namespace {

constexpr int kPanelSelectorIds[11] = {45, 8, 12, 13, 16, 15, 17, 14, 18, 20, 10};

void copyText(char *dst, std::size_t size, const std::string &src) {
    std::snprintf(dst, size, "%s", src.c_str());
}

// Laid out the way help2man reads it: the manual page is made from this text.
constexpr char kHelpText[] =
    "Usage: qvex-scope [--open FILE.csv]\n"
    "  or:  qvex-scope --help | --version\n"
    "\n"
    "The scope program of the Q-VEX-MOD7-ARC optical sensor controller. It connects\n"
    "to one controller over RS-232 or TCP/IP (CONNECT on the main panel), edits the\n"
    "controller's parameter record on its panels, sends it to RAM or EEPROM and\n"
    "reads it back, shows live values and triggered curves, records CSV files and\n"
    "downloads new firmware. --open FILE.csv shows a record file in the RECORD\n"
    "VIEWER at start-up; other arguments are accepted but not used.\n"
    "\n"
    "Files:\n"
    "  Q-VEX-MOD7-ARC-Scope.ini  the program's settings: for an installed program in\n"
    "                            the user's data folder ~/.local/share/qvex-scope/,\n"
    "                            else beside the program when that folder is\n"
    "                            writable; a copy beside an installed program\n"
    "                            supplies the [SERIAL PORTS] section\n"
    "  Templates.ini             the parameter templates, in the same folder\n";

constexpr char kVersionText[] =
    "qvex-scope " QVEX_VERSION " (Q-VEX-MOD7-ARC Scope v1.0x)\n" QVEX_COPYRIGHT "\n\n" QVEX_LICENSE_NOTE "\n";

// --help and --version alone are answered before the engine starts, with no
// display needed.
bool answerHelpOrVersion(int argc, char **argv) {
    if (argc != 2) return false;
    const char *text = std::strcmp(argv[1], "--help") == 0      ? kHelpText
                       : std::strcmp(argv[1], "--version") == 0 ? kVersionText
                                                                : nullptr;
    if (!text) return false;
    std::fputs(text, stdout);
    return true;
}

} // namespace

int ProcessEntry(int argc, char **argv) {
    // A write past the file-size limit (ulimit -f) then fails with EFBIG
    // like a full disk, and the settings, record and parameter files take
    // their own error paths, instead of the process being killed half-way
    // through a line or with its settings in a temporary file.
    std::signal(SIGXFSZ, SIG_IGN);
    if (answerHelpOrVersion(argc, argv)) return 0;
    // Of the command line only "--open FILE.csv" is used (WinMain); anything
    // else after the program name is accepted and ignored.
    if (!InitCVIRTE(argc, argv)) return -1;
    int rc = WinMain(argc, argv);
    CloseCVIRTE();
    return rc;
}

int WinMain(int argc, char **argv) {
    if (!InitCVIRTE(argc, argv)) return -1;
    RegisterAllCallbacks();
    if (LoadAllPanels() < 0) return -1;
    copyText(proj_dir, sizeof proj_dir, GetProjectDir());
    InitVars();
    SetCtrlVal(panelMAIN, MAIN_TOG_UPDATE, 0);
    for (const PanelTableEntry &e : kPanelTable)
        if (e.child) SetPanelPos(*e.handle, e.top, e.left);

    DisplayPanel(panelMAIN);
    SetActivePanel(panelMAIN);
    SetActiveCtrl(panelMAIN, MAIN_FIRST_FOCUS);
    if (main_top == 0 || main_left == 0) SetPanelPos(panelMAIN, VAL_AUTO_CENTER, VAL_AUTO_CENTER);
    else SetPanelPos(panelMAIN, main_top, main_left);
    SetPanelAttribute(panelMAIN, ATTR_WINDOW_ZOOM, main_zoom);
    // "--open FILE.csv": the record viewer shows that file from the start.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--open") == 0) OpenRecordViewer(argv[i + 1]);

    if (GetMqttPanel().on) StartPublishing();
    // Every write to a controller goes on record from here on.
    OpenJournal(JournalSettingsFrom(appliniPath));

    if (RunUserInterface() != 0) {
        rs232con = InitRS232(0);
        tcpcon = InitTCP_IP(0);
    }
    // What is still queued gets a moment to reach the broker, then the
    // retained status says "offline".
    StopPublishing(2.0);
    CloseJournal();
    DiscardAllPanels();
    return 0;
}

void InitVars() {
    comport = 0;
    frame::sync = 0x55;
    order = 1;
    target = RAM;
    rx_flag = 1;
    stop_flag = 1;
    comprotocol = 0;
    tcpcon = 0;
    rs232con = 0;

    // Where the program's own files live: beside the executable, or in the
    // per-user data directory when that one is not writable.
    const std::string dir = GetWritableDataDir();
    copyText(proj_dir, sizeof proj_dir, dir);
    copyText(dirName, sizeof dirName, dir);
    copyText(appliniPath, sizeof appliniPath, MakePathname(dir, "Q-VEX-MOD7-ARC-Scope.ini"));
    copyText(templatesPath, sizeof templatesPath, MakePathname(dir, "Templates.ini"));

    Combo_NewComboBox(panelInterf, INTERF_ADDRESS);
    SetCtrlAttribute(panelInterf, INTERF_ADDRESS, ATTR_TEXT_BGCOLOR, VAL_OFFWHITE);
    SetCtrlAttribute(panelInterf, INTERF_ADDRESS, ATTR_VISIBLE, 0);

    Combo_NewComboBox(panelSETTINGS_A, SETTINGS_A_TEMPLATE);
    SetCtrlAttribute(panelSETTINGS_A, SETTINGS_A_TEMPLATE, ATTR_TEXT_BGCOLOR, VAL_OFFWHITE);
    SetCtrlAttribute(panelSETTINGS_A, SETTINGS_A_TEMPLATE, ATTR_TOP, 120);
    SetCtrlAttribute(panelSETTINGS_A, SETTINGS_A_TEMPLATE, ATTR_LEFT, 25);
    SetCtrlAttribute(panelSETTINGS_A, SETTINGS_A_TEMPLATE, ATTR_WIDTH, 305);
    SetCtrlAttribute(panelSETTINGS_A, SETTINGS_A_TEMPLATE, ATTR_VISIBLE, 1);
    loadTemplatesFromFile(templatesPath, 0);

    const int passwordFields[] = {EXPERT_PASSWORD, EXPERT_NEW_PASSWORD, EXPERT_CONFIRM_PASSWORD};
    for (int id : passwordFields) PasswordCtrl_ConvertFromString(panelEXPERT, id);
    for (int id : passwordFields) PasswordCtrl_SetAttribute(panelEXPERT, id, ATTR_PASSWORD_MASK_CHARACTER, '*');
    for (int id : passwordFields) PasswordCtrl_SetAttribute(panelEXPERT, id, ATTR_PASSWORD_MAX_LENGTH, kPasswordMax);
    for (int id : passwordFields) SetCtrlVal(panelEXPERT, id, "");

    SetCtrlAttribute(panelVECTORS, VECTORS_TABLE, ATTR_TABLE_RUN_STATE_1523, 0);
    SetCtrlAttribute(panelVECTORS, VECTORS_TABLE, ATTR_TABLE_RUN_STATE_1524, 0);
    for (int item : {-2, -3, -4}) HideBuiltInCtrlMenuItem(panelVECTORS, VECTORS_TABLE, item);

    std::memcpy(panelSelector, kPanelSelectorIds, sizeof panelSelector);
    readApplicationVarsFromIni(appliniPath);

    copyText(szSoftname, sizeof szSoftname, "Q-VEX-MOD7-ARC Scope ");
    copyText(szSoftversion, sizeof szSoftversion, "v1.0x (Build 01/2010)");
    SetStatus((std::string() + szSoftname + szSoftversion).c_str());
    ShowLogo(kOwnBranding);
    panel_selector(panelSelector, panelSelectorState, 8);
    GetPanelValues(param);
    CC_SHOW_CB(panelSHOW, 0, EVENT_COMMIT, nullptr, 0, 0);
    ScaleStripChart(); // the empty chart shows the range the margin control gives
    plot_analog_graph();
}

void ResetProgramState() {
    ResetRecorder();
    ResetUpdateFiles();
    ResetHistory();
    ResetPublisher();
    ResetViewer();
    ResetReconnect();
    if (tcpcon > 0 || g_hconversation) {
        tcpcon = 1;
        InitTCP_IP(0);
    }
    if (rs232con > 0) InitRS232(0);
    tcpcon = rs232con = 0;
    g_hconversation = 0;
    ResetLinkState();
    ResetOperations();
    ForgetRefusal();
    stop_flag = 1;
    send_get_status = 1;
    // No sub-panel up, every selector toggle off, as the program opens.
    if (panelMAIN > 0) {
        show_sub_panel(0);
        select_tab(0, 0);
    }
}

int CC_MAIN_PANEL(int, int, int event, void *, int, int) {
    if (event != EVENT_CLOSE) return 0;
    writeApplicationVarsToIni(appliniPath);
    stop_flag = 1;
    // A recording in progress gets its closing lines before the link goes.
    StopRecording();
    if (tcpcon) tcpcon = InitTCP_IP(0);
    if (rs232con) rs232con = InitRS232(0);
    QuitUserInterface(0);
    return 0;
}

int CC_INTERFACEP(int panel, int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) RemovePopup(panel);
    return 0;
}

int CC_VDROP(int, int, int event, void *, int, int) {
    if (event == EVENT_CLOSE && panelVDROP > 0) HidePanel(panelVDROP);
    return 0;
}
