// The configuration window against the in-process simulator: the read with its
// skips, the filter, the edit dialog, change-all, commit and cancel.
#include "access/TFprihlaseni.h"
#include "app/Startup.h"
#include "config/ConfigDecode.h"
#include "config/ConfigReads.h"
#include "config/TFkonfig.h"
#include "config/TFnastaveni.h"
#include "main/TFmain.h"
#include "sim/Installation.h"
#include "store/SnapshotFile.h"
#include "store/ToolFiles.h"
#include "tests/support/SimFixture.h"
#include "tests/support/SnapshotFixture.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zra;
using namespace zra::test;
using namespace zra::config;

namespace {

QString Dec(const char* text) {
    return QString::fromLatin1(text).replace('.', QLocale::system().decimalPoint());
}

sim::VariableSpec Var(int n, int raw, int decimals = 0, int unit = 0) {
    sim::VariableSpec v;
    v.number = n;
    v.id = 100 + n;
    v.name = QStringLiteral("Proměnná %1").arg(n);
    v.raw = raw;
    v.decimals = decimals;
    v.unit = unit;
    v.max = 30000;
    return v;
}

class ConfigWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(store::ToolFilePath(store::FilterFileName)).removeRecursively();
        QFile::remove(store::ToolFilePath(store::FilterFileName));
        sim::Options o;
        o.frozen = true;
        o.commitBusyPolls = 1;
        simulator = StartSimulator(o);
        // 1 to 7 present but 4; 8 and 9 absent; 10 to 500 absent, filled with 0xFF.
        auto v5 = Var(5, 10);
        v5.name = QString(31, 'x') + QChar(0x02D9); // its last name byte is 0xFF
        auto v6 = Var(6, -2);                       // its value's high byte is 0xFF
        setVariables({Var(1, 123, 1, 1), Var(2, 1234, 1, 5), Var(3, 1234, 3), v5, v6, Var(7, -5)},
                     {{10, 500}});
        simulator->withInstallation([](sim::Installation& i) {
            for (auto& v : i.state().variables)
                if (v.number == 3)
                    v.validity = 9;
        });
    }
    void setVariables(const QList<sim::VariableSpec>& vars, QList<QPair<int, int>> filled) {
        simulator->withInstallation([&](sim::Installation& i) {
            i.state().variables = vars;
            i.state().absentFilled = filled;
        });
    }
    // Creates the windows (reading the filter file) and connects.
    void open(std::optional<QByteArray> filterFile = std::nullopt) {
        if (filterFile) {
            QFile f(store::ToolFilePath(store::FilterFileName));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(*filterFile);
        }
        w = std::make_unique<app::Windows>();
        QObject::connect(&w->link, &link::DeviceLink::trace,
                         [this](const QString& line) { console << line; });
        w->Fmain->TIP_adr->setEditText(simulator->address());
        w->Fmain->TIP_adrAccept();
        w->Fmain->TBXItem2Click();
        ASSERT_TRUE(w->link.connectedState());
        simulator->clearRecords();
    }
    TFkonfig& k() { return *w->Fkonfig; }
    ui::TextGrid& g() { return *w->Fkonfig->SG_konfig; }
    void logIn() {
        w->link.setLoginGranted(true);
        k().applyLogin(true);
    }
    // The variable numbers requested, in order.
    QList<int> requestedVariables() {
        QList<int> out;
        for (const QByteArray& f : simulator->modbusFrames()) {
            const int address = quint8(f[2]) << 8 | quint8(f[3]);
            if (f[1] == 4 && address >= 4160 && (address - 4160) % 20 == 0)
                out << (address - 4160) / 20 + 1;
        }
        return out;
    }
    // The frames with function 6.
    QList<QByteArray> writes() {
        QList<QByteArray> out;
        for (const QByteArray& f : simulator->modbusFrames())
            if (f[1] == 6)
                out << f.left(6);
        return out;
    }
    QStringList consoleLines(const QString& prefix) {
        return console.filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
    }
    // Edits a row through the dialog: the script enters the value and clicks OK.
    void edit(int row, double value) {
        ui.answerNextDialog([value](QDialog* d) {
            auto* dialog = static_cast<TFnastaveni*>(d);
            dialog->PBval->setValue(value);
            dialog->LMDButton1->click();
            return dialog->result();
        });
        k().OpenVariableEditor(row);
    }
    void pinControl(quint8 high) { simulator->setHoldingRegister(1488, quint16(high << 8)); }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<app::Windows> w;
    QStringList console;
};

