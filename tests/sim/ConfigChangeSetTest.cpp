// The configuration change set: values written into holding register n - 1 stay pending until a
// commit, which the installation judges value by value, or a cancel.
#include "tests/sim/InstallationClient.h"

namespace zra::sim::test {
namespace {

class SimChangeSet : public InstallationFixture {
protected:
    void SetUp() override { startInstallation({.frozen = true}); }
    QByteArray record(int n) { return input(quint16(4160 + 20 * (n - 1)), 4); }
    int value(int n) { return static_cast<qint16>(u16(record(n), 0)); }
    int validityOf(int n) { return u16(input(quint16(4161 + 20 * (n - 1)), 1), 0); }
    // Polls 1488 as the tool does; the states seen until the verdict, the verdict last.
    QList<int> pollUntilVerdict(int maxPolls = 21) {
        QList<int> seen;
        for (int i = 0; i < maxPolls; ++i) {
            seen.append(configState());
            if (seen.last() == 0xC0 || seen.last() == 0x40)
                break;
        }
        return seen;
    }
};

TEST_F(SimChangeSet, CommitThatAcceptsEverything) {
    EXPECT_EQ(configState(), 0xC0);
    EXPECT_EQ(write(6, 10), 0);            // variable 7: 5 s -> 10 s
    EXPECT_EQ(write(33, {0xFFF6, 20}), 0); // variables 34 and 35 in one write: -1.0 V, 2.0 V
    EXPECT_EQ(configState(), 0x80) << "pending";
    EXPECT_EQ(holdingValue(6), 10) << "the working copy";
    EXPECT_EQ(value(7), 5) << "not stored before the commit";

    EXPECT_EQ(write(1488, 256), 0);
    EXPECT_EQ(pollUntilVerdict(), (QList<int>{0x20, 0x20, 0xC0})) << "two busy polls";
    EXPECT_EQ(value(7), 10);
    EXPECT_EQ(value(34), -10);
    EXPECT_EQ(value(35), 20);
    EXPECT_EQ(validityOf(7), 0);
    EXPECT_EQ(u8(input(1991, 1), 1), 8) << "configuration version counts the commit";
    EXPECT_EQ(configState(), 0xC0) << "and stays idle";
}

TEST_F(SimChangeSet, CommitJudgesEachValue) {
    const struct {
        int number;
        quint16 raw;
        int validity;
        const char* what;
    } cases[] = {
        {3, 3000, 3, "300.0 V above 270.0: TOO_HIGH"},
        {5, 1700, 1, "170.0 V below 180.0: TOO_LOW"},
        {1, 2200, 4, "nominal voltage while on: ZRA_MUST_BE_OFF"},
        {46, 100, 5, "100 is no standard RS485 rate: BAD_VALUE"},
        {4, 2520, 2, "return 252.0 V closer than 2.0 V to the trip: HYST_TOO_LOW"},
        {8, 30, 0, "30 s within 0 to 600: OK"},
        {56, static_cast<quint16>(-12), 0, "-12 h, the lowest allowed: OK"},
    };
    QMap<int, int> before;
    for (const auto& c : cases) {
        before.insert(c.number, value(c.number));
        ASSERT_EQ(write(quint16(c.number - 1), c.raw), 0) << c.what;
    }
    EXPECT_EQ(write(1488, 256), 0);
    EXPECT_EQ(pollUntilVerdict().last(), 0x40);
    for (const auto& c : cases) {
        EXPECT_EQ(validityOf(c.number), c.validity) << c.what;
        const int stored = c.validity == 0 ? static_cast<qint16>(c.raw) : before[c.number];
        EXPECT_EQ(value(c.number), stored) << c.what;
        EXPECT_EQ(holdingValue(quint16(c.number - 1)), static_cast<quint16>(stored)) << c.what;
    }
    EXPECT_EQ(configState(), 0x40) << "the refusal is reported until the next change";
    EXPECT_EQ(write(1488, 512), 0);
    EXPECT_EQ(configState(), 0xC0);
}

TEST_F(SimChangeSet, MustBeOffValuesAreAcceptedWhileOff) {
    EXPECT_EQ(write(1700, 0x1000), 0);
    EXPECT_EQ(write(0, 2200), 0);
    EXPECT_EQ(write(1488, 256), 0);
    EXPECT_EQ(pollUntilVerdict().last(), 0xC0);
    EXPECT_EQ(value(1), 2200);
}

TEST_F(SimChangeSet, CancelDiscardsThePendingValues) {
    EXPECT_EQ(write(6, 10), 0);
    EXPECT_EQ(write(1488, 512), 0);
    EXPECT_EQ(configState(), 0xC0);
    EXPECT_EQ(holdingValue(6), 5);
    EXPECT_EQ(value(7), 5);
    EXPECT_EQ(write(1488, 256), 0) << "a commit of nothing";
    EXPECT_EQ(configState(), 0xC0);
    EXPECT_EQ(value(7), 5);
    EXPECT_EQ(u8(input(1991, 1), 1), 7) << "no new configuration version";
}

TEST_F(SimChangeSet, BusyWhileCommitting) {
    EXPECT_EQ(write(6, 10), 0);
    EXPECT_EQ(write(1488, 256), 0);
    EXPECT_EQ(write(7, 9), 6) << "values wait for the commit";
    EXPECT_EQ(write(1488, 512), 6) << "so does a cancel";
    EXPECT_EQ(write(1488, 0x0300), 3) << "not a command";
    EXPECT_EQ(pollUntilVerdict().last(), 0xC0);
    EXPECT_EQ(write(7, 9), 0);
}

class SimCommitPolls : public InstallationFixture {};

TEST_F(SimCommitPolls, NumberOfBusyPollsIsConfigurable) {
    for (const int polls : {0, 5}) {
        startInstallation({.frozen = true, .commitBusyPolls = polls});
        EXPECT_EQ(write(6, 10), 0);
        EXPECT_EQ(write(1488, 256), 0);
        QList<int> seen;
        for (int i = 0; i < polls + 1; ++i)
            seen.append(configState());
        QList<int> expected(polls, 0x20);
        expected.append(0xC0);
        EXPECT_EQ(seen, expected) << polls << " busy polls";
        sim->stop();
        client.socket().abort();
    }
    // More busy polls than the tool waits for: it gives up after 21.
    startInstallation({.frozen = true, .commitBusyPolls = 25});
    EXPECT_EQ(write(6, 10), 0);
    EXPECT_EQ(write(1488, 256), 0);
    QList<int> seen;
    for (int i = 0; i < 21; ++i)
        seen.append(configState());
    EXPECT_EQ(seen, QList<int>(21, 0x20));
}

} // namespace
} // namespace zra::sim::test
