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

// What the event loop keeps between calls, in one place with one reset:
// the loop running, a quit asked for before it ran, the wait's bound, the
// delivery hook and the delayed calls still to come.
struct EventLoopState {
    QEventLoop *loop = nullptr;
    bool quitPending = false;
    int quitCode = 0;
    QTimer *waitTimer = nullptr; // bounds WaitForSystemEvents
    EventDeliveryHook deliveryHook = nullptr;
    void *deliveryHookData = nullptr;
    bool inDeliveryHook = false;
    std::map<int, QTimer *> delayedCalls;
    int lastDelayedCall = 0;

    // No quit pending, no hook, no delayed call left to fire. The wait
    // timer and a loop in progress belong to their callers and stay.
    void Reset() {
        for (auto &call : delayedCalls) {
            call.second->stop();
            call.second->deleteLater();
        }
        delayedCalls.clear();
        quitPending = false;
        quitCode = 0;
        deliveryHook = nullptr;
        deliveryHookData = nullptr;
    }
};
EventLoopState g_events;

void callDeliveryHook() {
    if (!g_events.deliveryHook || g_events.inDeliveryHook) return;
    g_events.inDeliveryHook = true;
    g_events.deliveryHook(g_events.deliveryHookData);
    g_events.inDeliveryHook = false;
}

} // namespace

void makeWaitTimer() {
    if (g_events.waitTimer) return;
    g_events.waitTimer = new QTimer();
    g_events.waitTimer->setSingleShot(true);
    QObject::connect(g_events.waitTimer, &QTimer::timeout, [] {});
}

void resetEventLoop() { g_events.Reset(); }

void dropWaitTimer() {
    delete g_events.waitTimer;
    g_events.waitTimer = nullptr;
}

} // namespace engine

using namespace engine;

int RunUserInterface() {
    if (!applicationReady()) return UIE_NotInitialized;
    if (g_events.quitPending) {
        g_events.quitPending = false;
        return g_events.quitCode;
    }
    QEventLoop loop;
    QEventLoop *outer = g_events.loop;
    g_events.loop = &loop;
    int rc = loop.exec();
    g_events.loop = outer;
    g_events.quitPending = false;
    return rc;
}

int QuitUserInterface(int returnCode) {
    g_events.quitCode = returnCode;
    if (g_events.loop) g_events.loop->exit(returnCode);
    else g_events.quitPending = true;
    return 0;
}

void SetEventDeliveryHook(EventDeliveryHook hook, void *data) {
    g_events.deliveryHook = hook;
    g_events.deliveryHookData = data;
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
    const int id = ++g_events.lastDelayedCall;
    auto *timer = new QTimer();
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, [id, fn, data] {
        auto it = g_events.delayedCalls.find(id);
        if (it == g_events.delayedCalls.end()) return;
        it->second->deleteLater();
        g_events.delayedCalls.erase(it);
        fn(data);
    });
    g_events.delayedCalls[id] = timer;
    timer->start(seconds <= 0 ? 0 : static_cast<int>(seconds * 1000.0));
    return id;
}

void CancelDelayedCall(int id) {
    auto it = g_events.delayedCalls.find(id);
    if (it == g_events.delayedCalls.end()) return;
    it->second->stop();
    it->second->deleteLater();
    g_events.delayedCalls.erase(it);
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
    if (!g_events.waitTimer->isActive() || g_events.waitTimer->remainingTime() > ms) g_events.waitTimer->start(ms);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return 0;
}
