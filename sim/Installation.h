#pragma once
#include "sim/RegisterMap.h"
#include "sim/RegisterStore.h"
#include "sim/Scenario.h"
#include <QDateTime>
#include <QElapsedTimer>
#include <QMap>
#include <QRandomGenerator>

namespace zra::sim {

// The simulated installation: the state a scenario describes, brought to life. It renders that
// state into the register store, judges and carries out the writes the tool sends (commands,
// clock, module registers, the configuration change set, the access password) and moves the live
// measurements a little every second unless frozen. Not thread-safe: the simulator calls it with
// its lock held.
class Installation {
public:
    Installation(Scenario scenario, bool frozen);

    // Defines every register of the installation in the store and takes over its handlers.
    void attach(RegisterStore& store);
    // Renders the whole state again, after the state was changed from outside.
    void renderAll(RegisterStore& store);

    // The state; a change takes effect in the registers with the next renderAll().
    Scenario& state() { return m_s; }
    const Scenario& state() const { return m_s; }

    bool isFrozen() const { return m_frozen; }
    void setFrozen(bool frozen);
    QDateTime now() const;
    quint8 configState() const { return m_configState; }
    bool isUnlocked() const { return m_unlocked; }
    // Pending values of the change set: variable number -> raw value.
    const QMap<int, int>& pending() const { return m_pending; }

    // One line that says what is served: counts of phases, modules, groups, alarms and so on.
    QString summary() const;

    // The store's handlers.
    quint8 refusal(quint16 first, const QList<quint16>& values) const;
    void afterWrite(RegisterStore& store, quint16 first, const QList<quint16>& values);
    void beforeRead(RegisterStore& store, RegisterStore::Space space, quint16 first, int count);

private:
    struct Reading; // what one module measures at the moment
    struct Jitter {
        double load = 1.0, outV = 0, acV = 0, acHz = 0, dcV = 0, temperature = 0;
    };

    Reading reading(int module) const;
    const VariableSpec* variable(int number) const;
    VariableSpec* variable(int number);
    int judge(const VariableSpec& v, int raw, bool withHysteresis) const;
    void completeCommit();
    void systemCommand(quint16 value);
    void moduleWrite(int module, int kind, quint16 value);
    void logEvent(int source, int level, int code);
    void step();

    void renderState(RegisterStore& store);
    void renderClock(RegisterStore& store);
    void renderModules(RegisterStore& store);
    void renderPhases(RegisterStore& store);
    void renderGroups(RegisterStore& store);
    void renderSystem(RegisterStore& store);
    void renderAlarms(RegisterStore& store);
    void renderEvents(RegisterStore& store);
    void renderVariable(RegisterStore& store, int number);
    void renderControl(RegisterStore& store);

    Scenario m_s;
    bool m_frozen;
    QRandomGenerator m_random;
    QElapsedTimer m_sinceStart;
    qint64 m_lastStepMs = 0;
    QList<Jitter> m_jitter;       // per module
    QList<double> m_phaseVoltage; // per phase, offset from the set voltage
    QList<double> m_phaseFrequency;
    QList<QDateTime> m_identifyUntil; // per module

    QDateTime m_clockBase; // the clock runs on from here
    QElapsedTimer m_clockRunning;
    bool m_summerTime = false;

    QMap<int, int> m_pending;
    quint8 m_configState = config::Idle;
    int m_busyPollsLeft = 0;
    bool m_unlocked = false;
};

} // namespace zra::sim
