// Panels: loading from .ui resources, the callback registry, event dispatch,
// panel attributes. The event loop and waiting are events.cpp's.
#include "ui/engine/engine_p.h"
#include "ui/engine/numbers.h"
#include "ui/engine/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QUiLoader>

#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace engine {
namespace {

std::map<std::string, CtrlCallbackPtr> &registry() {
    static std::map<std::string, CtrlCallbackPtr> r;
    return r;
}

std::vector<std::unique_ptr<PanelRec>> g_panels; // handle = index + 1
std::string g_resourceDir;
QApplication *g_app = nullptr;
bool g_ownApp = false;
int g_waitCursor = 0;

// Loader that builds our custom controls.
class PanelLoader : public QUiLoader {
  public:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override {
        QWidget *w = nullptr;
        if (className == "QvLed") w = new QvLed(parent);
        else if (className == "QvLamp") w = new QvLamp(parent);
        else if (className == "QvLampButton") w = new QvLampButton(parent);
        else if (className == "QvStripChart") w = new QvStripChart(parent);
        else if (className == "QvGraph") w = new QvGraph(parent);
        else if (className == "QvCanvas") w = new QvCanvas(parent);
        if (!w) return QUiLoader::createWidget(className, parent, name);
        w->setObjectName(name);
        return w;
    }
};

// The click event a mouse press stands for; 0 for buttons other than left and right.
int clickEvent(const QEvent *e) {
    if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick) return 0;
    const bool dbl = e->type() == QEvent::MouseButtonDblClick;
    switch (static_cast<const QMouseEvent *>(e)->button()) {
    case Qt::LeftButton: return dbl ? EVENT_LEFT_DOUBLE_CLICK : EVENT_LEFT_CLICK;
    case Qt::RightButton: return dbl ? EVENT_RIGHT_DOUBLE_CLICK : EVENT_RIGHT_CLICK;
    default: return 0;
    }
}

// Operator events of the panel itself, for the panel's callback.
// Closing a window: the panel's callback decides, the window itself stays
// until the program hides or discards it.
// Clicks: a press reaches the panel when it lands on the panel's own area or
// on something inside that does not take it (a label, a check box under a
// right click), with the position from the panel's top left (event data 1
// vertical, 2 horizontal). It ends at the panel, so a click on a sub-panel
// never reaches the panel around it.
class PanelFilter : public QObject {
  public:
    explicit PanelFilter(int handle, QObject *parent) : QObject(parent), handle_(handle) {}
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Close && e->spontaneous()) {
            e->ignore();
            dispatch(handle_, 0, EVENT_CLOSE);
            return true;
        }
        if (const int event = clickEvent(e)) {
            const QPoint pos = static_cast<QMouseEvent *>(e)->position().toPoint();
            e->accept();
            dispatch(handle_, 0, event, pos.y(), pos.x());
            return true;
        }
        return false;
    }

  private:
    int handle_;
};

// A request from the session to end the program (SIGTERM, SIGINT, SIGHUP)
// is handled as the operator closing the first panel, so the program saves
// its settings and closes its link as on a normal exit.
int g_signalFds[2] = {-1, -1};

void onTerminationSignal(int) {
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalFds[1], &b, 1);
}

