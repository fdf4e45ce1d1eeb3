// Start-up and shutdown of the real program: in-process through WinMain and
// as a process of its own.
#include "tests/fixtures/program.h"

#include "app/settings.h"
#include "measure/sampling.h"
#include "sim/runner.h"
#include "sim/server.h"
#include "ui/panels/bigdata_ids.h"
#include "ui/panels/compare_ids.h"
#include "ui/panels/recview_ids.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/intensity_ids.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/recorder_ids.h"
#include "ui/panels/settings_ids.h"
#include "ui/panels/test_ids.h"
#include "ui/panels/update_ids.h"
#include "ui/panels/vectors_ids.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <fstream>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs WinMain with `during` called once the event loop is running.
// The program starts as the process would: from its start-up state, with
// none of the panels that other tests of this program keep loaded.
int RunProgram(const std::function<void()> &during, std::vector<std::string> args = {}) {
    ResetProgramState();
    DiscardAllPanels();
    SetProjectDir(ProgramDir());
    SetPanelResourceDir(BuildDir());
    QTimer::singleShot(0, during);
    args.insert(args.begin(), "qvex-scope");
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return WinMain(static_cast<int>(args.size()), argv.data());
}

struct PanelFile {
    const char *file;
    const PanelCtrlKind *kinds;
    std::size_t count;
};

template <std::size_t N> PanelFile Describe(const char *file, const PanelCtrlKind (&kinds)[N]) {
    return {file, kinds, N};
}

int HandleOf(const char *file, int resource) {
    for (const PanelTableEntry &e : kPanelTable)
        if (std::string(e.file) == file && e.resource == resource) return *e.handle;
    return 0;
}

