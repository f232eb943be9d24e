#include "link/Ipv4Text.h"

namespace zra::link {

namespace {
bool isByteNumber(const QString& part) {
    if (part.isEmpty() || part.size() > 3)
        return false;
    for (QChar c : part)
        if (c < u'0' || c > u'9')
            return false;
    return part.toInt() <= 255;
}
} // namespace

bool IsValidIpv4Text(const QString& text) {
    // The fourth part is whatever follows the third point, so "1.2.3.4.5" has
    // "4.5" as its last part and is refused.
    QStringList parts;
    int start = 0;
    for (int i = 0; i < 3; ++i) {
        const int dot = text.indexOf(u'.', start);
        if (dot < 0)
            return false;
        parts << text.mid(start, dot - start);
        start = dot + 1;
    }
    parts << text.mid(start);
    for (const QString& p : parts)
        if (!isByteNumber(p))
            return false;
    return true;
}

AddressDecision AcceptAddressText(const QStringList& list, int selected, const QString& currentText,
                                  const QString& newText) {
    AddressDecision d;
    d.list = list;
    d.selected = selected;
    if (newText.isEmpty() && !currentText.isEmpty()) {
        if (!d.list.isEmpty() && selected >= 0 && selected < d.list.size())
            d.list.removeAt(selected);
        d.selected = -1;
        d.accepted = true;
        return d;
    }
    if (newText.isEmpty()) {
        d.accepted = true;
        return d;
    }
    if (!IsValidIpv4Text(newText))
        return d;
    d.selected = d.list.indexOf(newText);
    if (d.selected < 0) {
        d.list << newText;
        d.selected = d.list.size() - 1;
    }
    d.accepted = true;
    return d;
}

} // namespace zra::link
