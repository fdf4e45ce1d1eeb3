// The parameter file: the text written from the panels, the rules of reading
// it back, damaged files, and the parameter sections of the settings file.
#include "tests/fixtures/program.h"

#include "app/settings.h"
#include "ini/inifile.h"
#include "params/binding.h"
#include "params/parafile.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <array>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace {

using Record = std::array<unsigned short, PARAM_WORDS>;

// File text written in the test with "\n" line ends, as the store writes it.
std::string Crlf(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// The words a parameter file carries.
std::set<int> CarriedWords() {
    std::set<int> w = {38, 39, 40, 41,  45,  46, 54, 55, 56, 57, 62, 65, 66, 70, 71, 72,  73, 78,
                       79, 81, 97, 127, 143, 82, 83, 84, 85, 92, 93, 94, 95, 98, 99, 100, 101};
    for (int i = 1; i <= 14; ++i)
        w.insert({i, i + 16});
    for (int g : {113, 120, 129, 161, 168, 177})
        for (int i = 0; i < CG_WORDS; ++i)
            w.insert(g + i);
    return w;
}

// Every bound field away from the panels' defaults, ring values the rings
// hold, only bits the panels offer; unbound words 0xA500 + word number.
Record FileRecord() {
    Record r;
    for (int i = 0; i < PARAM_WORDS; ++i)
        r[i] = static_cast<unsigned short>(0xA500 + i);
    r[1] = 1234, r[10] = 2345, r[12] = 5, r[11] = 1, r[17] = 4321, r[26] = 5432, r[28] = 2, r[27] = 1;
    const int masks[8] = {PW_CHA_RESET,  PW_CHB_RESET, PW_CHA_REC_TRIGGER, PW_CHB_REC_TRIGGER,
                          PW_TMR0_START, PW_TMR0_STOP, PW_TMR1_START,      PW_TMR1_STOP};
    const unsigned offered[8] = {EVMASK_ALL,  EVMASK_ALL,  EVMASK_REC_TRIGGER, EVMASK_REC_TRIGGER,
                                 EVMASK_TMR0, EVMASK_TMR0, EVMASK_TMR1,        EVMASK_TMR1};
    for (int m = 0; m < 8; ++m)
        SetField32(r.data(), masks[m], offered[m] & (m % 2 ? 0x5A5A5A5Au : 0xA5A5A5A5u));
    r[13] = 55, r[29] = 66, r[PW_SCANRATE] = 3, r[14] = 120, r[30] = 90;
    r[38] = 300, r[39] = 400, r[40] = 7, r[41] = 0x0202, r[54] = 301, r[55] = 401, r[56] = 8, r[57] = 0x0303;
    r[PW_ANA_MIN] = 100, r[PW_ANA_MAX] = 60000, r[PW_ANA_SOURCE] = 17;
    r[PW_NORM_TIMECONSTANT] = 999, r[PW_IN1_TEACH] = 0x0204, r[PW_BAUD] = 3, r[PW_POTI] = 3, r[PW_BUTTON] = 4;
    r[PW_MARKER] = 1, r[PW_FIXED_75] = 0x0203, r[PW_FIXED_77] = 0x0202;
    const double refs[EVAL_COUNT] = {1.5, -1.0, 12.25, -300.5, 32000.0};
    for (int e = 0; e < EVAL_COUNT; ++e) {
        r[PW_EVAL_MODE[e]] = static_cast<unsigned short>(e + 1);
        r[PW_EVAL_AVERAGING[e]] = static_cast<unsigned short>(e + 2);
        SetField32(r.data(), PW_EVAL_REFERENCE[e], FixedFromValue(refs[e]));
        SetField32(r.data(), PW_EVAL_UPPER_TOL[e], FixedFromValue(0.75 + e));
        if (PW_EVAL_LOWER_TOL[e] >= 0) SetField32(r.data(), PW_EVAL_LOWER_TOL[e], FixedFromValue(-0.25 - e));
        const unsigned short g[2][CG_WORDS] = {{0x2121, 0x1200, 0, 0x0312, 0x2110, 0, 0x0010},
                                               {0x2121, 0x3200, 0, 0x0312, 0x2110, 0, 0x0011}};
        std::copy(g[e % 2], g[e % 2] + CG_WORDS, r.data() + PW_EVAL_GROUP[e]);
    }
    const unsigned short evals[OUTPUT_COUNT] = {0x0410, 0x0220, 0x0140};
    const unsigned short kOutputCombination[OUTPUT_COUNT] = {0x0001, 0x0010, 0x0001};
    for (int o = 0; o < OUTPUT_COUNT; ++o) {
        r[PW_OUT_TIMING[o]] = BytePair(34 + o, 12 + o);
        const unsigned short g[CG_WORDS] = {0, 0, 0, 0x0121, 0x1220, evals[o], kOutputCombination[o]};
        std::copy(g, g + CG_WORDS, r.data() + PW_OUT_GROUP[o]);
    }
    const unsigned short nb[CG_WORDS] = {0, 0, 0, 0x0221, 0x1210, 0, 0};
    std::copy(nb, nb + CG_WORDS, r.data() + PW_NORMBASE_GROUP);
    return r;
}

// A second panel state that differs from FileRecord in (nearly) every bound field.
Record OtherRecord() {
    Record r{};
    r[1] = 7, r[17] = 8, r[10] = 9, r[26] = 10, r[12] = 1, r[28] = 4, r[13] = 5, r[29] = 6;
    SetField32(r.data(), PW_CHA_RESET, 0x02000010u);
    SetField32(r.data(), PW_CHB_REC_TRIGGER, 0x01000000u);
    SetField32(r.data(), PW_TMR0_START, 0x00000002u);
    r[PW_SCANRATE] = 5, r[14] = 50, r[30] = 25;
    r[38] = 1, r[39] = 2, r[40] = 3, r[41] = 0x0301, r[54] = 4, r[55] = 5, r[56] = 6, r[57] = 0x0100;
    r[PW_ANA_MIN] = 1, r[PW_ANA_MAX] = 2, r[PW_ANA_SOURCE] = 6;
    r[PW_NORM_TIMECONSTANT] = 11, r[PW_IN1_TEACH] = 0x0401, r[PW_BAUD] = 0, r[PW_POTI] = 1, r[PW_BUTTON] = 2;
    for (int e = 0; e < EVAL_COUNT; ++e) {
        r[PW_EVAL_MODE[e]] = 5, r[PW_EVAL_AVERAGING[e]] = 7;
        SetField32(r.data(), PW_EVAL_REFERENCE[e], FixedFromValue(-2.5));
        SetField32(r.data(), PW_EVAL_UPPER_TOL[e], FixedFromValue(3.25));
        if (PW_EVAL_LOWER_TOL[e] >= 0) SetField32(r.data(), PW_EVAL_LOWER_TOL[e], FixedFromValue(4.125));
        r[PW_EVAL_GROUP[e] + 1] = 0x2000, r[PW_EVAL_GROUP[e] + 4] = 0x0020, r[PW_EVAL_GROUP[e] + 6] = 0x0001;
    }
    for (int o = 0; o < OUTPUT_COUNT; ++o)
        r[PW_OUT_TIMING[o]] = BytePair(1, 2), r[PW_OUT_GROUP[o] + 3] = 0x0002,
        r[PW_OUT_GROUP[o] + 6] = 0x0011;
    r[PW_NORMBASE_GROUP + 3] = 0x0010;
    return r;
}

// Records the file dialog's arguments beside the scripted answer.
class DialogLog : public ScriptedPopups {
  public:
    struct Call {
        std::string directory, pattern, title;
        int button;
    };
    std::vector<Call> calls;
    int fileSelect(const FileSelectRequest &r, std::string *path) override {
        calls.push_back({r.defaultDirectory, r.defaultFile, r.title, r.buttonLabel});
        return ScriptedPopups::fileSelect(r, path);
    }
};

class ParaFileTest : public ProgramTest {
  protected:
    DialogLog *dialogs = nullptr;
    std::string path;

    void SetUp() override {
        ProgramTest::SetUp();
        popups.reset();
        auto log = std::make_unique<DialogLog>();
        dialogs = log.get();
        popups = std::move(log);
        path = MakePathname(ProgramDir(), "parameters-under-test.ini");
        std::remove(path.c_str());
    }

    static Record panels() {
        Record r;
        r.fill(0x5A5A);
        GetPanelValues(r.data());
        return r;
    }
    static void show(const Record &r) { SetPanelValues(r.data()); }

    // Writes the panels to path through the file dialog; returns the record written.
    Record send(int expected = 1) {
        popups->fileAnswers.push_back(path);
        Record r;
        r.fill(0x5A5A);
        EXPECT_EQ(SendParaToFile(r.data()), expected);
        return r;
    }
    // Reads path into the panels' record, as a Get with the file target does.
    Record load(int expected = 1) {
        popups->fileAnswers.push_back(path);
        Record r = panels();
        EXPECT_EQ(ReadParaFromFile(r.data()), expected);
        return r;
    }

    std::string text() const {
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    void writeText(const std::string &t) const { std::ofstream(path, std::ios::binary) << t; }
    // Replaces the first occurrence of from in the file.
    void edit(const std::string &from, const std::string &to) const {
        std::string t = text();
        const std::size_t at = t.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        writeText(t.replace(at, from.size(), to));
    }
};

// ---- writing ----------------------------------------------------------------------------

TEST_F(ParaFileTest, ReferenceOneAndAHalfIsWrittenAsARealAndReadBackAsFixedPoint) {
    show(FileRecord());
    SetCtrlVal(panelSETTINGS, SETTINGS_REFERENCE, 1.5);
    send();
    EXPECT_NE(text().find(Crlf("[EVALUATION 1]\nMode = \"Channel A\"\nAveraging = \"4 values\"\n"
                               "Reference value = 1.5\nUpper tolerance = 0.75\nLower tolerance = -0.25\n\n")),
              std::string::npos)
        << text();

    SetCtrlVal(panelSETTINGS, SETTINGS_REFERENCE, 7.0);
    const Record r = load();
    EXPECT_EQ(r[82], 0x8000);
    EXPECT_EQ(r[83], 0x0001);
    double shown = 0;
    GetCtrlVal(panelSETTINGS, SETTINGS_REFERENCE, &shown);
    EXPECT_DOUBLE_EQ(shown, 1.5);
}

TEST_F(ParaFileTest, SectionsKeysAndTheirTextsAreExactlyThose) {
    show(FileRecord());
    send();
    const std::string t = text();
    // No header line: the file starts with the first section.
    EXPECT_EQ(t.rfind(Crlf(R"([CHANNEL A]
Power = 1234
Triggerlevel = 2345
Pretrigger = 55
Filtermode = 5
Normalisation = True
Recording Interval = 120

[RESET CHANNEL A]
)"),
                      0),
              0u)
        << t;
    const char *const golden[] = {R"([TIMER 0]
Working Mode = "Periodic"
Timing Source = "Clock 100 ms"
Preset Off-time = 300
Preset On-time = 400
Time scaling factor = 7

[START TIMER 0]
On channel A triggerlevel overshoot = True
On channel A triggerlevel undershoot = False
On channel B triggerlevel overshoot = False
On channel B triggerlevel undershoot = True
On digital input IN0 rising edge = True
On digital input IN0 falling edge = False
On digital input IN1 rising edge = False
On digital input IN1 falling edge = True
On timer TMR1 rising edge = False
On timer TMR1 falling edge = True

[STOPP TIMER 0]
)",
                                  R"([EVALUATION 1 CONDITION]
On channel A triggerlevel overshoot = False
On channel A triggerlevel undershoot = True
On channel B triggerlevel overshoot = True
On channel B triggerlevel undershoot = False
While channel A over triggerlevel = False
While channel A under triggerlevel = True
While channel B over triggerlevel = False
While channel B unde triggerlevel = True
On digital input IN0 rising edge = True
On digital input IN0 falling edge = False
On digital input IN1 rising edge = False
On digital input IN1 falling edge = True
While digital input IN0 high = True
While digital input IN0 low = True
While digital input IN1 high = False
While digital input IN1 low = True
On timer TMR0 rising edge = True
On timer TMR0 falling edge = False
On timer TMR1 rising edge = False
On timer TMR1 falling edge = True
While timer TMR0 high = True
While timer TMR0 low = False
While timer TMR1 high = True
While timer TMR1 low = False

[EVALUATION 1 COMBINATION]
Logical AND (instead of OR) = True
Negate = False

[EVALUATION 2]
)",
                                  R"(
While EVALUATION 1 over tolerance band = False
While EVALUATION 1 in tolerance band = True
While EVALUATION 1 under tolerance band = False
While EVALUATION 2 over tolerance band = False
While EVALUATION 2 in tolerance band = True
While EVALUATION 2 under tolerance band = False

[OUTPUT 1 SET COMBINATION]
)",
                                  R"([ANALOG OUT]
Analog output source = "Evaluation 1 value"
Analog output min. value = 100
Analog output max. value = 60000

[SPECIAL FUNCTION]
Input IN1 usage = "Teach"
Teach target = "Evaluation 5"
Usage of Poti = "Evaluation 1 reference"
Usage of Button = "Acquire normalisation base"
Baudrate = "57600"

)"};
    for (const char *g : golden)
        EXPECT_NE(t.find(Crlf(g)), std::string::npos) << g << "\nin\n" << t;
    EXPECT_EQ(t.size() - t.rfind("[SPECIAL FUNCTION]"), Crlf(strstr(golden[3], "[SPECIAL")).size());

    // Channel B's level key keeps its own spelling, in all six sections.
    EXPECT_EQ(t.find("While channel B under"), std::string::npos);
    int unde = 0;
    for (std::size_t at = t.find("channel B unde trigger"); at != std::string::npos;
         at = t.find("channel B unde trigger", at + 1))
        ++unde;
    EXPECT_EQ(unde, 6);

    IniHolder ini(0);
    ASSERT_EQ(Ini_ReadFromFile(ini, path.c_str()), 0);
    const std::vector<std::pair<std::string, int>> expected = {{"CHANNEL A", 6},
                                                               {"RESET CHANNEL A", 12},
                                                               {"RECORD CHANNEL A", 8},
                                                               {"CHANNEL B", 6},
                                                               {"RESET CHANNEL B", 12},
                                                               {"RECORD CHANNEL B", 8},
                                                               {"TIMER 0", 5},
                                                               {"START TIMER 0", 10},
                                                               {"STOPP TIMER 0", 10},
                                                               {"TIMER 1", 5},
                                                               {"START TIMER 1", 10},
                                                               {"STOPP TIMER 1", 10},
                                                               {"NORMALISATION", 1},
                                                               {"RESET NORM BASE", 12},
                                                               {"EVALUATION 1", 5},
                                                               {"EVALUATION 1 CONDITION", 24},
                                                               {"EVALUATION 1 COMBINATION", 2},
                                                               {"EVALUATION 2", 5},
                                                               {"EVALUATION 2 CONDITION", 24},
                                                               {"EVALUATION 2 COMBINATION", 2},
                                                               {"OUTPUT 0", 2},
                                                               {"OUTPUT 0 SET CONDITION", 18},
                                                               {"OUTPUT 0 SET COMBINATION", 2},
                                                               {"OUTPUT 1", 2},
                                                               {"OUTPUT 1 SET CONDITION", 18},
                                                               {"OUTPUT 1 SET COMBINATION", 2},
                                                               {"OUTPUT 2", 2},
                                                               {"OUTPUT 2 SET CONDITION", 18},
                                                               {"OUTPUT 2 SET COMBINATION", 2},
                                                               {"ANALOG OUT", 3},
                                                               {"SPECIAL FUNCTION", 5}};
    std::vector<std::pair<std::string, int>> sections;
    for (int i = 0; i < Ini_NumberOfSections(ini); ++i)
        sections.emplace_back(Ini_NthSectionName(ini, i), Ini_NumberOfItems(ini, Ini_NthSectionName(ini, i)));
    EXPECT_EQ(sections, expected);
}

