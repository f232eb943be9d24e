#include "config/ConfigReads.h"

#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/RegisterMap.h"

namespace zra::config {

const QStringList& ConfigColumnTitles() {
    static const QStringList titles = {
        QStringLiteral("#"),          QStringLiteral("Popis"), QStringLiteral("Hodnota"),
        QStringLiteral("Platnost"),   QStringLiteral("ID"),    QStringLiteral("Jednotka"),
        QStringLiteral("P. hodnota"), QStringLiteral("stav"),  QString(),
        QStringLiteral("desm")};
    return titles;
}

const QString& UnsavedChangesText() {
    static const QString text =
        QStringLiteral("Konfig byl změněn, ale změny nebyly uloženy. Proveďte <Zruš změny> nebo "
                       "<Prověď změny>, jinak výpis nemusí být pravdivý");
    return text;
}

bool ConfigSaved(link::DeviceClient& client, const std::function<void(const QString&)>& warn) {
    const auto data = client.readHolding(reg::ConfigControlRegister, 1);
    if (!data)
        return false;
    if (data->byte(0) == reg::ConfigSaved)
        return true;
    warn(UnsavedChangesText());
    return false;
}

bool ReadVariables(link::DeviceClient& client, const std::function<bool(int n)>& wanted,
                   const std::function<void(int n)>& read,
                   const std::function<void(const ConfigVariable& variable)>& decoded) {
    bool skipNext = false;
    for (int n = 1; n <= reg::ConfigVariables; ++n) {
        if (!wanted(n)) {
            skipNext = false;
            continue;
        }
        if (skipNext) {
            skipNext = false;
            emit client.link().trace(QStringLiteral("Vynechat %1").arg(n));
            continue;
        }
        // 21 registers: the last is the first of the next variable's record.
        const int quantity = reg::ConfigVariableRecord.size + (n < reg::ConfigVariables ? 1 : 0);
        const auto data =
            client.readInput(reg::ConfigVariableRecord.address(n), std::uint16_t(quantity));
        if (!data)
            return false;
        read(n);
        if (n < reg::ConfigVariables && AnnouncesAbsentNext(*data))
            skipNext = true;
        if (const auto variable = DecodeVariable(n, *data))
            decoded(*variable);
    }
    return true;
}

} // namespace zra::config
