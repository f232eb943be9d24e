#include "link/AlarmTexts.h"

#include "link/DeviceClient.h"
#include "text/Cp1250.h"

namespace zra::link {

QString AlarmSourceText(int source) {
    if (source == 0)
        return QStringLiteral("K3D");
    if (source >= 1 && source <= 32)
        return QStringLiteral("Mod.%1").arg(source);
    if (source == 33)
        return QStringLiteral("SYSTEM");
    return QString::number(source);
}

QString AlarmLevelText(int level) {
    switch (level) {
    case 0:
        return QStringLiteral("NO_ALARM");
    case 1:
        return QStringLiteral("MINOR");
    case 2:
        return QStringLiteral("MAJOR");
    default:
        return QString::number(level);
    }
}

QString DescriptionText(const RegisterData& bytes) {
    const QByteArray all = bytes.bytes(0, 2 * reg::DescriptionRegisters);
    const qsizetype zero = all.indexOf('\0');
    return text::FromCp1250(zero < 0 ? all : all.left(zero));
}

std::optional<QString> AlarmDescriptions::describeAlarm(int code) {
    if (has(code))
        return text(code);
    // A code beyond the description registers has no text to ask for.
    const auto address = reg::DescriptionAddress(code);
    if (!address)
        return QString();
    const auto data = m_client.readInput(*address, reg::DescriptionRegisters);
    if (!data)
        return std::nullopt;
    const QString description = DescriptionText(*data);
    store(code, description);
    return description;
}

void AlarmDescriptions::store(int code, const QString& text) {
    if (code < 0 || code >= Size)
        return;
    m_texts[code] = text;
    m_known[code] = true;
}

void AlarmDescriptions::clear() {
    m_texts.fill(QString());
    m_known.fill(false);
}

} // namespace zra::link