TEST_F(ConfigWindowTest, ReadsEveryVariableAndSkipsTheAnnouncedAbsentOnes) {
    open();
    EXPECT_EQ(k().windowTitle(), "Konfigurace");
    EXPECT_TRUE(k().TBXnacti->isEnabled());
    const QStringList titles{"#",        "Popis",      "Hodnota", "Platnost", "ID",
                             "Jednotka", "P. hodnota", "stav",    "",         "desm"};
    const int widths[] = {43, 231, 64, 64, 64, 64, 64, 0, 0, 0};
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(g().cell(c, 0), titles[c]);
        EXPECT_EQ(g().columnWidthPx(c), widths[c]) << c;
    }
    k().TBXnactiClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();

    QList<int> expected{1, 2, 3, 4, 5, 7, 8, 9, 10};
    for (int n = 12; n <= 500; n += 2)
        expected << n;
    EXPECT_EQ(requestedVariables(), expected);
    const auto frames = simulator->modbusFrames();
    EXPECT_EQ(frames[0].left(6), Bytes({0x01, 0x03, 0x05, 0xD0, 0x00, 0x01})) << "the check first";
    EXPECT_EQ(frames[1].left(6), Bytes({0x01, 0x04, 0x10, 0x40, 0x00, 0x15}));
    EXPECT_EQ(frames.last().left(6), Bytes({0x01, 0x04, 0x37, 0x3C, 0x00, 0x14}))
        << "variable 500 with quantity 20";
    const QStringList skipped = consoleLines("Vynechat ");
    ASSERT_EQ(skipped.size(), 1 + 245);
    EXPECT_EQ(skipped.first(), "Vynechat 6");
    EXPECT_EQ(skipped[1], "Vynechat 11");
    EXPECT_EQ(skipped.last(), "Vynechat 499");

    ASSERT_EQ(g().rowCount(), 1 + 5);
    const struct {
        int row;
        QString number, value, validity, unit, multiplier;
    } rows[] = {{1, "1", Dec("12.30"), "OK", "V", "10"},
                {2, "2", Dec("123.40"), "OK", "°", "10"},
                {3, "3", Dec("1.23"), "***", "", "1000"},
                {4, "5", "10", "OK", "", "1"},
                {5, "7", "-5", "OK", "", "1"}};
    for (const auto& r : rows) {
        EXPECT_EQ(g().cell(NumberColumn, r.row), r.number);
        EXPECT_EQ(g().cell(ValueColumn, r.row), r.value) << r.row;
        EXPECT_EQ(g().cell(ValidityColumn, r.row), r.validity) << r.row;
        EXPECT_EQ(g().cell(UnitColumn, r.row), r.unit) << r.row;
        EXPECT_EQ(g().cell(MultiplierColumn, r.row), r.multiplier) << r.row;
        EXPECT_EQ(g().cell(IdColumn, r.row), QString::number(100 + r.number.toInt()));
        EXPECT_EQ(g().cell(NameColumn, r.row).size(), 32);
        EXPECT_EQ(g().cell(PreviousColumn, r.row), "");
    }
    EXPECT_EQ(g().cell(NameColumn, 4).right(1), QChar(0x02D9));
    EXPECT_EQ(k().statusPanel0->text(), "Řádků: 5");
    EXPECT_TRUE(QRegularExpression("^\\d+s$").match(k().TBXLabelItem1->text()).hasMatch());
    EXPECT_EQ(ui.busyDepth, 0);

    EXPECT_GE(g().columnWidthPx(NameColumn), g().fittingColumnWidth(NameColumn))
        << "a name wider than the column widens it";
}

