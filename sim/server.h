// The simulated controller on a wire: a TCP listener on 127.0.0.1 and/or a
// pseudo-terminal, both answering through the same Controller.
#pragma once

#include "sim/eeprom.h"
#include "sim/faults.h"
#include "sim/loader.h"
#include "sim/model.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class QFile;
class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

namespace sim {

class Outbox;

class Simulator : public QObject {
    Q_OBJECT
  public:
    explicit Simulator(QObject *parent = nullptr);
    ~Simulator() override;

    // Listens on 127.0.0.1 only; port 0 picks a free one. Returns the port
    // listened on, 0 on failure. One client at a time: a new one replaces
    // the old.
    quint16 listenTcp(quint16 port);
    // Opens a raw-mode pseudo-terminal and returns the slave's path
    // (e.g. /dev/pts/5), empty on failure.
    QString openPty();

    quint16 tcpPort() const { return tcpPort_; }
    QString ptyPath() const { return ptyPath_; }

    // The model belongs to the simulator's thread.
    Controller &controller() { return controller_; }

    // Keeps the EEPROM in this file from now on: loads it (and RAM from it,
    // as at power-up) and saves it whenever the EEPROM changes. A missing
    // file leaves the EEPROM as it is; a damaged one sets the defaults and
    // warns on stderr. Returns what the load found.
    EepromLoad setEepromFile(const QString &path);
    QString eepromFile() const { return eepromFile_; }
    // Replaces the EEPROM, saving it to the file if there is one.
    void setEepromRecord(const ParamRecord &record);

    // Appends every request received, as 72 hex digits and a newline, to
    // this file (created if need be). False if it cannot be opened.
    bool setFrameLogFile(const QString &path);
    bool setReplyLogFile(const QString &path);

    // Appends a line for every filter-memory erase and write (sim/filter.h,
    // describe()) to this file (created if need be). False if it cannot be opened.
    bool setFilterLogFile(const QString &path);

    using Request = std::array<uint8_t, kFrameBytes>;
    // Safe from any thread.
    void setFaults(const Faults &faults) { faults_.set(faults); }
    Faults faults() const { return faults_.get(); }
    int requestsReceived() const { return requests_.load(); }
    // Every request received while recording is on (it is off at first),
    // including those that were not answered.
    void setRecordRequests(bool on);
    std::vector<Request> requestLog() const;
    void clearRequestLog();

    // The programming loader that command 187 hands over to on the pty.
    void setLoaderSettings(const LoaderSettings &settings) { loaderSettings_ = settings; }
    const LoaderSettings &loaderSettings() const { return loaderSettings_; }
    // True while the pty carries S-records instead of frames.
    bool loaderActive() const { return loader_ != nullptr; }
    // Power off and on: a loader that stayed after a failed download is
    // gone and the controller answers frames again.
    void powerCycle() { endLoader(); }
    // What the running loader received so far, or the last one's image.
    LoaderImage loaderImage() const;
    // The most bytes that reached the loader in one pause although it had
    // sent XOFF (see kXoffGraceMs).
    int loaderMaxBytesAfterXoff() const;

  signals:
    void tcpClientConnected();
    void tcpClientDisconnected();

  private:
    struct Link;

    void onTcpConnection();
    void onTcpReadyRead();
    void onTcpDisconnected();
    void onPtyReadable();
    void flushPty();
    void writePty(const QByteArray &bytes);
    void feed(Link &link, const char *data, qint64 size);
    void answer(Link &link, const uint8_t *request);
    void logRequest(const uint8_t *request);
    std::vector<uint8_t> handOver(Link &link, const uint8_t *request);
    LineSettings ptyLine() const;
    void endLoader();
    void saveEepromIfChanged();
    void logFilterWrites();

    Controller controller_;
    FaultSwitch faults_;
    std::atomic<int> requests_{0};

    QString eepromFile_;
    uint64_t eepromSaved_ = 0; // controller_.eepromWrites() when last saved
    QFile *frameLog_ = nullptr;
    QFile *replyLog_ = nullptr;
    QFile *filterLog_ = nullptr;
    std::size_t filterLogged_ = 0; // entries of the filter log already in filterLog_
    mutable std::mutex logMutex_;
    bool recordRequests_ = false;
    std::vector<Request> requestLog_;

    QTcpServer *server_ = nullptr;
    QTcpSocket *client_ = nullptr;
    quint16 tcpPort_ = 0;
    std::unique_ptr<Link> tcpLink_;

    int ptyMaster_ = -1;
    int ptySlave_ = -1; // held open so the master never sees a hang-up
    QString ptyPath_;
    QSocketNotifier *ptyReadNotifier_ = nullptr;
    QSocketNotifier *ptyWriteNotifier_ = nullptr;
    QByteArray ptyPending_;
    std::unique_ptr<Link> ptyLink_;

    LoaderSettings loaderSettings_;
    LoaderSession *loader_ = nullptr; // child; set while the pty is in the loader
    LoaderImage lastLoaderImage_;
    int lastLoaderMaxAfterXoff_ = 0;
};

} // namespace sim
