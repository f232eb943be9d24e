// Snapshot files: the record layout, appends that are whole or nothing, loads
// with a filter or a picked stamp, damaged files, and the history books.
#include "store/SnapshotFile.h"
#include "store/ToolFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace zra::store;

namespace {

SnapshotTable Table(int columns, int rows, const QStringList& cells) {
    SnapshotTable t(columns, rows);
    t.cells = cells;
    return t;
}
// A 2 x 1 table telling snapshots apart; its record is 21 bytes plus the final 0.
SnapshotTable Tagged(int n) {
    return Table(2, 1, {"#", QString::number(n)});
}
std::vector<int> Tags(const QList<SnapshotTable>& tables) {
    std::vector<int> tags;
    for (const SnapshotTable& t : tables)
        tags.push_back(t.at(1, 0).toInt());
    return tags;
}

class SnapshotFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("a.ZRD");
    QString error;
    SnapshotSession session;

    QByteArray bytes() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QByteArray& data) {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(data);
    }
    // Appends Tagged(i + 1) as kinds[i] with stamps[i] (i + 1 when none is given).
    void save(const std::vector<ViewKind>& kinds, const std::vector<double>& stamps = {}) {
        for (size_t i = 0; i < kinds.size(); ++i)
            ASSERT_TRUE(AppendSnapshot(path, kinds[i], i < stamps.size() ? stamps[i] : i + 1.0,
                                       Tagged(int(i) + 1), &error))
                << error.toStdString();
    }
    QList<SnapshotTable> load(int filter, std::optional<double> stamp = {}, bool ok = true) {
        QList<SnapshotTable> got;
        const auto sink = [&](ViewKind, double, const SnapshotTable& t) { got.append(t); };
        error.clear();
        EXPECT_EQ(session.load(path, filter, stamp, sink, &error), ok) << error.toStdString();
        return got;
    }
    QList<double> stamps(ViewKind kind) const { return session.history(kind).HistoryStamps(); }
};

TEST_F(SnapshotFileTest, RecordLayoutAndASecondSaveOverTheFinalZero) {
    const double noon = DayStamp(QDateTime(QDate(2020, 1, 1), QTime(12, 0)));
    ASSERT_TRUE(AppendSnapshot(path, ViewKind::Main, noon, Table(2, 1, {"A", ""}), &error));
    const QByteArray first =
        QByteArray::fromHex("07 10000000 00000000F066E540 0100 0200 0141 00 00");
    EXPECT_EQ(bytes(), first);
    ASSERT_TRUE(AppendSnapshot(path, ViewKind::Alarm, noon, Table(2, 1, {"A", ""}), &error));
    EXPECT_EQ(bytes(), first.left(20) + '\x08' + first.mid(1));
}

// A read fills its table through a sink that grows and cuts it.
TEST(SnapshotTableSink, ResizesKeepTheCellsThatStay) {
    SnapshotTable t = Table(2, 2, {"a", "b", "c", "d"});
    SnapshotTableSink sink(t);
    sink.setColumnCount(3);
    sink.setCell(2, 1, "e");
    EXPECT_EQ(t, Table(3, 2, {"a", "b", "", "c", "d", "e"}));
    sink.setRowCount(1);
    sink.setColumnCount(1);
    EXPECT_EQ(t, Table(1, 1, {"a"}));
}

TEST(SnapshotStamps, DaysSince1899WithMillisecondsAndTheirText) {
    const std::pair<QDateTime, double> cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0},
        {QDateTime(QDate(1900, 1, 1), QTime(6, 0)), 2.25},
        {QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999)), 45351 + 86399999 / 86400000.0}};
    for (const auto& [local, stamp] : cases) {
        EXPECT_DOUBLE_EQ(DayStamp(local), stamp);
        EXPECT_EQ(FromDayStamp(stamp), local) << stamp;
    }
    EXPECT_EQ(StampText(43831.5 + 5.0 / 86400, QLocale(QLocale::Czech)), "01.01.20 12:00:05");

    // Saves within one millisecond still get stamps of their own.
    const QDateTime now(QDate(2026, 12, 9), QTime(10, 0, 0, 500));
    const double first = NextSaveStamp(now, 0);
    EXPECT_DOUBLE_EQ(first, DayStamp(now));
    const double second = NextSaveStamp(now, first);
    EXPECT_EQ(FromDayStamp(second), now.addMSecs(1));
    EXPECT_EQ(FromDayStamp(NextSaveStamp(now, second)), now.addMSecs(2));
    EXPECT_DOUBLE_EQ(NextSaveStamp(now.addSecs(1), second), DayStamp(now.addSecs(1)));
}

