// The zra-sim command line and its fault SPEC syntax.
#include "sim/CommandLine.h"
#include <gtest/gtest.h>

namespace zra::sim::test {
namespace {

TEST(SimFaultSpec, ParsesKindValueAndModifiers) {
    QString error;
    std::optional<Fault> f = parseFaultSpec(QStringLiteral("delay=500@4:1980-1994*3"), &error);
    ASSERT_TRUE(f) << error.toStdString();
    EXPECT_EQ(f->kind, FaultKind::Delay);
    EXPECT_EQ(f->delayMs, 500);
    EXPECT_EQ(f->function, 4);
    EXPECT_EQ(f->firstRegister, 1980);
    EXPECT_EQ(f->lastRegister, 1994);
    EXPECT_EQ(f->times, 3);
    EXPECT_FALSE(f->management);

    // Modifiers in another order; a single register; defaults of the values.
    f = parseFaultSpec(QStringLiteral("exception*1:1488"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->exceptionCode, 4);
    EXPECT_EQ(f->firstRegister, 1488);
    EXPECT_EQ(f->lastRegister, 1488);
    EXPECT_EQ(f->times, 1);
    EXPECT_FALSE(f->function);

    f = parseFaultSpec(QStringLiteral("truncate"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->keepBytes, 3);
    EXPECT_EQ(f->times, -1);
    EXPECT_EQ(f->firstRegister, 0);
    EXPECT_EQ(f->lastRegister, 0xFFFF);

    f = parseFaultSpec(QStringLiteral("silence@XR"));
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->management);
    EXPECT_EQ(f->managementCommand, "XR");

    f = parseFaultSpec(QStringLiteral("oversized-mgmt"));
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->management);
    EXPECT_TRUE(f->managementCommand.isEmpty());

    const struct {
        const char* spec;
        FaultKind kind;
    } kinds[] = {
        {"badcrc", FaultKind::BadCrc},
        {"close@mgmt", FaultKind::Close},
        {"oversized-count@3", FaultKind::OversizedByteCount},
        {"wrong-unit", FaultKind::WrongUnit},
        {"wrong-function@16", FaultKind::WrongFunction},
    };
    for (const auto& k : kinds) {
        f = parseFaultSpec(QString::fromLatin1(k.spec));
        ASSERT_TRUE(f) << k.spec;
        EXPECT_EQ(f->kind, k.kind) << k.spec;
        EXPECT_EQ(faultKindName(k.kind), QString::fromLatin1(k.spec).section(u'@', 0, 0));
    }
}

TEST(SimFaultSpec, RefusesWhatItCannotMean) {
    const char* bad[] = {
        "",
        "slow",
        "delay",
        "delay=x",
        "badcrc=3",
        "exception=300",
        "silence@0",
        "silence@200",
        "silence:5-4",
        "silence:70000",
        "silence*0",
        "silence*",
        "silence@3@",
        "badcrc@XR",
        "delay=5@mgmt:100",
        "truncate@GS",
        "close@mgmt@4",
        "silence#3",
    };
    for (const char* spec : bad) {
        QString error;
        EXPECT_FALSE(parseFaultSpec(QString::fromLatin1(spec), &error)) << spec;
        EXPECT_FALSE(error.isEmpty()) << spec;
    }
}

TEST(SimCommandLine, OptionsAndFaults) {
    CommandLine line;
    QString error;
    ASSERT_TRUE(parseCommandLine({"zra-sim", "--address", "127.3.4.5", "--modbus-port", "5020",
                                  "--login", "servis:tajne", "--firmware", "4", "--unit", "7",
                                  "--report-modbus-port", "0", "--log", "/tmp/x.log", "--fault",
                                  "silence*1", "--fault", "close@GS"},
                                 &line, &error))
        << error.toStdString();
    const Options& o = line.options;
    EXPECT_EQ(o.address, "127.3.4.5");
    EXPECT_EQ(o.modbusPort, 5020);
    EXPECT_EQ(o.managementPort, 9760);
    EXPECT_TRUE(o.loginRequired);
    EXPECT_EQ(o.user, "servis");
    EXPECT_EQ(o.password, "tajne");
    EXPECT_EQ(o.firmware, 4);
    EXPECT_EQ(o.unitId, 7);
    EXPECT_EQ(o.reportedModbusPort, 0);
    EXPECT_EQ(o.logFile, "/tmp/x.log");
    ASSERT_EQ(line.faults.size(), 2);
    EXPECT_EQ(line.faults[1].managementCommand, "GS");
    EXPECT_FALSE(line.help);

    CommandLine defaults;
    ASSERT_TRUE(parseCommandLine({"zra-sim"}, &defaults, &error));
    EXPECT_EQ(defaults.options.address, "127.0.0.1");
    EXPECT_FALSE(defaults.options.loginRequired);
    EXPECT_FALSE(defaults.options.reportedModbusPort);
    EXPECT_FALSE(defaults.options.frozen);
    EXPECT_FALSE(defaults.options.commitBusyPolls);
    EXPECT_FALSE(defaults.options.passwordRequired);
    EXPECT_TRUE(defaults.options.scenarioFile.isEmpty());

    CommandLine installation;
    ASSERT_TRUE(parseCommandLine({"zra-sim", "--scenario", "a.json", "--frozen", "--commit-polls",
                                  "0", "--require-password"},
                                 &installation, &error))
        << error.toStdString();
    EXPECT_EQ(installation.options.scenarioFile, "a.json");
    EXPECT_TRUE(installation.options.frozen);
    EXPECT_EQ(installation.options.commitBusyPolls, 0);
    EXPECT_EQ(installation.options.passwordRequired, true);
}

TEST(SimCommandLine, RefusesBadArguments) {
    const QStringList bad[] = {
        {"zra-sim", "--address", "localhost"},
        {"zra-sim", "--address", "::1"},
        {"zra-sim", "--modbus-port", "70000"},
        {"zra-sim", "--unit", "x"},
        {"zra-sim", "--login", "servis"},
        {"zra-sim", "--login", "toolongname:x"},
        {"zra-sim", "--login", ":pw"},
        {"zra-sim", "--fault", "nonsense"},
        {"zra-sim", "--commit-polls", "101"},
        {"zra-sim", "--frozen", "yes"},
        {"zra-sim", "--bogus"},
        {"zra-sim", "extra"},
    };
    for (const QStringList& args : bad) {
        CommandLine line;
        QString error;
        EXPECT_FALSE(parseCommandLine(args, &line, &error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(SimCommandLine, ServingLineAndHelp) {
    EXPECT_EQ(servingLine(QStringLiteral("127.0.0.2"), 9760, 5020),
              "zra-sim: management 127.0.0.2:9760, MODBUS 127.0.0.2:5020");
    const QString help = commandLineHelp();
    for (const char* option :
         {"--address", "--management-port", "--modbus-port", "--report-modbus-port", "--unit",
          "--login", "--firmware", "--scenario", "--frozen", "--commit-polls", "--require-password",
          "--log", "--fault", "--help", "oversized-mgmt"})
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
}

} // namespace
} // namespace zra::sim::test
