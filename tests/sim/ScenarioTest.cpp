// Scenario files, the built-in default and the Windows-1250 fields they turn into.
#include "sim/Scenario.h"
#include "tests/sim/InstallationClient.h"
#include "text/Cp1250.h"
#include <QFile>
#include <QTemporaryDir>

namespace zra::sim::test {
namespace {

TEST(SimScenario, FieldTextsArePaddedNeverWithFF) {
    EXPECT_EQ(fieldText(QStringLiteral("Síť"), 6, Padding::Blank), hex("53 ED 9D 20 20 20"));
    EXPECT_EQ(fieldText(QStringLiteral("Síť"), 6, Padding::Zero), hex("53 ED 9D 00 00 00"));
    EXPECT_EQ(fieldText(QStringLiteral("abcdefgh"), 4, Padding::Zero), "abcd");
}

TEST(SimScenario, DefaultIsValidAndRealistic) {
    const Scenario s = defaultScenario();
    QString error;
    EXPECT_TRUE(validateScenario(s, &error)) << error.toStdString();
    EXPECT_EQ(s.phases.size(), 3);
    EXPECT_EQ(s.modules.size(), 9);
    EXPECT_EQ(s.acGroups.size(), 2);
    EXPECT_EQ(s.dcGroups.size(), 2);
    EXPECT_EQ(s.events.size(), 20);
    EXPECT_EQ(s.variables.size(), 60);
    QList<int> sources;
    for (const AlarmSpec& a : s.alarms) {
        sources.append(a.source);
        EXPECT_TRUE(s.descriptions.contains(a.code)) << a.code;
    }
    EXPECT_EQ(sources, (QList<int>{0, 5, 33}));
    for (const EventSpec& e : s.events)
        EXPECT_TRUE(s.descriptions.contains(e.code)) << e.code;
}

// A scenario that breaks one rule, and the words the error must contain.
struct BadScenario {
    const char* json;
    const char* error;
};

TEST(SimScenario, RefusesWhatCannotBeServed) {
    const QByteArray phase = R"("phases": [{}])";
    const BadScenario cases[] = {
        {"[1, 2]", "one JSON object"},
        {"{\"phases\": [{}],", "not JSON"},
        {"{}", "phases"},
        {R"({"phases": [{}], "modlues": []})", "modlues: unknown key"},
        {R"({"phases": [{"voltage": "230"}]})", "phases[0].voltage: a number"},
        {R"({"phases": [{}], "modules": [{"phase": 2}]})", "modules[0]"},
        {R"({"phases": [{}], "modules": [{"acGroup": 1}]})", "modules[0]"},
        {R"({"phases": [{}], "alarms": [{"source": 34}]})", "alarms[0]: source"},
        {R"({"phases": [{}], "alarms": [{"code": 301}]})", "alarms[0]: code"},
        {R"({"phases": [{}], "events": [{"code": 1}]})", "events[0].time: missing"},
        {R"({"phases": [{}], "events": [{"time": "2024-02-30 10:00:00"}]})", "events[0].time"},
        {R"({"phases": [{}], "descriptions": {"5": "Sedmnáct znaků!!!"}})", "longer than 16"},
        {R"({"phases": [{}], "descriptions": {"5": "ø"}})", "outside Windows-1250"},
        {R"({"phases": [{}], "variables": [{"number": 501, "name": "x"}]})", "1 to 500"},
        {R"({"phases": [{}], "variables": [{"number": 1, "name": "x"},
             {"number": 1, "name": "y"}]})",
         "defined twice"},
        {R"({"phases": [{}], "variables": [{"number": 1, "name": "a˙b"}]})", "0xFF"},
        {R"({"phases": [{}], "variables": [{"number": 1, "name": "x", "decimals": 4}]})",
         "decimals"},
        {R"({"phases": [{}], "variables": [{"number": 1, "name": "x", "value": 40000}]})",
         "16 bits"},
        {R"({"phases": [{}], "variables": [{"number": 1, "name": "x", "min": 5, "max": 1}]})",
         "min <= max"},
        {R"({"phases": [{}], "variables": [{"number": 1, "name": "x", "below": 2}]})",
         "below names no variable"},
        {R"({"phases": [{}], "variables": [{"number": 3, "name": "x"}],
             "absentFilled": [[2, 4]]})",
         "variable 3 exists"},
        {R"({"phases": [{}], "password": "VortexP8L123"})", "password"},
        {R"({"phases": [{}], "clock": "yesterday"})", "clock"},
        {R"({"phases": [{}], "namePadding": "ff"})", "namePadding"},
    };
    for (const BadScenario& c : cases) {
        QString error;
        EXPECT_FALSE(parseScenario(QByteArray(c.json), &error)) << c.json;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.error)))
            << c.json << " -> " << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(parseScenario("{" + phase + "}", &error)) << error.toStdString();
}

