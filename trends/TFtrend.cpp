#include "trends/TFtrend.h"

#include "main/Snapshots.h"
#include "store/SnapshotFile.h"
#include "ui/UiServices.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QLineSeries>
#include <QListWidget>
#include <QSplitter>
#include <QToolBar>
#include <QValueAxis>
#include <map>

namespace zra::trends {

namespace {

QString KindName(store::ViewKind kind) {
    switch (kind) {
    case store::ViewKind::Konfig:
        return QStringLiteral("Konfigurace");
    case store::ViewKind::Moduly:
        return QStringLiteral("Moduly");
    case store::ViewKind::Faze:
        return QStringLiteral("Fáze");
    case store::ViewKind::AcGroup:
        return QStringLiteral("AC group");
    case store::ViewKind::DcGroup:
        return QStringLiteral("DC group");
    case store::ViewKind::Log:
        return QStringLiteral("Event log");
    case store::ViewKind::Main:
        return QStringLiteral("Main");
    case store::ViewKind::Alarm:
        return QStringLiteral("Alarmy");
    }
    return {};
}

QString EntryText(const TrendCell& cell) {
    return cell.row + QStringLiteral(" – ") + cell.column;
}

} // namespace

TFtrend::TFtrend() : ToolWindow(QStringLiteral("Ftrend"), QStringLiteral("Trendy")) {
    resize(900, 560);
    QToolBar* bar = ui::AddViewToolBar(this, QStringLiteral("Trendy"));
    TBXotevri = bar->addAction(QStringLiteral("Otevři…"));
    TBXotevri->setObjectName(QStringLiteral("TBXotevri"));
    tabulka = new QComboBox(this);
    tabulka->setObjectName(QStringLiteral("tabulka"));
    tabulka->setMinimumWidth(140);
    bar->addWidget(tabulka);
    TBXpng = bar->addAction(QStringLiteral("Ulož PNG…"));
    TBXpng->setObjectName(QStringLiteral("TBXpng"));

    auto* split = new QSplitter(this);
    radky = new QListWidget(split);
    radky->setObjectName(QStringLiteral("radky"));
    graf = new QChartView(new QChart, split);
    graf->setObjectName(QStringLiteral("graf"));
    graf->setRenderHint(QPainter::Antialiasing);
    split->addWidget(radky);
    split->addWidget(graf);
    split->setSizes({280, 620});
    setCentralWidget(split);

    connect(TBXotevri, &QAction::triggered, this, &TFtrend::TBXotevriClick);
    connect(TBXpng, &QAction::triggered, this, &TFtrend::TBXpngClick);
    connect(tabulka, &QComboBox::currentIndexChanged, this, &TFtrend::showKind);
    connect(radky, &QListWidget::itemChanged, this, &TFtrend::redraw);
}

QChart* TFtrend::chart() const {
    return graf->chart();
}

bool TFtrend::openFile(const QString& path) {
    std::map<store::ViewKind, SnapshotSeries> loaded;
    QString error;
    const bool ok = store::LoadSnapshots(
        path, 0, std::nullopt,
        [&](store::ViewKind kind, double stamp, const store::SnapshotTable& t) {
            loaded[kind].emplace_back(stamp, t);
        },
        &error);
    if (!ok) {
        ui::ShowWarning(this, error);
        return false;
    }
    m_file = path;
    m_snapshots = std::move(loaded);
    setWindowTitle(QStringLiteral("Trendy %1").arg(path));
    const QSignalBlocker quiet(tabulka);
    tabulka->clear();
    for (const auto& [kind, series] : m_snapshots)
        tabulka->addItem(QStringLiteral("%1 (%2)").arg(KindName(kind)).arg(series.size()),
                         int(kind));
    showKind();
    return true;
}

void TFtrend::showKind() {
    const QSignalBlocker quiet(radky);
    radky->clear();
    m_cells.clear();
    if (tabulka->currentIndex() >= 0) {
        const auto kind = store::ViewKind(tabulka->currentData().toInt());
        m_cells = NumericCells(m_snapshots[kind]);
        for (const TrendCell& cell : m_cells) {
            auto* item = new QListWidgetItem(EntryText(cell), radky);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    redraw();
}

bool TFtrend::tick(const TrendCell& cell, bool on) {
    const int i = int(m_cells.indexOf(cell));
    if (i < 0)
        return false;
    radky->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return true;
}

void TFtrend::redraw() {
    auto* chart = new QChart;
    chart->setTitle(m_file.isEmpty() ? QString() : QFileInfo(m_file).fileName());
    chart->legend()->setAlignment(Qt::AlignBottom); // room for the lines' names
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("dd.MM. HH:mm"));
    time->setTitleText(QStringLiteral("Čas"));
    chart->addAxis(time, Qt::AlignBottom);
    std::map<QString, QValueAxis*> axes; // one per unit
    std::map<QString, std::pair<double, double>> ranges;
    const auto kind = store::ViewKind(tabulka->currentData().toInt());
    double first = 0, last = 0;
    bool any = false;
    for (int i = 0; i < m_cells.size(); ++i) {
        if (radky->item(i)->checkState() != Qt::Checked)
            continue;
        const QList<TrendPoint> points = CellValues(m_snapshots[kind], m_cells[i]);
        auto* line = new QLineSeries;
        line->setName(EntryText(m_cells[i]));
        for (const TrendPoint& p : points) {
            line->append(double(store::FromDayStamp(p.stamp).toMSecsSinceEpoch()), p.value);
            first = any ? std::min(first, p.stamp) : p.stamp;
            last = any ? std::max(last, p.stamp) : p.stamp;
            any = true;
        }
        chart->addSeries(line);
        line->attachAxis(time);
        const QString unit = UnitOfTitle(m_cells[i].row);
        QValueAxis*& axis = axes[unit];
        if (!axis) {
            axis = new QValueAxis;
            axis->setTitleText(unit.isEmpty() ? QStringLiteral("Hodnota") : unit);
            chart->addAxis(axis, axes.size() % 2 ? Qt::AlignLeft : Qt::AlignRight);
        }
        line->attachAxis(axis);
        for (const TrendPoint& p : points) {
            auto& [low, high] = ranges.try_emplace(unit, p.value, p.value).first->second;
            low = std::min(low, p.value);
            high = std::max(high, p.value);
        }
    }
    // Each unit's axis spans its own lines, with a little room.
    for (const auto& [unit, range] : ranges) {
        const double pad = range.second > range.first ? (range.second - range.first) * 0.05 : 1.0;
        axes[unit]->setRange(range.first - pad, range.second + pad);
    }
    if (any)
        time->setRange(store::FromDayStamp(first),
                       store::FromDayStamp(last > first ? last : first + 1.0 / 24));
    // The view gives up the old chart without deleting it.
    QChart* old = graf->chart();
    graf->setChart(chart);
    delete old;
}

bool TFtrend::savePng(const QString& path) {
    return graf->grab().save(path, "PNG");
}

void TFtrend::TBXotevriClick() {
    ui::RunCommand(this, [this] {
        const QString file = main::SnapshotCommands::WithDefaultExtension(ui::Ui().openFileName(
            this, QStringLiteral("Otevři"), QString(), main::SnapshotCommands::FileFilter()));
        if (!file.isEmpty())
            openFile(file);
    });
}

void TFtrend::TBXpngClick() {
    ui::RunCommand(this, [this] {
        const QString file = ui::AskSaveFile(this, QStringLiteral("Ulož PNG"), QString(),
                                             QStringLiteral("PNG (*.png)"), QStringLiteral("png"));
        if (file.isEmpty())
            return;
        if (!savePng(file))
            ui::ShowWarning(this, QStringLiteral("Soubor \"%1\" nelze uložit.").arg(file));
    });
}

} // namespace zra::trends