TEST_F(SnapshotFileTest, CzechTextAndTheDegreeSignRoundTripInWindows1250) {
    const SnapshotTable t =
        Table(3, 2, {"Příliš žluťoučký kůň", "25,3 °C", "", "ĚŠČŘŽÝÁÍÉ ůú", "ďťň", "?"});
    ASSERT_TRUE(AppendSnapshot(path, ViewKind::Log, 1.5, t, &error));
    EXPECT_TRUE(bytes().contains("25,3 \xB0"
                                 "C"));
    EXPECT_EQ(load(0), QList<SnapshotTable>{t});
    EXPECT_EQ(stamps(ViewKind::Log), QList<double>{1.5});
}

TEST_F(SnapshotFileTest, ATableThatDoesNotFitARecordIsRefusedAndNothingIsWritten) {
    SnapshotTable full(197, 1); // 196 cells of 255 bytes and one of 3: a 50,001-byte record
    full.cells.fill(QString(254, 'x'));
    full.cells.back() = "yy";
    SnapshotTable over = full;
    over.cells.back() = "yyy";
    EXPECT_EQ(EncodeRecord(ViewKind::Moduly, 2, full, &error).size(), RecordBufferSize);
    const std::pair<SnapshotTable, const char*> cases[] = {
        {Table(1, 1, {QString(255, 'x')}), nullptr}, // nullptr: saved
        {Table(1, 1, {QString(256, 'x')}), "buňka (0, 0) má 256 znaků, nejvýše 255"},
        {full, nullptr},
        {over, "záznam by měl přes 50001 bajtů"},
        {Table(2, 1, {"ok", "π"}), "buňka (1, 0) obsahuje znak, který Windows-1250 nemá"}};
    for (const auto& [table, refusal] : cases) {
        write({});
        save({ViewKind::Konfig});
        const QByteArray before = bytes();
        EXPECT_EQ(AppendSnapshot(path, ViewKind::Moduly, 2, table, &error), !refusal);
        if (refusal) {
            EXPECT_EQ(error, "Tabulku nelze uložit: " + QString::fromUtf8(refusal) + ".");
            EXPECT_EQ(bytes(), before);
        } else {
            EXPECT_EQ(load(2), QList<SnapshotTable>{table});
        }
    }
}

TEST_F(SnapshotFileTest, AFilterLoadsItsKindAndSkipsTheOthersUnparsed) {
    save({ViewKind::Log, ViewKind::Main, ViewKind::Log, ViewKind::Main, ViewKind::Log});
    QByteArray data = bytes();
    data[21 + 13] = data[63 + 13] = '\xFF'; // the kind-7 records claim 255 rows they lack
    write(data);
    EXPECT_EQ(Tags(load(6)), (std::vector<int>{1, 3, 5}));
    const SnapshotHistory& log = session.history(ViewKind::Log);
    EXPECT_EQ(log.HistoryStamps(), (QList<double>{1, 3, 5}));
    EXPECT_EQ(log.entries(), (QStringList{StampText(1), StampText(3), StampText(5)}));
    EXPECT_TRUE(log.visible());
    EXPECT_EQ(log.selected(), 2);
    EXPECT_EQ(session.LastSnapshotFile(ViewKind::Log), path);
    EXPECT_TRUE(session.LastSnapshotFile(ViewKind::Main).isEmpty());
    EXPECT_EQ(Tags(load(0, {}, false)), std::vector<int>{1}); // unfiltered, record 2 is damaged
}

