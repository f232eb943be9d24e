// Trends: units from row titles, cell values across snapshots, and the
// window's chart over a snapshot file.
#include "store/SnapshotFile.h"
#include "tests/support/RecordingUi.h"
#include "trends/TFtrend.h"
#include "trends/TrendData.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFile>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtEndian>
#include <algorithm>
#include <gtest/gtest.h>

using namespace zra;
using store::SnapshotTable;
using trends::TrendCell;

namespace {

// A modules table: two quantities of two modules.
SnapshotTable Modules(const QString& power1, const QString& power2, const QString& voltage) {
    SnapshotTable t(3, 3);
    t.set(1, 0, "Modul 1");
    t.set(2, 0, "Modul 2");
    t.set(0, 1, "Output power value (W)");
    t.set(1, 1, power1);
    t.set(2, 1, power2);
    t.set(0, 2, "Output voltage value (0.1V)");
    t.set(1, 2, voltage);
    t.set(2, 2, "SBR");
    return t;
}

TEST(TrendData, UnitsAndNumbers) {
    const std::pair<const char*, const char*> units[] = {{"Output voltage value (0.1V)", "V"},
                                                         {"Mez alarmu saturace[%]", "%"},
                                                         {"Temperature value (K)", "K"},
                                                         {"Output power value (W)", "W"},
                                                         {"Serial number", ""},
                                                         {"Loading ratio (%) of x", ""}};
    for (const auto& [title, unit] : units)
        EXPECT_EQ(trends::UnitOfTitle(title), QString::fromUtf8(unit)) << title;
    const std::pair<const char*, std::optional<double>> numbers[] = {
        {"230,5", 230.5},      {" -2.5 ", -2.5},      {"", std::nullopt},
        {"SBR", std::nullopt}, {"nan", std::nullopt}, {"NaN", std::nullopt},
        {"inf", std::nullopt}, {"-inf", std::nullopt}};
    for (const auto& [text, number] : numbers) {
        EXPECT_EQ(trends::CellNumber(QString::fromUtf8(text)), number) << text;
        EXPECT_EQ(trends::CellNumber(QByteArrayView(text)), number) << text;
    }
}

using Series = std::vector<std::pair<double, SnapshotTable>>;
using Runs = QList<QList<trends::TrendPoint>>;

// The snapshots as one snapshot file in dir.
QString FileOf(const QTemporaryDir& dir, const Series& series) {
    QByteArray bytes;
    QString error;
    for (const auto& [stamp, table] : series)
        bytes += store::EncodeRecord(store::ViewKind::Moduly, stamp, table, &error).chopped(1);
    const QString path = dir.filePath("trend.ZRD");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes + '\0') == bytes.size() + 1);
    return path;
}

Runs RunsOf(const trends::TrendSource& source, const TrendCell& cell) {
    Runs runs;
    QString error;
    EXPECT_TRUE(source.runs(cell, &runs, &error)) << error.toStdString();
    return runs;
}

