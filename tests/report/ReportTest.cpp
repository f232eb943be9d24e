// The commissioning report: wide tables split, the document's contents, the
// PDF, and the commands against the simulator and a snapshot file.
#include "app/Startup.h"
#include "config/TFkonfig.h"
#include "insight/Extras.h"
#include "link/RegisterData.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "report/CommissioningReport.h"
#include "report/ReportCommands.h"
#include "store/ToolFiles.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
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
    data.created = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 5));
    data.installationClock = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 42));
    data.clockReadAt = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0, 100));
    data.firmware = "5";
    SnapshotTable main(2, 3);
    main.set(0, 1, "Sériové číslo");
    main.set(1, 1, "2310001");
    main.set(0, 2, "Main rev. SW");
    main.set(1, 2, "<3.1>");
    data.sections.push_back({report::SectionTitle(store::ViewKind::Main), main, ""});
    data.sections.push_back(
        {report::SectionTitle(store::ViewKind::Alarm), SnapshotTable(4, 1), ""});
    data.sections.push_back({report::SectionTitle(store::ViewKind::Konfig), Table(3, 3),
                             report::FilterNote({1, 2, 3, 7, 9, 10})});
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
          "Hodiny PC: 09.12.2026 10:00:00", "Rozdíl: 42 s", "Systémové hodnoty",
          "Aktivní alarmy</h2><p>Bez záznamů.",
          "Konfigurace</h2><p><i>Použit filtr: jen proměnné 1–3, 7, 9–10 (počet 6); ostatní "
          "nebyly čteny.</i>",
          "Systémový příkaz: ON", "<thead>"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(text))) << text;

    // What could not be read is said, never passed off as nothing.
    data.installationClock = QDateTime();
    data.clockProblem = "Hodiny zařízení neudávají platné datum a čas (0.0.0 0:00:00)";
    data.writes.clear();
    data.writesError = "Soubor \"a.log\" nelze přečíst. Chyba";
    const QString failed = report::ReportHtml(data);
    EXPECT_TRUE(failed.contains(data.clockProblem));
    EXPECT_TRUE(failed.contains("Soubor &quot;a.log&quot; nelze přečíst. Chyba"));
    EXPECT_FALSE(failed.contains(QString::fromUtf8("Žádné zápisy.")));
}

