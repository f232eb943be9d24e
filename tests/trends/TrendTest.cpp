// Trends: units from row titles, cell values across snapshots, and the
// window's chart over a snapshot file.
#include "store/SnapshotFile.h"
#include "tests/support/RecordingUi.h"
#include "trends/TFtrend.h"
#include "trends/TrendData.h"

#include <QChart>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QImage>
#include <QLineSeries>
#include <QListWidget>
#include <QTemporaryDir>
#include <QValueAxis>
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
    EXPECT_EQ(trends::CellNumber("230,5"), 230.5);
    EXPECT_EQ(trends::CellNumber(" -2.5 "), -2.5);
    EXPECT_EQ(trends::CellNumber(""), std::nullopt);
    EXPECT_EQ(trends::CellNumber("SBR"), std::nullopt);
}

TEST(TrendData, CellsAndValuesAcrossSnapshots) {
    SnapshotTable moved = Modules("900", "", "229,0");
    // The same quantities in another row order: matched by title.
    moved.set(0, 1, "Output voltage value (0.1V)");
    moved.set(1, 1, "229,0");
    moved.set(0, 2, "Output power value (W)");
    moved.set(1, 2, "900");
    const trends::SnapshotSeries s = {{46000.0, Modules("1000", "1100", "230,1")},
                                      {46000.5, moved},
                                      {46001.0, Modules("", "1200", "231,0")}};
    const QList<TrendCell> cells = trends::NumericCells(s);
    EXPECT_EQ(cells, QList<TrendCell>({{"Output power value (W)", "Modul 1"},
                                       {"Output power value (W)", "Modul 2"},
                                       {"Output voltage value (0.1V)", "Modul 1"}}))
        << "text cells are left out";
    using P = trends::TrendPoint;
    EXPECT_EQ(trends::CellValues(s, cells[0]), QList<P>({{46000.0, 1000}, {46000.5, 900}}));
    EXPECT_EQ(trends::CellValues(s, cells[2]),
              QList<P>({{46000.0, 230.1}, {46000.5, 229.0}, {46001.0, 231.0}}));
}

TEST(TrendWindow, PlotsTickedCellsWithAnAxisPerUnitAndSavesPng) {
    test::RecordingUi ui;
    QTemporaryDir dir;
    const QString file = dir.filePath("moduly.ZRD");
    QString error;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(store::AppendSnapshot(file, store::ViewKind::Moduly, 46000.0 + i / 24.0,
                                          Modules(QString::number(1000 + i), "1100", "230,0"),
                                          &error));
    trends::TFtrend t;
    ASSERT_TRUE(t.openFile(file));
    EXPECT_EQ(t.tabulka->itemText(0), "Moduly (3)");
    EXPECT_EQ(t.radky->count(), 3);
    ASSERT_TRUE(t.tick({"Output power value (W)", "Modul 1"}));
    ASSERT_TRUE(t.tick({"Output voltage value (0.1V)", "Modul 1"}));
    EXPECT_FALSE(t.tick({"Serial number", "Modul 1"}));

    const QList<QAbstractSeries*> series = t.chart()->series();
    ASSERT_EQ(series.size(), 2);
    auto* power = qobject_cast<QLineSeries*>(series[0]);
    ASSERT_EQ(power->count(), 3);
    EXPECT_EQ(power->at(2).y(), 1002);
    QStringList axisTitles;
    for (QAbstractAxis* a : t.chart()->axes(Qt::Vertical))
        axisTitles << a->titleText();
    EXPECT_EQ(axisTitles, QStringList({"W", "V"}));
    EXPECT_EQ(t.chart()->axes(Qt::Horizontal).size(), 1);

    t.resize(800, 500);
    const QString png = dir.filePath("trend.png");
    ASSERT_TRUE(t.savePng(png));
    EXPECT_FALSE(QImage(png).isNull());

    EXPECT_FALSE(t.openFile(dir.filePath("chybi.ZRD")));
    EXPECT_EQ(ui.messages.size(), 1);
}

} // namespace
