// The one table of parameter words: its rows agree with each other and with
// the panels. How the binding and the parameter file use it is covered by
// test_binding and test_parafile; nothing here repeats their cases.
#include "tests/fixtures/program.h"

#include "ini/inifile.h"
#include "params/binding.h"
#include "params/parafile.h"
#include "params/words.h"

#include <array>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Record = std::array<unsigned short, PARAM_WORDS>;

// The bits each control of a row reads back into the record, as
// (control, word, bits); shown-only controls read nothing.
struct ReadBits {
    int *handle;
    int control, word;
    unsigned short bits;
};

std::vector<ReadBits> readBitsOf(const ParamWord &w) {
    std::vector<ReadBits> out;
    auto box = [&](int control, int word, int bit) {
        out.push_back({w.handle, control, word, static_cast<unsigned short>(1u << bit)});
    };
    switch (w.panel) {
    case PanelHolds::Word:
    case PanelHolds::Combination: out.push_back({w.handle, w.control, w.word, 0xFFFF}); break;
    case PanelHolds::Fixed:
        out.push_back({w.handle, w.control, w.word, 0xFFFF});
        out.push_back({w.handle, w.control, w.word + 1, 0xFFFF});
        break;
    case PanelHolds::Bit: box(w.control, w.word, w.shift); break;
    case PanelHolds::Part: out.push_back({w.handle, w.control, w.word, w.mask}); break;
    case PanelHolds::EventBoxes:
        for (int i = 0; i < EDGE_COUNT; ++i)
            if (w.offered & (1u << kEdgeConditions[i].bit))
                box(w.control + i, w.word + EventWord(kEdgeConditions[i].bit), EventWordBit(kEdgeConditions[i].bit));
        break;
    case PanelHolds::GroupBoxes:
        for (int i = 0; w.control && i < EDGE_COUNT; ++i)
            box(w.control + i, w.word + CG_EDGE + EventWord(kEdgeConditions[i].bit),
                EventWordBit(kEdgeConditions[i].bit));
        for (int i = 0; w.levelBoxes && i < LEVEL_COUNT; ++i)
            box(w.levelBoxes + i, w.word + kLevelConditions[i].word, kLevelConditions[i].bit);
        for (int i = 0; w.evalBoxes && i < EVAL_CONDITION_COUNT; ++i)
            box(w.evalBoxes + i, w.word + kEvalConditions[i].word, kEvalConditions[i].bit);
        break;
    default: break; // shown only: the inverse of a bit, "no filter", the interval factor
    }
    return out;
}

class ParamWordsTest : public ProgramTest {};

// Two controls that fill the same bits would make the record depend on the
// order the panels are read in; one control bound twice shows a field the
// operator cannot tell from another.
TEST_F(ParamWordsTest, NoTwoControlsReadTheSameBitsAndNoControlIsBoundTwice) {
    std::map<int, unsigned short> taken;
    std::set<std::pair<int, int>> controls;
    for (std::size_t n = 0; n < kParamWordCount; ++n) {
        const ParamWord &w = kParamWords[n];
        const bool boxes = w.panel == PanelHolds::EventBoxes || w.panel == PanelHolds::GroupBoxes;
        if (w.handle && !boxes) {
            EXPECT_TRUE(controls.insert({*w.handle, w.control}).second) << "row " << n << " control bound twice";
        }
        for (const ReadBits &r : readBitsOf(w)) {
            ASSERT_LT(r.word, PARAM_WORDS) << "row " << n;
            EXPECT_EQ(taken[r.word] & r.bits, 0) << "row " << n << " word " << r.word << " bits " << r.bits;
            taken[r.word] |= r.bits;
            if (boxes) {
                EXPECT_TRUE(controls.insert({*r.handle, r.control}).second) << "row " << n << " box " << r.control;
            }
        }
    }
    for (int fixed : {PW_MARKER, PW_FIXED_75, PW_FIXED_77})
        EXPECT_EQ(taken.count(fixed), 0u) << "word " << fixed << " is written with its fixed value";
}

