#include "core/panels.h"

#include "ui/engine/engine.h"

int panelMAIN, panelUPDATE, panelTEST, panelRECORDER, panelINTENSITY;
int panelPOWER, panelPOWER_B, panelPOWER_TMR0, panelPOWER_TMR1, panelPOWER_GEN, panelPOWER_REC;
int panelSETTINGS, panelSETTINGS_2, panelSETTINGS_3, panelSETTINGS_4, panelSETTINGS_5, panelSETTINGS_A;
int panelOUTPUT, panelOUTPUT_1, panelOUTPUT_2, panelOUTPUT_ANA;
int panelFILTER, panelEXPERT, panelVECTORS, panelBIGDATA, panelInterf, panelSHOW;
int panelCOMPARE;
int panelRECVIEW;
int panelMQTT;
int panelHISTORY;
int panelVDROP = 0;

namespace {
constexpr const char *kMainFile = "Q-VEX-MOD7-ARC.ui";
}

const PanelTableEntry kPanelTable[kPanelCount] = {
    {&panelMAIN, kMainFile, 2, false, -1, -1},
    {&panelUPDATE, "Update.ui", 1, true, 110, 105},
    {&panelTEST, "Test.ui", 1, true, 110, 105},
    {&panelRECORDER, "Recorder.ui", 1, true, 520, 125},
    {&panelINTENSITY, "Intensity.ui", 1, true, 520, 125},
    {&panelPOWER, "Power.ui", 1, true, 110, 105},
    {&panelPOWER_B, "Power.ui", 2, true, 110, 105},
    {&panelPOWER_TMR0, "Power.ui", 5, true, 110, 105},
    {&panelPOWER_TMR1, "Power.ui", 6, true, 110, 105},
    {&panelPOWER_GEN, "Power.ui", 3, true, 110, 105},
    {&panelPOWER_REC, "Power.ui", 4, true, 110, 105},
    {&panelSETTINGS, "Settings.ui", 1, true, 110, 105},
    {&panelSETTINGS_2, "Settings.ui", 2, true, 110, 105},
    {&panelSETTINGS_3, "Settings.ui", 3, true, 110, 105},
    {&panelSETTINGS_4, "Settings.ui", 4, true, 110, 105},
    {&panelSETTINGS_5, "Settings.ui", 5, true, 110, 105},
    {&panelSETTINGS_A, "Settings.ui", 6, true, 110, 105},
    {&panelOUTPUT, "Outputs.ui", 1, true, 110, 105},
    {&panelOUTPUT_1, "Outputs.ui", 2, true, 110, 105},
    {&panelOUTPUT_2, "Outputs.ui", 3, true, 110, 105},
    {&panelOUTPUT_ANA, "Outputs.ui", 4, true, 110, 105},
    {&panelFILTER, "Filter.ui", 1, true, 110, 105},
    {&panelEXPERT, "Expert.ui", 1, true, 110, 105},
    {&panelVECTORS, "Vectors.ui", 1, true, 520, 125},
    {&panelBIGDATA, "Bigdata.ui", 1, true, 110, 105},
    {&panelInterf, kMainFile, 1, false, -1, -1},
    {&panelSHOW, kMainFile, 3, true, 125, 175},
    {&panelCOMPARE, "Compare.ui", 1, false, -1, -1},
    {&panelRECVIEW, "RecordViewer.ui", 1, false, -1, -1},
    {&panelMQTT, "Recorder.ui", 2, false, -1, -1},
    {&panelHISTORY, "History.ui", 1, false, -1, -1},
};

int LoadAllPanels() {
    for (const PanelTableEntry &e : kPanelTable) {
        *e.handle = LoadPanel(e.child ? panelMAIN : 0, e.file, e.resource);
        if (*e.handle < 0) return *e.handle;
    }
    return 0;
}

void DiscardAllPanels() {
    int *const order[] = {&panelHISTORY, &panelMQTT, &panelRECVIEW, &panelCOMPARE,   &panelSHOW,       &panelInterf,     &panelBIGDATA,    &panelVECTORS,   &panelEXPERT,
                          &panelFILTER,     &panelOUTPUT_ANA, &panelOUTPUT_2,   &panelOUTPUT_1,  &panelOUTPUT,
                          &panelSETTINGS_A, &panelSETTINGS_5, &panelSETTINGS_4, &panelSETTINGS_3, &panelSETTINGS_2,
                          &panelSETTINGS,   &panelPOWER_REC,  &panelPOWER_GEN,  &panelPOWER_TMR0, &panelPOWER_TMR1,
                          &panelPOWER_B,    &panelPOWER,      &panelINTENSITY,  &panelRECORDER,  &panelTEST,
                          &panelUPDATE,     &panelMAIN};
    for (int *h : order) {
        if (*h > 0) DiscardPanel(*h);
        *h = 0;
    }
}