void installTerminationHandler() {
    if (g_signalFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0) return;
    auto *notifier = new QSocketNotifier(g_signalFds[0], QSocketNotifier::Read, g_app);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char b;
        [[maybe_unused]] ssize_t n = ::read(g_signalFds[0], &b, 1);
        // A box waiting for the operator would hold the close back.
        endPopupsForTermination();
        for (auto &p : g_panels)
            if (p && p->widget && p->parent == 0) {
                dispatch(p->handle, 0, EVENT_CLOSE);
                return;
            }
        QuitUserInterface(0);
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

// Mouse clicks on a control reach its callback as click events (the commit
// that a click may also cause comes from the control's own signal), with the
// mouse position from the panel's top left: event data 1 vertical, 2 horizontal.
// A click the control does not take goes on to the panel (PanelFilter).
class MouseFilter : public QObject {
  public:
    MouseFilter(int handle, int id, QObject *parent) : QObject(parent), handle_(handle), id_(id) {}
    bool eventFilter(QObject *watched, QEvent *e) override {
        const int event = clickEvent(e);
        if (!event || graphKeepsMouseEvent(watched, e)) return false;
        QPoint pos = static_cast<QMouseEvent *>(e)->position().toPoint();
        PanelRec *p = panel(handle_);
        auto *w = qobject_cast<QWidget *>(watched);
        if (p && w && p->widget->isAncestorOf(w)) pos = w->mapTo(p->widget.data(), pos);
        dispatch(handle_, id_, event, pos.y(), pos.x());
        return false;
    }

  private:
    int handle_, id_;
};

// Wires a control's operator signals to the dispatcher. Programmatic changes
// run with signals blocked, so only what the operator does reaches a callback.
void connectControl(int handle, int id, QWidget *w, int kind) {
    auto commit = [handle, id]() { dispatch(handle, id, EVENT_COMMIT); };
    switch (kind) {
    case CTRL_KIND_COMMAND:
    case CTRL_KIND_TOGGLE:
    case CTRL_KIND_CHECKBOX:
    case CTRL_KIND_RADIO:
        QObject::connect(static_cast<QAbstractButton *>(w), &QAbstractButton::clicked, w, commit);
        break;
    case CTRL_KIND_NUMERIC: {
        auto *s = static_cast<QSpinBox *>(w);
        s->setKeyboardTracking(false);
        QObject::connect(s, &QSpinBox::valueChanged, w, commit);
        break;
    }
    case CTRL_KIND_NUMERIC_DOUBLE: {
        auto *s = static_cast<QDoubleSpinBox *>(w);
        s->setKeyboardTracking(false);
        QObject::connect(s, &QDoubleSpinBox::valueChanged, w, commit);
        break;
    }
    case CTRL_KIND_RING:
        QObject::connect(static_cast<QComboBox *>(w), &QComboBox::activated, w, commit);
        break;
    case CTRL_KIND_COMBO: {
        auto *c = static_cast<QComboBox *>(w);
        c->setInsertPolicy(QComboBox::NoInsert);
        QObject::connect(c, &QComboBox::activated, w, commit);
        if (QLineEdit *le = c->lineEdit()) {
            QObject::connect(le, &QLineEdit::returnPressed, w, commit);
            QObject::connect(le, &QLineEdit::editingFinished, w, [le, commit]() {
                if (le->isModified() && !le->hasFocus()) {
                    le->setModified(false);
                    commit();
                }
            });
            QObject::connect(le, &QLineEdit::returnPressed, le, [le]() { le->setModified(false); });
        }
        break;
    }
    case CTRL_KIND_STRING: {
        auto *le = static_cast<QLineEdit *>(w);
        // Enter commits; leaving the field commits only after an edit.
        QObject::connect(le, &QLineEdit::returnPressed, w, [le, commit]() {
            le->setModified(false);
            commit();
        });
        QObject::connect(le, &QLineEdit::editingFinished, w, [le, commit]() {
            if (le->isModified()) {
                le->setModified(false);
                commit();
            }
        });
        break;
    }
    case CTRL_KIND_GRAPH:
    case CTRL_KIND_STRIPCHART:
        QObject::connect(static_cast<QvGraph *>(w), &QvGraph::viewChanged, w,
                         [handle, id]() { dispatch(handle, id, EVENT_VAL_CHANGED); });
        break;
    case CTRL_KIND_TABLE: {
        auto *t = static_cast<QTableWidget *>(w);
        QObject::connect(t, &QTableWidget::cellChanged, w,
                         [handle, id](int r, int c) { dispatch(handle, id, EVENT_COMMIT, r + 1, c + 1); });
        // A click reaches the callback once the clicked cell is the active one.
        QObject::connect(t, &QTableWidget::cellPressed, w,
                         [handle, id](int r, int c) { dispatch(handle, id, EVENT_LEFT_CLICK, r + 1, c + 1); });
        return;
    }
    default:
        break;
    }
    auto *filter = new MouseFilter(handle, id, w);
    w->installEventFilter(filter);
    for (QWidget *child : w->findChildren<QWidget *>()) child->installEventFilter(filter);
}

// A control whose resource names a key (dynamic property "shortcutKey", for
// example "F5") is operated by that key while its window is active: the key
// clicks the button, so the press takes the path of a mouse click and a
// dimmed or hidden control ignores it. The key is shown in the tooltip.
void bindShortcut(int handle, int id, QWidget *panelWidget, QWidget *w) {
    const QKeySequence keys(w->property("shortcutKey").toString(), QKeySequence::PortableText);
    if (keys.isEmpty() || !qobject_cast<QAbstractButton *>(w)) return;
    auto *sc = new QShortcut(keys, panelWidget);
    sc->setContext(Qt::WindowShortcut);
    QObject::connect(sc, &QShortcut::activated, sc, [handle, id]() {
        ControlRec *c = control(handle, id);
        if (!c || !c->widget->isEnabled() || !c->widget->isVisible()) return;
        static_cast<QAbstractButton *>(c->widget.data())->click();
    });
    const QString key = keys.toString(QKeySequence::NativeText);
    const QString tip = w->toolTip();
    w->setToolTip(tip.isEmpty() ? key : tip + " (" + key + ")");
}

void parseRingValues(QComboBox *c) {
    const QStringList vals = c->property("itemValues").toString().split(',', Qt::SkipEmptyParts);
    for (int i = 0; i < c->count(); ++i) {
        bool ok = false;
        int v = i < vals.size() ? vals[i].trimmed().toInt(&ok) : i;
        c->setItemData(i, ok || i >= vals.size() ? v : i, Qt::UserRole);
    }
}

void report(const std::string &file, const std::string &what) {
    std::fprintf(stderr, "LoadPanel: %s: %s\n", file.c_str(), what.c_str());
}

} // namespace

