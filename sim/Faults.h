#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace zra::sim {

enum class FaultKind {
    Delay,               // the normal answer, sent delayMs later
    Silence,             // no answer at all
    Exception,           // unit, function | 0x80, exceptionCode, CRC
    Truncate,            // only the first keepBytes bytes of the answer
    BadCrc,              // the normal answer with its CRC damaged
    Close,               // the connection is closed instead of answering
    OversizedByteCount,  // a read answer whose byte count claims 250, and 250 data bytes
    OversizedManagement, // a management answer carrying a 200-byte payload
    WrongUnit,           // the normal answer for unit id + 1, valid CRC
    WrongFunction,       // the normal answer under another function code, valid CRC
};

struct Fault {
    FaultKind kind = FaultKind::Delay;
    int delayMs = 0;
    quint8 exceptionCode = 4;
    int keepBytes = 3;
    std::optional<quint8> function{}; // MODBUS: only requests of this function (nullopt: any)
    quint16 firstRegister = 0;        // MODBUS: only requests whose register range overlaps
    quint16 lastRegister = 0xFFFF;    //   [firstRegister, lastRegister]
    int times = -1;                   // matching requests it hits; -1: every one
    bool management = false;          // applies to management requests instead of MODBUS ones
    QByteArray managementCommand{}; // management: only this command ("XR", "GS", "IA"); empty: any
};

// True for the kinds that make sense on the management channel.
bool isManagementKind(FaultKind kind);

// The faults in force, in the order they were added. A request is hit by the first fault that
// matches it and still has hits left; that fault's count goes down by one.
class FaultList {
public:
    void add(const Fault& fault);
    void clear() { m_faults.clear(); }
    bool isEmpty() const { return m_faults.isEmpty(); }
    std::optional<Fault> takeModbus(quint8 function, quint16 first, quint16 last);
    std::optional<Fault> takeManagement(const QByteArray& command);

private:
    std::optional<Fault> take(qsizetype index);
    QList<Fault> m_faults;
};

// The MODBUS answer that a fault of a reshaping kind (Exception, Truncate, BadCrc,
// OversizedByteCount, WrongUnit, WrongFunction) sends in place of the normal reply to a request of
// that unit and function. Other kinds leave the reply unchanged.
QByteArray reshapeModbusReply(const Fault& fault, const QByteArray& reply, quint8 unit,
                              quint8 function);

// Fault descriptions of the command line, e.g. "delay=500@4:1980-1994*3"; see faultSpecHelp().
std::optional<Fault> parseFaultSpec(const QString& spec, QString* error = nullptr);
QString faultSpecHelp();
// The name of a kind as the command line writes it.
QString faultKindName(FaultKind kind);

} // namespace zra::sim