TEST_F(ConfigWindowTest, AnInstallationWithoutVariablesAndAFailedRead) {
    setVariables({}, {});
    open();
    k().TBXnactiClick();
    EXPECT_EQ(requestedVariables().size(), 500);
    EXPECT_EQ(g().rowCount(), 2) << "one empty data row";
    EXPECT_EQ(g().cell(NumberColumn, 1), "");
    EXPECT_EQ(k().statusPanel0->text(), "Řádků: 1");

    setVariables({Var(1, 1), Var(2, 2), Var(3, 3), Var(4, 4)}, {});
    sim::Fault f;
    f.kind = sim::FaultKind::Exception;
    f.firstRegister = 4201; // variable 3 (variable 2's request ends at 4200)
    f.lastRegister = 4219;
    simulator->addFault(f);
    k().TBXnactiClick();
    ASSERT_EQ(ui.messages.size(), 2);
    EXPECT_EQ(ui.messages[1], "Chyba v komunikaci");
    EXPECT_EQ(ui.parents, (QList<QWidget*>{&k(), &k()}));
    EXPECT_EQ(g().rowCount(), 3) << "the rows before the failure stay";
    EXPECT_EQ(g().cell(NumberColumn, 2), "2");
    EXPECT_EQ(k().statusPanel0->text(), "Řádků: 2");
    EXPECT_TRUE(k().TBXLabelItem1->text().endsWith('s'));
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_FALSE(k().TBXnacti->isEnabled());
}

TEST_F(ConfigWindowTest, UnsavedChangesOnlyWarnTheRead) {
    open();
    pinControl(0x80);
    k().TBXnactiClick();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0], "Konfig byl změněn, ale změny nebyly uloženy. Proveďte <Zruš změny> "
                              "nebo <Prověď změny>, jinak výpis nemusí být pravdivý");
    EXPECT_EQ(g().rowCount(), 6) << "the read goes on";
}

TEST_F(ConfigWindowTest, AnEmptyFilterCannotBeSwitchedOn) {
    open();
    EXPECT_FALSE(k().TBXdofiltru->isEnabled());
    EXPECT_TRUE(k().TBXzobrazvse->isChecked());
    k().TBXulozfiltrClick();
    EXPECT_EQ(ui.messages, QStringList{"Nelze"}) << "nothing read yet";
    k().TBXfiltr->trigger();
    EXPECT_EQ(ui.messages.last(), "Filtr je prázdný");
    EXPECT_FALSE(k().TBXfiltr->isChecked());
    for (QAction* a : {k().TBXdofiltru, k().TBXzfiltru, k().TBXzobrazvse})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_EQ(k().statusPanel1->text(), "");
}

TEST_F(ConfigWindowTest, AFilterFileThatCannotBeUsedEndsWithTheSystemsMessage) {
    // A folder where the file should be: it can be neither read nor replaced.
    const QString path = store::ToolFilePath(store::FilterFileName);
    ASSERT_TRUE(QDir().mkpath(path));
    open();
    ASSERT_EQ(ui.messages.size(), 1) << "the load at window creation";
    EXPECT_FALSE(ui.messages[0].isEmpty());
    EXPECT_TRUE(k().filter.empty());
    k().TBXnactiClick();
    ui.clearMessages();
    k().TBXulozfiltrClick();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.parents[0], &k());
    EXPECT_TRUE(QFileInfo(path).isDir()) << "nothing replaced it";
    QDir(path).removeRecursively();
}

