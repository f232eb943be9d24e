#include "link/WriteAudit.h"

#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "link/Reporter.h"
#include "link/WriteDescription.h"

#include <QRandomGenerator>
#include <utility>

namespace zra::link {

WriteAudit::WriteAudit(DeviceLink& link)
    : m_link(link), m_runTag(QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16,
                                                      QLatin1Char('0'))) {
    connect(&link, &DeviceLink::writeSending, this, &WriteAudit::recordSending);
    connect(&link, &DeviceLink::writeExchanged, this, &WriteAudit::recordWrite);
}

void WriteAudit::recordSending(const ModbusRequest& request) {
    store::AuditEntry e = entryOf(request, store::AuditSentOutcome);
    m_inFlight = e.key = QStringLiteral("%1-%2").arg(m_runTag).arg(++m_writes);
    append(e);
}

void WriteAudit::recordWrite(const ModbusRequest& request, const QString& outcome) {
    store::AuditEntry e = entryOf(request, outcome);
    e.key = std::exchange(m_inFlight, QString());
    append(e);
}

store::AuditEntry WriteAudit::entryOf(const ModbusRequest& request, const QString& outcome) const {
    const WriteRecord record = RecordOfWrite(request, m_link.passwordText());
    store::AuditEntry e;
    e.time = QDateTime::currentDateTime();
    e.address = m_link.address();
    e.unitId = request.unitId;
    e.function = request.function;
    e.registerAddress = request.address;
    e.values = record.values;
    e.description = record.description;
    e.outcome = outcome;
    return e;
}

void WriteAudit::recordConfigVerdict(bool commit, const QString& verdict) {
    store::AuditEntry e;
    e.time = QDateTime::currentDateTime();
    e.address = m_link.address();
    e.unitId = m_link.unitId();
    e.function = 0; // no exchange of its own
    e.registerAddress = reg::ConfigControlRegister;
    e.description = commit ? QStringLiteral("Výsledek potvrzení změn")
                           : QStringLiteral("Výsledek zrušení změn");
    e.outcome = verdict;
    append(e);
}

void WriteAudit::append(const store::AuditEntry& entry) {
    QString error;
    if (log.append(entry, &error)) {
        emit recorded(entry);
        return;
    }
    // Once per run: the engineer knows, and every later write goes on
    // without a message.
    if (m_warned)
        return;
    m_warned = true;
    Report().warning(error);
}

} // namespace zra::link
