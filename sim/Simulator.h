#pragma once
#include "sim/Faults.h"
#include "sim/RegisterStore.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace zra::sim {

struct Options {
    QString address = QStringLiteral("127.0.0.1"); // IPv4 address to listen on
    quint16 managementPort = 9760;                 // 0: any free port
    quint16 modbusPort = 0;                        // 0: any free port, chosen when listening
    std::optional<quint16> reportedModbusPort{};   // overrides the port that XR reports
    quint8 unitId = 1;                             // requests for another unit get no answer
    bool loginRequired = false;
    QByteArray user = "admin"; // accepted login (IA); at most 8 characters each
    QByteArray password = "zra";
    quint8 firmware = 5;    // firmware generation reported in GS payload byte 1
    QString scenarioFile{}; // installation description (JSON); empty: the built-in default
    QString logFile{};      // when set, every request and reply is appended as a line; "-": stdout
    bool frozen = false;    // live values and the clock stand still
    std::optional<int> commitBusyPolls{};   // overrides the scenario's value
    std::optional<bool> passwordRequired{}; // overrides the scenario's value
};

class Installation;
class SimulatorThread;
struct SimulatorState;

// The simulated installation: a management server and a MODBUS RTU-over-TCP server on one IPv4
// address, answering from a register store that an installation model (the built-in default or a
// scenario file) keeps up to date, with fault injection and a record of every request frame. The
// servers run in a thread of their own with its own event loop, so a client may block the thread
// that owns the Simulator. Every public method is thread-safe.
class Simulator {
public:
    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Starts serving; returns once both servers listen (or failed to, with the reason in error).
    // A scenario file of the options is loaded here; one that cannot be loaded fails the start.
    bool start(QString* error = nullptr);
    void stop();
    bool isRunning() const;

    const Options& options() const { return m_options; }
    QString address() const { return m_options.address; }
    quint16 managementPort() const; // actual listening port
    quint16 modbusPort() const;     // actual listening port

    void addFault(const Fault& fault);
    void clearFaults();

    // Every request frame received, raw (CRC included), in order; also those that got no answer.
    QList<QByteArray> modbusFrames() const;
    QList<QByteArray> managementFrames() const;
    void clearRecords();

    // Sets and pins a register: the installation model no longer changes it, and network writes
    // to a pinned holding register are answered but leave its value (RegisterStore::unpinAll()
    // through withStore() releases them).
    void setInputRegister(quint16 address, quint16 value);
    void setHoldingRegister(quint16 address, quint16 value);
    std::optional<quint16> inputRegister(quint16 address) const;
    std::optional<quint16> holdingRegister(quint16 address) const;
    // Runs f with the register store locked against the servers, for changes of many registers.
    void withStore(const std::function<void(RegisterStore&)>& f);
    // Runs f with the installation model locked, then renders its state into the registers.
    void withInstallation(const std::function<void(Installation&)>& f);
    // What the installation holds, in one line (counts of phases, modules, alarms and so on).
    QString installationSummary() const;

private:
    Options m_options;
    std::unique_ptr<SimulatorState> m_state;
    std::unique_ptr<SimulatorThread> m_thread;
};

} // namespace zra::sim
