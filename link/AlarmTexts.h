#pragma once
#include "link/RegisterData.h"

#include <QString>
#include <array>
#include <optional>

namespace zra::link {

class DeviceClient;

// Column texts of an alarm or an event, shared by the alarm table and the
// event log: source and level. Values without a name of their own are shown
// as their number.
QString AlarmSourceText(int source);
QString AlarmLevelText(int level);
// The 16 description bytes as text: one Windows-1250 character per byte, up to
// the first zero byte (zero bytes only pad; blanks stay).
QString DescriptionText(const RegisterData& bytes);
// "code description".
inline QString AlarmCellText(int code, const QString& description) {
    return QString::number(code) + QLatin1Char(' ') + description;
}

// The alarm description cache: one text per code 0 to 300, each fetched from
// the installation the first time it is needed and kept for the whole run,
// across disconnects. Shared by the main window's alarm table and the event log.
class AlarmDescriptions {
public:
    static constexpr int Size = 301;

    explicit AlarmDescriptions(DeviceClient& client) : m_client(client) {}

    // The description of an alarm code, fetched when not known yet; codes
    // above 300 have no place in the cache and are fetched each time; a code
    // beyond the description registers gets an empty text without a request.
    // Nothing when the exchange failed ("Chyba v komunikaci" has been shown).
    std::optional<QString> describeAlarm(int code);

    bool has(int code) const { return code >= 0 && code < Size && m_known[code]; }
    QString text(int code) const { return has(code) ? m_texts[code] : QString(); }
    // Codes above 300 are not kept.
    void store(int code, const QString& text);
    void clear();

private:
    DeviceClient& m_client;
    std::array<QString, Size> m_texts;
    std::array<bool, Size> m_known{};
};

} // namespace zra::link
