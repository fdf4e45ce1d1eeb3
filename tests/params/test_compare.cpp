// The compare view against the simulator, operated by clicks: what it lists,
// what UPDATE PANELS and SEND do with the operator's choices, and that it
// agrees with qvex-ctl's diff. Merging single fields is checked on records
// alone at the end.
#include "tests/fixtures/program.h"

#include "core/groups.h"
#include "ini/inifile.h"
#include "params/binding.h"
#include "params/compare.h"
#include "params/compareview.h"
#include "params/parafile.h"
#include "params/record.h"
#include "sim/runner.h"
#include "ui/panels/compare_ids.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <QProcess>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <array>
#include <set>
#include <sstream>
#include <tuple>

namespace {

using Row = std::array<std::string, 4>; // section, key, panel, controller

const char *const kModeLabels[] = {"Off", "Channel A", "Channel B", "Channel A - channel B", "Channel A / channel B"};

class CompareTest : public ProgramTest {
  protected:
    sim::SimThread sim;
    // The three fields the tests change, as they were before.
    int power = 0, resetOver = 0, mode = 0;

    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(sim.start(true, false));
        ASSERT_TRUE(openTcpLink(sim.tcpPort()));
        HidePanel(panelCOMPARE);
    }
    void TearDown() override {
        HidePanel(panelCOMPARE);
        OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
        ProgramTest::TearDown();
    }

    static QWidget *widget(int panel, int control) { return static_cast<QWidget *>(GetCtrlWidget(panel, control)); }
    static void click(int panel, int control) {
        QTest::mouseClick(widget(panel, control), Qt::LeftButton);
    }
    static QTableWidget *table() { return static_cast<QTableWidget *>(GetCtrlWidget(panelCOMPARE, COMPARE_TABLE)); }

    // Starts from the controller's record on the panels, then changes three
    // fields as the operator would.
    void getThenChangeThreeFields(int memory) {
        click(panelMAIN, memory);
        click(panelMAIN, MAIN_BTN_GET);
        ASSERT_EQ(StatusLine().rfind("Parameter set successfully loaded", 0), 0u) << StatusLine();
        GetCtrlVal(panelPOWER, POWER_POWER, &power);
        GetCtrlVal(panelPOWER, POWER_RESET_A_OVER, &resetOver);
        GetCtrlVal(panelSETTINGS, SETTINGS_MODE, &mode);
        ASSERT_GE(mode, 0);
        ASSERT_LT(mode, 5);
        OperateCtrl(panelPOWER, POWER_POWER, power == 321 ? 322 : 321);
        OperateCtrl(panelPOWER, POWER_RESET_A_OVER, resetOver ? 0 : 1);
        OperateCtrl(panelSETTINGS, SETTINGS_MODE, mode == 2 ? 1 : 2);
    }
    int newPower() const { return power == 321 ? 322 : 321; }
    int newMode() const { return mode == 2 ? 1 : 2; }
    static const char *flag(int on) { return on ? "True" : "False"; }

    std::vector<Row> expectedRows() const {
        return {
            {"CHANNEL A", "Power", std::to_string(newPower()), std::to_string(power)},
            {"RESET CHANNEL A", "On channel A triggerlevel overshoot", flag(!resetOver), flag(resetOver)},
            {"EVALUATION 1", "Mode", kModeLabels[newMode()], kModeLabels[mode]},
        };
    }

    static std::vector<Row> listedRows() {
        int rows = 0;
        GetNumTableRows(panelCOMPARE, COMPARE_TABLE, &rows);
        std::vector<Row> out(rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < 4; ++c) GetTableCellVal(panelCOMPARE, COMPARE_TABLE, r + 1, c + 1, &out[r][c]);
        return out;
    }

