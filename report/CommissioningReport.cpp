#include "report/CommissioningReport.h"

#include "reads/ViewTable.h"
#include "store/ToolFiles.h"
#include "text/CellText.h"
#include "ui/TextGrid.h"

#include <QBuffer>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <map>

namespace zra::report {

using store::ViewKind;

QString SectionTitle(ViewKind kind) {
    const reads::TableView* view = reads::FindView(kind);
    return view ? view->reportTitle : QString();
}

QList<QPair<QString, QString>> IdentityOf(const ReportData& data) {
    QList<QPair<QString, QString>> lines;
    for (const ReportSection& s : data.sections) {
        if (s.title != SectionTitle(ViewKind::Main))
            continue;
        for (int r = 1; r < s.table.rows; ++r) {
            const QString title = s.table.at(0, r);
            if (title == QStringLiteral("Sériové číslo") ||
                title == QLatin1String("Main rev. SW") || title == QLatin1String("Sub rev. SW"))
                lines << qMakePair(title, s.table.at(1, r));
        }
    }
    if (!data.firmware.isEmpty())
        lines << qMakePair(QStringLiteral("Generace firmwaru"), data.firmware);
    return lines;
}

QString NumberRanges(const QList<int>& numbers) {
    QStringList parts;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        parts << (j == i ? QString::number(numbers[i])
                         : QStringLiteral("%1–%2").arg(numbers[i]).arg(numbers[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QString FilterNote(const QList<int>& numbers) {
    return QStringLiteral("Použit filtr: jen proměnné %1 (počet %2); ostatní nebyly čteny.")
        .arg(NumberRanges(numbers))
        .arg(numbers.size());
}

std::vector<store::SnapshotTable> SplitColumns(const store::SnapshotTable& table, int maxColumns) {
    const int data = table.columns - 1;
    if (data <= maxColumns || maxColumns < 1)
        return {table};
    std::vector<store::SnapshotTable> parts;
    for (int first = 1; first <= data; first += maxColumns) {
        const int count = std::min(maxColumns, data - first + 1);
        store::SnapshotTable part(count + 1, table.rows);
        for (int r = 0; r < table.rows; ++r) {
            part.set(0, r, table.at(0, r));
            for (int c = 0; c < count; ++c)
                part.set(c + 1, r, table.at(first + c, r));
        }
        parts.push_back(part);
    }
    return parts;
}

namespace {

QString Cell(const QString& text) {
    return text::DisplayText(text).toHtmlEscaped();
}

void AppendTable(QString& html, const store::SnapshotTable& t) {
    html +=
        QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\">");
    for (int r = 0; r < t.rows; ++r) {
        // The title row is the table's header: repeated on every page.
        if (r == 0)
            html += QStringLiteral("<thead>");
        html += QStringLiteral("<tr>");
        for (int c = 0; c < t.columns; ++c) {
            const bool title = r == 0 || c == 0;
            html += title ? QStringLiteral("<th bgcolor=\"#e8e8e8\" align=\"left\">")
                          : QStringLiteral("<td>");
            html += Cell(t.at(c, r));
            html += title ? QStringLiteral("</th>") : QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>");
        if (r == 0)
            html += QStringLiteral("</thead>");
    }
    html += QStringLiteral("</table>");
}

} // namespace

QString ReportHtml(const ReportData& data) {
    QString html = QStringLiteral("<html><body style=\"font-size:8pt\">");
    html += QStringLiteral("<h1>Protokol o uvedení do provozu</h1>");
    html += QStringLiteral("<p>Zdroj: %1<br>Vytvořeno: %2</p>")
                .arg(data.source.toHtmlEscaped(),
                     data.created.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));

    html += QStringLiteral("<h2>Identita</h2><table cellpadding=\"2\">");
    for (const auto& [title, value] : IdentityOf(data))
        html +=
            QStringLiteral("<tr><td>%1</td><td><b>%2</b></td></tr>").arg(Cell(title), Cell(value));
    html += QStringLiteral("</table>");

    html += QStringLiteral("<h2>Hodiny</h2><p>");
    if (data.installationClock.isValid()) {
        const QString format = QStringLiteral("dd.MM.yyyy HH:mm:ss");
        html += QStringLiteral("Hodiny instalace: %1<br>Hodiny PC: %2<br>Rozdíl: %3 s")
                    .arg(data.installationClock.toString(format), data.clockReadAt.toString(format))
                    .arg(qRound64(double(data.clockReadAt.msecsTo(data.installationClock)) / 1000));
    } else if (!data.clockProblem.isEmpty()) {
        html += data.clockProblem.toHtmlEscaped();
    } else {
        html += QStringLiteral("Hodiny instalace nebyly přečteny.");
    }
    html += QStringLiteral("</p>");

    for (const ReportSection& s : data.sections) {
        html += QStringLiteral("<h2>%1</h2>").arg(s.title.toHtmlEscaped());
        if (!s.note.isEmpty())
            html += QStringLiteral("<p><i>%1</i></p>").arg(s.note.toHtmlEscaped());
        if (s.table.rows <= 1) {
            html += QStringLiteral("<p>Bez záznamů.</p>");
            continue;
        }
        const auto parts = SplitColumns(s.table, PrintedColumns);
        for (size_t i = 0; i < parts.size(); ++i) {
            if (parts.size() > 1)
                html += QStringLiteral("<p><i>Část %1 z %2</i></p>").arg(i + 1).arg(parts.size());
            AppendTable(html, parts[i]);
        }
    }

    html += QStringLiteral("<h2>Zápisy do instalace</h2>");
    if (!data.writesError.isEmpty()) {
        html += QStringLiteral("<p>%1</p>").arg(data.writesError.toHtmlEscaped());
    } else if (data.writes.isEmpty()) {
        html += QStringLiteral("<p>Žádné zápisy.</p>");
    } else {
        store::SnapshotTable w(5, int(data.writes.size()) + 1);
        const QStringList titles = {QStringLiteral("Čas"), QStringLiteral("Registr"),
                                    QStringLiteral("Hodnoty"), QStringLiteral("Popis"),
                                    QStringLiteral("Výsledek")};
        for (int c = 0; c < titles.size(); ++c)
            w.set(c, 0, titles[c]);
        for (int i = 0; i < data.writes.size(); ++i) {
            const store::AuditEntry& e = data.writes[i];
            QStringList values;
            for (const quint16 v : e.values)
                values << QString::number(v);
            w.set(0, i + 1, e.time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
            w.set(1, i + 1, QString::number(e.registerAddress));
            w.set(2, i + 1, values.join(QLatin1Char(' ')));
            w.set(3, i + 1, e.description);
            w.set(4, i + 1, e.outcome);
        }
        AppendTable(html, w);
    }
    html += QStringLiteral("</body></html>");
    return html;
}

bool WritePdf(const QString& path, const ReportData& data, QString* error) {
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        writer.setTitle(QStringLiteral("Protokol o uvedení do provozu"));
        QTextDocument doc;
        doc.setHtml(ReportHtml(data));
        doc.print(&writer);
    } // the document is ended here
    QString reason;
    // A painter that could not begin or end leaves no complete PDF behind.
    if (!pdf.startsWith("%PDF-") || !pdf.trimmed().endsWith("%%EOF"))
        reason = QStringLiteral("Dokument PDF se nepodařilo vytvořit.");
    else if (store::WriteWholeFile(path, pdf, &reason))
        return true;
    *error = QStringLiteral("Soubor \"%1\" nelze uložit. %2").arg(path, reason);
    return false;
}

bool FromSnapshotFile(const QString& path, ReportData* data, QString* error) {
    std::map<ViewKind, store::SnapshotTable> last;
    const bool loaded = store::LoadLastSnapshots(
        path, 0, [](ViewKind, double) {},
        [&](ViewKind kind, double, const store::SnapshotTable& t) { last[kind] = t; }, error);
    if (!loaded)
        return false;
    data->source = QStringLiteral("Soubor „%1“").arg(QFileInfo(path).fileName());
    data->created = QDateTime::currentDateTime();
    data->sections.clear();
    for (const reads::TableView* view : reads::ReportOrder())
        if (const auto it = last.find(view->kind); it != last.end())
            data->sections.push_back({view->reportTitle, it->second, QString()});
    return true;
}

} // namespace zra::report