PanelRec *panel(int handle) {
    if (handle < 1 || handle > static_cast<int>(g_panels.size())) return nullptr;
    PanelRec *p = g_panels[handle - 1].get();
    return (p && p->widget) ? p : nullptr;
}

ControlRec *control(int panelHandle, int ctrlId) {
    PanelRec *p = panel(panelHandle);
    if (!p) return nullptr;
    auto it = p->controls.find(ctrlId);
    if (it == p->controls.end() || !it->second.widget) return nullptr;
    return &it->second;
}

int dispatch(int panelHandle, int ctrlId, int event, int d1, int d2) {
    PanelRec *p = panel(panelHandle);
    if (!p) return UIE_InvalidPanel;
    if (ctrlId == 0) {
        return p->callback ? p->callback(panelHandle, 0, event, p->callbackData, d1, d2) : 0;
    }
    ControlRec *c = control(panelHandle, ctrlId);
    if (!c) return UIE_InvalidControl;
    if (!c->widget->isEnabled()) return 0; // a dimmed control takes no operator action
    return c->callback ? c->callback(panelHandle, ctrlId, event, c->callbackData, d1, d2) : 0;
}

int kindOf(QWidget *w) {
    if (qobject_cast<QvStripChart *>(w)) return CTRL_KIND_STRIPCHART;
    if (qobject_cast<QvGraph *>(w)) return CTRL_KIND_GRAPH;
    if (qobject_cast<QvLamp *>(w)) return CTRL_KIND_LAMP;
    if (qobject_cast<QvLed *>(w)) return CTRL_KIND_LED;
    if (auto *b = qobject_cast<QPushButton *>(w)) return b->isCheckable() ? CTRL_KIND_TOGGLE : CTRL_KIND_COMMAND;
    if (qobject_cast<QCheckBox *>(w)) return CTRL_KIND_CHECKBOX;
    if (qobject_cast<QRadioButton *>(w)) return CTRL_KIND_RADIO;
    if (qobject_cast<QSpinBox *>(w)) return CTRL_KIND_NUMERIC;
    if (qobject_cast<QDoubleSpinBox *>(w)) return CTRL_KIND_NUMERIC_DOUBLE;
    if (auto *c = qobject_cast<QComboBox *>(w)) return c->isEditable() ? CTRL_KIND_COMBO : CTRL_KIND_RING;
    if (qobject_cast<QLineEdit *>(w)) return CTRL_KIND_STRING;
    if (qobject_cast<QPlainTextEdit *>(w)) return CTRL_KIND_TEXTBOX;
    if (qobject_cast<QTableWidget *>(w)) return CTRL_KIND_TABLE;
    if (qobject_cast<QProgressBar *>(w)) return CTRL_KIND_PROGRESS;
    if (qobject_cast<QvCanvas *>(w)) return CTRL_KIND_CANVAS;
    // A label the panel resource marks as a picture shows an image, not a text.
    if (qobject_cast<QLabel *>(w)) return w->property("picture").toBool() ? CTRL_KIND_PICTURE : CTRL_KIND_TEXTMSG;
    if (qobject_cast<QFrame *>(w)) return CTRL_KIND_DECORATION;
    return CTRL_KIND_UNKNOWN;
}