TEST_F(SnapshotFileTest, ALoadRebuildsOnlyTheHistoriesOfTheKindsItHolds) {
    save({ViewKind::Log, ViewKind::Faze, ViewKind::Faze}, {10, 11, 12});
    load(0);
    const QString first = path;
    path = dir.filePath("b.ZRD");
    save({ViewKind::Log, ViewKind::Main});
    load(0);
    EXPECT_EQ(stamps(ViewKind::Log), QList<double>{1});
    EXPECT_FALSE(session.history(ViewKind::Log).visible());
    EXPECT_EQ(stamps(ViewKind::Main), QList<double>{2});
    EXPECT_EQ(stamps(ViewKind::Faze), (QList<double>{11, 12}));
    EXPECT_EQ(session.LastSnapshotFile(ViewKind::Faze), first);
    EXPECT_EQ(session.LastSnapshotFile(ViewKind::Log), path);
    for (const QByteArray& nothing : {QByteArray(), QByteArray(1, '\0')}) {
        write(nothing);
        EXPECT_TRUE(load(0).empty());
        EXPECT_EQ(stamps(ViewKind::Log), QList<double>{1});
    }
}

TEST_F(SnapshotFileTest, AHistoryKeepsTheNewestHundred) {
    save(std::vector<ViewKind>(120, ViewKind::Moduly));
    EXPECT_EQ(Tags(load(2)).back(), 120);
    QList<double> expected;
    for (int i = 21; i <= 120; ++i)
        expected.append(i);
    EXPECT_EQ(stamps(ViewKind::Moduly), expected);
    EXPECT_EQ(session.history(ViewKind::Moduly).entries().size(), 100);
    EXPECT_EQ(session.history(ViewKind::Moduly).selected(), 99);
}

TEST_F(SnapshotFileTest, AWindowsOpenDecodesOnlyEachKindsLastSnapshot) {
    std::vector<ViewKind> kinds(120, ViewKind::Moduly);
    kinds[7] = kinds[9] = ViewKind::Log;
    save(kinds);
    QList<std::pair<ViewKind, int>> got;
    const auto sink = [&](ViewKind kind, double, const SnapshotTable& t) {
        got.append({kind, t.at(1, 0).toInt()});
    };
    ASSERT_TRUE(session.loadLast(path, 0, sink, &error)) << error.toStdString();
    EXPECT_EQ(got, (QList<std::pair<ViewKind, int>>{{ViewKind::Moduly, 120}, {ViewKind::Log, 10}}));
    EXPECT_EQ(stamps(ViewKind::Moduly).size(), 100);
    EXPECT_EQ(stamps(ViewKind::Moduly).front(), 21.0) << "the newest hundred of 118";
    EXPECT_EQ(stamps(ViewKind::Log), (QList<double>{8, 10}));
    EXPECT_EQ(session.LastSnapshotFile(ViewKind::Log), path);

    // A damaged record ends the walk; the last snapshot before it is loaded.
    QByteArray damaged = bytes();
    const int at = 9 * 21 + 41 * 22; // the 51st record: tags of one digit, then two
    damaged[at] = '\x09';
    write(damaged);
    got.clear();
    EXPECT_FALSE(session.loadLast(path, 2, sink, &error));
    EXPECT_EQ(got, (QList<std::pair<ViewKind, int>>{{ViewKind::Moduly, 50}}));
    EXPECT_EQ(error, "Soubor \"" + path + "\" není v pořádku: záznam na pozici " +
                         QString::number(at) +
                         " má neznámý druh 9. Záznamy před ním zůstávají načteny (48).");

    // Cells that do not fill their record, its head whole: a listed record is
    // listed (picking it tells), the one to be shown is not shown and told.
    const int last = 9 * 21 + 90 * 22 + 20 * 23; // tags of one, two and three digits
    for (const auto& [hurt, shown, ok] : {std::tuple{at, 120, true}, std::tuple{last, 0, false}}) {
        QByteArray cells = damaged;
        cells[at] = char(ViewKind::Moduly); // whole again
        cells[hurt + 17] = '\x02';          // the first cell's length
        write(cells);
        got.clear();
        EXPECT_EQ(session.loadLast(path, 2, sink, &error), ok) << error.toStdString();
        EXPECT_EQ(got.size(), shown ? 1 : 0);
        if (shown) {
            EXPECT_EQ(got.front().second, shown);
        }
        EXPECT_EQ(stamps(ViewKind::Moduly).back(), 120.0);
        if (!ok) {
            EXPECT_EQ(error, "Soubor \"" + path + "\" není v pořádku: záznam na pozici " +
                                 QString::number(last) +
                                 " má buňky, které nesouhlasí s jeho délkou. Záznamy před ním "
                                 "zůstávají načteny (117).");
        }
    }
}

