// Expert mode as the operator reaches it: the expert toggle, the password
// entry, the two mode commands and the password change, with what the main
// panel then shows. The expert toggle alone is covered by the navigation tests.
#include "tests/fixtures/program.h"

#include "app/settings.h"
#include "core/groups.h"
#include "maint/access.h"
#include "measure/navigation.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/main_ids.h"

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <cctype>
#include <cstdlib>
#include <set>

namespace {

// The master password, typed as a technician would. The program holds only
// its digest, and the sources hold the word only scrambled (each byte XOR
// 0x5A), so it is made here when a test needs it.
std::string masterPassword() {
    static const unsigned char scrambled[] = {0x0b, 0x2f, 0x3b, 0x28, 0x28, 0x23, 0x2e, 0x33, 0x34};
    std::string word;
    for (unsigned char c : scrambled) word += static_cast<char>(c ^ 0x5A);
    return word;
}

class AccessTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        SetPanelAttribute(panelMAIN, ATTR_WIDTH, 800);
        std::snprintf(password, sizeof password, "%s", kDefaultPassword);
        for (int id : {EXPERT_HIDE_SENDGET, EXPERT_HIDE_RECORDER, EXPERT_HIDE_INTENSITY, EXPERT_HIDE_POWER,
                       EXPERT_HIDE_SETTINGS, EXPERT_HIDE_OUTPUTS, EXPERT_HIDE_VECTORS})
            SetCtrlVal(panelEXPERT, id, 0);
        set_main_buttons(1, 1, 1); // as after a connect
        OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_STANDARD);
        popups->shown.clear();
    }

    // Writes the main panel to <QVEX_PICTURES>/<name>.png when that folder is given.
    static void savePicture(const char *name) {
        const char *dir = std::getenv("QVEX_PICTURES");
        if (!dir) return;
        for (const PanelTableEntry &e : kPanelTable)
            if (e.child) SetPanelPos(*e.handle, e.top, e.left); // where the program places them
        DisplayPanel(panelMAIN);
        const QImage img = static_cast<QWidget *>(GetPanelWidget(panelMAIN))->grab().toImage();
        EXPECT_TRUE(img.save(QString("%1/%2.png").arg(dir, name)));
    }

    void openExpertPanel() {
        if (val(panelMAIN, TOG_EXPERT)) OperateCtrl(panelMAIN, TOG_EXPERT); // off first
        OperateCtrl(panelMAIN, TOG_EXPERT);
    }
    void enterPassword(const std::string &text) { OperateCtrl(panelEXPERT, EXPERT_PASSWORD, text); }
    // Opens the expert panel, types the password and presses EXPERT MODE.
    void enterExpertMode(const std::string &text) {
        openExpertPanel();
        SetCtrlVal(panelEXPERT, EXPERT_PASSWORD, text);
        OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_EXPERT);
    }
    void setNewPassword(const std::string &fresh, const std::string &confirmation) {
        SetCtrlVal(panelEXPERT, EXPERT_NEW_PASSWORD, fresh);
        SetCtrlVal(panelEXPERT, EXPERT_CONFIRM_PASSWORD, confirmation);
        OperateCtrl(panelEXPERT, EXPERT_CHANGE_PASSWORD);
    }
    // Unlocks with the default password and sets a new one, which must succeed.
    void changePassword(const std::string &fresh) {
        openExpertPanel();
        enterPassword(kDefaultPassword);
        setNewPassword(fresh, fresh);
        EXPECT_EQ(popups->lastMessage("Success"), "New password set.");
        EXPECT_EQ(password, fresh);
    }
    // The password the next start reads from the settings file.
    static std::string passwordAfterRestart() {
        std::snprintf(password, sizeof password, "%s", "other");
        readApplicationVarsFromIni(appliniPath);
        return password;
    }

    static int val(int panel, int id) {
        int v = -1;
        GetCtrlVal(panel, id, &v);
        return v;
    }
    static int attr(int panel, int id, int attribute) {
        int v = -1;
        GetCtrlAttribute(panel, id, attribute, &v);
        return v;
    }
    static bool expertPanelShown() {
        int v = 0;
        GetPanelAttribute(panelEXPERT, ATTR_VISIBLE, &v);
        return v != 0;
    }
    static std::set<int> visibleToggles() {
        std::set<int> v;
        for (int id : {TOG_EXPERT, TOG_MEASURE, TOG_RECORDER, TOG_INTENSITY, TOG_POWER, TOG_SETTINGS, TOG_OUTPUTS,
                       TOG_VECTORS, TOG_FILTER, TOG_UPDATE, TOG_TEST, TOG_TEMPLATES})
            if (attr(panelMAIN, id, ATTR_VISIBLE) == 1) v.insert(id);
        return v;
    }
    static const std::set<int> &userExpertToggles() {
        static const std::set<int> s = {TOG_EXPERT,  TOG_MEASURE, TOG_RECORDER, TOG_INTENSITY, TOG_POWER,
                                        TOG_SETTINGS, TOG_OUTPUTS, TOG_VECTORS, TOG_TEMPLATES};
        return s;
    }
};

