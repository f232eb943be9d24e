#pragma once
#include "reads/ViewTable.h"

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace zra::exporter {

enum class MetricType { Gauge, Counter };

// One metric family of the exposition: its name, HELP text and TYPE.
struct Family {
    QByteArray name;
    QByteArray help;
    MetricType type;
};
// Every family, in the order the exposition writes them.
const std::vector<Family>& Families();
// A family's index in Families(); -1 for a name that is none.
int FamilyIndex(const QByteArray& name);

using Labels = std::vector<std::pair<QByteArray, QString>>;

// A label value as the text format writes it: backslash, double quote and
// line feed escaped; and a HELP text (backslash and line feed).
QString EscapeLabelValue(const QString& value);
QByteArray EscapeHelp(const QByteArray& help);
// A sample's value: the shortest text that reads back as the same double,
// NaN, +Inf or -Inf.
QByteArray ValueText(double value);

// One installation's samples, kept apart by family, so that the exposition
// writes each family's samples of every installation under one HELP and TYPE.
class FamilyLines {
public:
    FamilyLines();
    void add(int family, const Labels& labels, double value);
    const QByteArray& lines(int family) const { return m_lines[std::size_t(family)]; }
    int sampleCount() const { return m_samples; }

private:
    std::vector<QByteArray> m_lines;
    int m_samples = 0;
};

// The metrics of a round's tables (the views' reads into snapshot tables):
// every mapped row of the system, modules, phases and group tables whose
// cell reads as a number, the active alarms, the identity and the modules'
// status texts; base holds the installation's labels.
void AddTableMetrics(const reads::ReadTables& tables, const Labels& base, FamilyLines& out);

// The row of a table that a metric comes from, for the names' checks.
struct RowSource {
    store::ViewKind view;
    QString rowTitle;
    QByteArray family;
};
std::vector<RowSource> RowSources();

// The exposition of every installation's lines, families in order; a family
// without a sample is left out.
QByteArray Exposition(const std::vector<const FamilyLines*>& installations);

} // namespace zra::exporter