TEST_F(ConfigWindowTest, TheFilterLimitsTheReadAndTheRows) {
    // Variables 1, 5 and 7 in the filter, 2 by a byte 2; 6 (announced absent by 5) is not.
    QByteArray file(10, '\0');
    file[0] = 1, file[1] = 2, file[4] = 1, file[6] = 1;
    open(file);
    k().TBXfiltr->trigger();
    ASSERT_TRUE(k().TBXfiltr->isChecked());
    EXPECT_EQ(k().statusPanel1->text(), "Filtr");
    k().TBXnactiClick();
    EXPECT_EQ(requestedVariables(), (QList<int>{1, 2, 5, 7}))
        << "variable 6 outside the filter drops the skip";
    EXPECT_TRUE(consoleLines("Vynechat").isEmpty());
    EXPECT_EQ(k().statusPanel1->text(), "Filtr: 3") << "the byte 2 is not counted";

    // The whole table, then the filter: outside rows in grey, or hidden.
    k().TBXfiltr->trigger();
    k().TBXnactiClick();
    k().TBXfiltr->trigger();
    ASSERT_EQ(g().rowCount(), 6); // variables 1, 2, 3, 5, 7
    EXPECT_EQ(k().SG_konfigGetTextColor(1, 3), QColor(212, 212, 212)) << "variable 3";
    EXPECT_FALSE(k().SG_konfigGetTextColor(1, 2).has_value());
    k().TBXzobrazvse->trigger();
    EXPECT_EQ(g().rowHeightPx(3), 0);
    EXPECT_EQ(g().rowHeightPx(4), 21);
    // Banding counts the visible rows only: 1, 2, [3], 5, 7 -> 2 and 7 shaded.
    const QColor band(248, 248, 248);
    for (const auto& [row, shaded] :
         std::vector<std::pair<int, bool>>{{1, false}, {2, true}, {4, false}, {5, true}})
        EXPECT_EQ(k().SG_konfigGetCellColor(1, row) == band, shaded) << row;
    EXPECT_FALSE(k().SG_konfigGetCellColor(0, 2).has_value()) << "column 0 is never shaded";

    // Ctrl+Z on a selected row takes it out of the filter and hides it at once.
    g().selectRowNumber(4, false);
    QTest::keyRelease(&g(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(g().rowHeightPx(4), 0);
    EXPECT_EQ(k().statusPanel1->text(), "Filtr: 2");
    EXPECT_TRUE(g().selectedRowNumbers().empty());

    // Switching the filter off shows every row; Ctrl+F then changes nothing.
    k().TBXfiltr->trigger();
    EXPECT_EQ(g().rowHeightPx(3), 21);
    EXPECT_FALSE(k().TBXdofiltru->isEnabled());
    g().selectRowNumber(3, false);
    QTest::keyRelease(&g(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(k().filter.contains(3));
    EXPECT_EQ(k().statusPanel1->text(), "");

    // Saving over a longer file rewrites its first 500 bytes only.
    QFile f(store::ToolFilePath(store::FilterFileName));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(600, '\x09'));
    f.close();
    k().TBXulozfiltrClick();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    ASSERT_EQ(saved.size(), 600);
    EXPECT_EQ(saved.left(8), QByteArray::fromHex("0102000000000100")) << "5 was taken out";
    EXPECT_EQ(saved.mid(500), QByteArray(100, '\x09'));
}

TEST_F(ConfigWindowTest, TheFilterItemsWaitForARunningCommand) {
    QByteArray file(10, '\0');
    file[0] = 1;
    open(file);
    k().TBXnactiClick();
    k().TBXfiltr->trigger();
    ASSERT_TRUE(k().TBXfiltr->isChecked());
    const bool showAll = k().TBXzobrazvse->isChecked();
    // As if clicked while a read waits for its reply: refused, check marks kept.
    ui::RunCommand(&k(), [&] {
        k().TBXfiltr->trigger();
        k().TBXzobrazvse->trigger();
        g().selectRowNumber(2, false);
        QTest::keyRelease(&g(), Qt::Key_F, Qt::ControlModifier);
    });
    EXPECT_TRUE(k().TBXfiltr->isChecked());
    EXPECT_EQ(k().TBXzobrazvse->isChecked(), showAll);
    EXPECT_FALSE(k().filter.contains(2));
    EXPECT_EQ(k().statusPanel1->text(), "Filtr: 1");
    k().TBXfiltr->trigger();
    EXPECT_FALSE(k().TBXfiltr->isChecked()) << "usable again once the command ended";
}

TEST_F(ConfigWindowTest, TheEditDialogWritesOneValue) {
    open();
    k().TBXnactiClick();
    // Without a login the prompt comes first; cancelled, nothing happens.
    k().OpenVariableEditor(1);
    EXPECT_EQ(ui.dialogsShown, 1);
    EXPECT_TRUE(writes().isEmpty());
    logIn();

    TFnastaveni& d = *w->Fnastaveni;
    ui.answerNextDialog([&](QDialog*) {
        EXPECT_EQ(d.windowTitle(), "Změna proměnné");
        EXPECT_EQ(d.Lprom->text().trimmed(), "Proměnná 1");
        EXPECT_EQ(d.Label2->text(), "V");
        EXPECT_EQ(d.PBval->decimals(), 1);
        EXPECT_EQ(d.EditedVariable, 1);
        EXPECT_EQ(d.palette().color(QPalette::Window), QColor(217, 240, 237));
        EXPECT_EQ(d.Lprom->palette().color(QPalette::Window), QColor(226, 243, 241));
        d.PBval->setValue(12.5);
        d.LMDButton1->click();
        return d.result();
    });
    k().OpenVariableEditor(1);
    EXPECT_EQ(writes(), QList<QByteArray>{Bytes({0x01, 0x06, 0x00, 0x00, 0x00, 125})});
    EXPECT_EQ(g().cell(PreviousColumn, 1), Dec("12.30"));
    EXPECT_EQ(g().cell(ValueColumn, 1), Dec("12.50"));
    EXPECT_EQ(g().cell(StateColumn, 1), "10");
    EXPECT_EQ(k().SG_konfigGetCellColor(ValueColumn, 1), QColor(177, 192, 241));
    edit(1, 12.7);
    EXPECT_EQ(g().cell(PreviousColumn, 1), Dec("12.30")) << "the value before the first change";

    // OK without a change still writes; the row stays unchanged. Three
    // decimals: the exact value read goes back, not the two shown.
    simulator->clearRecords();
    edit(2, 123.4);
    edit(3, 1.23);
    EXPECT_EQ(writes(), (QList<QByteArray>{Bytes({0x01, 0x06, 0x00, 0x01, 0x04, 0xD2}),
                                           Bytes({0x01, 0x06, 0x00, 0x02, 0x04, 0xD2})}));
    EXPECT_EQ(g().cell(StateColumn, 2), "") << "still as read";
    EXPECT_EQ(g().cell(ValueColumn, 3), Dec("1.23"));

    // -1.5 with one decimal goes as 0xFFF1; a value beyond the register is refused.
    simulator->clearRecords();
    edit(1, -1.5);
    EXPECT_EQ(writes(), QList<QByteArray>{Bytes({0x01, 0x06, 0x00, 0x00, 0xFF, 0xF1})});
    simulator->clearRecords();
    ui.answerNextDialog([&](QDialog*) {
        d.PBval->setValue(7000);
        d.LMDButton1->click();
        return d.result();
    });
    k().OpenVariableEditor(1);
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_EQ(ui.messages.last(), "Hodnotu nelze zapsat: proměnná s 1 desetinnými místy může mít "
                                  "jen hodnoty " +
                                      AllowedRangeText(1) + ".");
    EXPECT_EQ(ui.parents.last(), &d);
    EXPECT_EQ(g().cell(ValueColumn, 1), Dec("-1.50")) << "the table keeps its value";

    // A double click opens the dialog only while the MODBUS channel is open.
    sim::Fault close;
    close.kind = sim::FaultKind::Close;
    simulator->addFault(close);
    k().TBXnactiClick();
    ASSERT_FALSE(w->link.modbusOpen());
    const int shown = ui.dialogsShown;
    g().cellDoubleClicked(1, 1);
    EXPECT_EQ(ui.dialogsShown, shown);
}

TEST_F(ConfigWindowTest, ChangeAllWritesWhatDiffers) {
    open();
    logIn();
    k().TBXnactiClick();
    k().ApplyLoadedValues();
    EXPECT_EQ(ui.messages, QStringList{"Není co měnit"}) << "three decimals shown as two match";
    EXPECT_TRUE(writes().isEmpty());

    g().setCell(ValueColumn, 1, Dec("20.00")); // differs
    g().setCell(ValueColumn, 2, Dec("99.00")); // differs, but its ID does not match
    g().setCell(IdColumn, 2, "999");
    g().setCell(ValueColumn, 4, "70000"); // beyond the register
    simulator->clearRecords();
    ui.clearMessages();
    k().ApplyLoadedValues();
    EXPECT_EQ(requestedVariables(), (QList<int>{1, 2, 3, 5, 7}));
    EXPECT_EQ(simulator->modbusFrames()[1].left(6), Bytes({0x01, 0x04, 0x10, 0x40, 0x00, 0x03}));
    EXPECT_EQ(writes(), QList<QByteArray>{Bytes({0x01, 0x06, 0x00, 0x00, 0x00, 200})});
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains("5 " + QString(31, 'x'))) << ui.messages[0].toStdString();
    EXPECT_TRUE(ui.messages[0].contains("70000"));
    const int states[] = {0, Pending, IdMismatch, Unchanged, Differs, Unchanged};
    for (int row = 1; row <= 5; ++row)
        EXPECT_EQ(g().cell(StateColumn, row).toInt(), states[row]) << row;
    EXPECT_EQ(k().SG_konfigGetCellColor(ValueColumn, 2), QColor(255, 62, 158));
    EXPECT_EQ(k().SG_konfigGetCellColor(ValueColumn, 4), QColor(255, 128, 255));

    // Cancel: the rows change-all wrote or was to write get the installation's
    // value back; the row never written for its ID keeps its text.
    k().CancelChanges();
    EXPECT_EQ(g().cell(ValueColumn, 1), Dec("12.30"));
    EXPECT_EQ(g().cell(ValueColumn, 4), "10");
    EXPECT_EQ(g().cell(ValueColumn, 2), Dec("99.00"));
    for (int row = 1; row <= 5; ++row)
        EXPECT_EQ(g().cell(StateColumn, row), "0") << row;

    // With changes pending on the installation nothing is compared.
    pinControl(0x80);
    simulator->clearRecords();
    ui.clearMessages();
    k().ApplyLoadedValues();
    EXPECT_EQ(simulator->modbusFrames().size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("Konfig byl změněn"));
}

TEST_F(ConfigWindowTest, ChangeAllPassesOverRowsItCannotCompare) {
    open();
    logIn();
    const struct {
        int column;
        const char* text;
    } odd[] = {
        {MultiplierColumn, "7"}, {MultiplierColumn, ""}, {ValueColumn, "abc"}, {IdColumn, "x"}};
    for (const auto& c : odd) {
        k().TBXnactiClick();
        g().setCell(ValueColumn, 1, Dec("20.00"));
        g().setCell(c.column, 3, c.text);
        simulator->clearRecords();
        ui.clearMessages();
        k().ApplyLoadedValues();
        EXPECT_EQ(requestedVariables(), (QList<int>{1, 2, 5, 7})) << c.text;
        EXPECT_EQ(writes(), QList<QByteArray>{Bytes({0x01, 0x06, 0x00, 0x00, 0x00, 200})});
        ASSERT_EQ(ui.messages.size(), 1) << ui.messages.join(" | ").toStdString();
        EXPECT_TRUE(ui.messages[0].startsWith("Tyto řádky nelze porovnat"));
        EXPECT_TRUE(ui.messages[0].endsWith("\n3 Proměnná 3")) << ui.messages[0].toStdString();
        EXPECT_EQ(g().cell(StateColumn, 3), "0");
        EXPECT_EQ(g().cell(StateColumn, 1).toInt(), Pending);
        k().CancelChanges();
    }
    // A row without a variable number is not compared, whatever its state
    // cell says, and never written.
    k().TBXnactiClick();
    g().setCell(ValueColumn, 1, Dec("20.00"));
    g().setCell(NumberColumn, 3, "x");
    g().setCell(StateColumn, 3, "1");
    simulator->clearRecords();
    k().ApplyLoadedValues();
    EXPECT_EQ(writes(), QList<QByteArray>{Bytes({0x01, 0x06, 0x00, 0x00, 0x00, 200})});
}

TEST_F(ConfigWindowTest, CommitShowsTheVerdictOfEveryValue) {
    // Variables 1 to 8: the installation refuses 2 to 8 with the codes 1 to 7.
    QList<sim::VariableSpec> vars;
    for (int n = 1; n <= 8; ++n) {
        vars << Var(n, 10 * n);
        if (n > 1)
            vars.last().verdict = n - 1;
    }
    setVariables(vars, {});
    open();
    logIn();
    k().TBXnactiClick();
    for (int row = 1; row <= 8; ++row)
        edit(row, 500 + row);
    simulator->clearRecords();
    k().CommitChanges();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    const auto frames = simulator->modbusFrames();
    EXPECT_EQ(frames[0].left(3), Bytes({0x01, 0x10, 0x08})) << "the password first";
    EXPECT_EQ(frames[1].left(6), Bytes({0x01, 0x06, 0x05, 0xD0, 0x01, 0x00}));
    EXPECT_EQ(consoleLines("Stav : 0x"), QStringList{"Stav : 0x20"});
    const QStringList verdicts{
        "OK",        "TOO_LOW",      "HYST_TOO_LOW", "TOO_HIGH", "ZRA_MUST_BE_OFF",
        "BAD_VALUE", "INV_MISMATCH", "***"};
    for (int row = 1; row <= 8; ++row) {
        EXPECT_EQ(g().cell(ValidityColumn, row), verdicts[row - 1]) << row;
        EXPECT_EQ(g().cell(StateColumn, row).toInt(), row == 1 ? Accepted : Rejected);
    }
    EXPECT_GE(g().columnWidthPx(ValidityColumn), g().fittingColumnWidth(ValidityColumn))
        << "no verdict is cut off";
    EXPECT_GT(g().columnWidthPx(ValidityColumn), 64);
    EXPECT_EQ(k().SG_konfigGetCellColor(ValueColumn, 1), QColor(0, 255, 0));
    EXPECT_EQ(k().SG_konfigGetCellColor(ValueColumn, 4), QColor(255, 0, 0));
    EXPECT_EQ(requestedVariables().size(), 0) << "validity registers only";
    EXPECT_EQ(frames.last().left(6), Bytes({0x01, 0x04, 0x10, 0xCD, 0x00, 0x01}))
        << "variable 8's validity register";

    // Cancel: the installation keeps the accepted value and never took the
    // refused ones; the table then shows what a read shows.
    k().CancelChanges();
    QStringList cancelled;
    for (int row = 1; row <= 8; ++row) {
        cancelled << g().cell(ValueColumn, row);
        EXPECT_EQ(g().cell(StateColumn, row), "0");
    }
    EXPECT_EQ(cancelled.first(), "501");
    k().TBXnactiClick();
    for (int row = 1; row <= 8; ++row)
        EXPECT_EQ(g().cell(ValueColumn, row), cancelled[row - 1]) << row;

    // Everything accepted: no validity is read.
    setVariables({Var(1, 10)}, {});
    k().TBXnactiClick();
    edit(1, 3);
    simulator->clearRecords();
    k().CommitChanges();
    EXPECT_EQ(g().cell(ValidityColumn, 1), "OK");
    EXPECT_EQ(g().cell(StateColumn, 1).toInt(), Accepted);
    EXPECT_EQ(simulator->modbusFrames().last().left(4), Bytes({0x01, 0x03, 0x05, 0xD0}));
}

TEST_F(ConfigWindowTest, ACommitWithoutVerdictKeepsTheWindowsResponsive) {
    open();
    logIn();
    k().TBXnactiClick();
    edit(1, 20.0);
    pinControl(0x20); // the commit never ends
    k().commitPollWaitMs = 15;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    // Another command tried during the waits does not start.
    QTimer::singleShot(50, [&] { k().TBXnactiClick(); });
    simulator->clearRecords();
    k().CommitChanges();
    EXPECT_EQ(consoleLines("Stav : 0x"), QStringList(21, "Stav : 0x20"));
    EXPECT_EQ(ui.messages, QStringList{"Něco je špatně"});
    EXPECT_GT(ticks, 10) << "events ran during the waits";
    EXPECT_TRUE(requestedVariables().isEmpty()) << "no read started meanwhile";
    EXPECT_EQ(g().cell(StateColumn, 1), "10") << "the row stays pending";
    EXPECT_EQ(ui.busyDepth, 0);

    // Cancel: the password write, 512, and the value before the change.
    simulator->clearRecords();
    k().CancelChanges();
    const auto frames = simulator->modbusFrames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].left(3), Bytes({0x01, 0x10, 0x08}));
    EXPECT_EQ(frames[1].left(6), Bytes({0x01, 0x06, 0x05, 0xD0, 0x02, 0x00}));
    EXPECT_EQ(g().cell(ValueColumn, 1), Dec("12.30"));
    EXPECT_EQ(g().cell(StateColumn, 1), "0");
}

