#include "app/Startup.h"

#include "access/StoredPassword.h"
#include "access/TFprihlaseni.h"
#include "config/TFkonfig.h"
#include "config/TFnastaveni.h"
#include "console/TFext.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "main/TFzaznam.h"
#include "reads/ViewTable.h"
#include "store/ToolFiles.h"
#include "text/Cp1250.h"
#include "ui/TextGrid.h"
#include "ui/Translation.h"
#include "ui/UiServices.h"
#include "views/PlainView.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"
#include "views/TFmodul_akce.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>

namespace zra::app {

using main::TFmain;
using main::TFzaznam;

namespace {
// The most entries of the address list read back from the settings.
constexpr int MaxAddressEntries = 100;
} // namespace

void PrepareApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Pelix4 ZRA"));
    // The desktop entry the installed package puts in the menu: a Wayland
    // session links the window to it by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("cz.zra.pelix4"));
    ui::InstallCzechQtTranslation();
    // The link's failures come up over the window of the running command.
    ui::InstallWindowReporter();
    app.setQuitOnLastWindowClosed(false);
}

Windows::Windows() : settings(store::ToolFilePath(store::SettingsFileName)) {
    Fmain = std::make_unique<TFmain>(client, descriptions);
    // The modules window holds the module action dialog by reference for its
    // "Edit" buttons, so the dialog comes first.
    Fmodul_akce = std::make_unique<views::TFmodul_akce>(client);
    Fmoduly = std::make_unique<views::TFmoduly>(client, *Fmodul_akce);
    Ffaze = std::make_unique<views::TFfaze>(client);
    Fdcgroup = std::make_unique<views::TFdcgroup>(client);
    Facgroup = std::make_unique<views::TFacgroup>(client);
    // The configuration window holds its edit dialog by reference.
    Fnastaveni = std::make_unique<config::TFnastaveni>(client);
    Fkonfig = std::make_unique<config::TFkonfig>(client, *Fnastaveni);
    Flog = std::make_unique<log::TFlog>(client, descriptions);
    Fprihlaseni = std::make_unique<access::TFprihlaseni>(client);
    Fext = std::make_unique<console::TFext>(client);
    Fzaznam = std::make_unique<TFzaznam>(audit);

    // The login dialog: at connect time when the installation asks for it,
    // and as the login prompt of write commands.
    link.loginDialog = [this] { ui::Ui().execDialog(Fprihlaseni.get()); };
    client.promptLogin = [this] { Fprihlaseni->PromptLogin(); };
    // After every login prompt the configuration's commit and cancel follow the login.
    QObject::connect(Fprihlaseni.get(), &access::TFprihlaseni::promptClosed, Fkonfig.get(),
                     &config::TFkonfig::applyLogin);
    // A commit's or cancel's verdict goes to the audit log beside its writes.
    QObject::connect(Fkonfig.get(), &config::TFkonfig::changesEnded, &audit,
                     &link::WriteAudit::recordConfigVerdict);
    // The console: the trace sink of every exchange, and the password text.
    QObject::connect(&link, &link::DeviceLink::traced, Fext.get(), &console::TFext::appendEntry);
    link.passwordText = [this] { return Fext->passwordBytes(); };

    wireViews();

    Fmain->attachWindow(Fmain->TBXItem1, Fmoduly.get());
    Fmain->attachWindow(Fmain->TBXItem6, Fkonfig.get());
    Fmain->attachWindow(Fmain->TBXItem3, Ffaze.get());
    Fmain->attachWindow(Fmain->TBXItem4, Facgroup.get());
    Fmain->attachWindow(Fmain->TBXItem5, Fdcgroup.get());
    Fmain->attachWindow(Fmain->TBXItem7, Flog.get());
    Fmain->attachWindow(Fmain->TBXItem13, Fext.get());
    Fmain->attachWindow(Fmain->TBXzaznam, Fzaznam.get());
    wireSnapshots();
    wireSettings();
}

