#pragma once
#include <QString>
#include <QStringList>

namespace zra::link {

// An IPv4 address as the address field accepts it: split at the first three
// points into four parts, each a decimal number from 0 to 255.
bool IsValidIpv4Text(const QString& text);

// What the address field does with a newly typed text.
struct AddressDecision {
    bool accepted = false; // false: "Špatná IP adresa", the field keeps its text
    QStringList list;      // the drop-down list afterwards
    int selected = -1;     // the selected entry afterwards (-1: none)
};

// Acceptance of newText in the field that shows currentText, with the given
// list and selected entry: an empty text removes the selected entry, a valid
// address is appended to the list when it is not there yet.
AddressDecision AcceptAddressText(const QStringList& list, int selected, const QString& currentText,
                                  const QString& newText);

} // namespace zra::link
