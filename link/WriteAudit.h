#pragma once
#include "link/ModbusFrame.h"
#include "store/AuditLog.h"

#include <QObject>

namespace zra::link {

class DeviceLink;

// Appends every write the link sends, with its outcome, to the audit log
// file, as soon as its exchange ends, and the verdicts of the configuration's
// commit and cancel. The access password is never recorded. A file that
// cannot be written is reported once per run (over the window of the running
// command); the writes go on as before.
class WriteAudit : public QObject {
    Q_OBJECT
public:
    // Records the link's writes into the tool's audit log file.
    explicit WriteAudit(DeviceLink& link);

    // The file the entries go to (a test points it elsewhere).
    store::AuditLog log;

    // One write and how its exchange ended (WriteSucceeded or the failure's text).
    void recordWrite(const ModbusRequest& request, const QString& outcome);
    // How a commit (true) or a cancel (false) of the configuration changes
    // ended, in the words the engineer was shown.
    void recordConfigVerdict(bool commit, const QString& verdict);

signals:
    // An entry is on the disk.
    void recorded(const zra::store::AuditEntry& entry);

private:
    void append(const store::AuditEntry& entry);

    DeviceLink& m_link;
    bool m_warned = false;
};

} // namespace zra::link