void Windows::wireViews() {
    // The documented windows claim their tables; every other table of the
    // views table gets a plain view window.
    for (ui::ViewWindow* w : std::initializer_list<ui::ViewWindow*>{
             Fmain.get(), Fmoduly.get(), Ffaze.get(), Fdcgroup.get(), Facgroup.get(), Fkonfig.get(),
             Flog.get()}) {
        m_windowOrder.push_back(w);
        for (const store::ViewKind kind : w->kinds())
            m_viewWindows[kind] = w;
    }
    for (const reads::TableView& view : reads::TableViews()) {
        if (m_viewWindows.contains(view.kind))
            continue;
        auto& w = m_addedViews.emplace_back(
            std::make_unique<views::PlainView>(view, client, descriptions));
        m_viewWindows[view.kind] = w.get();
        m_windowOrder.push_back(w.get());
        Fmain->addViewItem(view.windowCaption, w.get());
    }
    // "Načti vše": the views table's steps, in their order.
    for (const reads::TableView* view : reads::ReadAllOrder()) {
        ui::ViewWindow* w = viewWindow(view->kind);
        Fmain->readAllSteps.append({view->readAllStep, [w] { w->read(); }});
    }
}

void Windows::wireSettings() {
    const auto storeOf = [this](QWidget* window, const char* section) {
        auto* s = new ui::SettingsStore(window, QString::fromLatin1(section), settings);
        m_stores.push_back(s);
        return s;
    };
    const auto fixed = [](int width) { return [width](int) { return width; }; };

    ui::SettingsStore* m = storeOf(Fmain.get(), "TFmain");
    m->storeValue(QStringLiteral("spid.Value"), Fmain->spid);
    m->storeRowTitles(QStringLiteral("SG_main.RowHeaders"), Fmain->SG_main);
    m->storeColumnTitles(QStringLiteral("SG_alarm.ColumnHeaders"), Fmain->SG_alarm);
    m->storeSplitter(QStringLiteral("RxSplitter1.Left"), Fmain->RxSplitter1);
    m->storeWidth(QStringLiteral("Panel_main.Width"), Fmain->Panel_main);
    // The windows that were showing, in the order they come back.
    const std::vector<std::pair<QString, QWidget*>> shown = {
        {QStringLiteral("Facgroup"), Facgroup.get()}, {QStringLiteral("Fdcgroup"), Fdcgroup.get()},
        {QStringLiteral("Ffaze"), Ffaze.get()},       {QStringLiteral("Flog"), Flog.get()},
        {QStringLiteral("Fmoduly"), Fmoduly.get()},   {QStringLiteral("Fkonfig"), Fkonfig.get()}};
    m->saveStep = [this, shown](store::SettingsFile& f, const QString& section) {
        for (const auto& [key, window] : shown)
            f.setInteger(section, key, window->isVisible() ? 1 : 0);
        f.setText(section, QStringLiteral("Adresar"), snapshots.startDirectory);
        const QStringList addresses = Fmain->addressEntries();
        f.setInteger(section, QStringLiteral("IP_ADR_count"), int(addresses.size()));
        f.setInteger(section, QStringLiteral("IP_ADR_idx"), Fmain->addressIndex());
        for (int n = 0; n < addresses.size(); ++n)
            f.setText(section, QStringLiteral("IP_ADR_%1").arg(n), addresses[n]);
        for (int n = 0; n < Fmain->SG_main->columnCount(); ++n)
            f.setInteger(section, QStringLiteral("SG_main_cw_%1").arg(n),
                         Fmain->SG_main->columnWidthPx(n));
    };
    // Ending the run closes the other windows: the main window's settings,
    // which record the windows showing, are written before that.
    QObject::connect(Fmain.get(), &TFmain::closeAccepted, m, &ui::SettingsStore::saveIfShown);
    m->restoreStep = [this, shown](store::SettingsFile& f, const QString& section) {
        for (const auto& [key, window] : shown)
            if (f.integer(section, key, 0) == 1)
                ui::ShowAndRaise(window);
        const int count =
            std::clamp(f.integer(section, QStringLiteral("IP_ADR_count"), 0), 0, MaxAddressEntries);
        QStringList addresses;
        for (int n = 0; n < count; ++n)
            addresses << f.text(section, QStringLiteral("IP_ADR_%1").arg(n));
        Fmain->restoreAddressEntries(addresses,
                                     f.integer(section, QStringLiteral("IP_ADR_idx"), -1));
        snapshots.startDirectory =
            f.text(section, QStringLiteral("Adresar"), snapshots.startDirectory);
        // Without a stored width the titles column keeps its designed width,
        // 150 or wider when a title needs it; the value column fills the rest.
        const int titles = std::max(150, Fmain->SG_main->fittingColumnWidth(0));
        const auto width = [&](const char* key, int fallback) {
            return f.integer(section, QString::fromLatin1(key), fallback, 0,
                             store::MaxColumnWidthPx);
        };
        Fmain->SG_main->setColumnWidthPx(0, width("SG_main_cw_0", titles));
        Fmain->SG_main->setColumnWidthPx(1, width("SG_main_cw_1", 64));
    };

    ui::SettingsStore* k = storeOf(Fkonfig.get(), "TFkonfig");
    k->storeColumnTitles(QStringLiteral("SG_konfig.ColumnHeaders"), Fkonfig->SG_konfig);
    k->storeChecked(QStringLiteral("TBXfiltr.Checked"), Fkonfig->TBXfiltr);
    k->storeChecked(QStringLiteral("TBXItem5.Checked"), Fkonfig->TBXzobrazvse);
    k->storeColumnWidths(QStringLiteral("SG_konfig_cw_"), Fkonfig->SG_konfig, 0, 6, fixed(64));
    k->restoreStep = [this](store::SettingsFile&, const QString&) {
        for (int c = 7; c <= 9; ++c)
            Fkonfig->SG_konfig->setColumnWidthPx(c, 0);
        // The restored filter state takes effect.
        Fkonfig->TBXfiltrClick();
    };

    ui::SettingsStore* mod = storeOf(Fmoduly.get(), "TFmoduly");
    mod->storeRowTitles(QStringLiteral("SG_mod.RowHeaders"), Fmoduly->SG_mod);
    mod->storeColumnWidths(QStringLiteral("SG_mod_cw_"), Fmoduly->SG_mod, 0, 1,
                           [](int c) { return c == 0 ? 250 : 64; });
    storeOf(Ffaze.get(), "TFfaze")
        ->storeRowTitles(QStringLiteral("SG_faze.RowHeaders"), Ffaze->SG_faze);
    storeOf(Facgroup.get(), "TFacgroup")
        ->storeRowTitles(QStringLiteral("SG_AC.RowHeaders"), Facgroup->SG_AC);
    storeOf(Fdcgroup.get(), "TFdcgroup")
        ->storeRowTitles(QStringLiteral("SG_DC.RowHeaders"), Fdcgroup->SG_DC);

    ui::SettingsStore* lg = storeOf(Flog.get(), "TFlog");
    lg->storeValue(QStringLiteral("TBXSpinEditItem1.Value"), Flog->TBXSpinEditItem1);
    lg->storeColumnTitles(QStringLiteral("SG_log.ColumnHeaders"), Flog->SG_log);
    lg->storeColumnWidths(QStringLiteral("SG_log_cw_"), Flog->SG_log, 0, 4, fixed(64));

    ui::SettingsStore* p = storeOf(Fprihlaseni.get(), "TFprihlaseni");
    p->storeText(QStringLiteral("Ljmeno.Text"), Fprihlaseni->Ljmeno);
    p->storeChecked(QStringLiteral("LMDCheckBox1.Checked"), Fprihlaseni->LMDCheckBox1);
    // The remembered password: written only while the box is ticked, so an
    // earlier text stays in the file unused; read back only while it is.
    p->saveStep = [this](store::SettingsFile& f, const QString& section) {
        if (Fprihlaseni->LMDCheckBox1->isChecked())
            f.setText(section, QStringLiteral("Heslo"),
                      access::StoredPasswordText(text::ToCp1250(Fprihlaseni->Lheslo->text())));
    };
    p->restoreStep = [this](store::SettingsFile& f, const QString& section) {
        if (!Fprihlaseni->LMDCheckBox1->isChecked())
            return;
        Fprihlaseni->Lheslo->clear();
        const QString stored = f.text(section, QStringLiteral("Heslo"));
        // A damaged text gives an empty field: the engineer types the password.
        if (const auto password = access::DecodeStoredPasswordText(stored);
            password && !stored.isEmpty())
            Fprihlaseni->Lheslo->setText(text::FromCp1250(*password));
    };

    storeOf(Fnastaveni.get(), "TFnastaveni");
    storeOf(Fmodul_akce.get(), "TFmodul_akce");
    storeOf(Fzaznam.get(), "TFzaznam");
    // An added table's window keeps its placement in a section of its own.
    for (const auto& w : m_addedViews)
        m_stores.push_back(new ui::SettingsStore(w.get(), w->objectName(), settings));
}

