#include "link/WriteAudit.h"

#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "link/WriteDescription.h"
#include "ui/UiServices.h"

namespace zra::link {

WriteAudit::WriteAudit(DeviceLink& link) : m_link(link) {
    connect(&link, &DeviceLink::writeExchanged, this, &WriteAudit::recordWrite);
}

void WriteAudit::recordWrite(const ModbusRequest& request, const QString& outcome) {
    const WriteRecord record = RecordOfWrite(request, m_link.passwordText());
    store::AuditEntry e;
    e.time = QDateTime::currentDateTime();
    e.address = m_link.hostText();
    e.unitId = request.unitId;
    e.function = request.function;
    e.registerAddress = request.address;
    e.values = record.values;
    e.description = record.description;
    e.outcome = outcome;
    append(e);
}

void WriteAudit::recordConfigVerdict(bool commit, const QString& verdict) {
    store::AuditEntry e;
    e.time = QDateTime::currentDateTime();
    e.address = m_link.hostText();
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
    ui::ShowWarning(ui::CommandWindow(), error);
}

} // namespace zra::link