    // Clicks the "keep controller" box of a row where the operator would.
    static void tickKeepController(int row) {
        QTableWidget *t = table();
        QTableWidgetItem *item = t->item(row - 1, COMPARE_COL_KEEP - 1);
        ASSERT_NE(item, nullptr);
        t->scrollToItem(item);
        QStyleOptionViewItem option;
        option.initFrom(t->viewport());
        option.rect = t->visualItemRect(item);
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        option.widget = t;
        const QRect box = t->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, t);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, box.center());
    }
    static int keepController(int row) {
        int checked = -1;
        GetTableCellCheck(panelCOMPARE, COMPARE_TABLE, row, COMPARE_COL_KEEP, &checked);
        return checked;
    }

    static int panelVal(int panel, int control) {
        int v = -1;
        GetCtrlVal(panel, control, &v);
        return v;
    }
    static bool visible(int panel) {
        int v = 0;
        GetPanelAttribute(panel, ATTR_VISIBLE, &v);
        return v != 0;
    }

    // Writes the compare view to <QVEX_PICTURES>/<name>.png when that folder is given.
    static void savePicture(const char *name) {
        const char *dir = std::getenv("QVEX_PICTURES");
        if (!dir) return;
        const QImage img = static_cast<QWidget *>(GetPanelWidget(panelCOMPARE))->grab().toImage();
        EXPECT_TRUE(img.save(QString("%1/%2.png").arg(dir, name)));
    }
};

TEST_F(CompareTest, ListsExactlyTheChangedFieldsWithoutTouchingPanelsOrController) {
    getThenChangeThreeFields(MAIN_RADIO_RAM);
    const auto before = sim.ramRecord();
    sim.clearRequestLog();
    click(panelMAIN, MAIN_BTN_COMPARE);

    ASSERT_TRUE(visible(panelCOMPARE));
    EXPECT_EQ(listedRows(), expectedRows());
    for (int row = 1; row <= 3; ++row) EXPECT_EQ(keepController(row), 0) << row;
    std::string message;
    GetCtrlVal(panelCOMPARE, COMPARE_MESSAGE, &message);
    EXPECT_EQ(message, "3 fields of the panels differ from the controller's RAM.");
    EXPECT_EQ(StatusLine(), "Compared, panels unchanged: 3 fields of the panels differ from the controller's RAM.");
    savePicture("compare-three-fields");

    // Only reads went to the controller, and the panels still show the edits.
    for (const auto &r : sim.requestLog()) EXPECT_EQ(r[2] * 256 + r[3], 2);
    EXPECT_EQ(sim.requestLog().size(), 13u);
    EXPECT_EQ(sim.ramRecord(), before);
    EXPECT_EQ(panelVal(panelPOWER, POWER_POWER), newPower());
    EXPECT_EQ(panelVal(panelPOWER, POWER_RESET_A_OVER), resetOver ? 0 : 1);
    EXPECT_EQ(panelVal(panelSETTINGS, SETTINGS_MODE), newMode());

    click(panelCOMPARE, COMPARE_CLOSE);
    EXPECT_FALSE(visible(panelCOMPARE));
}

// A long list scrolls only up and down: every column, "Keep controller"
// with its header, stays in sight beside the vertical scroll bar.
TEST_F(CompareTest, ALongListKeepsEveryColumnInSight) {
    click(panelMAIN, MAIN_RADIO_RAM);
    click(panelMAIN, MAIN_BTN_GET);
    sim::ParamRecord other = sim.ramRecord();
    for (auto &word : other) word = static_cast<unsigned short>(word ^ 0x0003);
    sim.setRamRecord(other);
    click(panelMAIN, MAIN_BTN_COMPARE);
    ASSERT_TRUE(visible(panelCOMPARE));
    QTableWidget *t = table();
    ASSERT_GT(t->rowCount(), 20);
    WaitUntil([&] { return t->verticalScrollBar()->isVisible(); }, 0.5);
    EXPECT_TRUE(t->verticalScrollBar()->isVisible());
    EXPECT_FALSE(t->horizontalScrollBar()->isVisible());
    const int last = COMPARE_COL_KEEP - 1;
    const int header = t->horizontalHeader()->fontMetrics().horizontalAdvance(t->horizontalHeaderItem(last)->text());
    EXPECT_GE(t->columnWidth(last), header + 8);
    EXPECT_LE(t->horizontalHeader()->length(), t->viewport()->width());
    savePicture("compare-long-list");
}