TEST_F(ParaFileTest, DialogsCancellingAndFailedWrites) {
    show(FileRecord());
    send();
    load();
    ASSERT_EQ(dialogs->calls.size(), 2u);
    for (const DialogLog::Call &c : dialogs->calls) {
        EXPECT_EQ(c.title, "Q-VEX-MOD7-ARC Parameter File");
        EXPECT_EQ(c.directory, dirName);
        EXPECT_EQ(c.pattern, "*.ini");
    }
    EXPECT_EQ(dialogs->calls[0].button, VAL_SAVE_BUTTON);
    EXPECT_EQ(dialogs->calls[1].button, VAL_LOAD_BUTTON);

    // Cancelled: no file written, the record not read.
    const std::string before = text();
    SetCtrlVal(panelPOWER, POWER_POWER, 99);
    Record r = panels();
    EXPECT_EQ(SendParaToFile(r.data()), 0); // nothing queued: cancelled
    EXPECT_EQ(text(), before);
    const Record shown = panels();
    r = shown;
    EXPECT_EQ(ReadParaFromFile(r.data()), 0);
    EXPECT_EQ(r, shown);
    EXPECT_EQ(panels(), shown);

    path = MakePathname(ProgramDir(), "no-such-folder/parameters.ini");
    send(0);
    EXPECT_TRUE(popups->lastMessage().empty()) << "the caller reports the outcome";
}