void Windows::wireSnapshots() {
    using store::ViewKind;
    // A window's "Otevři", "Ulož" and history pick act on its own table.
    const auto wire = [this](ViewKind kind, QAction* open, QAction* save, QComboBox* history) {
        QObject::connect(open, &QAction::triggered, [this, kind] { snapshots.open(kind); });
        QObject::connect(save, &QAction::triggered, [this, kind] { snapshots.save(kind); });
        QObject::connect(history, &QComboBox::activated,
                         [this, kind](int index) { snapshots.pick(kind, index); });
    };
    // Each table in its window; a window's history list and after-load step
    // belong to its first table (the alarm table shares the main window's).
    for (ui::ViewWindow* w : m_windowOrder) {
        const std::vector<ViewKind> kinds = w->kinds();
        for (const ViewKind kind : kinds) {
            const bool own = kind == kinds.front();
            snapshots.registerView(kind, {w->grid(kind), w, own ? w->historie : nullptr,
                                          own ? std::function<void()>([w] { w->snapshotLoaded(); })
                                              : std::function<void()>()});
        }
        if (w != Fmain.get())
            wire(kinds.front(), w->TBXotevri, w->TBXuloz, w->historie);
    }
    QObject::connect(Fmain->TBXotevri, &QAction::triggered, [this] { snapshots.openMain(); });
    QObject::connect(Fmain->TBXotevrivse, &QAction::triggered, [this] { snapshots.openAll(); });
    QObject::connect(Fmain->TBXuloz, &QAction::triggered, [this] { snapshots.saveMain(); });
    QObject::connect(Fmain->TBXulozvse, &QAction::triggered, [this] { snapshots.saveAll(); });
    QObject::connect(Fmain->historie, &QComboBox::activated,
                     [this](int index) { snapshots.pickMain(index); });
}

// The windows go in the reverse order of their creation, before the link
// they use.
Windows::~Windows() {
    // Windows still showing at exit keep their settings.
    for (ui::SettingsStore* s : m_stores)
        s->saveIfShown();
    // The link outlives the windows: it keeps none of their fields.
    link.loginDialog = [] {};
    link.passwordText = [] { return QByteArray(link::DefaultPasswordText); };
    client.promptLogin = [] {};
    Fzaznam.reset();
    Fext.reset();
    Fprihlaseni.reset();
    Fmodul_akce.reset();
    Flog.reset();
    Fkonfig.reset();
    Fnastaveni.reset();
    Facgroup.reset();
    Fdcgroup.reset();
    Ffaze.reset();
    Fmoduly.reset();
    Fmain.reset();
}

} // namespace zra::app
