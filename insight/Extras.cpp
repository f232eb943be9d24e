#include "insight/Extras.h"

#include "app/Startup.h"
#include "config/TFkonfig.h"
#include "insight/CompareMarks.h"
#include "insight/LiveWatch.h"
#include "main/Snapshots.h"
#include "main/TFmain.h"
#include "report/ReportCommands.h"
#include "store/CsvExport.h"
#include "store/ToolFiles.h"
#include "trends/TFtrend.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "ui/ViewWindow.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace zra::insight {

using store::ViewKind;

namespace {

const QString CsvFilter = QStringLiteral("CSV (*.csv)");

QList<QStringList> RowsOf(const store::SnapshotTable& t) {
    QList<QStringList> rows;
    for (int r = 0; r < t.rows; ++r) {
        QStringList row;
        for (int c = 0; c < t.columns; ++c)
            row << t.at(c, r);
        rows << row;
    }
    return rows;
}

QString Label(const QString& file, double stamp) {
    return QStringLiteral("„%1“ (%2)").arg(QFileInfo(file).fileName(), store::StampText(stamp));
}

// Two snapshots of one file to compare: the earlier and the later one.
class PickTwoDialog : public ui::ToolDialog {
public:
    PickTwoDialog(const QStringList& stamps)
        : ToolDialog(QStringLiteral("PorovnatDva"), QStringLiteral("Porovnat dva snímky")) {
        auto* form = new QFormLayout(this);
        first = new QComboBox(this);
        first->setObjectName(QStringLiteral("prvni"));
        second = new QComboBox(this);
        second->setObjectName(QStringLiteral("druhy"));
        first->addItems(stamps);
        second->addItems(stamps);
        first->setCurrentIndex(int(stamps.size()) - 2);
        second->setCurrentIndex(int(stamps.size()) - 1);
        form->addRow(QStringLiteral("Původní snímek"), first);
        form->addRow(QStringLiteral("Porovnat se snímkem"), second);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        form->addRow(buttons);
    }
    QComboBox* first;
    QComboBox* second;
};

} // namespace

Extras::Extras(app::Windows& w) : m_w(w) {
    // Every table of the views table, in the window that shows it.
    for (ui::ViewWindow* window : w.viewWindows()) {
        for (const ViewKind kind : window->kinds()) {
            ui::TextGrid* grid = window->grid(kind);
            m_tables[kind] = {grid, window, new CompareMarks(*grid)};
        }
        addMenu(window->kinds().front(), window);
    }

    reports = std::make_unique<report::ReportCommands>(w);
    Ftrend = std::make_unique<trends::TFtrend>();
    TBXtrendy = w.Fmain->souborButton->menu()->addAction(QStringLiteral("Trendy…"));
    TBXtrendy->setObjectName(QStringLiteral("TBXtrendy"));
    connect(TBXtrendy, &QAction::triggered, Ftrend.get(), &trends::TFtrend::showAndRaise);

    for (ui::ViewWindow* window : w.viewWindows()) {
        if (window != w.Fkonfig.get()) {
            addWatch(window, [window] { window->TBXnactiClick(); });
            continue;
        }
        // A read would wipe the configuration's change set: the watch waits
        // for its commit or cancel, and says so in the window's status bar.
        LiveWatch* konfig = addWatch(
            window, [window] { window->TBXnactiClick(); },
            [&w] { return w.Fkonfig->watchPause(); });
        connect(konfig, &LiveWatch::paused, w.Fkonfig->statusPanel3, &QLabel::setText);
    }
}

Extras::~Extras() = default;

std::vector<ViewKind> Extras::tablesOf(ViewKind kind) const {
    // A window's own table stands for all of its tables (the main window's two).
    const std::vector<ViewKind> kinds = m_tables.at(kind).window->kinds();
    return kinds.front() == kind ? kinds : std::vector<ViewKind>{kind};
}

CompareMarks& Extras::marks(ViewKind kind) const {
    return *m_tables.at(kind).marks;
}

