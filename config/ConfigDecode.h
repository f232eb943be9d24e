#pragma once
#include "link/RegisterData.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zra::config {

// The columns of the configuration table.
enum Column {
    NumberColumn = 0,   // "#"
    NameColumn = 1,     // "Popis"
    ValueColumn = 2,    // "Hodnota"
    ValidityColumn = 3, // "Platnost"
    IdColumn = 4,       // "ID"
    UnitColumn = 5,     // "Jednotka"
    PreviousColumn = 6, // "P. hodnota": the value before the first change
    StateColumn = 7,    // "stav": ChangeState
    UnusedColumn = 8,
    MultiplierColumn = 9, // "desm": 10^decimals
    ConfigColumns = 10,
};

// What happened to a row's value since the read.
enum ChangeState {
    Unchanged = 0,
    Differs = 1,
    Accepted = 2,
    Rejected = 3,
    Pending = 10,
    IdMismatch = 100,
};

// Texts of a validity code ("***" for codes outside 0 to 6) and of a unit code
// (codes without a text of their own give an empty text).
QString ValidityText(int code);
QString UnitText(int code);

// One variable's record as the installation reports it.
struct ConfigVariable {
    int number = 0;
    int raw = 0; // signed
    int validity = 0;
    int id = 0;
    int decimals = 0;
    int unit = 0;
    QString name; // all 32 bytes, one character each
};

// Variable n from the reply data of its record (20 registers, or 21 with the
// first register of the next variable). Nothing when the name begins with 0xFF:
// the variable does not exist.
std::optional<ConfigVariable> DecodeVariable(int number, const link::RegisterData& data);
// True when a 21-register reply announces that the next variable is absent
// too: the last name byte and the high byte of the 21st register are 0xFF.
bool AnnouncesAbsentNext(const link::RegisterData& data);
// The ten cells of a variable's row: columns 6 and 7 empty.
QStringList VariableRow(const ConfigVariable& variable);

// The value text: the raw value when there are no decimals, else raw / 10^d
// with two decimals and the locale's separator.
QString ValueText(qint64 raw, int decimals);
// The multiplier text of column 9 ("1", "10", ...) and back: the decimals that
// a multiplier text stands for, nothing for a text that is not 1 followed by
// zeros.
QString MultiplierText(int decimals);
std::optional<int> DecimalsOfMultiplier(const QString& text);

// value x 10^decimals, computed on the decimal digits of the text (never
// through binary floating point), any further fraction dropped toward zero.
// An empty text is 0; '.' and ',' both separate the fraction. Nothing for a
// text that is not a decimal number or whose raw value exceeds 64 bits.
std::optional<qint64> RawValue(const QString& text, int decimals);
// The raw values a 16-bit register can take as a signed or unsigned number.
inline constexpr qint64 LowestRaw = -32768;
inline constexpr qint64 HighestRaw = 65535;
inline bool RawFits(qint64 raw) {
    return raw >= LowestRaw && raw <= HighestRaw;
}
// The values that fit a register with these decimals, as a message says it:
// "-3276,8 až 6553,5".
QString AllowedRangeText(int decimals);

} // namespace zra::config