TEST(TrendData, CellsAndRunsAcrossSnapshots) {
    SnapshotTable moved = Modules("900", "", "229,0");
    // The same quantities in another row order: matched by title.
    moved.set(0, 1, "Output voltage value (0.1V)");
    moved.set(1, 1, "229,0");
    moved.set(0, 2, "Output power value (W)");
    moved.set(1, 2, "900");
    SnapshotTable noPower = Modules("", "", "230,0");
    noPower.set(0, 1, "Input current value (0.1A)");
    QTemporaryDir dir;
    const QString path = FileOf(dir, {{46000.0, Modules("", "1100", "230,1")},
                                      {46000.5, moved},
                                      {46001.0, Modules("1000", "1200", "231,0")},
                                      {46001.5, noPower},
                                      {46002.0, Modules("800", "1300", "nan")}});
    trends::TrendSource source;
    QString error;
    ASSERT_TRUE(source.open(path, store::ViewKind::Moduly, &error));
    EXPECT_EQ(source.size(), 5);
    const QList<TrendCell> cells = source.cells();
    // Module 1's power first has a number in the second snapshot.
    EXPECT_EQ(cells, QList<TrendCell>({{"Output power value (W)", "Modul 2"},
                                       {"Output voltage value (0.1V)", "Modul 1"},
                                       {"Output power value (W)", "Modul 1"}}))
        << "text cells are left out";
    using P = trends::TrendPoint;
    // An empty cell, a missing row and a "nan" break the line.
    EXPECT_EQ(RunsOf(source, cells[2]),
              Runs({{{46000.5, 900}, {46001.0, 1000}}, {{46002.0, 800}}}));
    EXPECT_EQ(RunsOf(source, cells[0]),
              Runs({{{46000.0, 1100}}, {{46001.0, 1200}}, {{46002.0, 1300}}}));
    EXPECT_EQ(RunsOf(source, cells[1]),
              Runs({{P{46000.0, 230.1}, {46000.5, 229.0}, {46001.0, 231.0}, {46001.5, 230.0}}}));

    // Appended since the open: left out. Replaced: the runs say so.
    ASSERT_TRUE(store::AppendSnapshot(path, store::ViewKind::Moduly, 46003.0,
                                      Modules("1", "2", "3"), &error));
    EXPECT_EQ(RunsOf(source, cells[0]).back().back(), (P{46002.0, 1300}));
    FileOf(dir, {{46000.0, Modules("1", "2", "3")}});
    Runs runs;
    EXPECT_FALSE(source.runs(cells[0], &runs, &error));
    EXPECT_EQ(
        error,
        QString::fromUtf8("Soubor \"%1\" se od otevření změnil; otevřete jej znovu.").arg(path));
}

TEST(TrendData, ADamagedRecordKeepsTheSnapshotsBeforeIt) {
    QTemporaryDir dir;
    const QString path =
        FileOf(dir, {{46000.0, Modules("1", "2", "3")}, {46001.0, Modules("4", "5", "6")}});
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 second = 4 + qFromLittleEndian<quint32>(f.read(5).constData() + 1);
    f.seek(second);
    f.write("\x63");
    f.close();
    trends::TrendSource source;
    QString error;
    EXPECT_FALSE(source.open(path, store::ViewKind::Moduly, &error));
    EXPECT_TRUE(error.contains("(1)")) << error.toStdString();
    EXPECT_EQ(source.size(), 1);
    EXPECT_EQ(RunsOf(source, source.cells()[0]), Runs({{{46000.0, 1}}}));
}

TEST(TrendData, ALongRunIsThinnedForTheScreenKeepingItsPeaks) {
    using P = trends::TrendPoint;
    // 100,000 points of a slow wave with one spike up and one dip down.
    QList<P> run;
    for (int i = 0; i < 100000; ++i)
        run.append({46000.0 + i / 288.0, 230.0 + (i % 1000) / 1000.0});
    run[31337].value = 400;
    run[77777].value = -5;
    const QList<P> shown = trends::ForScreen(run, 2000);
    EXPECT_LE(shown.size(), 2 * 2000 + 2);
    EXPECT_EQ(shown.front(), run.front());
    EXPECT_EQ(shown.back(), run.back());
    EXPECT_TRUE(shown.contains(run[31337]));
    EXPECT_TRUE(shown.contains(run[77777]));
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(),
                               [](const P& a, const P& b) { return a.stamp < b.stamp; }));
    // A run the screen can show whole stays as it is.
    const QList<P> small = run.mid(0, 4000);
    EXPECT_EQ(trends::ForScreen(small, 2000), small);
}

TEST(TrendData, RepeatedTitlesAreCellsOfTheirOwn) {
    SnapshotTable t(3, 3);
    t.cells = {"", "Modul", "Modul", "Teplota (K)", "300", "301", "Teplota (K)", "310", "311"};
    QTemporaryDir dir;
    trends::TrendSource source;
    QString error;
    ASSERT_TRUE(source.open(FileOf(dir, {{46000.0, t}}), store::ViewKind::Moduly, &error));
    const QList<TrendCell> cells = source.cells();
    ASSERT_EQ(cells.size(), 4);
    EXPECT_EQ(cells[3], (TrendCell{"Teplota (K)", "Modul", 1, 1}));
    EXPECT_EQ(trends::CellText(cells[3]), "Teplota (K) #2 – Modul #2");
    EXPECT_EQ(RunsOf(source, cells[3]), Runs({{{46000.0, 311}}}));
}

