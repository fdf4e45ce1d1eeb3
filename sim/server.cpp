#include "sim/server.h"

#include "sim/outbox.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace sim {

// Per-transport state: the request framer, the reply queue and the counters
// the disconnect faults work with.
struct Simulator::Link {
    bool tcp = false;
    RequestFramer framer;
    Outbox *outbox = nullptr; // child of the Simulator
    int replies = 0;          // since connect / since the faults were last set
    bool silent = false;      // pty: fell silent after a disconnect fault
    bool closing = false;     // TCP: the close is queued behind the last reply
    uint64_t generation = 0;
    std::optional<Outbox::Job> held; // one-behind: the reply the next request gets

    void reset(uint64_t gen) {
        framer.clear();
        outbox->clear();
        replies = 0;
        silent = false;
        closing = false;
        generation = gen;
        held.reset();
    }
};

Simulator::Simulator(QObject *parent) : QObject(parent) {}

Simulator::~Simulator() {
    if (client_) {
        client_->disconnect(this);
        client_->abort();
        delete client_;
        client_ = nullptr;
    }
    delete server_;
    server_ = nullptr;
    delete ptyReadNotifier_;
    delete ptyWriteNotifier_;
    ptyReadNotifier_ = ptyWriteNotifier_ = nullptr;
    if (ptyMaster_ >= 0) ::close(ptyMaster_);
    if (ptySlave_ >= 0) ::close(ptySlave_);
}

// ---- TCP -------------------------------------------------------------------

quint16 Simulator::listenTcp(quint16 port) {
    if (server_) return tcpPort_;
    auto *server = new QTcpServer(this);
    if (!server->listen(QHostAddress(QHostAddress::LocalHost), port)) {
        delete server;
        return 0;
    }
    server_ = server;
    tcpPort_ = server_->serverPort();
    tcpLink_ = std::make_unique<Link>();
    tcpLink_->tcp = true;
    tcpLink_->outbox = new Outbox(
        [this](const QByteArray &bytes) {
            if (client_) client_->write(bytes);
        },
        [this] {
            if (client_) client_->disconnectFromHost();
        },
        this);
    connect(server_, &QTcpServer::newConnection, this, &Simulator::onTcpConnection);
    return tcpPort_;
}

void Simulator::onTcpConnection() {
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        if (client_) {
            client_->disconnect(this);
            client_->abort();
            client_->deleteLater();
        }
        client_ = socket;
        // Pieces of a split reply must leave as they are written.
        client_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(client_, &QTcpSocket::readyRead, this, &Simulator::onTcpReadyRead);
        connect(client_, &QTcpSocket::disconnected, this, &Simulator::onTcpDisconnected);
        tcpLink_->reset(faults_.generation());
        emit tcpClientConnected();
    }
}

void Simulator::onTcpReadyRead() {
    if (!client_) return;
    const QByteArray bytes = client_->readAll();
    feed(*tcpLink_, bytes.constData(), bytes.size());
}

void Simulator::onTcpDisconnected() {
    if (!client_ || sender() != client_) return;
    tcpLink_->outbox->clear();
    client_->disconnect(this);
    client_->deleteLater();
    client_ = nullptr;
    emit tcpClientDisconnected();
}

// ---- pseudo-terminal --------------------------------------------------------

QString Simulator::openPty() {
    if (ptyMaster_ >= 0) return ptyPath_;
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        ::close(slave);
        return {};
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);

    ptyMaster_ = master;
    ptySlave_ = slave;
    ptyPath_ = QString::fromLocal8Bit(name);
    ptyLink_ = std::make_unique<Link>();
    ptyLink_->outbox = new Outbox([this](const QByteArray &bytes) { writePty(bytes); }, [] {}, this);

    ptyReadNotifier_ = new QSocketNotifier(qintptr(master), QSocketNotifier::Read, this);
    connect(ptyReadNotifier_, &QSocketNotifier::activated, this, &Simulator::onPtyReadable);
    ptyWriteNotifier_ = new QSocketNotifier(qintptr(master), QSocketNotifier::Write, this);
    ptyWriteNotifier_->setEnabled(false);
    connect(ptyWriteNotifier_, &QSocketNotifier::activated, this, &Simulator::flushPty);
    return ptyPath_;
}

