#include "sim/runner.h"

#include "sim/server.h"

#include <QObject>
#include <QThread>

namespace sim {

SimThread::SimThread() {
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("qvex-sim"));
    context_ = new QObject;
    context_->moveToThread(thread_);
    thread_->start();
    runInThread([this] {
        sim_ = new Simulator;
        sim_->setRecordRequests(true);
    });
}

SimThread::~SimThread() {
    stop();
}

template <typename F> void SimThread::runInThread(F &&f) const {
    if (QThread::currentThread() == thread_)
        f();
    else
        QMetaObject::invokeMethod(context_, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

bool SimThread::start(bool tcp, bool pty, quint16 tcpPort) {
    if (!sim_) return false;
    bool ok = true;
    runInThread([&] {
        if (tcp) {
            tcpPort_ = sim_->listenTcp(tcpPort);
            ok = ok && tcpPort_ != 0;
        }
        if (pty) {
            ptyPath_ = sim_->openPty();
            ok = ok && !ptyPath_.isEmpty();
        }
    });
    return ok;
}

void SimThread::stop() {
    if (!thread_) return;
    runInThread([this] {
        delete sim_;
        sim_ = nullptr;
    });
    thread_->quit();
    thread_->wait();
    delete context_;
    delete thread_;
    context_ = nullptr;
    thread_ = nullptr;
}

void SimThread::setFaults(const Faults &faults) {
    if (sim_) sim_->setFaults(faults);
}

Faults SimThread::faults() const {
    return sim_ ? sim_->faults() : Faults{};
}

int SimThread::requestsReceived() const {
    return sim_ ? sim_->requestsReceived() : 0;
}

void SimThread::setVersionText(std::string text) {
    if (sim_) runInThread([&] { sim_->controller().setVersionText(text); });
}

bool SimThread::setBaudIndex(int index) {
    bool ok = false;
    if (sim_) runInThread([&] { ok = sim_->controller().setBaudIndex(index); });
    return ok;
}

int SimThread::baudIndex() const {
    int index = -1;
    if (sim_) runInThread([&] { index = sim_->controller().baudIndex(); });
    return index;
}

std::vector<std::array<uint8_t, kFrameBytes>> SimThread::requestLog() const {
    return sim_ ? sim_->requestLog() : std::vector<std::array<uint8_t, kFrameBytes>>{};
}

void SimThread::clearRequestLog() {
    if (sim_) sim_->clearRequestLog();
}

ParamRecord SimThread::ramRecord() const {
    ParamRecord record{};
    if (sim_) runInThread([&] { record = sim_->controller().ram(); });
    return record;
}

ParamRecord SimThread::eepromRecord() const {
    ParamRecord record{};
    if (sim_) runInThread([&] { record = sim_->controller().eeprom(); });
    return record;
}

void SimThread::setRamRecord(const ParamRecord &record) {
    if (sim_) runInThread([&] { sim_->controller().setRam(record); });
}

void SimThread::setEepromRecord(const ParamRecord &record) {
    if (sim_) runInThread([&] { sim_->setEepromRecord(record); });
}

EepromLoad SimThread::setEepromFile(const QString &path) {
    EepromLoad result = EepromLoad::Damaged;
    if (sim_) runInThread([&] { result = sim_->setEepromFile(path); });
    return result;
}

void SimThread::setFixedTime(qint64 signalUs) {
    if (sim_) runInThread([&] { sim_->controller().measurement().setFixedTime(signalUs); });
}

void SimThread::advanceTime(qint64 us) {
    if (sim_) runInThread([&] { sim_->controller().measurement().advanceTime(us); });
}

void SimThread::useRealTime() {
    if (sim_) runInThread([&] { sim_->controller().measurement().useRealTime(); });
}

qint64 SimThread::signalTime() const {
    qint64 t = 0;
    if (sim_) runInThread([&] { t = sim_->controller().measurement().signalTime(); });
    return t;
}

bool SimThread::sampling() const {
    bool on = false;
    if (sim_) runInThread([&] { on = sim_->controller().measurement().sampling(); });
    return on;
}

RawData SimThread::rawData() const {
    RawData d{};
    if (sim_) runInThread([&] { d = sim_->controller().rawData(); });
    return d;
}

std::optional<Recording> SimThread::lastRecording(int channel) const {
    std::optional<Recording> r;
    if (sim_ && (channel == kChannelA || channel == kChannelB))
        runInThread([&] {
            Controller &c = sim_->controller();
            r = c.measurement().lastRecording(c.ram(), channel);
        });
    return r;
}

bool SimThread::newRecording(int channel) const {
    bool fresh = false;
    if (sim_ && (channel == kChannelA || channel == kChannelB))
        runInThread([&] {
            Controller &c = sim_->controller();
            fresh = c.measurement().newRecording(c.ram(), channel);
        });
    return fresh;
}

FilterImage SimThread::filterImage() const {
    FilterImage image{};
    if (sim_) runInThread([&] { image = sim_->controller().filterMemory().image(); });
    return image;
}

void SimThread::setFilterImage(const FilterImage &image) {
    if (sim_) runInThread([&] { sim_->controller().filterMemory().setImage(image); });
}

void SimThread::setFilterSetting(int filter, uint16_t value) {
    if (sim_) runInThread([&] { sim_->controller().filterMemory().setSetting(filter, value); });
}

std::vector<FilterWrite> SimThread::filterLog() const {
    std::vector<FilterWrite> log;
    if (sim_) runInThread([&] { log = sim_->controller().filterMemory().log(); });
    return log;
}

void SimThread::clearFilterLog() {
    if (sim_) runInThread([&] { sim_->controller().filterMemory().clearLog(); });
}

void SimThread::setTestInputs(uint16_t inputs) {
    if (sim_) runInThread([&] { sim_->controller().setTestInputs(inputs); });
}

Words SimThread::testRecord() const {
    Words record{};
    if (sim_) runInThread([&] { record = sim_->controller().testRecord(); });
    return record;
}

void SimThread::setLoaderSettings(const LoaderSettings &settings) {
    if (sim_) runInThread([&] { sim_->setLoaderSettings(settings); });
}

void SimThread::powerCycle() {
    if (sim_) runInThread([&] { sim_->powerCycle(); });
}

bool SimThread::loaderActive() const {
    bool active = false;
    if (sim_) runInThread([&] { active = sim_->loaderActive(); });
    return active;
}

LoaderImage SimThread::loaderImage() const {
    LoaderImage image;
    if (sim_) runInThread([&] { image = sim_->loaderImage(); });
    return image;
}

int SimThread::loaderMaxBytesAfterXoff() const {
    int n = 0;
    if (sim_) runInThread([&] { n = sim_->loaderMaxBytesAfterXoff(); });
    return n;
}

} // namespace sim