TEST_F(CompareTest, UpdatePanelsTakesTheTickedControllerValueAndLeavesTheControllerAlone) {
    getThenChangeThreeFields(MAIN_RADIO_RAM);
    const auto before = sim.ramRecord();
    click(panelMAIN, MAIN_BTN_COMPARE);
    ASSERT_EQ(listedRows().size(), 3u);
    tickKeepController(2); // the reset condition goes back to the controller's
    EXPECT_EQ(keepController(2), 1);
    sim.clearRequestLog();
    click(panelCOMPARE, COMPARE_UPDATE);

    EXPECT_FALSE(visible(panelCOMPARE));
    EXPECT_EQ(panelVal(panelPOWER, POWER_POWER), newPower());
    EXPECT_EQ(panelVal(panelPOWER, POWER_RESET_A_OVER), resetOver);
    EXPECT_EQ(panelVal(panelSETTINGS, SETTINGS_MODE), newMode());
    EXPECT_TRUE(sim.requestLog().empty());
    EXPECT_EQ(sim.ramRecord(), before);
    EXPECT_EQ(StatusLine(), "Panels updated: 1 of 3 differing fields taken from the controller's RAM.");

    // Comparing again lists the two fields the panels kept.
    click(panelMAIN, MAIN_BTN_COMPARE);
    std::vector<Row> left = expectedRows();
    left.erase(left.begin() + 1);
    EXPECT_EQ(listedRows(), left);
}

TEST_F(CompareTest, SendStoresTheChosenMergeInTheComparedMemory) {
    getThenChangeThreeFields(MAIN_RADIO_EEPROM);
    click(panelMAIN, MAIN_BTN_COMPARE);
    std::string message;
    GetCtrlVal(panelCOMPARE, COMPARE_MESSAGE, &message);
    EXPECT_EQ(message, "3 fields of the panels differ from the controller's EEPROM.");
    ASSERT_EQ(listedRows(), expectedRows());
    tickKeepController(1); // the power stays the controller's
    // The selector moved meanwhile: the merge still goes where it was compared.
    click(panelMAIN, MAIN_RADIO_RAM);
    sim.clearRequestLog();
    click(panelCOMPARE, COMPARE_SEND);

    EXPECT_EQ(StatusLine(), "Activating parameter and storing to EEPROM ... Done!");
    const auto log = sim.requestLog();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(log[12][2] * 256 + log[12][3], 3);
    // The panels show what was sent.
    EXPECT_EQ(panelVal(panelPOWER, POWER_POWER), power);
    EXPECT_EQ(panelVal(panelPOWER, POWER_RESET_A_OVER), resetOver ? 0 : 1);
    EXPECT_EQ(panelVal(panelSETTINGS, SETTINGS_MODE), newMode());

    // Read back from the EEPROM onto changed panels: the merge comes back.
    OperateCtrl(panelPOWER, POWER_POWER, 7);
    OperateCtrl(panelSETTINGS, SETTINGS_MODE, 0);
    click(panelMAIN, MAIN_RADIO_EEPROM);
    click(panelMAIN, MAIN_BTN_GET);
    EXPECT_EQ(panelVal(panelPOWER, POWER_POWER), power);
    EXPECT_EQ(panelVal(panelPOWER, POWER_RESET_A_OVER), resetOver ? 0 : 1);
    EXPECT_EQ(panelVal(panelSETTINGS, SETTINGS_MODE), newMode());
    click(panelMAIN, MAIN_BTN_COMPARE);
    GetCtrlVal(panelCOMPARE, COMPARE_MESSAGE, &message);
    EXPECT_EQ(message, "The panels and the controller's EEPROM agree.");
    EXPECT_TRUE(listedRows().empty());
}

