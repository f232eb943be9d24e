// Every window's settings against a real settings file: a first start, what
// one run leaves for the next, and the windows' own values.
#include "access/StoredPassword.h"
#include "access/TFprihlaseni.h"
#include "app/Startup.h"
#include "config/TFkonfig.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "store/Settings.h"
#include "store/ToolFiles.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFacgroup.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QWindow>

using namespace zra;
using namespace zra::test;

namespace {

// The object names of the windows in the order they were shown.
class ShowOrder : public QObject {
public:
    QStringList names;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            names << watched->objectName();
        return false;
    }
};

class WindowSettingsTest : public ::testing::Test {
protected:
    // A new run of the program: the windows of the last one are gone.
    app::Windows& run() {
        w.reset();
        w = std::make_unique<app::Windows>();
        return *w;
    }
    static QString path() { return store::ToolFilePath(store::SettingsFileName); }
    // Values as a hand-edited or earlier file holds them.
    static void write(const QString& section, const QString& key, const QString& value) {
        store::SettingsFile f(path());
        f.setText(section, key, value);
        QString error;
        ASSERT_TRUE(f.flush(&error)) << error.toStdString();
    }
    static QString read(const QString& section, const QString& key) {
        return store::SettingsFile(path()).text(section, key, QStringLiteral("<none>"));
    }

    RecordingUi ui;
    std::unique_ptr<app::Windows> w;
};

TEST_F(WindowSettingsTest, AFirstStart) {
    app::Windows& r = run();
    r.Fmain->show();
    for (QWidget* other : {(QWidget*)r.Fkonfig.get(), (QWidget*)r.Flog.get(),
                           (QWidget*)r.Fmoduly.get(), (QWidget*)r.Facgroup.get()})
        EXPECT_FALSE(other->isVisible());
    EXPECT_EQ(r.Fmain->TIP_adr->count(), 0);
    EXPECT_EQ(r.Fmain->TIP_adr->currentIndex(), -1);
    EXPECT_EQ(r.snapshots.startDirectory,
              QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + '/'));
    EXPECT_EQ(r.Fmain->SG_main->columnWidthPx(0),
              std::max(150, r.Fmain->SG_main->fittingColumnWidth(0)))
        << "150, or what its titles need";
    EXPECT_GE(r.Fmain->SG_main->columnWidthPx(1), 64) << "the value column fills the rest";
    r.Flog->show();
    for (int c = 0; c <= 4; ++c)
        EXPECT_EQ(r.Flog->SG_log->columnWidthPx(c), 64) << c;
    r.Fkonfig->show();
    for (int c = 0; c <= 9; ++c)
        EXPECT_EQ(r.Fkonfig->SG_konfig->columnWidthPx(c), c <= 6 ? 64 : 0) << c;
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

