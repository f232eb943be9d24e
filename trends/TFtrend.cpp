#include "trends/TFtrend.h"

#include "main/Snapshots.h"
#include "reads/ViewTable.h"
#include "store/SnapshotFile.h"
#include "ui/UiServices.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QSplitter>
#include <QToolBar>
#include <QValueAxis>
#include <cmath>
#include <map>

namespace zra::trends {

namespace {

// Time spans a line is drawn with: one per pixel of the chart's width (its
// lowest and highest point are what a screen column shows), at least these.
constexpr int MinScreenBuckets = 200;

// The table's name in the list: the views table's trend name.
QString KindName(store::ViewKind kind) {
    const reads::TableView* view = reads::FindView(kind);
    return view ? view->trendName : QString();
}

// "%.0f" for whole steps, "%.1f" for tenths and so on.
QString LabelFormat(const AxisScale& scale) {
    const double step = scale.ticks > 1 ? (scale.max - scale.min) / (scale.ticks - 1) : 1;
    const int decimals = std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
    return QStringLiteral("%.%1f").arg(decimals);
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
    // Every record is checked and counted; none is decoded yet.
    std::map<store::ViewKind, int> counts;
    QString error;
    const bool ok = store::LoadLastSnapshots(
        path, 0, [&](store::ViewKind kind, double) { ++counts[kind]; }, {}, &error);
    if (!ok) {
        ui::ShowWarning(this, error);
        return false;
    }
    m_file = path;
    setWindowTitle(QStringLiteral("Trendy %1").arg(path));
    const QSignalBlocker quiet(tabulka);
    tabulka->clear();
    for (const auto& [kind, count] : counts)
        tabulka->addItem(QStringLiteral("%1 (%2)").arg(KindName(kind)).arg(count), int(kind));
    showKind();
    return true;
}

void TFtrend::showKind() {
    const QSignalBlocker quiet(radky);
    radky->clear();
    m_cells.clear();
    m_runs.clear();
    m_source = TrendSource();
    if (tabulka->currentIndex() >= 0) {
        const auto kind = store::ViewKind(tabulka->currentData().toInt());
        QString error;
        if (!m_source.open(m_file, kind, &error))
            ui::ShowWarning(this, error);
        m_cells = m_source.cells();
        for (const TrendCell& cell : m_cells) {
            auto* item = new QListWidgetItem(CellText(cell), radky);
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
    chart->legend()->setAlignment(Qt::AlignBottom); // room for the lines' names
    chart->legend()->setShowToolTips(true);         // the whole name of a cut one
    auto* time = new QDateTimeAxis;
    time->setTitleText(QStringLiteral("Čas"));
    chart->addAxis(time, Qt::AlignBottom);
    QList<TrendCell> ticked;
    for (int i = 0; i < m_cells.size(); ++i)
        if (radky->item(i)->checkState() == Qt::Checked)
            ticked << m_cells[i];
    const LegendNames legend = LegendOf(ticked);
    QString title = m_file.isEmpty() ? QString() : QFileInfo(m_file).fileName();
    if (!legend.shared.isEmpty())
        title += QStringLiteral(" – ") + legend.shared;
    chart->setTitle(title);

    std::map<QString, QValueAxis*> axes; // one per unit
    std::map<QString, std::pair<double, double>> ranges;
    std::optional<std::pair<double, double>> span; // the stamps plotted
    for (int i = 0; i < ticked.size(); ++i) {
        const QString unit = UnitOfTitle(ticked[i].row);
        QValueAxis*& axis = axes[unit];
        if (!axis) {
            axis = new QValueAxis;
            axis->setTitleText(unit.isEmpty() ? QStringLiteral("Hodnota") : unit);
            chart->addAxis(axis, axes.size() % 2 ? Qt::AlignLeft : Qt::AlignRight);
        }
        // One line per run of snapshots that have the value: a gap stays a
        // gap. The runs share the first one's colour and legend entry.
        QLineSeries* first = nullptr;
        auto cached = m_runs.find(ticked[i]);
        if (cached == m_runs.end()) {
            QString error;
            cached = m_runs.insert(ticked[i], {});
            if (!m_source.runs(ticked[i], &*cached, &error))
                ui::ShowWarning(this, error);
        }
        QList<QList<TrendPoint>> runs = *cached;
        if (runs.isEmpty())
            runs.append(QList<TrendPoint>()); // still named in the legend
        for (const QList<TrendPoint>& run : runs) {
            auto* line = new QLineSeries;
            line->setName(legend.names[i]);
            line->setPointsVisible(run.size() == 1); // a lone value is a dot
            // The ranges cover every point; the line gets what a screen shows.
            for (const TrendPoint& p : run) {
                span = span ? std::pair(std::min(span->first, p.stamp),
                                        std::max(span->second, p.stamp))
                            : std::pair(p.stamp, p.stamp);
                auto& [low, high] = ranges.try_emplace(unit, p.value, p.value).first->second;
                low = std::min(low, p.value);
                high = std::max(high, p.value);
            }
            QList<QPointF> points;
            for (const TrendPoint& p : ForScreen(run, std::max(MinScreenBuckets, graf->width())))
                points.append({double(store::FromDayStamp(p.stamp).toMSecsSinceEpoch()), p.value});
            line->replace(points);
            chart->addSeries(line);
            line->attachAxis(time);
            line->attachAxis(axis);
            if (first) {
                line->setColor(first->color());
                for (QLegendMarker* m : chart->legend()->markers(line))
                    m->setVisible(false);
            } else {
                first = line;
            }
        }
    }
    // Each unit's axis spans its own lines, from and to round numbers.
    for (const auto& [unit, range] : ranges) {
        const AxisScale scale = NiceValueScale(range.first, range.second);
        axes[unit]->setRange(scale.min, scale.max);
        axes[unit]->setTickCount(scale.ticks);
        axes[unit]->setLabelFormat(LabelFormat(scale));
    }
    if (span) {
        const AxisScale scale = NiceTimeScale(span->first, span->second);
        time->setRange(store::FromDayStamp(scale.min), store::FromDayStamp(scale.max));
        time->setTickCount(scale.ticks);
        const bool seconds =
            scale.ticks > 1 && (scale.max - scale.min) / (scale.ticks - 1) < 60.0 / 86400;
        time->setFormat(seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("dd.MM. HH:mm"));
    } else {
        time->setFormat(QStringLiteral("dd.MM. HH:mm"));
    }
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
