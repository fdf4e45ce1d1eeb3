// The main panel as the operator meets it: keyboard shortcuts pressed on the
// shown panel against the simulator, tooltips on every command, the
// measurement view's use of its space and the window's size on a laptop.
#include "tests/measure/measure_fixture.h"

#include "measure/navigation.h"
#include "ui/engine/widgets.h"

#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdlib>
#include <vector>

namespace {

QWidget *mainWidget() { return static_cast<QWidget *>(GetPanelWidget(panelMAIN)); }

class ShortcutTest : public MeasureTest {
  protected:
    void SetUp() override {
        MeasureTest::SetUp();
        DisplayPanel(panelMAIN);
        SetActivePanel(panelMAIN);
        ASSERT_TRUE(QTest::qWaitForWindowActive(mainWidget()));
    }
    void TearDown() override {
        HidePanel(panelMAIN);
        MeasureTest::TearDown();
    }
    static void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(mainWidget(), static_cast<Qt::Key>(key), mods);
    }
};

TEST_F(ShortcutTest, F5StartsRunAndF6StopsIt) {
    sim.useRealTime();
    bool ranUntilStop = false;
    onTick = [&] {
        if (sim.requestLog().size() >= 10 && stop_flag == 0) {
            ranUntilStop = true;
            onTick = nullptr;
            press(Qt::Key_F6);
        }
    };
    press(Qt::Key_F5); // returns when the loop has ended
    EXPECT_TRUE(ranUntilStop) << "F5 started the continuous measurement";
    EXPECT_EQ(stop_flag, 1) << "F6 stopped it";
    const auto log = frames();
    ASSERT_GE(log.size(), 10u);
    EXPECT_EQ(word(log[0], 0), 0x6401);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0) << "back to idle";
}

TEST_F(ShortcutTest, F7FetchesDataUntilF6) {
    onTick = [&] {
        if (sim.requestLog().size() >= 4 && stop_flag == 0) {
            onTick = nullptr;
            press(Qt::Key_F6);
        }
    };
    press(Qt::Key_F7);
    EXPECT_EQ(stop_flag, 1);
    ASSERT_FALSE(frames().empty());
    EXPECT_EQ(Attr(panelMAIN, MAIN_GRAPH, ATTR_VISIBLE), 1) << "the DATA view is up";
}