TEST_F(WindowSettingsTest, WhatARunLeavesForTheNext) {
    app::Windows& first = run();
    first.Fmain->show();
    first.Fmoduly->show();
    first.Flog->show();
    first.Flog->TBXSpinEditItem1->setValue(42);
    first.Flog->SG_log->setColumnWidthPx(2, 99);
    first.Fmain->spid->setValue(7);
    first.Fmain->TIP_adr->addItems({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    first.Fmain->TIP_adr->setCurrentIndex(1);
    first.Fmain->close(); // the log and modules windows still show
    EXPECT_EQ(read("TFmain", "Flog"), "1");
    EXPECT_EQ(read("TFmain", "Fkonfig"), "0");
    EXPECT_EQ(read("TFmain", "IP_ADR_count"), "3");
    EXPECT_EQ(read("TFmain", "IP_ADR_idx"), "1");
    EXPECT_EQ(read("TFmain", "IP_ADR_2"), "10.0.0.3");
    EXPECT_EQ(read("TFmain", "SG_main_cw_0"),
              QString::number(first.Fmain->SG_main->columnWidthPx(0)));
    write("TFmain", "Adresar", "/data/zra/");
    write("TFmoduly", "SG_mod.RowHeaders", "<damaged>");

    app::Windows& next = run(); // the first run's windows save at exit
    EXPECT_EQ(read("TFlog", "SG_log_cw_2"), "99");
    EXPECT_EQ(read("TFkonfig", "SG_konfig_cw_0"), "<none>") << "never shown, nothing written";
    ShowOrder order;
    for (QWidget* win : {(QWidget*)next.Facgroup.get(), (QWidget*)next.Fmoduly.get(),
                         (QWidget*)next.Flog.get(), (QWidget*)next.Fkonfig.get()})
        win->installEventFilter(&order);
    next.Fmain->show();
    EXPECT_EQ(order.names, (QStringList{"Flog", "Fmoduly"})) << "in the fixed order";
    EXPECT_FALSE(next.Fkonfig->isVisible() || next.Facgroup->isVisible());
    EXPECT_EQ(next.Flog->TBXSpinEditItem1->value(), 42);
    EXPECT_EQ(next.Flog->SG_log->columnWidthPx(2), 99);
    EXPECT_EQ(next.Fmain->spid->value(), 7);
    EXPECT_EQ(next.Fmain->TIP_adr->count(), 3);
    EXPECT_EQ(next.Fmain->TIP_adr->currentText(), "10.0.0.2");
    EXPECT_EQ(next.snapshots.startDirectory, "/data/zra/");
    EXPECT_EQ(next.Fmoduly->SG_mod->cell(0, 1),
              views::TFmoduly(next.client, *next.Fmodul_akce).SG_mod->cell(0, 1))
        << "a damaged title list keeps the designed titles";
}

TEST_F(WindowSettingsTest, TheWindowSystemsCloseRequestKeepsTheOpenWindows) {
    app::Windows& first = run();
    for (QWidget* win :
         {(QWidget*)first.Fmain.get(), (QWidget*)first.Flog.get(), (QWidget*)first.Fmoduly.get()})
        win->show();
    // The close button's request, delivered inside the message loop as the
    // window system delivers it; the program then ends its loop.
    QTimer::singleShot(0, [&] { first.Fmain->windowHandle()->close(); });
    QTimer guard;
    guard.callOnTimeout([] { QCoreApplication::exit(1); });
    guard.start(5000);
    ASSERT_EQ(QCoreApplication::exec(), 0) << "the close request ended the loop";
    EXPECT_EQ(
        QStringList({read("TFmain", "Flog"), read("TFmain", "Fmoduly"), read("TFmain", "Fkonfig")}),
        QStringList({"1", "1", "0"}));
    app::Windows& next = run();
    next.Fmain->show();
    EXPECT_TRUE(next.Flog->isVisible() && next.Fmoduly->isVisible());
    EXPECT_FALSE(next.Fkonfig->isVisible());
}

TEST_F(WindowSettingsTest, HostileNumbersAreBoundedAtStartUp) {
    using Probe = std::function<int(app::Windows&)>;
    const Probe entries = [](app::Windows& r) { return r.Fmain->TIP_adr->count(); };
    const Probe selected = [](app::Windows& r) { return r.Fmain->TIP_adr->currentIndex(); };
    const auto mainWidth = [](int c) {
        return Probe([c](app::Windows& r) { return r.Fmain->SG_main->columnWidthPx(c); });
    };
    const Probe logWidth = [](app::Windows& r) { return r.Flog->SG_log->columnWidthPx(0); };
    const Probe left = [](app::Windows& r) { return r.Fmain->RxSplitter1->sizes().value(0); };
    const Probe width = [](app::Windows& r) { return r.Fmain->width(); };
    const struct {
        const char* section;
        const char* key;
        const char* value;
        Probe probe;
        std::optional<int> expected; // none: what the start without the value has
    } cases[] = {
        {"TFmain", "IP_ADR_count", "2000000000", entries, 100},
        {"TFmain", "IP_ADR_count", "-5", entries, 0},
        {"TFmain", "IP_ADR_idx", "-1", selected, -1},
        {"TFmain", "IP_ADR_idx", "3", selected, -1},
        {"TFmain", "IP_ADR_idx", "-2000000000", selected, -1},
        {"TFmain", "SG_main_cw_0", "2000000000", mainWidth(0), {}},
        {"TFmain", "SG_main_cw_1", "99999", mainWidth(1), {}},
        {"TFmain", "SG_main_cw_1", "-64", mainWidth(1), {}},
        {"TFmain", "RxSplitter1.Left", "2000000000", left, {}},
        {"TFmain", "Placement.Width", "2000000000", width, 789},
        {"TFmain", "spid.Value", "2000000000",
         [](app::Windows& r) { return r.Fmain->spid->value(); }, 1},
        {"TFlog", "TBXSpinEditItem1.Value", "-5",
         [](app::Windows& r) { return r.Flog->TBXSpinEditItem1->value(); }, 300},
        {"TFlog", "SG_log_cw_0", "99999", logWidth, 64},
    };
    // A file that shows the log window and lists three addresses, the second selected.
    const auto start = [&](const char* section, const char* key,
                           const char* value) -> app::Windows& {
        w.reset();
        QFile::remove(path());
        store::SettingsFile f(path());
        f.setInteger("TFmain", "Flog", 1);
        f.setInteger("TFmain", "IP_ADR_count", 3);
        f.setInteger("TFmain", "IP_ADR_idx", 1);
        for (int n = 0; n < 3; ++n)
            f.setText("TFmain", QStringLiteral("IP_ADR_%1").arg(n),
                      QStringLiteral("10.0.0.%1").arg(n));
        for (const char* k : {"Placement.Left", "Placement.Top"})
            f.setInteger("TFmain", k, 20);
        f.setInteger("TFmain", "Placement.Width", 700);
        f.setInteger("TFmain", "Placement.Height", 500);
        if (section)
            f.setText(section, key, value);
        EXPECT_TRUE(f.flush(nullptr));
        app::Windows& r = run();
        r.Fmain->show();
        return r;
    };
    for (const auto& c : cases) {
        const int plain = c.probe(start(nullptr, nullptr, nullptr));
        const int hostile = c.probe(start(c.section, c.key, c.value));
        EXPECT_EQ(hostile, c.expected.value_or(plain)) << c.key << "=" << c.value;
        EXPECT_TRUE(w->Fmain->isVisible() && w->Flog->isVisible()) << c.key;
    }
}

TEST_F(WindowSettingsTest, StoredTitlesAndTheFilterToggle) {
    app::Windows& first = run();
    first.Fkonfig->show();
    first.Fkonfig->SG_konfig->setCell(1, 0, "Název, \"proměnné\" °");
    first.Fkonfig->TBXfiltr->setChecked(true); // stored on, but there is no filter file
    first.Fkonfig->close();
    app::Windows& next = run();
    next.Fkonfig->show();
    EXPECT_EQ(next.Fkonfig->SG_konfig->cell(1, 0), "Název, \"proměnné\" °");
    EXPECT_EQ(ui.messages, QStringList{"Filtr je prázdný"});
    EXPECT_FALSE(next.Fkonfig->TBXfiltr->isChecked());
}

TEST_F(WindowSettingsTest, TheRememberedPassword) {
    const struct {
        bool remember;
        const char* password;
        const char* stored; // "Heslo" after the run
    } cases[] = {{true, "zra", nullptr}, {true, "", "00"}, {false, "tajne", "00"}};
    for (const auto& c : cases) {
        app::Windows& first = run();
        access::TFprihlaseni& d = *first.Fprihlaseni;
        d.show();
        d.Ljmeno->setText("servis");
        d.LMDCheckBox1->setChecked(c.remember);
        d.Lheslo->setText(c.password);
        d.reject();
        const QString expected =
            c.stored ? QString::fromLatin1(c.stored) : access::StoredPasswordText(c.password);
        EXPECT_EQ(read("TFprihlaseni", "Heslo"), expected) << c.password;
        EXPECT_EQ(read("TFprihlaseni", "Ljmeno.Text"), "servis");

        access::TFprihlaseni& again = *run().Fprihlaseni;
        again.Lheslo->setText("typed");
        again.show();
        // Unticked, the field is not touched, whatever the file holds.
        EXPECT_EQ(again.Lheslo->text(), c.remember ? QString::fromLatin1(c.password) : "typed");
        again.reject();
    }
    write("TFprihlaseni", "Heslo", "05ZZ");
    write("TFprihlaseni", "LMDCheckBox1.Checked", "true");
    access::TFprihlaseni& damaged = *run().Fprihlaseni;
    damaged.show();
    EXPECT_EQ(damaged.Lheslo->text(), "") << "a damaged text gives an empty field";
}

} // namespace
