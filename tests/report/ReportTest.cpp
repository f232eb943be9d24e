// The commissioning report: wide tables split, the document's contents, the
// PDF, and the commands against the simulator and a snapshot file.
#include "insight/Extras.h"
#include "log/TFlog.h"
#include "main/Startup.h"
#include "main/TFmain.h"
#include "report/CommissioningReport.h"
#include "report/ReportCommands.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace zra;
using namespace zra::test;
using store::SnapshotTable;

namespace {

SnapshotTable Table(int columns, int rows) {
    SnapshotTable t(columns, rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            t.set(c, r, QStringLiteral("%1/%2").arg(c).arg(r));
    return t;
}

TEST(CommissioningReport, WideTablesAreSplitWithTheirTitleColumn) {
    struct Case {
        int columns, max;
        std::vector<int> parts; // columns of each part, the title column included
    } cases[] = {{10, 6, {7, 4}}, {7, 6, {7}}, {13, 6, {7, 7}}, {1, 6, {1}}, {4, 0, {4}}};
    for (const Case& k : cases) {
        const SnapshotTable t = Table(k.columns, 3);
        const auto parts = report::SplitColumns(t, k.max);
        std::vector<int> got;
        for (const SnapshotTable& p : parts) {
            got.push_back(p.columns);
            EXPECT_EQ(p.at(0, 2), t.at(0, 2)) << "every part starts with the titles";
        }
        EXPECT_EQ(got, k.parts) << k.columns << " columns";
        if (parts.size() == 2) {
            EXPECT_EQ(parts[1].at(1, 1), t.at(k.max + 1, 1)) << "the second part goes on";
        }
    }
}

TEST(CommissioningReport, DocumentHoldsIdentityClocksTablesAndWrites) {
    report::ReportData data;
    data.source = "Instalace 127.0.0.1, jednotka 1";
    data.created = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0));
    data.installationClock = "09.12.2026 10:00:42";
    data.firmware = "5";
    SnapshotTable main(2, 3);
    main.set(0, 1, "Sériové číslo");
    main.set(1, 1, "2310001");
    main.set(0, 2, "Main rev. SW");
    main.set(1, 2, "<3.1>");
    data.sections.push_back({report::SectionTitle(store::ViewKind::Main), main});
    data.sections.push_back({report::SectionTitle(store::ViewKind::Alarm), SnapshotTable(4, 1)});
    store::AuditEntry e;
    e.time = data.created;
    e.registerAddress = 2000;
    e.values = {1};
    e.description = "Systémový příkaz: ON";
    e.outcome = "OK";
    data.writes << e;

    const QString html = report::ReportHtml(data);
    for (const char* text :
         {"Protokol o uvedení do provozu", "Instalace 127.0.0.1, jednotka 1", "<b>2310001</b>",
          "Generace firmwaru", "&lt;3.1&gt;", "Hodiny instalace: 09.12.2026 10:00:42",
          "Rozdíl: 42 s", "Systémové hodnoty", "Aktivní alarmy</h2><p>Bez záznamů.",
          "Systémový příkaz: ON", "<thead>"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(text))) << text;
}

TEST(CommissioningReport, ALongTableGoesOnOverPages) {
    report::ReportData data;
    data.created = QDateTime::currentDateTime();
    data.sections.push_back({"Konfigurace", Table(7, 501)});
    QTemporaryDir dir;
    const QString path = dir.filePath("dlouhy.pdf");
    QString error;
    ASSERT_TRUE(report::WritePdf(path, data, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray pdf = f.readAll();
    const int pages = int(pdf.count("/Type /Page") - pdf.count("/Type /Pages"));
    EXPECT_GT(pages, 5) << "500 rows at 8 points fill several A4 pages";
}

class ReportCommandsTest : public ::testing::Test {
protected:
    QString file(const char* name) { return dir.filePath(QString::fromLatin1(name)); }
    static QByteArray Head(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.read(5) : QByteArray();
    }
    RecordingUi ui;
    main::Windows w;
    insight::Extras extras{w};
    QTemporaryDir dir;
};

TEST_F(ReportCommandsTest, FromTheInstallationReadsEveryTableIntoAPdf) {
    sim::Options o;
    o.frozen = true;
    o.firmware = 7;
    auto simulator = StartSimulator(o);
    w.link.hostText = [&] { return simulator->address(); };
    EXPECT_FALSE(extras.reports->installationItem->isEnabled());
    w.link.ConnectCommand();
    ASSERT_TRUE(extras.reports->installationItem->isEnabled());

    ui.answerNextFileName(file("protokol"));
    extras.reports->installationItem->trigger();
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(Head(file("protokol.pdf")), "%PDF-");
    EXPECT_EQ(ui.dialogsShown, 1) << "the preview";
    EXPECT_GT(w.Flog->SG_log->rowCount(), 1) << "the event log was read too";

    const report::ReportData data = extras.reports->collect();
    ASSERT_EQ(data.sections.size(), 8u);
    EXPECT_EQ(data.sections[2].title, "Moduly");
    EXPECT_EQ(data.sections[2].table, main::SnapshotCommands::TableOf(*w.Fmoduly->SG_mod));
    EXPECT_FALSE(report::IdentityOf(data).isEmpty());
    EXPECT_EQ(data.firmware, "7") << "the generation of the connect's GS reply";
}

TEST_F(ReportCommandsTest, FromASnapshotFileAndItsFailures) {
    w.Fmain->SG_main->setCell(1, 2, "2310001");
    ui.answerNextFileName(file("vse.ZRD"));
    w.Fmain->TBXulozvse->trigger();
    ui.answerNextFileName(file("vse.ZRD"));
    ui.answerNextFileName(file("ze-souboru.pdf"));
    extras.reports->fileItem->trigger();
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(Head(file("ze-souboru.pdf")), "%PDF-");

    report::ReportData data;
    QString error;
    ASSERT_TRUE(report::FromSnapshotFile(file("vse.ZRD"), &data, &error));
    EXPECT_EQ(data.sections.size(), 8u) << "every table that Ulož vše wrote";
    EXPECT_EQ(data.sections[0].table.at(1, 2), "2310001");
    EXPECT_TRUE(data.installationClock.isEmpty());

    ui.answerNextFileName(file("chybi.ZRD"));
    extras.reports->fileItem->trigger();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("Cannot open file")) << ui.messages[0].toStdString();
}

} // namespace