TEST(CommissioningReport, ALongTableGoesOnOverPages) {
    report::ReportData data;
    data.created = QDateTime::currentDateTime();
    data.sections.push_back({"Konfigurace", Table(7, 501), ""});
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
    static QByteArray Content(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A report from a snapshot file over an earlier report at pdf, which
    // cannot be replaced: the reason is shown, the old report stays and no
    // preview opens.
    void expectOldReportKept(const QString& pdf, const std::function<void()>& breakIt) {
        ui.answerNextFileName(file("vse.ZRD"));
        w.Fmain->TBXulozvse->trigger();
        breakIt();
        ui.answerNextFileName(file("vse.ZRD"));
        ui.answerNextFileName(pdf);
        extras.reports->fileItem->trigger();
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_TRUE(ui.messages[0].startsWith("Soubor \"" + pdf + "\" nelze uložit. "))
            << ui.messages[0].toStdString();
        EXPECT_EQ(ui.dialogsShown, 0) << "no preview";
        EXPECT_EQ(Content(pdf), "%PDF- the old report");
    }
    QString oldReport(const char* name) {
        const QString pdf = file(name);
        QFile f(pdf);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("%PDF- the old report");
        return pdf;
    }
    RecordingUi ui;
    app::Windows w;
    insight::Extras extras{w};
    QTemporaryDir dir;
};

TEST_F(ReportCommandsTest, AFullDiskKeepsTheOldReport) {
    const QString pdf = oldReport("plny.pdf");
    expectOldReportKept(pdf,
                        [] { store::FailWriteAt = [](qint64 offset) { return offset == 2000; }; });
    store::FailWriteAt = nullptr;
}

TEST_F(ReportCommandsTest, AReadOnlyFileKeepsTheOldReport) {
    const QString pdf = oldReport("jen-cteni.pdf");
    const QString folder = dir.filePath("jen-cteni");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + "/protokol.pdf";
    ASSERT_TRUE(QFile::rename(pdf, target));
    QFile::setPermissions(target, QFileDevice::ReadOwner);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFile probe(target); probe.open(QIODevice::Append)) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        GTEST_SKIP() << "this user (root) writes read-only files; AFullDiskKeepsTheOldReport "
                        "covers a target that refuses the report";
    }
    expectOldReportKept(target, [] {});
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(ReportCommandsTest, FromTheInstallationTheReportSaysWhatItRead) {
    sim::Options o;
    o.frozen = true;
    auto simulator = StartSimulator(o);
    // The installation's clock: 24.12.2024 10:15:30.
    simulator->setInputRegister(2002, (30 << 8) | 15);
    simulator->setInputRegister(2003, (10 << 8) | 24);
    simulator->setInputRegister(2004, 12 << 8);
    simulator->setInputRegister(2005, 0x07E8);
    w.link.setAddress(simulator->address());
    w.link.ConnectCommand();
    // The pickers follow the PC meanwhile: a slow event log read lets them tick.
    w.Fmain->lsyn->setChecked(true);
    sim::Fault slow = DelayFault(1200, 1);
    slow.firstRegister = slow.lastRegister = 2160;
    simulator->addFault(slow);
    for (const int n : {1, 2, 3, 7})
        w.Fkonfig->filter.set(n, true);
    w.Fkonfig->TBXfiltr->trigger();
    ASSERT_TRUE(w.Fkonfig->TBXfiltr->isChecked());
    // An audit log that cannot be read.
    const QString audit = store::ToolFilePath(store::AuditLogFileName);
    ASSERT_TRUE(QDir().mkpath(audit));

    ui.answerNextFileName(file("protokol.pdf"));
    extras.reports->installationItem->trigger();
    const QString html = report::ReportHtml(extras.reports->collect());
    QDir(audit).removeRecursively();
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(ui.dialogsShown, 1) << "the preview";
    for (const char* text : {"Hodiny instalace: 24.12.2024 10:15:30", "Rozdíl: -",
                             "Použit filtr: jen proměnné 1–3, 7 (počet 4)", "nelze přečíst."})
        EXPECT_TRUE(html.contains(QString::fromUtf8(text))) << text;
    EXPECT_FALSE(html.contains(QString::fromUtf8("Žádné zápisy.")));
}

TEST_F(ReportCommandsTest, AReadThatEndsWithAnErrorEndsTheReport) {
    auto simulator = StartSimulator();
    w.link.setAddress(simulator->address());
    w.link.ConnectCommand();
    // A decoder that reads past its reply, in the middle of read-all.
    w.Fmain->readAllSteps.insert(1, {"Moduly", [] { throw link::ReplyOverrun(40, 40); }});
    ui.answerNextFileName(file("protokol.pdf"));
    extras.reports->installationItem->trigger();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(QString::fromUtf8("Chyba programu: dekódování")))
        << ui.messages[0].toStdString();
    EXPECT_EQ(ui.dialogsShown, 0) << "no preview";
    EXPECT_FALSE(QFile::exists(file("protokol.pdf")));
}

TEST_F(ReportCommandsTest, FromTheInstallationReadsEveryTableIntoAPdf) {
    sim::Options o;
    o.frozen = true;
    o.firmware = 7;
    auto simulator = StartSimulator(o);
    w.link.setAddress(simulator->address());
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
    EXPECT_FALSE(data.installationClock.isValid());

    ui.answerNextFileName(file("chybi.ZRD"));
    extras.reports->fileItem->trigger();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("Cannot open file")) << ui.messages[0].toStdString();
}

} // namespace
