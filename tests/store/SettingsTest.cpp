// The settings store: what a window writes at closing comes back at its next
// showing from a real INI file; what it must never write or overwrite.
#include "store/ToolFiles.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingUi.h"
#include "ui/SettingsStore.h"
#include "ui/TextGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QSpontaneKeyEvent>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QToolBar>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using namespace zra::store;
using zra::ui::SettingsStore;
using zra::ui::TextGrid;

namespace {

// A main window with a widget of every stored kind, at its designed values.
struct Main {
    QMainWindow window;
    TextGrid* grid = new TextGrid;
    QSpinBox* spid = new QSpinBox;
    QAction* filtr = new QAction(&window);
    QSplitter* splitter = new QSplitter;
    QWidget* left = new QWidget;
    SettingsStore* store;

    explicit Main(SettingsFile& file, const QString& section = "TFmain", int columns = 3)
        : store(new SettingsStore(&window, section, file)) {
        grid->setColumnCount(columns);
        grid->setRowCount(3);
        for (int c = 0; c < columns; ++c)
            grid->setCell(c, 0, QStringLiteral("C%1").arg(c));
        grid->setCell(0, 1, "R1");
        grid->setCell(0, 2, "R2");
        (new QVBoxLayout(left))->addWidget(grid);
        splitter->addWidget(left);
        splitter->addWidget(new QWidget);
        splitter->setStretchFactor(1, 1);
        splitter->setSizes({200, 300});
        window.setCentralWidget(splitter);
        window.addToolBar("t")->addWidget(spid);
        spid->setRange(1, 1000);
        filtr->setCheckable(true);
        window.resize(600, 400);
        store->storeValue("spid.Value", spid);
        store->storeRowTitles("SG_main.RowHeaders", grid);
        store->storeColumnTitles("SG_main.ColumnHeaders", grid);
        store->storeChecked("TBXfiltr.Checked", filtr);
        store->storeSplitter("RxSplitter1.Left", splitter);
        store->storeWidth("Panel_main.Width", left);
        store->storeColumnWidths("SG_main_cw_", grid, 0, 2, [](int c) { return c ? 64 : 150; });
    }
};

struct Login {
    QDialog dialog;
    QLineEdit* Ljmeno = new QLineEdit(&dialog);
    QCheckBox* LMDCheckBox1 = new QCheckBox(&dialog);
    explicit Login(SettingsFile& file) {
        auto* store = new SettingsStore(&dialog, "TFprihlaseni", file);
        store->storeText("Ljmeno.Text", Ljmeno);
        store->storeChecked("LMDCheckBox1.Checked", LMDCheckBox1);
    }
};

// A window whose own members are gone while its base classes hide it.
struct OwnDialog : QDialog {
    QString own = "value";
    explicit OwnDialog(SettingsFile& file) {
        (new SettingsStore(this, "TFown", file))->saveStep = [this](SettingsFile& f, auto& s) {
            f.setText(s, "own", own);
        };
    }
};

class SettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(SettingsFileName);
    zra::test::RecordingUi ui;

    QByteArray bytes() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QByteArray& data) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) >= 0);
    }
    // The lines of one section of the file.
    QStringList section(const QString& name) const {
        QStringList lines;
        bool in = false;
        for (const QString& line : QString::fromUtf8(bytes()).split(u'\n', Qt::SkipEmptyParts))
            if (line.startsWith(u'['))
                in = line == u'[' + name + u']';
            else if (in)
                lines << line;
        return lines;
    }
};