// ---- reading ------------------------------------------------------------------------------

TEST_F(ParaFileTest, AFullRecordComesBackWordForWord) {
    show(FileRecord());
    const Record written = send();
    EXPECT_EQ(written, panels()) << "the panels are read into the record first";

    show(OtherRecord());
    const Record other = panels();
    const Record r = load();
    const std::set<int> carried = CarriedWords();
    int differing = 0;
    for (int i = 0; i < PARAM_WORDS; ++i) {
        EXPECT_EQ(r[i], carried.count(i) ? written[i] : other[i]) << "word " << i;
        differing += carried.count(i) && written[i] != other[i];
    }
    EXPECT_EQ(panels(), r) << "the panels show what was read";
    EXPECT_GT(differing, 80) << "the two states must differ for this test to mean anything";
}

TEST_F(ParaFileTest, MissingSectionsAndKeysFollowTheRebuildRules) {
    show(FileRecord());
    send();
    const std::string t = text();
    const std::size_t reset = t.find("[RESET CHANNEL A]");
    writeText(t.substr(0, reset) + t.substr(t.find("[RECORD CHANNEL A]")));
    edit(Crlf("Usage of Poti = \"Evaluation 1 reference\"\n"), "");
    Record r = load();
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r[3], 0);
    EXPECT_EQ(r[PW_POTI], 0);
    EXPECT_EQ(r[PW_BUTTON], 4);
    EXPECT_EQ(r[PW_IN1_TEACH], 0x0204);
    EXPECT_EQ(GetField32(r.data(), PW_CHB_RESET), EVMASK_ALL & 0x5A5A5A5Au);

    // A file of a few keys: every mask and group is rebuilt from all bits
    // clear, words 78, 81 and 97 from 0; everything else keeps the panels' values.
    show(FileRecord());
    const Record before = panels();
    writeText(Crlf("[CHANNEL A]\nPower = 77\n[EVALUATION 1 COMBINATION]\nNegate = True\n"
                   "[RESET NORM BASE]\nWhile channel B unde triggerlevel = True\n"
                   "[OUTPUT 0 SET CONDITION]\nWhile channel B under triggerlevel = True\n"));
    r = load();
    EXPECT_EQ(r[PW_CHA_POWER], 77);
    for (int w : {2, 3, 4, 5, 6, 7, 8, 9, 18, 19, 20, 21, 22, 23, 24, 25})
        EXPECT_EQ(r[w], 0) << "mask word " << w;
    for (int g : {113, 120, 129, 161, 168, 177})
        for (int i = 0; i < CG_WORDS; ++i) {
            const unsigned short set = g == 120 && i == 6 ? COMB_NEGATE : g == 113 && i == 4 ? 1u << 4 : 0;
            EXPECT_EQ(r[g + i], set) << "group word " << g + i << " (only the file's spelling is a key)";
        }
    EXPECT_EQ(r[PW_IN1_TEACH] | r[PW_POTI] | r[PW_BUTTON], 0);
    for (int w : {10, 11, 12, 13, 14, 38, 41, 45, 57, 62, 65, 66, 70, 71, 72, 73, 79, 82, 83, 92, 127, 143})
        EXPECT_EQ(r[w], before[w]) << "word " << w;
}