TEST(SimScenario, ReadsEveryKey) {
    QString error;
    const std::optional<Scenario> s = parseScenario(R"({
        "name": "x", "serialNumber": 7, "software": {"main": 3, "sub": 4},
        "saturationLimit": 80, "configVersion": 5, "eventVersion": 6, "running": false,
        "clock": "2024-02-29 23:59:59", "summerTime": true, "password": "abc",
        "passwordRequired": true, "commitBusyPolls": 4, "seed": 9,
        "namePadding": "zero", "descriptionPadding": "zero",
        "phases": [{"voltage": 120.0, "frequency": 60.0, "redundancy": 0}],
        "acGroups": [{"voltage": 0, "frequency": 60.0}], "dcGroups": [{"voltage": 48.5}],
        "moduleDefaults": {"nominalW": 1000, "nominalVA": 1200, "serialNumber": 500},
        "modules": [{}, {"address": 9, "present": false, "on": false, "failed": true,
                     "fanFailed": true, "hasAcInput": false, "acInputStatus": 2,
                     "dcInputStatus": 1, "load": 0.3, "nominalAcVoltage": 120,
                     "nominalDcVoltage": 48, "nominalFrequency": 60, "softwareVersion": 5,
                     "busErrors": 3}],
        "alarms": [{"source": 2, "level": 2, "code": 9}],
        "descriptions": {"9": "Chyba"},
        "events": [{"source": 33, "level": 1, "code": 9, "time": "2024-01-02 03:04:05"}],
        "variables": [{"number": 3, "id": 30, "name": "Napětí", "value": -1.25, "decimals": 2,
                       "unit": 1, "min": -2, "max": 2, "validity": 6, "mustBeOff": true,
                       "allowed": [-1.25, 0.5], "below": 3, "gap": 0.1, "padding": "blank"}],
        "absentFilled": [[4, 500]]
    })",
                                                    &error);
    ASSERT_TRUE(s) << error.toStdString();
    EXPECT_EQ(s->serialNumber, 7u);
    EXPECT_EQ(s->subRevision, 4);
    EXPECT_FALSE(s->running);
    EXPECT_EQ(s->clock, QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)));
    EXPECT_EQ(s->summerTime, true);
    EXPECT_EQ(s->password, "abc");
    EXPECT_EQ(s->commitBusyPolls, 4);
    EXPECT_EQ(s->namePadding, Padding::Zero);
    EXPECT_EQ(s->phases[0].frequency, 60.0);
    ASSERT_EQ(s->modules.size(), 2);
    EXPECT_EQ(s->modules[0].address, 1) << "the module's number when not given";
    EXPECT_EQ(s->modules[0].nominalW, 1000) << "from moduleDefaults";
    EXPECT_EQ(s->modules[0].serialNumber, 501);
    EXPECT_EQ(s->modules[1].address, 9);
    EXPECT_FALSE(s->modules[1].present);
    EXPECT_TRUE(s->modules[1].fanFailed);
    EXPECT_EQ(s->modules[1].dcInputStatus, 1);
    EXPECT_EQ(s->events[0].time, QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    const VariableSpec& v = s->variables[0];
    EXPECT_EQ(v.raw, -125);
    EXPECT_EQ(v.min, -200);
    EXPECT_EQ(v.gap, 10);
    EXPECT_EQ(v.allowed, (QList<int>{-125, 50}));
    EXPECT_EQ(v.padding, Padding::Blank);
    EXPECT_EQ(s->absentFilled, (QList<QPair<int, int>>{{4, 500}}));
}

