// The modules view and the module action dialog: decoding from the documented
// bytes, the writes the dialog sends, and both windows driven through their
// handlers against the in-process simulator.
#include "app/Startup.h"
#include "link/RegisterMap.h"
#include "main/TFmain.h"
#include "tests/support/SimFixture.h"
#include "tests/support/SnapshotFixture.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "views/ModuleDecode.h"
#include "views/TFmodul_akce.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

using namespace zra;
using namespace zra::test;
using namespace zra::views;

namespace {

// "%.1f" with the locale's decimal separator, no group separator.
QString tenths(double v) {
    return QString::number(v, 'f', 1).replace('.', QLocale::system().decimalPoint());
}

TEST(ModuleDecode, RowsFromTheirBytes) {
    // Each byte distinct, so that a row reading the wrong byte shows.
    QByteArray bytes(62, '\0');
    for (int i = 0; i < 62; ++i)
        bytes[i] = char(0x10 + i);
    bytes[0] = 3, bytes[1] = 2, bytes[2] = 7; // status codes
    const QStringList v = ModuleStatusValues(link::RegisterData(bytes));
    ASSERT_EQ(v.size(), 37);
    ASSERT_EQ(ModuleRowTitles().size(), 37);
    const std::pair<int, QString> rows[] = {
        {1, "SBWRE"},
        {2, "NOT_SYNC"},
        {3, "7"}, // no text of its own: the code
        {4, QString::number(0x13)},
        {8, QString::number(0x17)},
        {9, tenths(0x1819 / 10.0)},
        {11, QString::number(0x1C1D)},
        {17, tenths(0x2829 / 10.0)},
        {20, QString::number(0x2E2F)},
        {23, QString::number(0x34353637)},
        {24, QString::number(0x38393A3B)},
        {25, QString::number(0x3C)},
        {32, QString::number(0x43)},
        {33, QString::number(0x4445)},
        {37, tenths(0x4C4D / 10.0)},
    };
    for (const auto& [row, text] : rows)
        EXPECT_EQ(v[row - 1], text) << "row " << row;
    EXPECT_EQ(ModuleRowTitles()[AddressRow - 1], "Configured address");
    EXPECT_EQ(ModuleRowTitles()[DcGroupRow - 1], "DC input group number");
    EXPECT_EQ(ModuleRowTitles()[31], "module has an AC input (EPC)");
}

TEST(ModuleDecode, DocumentedValuesAndStatusTexts) {
    QByteArray bytes(62, '\0');
    bytes.replace(36, 4, QByteArray::fromHex("00010203"));
    bytes.replace(40, 4, QByteArray::fromHex("FFFFFFFE"));
    bytes.replace(8, 2, QByteArray::fromHex("08FC"));
    const QStringList v = ModuleStatusValues(link::RegisterData(bytes));
    EXPECT_EQ(v[22], "66051");
    EXPECT_EQ(v[23], "-2");
    EXPECT_EQ(v[8], tenths(230.0));
    EXPECT_EQ(AcOutputStatusText(4), "UNKNOVN");
    EXPECT_EQ(AcInputStatusText(4), "UNKNOVN");
    EXPECT_EQ(DcInputStatusText(2), "UNKNOVN");
    EXPECT_EQ(DcInputStatusText(3), "3");
    EXPECT_THROW(ModuleStatusValues(link::RegisterData(bytes.left(60))), link::ReplyOverrun);
}

TEST(ModuleDecode, WritesOfTheActionDialog) {
    const ModulePlacement table{5, 1, 2, 2};
    const struct {
        int module;
        ModulePlacement entered;
        int bits;
        std::vector<ModuleWrite> writes;
    } cases[] = {
        {1, table, 0, {}},
        {2, {7, 1, 2, 2}, 0, {{1513, 0x0701}}},
        {1, {5, 1, 2, 3}, 0, {{1511, 0x0203}}},
        {1, table, reg::ModuleCommandOn | reg::ModuleCommandIdentify, {{1512, 0x0500}}},
        {3,
         {6, 2, 1, 1},
         reg::ModuleCommandBusErrorClear,
         {{1516, 0x0602}, {1517, 0x0101}, {1518, 0x1000}}},
        // The last module whose registers lie below the system command register.
        {63,
         {6, 2, 16, 1},
         reg::ModuleCommandOff,
         {{1696, 0x0602}, {1697, 0x1001}, {1698, 0x0200}}},
        // Module 64's groups register would be 1700 (AC group 16: ZRA OFF), 197's the password.
        {64, {6, 2, 16, 1}, reg::ModuleCommandOff, {}},
        {197, {6, 2, 16, 1}, reg::ModuleCommandOn, {}},
        {0, {6, 2, 16, 1}, reg::ModuleCommandOn, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ModuleActionWrites(c.module, table, c.entered, c.bits), c.writes);
    EXPECT_EQ(RegisterOfBytes(1, 300), 0x022C) << "a second value above 255 spills over";
}

class ModulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulator = StartSimulator();
        w.Fmain->TIP_adr->setEditText(simulator->address());
        w.Fmain->TIP_adrAccept();
        w.Fmain->TBXItem2Click();
        ASSERT_EQ(w.Fmain->statusPanel0->text(), "Connected");
    }
    TFmoduly& mod() { return *w.Fmoduly; }
    TFmodul_akce& dialog() { return *w.Fmodul_akce; }
    void setModuleCount(int n) { simulator->setInputRegister(1993, quint16(n << 8 | 0x07)); }
    // Module n's configured address, phase, AC and DC group.
    void place(int n, int address, int phase, int ac, int dc) {
        const quint16 base = quint16(31 * (n - 1));
        simulator->setInputRegister(base + 1, quint16(address));       // bytes 2, 3
        simulator->setInputRegister(base + 3, quint16(phase));         // bytes 6, 7
        simulator->setInputRegister(base + 24, quint16(ac << 8 | dc)); // bytes 48, 49
    }
    // The first six bytes of every frame but the password writes.
    QList<QByteArray> framesWithoutPassword() {
        QList<QByteArray> out;
        for (const QByteArray& f : simulator->modbusFrames())
            if (f.mid(1, 3) != Bytes({0x10, 0x08, 0x34}))
                out << f.left(6);
        return out;
    }
    void logIn() { w.link.setLoginGranted(true); }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    app::Windows w;
};

