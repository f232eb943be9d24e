#include "sim/Faults.h"
#include "sim/Crc16.h"
#include "text/Numbers.h"
#include <QRegularExpression>
#include <array>
#include <utility>

namespace zra::sim {

namespace {
constexpr int OversizedByteCount = 250;

const std::array<std::pair<FaultKind, const char*>, 10> kKindNames = {{
    {FaultKind::Delay, "delay"},
    {FaultKind::Silence, "silence"},
    {FaultKind::Exception, "exception"},
    {FaultKind::Truncate, "truncate"},
    {FaultKind::BadCrc, "badcrc"},
    {FaultKind::Close, "close"},
    {FaultKind::OversizedByteCount, "oversized-count"},
    {FaultKind::OversizedManagement, "oversized-mgmt"},
    {FaultKind::WrongUnit, "wrong-unit"},
    {FaultKind::WrongFunction, "wrong-function"},
}};

quint8 otherFunction(quint8 function) {
    switch (function) {
    case 3:
        return 4;
    case 4:
        return 3;
    case 6:
        return 16;
    case 16:
        return 6;
    default:
        return static_cast<quint8>((function + 1) & 0x7F);
    }
}

QByteArray withNewCrc(QByteArray reply) {
    reply.chop(2);
    appendCrc(reply);
    return reply;
}

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

using text::ParseNumber;
} // namespace

bool isManagementKind(FaultKind kind) {
    return kind == FaultKind::Delay || kind == FaultKind::Silence || kind == FaultKind::Close ||
           kind == FaultKind::OversizedManagement;
}

void FaultList::add(const Fault& fault) {
    if (fault.times != 0)
        m_faults.append(fault);
}

std::optional<Fault> FaultList::take(qsizetype index) {
    Fault hit = m_faults[index];
    if (hit.times > 0 && --m_faults[index].times == 0)
        m_faults.removeAt(index);
    return hit;
}

std::optional<Fault> FaultList::takeModbus(quint8 function, quint16 first, quint16 last) {
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        const Fault& f = m_faults[i];
        if (f.management || f.kind == FaultKind::OversizedManagement)
            continue;
        if (f.function && *f.function != function)
            continue;
        if (last < f.firstRegister || first > f.lastRegister)
            continue;
        return take(i);
    }
    return std::nullopt;
}

std::optional<Fault> FaultList::takeManagement(const QByteArray& command) {
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        const Fault& f = m_faults[i];
        if (!(f.management || f.kind == FaultKind::OversizedManagement))
            continue;
        if (!f.managementCommand.isEmpty() && f.managementCommand != command)
            continue;
        return take(i);
    }
    return std::nullopt;
}

QByteArray reshapeModbusReply(const Fault& fault, const QByteArray& reply, quint8 unit,
                              quint8 function) {
    switch (fault.kind) {
    case FaultKind::Exception: {
        QByteArray out;
        out.append(static_cast<char>(unit));
        out.append(static_cast<char>(function | 0x80));
        out.append(static_cast<char>(fault.exceptionCode));
        appendCrc(out);
        return out;
    }
    case FaultKind::Truncate:
        return reply.left(qMax(0, fault.keepBytes));
    case FaultKind::BadCrc: {
        QByteArray out = reply;
        if (out.size() >= 2) {
            out[out.size() - 2] = static_cast<char>(~out[out.size() - 2]);
            out[out.size() - 1] = static_cast<char>(~out[out.size() - 1]);
        }
        return out;
    }
    case FaultKind::OversizedByteCount: {
        // The data of a read reply (between byte count and CRC), as far as there is any.
        QByteArray data = reply.size() > 5 ? reply.mid(3, reply.size() - 5) : QByteArray();
        data = data.left(OversizedByteCount);
        data.append(QByteArray(OversizedByteCount - data.size(), '\0'));
        QByteArray out;
        out.append(static_cast<char>(unit));
        out.append(static_cast<char>(function));
        out.append(static_cast<char>(OversizedByteCount));
        out.append(data);
        appendCrc(out);
        return out;
    }
    case FaultKind::WrongUnit: {
        QByteArray out = reply;
        out[0] = static_cast<char>(static_cast<quint8>(out[0]) + 1);
        return withNewCrc(out);
    }
    case FaultKind::WrongFunction: {
        QByteArray out = reply;
        const quint8 code = static_cast<quint8>(out[1]);
        out[1] = static_cast<char>((code & 0x80) | otherFunction(code & 0x7F));
        return withNewCrc(out);
    }
    default:
        return reply;
    }
}

