#include "sim/CommandLine.h"
#include "sim/Scenario.h"
#include "text/Numbers.h"
#include <QCommandLineParser>
#include <QHostAddress>

namespace zra::sim {

namespace {
struct Parser {
    QCommandLineParser parser;
    QCommandLineOption address{QStringLiteral("address"),
                               QStringLiteral("IPv4 address to listen on (default 127.0.0.1)."),
                               QStringLiteral("A")};
    QCommandLineOption managementPort{
        QStringLiteral("management-port"),
        QStringLiteral("Port of the management protocol (default 9760; 0: any free port)."),
        QStringLiteral("N")};
    QCommandLineOption modbusPort{
        QStringLiteral("modbus-port"),
        QStringLiteral("Port of the MODBUS channel (default: any free port)."),
        QStringLiteral("N")};
    QCommandLineOption reportPort{
        QStringLiteral("report-modbus-port"),
        QStringLiteral("Port that XR reports instead of the real MODBUS port (e.g. 0)."),
        QStringLiteral("N")};
    QCommandLineOption unit{QStringLiteral("unit"),
                            QStringLiteral("MODBUS unit id that is answered (default 1)."),
                            QStringLiteral("N")};
    QCommandLineOption login{
        QStringLiteral("login"),
        QStringLiteral("Require a login and accept this one (at most 8 characters each)."),
        QStringLiteral("USER:PASSWORD")};
    QCommandLineOption firmware{QStringLiteral("firmware"),
                                QStringLiteral("Firmware generation reported by GS (default 5)."),
                                QStringLiteral("N")};
    QCommandLineOption scenario{
        QStringLiteral("scenario"),
        QStringLiteral("Serve the installation of this JSON scenario file instead of the default."),
        QStringLiteral("FILE")};
    QCommandLineOption frozen{QStringLiteral("frozen"),
                              QStringLiteral("Live values and the clock stand still.")};
    QCommandLineOption commitPolls{
        QStringLiteral("commit-polls"),
        QStringLiteral("Reads of 1488 that report a running commit before its verdict "
                       "(default: the scenario's, 2)."),
        QStringLiteral("N")};
    QCommandLineOption requirePassword{
        QStringLiteral("require-password"),
        QStringLiteral("Refuse commands until the access password was written to 2100.")};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Append every request and reply as a hex line to FILE (-: stdout)."),
        QStringLiteral("FILE")};
    QCommandLineOption fault{QStringLiteral("fault"),
                             QStringLiteral("Inject a fault (repeatable); SPEC syntax below."),
                             QStringLiteral("SPEC")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};

    Parser() {
        parser.setApplicationDescription(
            QStringLiteral("Installation simulator: serves the management protocol and MODBUS RTU "
                           "frames over TCP until SIGTERM or SIGINT."));
        parser.addOptions({address, managementPort, modbusPort, reportPort, unit, login, firmware,
                           scenario, frozen, commitPolls, requirePassword, log, fault, help});
    }
};

} // namespace

bool parseCommandLine(const QStringList& arguments, CommandLine* result, QString* error) {
    Parser p;
    auto bad = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!p.parser.parse(arguments))
        return bad(p.parser.errorText());
    if (!p.parser.positionalArguments().isEmpty())
        return bad(
            QStringLiteral("unexpected argument '%1'").arg(p.parser.positionalArguments()[0]));
    CommandLine line;
    line.help = p.parser.isSet(p.help);
    Options& o = line.options;
    if (p.parser.isSet(p.address)) {
        o.address = p.parser.value(p.address);
        QHostAddress parsed;
        if (!parsed.setAddress(o.address) || parsed.protocol() != QAbstractSocket::IPv4Protocol)
            return bad(QStringLiteral("--address: '%1' is not an IPv4 address").arg(o.address));
    }
    int n = 0;
    auto number = [&](const QCommandLineOption& option, int max, const char* name) {
        if (!text::ParseNumber(p.parser.value(option), 0, max, &n))
            return bad(QStringLiteral("--%1: '%2' is not a number of 0..%3")
                           .arg(QLatin1String(name), p.parser.value(option))
                           .arg(max));
        return true;
    };
    if (p.parser.isSet(p.managementPort)) {
        if (!number(p.managementPort, 65535, "management-port"))
            return false;
        o.managementPort = static_cast<quint16>(n);
    }
    if (p.parser.isSet(p.modbusPort)) {
        if (!number(p.modbusPort, 65535, "modbus-port"))
            return false;
        o.modbusPort = static_cast<quint16>(n);
    }
    if (p.parser.isSet(p.reportPort)) {
        if (!number(p.reportPort, 65535, "report-modbus-port"))
            return false;
        o.reportedModbusPort = static_cast<quint16>(n);
    }
    if (p.parser.isSet(p.unit)) {
        if (!number(p.unit, 255, "unit"))
            return false;
        o.unitId = static_cast<quint8>(n);
    }
    if (p.parser.isSet(p.firmware)) {
        if (!number(p.firmware, 255, "firmware"))
            return false;
        o.firmware = static_cast<quint8>(n);
    }
    if (p.parser.isSet(p.login)) {
        const QString login = p.parser.value(p.login);
        const qsizetype colon = login.indexOf(u':');
        if (colon < 0)
            return bad(QStringLiteral("--login: expected USER:PASSWORD"));
        o.user = login.left(colon).toLatin1();
        o.password = login.mid(colon + 1).toLatin1();
        if (o.user.isEmpty() || o.user.size() > 8 || o.password.size() > 8)
            return bad(QStringLiteral("--login: user (1..8) and password (0..8 characters)"));
        o.loginRequired = true;
    }
    if (p.parser.isSet(p.commitPolls)) {
        if (!number(p.commitPolls, limits::CommitBusyPolls, "commit-polls"))
            return false;
        o.commitBusyPolls = n;
    }
    if (p.parser.isSet(p.requirePassword))
        o.passwordRequired = true;
    o.frozen = p.parser.isSet(p.frozen);
    o.scenarioFile = p.parser.value(p.scenario);
    o.logFile = p.parser.value(p.log);
    for (const QString& spec : p.parser.values(p.fault)) {
        QString why;
        const std::optional<Fault> fault = parseFaultSpec(spec, &why);
        if (!fault)
            return bad(QStringLiteral("--fault: ") + why);
        line.faults.append(*fault);
    }
    *result = line;
    return true;
}

QString commandLineHelp() {
    Parser p;
    return p.parser.helpText() + u'\n' + faultSpecHelp();
}

QString servingLine(const QString& address, quint16 managementPort, quint16 modbusPort) {
    return QStringLiteral("zra-sim: management %1:%2, MODBUS %1:%3")
        .arg(address)
        .arg(managementPort)
        .arg(modbusPort);
}

} // namespace zra::sim
