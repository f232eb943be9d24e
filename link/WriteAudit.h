#pragma once
#include "link/ModbusFrame.h"
#include "store/AuditLog.h"

#include <QObject>

namespace zra::link {

class DeviceLink;

// Appends every write the link sends to the audit log file in two lines: one
// before its request goes out (outcome store::AuditSentOutcome) and one with
// its outcome as soon as the exchange knows it (before a failure's message),
// each on the disk before the link goes on; and the verdicts of the
// configuration's commit and cancel. The access password is never recorded. A file that
// cannot be written is reported once per run (over the window of the running
// command); the writes go on as before.
class WriteAudit : public QObject {
    Q_OBJECT
public:
    // Records the link's writes into the tool's audit log file.
    explicit WriteAudit(DeviceLink& link);

    // The file the entries go to (a test points it elsewhere).
    store::AuditLog log;

    // A write about to go out.
    void recordSending(const ModbusRequest& request);
    // How the exchange of a write ended (WriteSucceeded or the failure's text):
    // the outcome line of the write recordSending announced, else an entry of
    // its own.
    void recordWrite(const ModbusRequest& request, const QString& outcome);
    // The key of the write that went out and has no outcome yet; empty while none.
    const QString& keyInFlight() const { return m_inFlight; }
    // How a commit (true) or a cancel (false) of the configuration changes
    // ended, in the words the engineer was shown.
    void recordConfigVerdict(bool commit, const QString& verdict);

signals:
    // An entry is on the disk.
    void recorded(const zra::store::AuditEntry& entry);

private:
    store::AuditEntry entryOf(const ModbusRequest& request, const QString& outcome) const;
    void append(const store::AuditEntry& entry);

    DeviceLink& m_link;
    bool m_warned = false;
    // Keys are this run's tag and a count: unique across runs and copies of
    // the tool that share the file.
    QString m_runTag;
    quint64 m_writes = 0;
    QString m_inFlight;
};

} // namespace zra::link