TEST_F(ModulesTest, ReadsTheCountThenEveryModule) {
    EXPECT_TRUE(mod().TBXnacti->isEnabled());
    EXPECT_EQ(mod().windowTitle(), "Moduly");
    EXPECT_EQ(mod().SG_mod->rowCount(), 38);
    EXPECT_EQ(mod().SG_mod->rowHeightPx(0), 40);
    EXPECT_EQ(mod().SG_mod->columnWidthPx(0), 250);
    setModuleCount(3);
    place(2, 5, 1, 2, 3);
    simulator->clearRecords();
    mod().TBXnactiClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(framesWithoutPassword(),
              (QList<QByteArray>{Bytes({0x01, 0x04, 0x07, 0xC9, 0x00, 0x01}),
                                 Bytes({0x01, 0x04, 0x00, 0x00, 0x00, 0x1F}),
                                 Bytes({0x01, 0x04, 0x00, 0x1F, 0x00, 0x1F}),
                                 Bytes({0x01, 0x04, 0x00, 0x3E, 0x00, 0x1F})}));
    ui::TextGrid& g = *mod().SG_mod;
    ASSERT_EQ(g.columnCount(), 4);
    EXPECT_EQ(g.cell(3, 0), "Modul 3");
    EXPECT_EQ(g.cell(2, AddressRow), "5");
    EXPECT_EQ(g.cell(2, DcGroupRow), "3");

    // A count in the low byte is no count: only the titles column is left.
    simulator->setInputRegister(1993, 0x0005);
    simulator->clearRecords();
    mod().TBXnactiClick();
    EXPECT_EQ(g.columnCount(), 1);
    EXPECT_EQ(simulator->modbusFrames().size(), 1);
}

