// Dimmed looks dimmed. The program is put in each state that matters as an
// operator would put it, each panel is shown beside the main panel in turn,
// and every button, check box and radio button on them is clicked with the
// mouse (the connection dialog's, which open links, are the link suites'). A control whose click
// has no effect (no frame at the simulator, no pop-up, no status text, no
// control or panel that changes) must be drawn dimmed, greyer than the same
// control enabled; a control that acts must be drawn enabled. Which groups
// each state sets is checked in the suites of the commands that set them.
#include "tests/recorder/recorder_fixture.h"

#include "link/dialog.h"
#include "maint/access.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/test_ids.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <map>
#include <sstream>

namespace {

// What the operator sees of one control.
struct Look {
    QPointer<QWidget> widget;
    bool visible = false, enabled = false, checked = false;
    QString text;
    double number = 0.0;
    bool operator==(const Look &o) const {
        return visible == o.visible && enabled == o.enabled && checked == o.checked && text == o.text &&
               number == o.number;
    }
};

Look lookOf(QWidget *w) {
    Look l;
    l.widget = w;
    l.visible = w->isVisible();
    l.enabled = w->isEnabled();
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        l.checked = b->isChecked();
        l.text = b->text();
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        l.text = e->text();
    } else if (auto *s = qobject_cast<QSpinBox *>(w)) {
        l.number = s->value();
    } else if (auto *d = qobject_cast<QDoubleSpinBox *>(w)) {
        l.number = d->value();
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        l.number = c->currentIndex();
        l.text = c->currentText();
    } else if (auto *t = qobject_cast<QLabel *>(w)) {
        l.text = t->text();
    }
    return l;
}

void restoreLook(const Look &l) {
    QWidget *w = l.widget;
    if (!w) return;
    const QSignalBlocker block(w);
    w->setVisible(l.visible);
    w->setEnabled(l.enabled);
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        b->setChecked(l.checked);
        b->setText(l.text);
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->setText(l.text);
    } else if (auto *s = qobject_cast<QSpinBox *>(w)) {
        s->setValue(static_cast<int>(l.number));
    } else if (auto *d = qobject_cast<QDoubleSpinBox *>(w)) {
        d->setValue(l.number);
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        c->setCurrentIndex(static_cast<int>(l.number));
    } else if (auto *t = qobject_cast<QLabel *>(w)) {
        t->setText(l.text);
    }
}

QWidget *panelWidget(int handle) {
    return static_cast<QWidget *>(GetPanelWidget(handle));
}

// The controls of a panel, its sub-panels' not counted (the panels stay
// loaded for the whole run).
const std::vector<QWidget *> &controlsOf(int handle) {
    static std::map<int, std::vector<QWidget *>> known;
    std::vector<QWidget *> &out = known[handle];
    if (!out.empty()) return out;
    QWidget *panel = panelWidget(handle);
    for (QWidget *w : panel->findChildren<QWidget *>()) {
        QWidget *owner = w->parentWidget();
        while (owner && owner != panel && !owner->property("panel").isValid())
            owner = owner->parentWidget();
        if (owner == panel && w->property("ctrlId").isValid()) out.push_back(w);
    }
    return out;
}

// Darkest grey level a widget is drawn with: text and frame of an enabled
// control are near black, the toolkit's disabled look is grey.
int darkest(QWidget *w) {
    const QImage image = w->grab().toImage();
    int least = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            least = std::min(least, qGray(image.pixel(x, y)));
    return least;
}

// Drawn dimmed: greyer than the same control drawn enabled.
bool drawnDimmed(QWidget *w) {
    if (w->isEnabled()) return false;
    const int dimmed = darkest(w);
    const QSignalBlocker block(w);
    w->setEnabled(true);
    const int enabled = darkest(w);
    w->setEnabled(false);
    return dimmed > enabled + 40;
}

enum class State { StandardIdle, ConnectedIdle, AutomaticReady, Run, TestMode, PausedRecording, ExpertMode };
const char *nameOf(State s) {
    switch (s) {
    case State::StandardIdle:
        return "standard mode, no link";
    case State::ConnectedIdle:
        return "connected, idle";
    case State::AutomaticReady:
        return "automatic recording ready";
    case State::Run:
        return "RUN";
    case State::TestMode:
        return "test mode";
    case State::PausedRecording:
        return "paused recording";
    case State::ExpertMode:
        return "expert mode";
    }
    return "?";
}

int g_statusTexts = 0;

class DimmedLooksTest : public RecorderTest {
  protected:
    std::vector<std::string> faults;
    int clicks = 0;

    void SetUp() override {
        RecorderTest::SetUp();
        SetPrintOutputFile(path("print.pdf"));
        SetStatusObserver([](const char *) { ++g_statusTexts; });
    }
    void TearDown() override {
        SetStatusObserver(nullptr);
        SetPrintOutputFile("");
        for (const PanelTableEntry &e : kPanelTable)
            RemovePopup(*e.handle);
        for (const PanelTableEntry &e : kPanelTable)
            HidePanel(*e.handle);
        onTick = nullptr;
        RecorderTest::TearDown();
    }

