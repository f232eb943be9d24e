#include "sim/Simulator.h"
#include "sim/Installation.h"
#include "sim/Scenario.h"
#include "sim/Servers.h"
#include "sim/SimulatorState.h"
#include <QMutexLocker>
#include <QSemaphore>
#include <QThread>

namespace zra::sim {

// Runs the servers: creates them in this thread, listens, and serves until quit().
class SimulatorThread : public QThread {
public:
    SimulatorThread(const Options& options, SimulatorState& state)
        : m_options(options), m_state(state) {}

    // Blocks until the servers listen and the event loop runs, or listening failed.
    bool startServing(QString* error) {
        start();
        m_ready.acquire();
        if (!m_listening) {
            wait();
            if (error)
                *error = m_error;
        }
        return m_listening;
    }

protected:
    void run() override {
        ServerCore core(m_options, m_state);
        m_listening = core.listen(&m_error);
        if (!m_listening) {
            m_ready.release();
            return;
        }
        // Released from inside the event loop, so that a quit() after startServing() is never lost.
        QMetaObject::invokeMethod(
            &core, [this] { m_ready.release(); }, Qt::QueuedConnection);
        exec();
        QMutexLocker lock(&m_state.mutex);
        m_state.managementPort = 0;
        m_state.modbusPort = 0;
    }

private:
    const Options& m_options;
    SimulatorState& m_state;
    QSemaphore m_ready;
    bool m_listening = false;
    QString m_error;
};

namespace {
// Puts a new installation model in charge of an emptied store.
void install(SimulatorState& state, Scenario scenario, const Options& options) {
    if (options.commitBusyPolls)
        scenario.commitBusyPolls = qBound(0, *options.commitBusyPolls, limits::CommitBusyPolls);
    if (options.passwordRequired)
        scenario.passwordRequired = *options.passwordRequired;
    state.store.clear();
    state.installation = std::make_unique<Installation>(std::move(scenario), options.frozen);
    state.installation->attach(state.store);
}
} // namespace

Simulator::Simulator(Options options)
    : m_options(std::move(options)), m_state(std::make_unique<SimulatorState>()) {
    install(*m_state, defaultScenario(), m_options);
}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start(QString* error) {
    if (m_thread)
        return true;
    if (!m_options.scenarioFile.isEmpty()) {
        std::optional<Scenario> scenario = loadScenarioFile(m_options.scenarioFile, error);
        if (!scenario)
            return false;
        QMutexLocker lock(&m_state->mutex);
        install(*m_state, std::move(*scenario), m_options);
    }
    auto thread = std::make_unique<SimulatorThread>(m_options, *m_state);
    if (!thread->startServing(error))
        return false;
    m_thread = std::move(thread);
    return true;
}

void Simulator::stop() {
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
}

bool Simulator::isRunning() const {
    return m_thread != nullptr;
}

quint16 Simulator::managementPort() const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->managementPort;
}

quint16 Simulator::modbusPort() const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->modbusPort;
}

void Simulator::addFault(const Fault& fault) {
    QMutexLocker lock(&m_state->mutex);
    m_state->faults.add(fault);
}

void Simulator::clearFaults() {
    QMutexLocker lock(&m_state->mutex);
    m_state->faults.clear();
}

QList<QByteArray> Simulator::modbusFrames() const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->modbusFrames;
}

QList<QByteArray> Simulator::managementFrames() const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->managementFrames;
}

void Simulator::clearRecords() {
    QMutexLocker lock(&m_state->mutex);
    m_state->modbusFrames.clear();
    m_state->managementFrames.clear();
}

void Simulator::setInputRegister(quint16 address, quint16 value) {
    QMutexLocker lock(&m_state->mutex);
    m_state->store.setInput(address, value);
    m_state->store.pin(RegisterStore::Space::Input, address);
}

void Simulator::setHoldingRegister(quint16 address, quint16 value) {
    QMutexLocker lock(&m_state->mutex);
    m_state->store.setHolding(address, value);
    m_state->store.pin(RegisterStore::Space::Holding, address);
}

std::optional<quint16> Simulator::inputRegister(quint16 address) const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->store.input(address);
}

std::optional<quint16> Simulator::holdingRegister(quint16 address) const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->store.holding(address);
}

void Simulator::withStore(const std::function<void(RegisterStore&)>& f) {
    QMutexLocker lock(&m_state->mutex);
    f(m_state->store);
}

void Simulator::withInstallation(const std::function<void(Installation&)>& f) {
    QMutexLocker lock(&m_state->mutex);
    f(*m_state->installation);
    m_state->installation->renderAll(m_state->store);
}

QString Simulator::installationSummary() const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->installation->summary();
}

} // namespace zra::sim