QAction* Extras::watchToggle(QWidget* window) const {
    return m_toggles.at(window);
}

LiveWatch& Extras::watch(QWidget* window) const {
    return *m_watches.at(window);
}

QList<QAction*> Extras::menuItems(ViewKind kind) const {
    return m_items.at(kind);
}

int Extras::watchIntervalMs() const {
    const int seconds = m_w.settings.integer(WatchSection, WatchKey, DefaultWatchSeconds);
    return 1000 * std::clamp(seconds, 1, 3600);
}

void Extras::addMenu(ViewKind kind, ui::ViewWindow* window) {
    QMenu* menu = window->souborButton->menu();
    menu->addSeparator();
    QList<QAction*>& items = m_items[kind];
    const auto add = [&](const char* name, const QString& text, void (Extras::*command)(ViewKind)) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, kind, command] { (this->*command)(kind); });
        items << a;
    };
    add("TBXexportcsv", QStringLiteral("Export CSV…"), &Extras::exportCsv);
    add("TBXporovnatsoubor", QStringLiteral("Porovnat se snímkem ze souboru…"),
        &Extras::compareWithFile);
    add("TBXporovnathistorie", QStringLiteral("Porovnat se snímkem z historie"),
        &Extras::compareWithHistory);
    add("TBXporovnatdva", QStringLiteral("Porovnat dva snímky ze souboru…"), &Extras::compareTwo);
    add("TBXzrusporovnani", QStringLiteral("Zrušit porovnání"), &Extras::clearComparison);
    if (kind == ViewKind::Konfig) {
        QAction* a = menu->addAction(QStringLiteral("Změněné proměnné…"));
        a->setObjectName(QStringLiteral("TBXzmenene"));
        connect(a, &QAction::triggered, this, &Extras::changedVariables);
        items << a;
    }
}

LiveWatch* Extras::addWatch(ui::ViewWindow* window, std::function<void()> read,
                            std::function<QString()> pausedBecause) {
    QAction* toggle = window->toolBar()->addAction(QStringLiteral("Sledovat"));
    toggle->setObjectName(QStringLiteral("TBXsledovat"));
    toggle->setToolTip(QStringLiteral("Opakuje čtení, dokud se nezruší nebo neselže"));
    m_toggles[window] = toggle;
    auto* watch = new LiveWatch(
        toggle, m_w.link, std::move(read), [this] { return watchIntervalMs(); },
        std::move(pausedBecause));
    m_watches[window] = watch;
    return watch;
}

QString Extras::askSnapshotFile(QWidget* parent, const QString& caption) const {
    return main::SnapshotCommands::WithDefaultExtension(ui::Ui().openFileName(
        parent, caption, m_w.snapshots.startDirectory, main::SnapshotCommands::FileFilter()));
}

void Extras::exportCsv(ViewKind kind) {
    QWidget* window = m_tables.at(kind).window;
    ui::RunCommand(window, [&] {
        const QString file =
            ui::AskSaveFile(window, QStringLiteral("Export CSV"), m_w.snapshots.startDirectory,
                            CsvFilter, QStringLiteral("csv"));
        if (file.isEmpty())
            return;
        // The main window's two tables go into one file, a blank line between.
        QList<QStringList> rows;
        for (const ViewKind k : tablesOf(kind)) {
            if (!rows.isEmpty())
                rows << QStringList();
            rows << RowsOf(main::SnapshotCommands::TableOf(*m_tables.at(k).grid));
        }
        QString error;
        if (!store::WriteWholeFile(file, store::RowsCsv(rows), &error))
            ui::ShowWarning(window,
                            QStringLiteral("Soubor \"%1\" nelze uložit. %2").arg(file, error));
    });
}

