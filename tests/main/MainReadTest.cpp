// The main window's read and commands against the in-process simulator.
#include "access/TFprihlaseni.h"
#include "app/Startup.h"
#include "main/TFmain.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

using namespace zra;
using namespace zra::test;

namespace {

QByteArray text16(const QByteArray& latin) {
    QByteArray b = latin.left(16);
    b.append(QByteArray(16 - b.size(), '\0'));
    return b;
}

class MainReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulator = StartSimulator();
        m().TIP_adr->setEditText(simulator->address());
        m().TIP_adrAccept();
        m().TBXItem2Click();
        ASSERT_EQ(m().statusPanel0->text(), "Connected");
    }
    main::TFmain& m() { return *w.Fmain; }

    // Registers as bytes, high byte first.
    void setInputs(quint16 first, const QByteArray& bytes) {
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            simulator->setInputRegister(quint16(first + i / 2),
                                        quint16(quint8(bytes[i]) << 8 | quint8(bytes[i + 1])));
    }
    void setAlarmCount(int n) {
        const quint16 reg = *simulator->inputRegister(1986);
        simulator->setInputRegister(1986, quint16(n << 8 | (reg & 0xFF)));
    }
    void setAlarm(int n, int source, int level, int code) {
        setInputs(quint16(2008 + 2 * n), Bytes({source, level, code >> 8, code & 0xFF}));
    }
    void setDescription(int code, const QByteArray& text) {
        setInputs(quint16(16660 + 8 * code), text16(text));
    }
    int framesTo(quint16 address) {
        int n = 0;
        for (const QByteArray& f : simulator->modbusFrames())
            if (f.size() >= 4 && (quint8(f[2]) << 8 | quint8(f[3])) == address)
                ++n;
        return n;
    }
    void logIn() { m().link.setLoginGranted(true); }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    app::Windows w;
};

TEST_F(MainReadTest, FillsSystemTableAlarmsAndClock) {
    setInputs(1980, Bytes({0, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0,  1, 0, 0, 1, 1, 0, 1,  90,
                           2, 2, 0,    0,    1,    0,    19, 0, 7, 0, 3, 6, 6, 20, 0}));
    setAlarmCount(3);
    setAlarm(1, 0, 2, 17);
    setAlarm(2, 12, 1, 17); // the same code: one description request
    setAlarm(3, 33, 1, 250);
    setDescription(17, "P\xF8\x65p\xECt\xED DC");
    setDescription(250, "Porucha ventil.");
    setInputs(2002, Bytes({30, 15, 10, 24, 12, 0, 0x07, 0xE8}));

    m().llet->setChecked(true);
    m().TBXnactiClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();

    ui::TextGrid& g = *m().SG_main;
    EXPECT_EQ(g.cell(0, 1), "Počet fází");
    EXPECT_EQ(g.cell(1, 1), "3");
    EXPECT_EQ(g.cell(1, 2), "-1") << "serial number FF FF FF FF";
    EXPECT_EQ(g.cell(1, 7), "3") << "the alarm count, high byte of 1986";
    EXPECT_EQ(g.cell(1, 8), "1") << "AC flag, low byte of 1986";
    EXPECT_EQ(g.cell(1, 10), "2");
    EXPECT_EQ(g.cell(1, 20), "20");

    ui::TextGrid& a = *m().SG_alarm;
    ASSERT_EQ(a.rowCount(), 4);
    EXPECT_EQ(a.cell(0, 1), "1");
    EXPECT_EQ(a.cell(1, 1), "K3D");
    EXPECT_EQ(a.cell(2, 1), "MAJOR");
    EXPECT_EQ(a.cell(3, 1), "17 Přepětí DC");
    EXPECT_EQ(a.cell(1, 2), "Mod.12");
    EXPECT_EQ(a.cell(2, 2), "MINOR");
    EXPECT_EQ(a.cell(3, 2), "17 Přepětí DC");
    EXPECT_EQ(a.cell(1, 3), "SYSTEM");
    EXPECT_EQ(a.cell(3, 3), "250 Porucha ventil.");
    EXPECT_EQ(framesTo(16660 + 8 * 17), 1);

    EXPECT_EQ(m().dtdate->date(), QDate(2024, 12, 24));
    EXPECT_EQ(m().dttime->time(), QTime(10, 15, 30));
    EXPECT_FALSE(m().llet->isChecked());

    // A second read fetches no description: the cache holds them for the run.
    m().TBXnactiClick();
    EXPECT_EQ(framesTo(16660 + 8 * 17), 1);
    EXPECT_EQ(framesTo(16660 + 8 * 250), 1);
}