QString colorName(int rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb) & 0xFFFFFF).name(); }

bool ensureApplication(int argc, char **argv) {
    if (QApplication *existing = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        g_app = existing;
    } else if (!QCoreApplication::instance()) {
        static int s_argc = 1;
        static char s_name[] = "qvex-scope";
        static char *s_argv[] = {s_name, nullptr};
        if (argc < 1 || !argv) {
            argc = s_argc;
            argv = s_argv;
        }
        static int keptArgc;
        keptArgc = argc;
        g_app = new QApplication(keptArgc, argv);
        g_ownApp = true;
        installTerminationHandler();
    } else {
        return false; // a non-widget application cannot show panels
    }
    g_app->setQuitOnLastWindowClosed(false);
    useSteadyLooks();
    // The application object has just set the C library's locale from the
    // environment; numbers in files and texts must not follow it.
    UseLocaleFreeNumbers();
    makeWaitTimer();
    return true;
}

bool applicationReady() { return g_app != nullptr; }

} // namespace engine

using namespace engine;

// ---- registry ----------------------------------------------------------------------------
void RegisterCallbacks(const CallbackEntry *table, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) registry()[table[i].name] = table[i].fn;
}

CtrlCallbackPtr FindCallback(const std::string &name) {
    auto it = registry().find(name);
    return it == registry().end() ? nullptr : it->second;
}

// ---- engine life --------------------------------------------------------------------------
int InitCVIRTE(int argc, char **argv) { return ensureApplication(argc, argv) ? 1 : 0; }

void CloseCVIRTE() {
    CloseAllTCPConversations();
    for (auto &p : g_panels)
        if (p && p->widget) delete p->widget.data();
    g_panels.clear();
    resetEventLoop();
    dropWaitTimer();
    if (g_ownApp) {
        delete g_app;
        g_ownApp = false;
    }
    g_app = nullptr;
}

void SetPanelResourceDir(const std::string &dir) { g_resourceDir = dir; }

std::string GetPanelResourceDir() { return g_resourceDir.empty() ? executableDir() : g_resourceDir; }

namespace {
// A panel file beside the executable (a build folder or a copied program
// folder) comes first, then the install's panel folder. A folder named by
// SetPanelResourceDir is the only place looked at.
std::string panelFilePath(const std::string &fileName, std::string *alsoTried) {
    const std::string beside = MakePathname(GetPanelResourceDir(), fileName);
    if (!g_resourceDir.empty() || QFileInfo::exists(QString::fromStdString(beside))) return beside;
    const std::string installed = MakePathname(installedPanelDir(), fileName);
    if (QFileInfo::exists(QString::fromStdString(installed))) return installed;
    *alsoTried = installed;
    return beside;
}
} // namespace

