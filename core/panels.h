// Panel handles of the program and the table they are loaded from.
#pragma once

extern int panelMAIN, panelUPDATE, panelTEST, panelRECORDER, panelINTENSITY;
extern int panelPOWER, panelPOWER_B, panelPOWER_TMR0, panelPOWER_TMR1, panelPOWER_GEN, panelPOWER_REC;
extern int panelSETTINGS, panelSETTINGS_2, panelSETTINGS_3, panelSETTINGS_4, panelSETTINGS_5, panelSETTINGS_A;
extern int panelOUTPUT, panelOUTPUT_1, panelOUTPUT_2, panelOUTPUT_ANA;
extern int panelFILTER, panelEXPERT, panelVECTORS, panelBIGDATA, panelInterf, panelSHOW;
extern int panelCOMPARE;
extern int panelRECVIEW;
extern int panelMQTT;
extern int panelHISTORY;
extern int panelVDROP; // never loaded; stays 0

struct PanelTableEntry {
    int *handle;
    const char *file;
    int resource;
    bool child; // loaded as a child of the main panel
    int left, top; // position inside the main panel; -1 = not set
};

// The panels in load order, kPanelCount of them: every handle above but
// panelVDROP.
constexpr int kPanelCount = 31;
extern const PanelTableEntry kPanelTable[kPanelCount];

// Loads every panel of the table in order. Returns 0, or the first negative
// load result (the panels loaded so far stay loaded).
int LoadAllPanels();
// Discards the panels in the shutdown order.
void DiscardAllPanels();