TEST_F(ConfigWindowTest, CommitAndCancelFollowTheLogin) {
    open();
    EXPECT_FALSE(k().TBXzrus->isEnabled());
    EXPECT_FALSE(k().TBXproved->isEnabled());
    EXPECT_TRUE(k().TBXedit->isEnabled());
    const auto promptWith = [&](const char* password) {
        ui.answerNextDialog([&, password](QDialog*) {
            w->Fprihlaseni->Ljmeno->setText("admin");
            w->Fprihlaseni->Lheslo->setText(password);
            w->Fprihlaseni->okButton->click();
            if (w->Fprihlaseni->result() != QDialog::Accepted)
                w->Fprihlaseni->reject();
            return w->Fprihlaseni->result();
        });
        w->Fprihlaseni->PromptLogin();
    };
    promptWith("spatne");
    EXPECT_FALSE(k().TBXproved->isEnabled());
    promptWith("zra");
    EXPECT_TRUE(k().TBXzrus->isEnabled());
    EXPECT_TRUE(k().TBXproved->isEnabled());
    w->link.EnterDisconnectedState();
    for (QAction* a : {k().TBXnacti, k().TBXedit, k().TBXzrus, k().TBXproved})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
}

TEST_F(ConfigWindowTest, AReadAfterASnapshotOfAnotherShapeHasTheTablesOwnColumns) {
    open();
    QStringList titles = ConfigColumnTitles();
    titles[NameColumn] = "Název"; // as the settings file keeps it
    w->settings.setTexts("TFkonfig", "SG_konfig.ColumnHeaders", titles);
    k().show();
    QTemporaryDir dir;
    for (const int columns : {8, 3, 12}) {
        ui.answerNextFileName(ShapedSnapshotFile(dir, store::ViewKind::Konfig, columns, 3));
        k().TBXotevri->trigger();
        ASSERT_EQ(g().columnCount(), columns);
        k().TBXnactiClick();
        ASSERT_EQ(g().columnCount(), ConfigColumns) << columns;
        for (int c = 0; c < ConfigColumns; ++c)
            EXPECT_EQ(g().cell(c, 0), titles[c]) << columns << " " << c;
        for (int c = StateColumn; c <= MultiplierColumn; ++c)
            EXPECT_EQ(g().columnWidthPx(c), 0) << "hidden again: " << c;
        EXPECT_EQ(g().columnWidthPx(UnitColumn), 64);
        EXPECT_EQ(g().cell(MultiplierColumn, 1), "10");
    }
    k().hide();
    QFile::remove(store::ToolFilePath(store::SettingsFileName));
}