TEST_F(SnapshotFileTest, APickLoadsTheFirstRecordWithItsStampOnly) {
    save({ViewKind::Main, ViewKind::Log, ViewKind::Log, ViewKind::Log}, {2, 1, 2, 2});
    load(6);
    EXPECT_EQ(Tags(load(6, 2.0)), std::vector<int>{3});
    EXPECT_EQ(Tags(load(0, 2.0)), std::vector<int>{1});
    EXPECT_TRUE(load(6, 9.0).empty());
    EXPECT_EQ(stamps(ViewKind::Log), (QList<double>{1, 2, 2}));
    EXPECT_EQ(session.LastSnapshotFile(ViewKind::Main), path);
}

TEST_F(SnapshotFileTest, ATruncatedFileEndsTheLoadQuietly) {
    save({ViewKind::Log, ViewKind::Log});
    const QByteArray whole = bytes();
    for (int size = 0; size <= whole.size(); ++size) {
        write(whole.left(size));
        EXPECT_EQ(load(0).size(), int(size >= 22) + int(size >= 43)) << size;
    }
}

TEST_F(SnapshotFileTest, ADamagedRecordEndsTheLoadWithAMessageKeepingTheRecordsBefore) {
    save({ViewKind::Log, ViewKind::Log});
    const QByteArray whole = bytes();
    const struct {
        int at;
        QByteArray patch;
        int loaded;
        const char* message; // nullptr: no message
    } cases[] = {
        {0, "\x09", 0, "na pozici 0 má neznámý druh 9"},
        {21, "\xFF", 1, "na pozici 21 má neznámý druh 255"},
        {22, QByteArray::fromHex("0c000000"), 1, "na pozici 21 má chybnou délku 12"},
        {1, QByteArray::fromHex("4dc30000"), 0, "na pozici 0 má chybnou délku 49997"},
        {1, QByteArray::fromHex("4cc30000"), 0, nullptr}, // fits the buffer, runs past the end
        {1, QByteArray::fromHex("12000000"), 0,
         "na pozici 0 má buňky, které nesouhlasí s jeho délkou"},
        {15, QByteArray::fromHex("0300"), 0,
         "na pozici 0 má buňky, které nesouhlasí s jeho délkou"},
    };
    for (const auto& c : cases) {
        write(QByteArray(whole).replace(c.at, c.patch.size(), c.patch));
        EXPECT_EQ(load(0, {}, !c.message).size(), c.loaded) << c.at;
        if (c.message) {
            EXPECT_EQ(error, "Soubor \"" + path + "\" není v pořádku: záznam " +
                                 QString::fromUtf8(c.message) +
                                 ". Záznamy před ním zůstávají načteny (" +
                                 QString::number(c.loaded) + ").")
                << error.toStdString();
        }
    }
}

TEST_F(SnapshotFileTest, AppendRefusesAFileThatIsNotASnapshotFile) {
    save({ViewKind::Log});
    const QByteArray valid = bytes();
    // A record cut short, another program's file, and bytes after the end
    // mark that no stopped append leaves.
    for (const QByteArray& other :
         {QByteArray("hello"), valid.chopped(1), valid + QByteArray::fromHex("0c000000"),
          valid.left(1) + QByteArray(20, '\0') + valid.right(1)}) {
        write(other);
        EXPECT_FALSE(AppendSnapshot(path, ViewKind::Log, 1, Tagged(1), &error));
        EXPECT_TRUE(error.contains(u"Soubor není v pořádku")) << error.toStdString();
        EXPECT_EQ(bytes(), other);
    }
    write({});
    save({ViewKind::Log});
    EXPECT_EQ(bytes(), valid);
}

TEST_F(SnapshotFileTest, FilesThatCannotBeOpenedOrCreated) {
    EXPECT_TRUE(load(0, {}, false).empty());
    EXPECT_TRUE(error.startsWith("Cannot open file \"" + path + "\". ")) << error.toStdString();
    const QString missing = dir.filePath("no/such/a.ZRD");
    EXPECT_FALSE(AppendSnapshot(missing, ViewKind::Log, 1, Tagged(1), &error));
    EXPECT_TRUE(error.startsWith("Cannot create file \"" + missing + "\". "))
        << error.toStdString();
}

