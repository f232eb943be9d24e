// The configuration window's change set and its planning: which rows
// change-all compares and writes, which rows a commit settles, what a cancel
// puts back, and the states each of them leaves.
#include "config/ChangeSet.h"

#include <gtest/gtest.h>

using namespace zra::config;

namespace {

// A change set of rows 1 to states.size() (row 0 the titles).
ChangeSet WithStates(const std::vector<int>& states) {
    ChangeSet set;
    set.resize(int(states.size()) + 1);
    for (std::size_t i = 0; i < states.size(); ++i)
        set.setState(int(i) + 1, states[i]);
    return set;
}

TEST(ChangeSet, KeepsTheTablesRowsAndForgetsWhatTheReadAndChangeAllSaw) {
    ChangeSet set = WithStates({Pending, Rejected, Accepted});
    set.insertRows(2, 2);
    set.removeRows(1, 1);
    set.resize(6);
    EXPECT_EQ(set.rowCount(), 6);
    const int states[] = {Unchanged, Unchanged, Unchanged, Rejected, Accepted, Unchanged};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(set.state(row), states[row]) << row;
    EXPECT_EQ(set.state(6), Unchanged) << "beyond the table";
    set.setState(9, Pending);
    EXPECT_EQ(set.rowCount(), 6) << "a row beyond the table is not added";

    set.setReadRaw(1, -7);
    set.setInstalledBeforeChangeAll(5, "12");
    set.setInstalledBeforeChangeAll(2, "3");
    EXPECT_EQ(set.changedByChangeAll(), (std::vector<int>{2, 5}));
    set.forgetChangeAll();
    EXPECT_TRUE(set.changedByChangeAll().empty());
    EXPECT_EQ(set.readRaw(1), -7) << "the read is not change-all's";
    set.setInstalledBeforeChangeAll(2, "3");
    set.forgetReadAndChangeAll();
    EXPECT_EQ(set.readRaw(1), std::nullopt);
    EXPECT_EQ(set.installedBeforeChangeAll(2), std::nullopt);
    EXPECT_EQ(set.state(3), Rejected) << "the states stay the table's";
}

TEST(ChangeSet, StateTextIsColumnSeven) {
    const struct {
        QString text;
        int state;
    } cases[] = {{"", Unchanged},     {"0", Unchanged},   {"10", Pending}, {" 3 ", Rejected},
                 {"100", IdMismatch}, {"abc", Unchanged}, {"5", 5},        {"-1", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(StateFromText(c.text), c.state) << c.text.toStdString();
    for (const int state : {0, 1, 2, 3, 10, 100, 5, -1})
        EXPECT_EQ(StateFromText(StateText(state)), state);
    EXPECT_EQ(StateText(Pending), "10");
}

TEST(ChangeSet, OpenChangesAreTheUnsettledOnes) {
    const struct {
        std::vector<int> states;
        bool open;
    } cases[] = {{{}, false},
                 {{Unchanged, Accepted, IdMismatch, 5, -1}, false},
                 {{Accepted, Differs}, true},
                 {{Pending}, true},
                 {{Unchanged, Rejected}, true}};
    for (const auto& c : cases)
        EXPECT_EQ(HoldsOpenChanges(WithStates(c.states)), c.open) << c.states.size();
    ChangeSet titlesOnly;
    titlesOnly.resize(1);
    titlesOnly.setState(0, Pending);
    EXPECT_FALSE(HoldsOpenChanges(titlesOnly)) << "row 0 holds the titles";
}

TEST(ChangeSet, AnOkWithoutAChangeWritesTheReadValueOfAnUnchangedRow) {
    const struct {
        int state;
        bool read;
        std::optional<int> raw;
    } cases[] = {{Unchanged, true, -1234},
                 {Unchanged, false, std::nullopt},
                 {Pending, true, std::nullopt},
                 {Accepted, true, std::nullopt},
                 {5, true, std::nullopt}};
    for (const auto& c : cases) {
        ChangeSet set = WithStates({c.state});
        if (c.read)
            set.setReadRaw(1, -1234);
        EXPECT_EQ(RawForUnchangedOk(set, 1), c.raw) << c.state;
    }
}

TEST(ChangeSet, ChangeAllComparesTheShownComparableRows) {
    const struct {
        bool hasVariable, shown, comparable;
        ChangeAllStep step;
    } cases[] = {
        {false, true, true, ChangeAllStep::Skip},  {false, false, false, ChangeAllStep::Skip},
        {true, false, true, ChangeAllStep::Reset}, {true, false, false, ChangeAllStep::Reset},
        {true, true, false, ChangeAllStep::Name},  {true, true, true, ChangeAllStep::Compare}};
    for (const auto& c : cases)
        EXPECT_EQ(ChangeAllStepFor(c.hasVariable, c.shown, c.comparable), c.step)
            << c.hasVariable << c.shown << c.comparable;
}

TEST(ChangeSet, ChangeAllMarksWhatDiffersFromTheInstallation) {
    // The installation's value and ID as its registers read (unsigned).
    const struct {
        qint64 raw;
        int decimals;
        qint64 id;
        int installed, installedId;
        int state;
    } cases[] = {
        {123, 1, 7, 123, 7, Unchanged},
        {200, 1, 7, 123, 7, Differs},
        {123, 1, 8, 123, 7, IdMismatch},
        {200, 1, 8, 123, 7, IdMismatch},        // the ID comes first
        {123, 1, 65536 + 7, 123, 7, Unchanged}, // the ID's low 16 bits
        {-15, 1, 7, 0xFFF1, 7, Unchanged},      // a signed value as its register
        {-1, 0, 7, 65535, 7, Unchanged},
        {70000, 0, 7, 70000 & 0xFFFF, 7, Differs}, // beyond the register
        {1234, 3, 7, 1233, 7, Unchanged},          // both show 1,23
        {1234, 3, 7, 1250, 7, Differs},
        {1234, 2, 7, 1233, 7, Differs}, // two decimals show every digit
        {70000, 3, 7, 70000 & 0xFFFF, 7, Differs},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComparedState(c.raw, c.decimals, c.id, c.installed, c.installedId), c.state)
            << c.raw << " " << c.decimals << " " << c.id << " " << c.installed;
}

TEST(ChangeSet, ChangeAllWritesTheDifferingValuesThatFitTheRegister) {
    using Rows = std::vector<std::pair<int, qint64>>;
    const struct {
        Rows rows;
        Rows written;
        std::vector<int> refused;
    } cases[] = {{{}, {}, {}},
                 {{{1, 200}, {4, -32768}, {6, 65535}}, {{1, 200}, {4, -32768}, {6, 65535}}, {}},
                 {{{2, 70000}, {3, 5}, {5, -32769}}, {{3, 5}}, {2, 5}},
                 {{{2, 65536}}, {}, {2}}};
    for (const auto& c : cases) {
        const ChangeAllWrites plan = PlanChangeAllWrites(c.rows);
        EXPECT_EQ(plan.written, c.written) << c.rows.size();
        EXPECT_EQ(plan.refused, c.refused) << c.rows.size();
    }
}

TEST(ChangeSet, ACommitSettlesThePendingRows) {
    const struct {
        std::vector<int> states;
        std::vector<int> settled;
    } cases[] = {{{}, {}},
                 {{Pending, Differs, Pending, Rejected, Accepted, IdMismatch, Pending}, {1, 3, 7}},
                 {{Unchanged, Differs, Rejected}, {}}};
    for (const auto& c : cases)
        EXPECT_EQ(RowsCommitSettles(WithStates(c.states)), c.settled) << c.states.size();
    const struct {
        int code;
        int state;
    } verdicts[] = {{0, Accepted}, {1, Rejected}, {4, Rejected}, {7, Rejected}, {65535, Rejected}};
    for (const auto& v : verdicts)
        EXPECT_EQ(StateAfterCommit(v.code), v.state) << v.code;
}

TEST(ChangeSet, ACancelPutsBackTheValuesTheInstallationNeverTook) {
    // Row 1 with this state, previous value and what change-all saw.
    const struct {
        int state;
        QString previous;
        std::optional<QString> installed;
        bool step;
        std::optional<QString> value;
    } cases[] = {
        {Unchanged, "7", "9", false, std::nullopt},
        {-1, "7", std::nullopt, false, std::nullopt},
        {Accepted, "7", std::nullopt, true, std::nullopt}, // the installation keeps it
        {IdMismatch, "7", "9", true, std::nullopt},        // never written
        {5, "7", "9", true, std::nullopt},                 // a snapshot's own number
        {Pending, "7", std::nullopt, true, "7"},
        {Pending, "7", "9", true, "7"}, // the previous value first
        {Rejected, "7", std::nullopt, true, "7"},
        {Differs, "", "9", true, "9"}, // only change-all changed it
        {Pending, "", "9", true, "9"},
        {Differs, "", std::nullopt, true, ""},
    };
    for (const auto& c : cases) {
        ChangeSet set = WithStates({c.state});
        if (c.installed)
            set.setInstalledBeforeChangeAll(1, *c.installed);
        const auto steps = PlanCancel(set, {"P. hodnota", c.previous});
        ASSERT_EQ(steps.size(), c.step ? 1u : 0u) << c.state;
        if (c.step) {
            EXPECT_EQ(steps[0].row, 1);
            EXPECT_EQ(steps[0].value, c.value) << c.state << " " << c.previous.toStdString();
        }
    }
    // Every changed row, in row order, each with its own texts.
    ChangeSet set = WithStates({Pending, Unchanged, Differs, Accepted});
    set.setInstalledBeforeChangeAll(3, "30");
    const auto steps = PlanCancel(set, {"", "1", "2", "", "4"});
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].row, 1);
    EXPECT_EQ(steps[0].value, "1");
    EXPECT_EQ(steps[1].row, 3);
    EXPECT_EQ(steps[1].value, "30");
    EXPECT_EQ(steps[2].row, 4);
    EXPECT_EQ(steps[2].value, std::nullopt);
}

} // namespace
