// The audit log of writes, its window, and the console's diagnostic lines,
// driven through the windows' handlers against the in-process simulator.
#include "access/TFprihlaseni.h"
#include "app/Startup.h"
#include "config/TFkonfig.h"
#include "config/TFnastaveni.h"
#include "console/TFext.h"
#include "main/TFmain.h"
#include "main/TFzaznam.h"
#include "sim/Installation.h"
#include "sim/Scenario.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFmodul_akce.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>

using namespace zra;
using namespace zra::test;

namespace {

// An entry as the test compares it, without the time: "F R [values] text = outcome".
const QString PasswordWrite = "16 2100 [] Heslo přístupu (skryto) = OK";

// Public: the cases' steps reach the windows through it.
class AuditConsoleTest : public ::testing::Test {
public:
    void SetUp() override { w.audit.log = store::AuditLog(logPath); }

    main::TFmain& m() { return *w.Fmain; }
    console::TFext& ext() { return *w.Fext; }
    config::TFkonfig& k() { return *w.Fkonfig; }

    void start(sim::Options options = {}) {
        simulator = StartSimulator(options);
        m().TIP_adr->setEditText(simulator->address());
        m().TIP_adrAccept();
    }
    void connectTool() {
        if (!w.link.connectedState())
            m().TBXItem2Click();
        ASSERT_TRUE(w.link.connectedState()) << ui.messages.join(" | ").toStdString();
        w.link.setLoginGranted(true);
    }
    // The file's entries, read from the disk now.
    QStringList written() {
        int damaged = -1;
        QStringList out;
        for (const store::AuditEntry& e : w.audit.log.entries(&damaged)) {
            EXPECT_EQ(e.address, simulator->address());
            EXPECT_EQ(e.unitId, 1);
            QStringList values;
            for (quint16 v : e.values)
                values << QString::number(v);
            out << QString("%1 %2 [%3] %4 = %5")
                       .arg(e.function)
                       .arg(e.registerAddress)
                       .arg(values.join(' '), e.description, e.outcome);
        }
        EXPECT_EQ(damaged, 0);
        return out;
    }
    void consoleSend(int function, int address, int quantity) {
        ext().PBSpinEdit2->setValue(function);
        ext().PBSpinEdit3->setValue(address);
        ext().PBSpinEdit4->setValue(quantity);
        ext().Button1Click();
    }
    // Configuration variable 12 (one decimal, raw 500) alone, read and changed to 54.0.
    void editVariable12(std::optional<int> verdict = std::nullopt, bool edit = true) {
        sim::VariableSpec v;
        v.number = 12;
        v.decimals = 1;
        v.raw = 500;
        v.max = 30000;
        v.verdict = verdict;
        simulator->withInstallation([&](sim::Installation& i) {
            i.state().variables = {v};
            i.state().absentFilled = {};
        });
        k().commitPollWaitMs = 1;
        k().TBXnactiClick();
        ui.answerNextDialog([](QDialog* d) {
            static_cast<config::TFnastaveni*>(d)->PBval->setValue(54.0);
            static_cast<config::TFnastaveni*>(d)->LMDButton1->click();
            return d->result();
        });
        if (edit)
            k().OpenVariableEditor(1);
    }
    sim::Fault fault(sim::FaultKind kind, int function, int keepBytes = 3) {
        sim::Fault f;
        f.kind = kind;
        f.function = quint8(function);
        f.keepBytes = keepBytes;
        f.times = 1;
        return f;
    }
    // The file's lines as they are now, without the time: function, register,
    // values, description, outcome and, after " #", whether the line has a key.
    QStringList fileLines() {
        QStringList out;
        for (const QString& line : QString::fromUtf8(fileBytes(logPath)).split('\n')) {
            const QStringList f = line.split('\t');
            if (f.size() >= 8)
                out << f.mid(3, 5).join('|') + (f.size() == 9 ? " #" : "");
        }
        return out;
    }
    QByteArray fileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }

    RecordingUi ui;
    QTemporaryDir dir;
    QString logPath = dir.filePath("audit.log");
    std::unique_ptr<sim::Simulator> simulator;
    app::Windows w;
};

using Step = void (*)(AuditConsoleTest&);

// ---- the audit log ----

TEST_F(AuditConsoleTest, EveryWriteIsOnTheDiskWithItsOutcomeWhenItsCommandReturns) {
    struct Case {
        const char* name;
        Step prepare; // before the file is emptied
        Step run;
        QStringList expected;
    };
    const Step none = [](AuditConsoleTest&) {};
    const Step variable12 = [](AuditConsoleTest& t) { t.editVariable12(); };
    const Step commit = [](AuditConsoleTest& t) { t.k().CommitChanges(); };
    const QString committed = "6 1488 [256] Potvrzení změn konfigurace = OK";
    const Case cases[] = {
        {"system ON",
         none,
         [](AuditConsoleTest& t) { t.m().TBXonClick(); },
         {PasswordWrite, "6 1700 [2048] Systémový příkaz: ON = OK"}},
        {"clock",
         [](AuditConsoleTest& t) {
             t.m().dtdate->setDate(QDate(2026, 12, 9));
             t.m().dttime->setTime(QTime(10, 11, 12));
         },
         [](AuditConsoleTest& t) { t.m().bdateClick(); },
         {PasswordWrite, "16 1500 [3083 2569 3072 2026] Nastavení hodin 09.12.2026 10:11:12 = OK"}},
        {"configuration value",
         none,
         variable12,
         {"6 11 [540] Proměnná 12: surová hodnota 540 = OK"}},
        {"commit accepted",
         variable12,
         commit,
         {PasswordWrite, committed, "0 1488 [] Výsledek potvrzení změn = Změny přijaty"}},
        {"commit refused",
         [](AuditConsoleTest& t) { t.editVariable12(3); },
         commit,
         {PasswordWrite, committed,
          "0 1488 [] Výsledek potvrzení změn = Změny odmítnuty: 12 (TOO_HIGH)"}},
        {"commit without an end",
         [](AuditConsoleTest& t) {
             t.editVariable12();
             t.simulator->setHoldingRegister(1488, 0x2000);
         },
         commit,
         {PasswordWrite, committed, "0 1488 [] Výsledek potvrzení změn = Něco je špatně"}},
        {"commit write failing",
         [](AuditConsoleTest& t) { t.simulator->addFault(t.fault(sim::FaultKind::BadCrc, 6)); },
         commit,
         {PasswordWrite, "6 1488 [256] Potvrzení změn konfigurace = Chybný CRC odpovědi",
          "0 1488 [] Výsledek potvrzení změn = Chyba v komunikaci"}},
        {"cancel",
         none,
         [](AuditConsoleTest& t) { t.k().CancelChanges(); },
         {PasswordWrite, "6 1488 [512] Zrušení změn konfigurace = OK",
          "0 1488 [] Výsledek zrušení změn = Změny zrušeny"}},
        {"module action",
         [](AuditConsoleTest& t) {
             t.simulator->setInputRegister(1993, quint16(2 << 8 | 0x07));
             t.w.Fmoduly->TBXnactiClick();
             t.w.Fmoduly->TBXedit->trigger();
         },
         [](AuditConsoleTest& t) {
             t.ui.answerNextDialog([&t](QDialog* d) {
                 t.w.Fmodul_akce->Lident->setChecked(true);
                 t.w.Fmodul_akce->LMDButton1->click();
                 return d->result();
             });
             qobject_cast<QPushButton*>(t.w.Fmoduly->SG_mod->titleButton(2))->click();
         },
         {PasswordWrite, "6 1515 [1024] Modul 2: příkaz identifikace = OK"}},
        {"console function 6",
         none,
         [](AuditConsoleTest& t) { t.consoleSend(6, 11, 540); },
         {"6 11 [540] Proměnná 12: surová hodnota 540 = OK"}},
        {"exception reply",
         [](AuditConsoleTest& t) { t.simulator->addFault(t.fault(sim::FaultKind::Exception, 6)); },
         [](AuditConsoleTest& t) { t.m().TBXoffClick(); },
         {PasswordWrite, "6 1700 [4096] Systémový příkaz: OFF = Zařízení odmítlo požadavek "
                         "funkce 6: MODBUS výjimka 4 (chyba zařízení)"}},
        {"send on a closed channel",
         [](AuditConsoleTest& t) { t.m().TBXItem2Click(); },
         [](AuditConsoleTest& t) { t.consoleSend(6, 11, 540); },
         {"6 11 [540] Proměnná 12: surová hodnota 540 = Spojení se zařízením není otevřeno"}},
        // The console's function 16 data is its "Heslo" text: never recorded.
        {"console function 16 elsewhere",
         [](AuditConsoleTest& t) { t.ext().LMDEdit1->setText("ab"); },
         [](AuditConsoleTest& t) { t.consoleSend(16, 40, 1); },
         {"16 40 [] Zápis do registru 40 (data: heslo přístupu, skryto) = Zařízení odmítlo "
          "požadavek funkce 16: MODBUS výjimka 2 (neplatná adresa registru)"}},
        {"console password",
         [](AuditConsoleTest& t) { t.ext().LMDEdit1->setText("Tajne123"); },
         [](AuditConsoleTest& t) { t.consoleSend(16, 2100, 5); },
         {"16 2100 [] Heslo přístupu (skryto) = Zařízení odmítlo požadavek funkce 16: MODBUS "
          "výjimka 3 (neplatná hodnota)"}},
    };
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        connectTool();
        ext().LMDEdit1->setText(QString::fromLatin1(link::DefaultPasswordText));
        c.prepare(*this);
        QFile::remove(logPath);
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
        c.run(*this);
        EXPECT_EQ(written(), c.expected);
        for (const store::AuditEntry& e : w.audit.log.entries())
            EXPECT_TRUE(e.time >= before && e.time <= QDateTime::currentDateTime());
        // Neither password text nor its registers ("Ta", "Vo") are in the file.
        for (const char* secret : {"Vortex", "Tajne", "21601", "22127"})
            EXPECT_FALSE(fileBytes(logPath).contains(secret)) << secret;
    }
}