TEST_F(ParaFileTest, AnUnmatchedWorkingModeKeepsThePanelsMode) {
    Record rec = FileRecord();
    rec[PW_TMR0_MODE] = 0x0209; // working mode 9: no ring item
    {
        IniHolder ini(0);
        ASSERT_EQ(PutParaSections(ini, rec.data()), 0);
        ASSERT_EQ(Ini_WriteToFile(ini, path.c_str()), 0);
    }
    EXPECT_NE(text().find(Crlf("[TIMER 0]\nTiming Source = \"Clock 100 ms\"\nPreset Off-time = 300\n")),
              std::string::npos)
        << text();

    Record shown = FileRecord();
    shown[PW_TMR0_MODE] = 0x0301; // single pulse, scan cycles
    show(shown);
    // The mode stays; the timing source is the file's, not ORed into the panel's.
    EXPECT_EQ(load()[PW_TMR0_MODE], 0x0201);
    int v = -1;
    GetCtrlVal(panelPOWER_TMR0, POWER_TMR0_WORKMODE, &v);
    EXPECT_EQ(v, 1);

    // Labels are compared exactly, letter case included.
    edit("[TIMER 0]\r\n", "[TIMER 0]\r\nWorking Mode = \"periodic\"\r\n");
    edit("\"Clock 100 ms\"", "\"Clock 100 MS\"");
    show(shown);
    EXPECT_EQ(load()[PW_TMR0_MODE], 0x0301);

    // A matching mode without a timing source replaces the whole word.
    edit("\"periodic\"", "\"Delayed pulse\"");
    show(shown);
    EXPECT_EQ(load()[PW_TMR0_MODE], 0x0003);
}

