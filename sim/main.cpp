// zra-sim: the installation simulator as a program. See docs/simulator.md.
#include "sim/CommandLine.h"
#include "sim/Scenario.h"
#include "sim/Simulator.h"
#include "text/StopSignals.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zra-sim"));

    zra::sim::CommandLine line;
    QString error;
    if (!zra::sim::parseCommandLine(QCoreApplication::arguments(), &line, &error)) {
        std::fprintf(stderr, "zra-sim: %s\n(see zra-sim --help)\n", qPrintable(error));
        return 2;
    }
    if (line.help) {
        std::fputs(qPrintable(zra::sim::commandLineHelp()), stdout);
        return 0;
    }
    if (!line.options.scenarioFile.isEmpty() &&
        !zra::sim::loadScenarioFile(line.options.scenarioFile, &error)) {
        std::fprintf(stderr, "zra-sim: %s\n", qPrintable(error));
        return 2;
    }
    if (!zra::text::CallOnStopSignals([] { QCoreApplication::quit(); })) {
        std::fprintf(stderr, "zra-sim: cannot install signal handlers\n");
        return 1;
    }

    zra::sim::Simulator simulator(line.options);
    for (const zra::sim::Fault& fault : line.faults)
        simulator.addFault(fault);
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "zra-sim: %s\n", qPrintable(error));
        return 1;
    }
    const zra::sim::Options& o = line.options;
    std::printf("%s\n",
                qPrintable(zra::sim::servingLine(simulator.address(), simulator.managementPort(),
                                                 simulator.modbusPort())));
    const QString login = o.loginRequired
                              ? QStringLiteral("required (%1)").arg(QString::fromLatin1(o.user))
                              : QStringLiteral("not required");
    std::printf("unit %u, firmware %u, login %s, %lld fault(s)\n", unsigned(o.unitId),
                unsigned(o.firmware), qPrintable(login),
                static_cast<long long>(line.faults.size()));
    std::printf(
        "installation (%s): %s\n",
        qPrintable(o.scenarioFile.isEmpty() ? QStringLiteral("built-in default") : o.scenarioFile),
        qPrintable(simulator.installationSummary()));
    std::fflush(stdout);

    app.exec();
    simulator.stop();
    std::printf("zra-sim: stopped\n");
    return 0;
}