TEST_F(AuditConsoleTest, AWriteIsOnTheDiskBeforeItGoesOutAndItsOutcomeBeforeItsMessage) {
    const QString password = "16|2100=0x0834||Heslo přístupu (skryto)|";
    struct Case {
        const char* name;
        sim::Fault fault; // on the command's function 6
        Step run;
        QStringList whileHeld; // once the installation has the command
        QStringList atMessage; // while the failure's message is up
        QString entry;         // the command's entry when it has ended
    };
    const Case cases[] = {
        {"the reply held back",
         [] {
             sim::Fault f = DelayFault(600, 1);
             f.function = 6;
             return f;
         }(),
         [](AuditConsoleTest& t) { t.m().TBXonClick(); },
         {password + "odesláno #", password + "OK #",
          "6|1700=0x06A4|2048=0x0800|Systémový příkaz: ON|odesláno #"},
         {},
         "6 1700 [2048] Systémový příkaz: ON = OK"},
        {"a refused command",
         fault(sim::FaultKind::Exception, 6),
         [](AuditConsoleTest& t) { t.m().TBXoffClick(); },
         {},
         {password + "odesláno #", password + "OK #",
          "6|1700=0x06A4|4096=0x1000|Systémový příkaz: OFF|odesláno #",
          "6|1700=0x06A4|4096=0x1000|Systémový příkaz: OFF|Zařízení odmítlo požadavek funkce 6: "
          "MODBUS výjimka 4 (chyba zařízení) #"},
         "6 1700 [4096] Systémový příkaz: OFF = Zařízení odmítlo požadavek funkce 6: MODBUS "
         "výjimka 4 (chyba zařízení)"},
    };
    start();
    m().TBXzaznam->trigger(); // the open window shows the write in flight
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        connectTool();
        QFile::remove(logPath);
        simulator->clearRecords();
        simulator->addFault(c.fault);
        QStringList whileHeld, atMessage;
        QString rowWhileHeld;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const auto frames = simulator->modbusFrames();
            if (whileHeld.isEmpty() && !frames.isEmpty() && frames.last()[1] == 6) {
                whileHeld = fileLines();
                const ui::TextGrid* g = w.Fzaznam->SG_zaznam;
                rowWhileHeld = g->cell(g->columnCount() - 1, g->rowCount() - 1);
            }
        });
        if (!c.whileHeld.isEmpty())
            poll.start(2);
        ui.onMessage = [&](const QString&) { atMessage = fileLines(); };
        c.run(*this);
        ui.onMessage = nullptr;
        EXPECT_EQ(whileHeld, c.whileHeld);
        EXPECT_EQ(atMessage, c.atMessage);
        EXPECT_EQ(rowWhileHeld, c.whileHeld.isEmpty() ? "" : "odesláno") << "the open window";
        // Two lines a write, joined by their key into one entry with its outcome.
        QStringList keys;
        for (const QString& line : QString::fromUtf8(fileBytes(logPath)).split('\n'))
            if (line.count('\t') == 8)
                keys << line.section('\t', 8);
        EXPECT_TRUE(keys.size() == 4 && keys[0] == keys[1] && keys[2] == keys[3] &&
                    keys[0] != keys[2])
            << keys.join(' ').toStdString();
        EXPECT_EQ(written(), (QStringList{PasswordWrite, c.entry}));
    }
}