// A file key whose field no control reads would be lost on the next read of
// the panels; a section split in two would be written twice.
TEST_F(ParamWordsTest, EveryFiledFieldIsReadByItsOwnControlAndSectionsAreContiguous) {
    std::set<std::string> closed, keys;
    std::string open;
    for (std::size_t n = 0; n < kParamWordCount; ++n) {
        const ParamWord &w = kParamWords[n];
        if (w.file == FileHolds::None) {
            EXPECT_EQ(w.key, nullptr) << "row " << n;
            continue;
        }
        ASSERT_NE(w.section, nullptr) << "row " << n;
        if (open != w.section) {
            EXPECT_TRUE(closed.insert(open).second || open.empty()) << open;
            EXPECT_EQ(closed.count(w.section), 0u) << "section " << w.section << " appears twice";
            open = w.section;
        }
        if (w.key) {
            EXPECT_TRUE(keys.insert(open + "|" + w.key).second) << "[" << open << "] " << w.key;
        }
        EXPECT_FALSE(readBitsOf(w).empty()) << "[" << w.section << "] row " << n << " is read by no control";
        // A part that the file writes as a byte or a label is the one its control holds.
        if (w.panel == PanelHolds::Part) {
            EXPECT_TRUE(w.file == FileHolds::Byte || w.file == FileHolds::Label || w.file == FileHolds::LabelLeads ||
                        w.file == FileHolds::LabelRebuilt)
                << "row " << n;
        }
    }
}

// Records as the panels hold them go to a parameter file and back onto the
// panels; every word the file carries comes back as it was, and the keys
// and values the file names for them again are the same.
TEST_F(ParamWordsTest, RecordsGoThroughPanelsFileAndPanelsWordForWord) {
    std::set<int> carried;
    for (std::size_t n = 0; n < kParamWordCount; ++n) {
        const ParamWord &w = kParamWords[n];
        if (w.file == FileHolds::None) continue;
        const int span = w.file == FileHolds::Real ? 2 : std::max(1, ParamWordSpan(w));
        for (int i = 0; i < span; ++i) carried.insert(w.word + i);
    }
    std::mt19937 random(7);
    int differing = 0;
    for (int round = 0; round < 20; ++round) {
        Record start;
        for (auto &v : start) v = static_cast<unsigned short>(random());
        SetPanelValues(start.data());
        Record panels = start;
        GetPanelValues(panels.data()); // what the panels can hold of it

        IniHolder first(0);
        ASSERT_EQ(PutParaSections(first, panels.data()), 0);
        Record other;
        other.fill(0xA5A5);
        SetPanelValues(other.data());
        GetPanelValues(other.data());
        Record back = other;
        std::vector<RefusedParaValue> refused;
        ASSERT_EQ(GetParaSections(first, back.data(), &refused), 1);
        EXPECT_TRUE(refused.empty()) << RefusedParaValuesText(refused, 5);
        SetPanelValues(back.data());
        Record shown = back;
        GetPanelValues(shown.data());
        for (int i : carried) {
            EXPECT_EQ(shown[i], panels[i]) << "round " << round << " word " << i;
            differing += panels[i] != other[i];
        }
        IniHolder second(0);
        ASSERT_EQ(PutParaSections(second, shown.data()), 0);
        EXPECT_EQ(MissingParaKeys(second), MissingParaKeys(first));
        EXPECT_EQ(ShownParaValues(shown.data()).size(), ShownParaValues(panels.data()).size());
        const auto a = ShownParaValues(panels.data()), b = ShownParaValues(shown.data());
        for (std::size_t s = 0; s < a.size() && s < b.size(); ++s) EXPECT_EQ(a[s].keys, b[s].keys) << a[s].name;
    }
    EXPECT_GT(differing, 20 * 60) << "the records must differ from the baseline for this test to mean anything";
}

} // namespace
