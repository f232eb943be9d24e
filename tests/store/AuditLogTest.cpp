// The audit log of writes: its line format, the round trip of escaped texts,
// damaged lines skipped, and appends that never truncate.
#include "store/AuditLog.h"
#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zra::store;

namespace {

AuditEntry Entry(const QString& description = QStringLiteral("Proměnná 12 Napětí = 54,0")) {
    return {QDateTime(QDate(2026, 12, 9), QTime(10, 11, 12, 345)),
            "192.168.1.10",
            1,
            16,
            4096,
            {540, 1},
            description,
            "OK",
            {}};
}
const QByteArray Line = "2026-12-09 10:11:12.345\t192.168.1.10\t1\t16\t4096=0x1000\t"
                        "540=0x021C 1=0x0001\tProměnná 12 Napětí = 54,0\tOK\n";

class AuditLogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(AuditLogFileName);
    QString error;

    QByteArray bytes() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

TEST(AuditFormat, OneLineWithValuesInDecimalAndHex) {
    EXPECT_EQ(FormatAuditEntry(Entry()), Line);
    const std::uint8_t data[] = {0x02, 0x1C, 0x00, 0x01, 0xAB};
    EXPECT_EQ(RegistersOfBytes(data), (QList<quint16>{540, 1, 0xAB00}));
}

TEST(AuditFormat, TabsLineBreaksAndBackslashesStayInOneLineAndComeBack) {
    AuditEntry e = Entry("a\tb\nc\\d\r\\t");
    e.outcome = "Chyba:\n\ttimeout";
    e.function = 6;
    e.values = {0xFFFF};
    const QByteArray line = FormatAuditEntry(e);
    EXPECT_EQ(line.count('\n'), 1);
    EXPECT_EQ(line.count('\t'), 7);
    int damaged = -1;
    EXPECT_EQ(ParseAuditLog(AuditLogHeader + line + line, &damaged), (QList<AuditEntry>{e, e}));
    EXPECT_EQ(damaged, 0);
}

TEST(AuditFormat, ADamagedLineIsSkippedAndCounted) {
    const QByteArray damaged[] = {
        "2026-12-09 10:11:12.345\t192.168.1.10\t1\t16\t4096=0x1000\t540=0x021C\tOK\n", // 7 fields
        Line.left(Line.size() - 1) + "\textra\n",
        QByteArray(Line).replace("2026-12-09", "2026-13-09"),
        QByteArray(Line).replace("540=0x021C", "541=0x021C"),
        QByteArray(Line).replace("540=0x021C 1", "540=0x021C  1"),
        QByteArray(Line).replace("\t1\t16", "\t256\t16"),
        QByteArray(Line).replace("Napětí", "Nap\\xt"),
        QByteArray(Line).replace("Napětí", "Nap\xFF"),
    };
    for (const QByteArray& bad : damaged) {
        int count = -1;
        EXPECT_EQ(ParseAuditLog(Line + bad + Line, &count).size(), 2) << bad.toStdString();
        EXPECT_EQ(count, 1) << bad.toStdString();
    }
    int count = -1;
    EXPECT_EQ(ParseAuditLog(Line + Line.left(Line.size() - 1), &count).size(), 1) << "cut off";
    EXPECT_EQ(count, 1);
}

TEST(AuditFormat, AWritesTwoLinesJoinByTheirKeyAndOlderLinesStandAlone) {
    const auto line = [](const char* description, const QString& outcome, const char* key) {
        AuditEntry e = Entry(description);
        e.outcome = outcome;
        e.key = key;
        return e;
    };
    const AuditEntry sent = line("A", AuditSentOutcome, "0123abcd-1");
    EXPECT_EQ(FormatAuditEntry(sent), QByteArray(Line).replace("Proměnná 12 Napětí = 54,0\tOK\n",
                                                               "A\todesláno\t0123abcd-1\n"));
    EXPECT_EQ(ParseAuditLog(FormatAuditEntry(sent)), QList<AuditEntry>{sent});
    for (const char* bad : {"0123ABCD-1", "0123abc-1", "0123abcd-", "0123abcd-1x"}) {
        int damaged = 0;
        EXPECT_TRUE(ParseAuditLog(FormatAuditEntry(line("A", "OK", bad)), &damaged).isEmpty());
        EXPECT_EQ(damaged, 1) << bad;
    }

    const QList<AuditEntry> lines = {
        line("older", "OK", ""),
        line("A", AuditSentOutcome, "0123abcd-1"),
        line("B", AuditSentOutcome, "0123abcd-2"),
        line("B", "Chyba", "0123abcd-2"),
        line("A", AuditSentOutcome, "0123abcd-1"), // a key again: the first A has no outcome
        line("C", "OK", "0123abcd-3"),             // its sent line is missing
        line("A", "OK", "0123abcd-1"),
    };
    QStringList joined;
    for (const AuditEntry& e : JoinAuditLines(lines))
        joined << e.description + " " + e.outcome;
    EXPECT_EQ(joined, (QStringList{"older OK", "A bez odpovědi", "B Chyba", "A OK", "C OK"}));
}

TEST_F(AuditLogTest, ANewFileGetsTheHeaderAndEachEntryIsAppended) {
    AuditLog log(path);
    ASSERT_TRUE(log.append(Entry(), &error)) << error.toStdString();
    EXPECT_EQ(bytes(), AuditLogHeader + Line);
    ASSERT_TRUE(log.append(Entry("Systém ON"), &error));
    EXPECT_EQ(bytes(), AuditLogHeader + Line + FormatAuditEntry(Entry("Systém ON")));
    int damaged = -1;
    EXPECT_EQ(log.entries(&damaged), (QList<AuditEntry>{Entry(), Entry("Systém ON")}));
    EXPECT_EQ(damaged, 0);
}

TEST_F(AuditLogTest, AnExistingFileIsNeverTruncatedAndACutLineIsEnded) {
    const QByteArray old = "engineer's notes\nno line end";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    ASSERT_TRUE(AppendAuditEntry(path, Entry(), &error)) << error.toStdString();
    EXPECT_EQ(bytes(), old + "\n" + Line);
    int damaged = -1;
    EXPECT_EQ(AuditLog(path).entries(&damaged), QList<AuditEntry>{Entry()});
    EXPECT_EQ(damaged, 2);
}

TEST_F(AuditLogTest, AnUnwritablePathFailsWithTheFileInTheMessage) {
    for (const QString& bad : {dir.filePath("no/such/folder/a.log"), dir.path()}) {
        error.clear();
        EXPECT_FALSE(AppendAuditEntry(bad, Entry(), &error));
        const QString start = QStringLiteral("Záznam o zápisu nelze uložit do souboru \"%1\". ");
        EXPECT_TRUE(error.startsWith(start.arg(bad))) << error.toStdString();
        EXPECT_GT(error.size(), start.arg(bad).size()) << "with the reason";
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("no")));
}

} // namespace