TEST_F(SnapshotFileTest, AnAppendStoppedOrFailedAtAnyOffsetKeepsEveryEarlierRecord) {
    save({ViewKind::Log});
    const QByteArray old = bytes();
    // The in-place write of a 22-byte record: its last 21 bytes after the end
    // mark, then its kind over it; a new file gets its end mark first.
    const std::tuple<QString, qint64> files[] = {{path, 22}, {dir.filePath("new.ZRD"), 23}};
    for (const auto& [file, size] : files)
        for (qint64 at = 0; at <= size; ++at) {
            // A full disk: the append fails and takes back what it wrote.
            FailWriteAt = [at](qint64 offset) { return offset == at; };
            EXPECT_FALSE(AppendSnapshot(file, ViewKind::Main, 2, Tagged(2), &error)) << at;
            FailWriteAt = nullptr;
            EXPECT_TRUE(error.startsWith(file == path ? "Cannot open file" : "Cannot create file"))
                << error.toStdString();
            EXPECT_EQ(bytes(), old) << at;
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.ZRD"}) << at;
            // A killed process: what it wrote stays, the file still loads
            // with the earlier records, and the next append cuts the torn
            // tail away and succeeds.
            StopWriteAt = [at](qint64 offset) { return offset == at; };
            EXPECT_FALSE(AppendSnapshot(file, ViewKind::Main, 2, Tagged(2), &error)) << at;
            StopWriteAt = nullptr;
            const QString kept = path;
            path = file;
            const bool whole = at == size;
            EXPECT_EQ(Tags(load(0)).size(), (file == kept ? 1u : 0u) + (whole ? 1u : 0u)) << at;
            QString notice;
            ASSERT_TRUE(AppendSnapshot(file, ViewKind::Alarm, 3, Tagged(3), &error, &notice))
                << error.toStdString();
            std::vector<int> expected = file == kept ? std::vector<int>{1} : std::vector<int>{};
            if (whole)
                expected.push_back(2);
            expected.push_back(3);
            EXPECT_EQ(Tags(load(0)), expected) << at;
            EXPECT_EQ(notice.isEmpty(), whole || at == 0 || (file != kept && at == 1)) << at;
            path = kept;
            write(old);
            QFile::remove(dir.filePath("new.ZRD"));
        }
}

// The bytes this process has read so far (its rchar).
qint64 BytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

