// Firmware download: the running firmware hands the controller over to its
// programming loader, the S-record file goes out line by line on the loader
// link, and the normal serial link comes back afterwards.
#pragma once

#include "core/outcome.h"
#include "maint/update_files.h"

#include <string>

extern int s_record_handle;

// The loader's texts the download waits for.
constexpr char kLoaderReadyText[] = "Waiting for application S-Record.";
constexpr char kLoaderStartedText[] = "Application started from address";
// What the loader output box ends with after a download that worked.
constexpr char kDownloadSucceededText[] = "Firmwareupdate was successful!";

// PROGRAM as its button runs it: checks the link and the files, hands the
// controller to its loader, sends the file and brings the normal link back.
// Refused (no serial link, a loop or another operation holds it), Rejected
// (nothing to send, or the file failed its check: nothing was sent), Failed
// (no hand-over, no loader answer, or the application did not start) or Done.
// The reason is the text the operator was shown.
Outcome ProgramController();

int CC_CMD_LOAD_FIRMWARE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_PROGRAM(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
void RegisterFirmwareCallbacks();