QString faultKindName(FaultKind kind) {
    for (const auto& [k, name] : kKindNames) {
        if (k == kind)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<Fault> parseFaultSpec(const QString& spec, QString* error) {
    // KIND[=VALUE] followed by modifiers in any order: @TARGET, :FIRST[-LAST], *TIMES.
    static const QRegularExpression head(QStringLiteral("^([a-z-]+)(?:=(\\d+))?"));
    const QRegularExpressionMatch m = head.match(spec);
    if (!m.hasMatch()) {
        fail(error, QStringLiteral("fault '%1': expected a kind").arg(spec));
        return std::nullopt;
    }
    const QString kindName = m.captured(1);
    Fault fault;
    bool known = false;
    for (const auto& [k, name] : kKindNames) {
        if (kindName == QLatin1String(name)) {
            fault.kind = k;
            known = true;
        }
    }
    if (!known) {
        fail(error, QStringLiteral("fault '%1': unknown kind '%2'").arg(spec, kindName));
        return std::nullopt;
    }

    const QString value = m.captured(2);
    auto bad = [&](const QString& what) {
        fail(error, QStringLiteral("fault '%1': %2").arg(spec, what));
        return std::nullopt;
    };
    switch (fault.kind) {
    case FaultKind::Delay:
        if (value.isEmpty() || !ParseNumber(value, 0, 3600000, &fault.delayMs))
            return bad(QStringLiteral("delay needs =MILLISECONDS"));
        break;
    case FaultKind::Exception: {
        int code = fault.exceptionCode;
        if (!value.isEmpty() && !ParseNumber(value, 0, 255, &code))
            return bad(QStringLiteral("exception code must be 0..255"));
        fault.exceptionCode = static_cast<quint8>(code);
        break;
    }
    case FaultKind::Truncate:
        if (!value.isEmpty() && !ParseNumber(value, 0, 1000, &fault.keepBytes))
            return bad(QStringLiteral("truncate needs =BYTES of 0..1000"));
        break;
    default:
        if (!value.isEmpty())
            return bad(QStringLiteral("%1 takes no =VALUE").arg(kindName));
        break;
    }

    fault.management = fault.kind == FaultKind::OversizedManagement;
    bool hasRange = false;
    bool hasFunction = false;
    QString rest = spec.mid(m.capturedLength());
    static const QRegularExpression modifier(QStringLiteral("^([@:*])([^@:*]*)"));
    while (!rest.isEmpty()) {
        const QRegularExpressionMatch mm = modifier.match(rest);
        if (!mm.hasMatch())
            return bad(QStringLiteral("unexpected '%1'").arg(rest));
        const QChar sign = mm.captured(1).at(0);
        const QString arg = mm.captured(2);
        rest = rest.mid(mm.capturedLength());
        if (sign == u'@') {
            int function = 0;
            if (arg == QLatin1String("mgmt")) {
                fault.management = true;
            } else if (arg.size() == 2 && arg.at(0).isUpper() && arg.at(1).isUpper()) {
                fault.management = true;
                fault.managementCommand = arg.toLatin1();
            } else if (ParseNumber(arg, 1, 127, &function)) {
                fault.function = static_cast<quint8>(function);
                hasFunction = true;
            } else {
                return bad(QStringLiteral("target '%1' is neither a function code 1..127, mgmt, "
                                          "nor a command such as XR")
                               .arg(arg));
            }
        } else if (sign == u':') {
            const QStringList bounds = arg.split(u'-');
            int first = 0;
            int last = 0;
            if (bounds.size() > 2 || !ParseNumber(bounds[0], 0, 0xFFFF, &first) ||
                !ParseNumber(bounds.value(1, bounds[0]), 0, 0xFFFF, &last) || last < first)
                return bad(
                    QStringLiteral("register range '%1' is not FIRST or FIRST-LAST").arg(arg));
            fault.firstRegister = static_cast<quint16>(first);
            fault.lastRegister = static_cast<quint16>(last);
            hasRange = true;
        } else {
            if (!ParseNumber(arg, 1, 1000000, &fault.times))
                return bad(QStringLiteral("times '%1' must be a count of at least 1").arg(arg));
        }
    }
    if (fault.management) {
        if (!isManagementKind(fault.kind))
            return bad(QStringLiteral("%1 does not apply to management requests").arg(kindName));
        if (hasRange || hasFunction)
            return bad(QStringLiteral("management faults take no function or register range"));
    }
    return fault;
}

QString faultSpecHelp() {
    return QStringLiteral(
        "Fault SPEC: KIND[=VALUE] followed by any of @TARGET, :FIRST[-LAST], *TIMES\n"
        "  KIND   delay=MS         answer MS milliseconds late\n"
        "         silence          no answer\n"
        "         exception[=CODE] MODBUS exception reply (code 4 by default)\n"
        "         truncate[=N]     send only the first N bytes of the reply (3 by default)\n"
        "         badcrc           reply with a damaged CRC\n"
        "         close            close the connection instead of answering\n"
        "         oversized-count  read reply whose byte count claims 250\n"
        "         oversized-mgmt   management reply with a 200-byte payload\n"
        "         wrong-unit       reply for unit id + 1 (valid CRC)\n"
        "         wrong-function   reply under another function code (valid CRC)\n"
        "  @TARGET  a MODBUS function code (3, 4, 6, 16); or mgmt for every management\n"
        "           request, or XR, GS, IA for that one (delay, silence, close,\n"
        "           oversized-mgmt only). Without @mgmt/@XR.. a fault hits MODBUS requests.\n"
        "  :FIRST[-LAST]  only MODBUS requests whose registers overlap FIRST..LAST\n"
        "  *TIMES   hit only the first TIMES matching requests (default: every one)\n"
        "  Examples: delay=500@4:1980-1994*3   exception=2@3:1488   silence@XR*1\n"
        "            truncate=3*2   close@mgmt   oversized-mgmt@GS\n");
}

} // namespace zra::sim