TEST_F(SnapshotFileTest, ALongFileOpensFromItsEndAsFromItsStart) {
    // An event log snapshot, then rounds of the other seven tables (a
    // logger's read-all): past 8 MB, so that the open starts at the end.
    SnapshotTable wide(40, 25);
    for (qsizetype i = 0; i < wide.cells.size(); ++i)
        wide.cells[i] = QString::number(i % 1000);
    QByteArray content;
    std::vector<qsizetype> starts;
    const auto add = [&](ViewKind kind, double stamp, int tag) {
        SnapshotTable t = wide;
        t.set(0, 0, QString::number(tag));
        starts.push_back(content.size());
        content += EncodeRecord(kind, stamp, t, &error).chopped(1);
    };
    add(ViewKind::Log, 0.5, -1);
    int rounds = 0;
    while (content.size() < (9 << 20)) {
        ++rounds;
        for (const int k : {1, 2, 3, 4, 5, 7, 8})
            add(ViewKind(k), rounds + k / 100.0, rounds);
    }
    content += '\0';
    const auto open = [&](const QByteArray& data, int filter) {
        write(data);
        std::map<ViewKind, int> shown;
        SnapshotSession opened;
        const bool ok = opened.loadLast(
            path, filter,
            [&](ViewKind kind, double, const SnapshotTable& t) {
                shown[kind] = t.at(0, 0).toInt();
            },
            &error);
        return std::tuple{ok, shown, opened.history(ViewKind::Moduly).HistoryStamps(),
                          opened.history(ViewKind::Log).HistoryStamps()};
    };
    // Every table shows its newest, every history holds its newest hundred,
    // and the log's one record, at the file's start, is found too.
    const auto [ok, shown, moduly, log] = open(content, 0);
    ASSERT_TRUE(ok) << error.toStdString();
    for (const int k : {1, 2, 3, 4, 5, 7, 8})
        EXPECT_EQ(shown.at(ViewKind(k)), rounds) << k;
    EXPECT_EQ(shown.at(ViewKind::Log), -1);
    ASSERT_EQ(moduly.size(), SnapshotHistory::MaxEntries);
    EXPECT_EQ(moduly.front(), rounds - 99 + 0.02);
    EXPECT_EQ(moduly.back(), rounds + 0.02);
    EXPECT_EQ(log, QList<double>{0.5});
    // One window's open reads the file's end only.
    const qint64 before = BytesRead();
    const auto [okModuly, shownModuly, modulyAlone, none] = open(content, 2);
    EXPECT_LT(BytesRead() - before, content.size() / 2);
    EXPECT_TRUE(okModuly);
    EXPECT_EQ(shownModuly, (std::map<ViewKind, int>{{ViewKind::Moduly, rounds}}));
    EXPECT_EQ(modulyAlone, moduly);
    // A damaged record among the last ones: the walk from the start says so.
    QByteArray damaged = content;
    damaged[starts[starts.size() - 3]] = '\x09';
    const auto [okDamaged, shownDamaged, m, l] = open(damaged, 0);
    EXPECT_FALSE(okDamaged);
    EXPECT_TRUE(error.contains(u"má neznámý druh 9")) << error.toStdString();
    // Cells that do not fill their record, with its head whole: the way back
    // notes it by its head, and picking it says what is wrong with it. In the
    // record shown, the walk from the start says it at once.
    const qsizetype hurt = starts.size() - 13; // the modules table's second newest
    damaged = content;
    ++damaged[starts[hurt] + 17];
    const auto [okCells, shownCells, modulyCells, l2] = open(damaged, 0);
    EXPECT_TRUE(okCells) << error.toStdString();
    EXPECT_EQ(modulyCells, moduly);
    EXPECT_FALSE(LoadSnapshots(path, 2, moduly[98], {}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("záznam na pozici %1 má buňky").arg(starts[hurt])))
        << error.toStdString();
    damaged = content;
    ++damaged[starts[hurt + 7] + 17];
    EXPECT_FALSE(std::get<0>(open(damaged, 2)));
}

TEST_F(SnapshotFileTest, AGigabyteFileThatIsNotASnapshotFileIsRefusedAtOnce) {
    // A sparse file: a gigabyte that takes no room on the disk.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("hello");
        ASSERT_TRUE(f.resize(qint64(1) << 30));
    }
    const qint64 before = BytesRead();
    EXPECT_FALSE(AppendSnapshot(path, ViewKind::Log, 1, Tagged(1), &error));
    EXPECT_TRUE(error.contains(u"má neznámý druh 104")) << error.toStdString();
    EXPECT_FALSE(LoadLastSnapshots(
        path, 0, [](ViewKind, double) {}, {}, &error));
    EXPECT_TRUE(error.contains(u"má neznámý druh 104")) << error.toStdString();
    EXPECT_LT(BytesRead() - before, 4 << 20) << "a few megabytes at most, not the whole file";
    EXPECT_EQ(QFileInfo(path).size(), qint64(1) << 30);
}

TEST_F(SnapshotFileTest, TwoProcessesAppendingToOneFileLoseNoRecord) {
    // Each writer appends 500 records tagged with its number and a count.
    QProcess writers[2];
    for (int w = 0; w < 2; ++w)
        writers[w].start(QStringLiteral(ZRA_APPEND_WRITER),
                         {path, QString::number(w + 1), QStringLiteral("500")});
    for (QProcess& writer : writers) {
        ASSERT_TRUE(writer.waitForFinished(60000));
        EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
    }
    std::map<int, int> next{{1, 0}, {2, 0}};
    int records = 0;
    const auto sink = [&](ViewKind, double, const SnapshotTable& t) {
        ++records;
        const int writer = t.at(0, 0).toInt();
        EXPECT_EQ(t.at(1, 0).toInt(), next[writer]++) << "each writer's records whole, in order";
    };
    ASSERT_TRUE(LoadSnapshots(path, 0, std::nullopt, sink, &error)) << error.toStdString();
    EXPECT_EQ(records, 1000);
}

} // namespace
