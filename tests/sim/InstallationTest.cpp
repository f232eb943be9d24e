// The default installation as the tool reads it: the system block and the counts it shares with
// the other blocks, sums over modules, alarms, descriptions, the configuration table, commands and
// their visible effects, the clock, the access password and the live values.
#include "sim/Installation.h"
#include "tests/sim/InstallationClient.h"
#include "text/Cp1250.h"
#include <QThread>
#include <cmath>

namespace zra::sim::test {
namespace {

class SimInstallation : public InstallationFixture {
protected:
    void SetUp() override { startInstallation({.frozen = true}); }
    QByteArray system() { return input(1980, 15); }
    QByteArray module(int n) { return input(quint16((n - 1) * 31), 31); }
    QByteArray phase(int p) { return input(quint16(1600 + 27 * (p - 1)), 27); }
    QByteArray event(int i) { return input(quint16(2160 + 6 * (i - 1)), 6); }
    QString description(int code) { return text::FromCp1250(input(quint16(16660 + 8 * code), 8)); }
};

TEST_F(SimInstallation, SystemBlockAtItsBytePositions) {
    const QByteArray d = system();
    ASSERT_EQ(d.size(), 30);
    const struct {
        int at;
        int value;
        const char* what;
    } bytes[] = {
        {0, 0, "1980 high, unused"},   {1, 3, "phase count"},        {10, 1, "major alarms"},
        {11, 2, "minor alarms"},       {12, 3, "all alarms"},        {13, 1, "AC flag: mains"},
        {14, 90, "saturation limit"},  {15, 2, "DC group count"},    {16, 2, "AC group count"},
        {17, 3, "alarm relays"},       {22, 2, "load on AC and DC"}, {23, 7, "config version"},
        {26, 9, "modules configured"}, {27, 9, "modules seen"},      {28, 20, "events"},
        {29, 0, "1994 low, unused"},
    };
    for (const auto& b : bytes)
        EXPECT_EQ(u8(d, b.at), b.value) << b.what;
    EXPECT_EQ(s32(d, 2), 100234);
    EXPECT_EQ(u16(d, 6), 1) << "major alarm relay";
    EXPECT_EQ(u16(d, 8), 1) << "minor alarm relay";
    EXPECT_EQ(u16(d, 18), 1);
    EXPECT_EQ(u16(d, 20), 19);
    EXPECT_EQ(u16(d, 24), 3);
}

TEST_F(SimInstallation, CountsAgreeWithTheBlocksTheyAnnounce) {
    const QByteArray d = system();
    // Each count read the way the tool reads it: one register, the documented byte.
    EXPECT_EQ(u8(input(1980, 1), 1), u8(d, 1));
    EXPECT_EQ(u8(input(1993, 1), 0), u8(d, 26));
    EXPECT_EQ(u8(input(1988, 1), 0), u8(d, 16));
    EXPECT_EQ(u8(input(1987, 1), 1), u8(d, 15));
    EXPECT_EQ(u8(input(1994, 1), 0), u8(d, 28));

    int seen = 0;
    for (int n = 1; n <= u8(d, 26); ++n) {
        const QByteArray m = module(n);
        ASSERT_EQ(m.size(), 62) << "module " << n;
        seen += u8(m, 47);
        EXPECT_GE(u8(m, 7), 1);
        EXPECT_LE(u8(m, 7), u8(d, 1)) << "phase within the phase count";
        EXPECT_LE(u8(m, 48), u8(d, 16));
        EXPECT_LE(u8(m, 49), u8(d, 15));
    }
    EXPECT_EQ(seen, u8(d, 27));
    int configured = 0;
    for (int p = 1; p <= u8(d, 1); ++p)
        configured += u8(phase(p), 8);
    EXPECT_EQ(configured, u8(d, 26));

    int major = 0, minor = 0;
    for (int n = 1; n <= u8(d, 12); ++n) {
        const QByteArray a = input(quint16(2008 + 2 * n), 2);
        major += u8(a, 1) == 2;
        minor += u8(a, 1) == 1;
    }
    EXPECT_EQ(major, u8(d, 10));
    EXPECT_EQ(minor, u8(d, 11));
    EXPECT_EQ(input(quint16(2008 + 2 * (u8(d, 12) + 1)), 2), QByteArray(4, '\0'));

    EXPECT_NE(u16(event(u8(d, 28)), 4), 0) << "the last event has a year";
    EXPECT_EQ(event(u8(d, 28) + 1), QByteArray(12, '\0'));
}

TEST_F(SimInstallation, PhasesAndGroupsAreSumsAndMeansOfTheirModules) {
    QList<QByteArray> modules;
    for (int n = 1; n <= 9; ++n)
        modules.append(module(n));
    for (int p = 1; p <= 3; ++p) {
        const QByteArray ph = phase(p);
        int outW = 0, outVA = 0, acW = 0, dcW = 0, delivering = 0, off = 0, installed = 0;
        double current = 0, voltage = 0;
        for (const QByteArray& m : modules) {
            if (u8(m, 7) != p)
                continue;
            outW += u16(m, 12);
            outVA += u16(m, 14);
            acW += u16(m, 20);
            dcW += u16(m, 30);
            current += u16(m, 10);
            installed += u16(m, 52);
            if (u8(m, 0) == 0) {
                ++delivering;
                voltage += u16(m, 8);
            }
            off += u8(m, 0) == 1;
        }
        // Module registers are rounded each on its own, so sums may differ by one per module.
        EXPECT_NEAR(s32(ph, 28), outW, 3) << "phase " << p;
        EXPECT_NEAR(s32(ph, 24), outVA, 3) << "phase " << p;
        EXPECT_NEAR(s32(ph, 16), acW, 3) << "phase " << p;
        EXPECT_NEAR(s32(ph, 12), dcW, 3) << "phase " << p;
        EXPECT_NEAR(u16(ph, 6), current, 3) << "phase " << p;
        EXPECT_NEAR(u16(ph, 4), voltage / delivering, 1) << "phase " << p;
        EXPECT_EQ(s32(ph, 32), installed);
        EXPECT_EQ(u8(ph, 49), delivering);
        EXPECT_EQ(u8(ph, 50), off);
        EXPECT_EQ(u8(ph, 48) + u8(ph, 52), u8(ph, 8));
        EXPECT_NEAR(u8(ph, 0), 100.0 * s32(ph, 28) / s32(ph, 40), 1);
    }
    for (int g = 1; g <= 2; ++g) {
        const QByteArray ac = input(quint16(1840 + 10 * (g - 1)), 10);
        const QByteArray dc = input(quint16(1900 + 7 * (g - 1)), 7);
        int acW = 0, acSeen = 0, dcW = 0, dcSeen = 0;
        double acA = 0, dcA = 0;
        for (const QByteArray& m : modules) {
            if (u8(m, 48) == g) {
                acW += u16(m, 20);
                acA += u16(m, 18);
                acSeen += u8(m, 47);
            }
            if (u8(m, 49) == g) {
                dcW += u16(m, 30);
                dcA += u16(m, 28);
                dcSeen += u8(m, 47);
            }
        }
        EXPECT_NEAR(s32(ac, 4), acW, 5) << "AC group " << g;
        EXPECT_NEAR(u16(ac, 14), acA, 5) << "AC group " << g;
        EXPECT_EQ(u8(ac, 3), acSeen);
        EXPECT_NEAR(s32(dc, 4), dcW, 5) << "DC group " << g;
        EXPECT_NEAR(u16(dc, 10), dcA, 5) << "DC group " << g;
        EXPECT_EQ(u8(dc, 3), dcSeen);
    }
    // AC group 2 has no mains: its modules run from DC and its AC readings are zero.
    const QByteArray ac2 = input(1850, 10);
    EXPECT_EQ(u16(ac2, 12), 0);
    EXPECT_EQ(u8(ac2, 18), 0);
    EXPECT_EQ(u8(module(7), 1), 3) << "AC input status OFF";
    EXPECT_EQ(u8(module(7), 4), 1) << "load carried from DC";
    EXPECT_GT(u16(module(7), 30), 0) << "DC input power";
}

TEST_F(SimInstallation, AlarmsAndEventsWithCzechDescriptions) {
    const QByteArray expected[] = {hex("00 02 00 1F"), hex("05 01 00 78"), hex("21 01 00 2E")};
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(input(quint16(2008 + 2 * n), 2), expected[n - 1]) << "alarm " << n;
    EXPECT_EQ(description(31), QStringLiteral("Výpadek sítě AC "));
    EXPECT_EQ(description(120), QStringLiteral("Porucha ventil. "));
    EXPECT_EQ(description(199), QString(16, u' ')) << "a code without a text";
    EXPECT_EQ(input(quint16(16660 + 8 * 31), 8).left(4), hex("56 FD 70 61")) << "V, ý, p, a";

    // Record 1: source, level, code, year, month, day, hour, minute, second, 0.
    EXPECT_EQ(event(1), hex("00 00 00 96 07 E8 04 02 07 3A 0C 00"));
}

// The tool's read of the configuration table: requests of 21 registers, skipping the variable
// after a record whose last name byte and the next register's high byte are both 0xFF.
TEST_F(SimInstallation, ConfigurationTableReadsAsTheToolReadsIt) {
    QList<int> found;
    QList<int> skipped;
    bool skipNext = false;
    for (int n = 1; n <= 500; ++n) {
        if (skipNext) {
            skipNext = false;
            skipped.append(n);
            continue;
        }
        const QByteArray d = input(quint16(4160 + 20 * (n - 1)), n < 500 ? 21 : 20);
        ASSERT_FALSE(d.isEmpty()) << "variable " << n;
        if (n < 500 && u8(d, 39) == 0xFF && u8(d, 40) == 0xFF)
            skipNext = true;
        if (u8(d, 8) != 0xFF)
            found.append(n);
    }
    EXPECT_EQ(found.size(), 60);
    EXPECT_FALSE(found.contains(9));
    EXPECT_TRUE(found.contains(45)) << "the variable after a 0xFF run is read";
    EXPECT_TRUE(skipped.contains(42));
    EXPECT_TRUE(skipped.contains(44));
    EXPECT_FALSE(skipped.contains(45));
    EXPECT_EQ(skipped.size(), 2 + 215);

    const QByteArray v1 = input(4160, 20);
    EXPECT_EQ(v1.left(8), hex("08 FC 00 00 00 65 01 01")) << "230.0 V, OK, ID 101";
    EXPECT_EQ(text::FromCp1250(v1.mid(8)), QStringLiteral("Jmenovité výstupní napětí       "));
    const QByteArray v34 = input(quint16(4160 + 20 * 33), 4);
    EXPECT_EQ(v34, hex("FF FB 00 00 00 86 01 01")) << "-0.5 V as -5, one decimal";
    EXPECT_EQ(u8(input(quint16(4160 + 20 * 44), 20), 39), 0) << "zero padding of variable 45";
    EXPECT_EQ(u16(input(quint16(4160 + 20 * 64), 2), 2), 6) << "INV_MISMATCH";
    EXPECT_EQ(holdingValue(33), 0xFFFB) << "holding n - 1 is variable n";
    EXPECT_EQ(write(8, 1), 2) << "variable 9 is absent: no register to write";
}

TEST_F(SimInstallation, ModuleCommandsShowOnTheNextRead) {
    EXPECT_EQ(u8(module(1), 0), 0) << "delivering";
    EXPECT_EQ(write(1512, 0x0200), 0); // OFF
    QByteArray m = module(1);
    EXPECT_EQ(u8(m, 0), 1) << "switched off";
    EXPECT_EQ(u16(m, 12), 0) << "no output power";
    EXPECT_EQ(u8(m, 44) & 0x03, 0x02);
    EXPECT_EQ(u8(phase(1), 49), 2);
    EXPECT_EQ(u8(phase(1), 50), 1);
    EXPECT_EQ(write(1512, 0x0500), 0); // ON and identify
    m = module(1);
    EXPECT_EQ(u8(m, 0), 0);
    EXPECT_EQ(u8(m, 44) & 0x11, 0x11) << "delivering and identifying";
    EXPECT_EQ(holdingValue(1512), 0) << "commands do not stay in the register";

    EXPECT_NE(s32(module(2), 40), 0);
    EXPECT_EQ(write(1515, 0x1000), 0); // bus error counter of module 2
    EXPECT_EQ(s32(module(2), 40), 0);

    // Fan replaced on module 5 clears its fan alarm and logs the event.
    EXPECT_EQ(write(1524, 0x0800), 0);
    const QByteArray sys = system();
    EXPECT_EQ(u8(sys, 12), 2);
    EXPECT_EQ(u8(sys, 11), 1);
    EXPECT_EQ(u8(sys, 28), 20 + 4) << "module off, on, bus errors, fan";
    EXPECT_EQ(event(24).left(4), hex("05 00 00 D1"));
    EXPECT_EQ(u8(module(5), 44) & 0x08, 0);

    // Address and phase, and the groups: module 1 moves to phase 2, AC group 2, DC group 2.
    EXPECT_EQ(write(1510, 0x0B02), 0);
    EXPECT_EQ(write(1511, 0x0202), 0);
    m = module(1);
    EXPECT_EQ(u8(m, 3), 11);
    EXPECT_EQ(u8(m, 7), 2);
    EXPECT_EQ(u8(m, 48), 2);
    EXPECT_EQ(u8(m, 49), 2);
    EXPECT_EQ(u8(phase(1), 8), 2);
    EXPECT_EQ(u8(phase(2), 8), 4);
    EXPECT_EQ(holdingValue(1510), 0x0B02);

    const struct {
        quint16 address;
        quint16 value;
        const char* what;
    } refused[] = {
        {1510, 0x0104, "phase 4 of 3"},    {1511, 0x0301, "AC group 3 of 2"},
        {1511, 0x0103, "DC group 3 of 2"}, {1512, 0x0300, "ON with OFF"},
        {1537, 0x0100, "module 10 of 9"},
    };
    for (const auto& r : refused)
        EXPECT_NE(write(r.address, r.value), 0) << r.what;
    EXPECT_EQ(write(1537, 0x0100), 2);
    EXPECT_EQ(holdingValue(1510), 0x0B02) << "refused writes change nothing";
}

TEST_F(SimInstallation, SystemCommands) {
    EXPECT_EQ(write(1700, 0x1000), 0); // OFF
    QByteArray sys = system();
    EXPECT_EQ(u8(sys, 12), 4) << "the installation-off alarm";
    EXPECT_EQ(input(quint16(2008 + 2 * 4), 2), hex("21 01 00 C9"));
    EXPECT_EQ(u8(sys, 28), 21);
    for (int n = 1; n <= 9; ++n)
        EXPECT_NE(u8(module(n), 0), 0) << "module " << n << " delivers nothing";
    EXPECT_EQ(u16(phase(1), 4), 0);
    EXPECT_EQ(holdingValue(1700), 0x1000) << "the last command reads back";

    EXPECT_EQ(write(1700, 0x0800), 0); // ON
    sys = system();
    EXPECT_EQ(u8(sys, 12), 3);
    EXPECT_EQ(u8(sys, 28), 22);
    EXPECT_EQ(u8(module(1), 0), 0);
    EXPECT_EQ(u8(module(9), 0), 1) << "a module switched off on its own stays off";

    EXPECT_EQ(write(1510 + 3, 0x2A01), 0); // module 2 gets address 42
    EXPECT_EQ(write(1700, 0x8000), 0);     // number the modules
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(u8(module(n), 3), n);

    const int eventVersion = u16(system(), 24);
    EXPECT_EQ(write(1700, 0x0400), 0); // clear the log
    sys = system();
    EXPECT_EQ(u8(sys, 28), 0);
    EXPECT_NE(u16(sys, 24), eventVersion);
    EXPECT_EQ(event(1), QByteArray(12, '\0'));

    EXPECT_EQ(write(1700, 0x1800), 3) << "ON and OFF at once";
}

TEST_F(SimInstallation, ClockWriteIsReadBack) {
    // 31 Dec 2025 23:59:58, summer time.
    const QList<quint16> clock = {0x3A3B, 0x171F, 0x0C01, 2025};
    EXPECT_EQ(write(1500, clock), 0);
    EXPECT_EQ(input(2002, 4), hex("3A 3B 17 1F 0C 01 07 E9"));
    EXPECT_EQ(event(21).mid(4, 7), hex("07 E9 0C 1F 17 3B 3A")) << "the event has the new time";

    const struct {
        QList<quint16> values;
        const char* what;
    } invalid[] = {
        {{0x0000, 0x0000, 0x0100, 2025}, "day 0"},     {{0x0000, 0x001F, 0x0400, 2025}, "31 April"},
        {{0x3C00, 0x0001, 0x0100, 2025}, "second 60"}, {{0x0000, 0x1801, 0x0100, 2025}, "hour 24"},
        {{0x0000, 0x0101, 0x0D00, 2025}, "month 13"},  {{0x0000, 0x0101}, "only half of the clock"},
    };
    for (const auto& c : invalid)
        EXPECT_EQ(write(1500, c.values), 3) << c.what;
    EXPECT_EQ(input(2002, 4), hex("3A 3B 17 1F 0C 01 07 E9"));
}

TEST_F(SimInstallation, RunningClockGoesOnFromTheWrittenTime) {
    sim->withInstallation([](Installation& i) { i.setFrozen(false); });
    EXPECT_EQ(write(1500, {0x3A3B, 0x171F, 0x0C00, 2025}), 0);
    QThread::msleep(2300);
    const QByteArray c = input(2002, 4);
    // Two seconds after 23:59:58 on New Year's Eve.
    EXPECT_EQ(c, hex("00 00 00 01 01 00 07 EA"));
}

TEST_F(SimInstallation, FrozenValuesStayPut) {
    const QByteArray first = module(1) + phase(1) + input(2002, 4);
    QThread::msleep(1200);
    EXPECT_EQ(module(1) + phase(1) + input(2002, 4), first);
}

TEST_F(SimInstallation, PinnedRegistersKeepTheirValue) {
    sim->setInputRegister(1980, 0x0205);
    sim->setHoldingRegister(1488, 0x8000);
    EXPECT_EQ(write(1700, 0x1000), 0); // re-renders the whole state
    EXPECT_EQ(u16(input(1980, 1), 0), 0x0205);
    EXPECT_EQ(write(1488, 256), 0);
    EXPECT_EQ(holdingValue(1488), 0x8000);
    sim->withStore([](RegisterStore& s) { s.unpinAll(); });
    sim->withInstallation([](Installation&) {});
    EXPECT_EQ(u16(input(1980, 1), 0), 0x0003);
}

class SimLiveValues : public InstallationFixture {};

TEST_F(SimLiveValues, MoveALittleEverySecond) {
    startInstallation();
    const QByteArray before = input(0, 31 * 3);
    QThread::msleep(1200);
    const QByteArray after = input(0, 31 * 3);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    for (int n = 0; n < 3; ++n) {
        const int at = n * 62;
        EXPECT_NEAR(u16(after, at + 8), 2300, 15) << "output voltage of module " << n + 1;
        EXPECT_NEAR(u16(after, at + 12), u16(before, at + 12), 150) << "output power";
        EXPECT_EQ(s32(after, at + 36), s32(before, at + 36)) << "serial numbers stay";
    }
}

class SimAccessPassword : public InstallationFixture {};

TEST_F(SimAccessPassword, ProtectsCommandsWhenRequired) {
    startInstallation({.frozen = true, .passwordRequired = true});
    const struct {
        quint16 address;
        QList<quint16> values;
    } commands[] = {
        {1700, {0x0400}},
        {1488, {512}},
        {1512, {0x0400}},
        {1500, {0x0000, 0x0101, 0x0100, 2025}},
    };
    for (const auto& c : commands)
        EXPECT_EQ(write(c.address, c.values), 1) << c.address;
    EXPECT_EQ(write(0, 2301), 0) << "configuration values need no password";

    EXPECT_EQ(write(2100, {0x566F, 0x7274, 0x6578, 0x5F50, 0x384D}), 0); // "Vortex_P8M"
    EXPECT_EQ(write(1700, 0x0400), 1);
    EXPECT_EQ(u8(input(1994, 1), 0), 20);
    EXPECT_EQ(write(2100, {0x566F, 0x7274, 0x6578, 0x5F50, 0x384C}), 0); // "Vortex_P8L"
    for (const auto& c : commands)
        EXPECT_EQ(write(c.address, c.values), 0) << c.address;
    EXPECT_EQ(u8(input(1994, 1), 0), 1) << "log cleared, then the clock event";
}

} // namespace
} // namespace zra::sim::test
