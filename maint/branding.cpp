#include "maint/branding.h"

#include "core/panels.h"
#include "core/program.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

const int kBlue = MakeColor(0, 128, 255);
const int kWhite = MakeColor(255, 255, 255);
const int kGrey = MakeColor(128, 128, 128);

constexpr int kNamePoints = 16;
constexpr int kLinePoints = 11;
constexpr int kLinesLeft = 15;
constexpr int kLineTops[3] = {7, 22, 37};

// Company, telephone and web address.
struct SupplierLines {
    const char *line[3];
};
const SupplierLines kOwnLines = {{"Q-VEX Scope Project", "Tel. +00 000 0000000", "www.qvex-scope.example"}};
const SupplierLines kPartnerLines = {
    {"Q-VEX Scope Partner Edition", "Tel. +00 000 0000001", "partner.qvex-scope.example"}};

enum class Logo { None, BuiltIn, Bitmap };

struct BrandingRow {
    bool paints; // row 5 is empty
    bool blueBanner;
    Logo logo;
    int logoLeft, logoTop, logoWidth, logoHeight;
    bool hidePicture; // the panel's own title would stand under the header's lines
    const SupplierLines *supplier;
    int nameLeft, nameTop, versionLeft, versionTop;
};

// clang-format off
const BrandingRow kBrandings[8] = {
    /* 0 */ {true,  false, Logo::None,    0,   0, 0,   0,  true, nullptr,        20,  20, 220, 24},
    /* 1 */ {true,  true,  Logo::None,    0,   0, 0,   0,  true, nullptr,        20,  20, 220, 24},
    /* 2 */ {true,  true,  Logo::BuiltIn, 320, 7, 200, 24, true, &kOwnLines,     320, 32, 520, 36},
    /* 3 */ {true,  false, Logo::Bitmap,  470, 8, 220, 46, true, nullptr,        20,  20, 220, 24},
    /* 4 */ {true,  true,  Logo::Bitmap,  470, 7, 220, 46, true, &kPartnerLines, 220, 32, 380, 36},
    /* 5 */ {false, false, Logo::None,    0,   0, 0,   0,  false, nullptr,       0,   0,  0,   0},
    /* 6 */ {true,  false, Logo::Bitmap,  470, 7, 220, 46, true, &kPartnerLines, 220, 32, 380, 36},
    /* 7 */ {true,  false, Logo::None,    0,   0, 0,   0,  true, &kPartnerLines, 320, 32, 540, 36},
};
// clang-format on

// The project's logo, drawn for a canvas of 200 × 24: a lens, and the
// signal an optical sensor sees as two parts pass it, crossing a dashed
// switching threshold. Peaks by centre, height and width, in pixels.
struct Peak {
    double centre, height, width;
};
constexpr Peak kLogoPeaks[] = {{98, 16, 8}, {156, 10, 6}};
constexpr int kLogoBaseline = 20;
constexpr int kLogoThreshold = 11;
constexpr int kLogoStart = 28, kLogoEnd = 197;

int signalAt(int x) {
    double y = kLogoBaseline;
    for (const Peak &p : kLogoPeaks) y -= p.height * std::exp(-std::pow((x - p.centre) / p.width, 2) / 2.0);
    return static_cast<int>(std::lround(y));
}

// A colour between two, t from 0 (a) to 1 (b).
int blend(int a, int b, double t) {
    auto part = [&](int shift) {
        const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        return static_cast<int>(std::lround(ca + (cb - ca) * t));
    };
    return MakeColor(part(16), part(8), part(0));
}

void drawBuiltInLogo(int ink, int paper) {
    const int panel = panelMAIN, logo = MAIN_LOGO;
    CanvasClear(panel, logo, MakeRect(0, 0, 0, 0));
    SetCtrlAttribute(panel, logo, ATTR_PEN_COLOR, ink);
    SetCtrlAttribute(panel, logo, ATTR_PEN_FILL_COLOR, ink);

    // Lens: a ring with its focus.
    SetCtrlAttribute(panel, logo, ATTR_PEN_WIDTH, 2);
    CanvasDrawOval(panel, logo, MakeRect(1, 1, 22, 22), VAL_DRAW_FRAME);
    CanvasDrawOval(panel, logo, MakeRect(8, 8, 8, 8), VAL_DRAW_INTERIOR);

    // Threshold, dashed, in a paler ink.
    SetCtrlAttribute(panel, logo, ATTR_PEN_COLOR, blend(ink, paper, 0.45));
    SetCtrlAttribute(panel, logo, ATTR_PEN_WIDTH, 1);
    for (int x = kLogoStart; x < kLogoEnd; x += 8)
        CanvasDrawLine(panel, logo, MakePoint(x, kLogoThreshold), MakePoint(std::min(x + 4, kLogoEnd), kLogoThreshold));

    // The signal, leaving the lens.
    std::vector<Point> curve;
    for (int x = kLogoStart; x <= kLogoEnd; ++x) curve.push_back(MakePoint(x, signalAt(x)));
    SetCtrlAttribute(panel, logo, ATTR_PEN_COLOR, ink);
    SetCtrlAttribute(panel, logo, ATTR_PEN_WIDTH, 2);
    CanvasDrawPoly(panel, logo, curve.size(), curve.data(), 0, VAL_DRAW_FRAME);

    // The switching point where the first part crosses the threshold.
    int cross = kLogoStart;
    while (cross < kLogoEnd && signalAt(cross) > kLogoThreshold) ++cross;
    CanvasDrawOval(panel, logo, MakeRect(kLogoThreshold - 3, cross - 3, 7, 7), VAL_DRAW_INTERIOR);
}