TEST_F(ShortcutTest, SendAndGetKeysTransferTheRecord) {
    OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
    sim.clearRequestLog();
    press(Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    auto log = frames();
    ASSERT_EQ(log.size(), 13u);
    for (const Request &r : log) EXPECT_EQ(command(r), 2) << "reads from RAM";
    EXPECT_EQ(StatusLine(), "Parameter set successfully loaded from RAM");

    sim.clearRequestLog();
    press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    log = frames();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(command(log[0]), 1) << "writes to RAM";
    EXPECT_EQ(StatusLine(), "Activating parameter ... Done!");
}

TEST_F(ShortcutTest, DimmedOrHiddenCommandIgnoresItsKey) {
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_DATA, MAIN_BTN_GET, MAIN_BTN_SEND})
        SetCtrlAttribute(panelMAIN, id, ATTR_DIMMED, 1);
    press(Qt::Key_F5);
    press(Qt::Key_F7);
    press(Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(frames().empty());
    EXPECT_EQ(stop_flag, 1);

    SetCtrlAttribute(panelMAIN, MAIN_BTN_GET, ATTR_DIMMED, 0);
    SetCtrlAttribute(panelMAIN, MAIN_BTN_GET, ATTR_VISIBLE, 0);
    press(Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    SetCtrlAttribute(panelMAIN, MAIN_BTN_GET, ATTR_VISIBLE, 1);
    EXPECT_TRUE(frames().empty()) << "a hidden command is not there to operate";
    set_main_buttons(1, 1, 1);
}

TEST_F(ShortcutTest, KeysWorkWhileASubPanelHasTheFocus) {
    OperateCtrl(panelMAIN, MAIN_TOG_SETTINGS);
    OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
    sim.clearRequestLog();
    QWidget *sub = static_cast<QWidget *>(GetPanelWidget(panelSETTINGS));
    ASSERT_TRUE(sub->isVisible());
    QTest::keyClick(sub, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(frames().size(), 13u);
    OperateCtrl(panelMAIN, MAIN_TOG_MEASURE);
}

// Every command button of every panel says what it does; the shortcut keys
// are named in their tooltips.
TEST(PanelTooltips, EveryCommandButtonHasOne) {
    EnsurePanelsLoaded();
    int commands = 0;
    for (int handle = 1; GetPanelWidget(handle); ++handle) {
        auto *panel = static_cast<QWidget *>(GetPanelWidget(handle));
        for (QPushButton *b : panel->findChildren<QPushButton *>()) {
            if (!b->property("ctrlId").isValid() || b->isCheckable()) continue;
            ++commands;
            EXPECT_FALSE(b->toolTip().trimmed().isEmpty()) << b->objectName().toStdString();
        }
    }
    EXPECT_GT(commands, 40);
    auto tip = [](int id) { return static_cast<QWidget *>(GetCtrlWidget(panelMAIN, id))->toolTip().toStdString(); };
    EXPECT_NE(tip(MAIN_CMD_RUN).find("(F5)"), std::string::npos) << tip(MAIN_CMD_RUN);
    EXPECT_NE(tip(MAIN_CMD_STOP).find("(F6)"), std::string::npos);
    EXPECT_NE(tip(MAIN_CMD_DATA).find("(F7)"), std::string::npos);
    EXPECT_NE(tip(MAIN_BTN_SEND).find("Shift+S)"), std::string::npos) << tip(MAIN_BTN_SEND);
    EXPECT_NE(tip(MAIN_BTN_GET).find("Shift+G)"), std::string::npos);
}

// The strip chart and the DATA graph take turns in one place, so hiding one
// leaves no hole; on a 1366x768 laptop (a task bar and a title bar off the
// height) the whole main panel is on the screen.
TEST(MainPanelLayout, OneMeasurementPlaceAndLaptopSize) {
    EnsurePanelsLoaded();
    auto geo = [](int id) { return static_cast<QWidget *>(GetCtrlWidget(panelMAIN, id))->geometry(); };
    EXPECT_EQ(geo(MAIN_GRAPH).topLeft(), geo(MAIN_STRIPCHART).topLeft());
    EXPECT_EQ(geo(MAIN_GRAPH).height(), geo(MAIN_STRIPCHART).height());
    EXPECT_EQ(geo(MAIN_RNG_XSCALE).top(), geo(MAIN_NUM_POINTS).top());
    EXPECT_GE(geo(MAIN_STRIPCHART).height(), 380) << "the view uses the height the two graphs shared";
    EXPECT_LT(geo(MAIN_NUM_POINTS).bottom(), geo(MAIN_CMD_RUN).top());
    int w = 0, h = 0;
    GetPanelAttribute(panelMAIN, ATTR_WIDTH, &w);
    GetPanelAttribute(panelMAIN, ATTR_HEIGHT, &h);
    EXPECT_LE(w, 1366);
    EXPECT_LE(h, 768 - 48 - 30);
}

// Nothing on the main panel lies over anything else (the decorations behind
// groups aside), and the record lamp stays clear of the area the sub-panels
// take, so it is seen whichever panel is up.
TEST(MainPanelLayout, NoControlCoversAnother) {
    EnsurePanelsLoaded();
    QWidget *panel = mainWidget();
    std::vector<QWidget *> shown;
    for (QObject *o : panel->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || !w->isVisibleTo(panel) || w->property("panel").isValid()) continue;
        if (QString(w->metaObject()->className()) == "QFrame") continue; // a decoration behind a group
        shown.push_back(w);
    }
    ASSERT_GT(shown.size(), 30u);
    for (std::size_t i = 0; i < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << shown[i]->objectName().toStdString() << " / " << shown[j]->objectName().toStdString();
    const QRect subPanels(110, 105, 680, 468);
    EXPECT_FALSE(static_cast<QWidget *>(GetCtrlWidget(panelMAIN, MAIN_LED_RECORD))->geometry().intersects(subPanels));
}

// Every panel shown inside the main panel stays in the area between the
// indicators and the command rows, so RUN, STOP, the memory row, PRINT and
// REPORT are never covered while a panel is up.
TEST(MainPanelLayout, SubPanelsLeaveTheCommandRowsFree) {
    EnsurePanelsLoaded();
    const QRect subPanels(110, 105, 680, 468);
    const QRect commands = static_cast<QWidget *>(GetCtrlWidget(panelMAIN, MAIN_CMD_RUN))->geometry();
    ASSERT_LE(subPanels.bottom(), commands.top());
    int children = 0;
    for (const PanelTableEntry &e : kPanelTable) {
        if (!e.child) continue;
        ++children;
        int w = 0, h = 0;
        GetPanelAttribute(*e.handle, ATTR_WIDTH, &w);
        GetPanelAttribute(*e.handle, ATTR_HEIGHT, &h);
        EXPECT_TRUE(subPanels.contains(QRect(e.left, e.top, w, h))) << e.file << " " << e.resource << ": " << e.left
                                                                   << "," << e.top << " " << w << "x" << h;
    }
    EXPECT_GT(children, 20);
}

// An LED that is off still shows where it is, even when its off colour is
// the panel's own; lit and unlit differ at a glance.
TEST(MainPanelLayout, LedIsVisibleWhenOff) {
    QWidget back;
    back.resize(40, 40);
    back.setAutoFillBackground(true);
    const QColor panel = back.palette().color(QPalette::Window);
    for (bool lamp : {false, true}) {
        QvLed *led = lamp ? new QvLamp(&back) : new QvLed(&back);
        led->setGeometry(10, 10, 20, 20);
        led->setOffColor(panel);
        led->setOn(false);
        QImage img = back.grab().toImage();
        int strongest = 0;
        for (int x = 10; x < 30; ++x)
            strongest = std::max(strongest, std::abs(img.pixelColor(x, 20).lightness() - panel.lightness()));
        EXPECT_GT(strongest, 80) << "the lamp's outline stands out from the panel";
        const QColor off = img.pixelColor(20, 20);
        led->setOn(true);
        img = back.grab().toImage();
        EXPECT_NE(img.pixelColor(18, 18), off);
        delete led;
    }
}

// Pictures of the main panel for a look by eye: set QVEX_SHOTS to a folder
// and run this test (under xvfb-run to see the window as a desktop shows it).
class MainPanelPictures : public MeasureTest {};

TEST_F(MainPanelPictures, Write) {
    const char *dirEnv = std::getenv("QVEX_SHOTS");
    if (!dirEnv) GTEST_SKIP() << "QVEX_SHOTS not set";
    const QString dir = QString::fromLocal8Bit(dirEnv);
    QDir().mkpath(dir);
    for (const PanelTableEntry &e : kPanelTable)
        if (e.child) SetPanelPos(*e.handle, e.top, e.left);
    DisplayPanel(panelMAIN);
    SetPanelPos(panelMAIN, VAL_AUTO_CENTER, VAL_AUTO_CENTER);
    QWidget *w = mainWidget();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    auto shoot = [&](const char *name) {
        WaitForSystemEvents(0.2);
        w->grab().save(dir + "/" + name + ".png");
        if (QScreen *s = QGuiApplication::primaryScreen()) s->grabWindow(0).save(dir + "/" + name + "-screen.png");
    };
    shoot("start");
    auto runFor = [&](int control, int requests, const char *name) {
        onTick = [&, requests, name] {
            if (static_cast<int>(sim.requestLog().size()) >= requests && stop_flag == 0) {
                const char *picture = name; // clearing onTick ends this closure
                onTick = nullptr;
                shoot(picture);
                OperateCtrl(panelMAIN, MAIN_CMD_STOP);
            }
        };
        sim.clearRequestLog();
        OperateCtrl(panelMAIN, control);
    };
    sim.useRealTime();
    ShowTraces({1, 2, 3, 4, 9, 14});
    runFor(MAIN_CMD_RUN, 200, "run");
    runFor(MAIN_CMD_DATA, 20, "data");
    OperateCtrl(panelMAIN, MAIN_TOG_RECORDER);
    runFor(MAIN_CMD_RUN, 200, "recorder-run");
    runFor(MAIN_CMD_DATA, 20, "recorder-data");
    OperateCtrl(panelMAIN, MAIN_TOG_POWER);
    shoot("power");
    OperateCtrl(panelMAIN, MAIN_TOG_MEASURE);
    HidePanel(panelMAIN);
}

} // namespace
