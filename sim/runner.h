// Runs a Simulator in a thread of its own, for tests in the same process as
// the program under test: the program may block on a read while the
// simulator keeps answering.
#pragma once

#include "sim/eeprom.h"
#include "sim/faults.h"
#include "sim/loader.h"
#include "sim/model.h"

#include <QString>

#include <array>
#include <optional>
#include <string>
#include <vector>

class QObject;
class QThread;

namespace sim {

class Simulator;

class SimThread {
  public:
    // Starts the thread and the (not yet listening) simulator in it.
    SimThread();
    ~SimThread();
    SimThread(const SimThread &) = delete;
    SimThread &operator=(const SimThread &) = delete;

    // Opens the transports asked for; blocks until they are ready. False if
    // one of them could not be opened. tcpPort 0 picks a free port; another
    // one lets a simulator come back where an earlier one listened.
    bool start(bool tcp = true, bool pty = false, quint16 tcpPort = 0);
    // Closes the transports and ends the thread; the destructor does this too.
    void stop();

    quint16 tcpPort() const { return tcpPort_; }
    QString ptyPath() const { return ptyPath_; }

    // Any of these may be called before or after start(), from any thread.
    void setFaults(const Faults &faults);
    Faults faults() const;
    void setVersionText(std::string text);
    bool setBaudIndex(int index);
    int baudIndex() const;
    int requestsReceived() const;

    // Every request received since the start or the last clear, answered or
    // not, in order of arrival.
    std::vector<std::array<uint8_t, kFrameBytes>> requestLog() const;
    void clearRequestLog();

    // The controller's parameter records. Setting RAM drops sets written but
    // not yet activated; setting the EEPROM leaves RAM alone and saves the
    // EEPROM file, if one is in use.
    ParamRecord ramRecord() const;
    ParamRecord eepromRecord() const;
    void setRamRecord(const ParamRecord &record);
    void setEepromRecord(const ParamRecord &record);
    // Keeps the EEPROM in this file (format: sim/eeprom.h): loads it now,
    // RAM included, as a controller does at power-up, and saves it on every
    // store. Missing file: the EEPROM stays as it is. Damaged file: default
    // parameters and a warning on stderr.
    EepromLoad setEepromFile(const QString &path);

    // Simulated time and measurement (sim/measure.h). setFixedTime stops the
    // clock at the given signal time; advanceTime moves it on (stopping it
    // first if it runs); useRealTime lets it run with the monotonic clock.
    void setFixedTime(qint64 signalUs);
    void advanceTime(qint64 us);
    void useRealTime();
    qint64 signalTime() const;
    bool sampling() const;
    // The 48 rawdata words as the measurement commands would read them now.
    RawData rawData() const;
    // Channel 0 (A) or 1 (B): the last recording, whether or not it is new
    // since the last re-arm; nothing before the first trigger.
    std::optional<Recording> lastRecording(int channel) const;
    bool newRecording(int channel) const;

    // The filter memory and every erase and write the controller was asked
    // for since the start or the last clear.
    FilterImage filterImage() const;
    void setFilterImage(const FilterImage &image);
    // Filter k (0..3) reports this setting to command 21; kFilterOff = off.
    void setFilterSetting(int filter, uint16_t value);
    std::vector<FilterWrite> filterLog() const;
    void clearFilterLog();

    // Test mode: what word 6 of every test-record answer reports, and the
    // last test record received.
    void setTestInputs(uint16_t inputs);
    Words testRecord() const;

    // The programming loader behind command 187 on the pty.
    void setLoaderSettings(const LoaderSettings &settings);
    bool loaderActive() const;
    void powerCycle();
    LoaderImage loaderImage() const;
    int loaderMaxBytesAfterXoff() const;

    // Lives in the simulator thread; for connecting to its signals.
    Simulator *simulator() const { return sim_; }

  private:
    template <typename F> void runInThread(F &&f) const;

    QThread *thread_ = nullptr;
    QObject *context_ = nullptr; // lives in thread_, carries calls into it
    Simulator *sim_ = nullptr;
    quint16 tcpPort_ = 0;
    QString ptyPath_;
};

} // namespace sim