TEST(TrendData, LegendLeavesOutWhatTheLinesShare) {
    const TrendCell p1{"Output power value (W)", "Modul 1"};
    const TrendCell p2{"Output power value (W)", "Modul 2"};
    const TrendCell u1{"Output voltage value (0.1V)", "Modul 1"};
    const struct {
        QList<TrendCell> cells;
        QStringList names;
        QString shared;
    } cases[] = {
        {{p1}, {"Output power value (W) – Modul 1"}, ""},
        {{p1, p2}, {"Modul 1", "Modul 2"}, "Output power value (W)"},
        {{p1, u1}, {"Output power value (W)", "Output voltage value (0.1V)"}, "Modul 1"},
        {{p1, p2, u1},
         {"Modul 1 – Output power value (W)", "Modul 2 – Output power value (W)",
          "Modul 1 – Output voltage value (0.1V)"},
         ""},
    };
    for (const auto& k : cases)
        EXPECT_EQ(trends::LegendOf(k.cells), (trends::LegendNames{k.names, k.shared}))
            << k.names.join(" | ").toStdString();
}

TEST(TrendData, AxesRunBetweenRoundNumbers) {
    const struct {
        double low, high;
        trends::AxisScale scale;
    } values[] = {{0.5, 9.7, {0, 10, 6}},
                  {229.0, 231.0, {229, 231, 5}},
                  {-3.2, 7.9, {-4, 8, 7}},
                  {1100, 1100, {1040, 1160, 7}},
                  {0, 0, {-1, 1, 5}},
                  {0.013, 0.092, {0, 0.1, 6}},
                  {1001, 1002.9, {1001, 1003, 5}}};
    for (const auto& v : values) {
        const trends::AxisScale s = trends::NiceValueScale(v.low, v.high);
        EXPECT_NEAR(s.min, v.scale.min, 1e-9) << v.low << ".." << v.high;
        EXPECT_NEAR(s.max, v.scale.max, 1e-9) << v.low << ".." << v.high;
        EXPECT_EQ(s.ticks, v.scale.ticks) << v.low << ".." << v.high;
    }
    const auto at = [](int h, int m, int sec) {
        return 46000 + (h * 3600 + m * 60 + sec) / 86400.0;
    };
    const struct {
        double first, last;
        trends::AxisScale scale;
    } times[] = {{at(10, 13, 27), at(12, 48, 5), {at(10, 0, 0), at(13, 0, 0), 7}},
                 {at(8, 0, 7), at(8, 0, 51), {at(8, 0, 0), at(8, 1, 0), 7}},
                 {at(9, 30, 0), at(9, 30, 0), {at(9, 30, 0), at(10, 30, 0), 7}},
                 {at(0, 0, 0), 46003.2, {46000, 46004, 5}}};
    for (const auto& t : times) {
        const trends::AxisScale s = trends::NiceTimeScale(t.first, t.last);
        EXPECT_NEAR(s.min, t.scale.min, 1e-9) << store::StampText(t.first).toStdString();
        EXPECT_NEAR(s.max, t.scale.max, 1e-9) << store::StampText(t.last).toStdString();
        EXPECT_EQ(s.ticks, t.scale.ticks) << store::StampText(t.first).toStdString();
    }
}