void Extras::compareLoaded(
    ViewKind kind, const QString& file,
    const std::map<ViewKind, std::pair<double, store::SnapshotTable>>& found) {
    QWidget* window = m_tables.at(kind).window;
    if (found.empty()) {
        ui::ShowWarning(window,
                        QStringLiteral("Soubor \"%1\" neobsahuje snímek této tabulky.").arg(file));
        return;
    }
    for (const auto& [k, snapshot] : found)
        marks(k).compareWith(snapshot.second, Label(file, snapshot.first));
    showSummaries(kind);
}

void Extras::showSummaries(ViewKind kind) {
    QStringList texts;
    for (const ViewKind k : tablesOf(kind))
        if (marks(k).active())
            texts << marks(k).summary();
    ui::ShowInformation(m_tables.at(kind).window, texts.join(QStringLiteral("\n\n")));
}

void Extras::compareWithFile(ViewKind kind) {
    QWidget* window = m_tables.at(kind).window;
    ui::RunCommand(window, [&] {
        const QString file = askSnapshotFile(window, QStringLiteral("Porovnat se snímkem"));
        if (file.isEmpty())
            return;
        std::map<ViewKind, std::pair<double, store::SnapshotTable>> found;
        const std::vector<ViewKind> kinds = tablesOf(kind);
        QString error;
        const bool loaded = store::LoadLastSnapshots(
            file, kinds.size() == 1 ? int(kind) : 0, [](ViewKind, double) {},
            [&](ViewKind k, double stamp, const store::SnapshotTable& t) {
                if (std::find(kinds.begin(), kinds.end(), k) != kinds.end())
                    found[k] = {stamp, t};
            },
            &error);
        if (!loaded) {
            ui::ShowWarning(window, error);
            return;
        }
        compareLoaded(kind, file, found);
    });
}

void Extras::compareWithHistory(ViewKind kind) {
    ui::ViewWindow* window = m_tables.at(kind).window;
    ui::RunCommand(window, [&] {
        const store::SnapshotHistory& history = m_w.snapshots.session().history(kind);
        const QString file = m_w.snapshots.session().LastSnapshotFile(kind);
        const int index = window->historie ? window->historie->currentIndex() : -1;
        if (file.isEmpty() || index < 0 || index >= history.HistoryStamps().size()) {
            ui::ShowWarning(window, QStringLiteral("Historie snímků je prázdná: nejdřív otevřete "
                                                   "soubor se snímky této tabulky."));
            return;
        }
        const double stamp = history.HistoryStamps()[index];
        std::map<ViewKind, std::pair<double, store::SnapshotTable>> found;
        for (const ViewKind k : tablesOf(kind)) {
            QString error;
            // The alarm table has no history of its own: its snapshot is the
            // one saved with the picked status snapshot.
            std::optional<double> own = stamp;
            if (k == ViewKind::Alarm &&
                !main::SnapshotCommands::AlarmStampOf(file, stamp, &own, &error)) {
                ui::ShowWarning(window, error);
                return;
            }
            if (!own)
                continue;
            const bool loaded = store::LoadSnapshots(
                file, int(k), *own,
                [&](ViewKind, double s, const store::SnapshotTable& t) {
                    found[k] = {s, t};
                },
                &error);
            if (!loaded) {
                ui::ShowWarning(window, error);
                return;
            }
        }
        compareLoaded(kind, file, found);
    });
}

void Extras::compareTwo(ViewKind kind) {
    QWidget* window = m_tables.at(kind).window;
    ui::RunCommand(window, [&] {
        const QString file = askSnapshotFile(window, QStringLiteral("Porovnat dva snímky"));
        if (file.isEmpty())
            return;
        std::vector<std::pair<double, store::SnapshotTable>> snapshots;
        QString error;
        const bool loaded = store::LoadSnapshots(
            file, int(kind), std::nullopt,
            [&](ViewKind, double stamp, const store::SnapshotTable& t) {
                snapshots.emplace_back(stamp, t);
            },
            &error);
        if (!loaded) {
            ui::ShowWarning(window, error);
            return;
        }
        if (snapshots.size() < 2) {
            ui::ShowWarning(
                window,
                QStringLiteral("Soubor \"%1\" neobsahuje dva snímky této tabulky.").arg(file));
            return;
        }
        QStringList stamps;
        for (const auto& s : snapshots)
            stamps << store::StampText(s.first);
        PickTwoDialog pick(stamps);
        if (ui::Ui().execDialog(&pick) != QDialog::Accepted)
            return;
        const auto& before = snapshots[size_t(pick.first->currentIndex())];
        const auto& after = snapshots[size_t(pick.second->currentIndex())];
        m_w.snapshots.show(file, kind, after.second);
        marks(kind).compareWith(before.second, Label(file, before.first));
        showSummaries(kind);
    });
}