// ---- panels ----------------------------------------------------------------------------------
int LoadPanel(int parentPanel, const char *fileName, int resourceId) {
    if (!g_app) return UIE_NotInitialized;
    QWidget *parentWidget = nullptr;
    if (parentPanel != 0) {
        PanelRec *pp = panel(parentPanel);
        if (!pp) return UIE_InvalidPanel;
        parentWidget = pp->widget;
    }
    std::string alsoTried;
    const std::string path = panelFilePath(fileName ? fileName : "", &alsoTried);
    QFile file(QString::fromStdString(path));
    // A FIFO in a panel file's place would hold the start-up until someone
    // writes to it.
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile()) {
        report(path, "is not a regular file");
        return UIE_FileNotFound;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        report(path, alsoTried.empty() ? "cannot be opened" : "cannot be opened, nor " + alsoTried);
        return UIE_FileNotFound;
    }
    PanelLoader loader;
    std::unique_ptr<QWidget> container(loader.load(&file));
    if (!container) {
        report(path, "is not a valid panel resource: " + loader.errorString().toStdString());
        return UIE_BadResource;
    }
    QWidget *w = nullptr;
    for (QObject *o : container->children()) {
        auto *cw = qobject_cast<QWidget *>(o);
        if (cw && cw->property("panel").isValid() && cw->property("panel").toInt() == resourceId) {
            w = cw;
            break;
        }
    }
    if (!w) {
        report(path, "has no panel with resource number " + std::to_string(resourceId));
        return UIE_BadResource;
    }

    auto rec = std::make_unique<PanelRec>();
    rec->handle = static_cast<int>(g_panels.size()) + 1;
    rec->parent = parentPanel;
    const QString cbName = w->property("callback").toString();
    if (!cbName.isEmpty()) {
        rec->callback = FindCallback(cbName.toStdString());
        if (!rec->callback) {
            report(path, "panel callback " + cbName.toStdString() + " is not registered");
            return UIE_UnknownCallback;
        }
    }
    for (QWidget *cw : w->findChildren<QWidget *>()) {
        QVariant idv = cw->property("ctrlId");
        if (!idv.isValid()) continue;
        const int id = idv.toInt();
        if (id <= 0 || rec->controls.count(id)) {
            report(path, "control id " + std::to_string(id) + " is invalid or used twice");
            return UIE_BadResource;
        }
        ControlRec c;
        c.widget = cw;
        c.kind = kindOf(cw);
        const QString n = cw->property("callback").toString();
        if (!n.isEmpty()) {
            c.callback = FindCallback(n.toStdString());
            if (!c.callback) {
                report(path, "callback " + n.toStdString() + " of control " + std::to_string(id) +
                                 " is not registered");
                return UIE_UnknownCallback;
            }
        }
        if (c.kind == CTRL_KIND_RING) parseRingValues(static_cast<QComboBox *>(cw));
        if (c.kind == CTRL_KIND_RADIO) static_cast<QRadioButton *>(cw)->setAutoExclusive(false);
        if (c.kind == CTRL_KIND_NUMERIC || c.kind == CTRL_KIND_NUMERIC_DOUBLE) takeNumbersWithAPoint(cw);
        // Every line set into a text box is added to it: a box that is
        // written to for as long as the program runs keeps only the newest.
        if (c.kind == CTRL_KIND_TEXTBOX) static_cast<QPlainTextEdit *>(cw)->setMaximumBlockCount(kTextBoxMaxLines);
        rec->controls[id] = c;
    }

    const QSize size = w->size();
    const QString title = w->windowTitle();
    if (parentWidget) {
        w->setParent(parentWidget);
        w->setAutoFillBackground(true);
    } else {
        w->setParent(nullptr, Qt::Window);
        w->setWindowTitle(title);
    }
    w->resize(size);
    w->hide();
    w->installEventFilter(new PanelFilter(rec->handle, w));
    rec->widget = w;
    for (auto &kv : rec->controls)
        if (kv.second.callback) connectControl(rec->handle, kv.first, kv.second.widget, kv.second.kind);
    for (auto &kv : rec->controls)
        if (kv.second.widget->property("shortcutKey").isValid()) bindShortcut(rec->handle, kv.first, w, kv.second.widget);
    g_panels.push_back(std::move(rec));
    return g_panels.back()->handle;
}

int DiscardPanel(int handle) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    // Child panels go with their parent.
    for (auto &other : g_panels)
        if (other && other->parent == handle && other->widget) DiscardPanel(other->handle);
    delete p->widget.data();
    g_panels[handle - 1].reset();
    // Handles are places in the table: once the last panels are gone, the
    // next one loaded gets the lowest free handle again, so a program that
    // closes all its panels and starts anew hands out what it did at start.
    while (!g_panels.empty() && !g_panels.back()) g_panels.pop_back();
    return 0;
}

int DisplayPanel(int handle) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    p->widget->show();
    p->widget->raise();
    return 0;
}

int HidePanel(int handle) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    p->widget->hide();
    if (p->popup) {
        p->popup = false;
        p->widget->setWindowModality(Qt::NonModal);
    }
    return 0;
}