TEST_F(AccessTest, MasterPasswordStillOpensEverythingAfterTheUserPasswordChanged) {
    changePassword("Kx9-neu");
    EXPECT_EQ(passwordAfterRestart(), "Kx9-neu") << "written to the settings file at once";

    enterExpertMode(masterPassword());
    savePicture("main-master-expert-mode");
    std::set<int> all = userExpertToggles();
    all.insert({TOG_FILTER, TOG_UPDATE, TOG_TEST});
    EXPECT_EQ(visibleToggles(), all);
    EXPECT_EQ(send_get_status, 0);
    EXPECT_FALSE(expertPanelShown());
    EXPECT_EQ(val(panelMAIN, TOG_EXPERT), 1);
    EXPECT_EQ(val(panelMAIN, TOG_MEASURE), 1);

    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_STANDARD);
    enterExpertMode("Kx9-neu");
    EXPECT_EQ(visibleToggles(), userExpertToggles()) << "the user password leaves filter, update and test hidden";

    openExpertPanel();
    enterPassword(kDefaultPassword);
    EXPECT_EQ(popups->lastMessage("Error"), "Wrong Password. Access denied!") << "the old password is gone";
}

TEST_F(AccessTest, PasswordEntryOpensTheGroupsAndSetsSendGetFromTheLockBox) {
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_SENDGET, 1);
    openExpertPanel();
    SetCtrlVal(panelEXPERT, EXPERT_PASSWORD, "4826");
    savePicture("expert-before-password");
    EXPECT_EQ(attr(panelEXPERT, EXPERT_HIDE_POWER, ATTR_VISIBLE), 0);
    enterPassword(kDefaultPassword);
    savePicture("expert-after-password");
    EXPECT_EQ(send_get_status, 0);
    for (int id : {EXPERT_NEW_PASSWORD, EXPERT_CHANGE_PASSWORD, EXPERT_HIDE_SENDGET, EXPERT_HIDE_RECORDER,
                   EXPERT_HIDE_POWER, EXPERT_HIDE_SETTINGS}) {
        EXPECT_EQ(attr(panelEXPERT, id, ATTR_VISIBLE), 1) << id;
        EXPECT_EQ(attr(panelEXPERT, id, ATTR_DIMMED), 0) << id;
    }
    EXPECT_EQ(attr(panelEXPERT, EXPERT_FRAME_HIDE, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(panelEXPERT, EXPERT_HIDE_FILTER, ATTR_VISIBLE), 0) << "the fourth group stays hidden";

    SetCtrlVal(panelEXPERT, EXPERT_HIDE_SENDGET, 0);
    enterPassword(kDefaultPassword);
    EXPECT_EQ(send_get_status, 1);
    enterPassword(masterPassword());
    EXPECT_EQ(send_get_status, 0) << "the master password always locks send/get";
    EXPECT_TRUE(popups->shown.empty());

    for (const char *wrong : {"4827", "QUARRYTIN", ""}) {
        enterPassword(wrong);
        EXPECT_EQ(popups->lastMessage("Error"), "Wrong Password. Access denied!") << wrong;
        EXPECT_EQ(attr(panelEXPERT, EXPERT_CHANGE_PASSWORD, ATTR_DIMMED), 1);
        EXPECT_EQ(attr(panelEXPERT, EXPERT_HIDE_POWER, ATTR_VISIBLE), 0);
        EXPECT_EQ(attr(panelEXPERT, EXPERT_PASSWORD, ATTR_DIMMED), 0) << "the entry stays usable";
    }
}

TEST_F(AccessTest, EmptyNewPasswordIsAcceptedKeptAndThenOpensExpertMode) {
    changePassword("");
    EXPECT_EQ(passwordAfterRestart(), "") << "the expert's empty password survives a restart";

    enterExpertMode("");
    EXPECT_EQ(visibleToggles(), userExpertToggles());
    EXPECT_EQ(send_get_status, 0);
}

TEST_F(AccessTest, NewPasswordsDifferingOnlyInCaseAreRejected) {
    openExpertPanel();
    enterPassword(kDefaultPassword);
    setNewPassword("Secret", "secret");
    EXPECT_EQ(popups->lastMessage("Error"), "Passwords do not match.");
    EXPECT_TRUE(popups->lastMessage("Success").empty());
    EXPECT_STREQ(password, kDefaultPassword);
}

TEST_F(AccessTest, SendGetStaysLockedAfterExpertModeUntilTheExpertToggleRecomputesIt) {
    enterExpertMode(kDefaultPassword);
    EXPECT_EQ(send_get_status, 0);
    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_STANDARD);
    EXPECT_EQ(send_get_status, 0) << "enter-standard keeps it";
    EXPECT_EQ(attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 1);
    EXPECT_EQ(attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);
    EXPECT_EQ(val(panelMAIN, TOG_EXPERT), 0);

    OperateCtrl(panelMAIN, TOG_EXPERT); // on
    OperateCtrl(panelMAIN, TOG_EXPERT); // off, lock box off
    EXPECT_EQ(send_get_status, 1);
    EXPECT_EQ(attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 0);
}

