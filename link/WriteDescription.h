#pragma once
#include "link/ModbusFrame.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zra::link {

// True when a write (function 6 or 16) reaches any of the access-password
// registers.
bool WritesPasswordRegisters(const ModbusRequest& request);

// The registers a write carries: function 6 its value, function 16 the data
// bytes of its tail (as many as the byte count names and the tail holds),
// high byte first.
QList<quint16> WrittenValues(const ModbusRequest& request);

// A write in Czech words, from the register map: "Systémový příkaz: ON",
// "Nastavení hodin 09.12.2026 10:11:12", "Proměnná 12: surová hodnota 540",
// "Potvrzení změn konfigurace", "Modul 3: příkaz OFF", "Heslo přístupu
// (skryto)", else "Zápis do registru N".
QString DescribeWrite(const ModbusRequest& request);

// What the audit log keeps of a write: the values and the description, with
// the access password hidden. The password registers' values are never kept,
// nor the data of a function 16 that carries the access password text (the
// console sends its "Heslo" text as function 16 data to any register).
struct WriteRecord {
    QList<quint16> values;
    QString description;
    bool operator==(const WriteRecord&) const = default;
};
WriteRecord RecordOfWrite(const ModbusRequest& request, const QByteArray& accessPassword);

// The request trace line of a write whose values RecordOfWrite leaves out
// ("->" and "0xHH " per byte), with those values and the CRC shown as "0x** ":
// function 6 its value, function 16 its data (the byte count stays). Empty
// for every other line.
QString HidePasswordInTrace(const QString& line, const QByteArray& accessPassword);

} // namespace zra::link