int InstallPopup(int handle) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    p->popup = true;
    if (p->widget->isWindow()) {
        p->widget->hide(); // modality only takes effect on show
        p->widget->setWindowModality(Qt::ApplicationModal);
        // A pop-up stands in the middle of the window it belongs to.
        QWidget *owner = QApplication::activeWindow();
        if (!owner || owner == p->widget)
            for (auto &other : g_panels)
                if (other && other->widget && other->parent == 0 && other->handle != handle &&
                    other->widget->isVisible()) {
                    owner = other->widget;
                    break;
                }
        const QRect area = owner ? owner->frameGeometry()
                                 : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                                     : QRect(0, 0, 1024, 768));
        const QSize sz = p->widget->frameGeometry().size();
        p->widget->move(area.left() + (area.width() - sz.width()) / 2, area.top() + (area.height() - sz.height()) / 2);
    }
    p->widget->show();
    p->widget->raise();
    p->widget->activateWindow();
    return 0;
}

int RemovePopup(int handle) {
    if (handle == 0) {
        for (auto it = g_panels.rbegin(); it != g_panels.rend(); ++it)
            if (*it && (*it)->popup && (*it)->widget && (*it)->widget->isVisible()) return HidePanel((*it)->handle);
        return 0;
    }
    return HidePanel(handle);
}

int SetActivePanel(int handle) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    p->widget->raise();
    p->widget->window()->activateWindow();
    return 0;
}

int GetActivePanel() {
    QWidget *f = QApplication::focusWidget();
    if (!f) f = QApplication::activeWindow();
    for (QWidget *w = f; w; w = w->parentWidget())
        for (auto &p : g_panels)
            if (p && p->widget == w) return p->handle;
    return 0;
}

int SetActiveCtrl(int handle, int id) {
    ControlRec *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_InvalidControl : UIE_InvalidPanel;
    c->widget->setFocus(Qt::OtherFocusReason);
    return 0;
}

int GetActiveCtrl(int handle) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    QWidget *f = QApplication::focusWidget();
    for (auto &kv : p->controls)
        if (kv.second.widget && (kv.second.widget == f || kv.second.widget->isAncestorOf(f))) return kv.first;
    return 0;
}

namespace {

// A window placed where no screen shows all of it (a position remembered from
// a monitor that is gone, or a smaller screen) moves onto the screen that
// shows most of it, or else the nearest one, just far enough to fit; one
// larger than the screen keeps its top left corner on it.
QPoint keptOnScreen(const QRect &window) {
    const QScreen *best = nullptr;
    long long bestArea = -1, bestDistance = 0;
    for (const QScreen *s : QGuiApplication::screens()) {
        const QRect area = s->availableGeometry();
        const QRect shown = area.intersected(window);
        const long long shownArea = shown.isEmpty() ? 0 : 1LL * shown.width() * shown.height();
        const QPoint gap = area.center() - window.center();
        const long long distance = 1LL * gap.x() * gap.x() + 1LL * gap.y() * gap.y();
        if (shownArea > bestArea || (shownArea == bestArea && distance < bestDistance)) {
            best = s;
            bestArea = shownArea;
            bestDistance = distance;
        }
    }
    if (!best) return window.topLeft();
    const QRect area = best->availableGeometry();
    const int left = std::max(area.left(), std::min(window.left(), area.right() + 1 - window.width()));
    const int top = std::max(area.top(), std::min(window.top(), area.bottom() + 1 - window.height()));
    return {left, top};
}

} // namespace

int SetPanelPos(int handle, int top, int left) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    if (top == VAL_AUTO_CENTER || left == VAL_AUTO_CENTER) {
        QRect area;
        if (p->widget->isWindow()) {
            QScreen *s = QGuiApplication::primaryScreen();
            area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
        } else {
            area = p->widget->parentWidget()->rect();
        }
        const QSize sz = p->widget->frameGeometry().size();
        if (top == VAL_AUTO_CENTER) top = area.top() + (area.height() - sz.height()) / 2;
        if (left == VAL_AUTO_CENTER) left = area.left() + (area.width() - sz.width()) / 2;
    }
    if (p->widget->isWindow()) {
        const QPoint at = keptOnScreen(QRect(QPoint(left, top), p->widget->frameGeometry().size()));
        left = at.x();
        top = at.y();
    }
    p->widget->move(left, top);
    return 0;
}