TEST_F(ParaFileTest, OutputTimingKeepsTheByteOfAMissingKey) {
    show(FileRecord()); // timings 34/12, 35/13, 36/14
    writeText(Crlf("[OUTPUT 0]\nMinimum ON-time = 5\n[OUTPUT 1]\nMinimum OFF-time = 7\n"
                   "[OUTPUT 2]\nMinimum ON-time = 256\nMinimum OFF-time = 255\n"));
    const Record r = load();
    EXPECT_EQ(r[PW_OUT_TIMING[0]], BytePair(34, 5));
    EXPECT_EQ(r[PW_OUT_TIMING[1]], BytePair(7, 13));
    EXPECT_EQ(r[PW_OUT_TIMING[2]], BytePair(255, 14)) << "256 is no byte: the on-time stays";
}

TEST_F(ParaFileTest, ValuesOfTheWrongKindAndUnmatchedLabelsLeaveTheirFields) {
    show(FileRecord());
    send();
    const std::pair<const char *, const char *> edits[] = {
        {"Power = 1234", "Power = 12ab"},
        {"Triggerlevel = 2345", "Triggerlevel = 70000"},
        {"Pretrigger = 55", "Pretrigger = -3"},
        {"Normalisation = True", "Normalisation = yes"},
        {"Reference value = 1.5", "Reference value = nan"},
        {"Upper tolerance = 0.75", "Upper tolerance = Inf"},
        {"Lower tolerance = -0.25", "Lower tolerance = 1e30"},
        {"min. value = 100", "min. value = -1"},
        {"max. value = 60000", "max. value = 65536"},
        {"[RESET CHANNEL A]\r\nOn channel A triggerlevel overshoot = True",
         "[RESET CHANNEL A]\r\n"
         "On channel A triggerlevel overshoot = 1"},
        {"Mode = \"Channel A\"", "Mode = \"channel a\""},
        {"Baudrate = \"57600\"", "Baudrate = 57601"},
        {"source = \"Evaluation 1 value\"", "source = \"\""},
        {"Teach target = \"Evaluation 5\"", "Teach target = \"Evaluation 9\""},
    };
    for (const auto &e : edits)
        edit(e.first, e.second);

    show(OtherRecord());
    const Record before = panels();
    const Record r = load();
    for (int w : {PW_CHA_POWER, PW_CHA_TRIGGERLEVEL, PW_CHA_PRETRIGGER, PW_CHA_NORM, 82, 83, 92, 93, 94, 95,
                  PW_ANA_MIN, PW_ANA_MAX, PW_EVAL_MODE[0], PW_BAUD, PW_ANA_SOURCE})
        EXPECT_EQ(r[w], before[w]) << "word " << w;
    EXPECT_EQ(GetField32(r.data(), PW_CHA_RESET), EVMASK_ALL & 0xA5A5A5A5u & ~(1u << 29))
        << "a boolean key that is not a boolean leaves its bit clear";
    EXPECT_EQ(r[PW_IN1_TEACH], 0x0200) << "IN1 usage from the file, teach target rebuilt as 0";
    EXPECT_EQ(r[PW_CHB_POWER], 4321) << "the rest of the file is read";
}