TEST(TrendWindow, PlotsTickedCellsWithAnAxisPerUnitAndSavesPng) {
    test::RecordingUi ui;
    QTemporaryDir dir;
    const QString file = dir.filePath("moduly.ZRD");
    QString error;
    // The third snapshot lacks module 1's power.
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(store::AppendSnapshot(
            file, store::ViewKind::Moduly, 46000.0 + (i * 60 + 7) / 1440.0,
            Modules(i == 2 ? QString() : QString::number(1000 + i), "1100", "230,0"), &error));
    // Another table in the file is counted, not read, until it is chosen.
    ASSERT_TRUE(
        store::AppendSnapshot(file, store::ViewKind::Log, 46001.0, Modules("1", "2", "3"), &error));
    trends::TFtrend t;
    ASSERT_TRUE(t.openFile(file));
    EXPECT_EQ(t.tabulka->itemText(0), "Moduly (4)");
    EXPECT_EQ(t.tabulka->itemText(1), "Event log (1)");
    EXPECT_EQ(t.radky->count(), 3);
    ASSERT_TRUE(t.tick({"Output power value (W)", "Modul 1"}));
    ASSERT_TRUE(t.tick({"Output voltage value (0.1V)", "Modul 1"}));
    EXPECT_FALSE(t.tick({"Serial number", "Modul 1"}));

    // The gap splits the power line in two, under one legend entry.
    const QList<QAbstractSeries*> series = t.chart()->series();
    ASSERT_EQ(series.size(), 3);
    auto* power = qobject_cast<QLineSeries*>(series[1]);
    ASSERT_EQ(power->count(), 1);
    EXPECT_EQ(power->at(0).y(), 1003);
    EXPECT_EQ(power->color(), qobject_cast<QLineSeries*>(series[0])->color());
    QStringList legend;
    for (QLegendMarker* m : t.chart()->legend()->markers())
        if (m->isVisible())
            legend << m->label();
    EXPECT_EQ(legend, QStringList({"Output power value (W)", "Output voltage value (0.1V)"}));
    EXPECT_EQ(t.chart()->title(), QString::fromUtf8("moduly.ZRD – Modul 1"));
    QStringList axisTitles;
    for (QAbstractAxis* a : t.chart()->axes(Qt::Vertical))
        axisTitles << a->titleText();
    EXPECT_EQ(axisTitles, QStringList({"W", "V"}));
    auto* watts = qobject_cast<QValueAxis*>(t.chart()->axes(Qt::Vertical)[0]);
    EXPECT_EQ(std::pair(watts->min(), watts->max()), std::pair(1000.0, 1003.0));
    ASSERT_EQ(t.chart()->axes(Qt::Horizontal).size(), 1);
    auto* time = qobject_cast<QDateTimeAxis*>(t.chart()->axes(Qt::Horizontal)[0]);
    EXPECT_EQ(time->min(), QDateTime(QDate(2025, 12, 9), QTime(0, 0)));
    EXPECT_EQ(time->max(), QDateTime(QDate(2025, 12, 9), QTime(3, 30)));

    t.resize(800, 500);
    const QString png = dir.filePath("trend.png");
    ASSERT_TRUE(t.savePng(png));
    EXPECT_FALSE(QImage(png).isNull());

    EXPECT_FALSE(t.openFile(dir.filePath("chybi.ZRD")));
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST(TrendWindow, ALongLineIsDrawnThinnedWithAxesOverEveryPoint) {
    test::RecordingUi ui;
    QTemporaryDir dir;
    Series series;
    for (int i = 0; i < 5000; ++i)
        series.emplace_back(46000.0 + i / 288.0,
                            Modules(QString::number(i == 3210 ? 9000 : 1000 + i % 7), "1", "2"));
    trends::TFtrend t;
    t.resize(800, 500);
    ASSERT_TRUE(t.openFile(FileOf(dir, series)));
    ASSERT_TRUE(t.tick({"Output power value (W)", "Modul 1"}));
    auto* line = qobject_cast<QLineSeries*>(t.chart()->series().at(0));
    EXPECT_LE(line->count(), 2 * std::max(200, t.graf->width()) + 2);
    EXPECT_GT(line->count(), 400);
    auto* watts = qobject_cast<QValueAxis*>(t.chart()->axes(Qt::Vertical).at(0));
    EXPECT_GE(watts->max(), 9000);
    EXPECT_TRUE(ui.messages.isEmpty());
}

} // namespace