TEST_F(SettingsTest, EveryStoredKindComesBackAtTheNextShow) {
    {
        SettingsFile file(path);
        Main main(file);
        Login login(file);
        main.store->saveStep = [](SettingsFile& f, auto& s) { f.setText(s, "Adresar", "/d/"); };
        main.window.show();
        main.window.setGeometry(50, 60, 500, 350);
        main.spid->setValue(7);
        main.filtr->setChecked(true);
        main.grid->setCell(0, 2, "Napětí");
        main.grid->setCell(1, 0, "Stav");
        for (int c = 0; c < 3; ++c)
            main.grid->setColumnWidthPx(c, c * 40);
        main.splitter->setSizes({250, 247});
        main.window.showMaximized();
        main.window.close();
        login.dialog.show();
        login.Ljmeno->setText("servis");
        login.LMDCheckBox1->setChecked(true);
        login.dialog.accept();
    }
    SettingsFile file(path);
    Main main(file);
    Login login(file);
    QString adresar;
    main.store->restoreStep = [&](SettingsFile& f, auto& s) {
        adresar = f.text(s, "Adresar") + QString::number(main.spid->value());
    };
    main.window.show();
    login.dialog.show();
    EXPECT_TRUE(main.window.isMaximized());
    EXPECT_EQ(main.window.normalGeometry(), QRect(50, 60, 500, 350));
    EXPECT_EQ(adresar, "/d/7") << "the restore step runs after the properties";
    EXPECT_TRUE(main.filtr->isChecked());
    EXPECT_EQ(QStringList({main.grid->cell(0, 1), main.grid->cell(0, 2), main.grid->cell(1, 0)}),
              QStringList({"R1", "Napětí", "Stav"}));
    EXPECT_EQ(QList<int>({main.grid->columnWidthPx(0), main.grid->columnWidthPx(1),
                          main.grid->columnWidthPx(2)}),
              QList<int>({0, 40, 80}));
    EXPECT_EQ(main.splitter->sizes().value(0), 250);
    EXPECT_EQ(main.left->width(), 250);
    EXPECT_EQ(login.Ljmeno->text(), "servis");
    EXPECT_TRUE(login.LMDCheckBox1->isChecked());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(SettingsTest, NothingIsWrittenWithoutAShowNorByADestructor) {
    write("[TFmain]\nspid.Value=42\n");
    {
        SettingsFile file(path);
        Main main(file);
        Login login(file);
        main.store->saveIfShown();
        login.dialog.reject();
        auto own = std::make_unique<OwnDialog>(file);
        own->show();
        own.reset();
    }
    EXPECT_EQ(bytes(), "[TFmain]\nspid.Value=42\n");
}

TEST_F(SettingsTest, OnlyTheProgramsHideOrSaveIfShownWriteAndOnlyOnceAfterAShow) {
    SettingsFile file(path);
    Main main(file);
    main.window.show();
    QHideEvent minimised;
    QSpontaneKeyEvent::setSpontaneous(&minimised);
    QCoreApplication::instance()->notify(&main.window, &minimised); // sendEvent drops the flag
    EXPECT_FALSE(QFile::exists(path));
    main.spid->setValue(9);
    main.store->saveIfShown();
    EXPECT_EQ(SettingsFile(path).integer("TFmain", "spid.Value", 0), 9);
    ASSERT_TRUE(QFile::remove(path));
    main.store->saveIfShown();
    main.window.close();
    EXPECT_FALSE(QFile::exists(path)) << "saved since the show";
    main.window.show();
    main.window.close();
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(SettingsTest, ADialogSavesHoweverItFinishes) {
    for (auto finish : {&QDialog::accept, &QDialog::reject}) {
        QFile::remove(path);
        SettingsFile file(path);
        Login login(file);
        login.dialog.show();
        login.Ljmeno->setText(finish == &QDialog::accept ? "accepted" : "rejected");
        (login.dialog.*finish)();
        EXPECT_EQ(SettingsFile(path).text("TFprihlaseni", "Ljmeno.Text"), login.Ljmeno->text());
    }
}

TEST_F(SettingsTest, MissingOrDamagedValuesReadAsDefaults) {
    for (const char* bad : {"abc", "12x", "", "0x10", "99999999999", "1.5", "@Invalid()", "1, 2"}) {
        write(QByteArray("[S]\nk=") + bad + "\n");
        EXPECT_EQ(SettingsFile(path).integer("S", "k", -7), -7) << bad;
    }
    EXPECT_EQ(SettingsFile(path).text("T", "k", "d"), "d");
    write("[S]\nk=C:/a, b\n"); // typed in without quotes
    EXPECT_EQ(SettingsFile(path).text("S", "k"), "C:/a, b");
    write("[TFmain]\nspid.Value=abc\nTBXfiltr.Checked=2\nSG_main_cw_0=-5\nSG_main_cw_1=12x\n"
          "RxSplitter1.Left=-1\nPanel_main.Width=230\nPlacement.Left=x\nPlacement.State=7\n");
    SettingsFile file(path);
    Main main(file);
    main.window.show();
    EXPECT_EQ(main.spid->value(), 1);
    EXPECT_FALSE(main.filtr->isChecked());
    EXPECT_EQ(main.grid->cell(0, 2), "R2");
    EXPECT_EQ(main.grid->columnWidthPx(0), 150) << "widths read their defaults";
    EXPECT_EQ(main.grid->columnWidthPx(1), 64);
    EXPECT_EQ(main.splitter->sizes().value(0), 230) << "the pane's width, through its splitter";
    EXPECT_EQ(main.window.size(), QSize(600, 400));
    EXPECT_EQ(main.window.windowState(), Qt::WindowNoState);
}

TEST_F(SettingsTest, ADamagedPlacementKeepsTheWindowOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const std::pair<const char*, QSize> cases[] = {
        {"100000 90000 400 300", {400, 300}},
        {"-5000 -5000 400 300", {400, 300}},
        {"10 10 99999 99999", {}}, // the frame fills the screen
        {"10 10 0 300", {600, 400}},
        {"10 10 -400 300", {600, 400}},
        {"2147483647 10 400 300", {600, 400}},
    };
    for (const auto& [placement, size] : cases) {
        const QStringList v = QString(placement).split(' ');
        write(QStringLiteral("[TFmain]\nPlacement.Left=%1\nPlacement.Top=%2\nPlacement.Width=%3\n"
                             "Placement.Height=%4\n")
                  .arg(v[0], v[1], v[2], v[3])
                  .toUtf8());
        SettingsFile file(path);
        Main main(file);
        main.window.show();
        EXPECT_TRUE(screen.contains(main.window.frameGeometry())) << placement;
        EXPECT_EQ(size.isValid() ? main.window.size() : main.window.frameGeometry().size(),
                  size.isValid() ? size : screen.size())
            << placement;
    }
}

TEST_F(SettingsTest, WindowValuesUseTheirExactKeysInTheirSection) {
    SettingsFile file(path);
    Main konfig(file, "TFkonfig", 10);
    for (int c = 0; c < 10; ++c)
        konfig.grid->setColumnWidthPx(c, 100 + c);
    konfig.store->storeColumnWidths("SG_konfig_cw_", konfig.grid, 0, 6, [](int) { return 64; });
    konfig.store->saveStep = [](SettingsFile& f, auto& s) { f.setInteger(s, "IP_ADR_count", 1); };
    konfig.window.show();
    EXPECT_EQ(konfig.grid->columnWidthPx(6), 64) << "the first show has the defaults";
    EXPECT_EQ(konfig.grid->columnWidthPx(7), 107);
    konfig.grid->setColumnWidthPx(6, 33);
    konfig.window.close();
    const QStringList lines = section("TFkonfig");
    for (const char* line : {"SG_konfig_cw_0=64", "SG_konfig_cw_6=33", "IP_ADR_count=1"})
        EXPECT_TRUE(lines.contains(line)) << line << "\n" << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.join('\n').contains("SG_konfig_cw_7"));
    EXPECT_TRUE(section("TFmain").isEmpty());
}

TEST_F(SettingsTest, TitlesWithAwkwardCharactersComeBackExactly) {
    const QStringList awkward = {"a, b",        "\"quoted\"", "trailing  ", "  leading",
                                 "Teplota °C",  "Žluťoučký",  "",           "@Invalid()",
                                 "back\\slash", "semi;colon", "x=y #1",     "tab\there"};
    for (const QStringList& titles : {awkward, QStringList{"only, one "}, QStringList{""}}) {
        const auto window = [&](SettingsFile& file, bool designed) {
            auto main = std::make_unique<Main>(file, "TFmain", int(titles.size()));
            main->grid->setRowCount(int(titles.size()) + 1);
            for (int i = 0; i < titles.size(); ++i) {
                main->grid->setCell(i, 0, designed ? "designed" : titles[i]);
                main->grid->setCell(0, i + 1, designed ? "designed" : titles[i]);
            }
            main->window.show();
            return main;
        };
        QFile::remove(path);
        SettingsFile first(path);
        window(first, false)->window.close();
        SettingsFile second(path);
        const auto main = window(second, true);
        for (int i = 0; i < titles.size(); ++i)
            EXPECT_EQ(QStringList({main->grid->cell(i, 0), main->grid->cell(0, i + 1)}),
                      QStringList({titles[i], titles[i]}));
    }
}

TEST_F(SettingsTest, AWindows1250FileIsReadAsSuchAndSavedAsUtf8) {
    // "č" is 0xE8 in the code page; the address entry is no key of the store's own.
    write("[TFmain]\nspid.Value=42\nIP_ADR_0=Rozvodna \xE8.1\nSG_main.RowHeaders=Po\xE8"
          "et, R2\n");
    {
        SettingsFile file(path);
        Main main(file);
        main.window.show();
        EXPECT_EQ(main.grid->cell(0, 1), "Počet");
        EXPECT_EQ(main.spid->value(), 42);
        main.window.close();
    }
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString saved = utf8(bytes());
    EXPECT_TRUE(saved.contains("Počet") && !utf8.hasError()) << bytes().toStdString();
    SettingsFile again(path);
    EXPECT_EQ(again.text("TFmain", "IP_ADR_0"), "Rozvodna č.1");
    EXPECT_EQ(again.texts("TFmain", "SG_main.RowHeaders"), QStringList({"Počet", "R2"}));
    EXPECT_EQ(again.integer("TFmain", "spid.Value", 0), 42);
}

TEST_F(SettingsTest, AFileThatCannotBeWrittenIsReportedAndKept) {
    const QString unable = "Unable to write to " + path;
    const std::pair<std::function<void()>, QString> cases[] = {
        {[&] { QDir().mkpath(path); }, unable}, // fails for root too
        {[&] {
             write("[TFmain]\nspid.Value=5\n");
             FailWriteAt = [](qint64 offset) { return offset == 10; };
         },
         unable},
        {[&] {
             write(QByteArray("\x7f"
                              "ELF\0\0",
                              6));
         },
         "Soubor " + path + " není soubor nastavení, nastavení nebylo uloženo"},
        {[&] {
             write("\x7f"
                   "ELF\x02\x01\x01\xe8\x90\x10");
         }, // binary, no zero byte
         "Soubor " + path + " není soubor nastavení, nastavení nebylo uloženo"},
    };
    for (const auto& [arrange, message] : cases) {
        QDir(path).removeRecursively();
        QFile::remove(path);
        arrange();
        const QByteArray before = bytes();
        ui.clearMessages();
        SettingsFile file(path);
        Main main(file);
        main.window.show();
        main.window.close();
        FailWriteAt = nullptr;
        EXPECT_EQ(ui.messages, QStringList{message});
        EXPECT_EQ(ui.parents.value(0), &main.window);
        EXPECT_FALSE(main.window.isVisible());
        EXPECT_EQ(bytes(), before);
    }
    // What failed is written by the next flush that can, and only then.
    ASSERT_TRUE(QFile::remove(path) && QDir().mkpath(path));
    SettingsFile file(path);
    file.setInteger("TFmain", "spid.Value", 3);
    EXPECT_FALSE(file.flush(nullptr));
    ASSERT_TRUE(QDir(path).removeRecursively());
    EXPECT_TRUE(file.flush(nullptr));
    SettingsFile other(path);
    other.setInteger("TFmain", "spid.Value", 4);
    ASSERT_TRUE(other.flush(nullptr));
    file.setInteger("TFlog", "SG_log_cw_0", 70);
    EXPECT_TRUE(file.flush(nullptr));
    EXPECT_EQ(section("TFmain"), QStringList{"spid.Value=4"});
    EXPECT_EQ(section("TFlog"), QStringList{"SG_log_cw_0=70"});
}

} // namespace