TEST_F(CompareTest, PanelsEditedWhileTheViewIsOpenAreListedBeforeAnythingIsSent) {
    getThenChangeThreeFields(MAIN_RADIO_RAM);
    const auto before = sim.ramRecord();
    click(panelMAIN, MAIN_BTN_COMPARE);
    ASSERT_EQ(listedRows(), expectedRows());
    tickKeepController(2);
    // With the view open the operator edits a listed field and puts another
    // back to the controller's value.
    OperateCtrl(panelPOWER, POWER_POWER, 555);
    OperateCtrl(panelSETTINGS, SETTINGS_MODE, mode);
    sim.clearRequestLog();
    click(panelCOMPARE, COMPARE_SEND);

    // Nothing went out; the list shows the panels as they are now, the tick
    // stays with its field.
    EXPECT_TRUE(sim.requestLog().empty());
    EXPECT_EQ(sim.ramRecord(), before);
    EXPECT_TRUE(visible(panelCOMPARE));
    std::vector<Row> now = expectedRows();
    now[0][2] = "555";
    now.pop_back();
    EXPECT_EQ(listedRows(), now);
    EXPECT_EQ(keepController(1), 0);
    EXPECT_EQ(keepController(2), 1);
    std::string message;
    GetCtrlVal(panelCOMPARE, COMPARE_MESSAGE, &message);
    EXPECT_EQ(message,
              "The panels were edited since the comparison; the list now shows them. Check it and press again.");

    // Pressed again over the list as shown: exactly that goes out.
    click(panelCOMPARE, COMPARE_SEND);
    EXPECT_FALSE(visible(panelCOMPARE));
    EXPECT_EQ(sim.requestLog().size(), 13u);
    EXPECT_EQ(panelVal(panelPOWER, POWER_POWER), 555);
    EXPECT_EQ(panelVal(panelPOWER, POWER_RESET_A_OVER), resetOver);
    EXPECT_EQ(panelVal(panelSETTINGS, SETTINGS_MODE), mode);
}

TEST_F(CompareTest, TheKeepAllButtonsAndTheFileSelectorOpenNoSurprises) {
    getThenChangeThreeFields(MAIN_RADIO_RAM);
    click(panelMAIN, MAIN_BTN_COMPARE);
    click(panelCOMPARE, COMPARE_ALL_CONTROLLER);
    for (int row = 1; row <= 3; ++row) EXPECT_EQ(keepController(row), 1) << row;
    click(panelCOMPARE, COMPARE_ALL_PANEL);
    for (int row = 1; row <= 3; ++row) EXPECT_EQ(keepController(row), 0) << row;
    click(panelCOMPARE, COMPARE_CLOSE);

    // A parameter file is not a controller memory: nothing is read, no view opens.
    click(panelMAIN, MAIN_RADIO_FILE);
    sim.clearRequestLog();
    click(panelMAIN, MAIN_BTN_COMPARE);
    EXPECT_FALSE(visible(panelCOMPARE));
    EXPECT_TRUE(sim.requestLog().empty());
    EXPECT_TRUE(popups->shown.empty());
    EXPECT_EQ(StatusLine(), "Select RAM or EEPROM to compare the panels with the controller.");
    const Outcome notAMemory = CompareWithController();
    EXPECT_EQ(notAMemory.kind, OutcomeKind::Refused);
    EXPECT_EQ(notAMemory.reason, StatusLine());

    // From RAM the outcome counts the fields the view lists.
    click(panelMAIN, MAIN_RADIO_RAM);
    const Outcome compared = CompareWithController();
    EXPECT_TRUE(compared.done()) << compared.reason;
    EXPECT_EQ(compared.count, 3);
    click(panelCOMPARE, COMPARE_CLOSE);
}

// qvex-ctl's diff compares the controller's record with a file; the view,
// with the file loaded onto the panels over the same record, must list the
// same fields with the same texts.
TEST_F(CompareTest, AgreesWithQvexCtlDiffOnTheSameRecordAndFile) {
    getThenChangeThreeFields(MAIN_RADIO_RAM);
    const std::string file = ProgramDir() + "/compare-agree.ini";
    click(panelMAIN, MAIN_RADIO_FILE);
    popups->fileAnswers.push_back(file);
    click(panelMAIN, MAIN_BTN_SEND);
    ASSERT_EQ(StatusLine(), "Parameter saved to file.");

    // qvex-ctl connects on its own; the simulator takes one client at a time.
    tcpcon = 1;
    InitTCP_IP(0);
    tcpcon = 0;
    QProcess ctl;
    ctl.start(QString::fromStdString(BuildDir() + "/qvex-ctl"),
              {"--tcp", QString("127.0.0.1:%1").arg(sim.tcpPort()), "--quiet", "diff", "--from", "ram",
               QString::fromStdString(file)});
    ASSERT_TRUE(ctl.waitForFinished(60000));
    EXPECT_EQ(ctl.exitCode(), 3) << ctl.readAllStandardError().toStdString();
    std::set<Row> fromCtl;
    std::istringstream lines(ctl.readAllStandardOutput().toStdString());
    for (std::string line; std::getline(lines, line);) {
        Row r;
        std::size_t at = 0;
        for (int i = 0; i < 4; ++i) {
            const std::size_t sep = i < 3 ? line.find(" / ", at) : std::string::npos;
            r[i] = line.substr(at, sep == std::string::npos ? std::string::npos : sep - at);
            at = sep + 3;
        }
        std::swap(r[2], r[3]); // the view puts the panels (the file) first
        fromCtl.insert(r);
    }

    tcpcon = InitTCP_IP(1);
    ASSERT_EQ(tcpcon, 1);
    set_main_buttons(1, 1, 1);
    click(panelMAIN, MAIN_RADIO_RAM);
    click(panelMAIN, MAIN_BTN_GET);
    click(panelMAIN, MAIN_RADIO_FILE);
    popups->fileAnswers.push_back(file);
    click(panelMAIN, MAIN_BTN_GET);
    ASSERT_EQ(StatusLine(), "Parameter loaded from file.");
    click(panelMAIN, MAIN_RADIO_RAM);
    click(panelMAIN, MAIN_BTN_COMPARE);
    const std::vector<Row> listed = listedRows();
    EXPECT_EQ(std::set<Row>(listed.begin(), listed.end()), fromCtl);
    EXPECT_EQ(listed, expectedRows());
}

