#pragma once
#include "link/RegisterData.h"
#include "link/RegisterMap.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace zra::link {

class DeviceLink;
struct ModbusRequest;

// How every window talks to the installation: sized reads, writes with or
// without the access-password write first, the login gate and the report of a
// failed exchange. Widget-free; its messages appear over the window of the
// running command. After a failure the link has shown the error's own text and
// entered the disconnected state; the client then shows "Chyba v komunikaci".
// ExchangeFailed is sticky until the next connect, so every operation after a
// failure reports failure too.
class DeviceClient {
public:
    // Whether a write is preceded by WriteModbusPassword (commands, the clock,
    // module actions, commit and cancel are; single configuration values not).
    enum class Password { None, First };
    // Whether a failed write is followed by "Chyba v komunikaci" or reported by
    // the link's own text alone (the system commands).
    enum class Report { CommunicationError, TransportOnly };

    // The message after a failed exchange.
    static inline const QString CommunicationErrorText = QStringLiteral("Chyba v komunikaci");

    explicit DeviceClient(DeviceLink& link);

    DeviceLink& link() { return m_link; }

    // The login prompt of write commands, installed by start-up.
    std::function<void()> promptLogin = [] {};
    // The login gate: prompts when LoginGranted is clear; true when it is set
    // afterwards (the operation then ends silently on false).
    bool ensureLogin();

    // The login exchange of the login dialog and of zra-cli: both texts in
    // Windows-1250, the management channel closed after the reply; a granted
    // login sets LoginGranted. Failed: the exchange failed, and the link has
    // said why. A failed send (LinkError) is thrown.
    enum class Login { Granted, Refused, Failed };
    // What the engineer is told of a refused login.
    static inline const QString LoginRefusedText = QStringLiteral("Jméno nebo heslo je špatné");
    Login login(const QString& user, const QString& password);

    // Reads quantity registers from address with function 3 or 4. The reply
    // data holds exactly 2 x quantity bytes. Nothing after a failure.
    std::optional<RegisterData> read(std::uint8_t function, std::uint16_t address,
                                     std::uint16_t quantity);
    std::optional<RegisterData> readInput(std::uint16_t address, std::uint16_t quantity) {
        return read(reg::ReadInput, address, quantity);
    }
    std::optional<RegisterData> readHolding(std::uint16_t address, std::uint16_t quantity) {
        return read(reg::ReadHolding, address, quantity);
    }
    // A count byte: its register read alone, the byte it names.
    std::optional<int> readCount(reg::CountByte count);

    // Function 6: one value into one holding register.
    bool writeSingle(std::uint16_t address, std::uint16_t value, Password password,
                     Report report = Report::CommunicationError);
    // Function 16: data bytes (an even number, at most 20: ten registers, each
    // high byte first) into the holding registers from address.
    bool writeMultiple(std::uint16_t address, std::span<const std::uint8_t> data,
                       Password password);
    // A request as it stands (the raw console: any function, function 16's
    // tail as given), then the failure report.
    bool send(const ModbusRequest& request);

    // "Chyba v komunikaci" when ExchangeFailed is set; true when it is clear.
    bool reportFailure();

private:
    bool passwordWrite();

    DeviceLink& m_link;
};

} // namespace zra::link
