// Expert mode: the user password, the built-in master password, and the
// expert panel's commands that switch between standard and expert mode and
// change the user password.
#pragma once

#include <string>

constexpr int kPasswordMax = 20;
// The user password; it persists in the settings file.
extern char password[kPasswordMax + 1];
constexpr const char kDefaultPassword[] = "4826";

// SHA-256 of the master password, in hexadecimal. The master password itself
// is nowhere in the program: a typed text is hashed and compared with this.
extern const char master_password_sha256[];

enum PasswordKind { PASSWORD_WRONG = 0, PASSWORD_USER = 1, PASSWORD_MASTER = 2 };
// Which password a typed text is, exactly and case-sensitively; the master
// password is tested first.
PasswordKind CheckPassword(const std::string &typed);

// Reactions above this layer, filled in at start-up.
struct AccessHooks {
    // Writes the settings file at once; a negative result means it failed.
    int (*saveSettings)() = nullptr;
};
extern AccessHooks accessHooks;

int CC_TXT_ENTERPASSWORD(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_ENTER_EXPERTMODE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_ENTER_STANDARD(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_SETNEWPASSWORD(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterAccessCallbacks();