TEST_F(ModulesTest, AFailureKeepsWhatWasReadAndStopsReadAll) {
    setModuleCount(2);
    mod().TBXnactiClick();
    place(1, 9, 1, 1, 1);
    setModuleCount(5);
    sim::Fault f;
    f.kind = sim::FaultKind::Exception;
    f.firstRegister = 62; // module 3
    f.lastRegister = 92;
    simulator->addFault(f);
    mod().TBXnactiClick();
    ui::TextGrid& g = *mod().SG_mod;
    EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
    EXPECT_EQ(ui.parents.last(), &mod());
    EXPECT_EQ(g.columnCount(), 6);
    EXPECT_EQ(g.cell(1, AddressRow), "9") << "module 1 read anew";
    EXPECT_EQ(g.cell(3, 0), "Modul 3") << "its title before its request";
    EXPECT_EQ(g.cell(3, AddressRow), "");
    EXPECT_EQ(g.cell(4, 0), "");
    EXPECT_TRUE(w.link.exchangeFailed());
    EXPECT_FALSE(mod().TBXnacti->isEnabled());
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_F(ModulesTest, CellColours) {
    const auto colour = &TFmoduly::SG_modGetCellColor;
    for (int row : {2, 6, 10})
        EXPECT_EQ(colour(1, row), QColor(248, 248, 248)) << row;
    for (int row : {AddressRow, PhaseRow, AcGroupRow, DcGroupRow})
        EXPECT_EQ(colour(2, row), QColor(220, 238, 200)) << row;
    for (int row : {0, 1, 3, 5})
        EXPECT_FALSE(colour(1, row).has_value()) << row;
    EXPECT_FALSE(colour(0, 2).has_value()) << "the titles column keeps its own";
}

TEST_F(ModulesTest, EditButtonsNeedALoginAndGoOnTheColumnsThatExist) {
    setModuleCount(2);
    mod().TBXnactiClick();
    mod().TBXedit->trigger(); // the login prompt is cancelled
    EXPECT_TRUE(mod().TBXedit->isChecked()) << "the item stays on";
    EXPECT_EQ(mod().SG_mod->titleButton(1), nullptr);
    EXPECT_EQ(ui.dialogsShown, 1);

    mod().TBXedit->trigger(); // off
    logIn();
    mod().TBXedit->trigger(); // on, logged in
    ASSERT_NE(mod().SG_mod->titleButton(2), nullptr);
    EXPECT_EQ(mod().SG_mod->titleButton(2)->size(), QSize(40, 20));
    setModuleCount(3);
    mod().TBXnactiClick();
    EXPECT_EQ(mod().SG_mod->titleButton(3), nullptr) << "a later read adds no button";
    mod().TBXedit->trigger(); // off
    EXPECT_EQ(mod().SG_mod->titleButton(1), nullptr);
}

TEST_F(ModulesTest, AReadAfterASnapshotOfAnotherShapeHasTheTablesOwnRows) {
    setModuleCount(1);
    QTemporaryDir dir;
    for (const int rows : {10, 45}) {
        ui.answerNextFileName(ShapedSnapshotFile(dir, store::ViewKind::Moduly, 2, rows));
        mod().TBXotevri->trigger();
        ASSERT_EQ(mod().SG_mod->rowCount(), rows);
        mod().TBXnactiClick();
        ASSERT_EQ(mod().SG_mod->rowCount(), 38) << rows;
        EXPECT_EQ(mod().SG_mod->cell(0, DcGroupRow), "DC input group number") << rows;
        EXPECT_EQ(mod().SG_mod->cell(0, 37), "Nominal AC frequency (0.1Hz)") << rows;
        EXPECT_FALSE(mod().SG_mod->cell(1, 37).isEmpty()) << rows;
    }
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

TEST_F(ModulesTest, ModulesAbove63AreNeverWritten) {
    // A snapshot may hold any number of columns.
    ui::TextGrid& g = *mod().SG_mod;
    g.setColumnCount(66);
    for (int column = 1; column < 66; ++column)
        for (int row : {AddressRow, PhaseRow, AcGroupRow, DcGroupRow})
            g.setCell(column, row, "1");
    logIn();
    mod().TBXedit->trigger();
    EXPECT_NE(g.titleButton(63), nullptr);
    EXPECT_EQ(g.titleButton(64), nullptr);
    EXPECT_EQ(g.titleButton(65), nullptr);

    simulator->clearRecords();
    mod().SG_modButtonClick(64, 0); // reached another way
    EXPECT_EQ(ui.dialogsShown, 0);
    dialog().table = &g;
    dialog().PBhod1->setValue(1);
    dialog().PBhod2->setValue(1);
    dialog().PBhod3->setValue(16);
    dialog().PBhod4->setValue(1);
    dialog().Lon->setChecked(true);
    for (int module : {64, 197}) {
        dialog().module = module;
        dialog().LMDButton1Click();
    }
    EXPECT_EQ(
        ui.messages,
        (QStringList{"Modul 64 nelze měnit: registry modulů stačí jen pro moduly 1 až 63.",
                     "Modul 64 nelze měnit: registry modulů stačí jen pro moduly 1 až 63.",
                     "Modul 197 nelze měnit: registry modulů stačí jen pro moduly 1 až 63."}));
    EXPECT_TRUE(simulator->modbusFrames().isEmpty());

    // Module 63 is written (this installation of nine modules refuses it).
    dialog().module = 63;
    dialog().Lon->setChecked(false);
    dialog().LMDButton1Click();
    EXPECT_EQ(framesWithoutPassword(),
              (QList<QByteArray>{Bytes({0x01, 0x06, 0x06, 0xA1, 0x10, 0x01})}));
}

TEST_F(ModulesTest, EditIsRefusedWhileACommandRuns) {
    setModuleCount(1);
    mod().TBXnactiClick();
    logIn();
    ui::RunCommand(&mod(), [&] { mod().TBXedit->trigger(); });
    EXPECT_FALSE(mod().TBXedit->isChecked()) << "no buttons, so no check mark";
    mod().TBXedit->trigger();
    EXPECT_TRUE(mod().TBXedit->isChecked());
    ui::RunCommand(&mod(), [&] { mod().TBXedit->trigger(); });
    EXPECT_TRUE(mod().TBXedit->isChecked()) << "the buttons are still there";
    EXPECT_NE(mod().SG_mod->titleButton(1), nullptr);
}

TEST_F(ModulesTest, ActionDialogWritesWhatChangedAfterThePassword) {
    setModuleCount(2);
    place(2, 5, 1, 2, 2);
    mod().TBXnactiClick();
    logIn();
    mod().TBXedit->trigger();
    EXPECT_EQ(dialog().windowTitle(), "Změna modulu");
    simulator->clearRecords();
    ui.answerNextDialog([&](QDialog*) {
        EXPECT_EQ(dialog().windowTitle(), "Změna modulu 2");
        EXPECT_EQ(dialog().Lprom1->text(), "Configured address");
        EXPECT_EQ(dialog().Lprom4->text(), "DC input group number");
        EXPECT_EQ(dialog().PBhod1->value(), 5);
        EXPECT_EQ(dialog().PBhod3->value(), 2);
        dialog().PBhod1->setValue(7);
        dialog().Lon->setChecked(true);
        dialog().Loff->setChecked(true);
        EXPECT_FALSE(dialog().Lon->isChecked()) << "ON and OFF exclude each other";
        dialog().Lon->setChecked(true);
        EXPECT_FALSE(dialog().Loff->isChecked());
        dialog().LMDButton1->click();
        return dialog().result();
    });
    qobject_cast<QPushButton*>(mod().SG_mod->titleButton(2))->click();
    EXPECT_EQ(mod().SelectedModule, 2);
    EXPECT_EQ(dialog().result(), QDialog::Accepted);
    const auto frames = simulator->modbusFrames();
    ASSERT_EQ(frames.size(), 4) << "password, address, password, command";
    EXPECT_EQ(frames[0].left(7), Bytes({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x0A}));
    EXPECT_EQ(framesWithoutPassword(),
              (QList<QByteArray>{Bytes({0x01, 0x06, 0x05, 0xE9, 0x07, 0x01}),
                                 Bytes({0x01, 0x06, 0x05, 0xEB, 0x01, 0x00})}));
    EXPECT_TRUE(dialog().Lon->isChecked()) << "the boxes keep their state";
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

TEST_F(ModulesTest, ActionDialogStopsAtTheFirstFailureAndStaysOpen) {
    setModuleCount(1);
    place(1, 1, 1, 1, 1);
    mod().TBXnactiClick();
    logIn();
    mod().TBXedit->trigger();
    dialog().Lident->setChecked(true);
    sim::Fault f;
    f.kind = sim::FaultKind::Exception;
    f.firstRegister = 1511;
    f.lastRegister = 1511;
    simulator->addFault(f);
    simulator->clearRecords();
    ui.answerNextDialog([&](QDialog*) {
        dialog().PBhod1->setValue(4);
        dialog().PBhod4->setValue(2);
        dialog().LMDButton1->click();
        EXPECT_EQ(ui.messages.last(), "Chyba v komunikaci");
        EXPECT_EQ(ui.parents.last(), &dialog());
        EXPECT_EQ(dialog().PBhod1->value(), 4) << "left as the user left it";
        return dialog().result();
    });
    qobject_cast<QPushButton*>(mod().SG_mod->titleButton(1))->click();
    EXPECT_NE(dialog().result(), QDialog::Accepted);
    EXPECT_EQ(framesWithoutPassword(),
              (QList<QByteArray>{Bytes({0x01, 0x06, 0x05, 0xE6, 0x04, 0x01}),
                                 Bytes({0x01, 0x06, 0x05, 0xE7, 0x01, 0x02})}))
        << "the first write stays, the command is not sent";
    EXPECT_EQ(*simulator->holdingRegister(1510), 0x0401);

    // Without a login (the failure cleared it) a button opens nothing.
    const int shown = ui.dialogsShown;
    qobject_cast<QPushButton*>(mod().SG_mod->titleButton(1))->click();
    EXPECT_EQ(ui.dialogsShown, shown);
}

TEST_F(ModulesTest, ACellWithoutAWholeNumberOpensNoDialog) {
    setModuleCount(1);
    mod().TBXnactiClick();
    logIn();
    mod().TBXedit->trigger();
    mod().SG_mod->setCell(1, PhaseRow, "x");
    qobject_cast<QPushButton*>(mod().SG_mod->titleButton(1))->click();
    EXPECT_EQ(ui.dialogsShown, 0);
    EXPECT_EQ(ui.messages, QStringList{"Buňka „Phase number“ modulu 1 neobsahuje celé číslo."});
    EXPECT_EQ(ui.parents, QList<QWidget*>{&mod()});
}

} // namespace