void Simulator::onPtyReadable() {
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(ptyMaster_, buf, sizeof buf);
        if (n > 0) {
            feed(*ptyLink_, buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        // EIO (or EOF): no slave end open. Our own slave descriptor should
        // make this impossible; should it happen anyway, back off instead of
        // letting the notifier fire in a tight loop.
        ptyReadNotifier_->setEnabled(false);
        QTimer::singleShot(50, this, [this] {
            if (ptyReadNotifier_) ptyReadNotifier_->setEnabled(true);
        });
        return;
    }
}

void Simulator::writePty(const QByteArray &bytes) {
    ptyPending_ += bytes;
    flushPty();
}

void Simulator::flushPty() {
    while (!ptyPending_.isEmpty()) {
        const ssize_t n = ::write(ptyMaster_, ptyPending_.constData(), std::size_t(ptyPending_.size()));
        if (n > 0) {
            ptyPending_.remove(0, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            ptyWriteNotifier_->setEnabled(true);
            return;
        }
        ptyPending_.clear(); // the line is gone; so are the bytes
    }
    ptyWriteNotifier_->setEnabled(false);
}

// ---- EEPROM file, request log -------------------------------------------------

EepromLoad Simulator::setEepromFile(const QString &path) {
    eepromFile_ = path;
    ParamRecord record{};
    std::string problem;
    const EepromLoad result = loadEepromFile(path, record, problem);
    if (result == EepromLoad::Damaged) {
        std::fprintf(stderr, "qvex-sim: %s: %s; EEPROM starts with the default parameters\n",
                     qPrintable(path), problem.c_str());
        record = Controller::defaultParams();
    }
    if (result != EepromLoad::Missing) controller_.setEeprom(record);
    controller_.reloadFromEeprom();
    // The file already holds what was loaded; a damaged file is left for
    // examination until the first store replaces it.
    eepromSaved_ = controller_.eepromWrites();
    return result;
}

void Simulator::setEepromRecord(const ParamRecord &record) {
    controller_.setEeprom(record);
    saveEepromIfChanged();
}

void Simulator::saveEepromIfChanged() {
    if (eepromFile_.isEmpty() || controller_.eepromWrites() == eepromSaved_) return;
    eepromSaved_ = controller_.eepromWrites();
    std::string problem;
    if (!saveEepromFile(eepromFile_, controller_.eeprom(), problem))
        std::fprintf(stderr, "qvex-sim: cannot save the EEPROM to %s: %s\n", qPrintable(eepromFile_),
                     problem.c_str());
}

namespace {

// A text file opened for appending, owned by `parent`; nullptr if it cannot be opened.
QFile *openAppending(const QString &path, QObject *parent) {
    auto *file = new QFile(path, parent);
    if (file->open(QIODevice::WriteOnly | QIODevice::Append)) return file;
    delete file;
    return nullptr;
}

} // namespace

bool Simulator::setFrameLogFile(const QString &path) {
    QFile *file = openAppending(path, this);
    if (!file) return false;
    delete frameLog_;
    frameLog_ = file;
    return true;
}

bool Simulator::setReplyLogFile(const QString &path) {
    QFile *file = openAppending(path, this);
    if (!file) return false;
    delete replyLog_;
    replyLog_ = file;
    return true;
}

bool Simulator::setFilterLogFile(const QString &path) {
    QFile *file = openAppending(path, this);
    if (!file) return false;
    delete filterLog_;
    filterLog_ = file;
    filterLogged_ = controller_.filterMemory().log().size();
    return true;
}

void Simulator::logFilterWrites() {
    const std::vector<FilterWrite> &log = controller_.filterMemory().log();
    if (log.size() < filterLogged_) filterLogged_ = 0; // cleared meanwhile
    if (!filterLog_) {
        filterLogged_ = log.size();
        return;
    }
    for (; filterLogged_ < log.size(); ++filterLogged_)
        filterLog_->write(QByteArray::fromStdString(describe(log[filterLogged_]) + '\n'));
    filterLog_->flush();
}

void Simulator::setRecordRequests(bool on) {
    std::lock_guard<std::mutex> lock(logMutex_);
    recordRequests_ = on;
}

std::vector<Simulator::Request> Simulator::requestLog() const {
    std::lock_guard<std::mutex> lock(logMutex_);
    return requestLog_;
}

void Simulator::clearRequestLog() {
    std::lock_guard<std::mutex> lock(logMutex_);
    requestLog_.clear();
}

void Simulator::logRequest(const uint8_t *request) {
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        if (recordRequests_) {
            requestLog_.emplace_back();
            std::copy_n(request, kFrameBytes, requestLog_.back().begin());
        }
    }
    if (frameLog_) {
        const QByteArray line =
            QByteArray(reinterpret_cast<const char *>(request), qsizetype(kFrameBytes)).toHex() + '\n';
        frameLog_->write(line);
        frameLog_->flush();
    }
}

// ---- requests and replies ---------------------------------------------------

void Simulator::feed(Link &link, const char *data, qint64 size) {
    if (loader_ && &link == ptyLink_.get()) {
        loader_->receive(data, size);
        return;
    }
    link.framer.append(reinterpret_cast<const uint8_t *>(data), std::size_t(size));
    std::array<uint8_t, kFrameBytes> request;
    while (link.framer.next(request))
        answer(link, request.data());
}

void Simulator::answer(Link &link, const uint8_t *request) {
    const int count = ++requests_;
    logRequest(request);
    const uint64_t gen = faults_.generation();
    if (link.generation != gen) {
        link.generation = gen;
        link.replies = 0;
        link.silent = false;
        link.held.reset();
    }
    // A line that has gone dead never reaches the controller.
    if (link.silent || link.closing) return;

    // Sampled before the request is handled: a baud change applies from the
    // next frame on, its own acknowledge still goes out at the old rate.
    const int wireBaud = baudRateForIndex(controller_.baudIndex());
    const uint16_t command = frameCommand(request);
    const std::vector<uint8_t> reply =
        command == CmdHandOver ? handOver(link, request) : controller_.handleRequest(request);
    saveEepromIfChanged();
    logFilterWrites();

    const FaultSwitch::Turn turn = faults_.nextReply();
    if (turn.drop) return;
    const auto pieces =
        shapeReply(reply, Controller::replyIsFrame(command), turn.faults, turn.cutMidReply, uint32_t(count));
    ++link.replies;
    const bool cut =
        turn.cutMidReply || (turn.faults.disconnectAfter > 0 && link.replies >= turn.faults.disconnectAfter);

    if (replyLog_ && !cut) {
        const QByteArray line =
            QByteArray(reinterpret_cast<const char *>(request), qsizetype(kFrameBytes)).toHex() + ' ' +
            QByteArray(reinterpret_cast<const char *>(reply.data()), qsizetype(reply.size())).toHex() + '\n';
        replyLog_->write(line);
        replyLog_->flush();
    }

    Outbox::Job job;
    for (const auto &piece : pieces)
        job.pieces.emplace_back(reinterpret_cast<const char *>(piece.data()), qsizetype(piece.size()));
    job.delayMs = turn.faults.delayMs;
    job.gapMs = turn.faults.splitGapMs;
    job.baud = turn.faults.pace ? wireBaud : 0;
    job.closeAfter = cut && link.tcp;
    if (cut) (link.tcp ? link.closing : link.silent) = true;
    if (turn.faults.oneBehind) {
        // This reply waits for the next request; the one before goes now.
        std::optional<Outbox::Job> previous = std::exchange(link.held, std::move(job));
        if (!previous) return;
        job = std::move(*previous);
    }
    link.outbox->push(std::move(job));
}

// ---- programming loader ------------------------------------------------------

std::vector<uint8_t> Simulator::handOver(Link &link, const uint8_t *request) {
    Words words{};
    for (int i = 0; i < kPayloadWords; ++i) words[std::size_t(i)] = frameWord(request, i);
    // The firmware can only be replaced over the serial line.
    const bool accepted = !link.tcp && isHandOverPayload(request);
    words[0] = accepted ? kAck : kNak;
    if (accepted && !loaderSettings_.silent && !loader_) {
        link.framer.clear();
        loader_ = new LoaderSession(
            loaderSettings_, [this](const QByteArray &bytes) { writePty(bytes); }, [this] { return ptyLine(); },
            this);
        connect(loader_, &LoaderSession::applicationStarted, this, &Simulator::endLoader);
    }
    return makeFrame(CmdHandOver, words);
}

void Simulator::endLoader() {
    if (!loader_) return;
    lastLoaderImage_ = loader_->image();
    lastLoaderMaxAfterXoff_ = loader_->maxBytesAfterXoff();
    loader_->deleteLater();
    loader_ = nullptr;
    ptyLink_->framer.clear();
}

// The settings the program gave its end of the pty; both ends share them.
LineSettings Simulator::ptyLine() const {
    LineSettings line;
    termios tio{};
    if (ptySlave_ < 0 || ::tcgetattr(ptySlave_, &tio) != 0) return line;
    static const std::pair<speed_t, int> speeds[] = {{B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                                                     {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    for (const auto &s : speeds)
        if (::cfgetospeed(&tio) == s.first) line.baud = s.second;
    line.xonXoff = (tio.c_iflag & IXON) != 0;
    return line;
}

LoaderImage Simulator::loaderImage() const {
    return loader_ ? loader_->image() : lastLoaderImage_;
}

int Simulator::loaderMaxBytesAfterXoff() const {
    return loader_ ? loader_->maxBytesAfterXoff() : lastLoaderMaxAfterXoff_;
}

} // namespace sim