void showLogoPicture(int branding, const BrandingRow &row, int ink, int paper) {
    if (row.logo == Logo::None) {
        SetCtrlAttribute(panelMAIN, MAIN_LOGO, ATTR_VISIBLE, 0);
        return;
    }
    SetCtrlAttribute(panelMAIN, MAIN_LOGO, ATTR_LEFT, row.logoLeft);
    SetCtrlAttribute(panelMAIN, MAIN_LOGO, ATTR_TOP, row.logoTop);
    SetCtrlAttribute(panelMAIN, MAIN_LOGO, ATTR_WIDTH, row.logoWidth);
    SetCtrlAttribute(panelMAIN, MAIN_LOGO, ATTR_HEIGHT, row.logoHeight);
    if (row.logo == Logo::BuiltIn) {
        drawBuiltInLogo(ink, paper);
    } else if (DisplayImageFile(panelMAIN, MAIN_LOGO, BrandingBitmapPath(branding).c_str()) < 0) {
        // A delivery without its supplier's bitmap shows its header without a logo.
        SetCtrlAttribute(panelMAIN, MAIN_LOGO, ATTR_VISIBLE, 0);
        return;
    }
    SetCtrlAttribute(panelMAIN, MAIN_LOGO, ATTR_VISIBLE, 1);
}

// The name ends before the version begins. In a standard font wider than
// the one the places were laid out for, it steps down in size until it does.
void fitNameBeforeVersion(int name, const BrandingRow &row) {
    for (int points = kNamePoints; points > kLinePoints; --points) {
        int width = 0;
        GetCtrlAttribute(panelMAIN, name, ATTR_WIDTH, &width);
        if (row.nameLeft + width <= row.versionLeft) return;
        SetCtrlAttribute(panelMAIN, name, ATTR_TEXT_POINT_SIZE, points - 1);
    }
}

} // namespace

std::string BrandingBitmapPath(int branding) {
    return MakePathname(GetProjectDir(), "Branding" + std::to_string(branding) + ".png");
}

int ShowInfoText(int panel, int backgroundColor, int textColor, const char *text, int left, int top, int pointSize) {
    const int id = NewCtrl(panel, CTRL_KIND_TEXTMSG, text, top, left);
    if (id < 0) return id;
    SetCtrlAttribute(panel, id, ATTR_TEXT_FONT, VAL_APP_META_FONT);
    SetCtrlAttribute(panel, id, ATTR_TEXT_BOLD, 1);
    SetCtrlAttribute(panel, id, ATTR_TEXT_POINT_SIZE, pointSize);
    SetCtrlAttribute(panel, id, ATTR_TEXT_BGCOLOR, backgroundColor);
    SetCtrlAttribute(panel, id, ATTR_TEXT_COLOR, textColor);
    return id;
}

void ShowLogo(int branding) {
    if (branding < 0 || branding >= 8 || !kBrandings[branding].paints) return;
    const BrandingRow &row = kBrandings[branding];
    // White on a blue banner, grey on a white one.
    const int paper = row.blueBanner ? kBlue : kWhite;
    const int ink = row.blueBanner ? kWhite : kGrey;

    SetCtrlAttribute(panelMAIN, MAIN_HEADER, ATTR_FRAME_COLOR, paper);
    if (row.hidePicture) SetCtrlAttribute(panelMAIN, MAIN_PICTURE, ATTR_VISIBLE, 0);
    showLogoPicture(branding, row, ink, paper);
    if (row.supplier)
        for (int i = 0; i < 3; ++i)
            ShowInfoText(panelMAIN, paper, ink, row.supplier->line[i], kLinesLeft, kLineTops[i], kLinePoints);
    const int name = ShowInfoText(panelMAIN, paper, ink, szSoftname, row.nameLeft, row.nameTop, kNamePoints);
    if (name > 0) fitNameBeforeVersion(name, row);
    ShowInfoText(panelMAIN, paper, ink, szSoftversion, row.versionLeft, row.versionTop, kLinePoints);
}