TEST_F(MainReadTest, NoAlarmsLeavesTheTitleRowAndStillReadsTheClock) {
    setAlarmCount(2);
    setAlarm(1, 0, 1, 3);
    setAlarm(2, 0, 1, 3);
    setDescription(3, "x");
    m().TBXnactiClick();
    EXPECT_EQ(m().SG_alarm->rowCount(), 3);
    setAlarmCount(0);
    simulator->clearRecords();
    m().TBXnactiClick();
    EXPECT_EQ(m().SG_alarm->rowCount(), 1);
    EXPECT_EQ(m().SG_alarm->cell(3, 0), "Alarm");
    EXPECT_EQ(framesTo(2002), 1);
}

TEST_F(MainReadTest, CodesAbove300AreFetchedEachTime) {
    setAlarmCount(1);
    setAlarm(1, 0, 1, 301);
    setDescription(301, "Mimo cache");
    m().TBXnactiClick();
    m().TBXnactiClick();
    EXPECT_EQ(m().SG_alarm->cell(3, 1), "301 Mimo cache");
    EXPECT_EQ(framesTo(16660 + 8 * 301), 2);
}

TEST_F(MainReadTest, InvalidClockIsReportedAndPickersStay) {
    setInputs(2002, Bytes({30, 15, 10, 24, 0, 1, 0x07, 0xE8}));
    const QDate before = m().dtdate->date();
    const QTime beforeTime = m().dttime->time();
    m().TBXnactiClick();
    EXPECT_EQ(ui.messages,
              QStringList{"Hodiny zařízení neudávají platné datum a čas (24.0.2024 10:15:30)"});
    EXPECT_EQ(m().dtdate->date(), before);
    EXPECT_EQ(m().dttime->time(), beforeTime);
    EXPECT_TRUE(m().llet->isChecked()) << "the summer-time flag is set before the date fails";
    EXPECT_FALSE(m().SG_main->cell(1, 1).isEmpty()) << "the tables stay filled";
}

TEST_F(MainReadTest, FailedReadKeepsWhatWasWritten) {
    setAlarmCount(2);
    setAlarm(1, 0, 1, 5);
    setAlarm(2, 0, 1, 6);
    setDescription(5, "Prvni");
    sim::Fault f;
    f.kind = sim::FaultKind::Silence;
    f.firstRegister = 2012;
    f.lastRegister = 2013;
    simulator->addFault(f);
    m().TBXnactiClick();
    ASSERT_EQ(ui.messages.size(), 2);
    EXPECT_EQ(ui.messages[1], "Chyba v komunikaci");
    EXPECT_EQ(m().SG_alarm->cell(3, 1), "5 Prvni");
    EXPECT_EQ(m().SG_alarm->cell(0, 2), "2") << "the row number is written before its request";
    EXPECT_EQ(m().SG_alarm->cell(1, 2), "");
    EXPECT_EQ(m().statusPanel0->text(), "Disconnected");
    EXPECT_EQ(ui.parents, (QList<QWidget*>{&m(), &m()}));
    EXPECT_EQ(ui.busyDepth, 0);
}

// The first register of every request, in order.
QList<int> addresses(const QList<QByteArray>& frames) {
    QList<int> out;
    for (const QByteArray& f : frames)
        out << (quint8(f[2]) << 8 | quint8(f[3]));
    return out;
}

