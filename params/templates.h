// Templates: named snapshots of the whole parameter record, kept with a
// description, an origin and a time stamp in the templates file, and picked
// by name on the templates panel. Loading one changes the panels only; a
// separate Send takes it to the controller.
#pragma once

#include <string>

// Shown in the name box when the file holds no template; no operation acts on it.
constexpr const char kNewTemplate[] = "<New Template>";
// Longest name the file's readers take (a 100-character buffer).
constexpr int kTemplateNameMax = 99;

// Fills the name box's list from the templates file and shows the template
// at index (or the placeholder when there is none at that index). A file
// that cannot be read leaves the list as it is; a missing file is an empty
// list. Returns 1, or -1 when the file has no template count.
int loadTemplatesFromFile(const char *path, int index);

// Why a template cannot be stored under this name (a text for the
// operator), or nullptr when it can.
const char *TemplateNameProblem(const std::string &name);

int CC_STRING_TEMPLATE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_SAVE_TEMPLATE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_LOAD_TEMPLATE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_DELETE_TEMPLATE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterTemplateCallbacks();