int GetScreenSize(int *height, int *width) {
    QScreen *s = QGuiApplication::primaryScreen();
    QRect g = s ? s->geometry() : QRect(0, 0, 1024, 768);
    if (height) *height = g.height();
    if (width) *width = g.width();
    return 0;
}

int SetPanelAttribute(int handle, int attribute, int value) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    QWidget *w = p->widget;
    switch (attribute) {
    case ATTR_VISIBLE:
        w->setVisible(value != 0);
        return 0;
    case ATTR_DIMMED:
        w->setEnabled(value == 0);
        return 0;
    case ATTR_LEFT:
        w->move(value, w->y());
        return 0;
    case ATTR_TOP:
        w->move(w->x(), value);
        return 0;
    case ATTR_WIDTH:
        w->resize(value, w->height());
        return 0;
    case ATTR_HEIGHT:
        w->resize(w->width(), value);
        return 0;
    case ATTR_BACKCOLOR: {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, QColor(colorName(value)));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
        return 0;
    }
    case ATTR_WINDOW_ZOOM: {
        if (!w->isWindow()) return UIE_InvalidAttribute;
        Qt::WindowStates st = w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
        if (value == VAL_MAXIMIZE) st |= Qt::WindowMaximized;
        else if (value == VAL_MINIMIZE) st |= Qt::WindowMinimized;
        else if (value != VAL_NO_ZOOM) return UIE_InvalidAttribute;
        w->setWindowState(st);
        w->setProperty("zoomState", value);
        return 0;
    }
    default:
        return UIE_InvalidAttribute;
    }
}

int SetPanelAttribute(int handle, int attribute, const std::string &value) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    if (attribute != ATTR_TITLE && attribute != ATTR_LABEL_TEXT) return UIE_InvalidAttribute;
    p->widget->setWindowTitle(QString::fromStdString(value));
    return 0;
}

int GetPanelAttribute(int handle, int attribute, int *value) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    QWidget *w = p->widget;
    int v = 0;
    switch (attribute) {
    case ATTR_VISIBLE: // a sub-panel's own setting, whatever its parent shows
        v = (w->isWindow() ? w->isVisible() : w->isVisibleTo(w->parentWidget())) ? 1 : 0;
        break;
    case ATTR_DIMMED: v = w->isEnabled() ? 0 : 1; break;
    case ATTR_LEFT: v = w->x(); break;
    case ATTR_TOP: v = w->y(); break;
    case ATTR_WIDTH: v = w->width(); break;
    case ATTR_HEIGHT: v = w->height(); break;
    case ATTR_WINDOW_ZOOM:
        if (w->windowState() & Qt::WindowMaximized) v = VAL_MAXIMIZE;
        else if (w->windowState() & Qt::WindowMinimized) v = VAL_MINIMIZE;
        else if (w->property("zoomState").isValid() && !w->isVisible()) v = w->property("zoomState").toInt();
        else v = VAL_NO_ZOOM;
        break;
    default: return UIE_InvalidAttribute;
    }
    if (value) *value = v;
    return 0;
}

int GetPanelAttribute(int handle, int attribute, std::string *value) {
    PanelRec *p = panel(handle);
    if (!p) return UIE_InvalidPanel;
    if (attribute != ATTR_TITLE && attribute != ATTR_LABEL_TEXT) return UIE_InvalidAttribute;
    if (value) *value = p->widget->windowTitle().toStdString();
    return 0;
}

int SetWaitCursor(int on) {
    if (on && !g_waitCursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!on && g_waitCursor) QApplication::restoreOverrideCursor();
    g_waitCursor = on ? 1 : 0;
    return 0;
}

void *GetPanelWidget(int handle) {
    PanelRec *p = panel(handle);
    return p ? static_cast<QWidget *>(p->widget) : nullptr;
}

void *GetCtrlWidget(int handle, int id) {
    ControlRec *c = control(handle, id);
    return c ? static_cast<QWidget *>(c->widget) : nullptr;
}

int OperateClosePanel(int handle) {
    if (!panel(handle)) return UIE_InvalidPanel;
    return dispatch(handle, 0, EVENT_CLOSE);
}
