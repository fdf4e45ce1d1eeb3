// One row of a panel file's id table: the panel (by resource number) a
// control id belongs to and the Qt class the .ui file gives that control.
// Each <name>_ids.h lists all its named ids this way so the panel files and
// the constants the program uses can be checked against each other.
#pragma once

struct PanelCtrlKind {
    int panelResource;
    int ctrlId;
    const char *qtClass;
};