// ---- merging fields on records alone ----------------------------------------------

// b differs from a in every second numeric or boolean key of the file.
void ChangeEverySecondKey(const unsigned short a[PARAM_WORDS], unsigned short b[PARAM_WORDS]) {
    IniHolder ini(0);
    ASSERT_EQ(PutParaSections(ini, a), 0);
    int n = 0;
    for (int s = 0; s < Ini_NumberOfSections(ini); ++s) {
        const std::string section = Ini_NthSectionName(ini, s);
        for (int i = 0; i < Ini_NumberOfItems(ini, section.c_str()); ++i) {
            const std::string key = Ini_NthItemName(ini, section.c_str(), i);
            if (n++ % 2) continue;
            int flag = 0;
            unsigned u = 0;
            if (Ini_GetBoolean(ini, section.c_str(), key.c_str(), &flag) == 1)
                Ini_PutBoolean(ini, section.c_str(), key.c_str(), !flag);
            else if (Ini_GetUInt(ini, section.c_str(), key.c_str(), &u) == 1 && u < 200)
                Ini_PutUInt(ini, section.c_str(), key.c_str(), u + 1);
        }
    }
    std::copy(a, a + PARAM_WORDS, b);
    ASSERT_EQ(GetParaSections(ini, b), 1);
}

std::set<std::pair<std::string, std::string>> Keys(const std::vector<FieldDifference> &fields) {
    std::set<std::pair<std::string, std::string>> keys;
    for (const FieldDifference &f : fields) keys.insert({f.section, f.key});
    return keys;
}

TEST(MergeRecords, TakesExactlyTheChosenFieldsFromTheSecondRecord) {
    EnsurePanelsLoaded();
    unsigned short a[PARAM_WORDS], b[PARAM_WORDS], out[PARAM_WORDS];
    std::copy(param, param + PARAM_WORDS, a);
    a[61] = 0x1234; // a word the file does not carry
    ChangeEverySecondKey(a, b);
    const std::vector<FieldDifference> all = CompareRecords(a, b);
    ASSERT_GT(all.size(), 20u);

    // None taken: a itself, word for word.
    ASSERT_EQ(MergeRecords(a, b, {}, out), 0);
    EXPECT_TRUE(std::equal(a, a + PARAM_WORDS, out));
    // All taken: nothing left that the file tells apart from b.
    ASSERT_EQ(MergeRecords(a, b, all, out), 0);
    EXPECT_TRUE(CompareRecords(out, b).empty());
    EXPECT_EQ(out[61], 0x1234);

    // Every third: those come from b, the rest stay a's.
    std::vector<FieldDifference> taken, kept;
    for (std::size_t i = 0; i < all.size(); ++i) (i % 3 == 0 ? taken : kept).push_back(all[i]);
    ASSERT_EQ(MergeRecords(a, b, taken, out), 0);
    EXPECT_EQ(Keys(CompareRecords(out, a)), Keys(taken));
    EXPECT_EQ(Keys(CompareRecords(out, b)), Keys(kept));
}

} // namespace