TEST_F(ParaFileTest, ValuesTheControlsWouldNotTakeAreListedInOneMessageAndNotStored) {
    show(FileRecord());
    send();
    const std::pair<const char *, const char *> edits[] = {
        {"Reference value = 1.5", "Reference value = 40000"},
        {"Lower tolerance = -0.25", "Lower tolerance = -40000"},
        {"Power = 1234", "Power = 99999"},
        {"Power = 4321", "Power = -5"},
        {"Triggerlevel = 2345", "Triggerlevel = abc"},
        {"Minimum ON-time = 12", "Minimum ON-time = 256"},
        {"Filtermode = 5", "Filtermode = 8"},
    };
    for (const auto &e : edits)
        edit(e.first, e.second);
    show(OtherRecord());
    const Record before = panels();
    popups->shown.clear();
    popups->fileAnswers.push_back(path);
    OperateCtrl(panelMAIN, MAIN_RADIO_FILE);
    OperateCtrl(panelMAIN, MAIN_BTN_GET);
    EXPECT_EQ(StatusLine(), "Parameter loaded from file.");

    std::vector<std::string> messages;
    for (const auto &p : popups->shown)
        if (p.title == "ATTENTION!") messages.push_back(p.text);
    ASSERT_EQ(messages.size(), 1u) << "one message for them all";
    const std::string &message = messages[0];
    EXPECT_NE(message.find(path), std::string::npos) << message;
    for (const char *line : {"[EVALUATION 1] Reference value = 40000 (allowed: -32768 ... 32767.99998)",
                             "[EVALUATION 1] Lower tolerance = -40000 (allowed: -32768 ... 32767.99998)",
                             "[CHANNEL A] Power = 99999 (allowed: 0 ... 65535)",
                             "[CHANNEL B] Power = -5 (allowed: 0 ... 65535)",
                             "[CHANNEL A] Triggerlevel = abc (not a whole number)",
                             "[OUTPUT 0] Minimum ON-time = 256 (allowed: 0 ... 255)",
                             "[CHANNEL A] Filtermode = 8 (allowed: 0 ... 7)"})
        EXPECT_NE(message.find(line), std::string::npos) << line << "\n" << message;

    const Record r = panels();
    for (int w : {82, 83, 94, 95, PW_CHA_POWER, PW_CHB_POWER, PW_CHA_TRIGGERLEVEL, PW_CHA_FILTER})
        EXPECT_EQ(r[w], before[w]) << "word " << w;
    EXPECT_EQ(LowByte(r[PW_OUT_TIMING[0]]), LowByte(before[PW_OUT_TIMING[0]]));
    EXPECT_EQ(HighByte(r[PW_OUT_TIMING[0]]), 34) << "the off-time beside it is taken";
    EXPECT_EQ(r[PW_CHB_TRIGGERLEVEL], 5432) << "the rest of the file is read";
    EXPECT_EQ(ValueFromFixed(GetField32(r.data(), 92)), 0.75);
}