TEST(Boot, AllPanelsLoadWithTheirControlsAndTheMainPanelCloses) {
    ScriptedPopups popups;
    bool checked = false;
    int rc = RunProgram([&] {
        std::set<int> handles;
        for (const PanelTableEntry &e : kPanelTable) handles.insert(*e.handle);
        EXPECT_EQ(handles.size(), static_cast<std::size_t>(kPanelCount));
        EXPECT_EQ(*handles.begin(), 1);
        EXPECT_EQ(panelMAIN, 1);
        EXPECT_EQ(panelVDROP, 0);

        // Every named control exists in its panel with the kind the program expects.
        const PanelFile files[] = {
            Describe(MAIN_UI_FILE, MAIN_UI_CTRL_KINDS),         Describe(UPDATE_UI_FILE, UPDATE_UI_CTRL_KINDS),
            Describe(TEST_UI_FILE, TEST_UI_CTRL_KINDS),         Describe(RECORDER_UI_FILE, RECORDER_UI_CTRL_KINDS),
            Describe(INTENSITY_UI_FILE, INTENSITY_UI_CTRL_KINDS), Describe(POWER_UI_FILE, POWER_UI_CTRL_KINDS),
            Describe(SETTINGS_UI_FILE, SETTINGS_UI_CTRL_KINDS), Describe(OUTPUTS_UI_FILE, OUTPUTS_UI_CTRL_KINDS),
            Describe(FILTER_UI_FILE, FILTER_UI_CTRL_KINDS),     Describe(EXPERT_UI_FILE, EXPERT_UI_CTRL_KINDS),
            Describe(VECTORS_UI_FILE, VECTORS_UI_CTRL_KINDS),   Describe(BIGDATA_UI_FILE, BIGDATA_UI_CTRL_KINDS),
            Describe(COMPARE_UI_FILE, COMPARE_UI_CTRL_KINDS),   Describe(RECVIEW_UI_FILE, RECVIEW_UI_CTRL_KINDS),
        };
        for (const PanelFile &f : files) {
            for (std::size_t i = 0; i < f.count; ++i) {
                const PanelCtrlKind &k = f.kinds[i];
                const int handle = HandleOf(f.file, k.panelResource);
                ASSERT_GT(handle, 0) << f.file << " resource " << k.panelResource;
                auto *w = static_cast<QWidget *>(GetCtrlWidget(handle, k.ctrlId));
                ASSERT_NE(w, nullptr) << f.file << " panel " << k.panelResource << " id " << k.ctrlId;
                EXPECT_STREQ(w->metaObject()->className(), k.qtClass) << f.file << " id " << k.ctrlId;
            }
        }

        // Start-up state.
        EXPECT_EQ(StatusLine(), "Q-VEX-MOD7-ARC Scope v1.0x (Build 01/2010)");
        int v = -1;
        GetPanelAttribute(panelMAIN, ATTR_VISIBLE, &v);
        EXPECT_EQ(v, 1);
        GetPanelAttribute(panelMAIN, ATTR_WINDOW_ZOOM, &v);
        EXPECT_EQ(v, VAL_NO_ZOOM);
        GetPanelAttribute(panelRECORDER, ATTR_LEFT, &v);
        EXPECT_EQ(v, 520);
        GetPanelAttribute(panelRECORDER, ATTR_TOP, &v);
        EXPECT_EQ(v, 125);
        GetPanelAttribute(panelSHOW, ATTR_LEFT, &v);
        EXPECT_EQ(v, 125);
        GetPanelAttribute(panelSHOW, ATTR_TOP, &v);
        EXPECT_EQ(v, 175);
        GetCtrlVal(panelMAIN, MAIN_TOG_UPDATE, &v);
        EXPECT_EQ(v, 0);
        GetCtrlAttribute(panelInterf, INTERF_ADDRESS, ATTR_VISIBLE, &v);
        EXPECT_EQ(v, 0);
        GetCtrlAttribute(panelEXPERT, EXPERT_PASSWORD, ATTR_PASSWORD_MAX_LENGTH, &v);
        EXPECT_EQ(v, 20);
        GetCtrlAttribute(panelSETTINGS_A, SETTINGS_A_TEMPLATE, ATTR_WIDTH, &v);
        EXPECT_EQ(v, 305);
        // The empty strip chart's value axis is the range its margin control
        // (4095 at the start) gives, not the engine's bare default.
        int mode = -1;
        double lo = -1, hi = -1;
        GetAxisScalingMode(panelMAIN, MAIN_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(lo, 0.0);
        EXPECT_EQ(hi, 4095.0);
        EXPECT_EQ(stop_flag, 1);
        EXPECT_EQ(rs232con + tcpcon, 0);
        checked = true;
        OperateClosePanel(panelMAIN);
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(GetPanelWidget(1), nullptr) << "panels are discarded at the end";
    EXPECT_EQ(panelMAIN, 0);
    EXPECT_TRUE(popups.shown.empty());
}

TEST(Boot, OpenOnTheCommandLineShowsTheRecordFileInTheViewer) {
    ScriptedPopups popups;
    QTemporaryDir dir;
    const std::string file = dir.filePath("week.csv").toStdString();
    const std::string text = "Logfile for recorded data.\r\nDate:,12-07-2026\r\nTime:,10:00:00\r\n\r\n"
                             "INDEX,TIMESTAMP,RESULT A,NORM A,RAW A,MAX{ RAW A },RESULT B,NORM B,RAW B,MAX{ RAW B },"
                             "EVAL 1,EVAL 2,\r\n0,10:00:00,1,2,3,4,5,6,7,8,1.000,2.000,";
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), qint64(text.size()));
    }
    bool checked = false;
    const int rc = RunProgram(
        [&] {
            int visible = 0;
            GetPanelAttribute(panelRECVIEW, ATTR_VISIBLE, &visible);
            EXPECT_EQ(visible, 1);
            std::string shown;
            GetCtrlVal(panelRECVIEW, RECVIEW_FILE_NAME, &shown);
            // No closing line after the row: a file that may still be being recorded is followed.
            EXPECT_EQ(shown, file + ": 1 row, 0 graph sections, 0 lines skipped, following");
            checked = true;
            OperateClosePanel(panelMAIN);
        },
        {"--open", file});
    EXPECT_TRUE(checked);
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(popups.shown.empty());
}