class SimScenarioFile : public InstallationFixture {};

TEST_F(SimScenarioFile, ShippedExampleIsServed) {
    startInstallation(
        {.scenarioFile = QStringLiteral(ZRA_SIM_SCENARIOS "/single-phase.json"), .frozen = true});
    const QByteArray sys = input(1980, 15);
    EXPECT_EQ(u8(sys, 1), 1);
    EXPECT_EQ(s32(sys, 2), 204511);
    EXPECT_EQ(u8(sys, 12), 2);
    EXPECT_EQ(u8(sys, 15), 1);
    EXPECT_EQ(u8(sys, 16), 1);
    EXPECT_EQ(u8(sys, 26), 4);
    EXPECT_EQ(u8(sys, 27), 3) << "module 4 is not seen";
    EXPECT_EQ(u8(sys, 28), 3);
    EXPECT_EQ(input(2002, 4), hex("32 3B 01 1E 03 00 07 E9"));
    EXPECT_EQ(text::FromCp1250(input(quint16(16660 + 8 * 23), 8)),
              QStringLiteral("Podpětí DC      "));
    EXPECT_EQ(text::FromCp1250(input(quint16(4160 + 4), 16)),
              QStringLiteral("Jmenovité výstupní napětí") + QString(7, QChar(0)));
    const QByteArray phase = input(1600, 27);
    EXPECT_EQ(u8(phase, 8), 4);
    EXPECT_EQ(u8(phase, 49), 3);
    EXPECT_EQ(u8(phase, 52), 1);
    EXPECT_EQ(u8(input(1900, 7), 12), 2) << "module 3's DC input stage failed";
    EXPECT_EQ(write(1700, 0x1000), 1) << "this installation wants the password first";
}

TEST(SimScenario, ShippedConfigurationScenarios) {
    QString error;
    const auto all =
        loadScenarioFile(QStringLiteral(ZRA_SIM_SCENARIOS "/all-variables.json"), &error);
    ASSERT_TRUE(all) << error.toStdString();
    ASSERT_EQ(all->variables.size(), 500);
    EXPECT_EQ(all->variables[1].verdict, 6) << "a commit refuses variable 2 with INV_MISMATCH";
    EXPECT_EQ(all->variables[0].name, QStringLiteral("Jmenovité výstupní napětí"));
    EXPECT_EQ(all->variables.last().number, 500);
    EXPECT_EQ(all->variables.last().name, QStringLiteral("Proměnná 500"));
    const auto none =
        loadScenarioFile(QStringLiteral(ZRA_SIM_SCENARIOS "/no-variables.json"), &error);
    ASSERT_TRUE(none) << error.toStdString();
    EXPECT_TRUE(none->variables.isEmpty());
    for (const char* bad :
         {R"({"phases": [{}], "generatedVariables": [0, 5]})",
          R"({"phases": [{}], "generatedVariables": [9, 5]})",
          R"({"phases": [{}], "variables": [{"number": 1, "name": "a", "verdict": 0}]})"})
        EXPECT_FALSE(parseScenario(bad, &error)) << bad;
}

TEST_F(SimScenarioFile, UnreadableFilesFailTheStart) {
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.json"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"phases": [{}], "modules": [{"phase": 3}]})");
    file.close();
    for (const QString& path : {broken, dir.filePath(QStringLiteral("missing.json"))}) {
        Simulator s({.address = zra::test::NextLoopbackAddress(), .scenarioFile = path});
        QString error;
        EXPECT_FALSE(s.start(&error));
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_FALSE(s.isRunning());
    }
}

} // namespace
} // namespace zra::sim::test