void Extras::clearComparison(ViewKind kind) {
    for (const ViewKind k : tablesOf(kind))
        marks(k).clear();
}

void Extras::changedVariables() {
    QWidget* window = m_tables.at(ViewKind::Konfig).window;
    ui::RunCommand(window, [&] {
        CompareMarks& m = marks(ViewKind::Konfig);
        if (!m.active()) {
            ui::ShowWarning(window,
                            QStringLiteral("Nejdřív porovnejte tabulku se snímkem konfigurace."));
            return;
        }
        m.update();
        const QList<store::ChangedVariable> list = store::ChangedVariables(
            m.baseline(), main::SnapshotCommands::TableOf(*m_w.Fkonfig->SG_konfig), m.comparison());
        ui::ToolDialog dialog(QStringLiteral("ZmeneneProměnné"), QStringLiteral("Změněné proměnné"),
                              window);
        auto* layout = new QVBoxLayout(&dialog);
        auto* grid = new ui::TextGrid(&dialog);
        grid->setObjectName(QStringLiteral("SG_zmenene"));
        grid->setFixed(1, 0);
        const QStringList titles = {QStringLiteral("Číslo"), QStringLiteral("Název"),
                                    QStringLiteral("Původní hodnota"),
                                    QStringLiteral("Nová hodnota"), QStringLiteral("Jednotka")};
        grid->setColumnCount(int(titles.size()));
        grid->setRowCount(int(list.size()) + 1);
        for (int c = 0; c < titles.size(); ++c)
            grid->setCell(c, 0, titles[c]);
        for (int r = 0; r < list.size(); ++r) {
            const store::ChangedVariable& v = list[r];
            const QStringList cells = {v.number, v.name, v.oldValue, v.newValue, v.unit};
            for (int c = 0; c < cells.size(); ++c)
                grid->setCell(c, r + 1, cells[c]);
        }
        layout->addWidget(new QLabel(m.summary(), &dialog));
        layout->addWidget(grid);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
        QPushButton* copy =
            buttons->addButton(QStringLiteral("Kopírovat"), QDialogButtonBox::ActionRole);
        copy->setObjectName(QStringLiteral("kopirovat"));
        QPushButton* save =
            buttons->addButton(QStringLiteral("Export CSV…"), QDialogButtonBox::ActionRole);
        save->setObjectName(QStringLiteral("exportcsv"));
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        connect(copy, &QPushButton::clicked, &dialog, [list] {
            QGuiApplication::clipboard()->setText(store::ChangedVariablesText(list));
        });
        connect(save, &QPushButton::clicked, &dialog, [this, list, &dialog] {
            const QString file =
                ui::AskSaveFile(&dialog, QStringLiteral("Export CSV"), m_w.snapshots.startDirectory,
                                CsvFilter, QStringLiteral("csv"));
            QString error;
            if (!file.isEmpty() &&
                !store::WriteWholeFile(file, store::ChangedVariablesCsv(list), &error))
                ui::ShowWarning(&dialog,
                                QStringLiteral("Soubor \"%1\" nelze uložit. %2").arg(file, error));
        });
        layout->addWidget(buttons);
        dialog.resize(640, 420);
        ui::Ui().execDialog(&dialog);
    });
}

} // namespace zra::insight