TEST_F(AuditConsoleTest, AnUnwritableLogWarnsOnceAndTheWritesGoOn) {
    logPath = dir.filePath("missing/audit.log");
    w.audit.log = store::AuditLog(logPath);
    start();
    connectTool();
    simulator->clearRecords();
    m().TBXonClick();
    m().TBXoffClick();
    ASSERT_EQ(ui.messages.size(), 1) << ui.messages.join(" | ").toStdString();
    EXPECT_TRUE(ui.messages[0].startsWith(
        QString("Záznam o zápisu nelze uložit do souboru \"%1\". ").arg(logPath)));
    EXPECT_EQ(ui.parents, QList<QWidget*>{&m()});
    const auto frames = simulator->modbusFrames();
    ASSERT_EQ(frames.size(), 4) << "password, ON, password, OFF";
    EXPECT_EQ(frames[3].left(6), Bytes({0x01, 0x06, 0x06, 0xA4, 0x10, 0x00}));
}

TEST_F(AuditConsoleTest, TheLogWindowShowsTheFileGrowsAndExportsCsv) {
    store::AuditEntry e{QDateTime(QDate(2026, 12, 9), QTime(10, 11, 12, 345)),
                        "127.0.0.9",
                        3,
                        6,
                        1700,
                        {0x0800},
                        "Systémový příkaz: ON",
                        "OK",
                        {}};
    store::AuditEntry verdict{e.time,
                              "127.0.0.9",
                              3,
                              0,
                              1488,
                              {},
                              "Výsledek potvrzení změn",
                              "Změny odmítnuty: 12 (TOO_HIGH)",
                              {}};
    QFile f(logPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // A write's two lines join into one row; a write without its outcome
    // line reads "bez odpovědi".
    const QByteArray off = "\t127.0.0.9\t3\t6\t1700=0x06A4\t4096=0x1000\tSystémový příkaz: OFF\t";
    f.write(store::AuditLogHeader + store::FormatAuditEntry(e) + "damaged line\n" +
            "2026-12-09 10:11:13.000" + off + "odesláno\t5f3a09c1-1\n" + "2026-12-09 10:11:15.000" +
            off + "odesláno\t5f3a09c1-2\n" + "2026-12-09 10:11:15.100" + off +
            "Zařízení neodpovědělo do 2000 ms\t5f3a09c1-2\n" + store::FormatAuditEntry(verdict));
    f.close();
    // "Nástroje" comes after every documented item of the main toolbar.
    auto* bar = m().findChild<QToolBar*>("TBToolbar1");
    EXPECT_EQ(bar->widgetForAction(bar->actions().last()), m().nastrojeButton);
    EXPECT_EQ(m().nastrojeButton->text(), "Nástroje");
    EXPECT_EQ(m().nastrojeMenu->actions().value(0), m().TBXzaznam);
    m().TBXzaznam->trigger();
    main::TFzaznam& z = *w.Fzaznam;
    ASSERT_TRUE(z.isVisible());
    EXPECT_EQ(z.windowTitle(), "Záznam zápisů");
    const auto rows = [&z] {
        QStringList out;
        for (int r = 0; r < z.SG_zaznam->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < z.SG_zaznam->columnCount(); ++c)
                cells << z.SG_zaznam->cell(c, r);
            out << cells.join('|');
        }
        return out;
    };
    const QStringList shown = {
        "Čas|Adresa|ID|Funkce|Registr|Hodnoty|Popis|Výsledek",
        "09.12.2026 10:11:12.345|127.0.0.9|3|6|1700|2048=0x0800|Systémový příkaz: ON|OK",
        "09.12.2026 10:11:13.000|127.0.0.9|3|6|1700|4096=0x1000|Systémový příkaz: OFF|"
        "bez odpovědi",
        "09.12.2026 10:11:15.000|127.0.0.9|3|6|1700|4096=0x1000|Systémový příkaz: OFF|"
        "Zařízení neodpovědělo do 2000 ms",
        "09.12.2026 10:11:12.345|127.0.0.9|3|0|1488||Výsledek potvrzení změn|"
        "Změny odmítnuty: 12 (TOO_HIGH)"};
    EXPECT_EQ(rows(), shown);
    EXPECT_EQ(z.statusPanel0->text(), "Záznamů: 4");
    EXPECT_EQ(z.statusPanel1->text(), "Vynechané poškozené řádky: 1");

    // A write while the window is open joins it at once.
    start();
    connectTool();
    consoleSend(6, 11, 540);
    ASSERT_EQ(rows().size(), 6);
    EXPECT_TRUE(rows()[5].endsWith(simulator->address() +
                                   "|1|6|11|540=0x021C|Proměnná 12: surová hodnota 540|OK"));

    ui.answerNextFileName(dir.filePath("zaznam"));
    z.TBXexportClick();
    EXPECT_EQ(ui.fileDialogFilter, "CSV (*.csv)");
    const QByteArray csv = fileBytes(dir.filePath("zaznam.csv"));
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF" +
                               shown.mid(0, 2).join("\r\n").replace('|', ';').toUtf8() + "\r\n"))
        << csv.constData();
    EXPECT_TRUE(csv.endsWith(";6;11;540=0x021C;Proměnná 12: surová hodnota 540;OK\r\n"));

    // "Obnov" reads the file again.
    QFile::remove(logPath);
    z.TBXobnovClick();
    EXPECT_EQ(rows(), shown.mid(0, 1));
    EXPECT_EQ(z.statusPanel1->text(), "");
    z.close();
}