TEST_F(MainReadTest, ReadAllRunsEveryViewButTheLogInOrder) {
    setAlarmCount(0);
    simulator->setInputRegister(1993, 0x0100); // one module
    simulator->setInputRegister(1980, 0x0001); // one phase
    simulator->setInputRegister(1988, 0x0100); // one AC group
    simulator->setInputRegister(1987, 0x0001); // one DC group
    simulator->clearRecords();
    m().TBXnactivse->trigger();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    // The configuration's variable requests (from 4160) stand as one 4160 here.
    QList<int> sequence;
    int variables = 0;
    for (int address : addresses(simulator->modbusFrames())) {
        if (address >= 4160 && !sequence.isEmpty() && sequence.last() == 4160) {
            ++variables;
            continue;
        }
        sequence << (address >= 4160 ? 4160 : address);
    }
    EXPECT_EQ(sequence,
              (QList<int>{1980, 2002, 1993, 0, 1488, 4160, 1980, 1600, 1988, 1840, 1987, 1900}));
    EXPECT_GT(variables, 30) << "every variable of the default installation";
    EXPECT_EQ(m().statusPanel2->text(), "");

    // A failure in the phases read stops before the groups; panel 2 keeps its name.
    sim::Fault f;
    f.kind = sim::FaultKind::Close;
    f.firstRegister = 1600;
    f.lastRegister = 1626;
    simulator->addFault(f);
    simulator->clearRecords();
    m().TBXnactivse->trigger();
    EXPECT_EQ(m().statusPanel2->text(), "Načítám : Fáze");
    EXPECT_EQ(addresses(simulator->modbusFrames()).last(), 1600);
    EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
}

TEST_F(MainReadTest, ReadAllClearsThePanelAfterAFailingLastRead) {
    simulator->setInputRegister(1987, 0x0001);
    sim::Fault f;
    f.kind = sim::FaultKind::Close;
    f.firstRegister = 1900;
    f.lastRegister = 1906;
    simulator->addFault(f);
    m().TBXnactivse->trigger();
    EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
    EXPECT_EQ(m().statusPanel2->text(), "") << "the last read is not tested";
}

TEST_F(MainReadTest, ZraOffSendsPasswordThenTheCommand) {
    logIn();
    simulator->clearRecords();
    m().TBXoffClick();
    const auto frames = simulator->modbusFrames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].left(7), Bytes({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x0A}));
    EXPECT_EQ(frames[1], Bytes({0x01, 0x06, 0x06, 0xA4, 0x10, 0x00, 0xC5, 0x61}));
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(MainReadTest, EachCommandWritesItsValue) {
    logIn();
    const std::pair<QAction*, int> commands[] = {{m().TBXvymazlog, 0x0400},
                                                 {m().TBXcisluj, 0x8000},
                                                 {m().TBXoff, 0x1000},
                                                 {m().TBXon, 0x0800}};
    for (const auto& [item, value] : commands) {
        simulator->clearRecords();
        item->trigger();
        const auto frames = simulator->modbusFrames();
        ASSERT_EQ(frames.size(), 2) << item->text().toStdString();
        EXPECT_EQ(frames[1].left(6), Bytes({0x01, 0x06, 0x06, 0xA4, value >> 8, value & 0xFF}));
    }
}

