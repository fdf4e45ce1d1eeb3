// The event loop and waiting: RunUserInterface and QuitUserInterface, the
// non-blocking ProcessSystemEvents, the bounded blocking wait every wait loop
// uses, the event-delivery hook and delayed calls.
#include "ui/engine/engine_p.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <map>

namespace engine {
namespace {

QEventLoop *g_loop = nullptr;
bool g_quitPending = false;
int g_quitCode = 0;
QTimer *g_waitTimer = nullptr; // bounds WaitForSystemEvents

EventDeliveryHook g_deliveryHook = nullptr;
void *g_deliveryHookData = nullptr;
bool g_inDeliveryHook = false;

void callDeliveryHook() {
    if (!g_deliveryHook || g_inDeliveryHook) return;
    g_inDeliveryHook = true;
    g_deliveryHook(g_deliveryHookData);
    g_inDeliveryHook = false;
}

std::map<int, QTimer *> g_delayedCalls;
int g_lastDelayedCall = 0;

} // namespace

void makeWaitTimer() {
    if (g_waitTimer) return;
    g_waitTimer = new QTimer();
    g_waitTimer->setSingleShot(true);
    QObject::connect(g_waitTimer, &QTimer::timeout, [] {});
}

void dropWaitTimer() {
    delete g_waitTimer;
    g_waitTimer = nullptr;
}

} // namespace engine

using namespace engine;

int RunUserInterface() {
    if (!applicationReady()) return UIE_NotInitialized;
    if (g_quitPending) {
        g_quitPending = false;
        return g_quitCode;
    }
    QEventLoop loop;
    QEventLoop *outer = g_loop;
    g_loop = &loop;
    int rc = loop.exec();
    g_loop = outer;
    g_quitPending = false;
    return rc;
}

int QuitUserInterface(int returnCode) {
    g_quitCode = returnCode;
    if (g_loop) g_loop->exit(returnCode);
    else g_quitPending = true;
    return 0;
}

void SetEventDeliveryHook(EventDeliveryHook hook, void *data) {
    g_deliveryHook = hook;
    g_deliveryHookData = data;
}

int ProcessSystemEvents() {
    if (!QCoreApplication::instance()) return UIE_NotInitialized;
    callDeliveryHook();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

int PostDelayedCall(double seconds, DelayedCallPtr fn, void *data) {
    if (!QCoreApplication::instance() || !fn) return UIE_NotInitialized;
    const int id = ++g_lastDelayedCall;
    auto *timer = new QTimer();
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, [id, fn, data] {
        auto it = g_delayedCalls.find(id);
        if (it == g_delayedCalls.end()) return;
        it->second->deleteLater();
        g_delayedCalls.erase(it);
        fn(data);
    });
    g_delayedCalls[id] = timer;
    timer->start(seconds <= 0 ? 0 : static_cast<int>(seconds * 1000.0));
    return id;
}

void CancelDelayedCall(int id) {
    auto it = g_delayedCalls.find(id);
    if (it == g_delayedCalls.end()) return;
    it->second->stop();
    it->second->deleteLater();
    g_delayedCalls.erase(it);
}

int WaitForSystemEvents(double maxSeconds) {
    if (!QCoreApplication::instance()) return UIE_NotInitialized;
    if (maxSeconds <= 0) return ProcessSystemEvents();
    callDeliveryHook();
    makeWaitTimer();
    // The timer only bounds the wait. One armed for an earlier wait that
    // ends no later than this one serves as it is: a loop of short waits
    // then costs no timer work at all, and a stray early wake-up only makes
    // the caller look at its clock once more.
    const int ms = maxSeconds * 1000.0 < 1.0 ? 1 : static_cast<int>(maxSeconds * 1000.0);
    if (!g_waitTimer->isActive() || g_waitTimer->remainingTime() > ms) g_waitTimer->start(ms);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return 0;
}
