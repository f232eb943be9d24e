#include "main/Snapshots.h"

#include "reads/ViewTable.h"
#include "store/ToolFiles.h"
#include "ui/TextGrid.h"
#include "ui/ToolWindow.h"
#include "ui/UiServices.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSignalBlocker>
#include <map>
#include <stdexcept>

namespace zra::main {

namespace {
const QString SnapshotFileFilter = QStringLiteral("Soubor ZRA (*.ZRD)");

[[noreturn]] void Fail(const QString& error) {
    throw std::runtime_error(error.toStdString());
}
} // namespace

SnapshotCommands::SnapshotCommands() : startDirectory(store::DefaultSnapshotDirectory()) {}

void SnapshotCommands::registerView(store::ViewKind kind, const View& view) {
    m_views[std::size_t(kind) - 1] = view;
}

const SnapshotCommands::View& SnapshotCommands::view(store::ViewKind kind) const {
    return m_views[std::size_t(kind) - 1];
}

store::SnapshotTable SnapshotCommands::TableOf(const ui::TextGrid& grid) {
    return ui::TableOfGrid(grid);
}

void SnapshotCommands::Fill(ui::TextGrid& grid, const store::SnapshotTable& table) {
    ui::FillGrid(grid, table);
}

QString SnapshotCommands::WithDefaultExtension(const QString& name) {
    return ui::WithExtension(name, QStringLiteral("ZRD"));
}

const QString& SnapshotCommands::FileFilter() {
    return SnapshotFileFilter;
}

QString SnapshotCommands::askSave(QWidget* parent) {
    return WithDefaultExtension(ui::Ui().appendFileName(parent, QStringLiteral("Ulož"),
                                                        startDirectory, SnapshotFileFilter));
}

QString SnapshotCommands::askOpen(QWidget* parent) {
    return WithDefaultExtension(ui::Ui().openFileName(parent, QStringLiteral("Otevři"),
                                                      startDirectory, SnapshotFileFilter));
}

void SnapshotCommands::append(const QString& file, store::ViewKind kind) {
    QString error, notice;
    const double stamp = store::NextSaveStamp(QDateTime::currentDateTime(), m_lastStamp);
    m_lastStamp = stamp;
    const View& v = view(kind);
    const bool saved = store::AppendSnapshot(file, kind, stamp, TableOf(*v.grid), &error, &notice);
    // A torn tail that an interrupted save had left was cut away.
    if (!notice.isEmpty())
        ui::ShowWarning(v.window, notice);
    if (!saved) {
        // A table that does not fit a record: the message names it.
        error.replace(QStringLiteral("Tabulku nelze uložit"),
                      QStringLiteral("Tabulku %1 okna „%2“ nelze uložit")
                          .arg(v.grid->objectName(), v.window->windowTitle()));
        Fail(error);
    }
}

void SnapshotCommands::apply(const QString& file, store::ViewKind kind,
                             const store::SnapshotTable& table, bool intoHistory) {
    const View& v = view(kind);
    if (!v.grid)
        return;
    v.window->setWindowTitle(reads::SnapshotCaption(kind, file));
    Fill(*v.grid, table);
    if (v.afterLoad)
        v.afterLoad();
    if (intoHistory)
        showHistory(kind);
}

void SnapshotCommands::showHistory(store::ViewKind kind) {
    QComboBox* list = view(kind).history;
    if (!list)
        return;
    const store::SnapshotHistory& h = m_session.history(kind);
    const QSignalBlocker quiet(list);
    list->clear();
    list->addItems(h.entries());
    list->setCurrentIndex(h.selected());
    ui::SetToolbarWidgetVisible(list, h.visible());
}

bool SnapshotCommands::load(const QString& file, int filter, std::optional<double> stamp,
                            QWidget* parent) {
    // Each table ends with the last snapshot of its kind that the load
    // reached: only that one is put into it, once the load has ended.
    std::map<store::ViewKind, store::SnapshotTable> last;
    const auto keep = [&](store::ViewKind kind, double, const store::SnapshotTable& table) {
        last[kind] = table;
    };
    QString error;
    const bool ok = stamp ? m_session.load(file, filter, stamp, keep, &error)
                          : m_session.loadLast(file, filter, keep, &error);
    for (const auto& [kind, table] : last)
        apply(file, kind, table, !stamp && store::HasHistoryList(kind));
    if (!ok)
        ui::ShowWarning(parent, error);
    return ok;
}

void SnapshotCommands::save(store::ViewKind kind) {
    QWidget* parent = view(kind).window;
    ui::RunCommand(parent, [&] {
        const QString file = askSave(parent);
        if (!file.isEmpty())
            append(file, kind);
    });
}

void SnapshotCommands::open(store::ViewKind kind) {
    QWidget* parent = view(kind).window;
    ui::RunCommand(parent, [&] {
        const QString file = askOpen(parent);
        if (!file.isEmpty())
            load(file, int(kind), std::nullopt, parent);
    });
}

void SnapshotCommands::pick(store::ViewKind kind, int index) {
    QWidget* parent = view(kind).window;
    ui::RunCommand(parent, [&] {
        const QList<double>& stamps = m_session.history(kind).HistoryStamps();
        if (index < 0 || index >= stamps.size())
            return;
        load(m_session.LastSnapshotFile(kind), int(kind), stamps[index], parent);
    });
}

void SnapshotCommands::saveMain() {
    QWidget* parent = view(store::ViewKind::Main).window;
    ui::RunCommand(parent, [&] {
        const QString file = askSave(parent);
        if (file.isEmpty())
            return;
        append(file, store::ViewKind::Main);
        append(file, store::ViewKind::Alarm);
    });
}

void SnapshotCommands::openMain() {
    QWidget* parent = view(store::ViewKind::Main).window;
    ui::RunCommand(parent, [&] {
        const QString file = askOpen(parent);
        if (file.isEmpty())
            return;
        // A file that cannot be read is reported once, by the first load.
        if (load(file, int(store::ViewKind::Main), std::nullopt, parent))
            load(file, int(store::ViewKind::Alarm), std::nullopt, parent);
    });
}

void SnapshotCommands::saveAll() {
    QWidget* parent = view(store::ViewKind::Main).window;
    ui::RunCommand(parent, [&] {
        const QString file = askSave(parent);
        if (file.isEmpty())
            return;
        // One record per table, each with the time of its own save; a failure
        // keeps the records written before it.
        for (int k = 1; k < store::ViewKindSlots; ++k)
            if (m_views[std::size_t(k - 1)].grid)
                append(file, store::ViewKind(k));
    });
}

void SnapshotCommands::openAll() {
    QWidget* parent = view(store::ViewKind::Main).window;
    ui::RunCommand(parent, [&] {
        const QString file = askOpen(parent);
        if (!file.isEmpty())
            load(file, 0, std::nullopt, parent);
    });
}

bool SnapshotCommands::AlarmStampOf(const QString& file, double mainStamp,
                                    std::optional<double>* alarmStamp, QString* error) {
    alarmStamp->reset();
    bool afterPicked = false;
    // Only the stamps are wanted: the walk notes them without decoding cells.
    return store::LoadLastSnapshots(
        file, 0,
        [&](store::ViewKind kind, double stamp) {
            if (kind == store::ViewKind::Main)
                afterPicked = stamp == mainStamp && !*alarmStamp;
            else if (kind == store::ViewKind::Alarm && afterPicked && !*alarmStamp)
                *alarmStamp = stamp;
        },
        {}, error);
}

void SnapshotCommands::pickMain(int index) {
    QWidget* parent = view(store::ViewKind::Main).window;
    ui::RunCommand(parent, [&] {
        const QList<double>& stamps = m_session.history(store::ViewKind::Main).HistoryStamps();
        if (index < 0 || index >= stamps.size())
            return;
        const QString file = m_session.LastSnapshotFile(store::ViewKind::Main);
        const double picked = stamps[index];
        std::optional<double> alarmStamp;
        QString error;
        if (!AlarmStampOf(file, picked, &alarmStamp, &error)) {
            ui::ShowWarning(parent, error);
            return;
        }
        if (load(file, int(store::ViewKind::Main), picked, parent) && alarmStamp)
            load(file, int(store::ViewKind::Alarm), alarmStamp, parent);
    });
}

} // namespace zra::main