TEST_F(MainReadTest, CancelledLoginSendsNothingAndShowsNothing) {
    simulator->clearRecords();
    const auto management = simulator->managementFrames().size();
    m().TBXonClick(); // no script: the dialog is closed without login
    m().bdateClick();
    EXPECT_EQ(ui.dialogsShown, 2);
    EXPECT_TRUE(simulator->modbusFrames().isEmpty());
    EXPECT_EQ(simulator->managementFrames().size(), management);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(MainReadTest, LoginPromptThenCommand) {
    ui.answerNextDialog([&](QDialog*) {
        w.Fprihlaseni->Ljmeno->setText("admin");
        w.Fprihlaseni->Lheslo->setText("zra");
        w.Fprihlaseni->okButton->click();
        return w.Fprihlaseni->result();
    });
    simulator->clearRecords();
    m().TBXoffClick();
    EXPECT_TRUE(m().link.loginGranted());
    ASSERT_EQ(simulator->modbusFrames().size(), 2);
    EXPECT_EQ(simulator->managementFrames().last().mid(1, 2), "IA");
}

TEST_F(MainReadTest, FailedPasswordWriteStopsTheCommand) {
    logIn();
    sim::Fault f;
    f.kind = sim::FaultKind::Exception;
    f.function = 16;
    simulator->addFault(f);
    simulator->clearRecords();
    m().TBXoffClick();
    EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
    EXPECT_EQ(simulator->modbusFrames().size(), 1) << "the command itself is not sent";
}

TEST_F(MainReadTest, ClockWriteFromThePickers) {
    logIn();
    m().dtdate->setDate(QDate(2024, 12, 24));
    m().dttime->setTime(QTime(10, 15, 30));
    m().llet->setChecked(true);
    simulator->clearRecords();
    m().bdateClick();
    ASSERT_EQ(simulator->modbusFrames().size(), 2);
    const QByteArray frame = simulator->modbusFrames()[1];
    EXPECT_EQ(frame.left(15),
              Bytes({0x01, 0x10, 0x05, 0xDC, 0x00, 0x04, 0x08, 30, 15, 10, 24, 12, 1, 0x07, 0xE8}));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    // The installation's clock reads back what was written.
    m().TBXnactiClick();
    EXPECT_EQ(m().dtdate->date(), QDate(2024, 12, 24));
    EXPECT_TRUE(m().llet->isChecked());
}

TEST_F(MainReadTest, FollowingThePcClockStopsWhenTheClockIsSent) {
    logIn();
    m().lsyn->setChecked(true);
    EXPECT_TRUE(m().Timer1.isActive());
    m().dtdate->setDate(QDate(2001, 1, 1));
    m().Timer1Timer();
    EXPECT_EQ(m().dtdate->date(), QDate::currentDate());
    m().bdateClick();
    EXPECT_FALSE(m().lsyn->isChecked());
    EXPECT_FALSE(m().Timer1.isActive());
    const QByteArray frame = simulator->modbusFrames().last();
    EXPECT_EQ(quint8(frame[10]), QDate::currentDate().day());
}

} // namespace

namespace {

// Against the simulator's default installation, nothing planted.
TEST(MainWithInstallation, ZraOffAfterLoginShowsOnTheNextRead) {
    RecordingUi ui;
    sim::Options o;
    o.frozen = true;
    o.user = "servis";
    o.password = "heslo";
    auto simulator = StartSimulator(o);
    app::Windows w;
    main::TFmain& m = *w.Fmain;
    m.TIP_adr->setEditText(simulator->address());
    m.TBXItem2Click();
    ASSERT_EQ(m.statusPanel0->text(), "Connected");
    m.TBXnactiClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    const int alarmsBefore = m.SG_alarm->rowCount() - 1;
    EXPECT_EQ(m.SG_main->cell(1, 7), QString::number(alarmsBefore));
    EXPECT_GT(alarmsBefore, 0) << "the default installation has active alarms";
    for (int r = 1; r <= alarmsBefore; ++r)
        EXPECT_FALSE(m.SG_alarm->cell(3, r).section(' ', 1).trimmed().isEmpty())
            << "every alarm has its description";

    ui.answerNextDialog([&](QDialog*) {
        w.Fprihlaseni->Ljmeno->setText("servis");
        w.Fprihlaseni->Lheslo->setText("heslo");
        QTest::keyClick(w.Fprihlaseni->Lheslo, Qt::Key_Return);
        return w.Fprihlaseni->result();
    });
    simulator->clearRecords();
    m.TBXoffClick();
    const auto frames = simulator->modbusFrames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].left(7), Bytes({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x0A}));
    EXPECT_EQ(frames[1], Bytes({0x01, 0x06, 0x06, 0xA4, 0x10, 0x00, 0xC5, 0x61}));

    m.TBXnactiClick();
    ASSERT_EQ(m.SG_alarm->rowCount() - 1, alarmsBefore + 1);
    bool offAlarm = false;
    for (int r = 1; r < m.SG_alarm->rowCount(); ++r)
        offAlarm |= m.SG_alarm->cell(1, r) == "SYSTEM" && m.SG_alarm->cell(3, r).startsWith("201 ");
    EXPECT_TRUE(offAlarm) << "the installation reports itself switched off";
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

} // namespace