// ---- the console's diagnostic lines ----

TEST_F(AuditConsoleTest, ConnectShowsTheManagementFramesWithThePasswordMasked) {
    m().TIP_adr->setEditText(NextLoopbackAddress()); // nobody listens there
    m().TIP_adrAccept();
    m().TBXItem2Click();
    EXPECT_EQ(ext().lines(), QStringList{"!! " + ui.messages.value(0)});
    EXPECT_EQ(ui.messages, QStringList{"Spojení bylo odmítnuto"});

    sim::Options o;
    o.loginRequired = true;
    o.user = "servis";
    o.password = "tajne123";
    start(o);
    ext().LMDButton2Click();
    ui.answerNextDialog([this](QDialog*) {
        w.Fprihlaseni->Ljmeno->setText("servis");
        w.Fprihlaseni->Lheslo->setText("tajne123");
        w.Fprihlaseni->okButton->click();
        return w.Fprihlaseni->result();
    });
    connectTool();
    const quint16 port = simulator->modbusPort();
    const QString p = QString::asprintf("0x%02X 0x%02X ", port & 0xFF, port >> 8);
    EXPECT_EQ(ext().lines().filter(QRegularExpression("^(#|!!)")),
              (QStringList{
                  "#> 0x23 0x58 0x52 0x00 0x03 0x00 0xF2 0x00 0x04 ",
                  "#< 0x23 0x58 0x52 0x00 0x04 0x00 " + p + "0x00 0x01 ",
                  "#> 0x23 0x47 0x53 0x00 0x04 0x00 " + p + "0x00 0x01 ",
                  "#< 0x23 0x47 0x53 0x00 0x04 0x00 0x00 0x05 0x00 0x00 ",
                  "#> 0x23 0x49 0x41 0x00 0x12 0x00 0x73 0x65 0x72 0x76 0x69 0x73 0x00 0x00 0x00 "
                  "0x** 0x** 0x** 0x** 0x** 0x** 0x** 0x** 0x** (jméno \"servis\")",
                  "#< 0x23 0x49 0x41 0x01 0x00 0x00 ",
              }));
}