    void connect() {
        ASSERT_TRUE(openTcpLink(sim.tcpPort()));
        ApplyLinkState();
    }
    // The state before its loop (if any) starts.
    void prepare(State s) {
        for (const PanelTableEntry &e : kPanelTable)
            RemovePopup(*e.handle);
        ResetProgramState();
        ApplyLinkState();
        SetCtrlVal(panelRECORDER, RECORDER_TYPE, REC_TYPE_MANUAL);
        if (s != State::StandardIdle) connect();
        DisplayPanel(panelMAIN);
        if (s == State::TestMode) {
            OperateCtrl(panelTEST, TEST_CMD_ENTER);
            EXPECT_TRUE(OperationRunning(Operation::TestMode));
        }
        if (s == State::ExpertMode) {
            OperateCtrl(panelMAIN, MAIN_TOG_EXPERT);
            SetCtrlVal(panelEXPERT, EXPERT_PASSWORD, std::string(password));
            OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_EXPERT);
            EXPECT_EQ(send_get_status, 0) << "expert mode entered";
        }
        if (s == State::PausedRecording || s == State::AutomaticReady) {
            setType(REC_TYPE_AUTOMATIC);
            chooseFile(path("walk.csv"));
        }
        popups->shown.clear();
    }
    // Shows the main panel and one other, hides the rest.
    void showOnly(int handle) {
        for (const PanelTableEntry &e : kPanelTable)
            if (*e.handle != panelMAIN && *e.handle != handle && panelWidget(*e.handle)->isVisible())
                HidePanel(*e.handle);
        DisplayPanel(panelMAIN);
        DisplayPanel(handle);
        shown = {panelMAIN};
        if (handle != panelMAIN) shown.push_back(handle);
    }

    std::vector<int> shown;
    struct Before {
        std::vector<Look> looks;
        std::vector<bool> panels;
        int stop, recorderStop, paused, statusTexts;
        std::size_t frames, popupsShown;
        bool testMode, sampling;
        qint64 printed;
    };
    Before capture() {
        Before b;
        for (int handle : shown)
            for (QWidget *w : controlsOf(handle))
                b.looks.push_back(lookOf(w));
        for (const PanelTableEntry &e : kPanelTable)
            b.panels.push_back(panelWidget(*e.handle)->isVisible());
        b.stop = stop_flag;
        b.recorderStop = recorder_stop_flag;
        b.paused = recstate;
        b.statusTexts = g_statusTexts;
        b.frames = sim.requestLog().size();
        b.popupsShown = popups->shown.size();
        b.testMode = OperationRunning(Operation::TestMode);
        b.sampling = ControllerSampling();
        b.printed = QFileInfo(QString::fromStdString(path("print.pdf"))).size();
        return b;
    }
    bool unchangedSince(const Before &b) {
        const Before now = capture();
        return now.looks == b.looks && now.panels == b.panels && now.stop == b.stop &&
               now.recorderStop == b.recorderStop && now.paused == b.paused &&
               now.statusTexts == b.statusTexts && now.frames == b.frames &&
               now.popupsShown == b.popupsShown && now.printed == b.printed;
    }
    // Puts the panels and the loop flags back as they were before a click
    // that acted; test mode, stopped sampling and a continued run are ended
    // as the operator ends them.
    void restore(const Before &b) {
        for (const PanelTableEntry &e : kPanelTable)
            RemovePopup(*e.handle);
        auto putBack = [&] {
            for (std::size_t i = 0; i < kPanelCount; ++i) {
                QWidget *panel = panelWidget(*kPanelTable[i].handle);
                if (panel->isVisible() != b.panels[i]) panel->setVisible(b.panels[i]);
            }
            for (const Look &l : b.looks)
                if (l.widget && !(lookOf(l.widget) == l)) restoreLook(l);
        };
        putBack();
        if (OperationRunning(Operation::TestMode) && !b.testMode) OperateCtrl(panelTEST, TEST_CMD_EXIT);
        putBack();
        if (!ControllerSampling() && b.sampling) OperateCtrl(panelMAIN, MAIN_CMD_RESTART_SAMPLING);
        putBack();
        if (b.paused == 0 && recstate == 1 && recorder_stop_flag == 0)
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
        putBack();
        stop_flag = b.stop;
        recorder_stop_flag = b.recorderStop;
        recstate = b.paused;
    }

    // Clicks every shown button, check box and radio button of every panel
    // once, the main panel with one other panel at a time. `again` puts the
    // state back after a click that talked to the controller, where there
    // is no loop of the state's own to stay inside.
    void walk(State s, const std::function<void()> &again) {
        if (again)
            onTick = [] {
                // A click that starts a loop or a recording returns once it ends.
                if (stop_flag == 0) stop_flag = 1;
                if (recorder_stop_flag == 0) StopRecording();
            };
        for (const PanelTableEntry &e : kPanelTable) {
            // The connection dialog's commands open links: the link suites
            // click them, with addresses of their own.
            if (*e.handle == panelInterf) continue;
            showOnly(*e.handle);
            for (QWidget *w : controlsOf(*e.handle)) {
                if (!qobject_cast<QAbstractButton *>(w) || !w->isVisible()) continue;
                // A radio button or a panel selector that is on takes no
                // click, and shows why.
                const bool selects = qobject_cast<QRadioButton *>(w) ||
                                     w->property("callback").toString() == "CC_TOGBT_PNL_SELECTOR";
                if (selects && static_cast<QAbstractButton *>(w)->isChecked()) continue;
                clickOnce(s, w, again);
            }
        }
        if (again) onTick = nullptr;
    }

    // Commands that act on what the operator has chosen on their panel and
    // do nothing while nothing is chosen: the template commands with the
    // new-template entry, TEACH VECTOR without a selected row, the compare
    // view's ALL buttons without rows. And the stop commands, which stay
    // enabled with their groups whether or not something runs (STOP with
    // RUN and DATA, the recorder's BREAK and STOP with START): with nothing
    // running a click on them has nothing to end. The history's LIST reads
    // the journal again: with no new entries it shows the same list.
    static bool nothingToActOn(QWidget *w) {
        static const QStringList names = {"SETTINGS_A_LOAD", "SETTINGS_A_SAVE",   "SETTINGS_A_DELETE",
                                          "VECTORS_TEACH",   "COMPARE_ALL_PANEL", "COMPARE_ALL_CONTROLLER",
                                          "MAIN_CMD_STOP",   "RECORDER_BREAK",    "RECORDER_STOP",
                                          "HISTORY_LIST"};
        return names.contains(w->objectName());
    }

    void clickOnce(State s, QWidget *w, const std::function<void()> &again) {
        const bool enabled = w->isEnabled();
        const bool dimmedLook = drawnDimmed(w);
        QFile::remove(QString::fromStdString(path("print.pdf"))); // a print shows as the file
        const Before b = capture();
        // A check box or radio button takes the click on its indicator.
        const bool indicator = qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w);
        QTest::mouseClick(w, Qt::LeftButton, {}, indicator ? QPoint(7, w->height() / 2) : w->rect().center());
        ProcessSystemEvents();
        ++clicks;
        const bool ignored = unchangedSince(b);
        const std::string where = std::string(nameOf(s)) + ": " + w->objectName().toStdString();
        if (ignored && !dimmedLook && !nothingToActOn(w))
            faults.push_back(where + " ignores the click but is drawn enabled");
        if (!ignored && !enabled) faults.push_back(where + " is dimmed but the click acted");
        if (!enabled && !dimmedLook) faults.push_back(where + " is dimmed but drawn as enabled");
        if (ignored) return;
        const int current = shown.back();
        if (again && sim.requestLog().size() != b.frames) {
            again();
            showOnly(current);
        } else {
            restore(b);
        }
    }

    // The states whose loop runs: the walk happens inside the loop's waits.
    void walkInsideLoop(State s, const std::function<bool()> &ready, const std::function<void()> &start,
                        const std::function<void()> &end) {
        bool walked = false;
        onTick = [&] {
            if (walked || !ready()) return;
            walked = true;
            walk(s, nullptr);
            end();
            onTick = nullptr; // last: it ends the function that runs now
        };
        start();
        EXPECT_TRUE(walked) << nameOf(s);
    }
};

TEST_F(DimmedLooksTest, EveryControlThatIgnoresAClickIsDrawnDimmedAndNoOtherInEveryState) {
    for (State s : {State::StandardIdle, State::ConnectedIdle, State::AutomaticReady, State::TestMode,
                    State::ExpertMode}) {
        prepare(s);
        walk(s, [&] { prepare(s); });
    }
    prepare(State::Run);
    walkInsideLoop(
        State::Run, [] { return stop_flag == 0; }, [] { OperateCtrl(panelMAIN, MAIN_CMD_RUN); },
        [] { stop_flag = 1; });
    prepare(State::PausedRecording);
    walkInsideLoop(
        State::PausedRecording,
        [] {
            if (recorder_stop_flag != 0) return false;
            if (recstate == 1) OperateCtrl(panelRECORDER, RECORDER_BREAK);
            return recstate == 0;
        },
        [this] { runAutomatic(1000); }, [] { StopRecording(); });

    std::ostringstream all;
    for (const std::string &f : faults)
        all << f << "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " of " << clicks << " clicks:\n" << all.str();
    EXPECT_GT(clicks, 100);
}

} // namespace