TEST_F(ParaFileTest, RealsComeBackExactlyAndHandWrittenOnesAreTruncated) {
    // Fields whose exact value needs more than the 16 digits a real is written with.
    for (unsigned int field : {65537u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x12345679u, 0xFFFEFFFFu}) {
        Record rec = FileRecord();
        SetField32(rec.data(), 82, field);
        IniHolder ini(0);
        ASSERT_EQ(PutParaSections(ini, rec.data()), 0);
        Record back{};
        ASSERT_EQ(GetParaSections(ini, back.data()), 1);
        EXPECT_EQ(GetField32(back.data(), 82), field) << std::hex << field;
    }
    const std::pair<const char *, unsigned int> cases[] = {
        {"0.1", 6553u},                             // 6553.6, toward zero
        {"-0.1", static_cast<unsigned int>(-6553)}, // toward zero, two's complement
        {"40000", 0x00030000u},                     // 2^31 and up: no signed field, kept
        {"-40000", 0x00030000u},                    // below -2^31: kept
        {"32767.99998474121", 0x7FFFFFFFu},         // the largest field
        {"-32768", 0x80000000u},                    //
        {"1.000015258789062", 65537u},              // 65537 / 65536 written with 16 digits
        {"65536", 0x00030000u},
        {"-32768.5", 0x00030000u},
        {"1e300", 0x00030000u}, // beyond 32 bits: kept
    };
    for (const auto &c : cases) {
        IniHolder ini(0);
        Ini_PutString(ini, "EVALUATION 1", "Reference value", c.first);
        Record back{};
        SetField32(back.data(), 82, 0x00030000u);
        ASSERT_EQ(GetParaSections(ini, back.data()), 1);
        EXPECT_EQ(GetField32(back.data(), 82), c.second) << c.first;
    }
}