TEST_F(ConfigWindowTest, TheChangeSetFollowsTheTableAndItsSnapshots) {
    open();
    logIn();
    k().TBXnactiClick();
    edit(1, 20.0);
    QTemporaryDir dir;
    const QString file = dir.filePath("konfig.ZRD");
    ui.answerNextFileName(file);
    k().TBXuloz->trigger();
    k().TBXnactiClick(); // warns of the installation's unsaved change
    EXPECT_TRUE(k().watchPause().isEmpty()) << "a read settles the change set";
    ui.clearMessages();

    // A snapshot's states are the window's, colours and cancel included.
    ui.answerNextFileName(file);
    k().TBXotevri->trigger();
    ASSERT_EQ(g().cell(StateColumn, 1), "10");
    EXPECT_EQ(k().SG_konfigGetCellColor(ValueColumn, 1), QColor(177, 192, 241));
    EXPECT_FALSE(k().watchPause().isEmpty());
    // Rows cut off take their states with them; rows added come unchanged.
    g().setCell(StateColumn, 3, "3");
    EXPECT_EQ(k().SG_konfigGetCellColor(ValueColumn, 3), QColor(255, 0, 0));
    g().setRowCount(3);
    g().setRowCount(5);
    EXPECT_NE(k().SG_konfigGetCellColor(ValueColumn, 3), QColor(255, 0, 0));
    g().setCell(StateColumn, 1, "2");
    EXPECT_TRUE(k().watchPause().isEmpty()) << "accepted";
    g().setCell(StateColumn, 1, "10");
    k().CancelChanges();
    EXPECT_EQ(g().cell(ValueColumn, 1), Dec("12.30"));
    EXPECT_EQ(g().cell(StateColumn, 1), "0");
    EXPECT_TRUE(k().watchPause().isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

} // namespace