TEST_F(AuditConsoleTest, AFailedExchangeShowsWhatArrivedAndItsText) {
    struct Case {
        const char* name;
        sim::Fault fault;
        QStringList expected; // patterns of the whole log after the request line
    };
    const QString timeOut = "!! Zařízení neodpovědělo do 2000 ms";
    const QString hh = "0x[0-9A-F]{2} ";
    const Case cases[] = {
        {"header and part of the data",
         fault(sim::FaultKind::Truncate, 3, 5),
         {"<~ 0x01 0x03 0x02 " + hh + hh, timeOut}},
        {"part of the header", fault(sim::FaultKind::Truncate, 3, 2), {"<~ 0x01 0x03 ", timeOut}},
        {"nothing", fault(sim::FaultKind::Silence, 3), {timeOut}},
        {"exception",
         fault(sim::FaultKind::Exception, 3),
         {"<-0x01 0x83 0x04 " + hh + hh,
          "!! Zařízení odmítlo požadavek funkce 3: MODBUS výjimka 4 \\(chyba zařízení\\)"}},
        {"closed",
         fault(sim::FaultKind::Close, 3),
         {"Disconnecting\\.\\.\\.", "Disconnected\\.", "!! Zařízení ukončilo spojení"}},
    };
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        connectTool();
        simulator->addFault(c.fault);
        ext().LMDButton2Click();
        ui.clearMessages();
        ext().Button1Click();
        const QStringList lines = ext().lines();
        ASSERT_EQ(lines.size(), c.expected.size() + 1) << lines.join(" | ").toStdString();
        EXPECT_EQ(lines[0], "->0x01 0x03 0x05 0xD0 0x00 0x01 0x85 0x3F ");
        for (int i = 0; i < c.expected.size(); ++i)
            EXPECT_TRUE(
                QRegularExpression("^" + c.expected[i] + "$").match(lines[i + 1]).hasMatch())
                << lines[i + 1].toStdString();
        EXPECT_EQ("!! " + ui.messages.value(0), lines.last()) << "the text of the message box";
    }
}

