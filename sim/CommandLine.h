#pragma once
#include "sim/Faults.h"
#include "sim/Simulator.h"
#include <QList>
#include <QString>
#include <QStringList>

namespace zra::sim {

struct CommandLine {
    Options options;
    QList<Fault> faults;
    bool help = false;
};

// Parses the zra-sim arguments (arguments[0] is the program name). On a bad argument returns
// false with the reason in error.
bool parseCommandLine(const QStringList& arguments, CommandLine* result, QString* error);
QString commandLineHelp();

// The first line zra-sim prints once it listens; scripts parse the MODBUS port from it.
QString servingLine(const QString& address, quint16 managementPort, quint16 modbusPort);

} // namespace zra::sim
