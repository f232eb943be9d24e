#pragma once
#include "sim/Faults.h"
#include "sim/Installation.h"
#include "sim/RegisterStore.h"
#include <QList>
#include <QMutex>
#include <memory>

namespace zra::sim {

// What the servers' thread and the Simulator's callers share; every member is guarded by mutex.
struct SimulatorState {
    mutable QMutex mutex;
    RegisterStore store;
    std::unique_ptr<Installation> installation; // renders into store and acts on its writes
    FaultList faults;
    QList<QByteArray> modbusFrames;
    QList<QByteArray> managementFrames;
    quint16 managementPort = 0; // actual listening ports, 0 while not listening
    quint16 modbusPort = 0;
};

} // namespace zra::sim