TEST(Boot, ClosingTheMainPanelStopsTheLoopAndClosesTheLink) {
    ScriptedPopups popups;
    sim::SimThread sim;
    ASSERT_TRUE(sim.start(true, false));
    bool disconnected = false;
    QObject::connect(sim.simulator(), &sim::Simulator::tcpClientDisconnected, [&] { disconnected = true; });
    int rc = RunProgram([&] {
        comprotocol = 1;
        std::snprintf(ipBuf, sizeof ipBuf, "127.0.0.1");
        portNum = sim.tcpPort();
        tcpcon = InitTCP_IP(1);
        ASSERT_EQ(tcpcon, 1);
        stop_flag = 0; // as if a measuring loop ran
        OperateClosePanel(panelMAIN);
        EXPECT_EQ(stop_flag, 1);
        EXPECT_EQ(tcpcon, 0);
        EXPECT_EQ(g_hconversation, 0u);
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(WaitUntil([&] { return disconnected; }));
    EXPECT_TRUE(popups.shown.empty()) << "our own disconnect is not reported as a lost server";
}

TEST(Boot, ARestartOffersTheLastAddressAndPort) {
    ScriptedPopups popups;
    sim::SimThread sim;
    ASSERT_TRUE(sim.start(true, false));
    std::remove(MakePathname(ProgramDir(), "Q-VEX-MOD7-ARC-Scope.ini").c_str());
    RunProgram([&] {
        OperateCtrl(panelMAIN, MAIN_CONNECT);
        OperateCtrl(panelInterf, INTERF_PROTOCOL, 1);
        OperateCtrl(panelInterf, INTERF_ADDRESS, std::string("127.0.0.1"));
        SetCtrlVal(panelInterf, INTERF_TCPPORT, std::to_string(sim.tcpPort()));
        SetCtrlVal(panelInterf, INTERF_COMPORT, 6);
        OperateCtrl(panelInterf, INTERF_TRY);
        EXPECT_EQ(tcpcon, 1);
        OperateCtrl(panelInterf, INTERF_ACCEPT);
        OperateClosePanel(panelMAIN);
    });
    std::vector<std::string> history;
    int port = 0;
    RunProgram([&] {
        int n = 0;
        Combo_GetNumItems(panelInterf, INTERF_ADDRESS, &n);
        for (int i = 0; i < n; ++i) {
            std::string item;
            Combo_GetItem(panelInterf, INTERF_ADDRESS, i, &item);
            if (!item.empty()) history.push_back(item);
        }
        GetCtrlVal(panelInterf, INTERF_COMPORT, &port);
        OperateClosePanel(panelMAIN);
    });
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0], "127.0.0.1");
    EXPECT_EQ(history[1], kDefaultServerAddress);
    EXPECT_EQ(port, 6);
}

// Along one direction: inside the screen, or at its start when too large.
bool Shown(int at, int size, int areaAt, int areaSize) {
    return size > areaSize ? at == areaAt : at >= areaAt && at + size <= areaAt + areaSize;
}

TEST(Boot, APositionFromAScreenThatIsGoneOpensOnAScreenThatIsThere) {
    ScriptedPopups popups;
    const std::string settings = MakePathname(ProgramDir(), "Q-VEX-MOD7-ARC-Scope.ini");
    auto openAt = [&](int x, int y) {
        std::ofstream(settings, std::ios::binary) << "[APPLICATION]\r\nPanel max = 0\r\nPanel pos. x = " << x
                                                  << "\r\nPanel pos. y = " << y << "\r\n";
        QRect panelRect;
        RunProgram([&] {
            panelRect = static_cast<QWidget *>(GetPanelWidget(panelMAIN))->frameGeometry();
            OperateClosePanel(panelMAIN);
        });
        return panelRect;
    };
    for (const auto &[x, y] : {std::pair{5000, 4000}, std::pair{-900, 20}, std::pair{-50, -50}}) {
        const QRect panel = openAt(x, y);
        QRect area;
        for (const QScreen *s : QGuiApplication::screens())
            if (s->availableGeometry().contains(panel.topLeft())) area = s->availableGeometry();
        SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
        ASSERT_FALSE(area.isEmpty()) << "top left corner on no screen";
        EXPECT_TRUE(Shown(panel.x(), panel.width(), area.x(), area.width())) << panel.x();
        EXPECT_TRUE(Shown(panel.y(), panel.height(), area.y(), area.height())) << panel.y();
    }
    // A position the screen shows is kept.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect panel = openAt(area.x() + 3, area.y() + 4);
    EXPECT_EQ(panel.y(), area.y() + 4);
    EXPECT_EQ(panel.x(), panel.width() <= area.width() ? area.x() + 3 : area.x());
    std::remove(settings.c_str());
}

// The real executable, in a folder of its own with copies of the panel files.
class BootProcess : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString exe;
    void SetUp() override {
        exe = dir.filePath("qvex-scope");
        ASSERT_TRUE(QFile::copy(QVEX_SCOPE_BIN, exe));
        QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);
        for (const QString &ui : QDir(QString::fromStdString(BuildDir())).entryList({"*.ui"}))
            ASSERT_TRUE(QFile::copy(QString::fromStdString(BuildDir()) + "/" + ui, dir.filePath(ui)));
    }
    void start(QProcess &p, const QStringList &args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(exe, args);
        ASSERT_TRUE(p.waitForStarted(5000));
    }
};

TEST_F(BootProcess, RunsUntilAskedToEndThenExitsNormally) {
    QProcess p;
    start(p);
    EXPECT_FALSE(p.waitForFinished(1500)) << "the program must keep running: " << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

// A record file that cannot be shown leaves an error box open from the start:
// a termination signal still ends the program normally.
TEST_F(BootProcess, EndsOnSigtermWhileTheBoxOfAFileThatCannotBeShownIsOpen) {
    const QString bad = dir.filePath("bad.csv");
    std::ofstream(bad.toStdString(), std::ios::binary) << "Time,Value\r\n1,2\r\n";
    QProcess p;
    start(p, {"--open", bad});
    EXPECT_FALSE(p.waitForFinished(1500)) << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000)) << "the box held the program";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