// ---- damaged files -------------------------------------------------------------------------------

TEST_F(ParaFileTest, FilesThatAreNoParameterFilesFailAndChangeNothing) {
    std::string garbage(8192, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    show(FileRecord());
    const Record before = panels();
    for (const std::string &c :
         {std::string(), garbage, Crlf("[CONNECTION]\nLast COM Port = 1\n"), std::string(300000, '[')}) {
        writeText(c);
        EXPECT_EQ(load(-1), before) << "record unchanged (" << c.size() << " bytes)";
        EXPECT_EQ(panels(), before) << "panels unchanged (" << c.size() << " bytes)";
    }
    path = MakePathname(ProgramDir(), "no-such-file.ini");
    EXPECT_EQ(load(-1), before);
    path = ProgramDir(); // a folder
    EXPECT_EQ(load(-1), before);
    EXPECT_TRUE(popups->lastMessage().empty());
}

TEST_F(ParaFileTest, ATruncatedFileReadsWhatItHolds) {
    show(FileRecord());
    send();
    std::string t = text();
    writeText(t.substr(0, t.find("[STOPP TIMER 0]") + 30)); // ends inside a key of STOPP TIMER 0
    show(OtherRecord());
    const Record r = load();
    EXPECT_EQ(r[PW_CHA_POWER], 1234);
    EXPECT_EQ(r[PW_TMR0_MODE], 0x0202);
    EXPECT_EQ(GetField32(r.data(), PW_TMR0_START), EVMASK_TMR0 & 0xA5A5A5A5u);
    EXPECT_EQ(GetField32(r.data(), PW_TMR0_STOP), 0u) << "the cut key and those after it are missing";
    EXPECT_EQ(GetField32(r.data(), PW_TMR1_START), 0u);
    EXPECT_EQ(r[PW_TMR1_OFFTIME], 4) << "scalars after the cut keep the panels' values";
}

// ---- the settings file --------------------------------------------------------------------------

TEST_F(ParaFileTest, ARestartBringsThePanelsBackAsTheyWereLeft) {
    writeText(Crlf("[SERIAL PORTS]\nCOM3 = \"/dev/ttyUSB7\"\n"));
    readApplicationVarsFromIni(path.c_str());

    show(FileRecord());
    const Record left = panels();
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);
    const std::string t = text();
    EXPECT_LT(t.find("[APPLICATION]"), t.find("[CHANNEL A]"));
    EXPECT_LT(t.find("[CHANNEL A]"), t.find("[SPECIAL FUNCTION]"));
    EXPECT_LT(t.find("[SPECIAL FUNCTION]"), t.find("[SERIAL PORTS]"));
    EXPECT_NE(t.find(Crlf("[SERIAL PORTS]\nCOM3 = \"/dev/ttyUSB7\"\n")), std::string::npos);
    EXPECT_NE(t.find(Crlf("[EVALUATION 2]\nMode = \"Channel B\"\n")), std::string::npos) << t;

    show(OtherRecord());
    const Record other = panels();
    readApplicationVarsFromIni(path.c_str());
    const Record back = panels();
    const std::set<int> carried = CarriedWords();
    for (int i = 0; i < PARAM_WORDS; ++i)
        EXPECT_EQ(back[i], carried.count(i) ? left[i] : other[i]) << "word " << i;
    EXPECT_TRUE(dialogs->calls.empty()) << "the settings file asks for no file";

    // A settings file without parameter sections leaves the panels alone.
    writeText(Crlf("[CONNECTION]\nLast COM Port = 2\n\n[APPLICATION]\nPanel pos. x = 10\n"));
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(panels(), back) << "no masks cleared, no rings reset";
}

} // namespace
