#include "link/DeviceClient.h"

#include "link/DeviceLink.h"
#include "link/Reporter.h"
#include "text/Cp1250.h"

#include <stdexcept>

namespace zra::link {

DeviceClient::DeviceClient(DeviceLink& link) : m_link(link) {}

bool DeviceClient::ensureLogin() {
    if (!m_link.loginGranted())
        promptLogin();
    return m_link.loginGranted();
}

DeviceClient::Login DeviceClient::login(const QString& user, const QString& password) {
    m_link.management.writeLoginRequest(text::ToCp1250(user), text::ToCp1250(password));
    m_link.ManagementExchange(true);
    if (m_link.exchangeFailed())
        return Login::Failed;
    if (!m_link.management.loginGranted())
        return Login::Refused;
    m_link.setLoginGranted(true);
    return Login::Granted;
}

bool DeviceClient::reportFailure() {
    if (!m_link.exchangeFailed())
        return true;
    link::Report().warning(CommunicationErrorText);
    return false;
}

bool DeviceClient::passwordWrite() {
    m_link.WriteModbusPassword();
    return reportFailure();
}

std::optional<RegisterData> DeviceClient::read(std::uint8_t function, std::uint16_t address,
                                               std::uint16_t quantity) {
    if (function != reg::ReadHolding && function != reg::ReadInput)
        throw std::logic_error("DeviceClient::read takes function 3 or 4");
    m_link.setRequest(function, address, quantity);
    m_link.ExchangeRequest();
    if (!reportFailure())
        return std::nullopt;
    // The link has checked that the reply brought 2 x quantity data bytes.
    return RegisterData(m_link.replyData(), 2 * quantity);
}

std::optional<int> DeviceClient::readCount(reg::CountByte count) {
    const auto data = readInput(count.address, 1);
    if (!data)
        return std::nullopt;
    return data->byte(count.dataByte);
}

bool DeviceClient::writeSingle(std::uint16_t address, std::uint16_t value, Password password,
                               Report report) {
    if (password == Password::First && !passwordWrite())
        return false;
    // The record is filled only now: the password write used it before.
    m_link.setRequest(reg::WriteSingle, address, value);
    m_link.ExchangeRequest();
    return report == Report::CommunicationError ? reportFailure() : !m_link.exchangeFailed();
}

bool DeviceClient::writeMultiple(std::uint16_t address, std::span<const std::uint8_t> data,
                                 Password password) {
    if (data.empty() || data.size() % 2 != 0 || data.size() + 1 > std::size_t(MaxTailLength))
        throw std::logic_error("DeviceClient::writeMultiple takes 1 to 10 whole registers");
    if (password == Password::First && !passwordWrite())
        return false;
    m_link.setRequest(reg::WriteMultiple, address, std::uint16_t(data.size() / 2));
    m_link.request.tail[0] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), m_link.request.tail.begin() + 1);
    m_link.request.tailLength = static_cast<std::uint8_t>(data.size() + 1);
    m_link.ExchangeRequest();
    return reportFailure();
}

bool DeviceClient::send(const ModbusRequest& request) {
    m_link.request = request;
    m_link.ExchangeRequest();
    return reportFailure();
}

} // namespace zra::link