// A file-size limit (a shell's ulimit -f, SIGXFSZ at its default action)
// below the settings file's size: the program still ends normally, the old
// settings file stays whole and no temporary file is left.
TEST_F(BootProcess, AFileSizeLimitAtExitKeepsTheOldSettingsAndLeavesNoTemporaryFile) {
    const QString settings = dir.filePath("Q-VEX-MOD7-ARC-Scope.ini");
    const std::string old = "[CONNECTION]\r\nLast COM Port = 7\r\n";
    std::ofstream(settings.toStdString(), std::ios::binary) << old;
    QProcess p;
    p.setChildProcessModifier([] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    start(p);
    EXPECT_FALSE(p.waitForFinished(1500)) << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    std::ifstream kept(settings.toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), old);
    EXPECT_EQ(QDir(dir.path()).entryList({"ini$$*"}, QDir::Files | QDir::Hidden), QStringList{});
}

// Installed where its user cannot write, the program reads the settings file
// an administrator put beside it (with the serial-port names the README
// describes) and keeps its own settings in the user's data directory.
TEST_F(BootProcess, AnInstalledProgramReadsTheSettingsBesideItAndWritesItsOwn) {
    if (geteuid() != 0) GTEST_SKIP() << "runs the program as another user, which needs root";
    constexpr uid_t kNobody = 65534;
    const QString beside = dir.filePath("Q-VEX-MOD7-ARC-Scope.ini");
    const std::string installed = "[CONNECTION]\r\nLast COM Port = 7\r\nIP History 0 = \"127.0.0.9\"\r\n\r\n"
                                  "[SERIAL PORTS]\r\nCOM7 = \"/dev/ttyS0\"\r\n";
    std::ofstream(beside.toStdString(), std::ios::binary) << installed;
    ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
    ASSERT_EQ(::chmod(exe.toLocal8Bit().constData(), 0755), 0);
    QTemporaryDir home;
    ASSERT_EQ(::chmod(home.path().toLocal8Bit().constData(), 0700), 0);
    ASSERT_EQ(::chown(home.path().toLocal8Bit().constData(), kNobody, kNobody), 0);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_CACHE_HOME", home.filePath("cache"));
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.remove("XDG_RUNTIME_DIR");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(home.path());
    p.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(99);
    });
    p.start(exe, {});
    ASSERT_TRUE(p.waitForStarted(5000));
    EXPECT_FALSE(p.waitForFinished(1500)) << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    QDirIterator found(home.filePath("data"), {"Q-VEX-MOD7-ARC-Scope.ini"}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    ASSERT_TRUE(found.hasNext()) << "no settings file in the user's data directory";
    QFile own(found.next());
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    const std::string written = own.readAll().toStdString();
    EXPECT_NE(written.find("Last COM Port = 7\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("IP History 0 = \"127.0.0.9\"\r\n"), std::string::npos) << written;
    EXPECT_EQ(written.find("[SERIAL PORTS]"), std::string::npos) << "the port names stay in the administrator's file";
    std::ifstream again(beside.toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), installed) << "the file beside is only read";
}

TEST_F(BootProcess, AMissingPanelFileEndsTheProgramWithMinusOne) {
    ASSERT_TRUE(QFile::remove(dir.filePath("Vectors.ui")));
    QProcess p;
    start(p);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(static_cast<signed char>(p.exitCode()), -1);
}

} // namespace

// The file dialogs' history and the per-user data directory of a test go to
// a home of the test program's own, never into the home of whoever runs the
// tests (where a dead "test_..." entry would stay in every later dialog).
TEST(Boot, TestProgramsWriteNothingIntoTheRunnersHome) {
    const passwd *account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const QString runnersHome = QDir(QString::fromLocal8Bit(account->pw_dir)).canonicalPath();
    const QString home = QDir(QDir::homePath()).canonicalPath();
    EXPECT_NE(home, runnersHome);
    for (auto where : {QStandardPaths::GenericConfigLocation, QStandardPaths::AppDataLocation,
                       QStandardPaths::GenericCacheLocation}) {
        const QString path = QStandardPaths::writableLocation(where);
        EXPECT_TRUE(path.startsWith(QDir::homePath() + '/')) << path.toStdString();
        EXPECT_FALSE(path.startsWith(runnersHome + '/')) << path.toStdString();
    }
}