TEST_F(AuditConsoleTest, TheConsoleSavesItsWholeLogAsUtf8) {
    ext().Button1Click(); // no connection: a request line and the failure
    ui.clearMessages();
    ASSERT_FALSE(ext().isVisible()) << "the lines still wait for the text field";
    ui.answerNextFileName(dir.filePath("konzole"));
    ext().TBXulozlogClick();
    EXPECT_EQ(ui.fileDialogFilter, "Text (*.txt)");
    EXPECT_EQ(fileBytes(dir.filePath("konzole.txt")),
              QByteArray("->0x01 0x03 0x05 0xD0 0x00 0x01 0x85 0x3F \n"
                         "!! Spojení se zařízením není otevřeno\n"));
    EXPECT_TRUE(ui.messages.isEmpty());

    const QString bad = dir.filePath("missing/konzole.txt");
    ui.answerNextFileName(bad);
    ext().TBXulozlogClick();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(QString("Soubor \"%1\" nelze uložit. ").arg(bad)))
        << ui.messages[0].toStdString();
    EXPECT_EQ(ui.parents, QList<QWidget*>{&ext()});

    // The access password's bytes (values and CRC) are left out of the file,
    // as the audit log leaves them out; the console itself shows them.
    ext().LMDButton2Click();
    ext().LMDEdit1->setText("Tajne123");
    consoleSend(16, 2100, 5); // the password write
    consoleSend(16, 40, 1);   // the "Heslo" text to another register
    consoleSend(6, 2101, 0x6E65);
    ext().LMDEdit1->setText("jine");
    consoleSend(6, 11, 540); // no password in it
    const QStringList shown = ext().lines().filter(QRegularExpression("^->"));
    ASSERT_EQ(shown.size(), 4);
    ui.answerNextFileName(dir.filePath("heslo.txt"));
    ext().TBXulozlogClick();
    const QString hiddenData = QString("0x** ").repeated(10);
    EXPECT_EQ(QString::fromUtf8(fileBytes(dir.filePath("heslo.txt")))
                  .split('\n')
                  .filter(QRegularExpression("^->")),
              (QStringList{"->0x01 0x10 0x08 0x34 0x00 0x05 0x08 " + hiddenData,
                           "->0x01 0x10 0x00 0x28 0x00 0x01 0x08 " + hiddenData,
                           "->0x01 0x06 0x08 0x35 0x** 0x** 0x** 0x** ", shown[3]}));
    EXPECT_TRUE(shown[0].contains("0x54 0x61 0x6A")) << "Taj";
}

TEST_F(AuditConsoleTest, AHiddenConsoleKeepsItsNewestLinesAndSaysSo) {
    ext().waitingLineLimit = 3;
    for (const char* line : {"a", "b", "c", "d", "e"})
        ext().appendLine(line);
    const QString dropped = "Vynechané starší řádky: 2 (konzole jich drží nejvýše 3 posledních, "
                            "dokud není zobrazena)";
    EXPECT_EQ(ext().lines(), (QStringList{dropped, "c", "d", "e"}));
    ext().show(); // the waiting lines reach the text field, the count starts again
    ext().hide();
    for (const char* line : {"f", "g", "h", "i"})
        ext().appendLine(line);
    EXPECT_EQ(ext().lines(),
              (QStringList{dropped, "c", "d", "e", QString(dropped).replace("y: 2", "y: 1"), "g",
                           "h", "i"}));
    ext().LMDButton2Click();
    EXPECT_EQ(ext().lines(), QStringList{});
    // Frames keep their bytes while they wait, also past dropped ones (whose
    // bytes are let go on the way).
    for (std::uint8_t i = 1; i <= 8; ++i) {
        const std::uint8_t frame[] = {i, 0x04, i};
        ext().appendEntry({{}, i % 2 ? "->" : "<-", QByteArrayView(frame, 3 - i % 2)});
    }
    EXPECT_EQ(ext().lines(),
              (QStringList{QString(dropped).replace("y: 2", "y: 5"), "<-0x06 0x04 0x06 ",
                           "->0x07 0x04 ", "<-0x08 0x04 0x08 "}));
}

} // namespace