TEST_F(AccessTest, WrongPasswordOnEnterExpertIsSilentAndKeepsTheToggles) {
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_POWER, 1);
    openExpertPanel();
    const std::set<int> before = visibleToggles();
    SetCtrlVal(panelEXPERT, EXPERT_PASSWORD, "nope");
    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_EXPERT);
    EXPECT_TRUE(popups->shown.empty());
    EXPECT_EQ(visibleToggles(), before);
    EXPECT_FALSE(expertPanelShown());
    const int standard[kSelectorCount] = {0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1};
    for (int i = 0; i < kSelectorCount; ++i) EXPECT_EQ(panelSelectorState[i], standard[i]) << i;
}

TEST_F(AccessTest, EnterStandardAppliesTheHideBoxesAndResetsTheView) {
    enterExpertMode(masterPassword());
    OperateCtrl(panelMAIN, TOG_RECORDER);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_RECORDER, 1);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_SETTINGS, 1);
    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_STANDARD);
    EXPECT_EQ(visibleToggles(), (std::set<int>{TOG_EXPERT, TOG_MEASURE, TOG_INTENSITY, TOG_POWER, TOG_OUTPUTS,
                                               TOG_VECTORS, TOG_TEMPLATES}));
    int shown = 1;
    GetPanelAttribute(panelRECORDER, ATTR_VISIBLE, &shown);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(attr(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH), 540);
    EXPECT_EQ(attr(panelMAIN, MAIN_GRAPH, ATTR_WIDTH), 560);
    EXPECT_EQ(val(panelMAIN, TOG_MEASURE), 1);
    EXPECT_EQ(val(panelMAIN, TOG_RECORDER), 0);
}

TEST_F(AccessTest, EnterStandardDuringAMeasuringLoopLeavesItsCommandsDimmed) {
    stop_flag = 0;
    SetCtrlAttribute(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED, 1);
    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_STANDARD);
    EXPECT_EQ(attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 1) << "a second RUN must not start inside the first";
    stop_flag = 1;
    SetCtrlAttribute(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED, 0);
}

TEST_F(AccessTest, PasswordFieldsMaskAndTakeTwentyTypedCharacters) {
    openExpertPanel();
    for (int id : {EXPERT_PASSWORD, EXPERT_NEW_PASSWORD, EXPERT_CONFIRM_PASSWORD}) {
        auto *edit = static_cast<QLineEdit *>(GetCtrlWidget(panelEXPERT, id));
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        int mask = 0;
        PasswordCtrl_GetAttribute(panelEXPERT, id, ATTR_PASSWORD_MASK_CHARACTER, &mask);
        EXPECT_EQ(mask, '*');
    }
    auto *entry = static_cast<QLineEdit *>(GetCtrlWidget(panelEXPERT, EXPERT_PASSWORD));
    entry->setFocus();
    QTest::keyClicks(entry, "4826abcdefghijklmnopqrstuvwxyz");
    std::string typed;
    EXPECT_EQ(PasswordCtrl_GetAttribute(panelEXPERT, EXPERT_PASSWORD, ATTR_PASSWORD_VAL, &typed), 0);
    EXPECT_EQ(typed, "4826abcdefghijklmnop");
    QTest::keyClick(entry, Qt::Key_Return);
    EXPECT_EQ(popups->lastMessage("Error"), "Wrong Password. Access denied!");
    EXPECT_LT(PasswordCtrl_GetAttribute(panelMAIN, MAIN_STATUS_LINE, ATTR_PASSWORD_VAL, &typed), 0)
        << "a control that is no password field cannot be read as one";
}

TEST_F(AccessTest, PasswordThatCannotBeSavedIsReportedAsSuch) {
    char kept[sizeof appliniPath];
    std::memcpy(kept, appliniPath, sizeof kept);
    std::snprintf(appliniPath, sizeof appliniPath, "%s", (ProgramDir() + "/missing/dir/settings.ini").c_str());
    openExpertPanel();
    enterPassword(kDefaultPassword);
    setNewPassword("abc", "abc");
    std::memcpy(appliniPath, kept, sizeof kept);
    EXPECT_TRUE(popups->lastMessage("Success").empty());
    EXPECT_NE(popups->lastMessage("Error").find("could not be written"), std::string::npos);
    EXPECT_STREQ(password, "abc") << "it holds for this session";
}

TEST_F(AccessTest, TheMasterPasswordIsKeptOnlyAsItsDigest) {
    EXPECT_EQ(Sha256Hex(masterPassword()), master_password_sha256);
    EXPECT_EQ(CheckPassword(masterPassword()), PASSWORD_MASTER);
    std::string otherCase = masterPassword();
    otherCase[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(otherCase[0])));
    EXPECT_EQ(CheckPassword(otherCase), PASSWORD_WRONG);
    for (const std::string &file : {BuildDir() + "/qvex-scope", BuildDir() + "/libqvex.a"}) {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file;
        EXPECT_FALSE(f.readAll().contains(masterPassword().c_str())) << file;
    }
}

} // namespace
