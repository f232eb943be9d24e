#include "link/DeviceLink.h"

#include "link/LinkError.h"
#include "ui/UiServices.h"

#include <QScopedValueRollback>

namespace zra::link {

DeviceLink::DeviceLink(QObject* parent) : QObject(parent) {
    connect(&modbus, &TcpChannel::statusText, this, &DeviceLink::trace);
    connect(&modbus, &TcpChannel::closed, this, &DeviceLink::EnterDisconnectedState);
}

std::uint8_t DeviceLink::unitId() const {
    return static_cast<std::uint8_t>(unitIdValue() % 256);
}

void DeviceLink::setRequest(std::uint8_t function, std::uint16_t address, std::uint16_t quantity) {
    request.unitId = unitId();
    request.function = function;
    request.address = address;
    request.quantity = quantity;
    request.tailLength = 0;
}

void DeviceLink::showMessage(const QString& text) {
    ui::Ui().showMessage(messageParent.data(), text);
}

void DeviceLink::showError(const QString& text) {
    ui::Ui().resetCursor();
    showMessage(text);
}

void DeviceLink::failExchange(const QString& text) {
    showError(text);
    exchangeFailed_ = true;
    EnterDisconnectedState();
}

bool DeviceLink::receiveModbus(int offset, int count) {
    QString error;
    if (modbus.receive(frame.data() + offset, count, ModbusReceiveTimeoutMs, &error))
        return true;
    failExchange(error);
    return false;
}

void DeviceLink::ExchangeRequest() {
    // Windows stay responsive during an exchange; nothing may start a second
    // one on the shared record meanwhile.
    if (exchangeRunning_)
        throw LinkError(QStringLiteral("Komunikace se zařízením již probíhá."));
    const QScopedValueRollback<bool> running(exchangeRunning_, true);

    // The reply is checked against what was sent, whatever happens to the
    // shared record meanwhile.
    const ModbusRequest sent = request;
    const std::uint8_t function = sent.function;
    const bool read = function == 3 || function == 4;
    if (read && sent.quantity > MaxReadRegisters) {
        failExchange(
            QStringLiteral("Požadavek na %1 registrů je odmítnut: najednou lze číst nejvýše %2.")
                .arg(sent.quantity)
                .arg(MaxReadRegisters));
        return;
    }

    const int length = BuildRequestFrame(sent, frame.data());
    emit trace(TraceLine("->", frame.data(), length));
    if (!IsSupportedFunction(function)) {
        emit trace(QStringLiteral("<-"));
        return;
    }

    modbus.discardPending();
    modbus.send(frame.data(), length);

    // Header first: it tells an exception reply apart and how much follows.
    if (!receiveModbus(0, 3))
        return;
    int total;
    if (frame[1] == (function | 0x80)) {
        if (!receiveModbus(3, 2))
            return;
        total = 5;
        emit trace(TraceLine("<-", frame.data(), total));
        if (!CrcMatches(frame.data(), total))
            failExchange(QStringLiteral("Chybný CRC odpovědi"));
        else
            failExchange(ExceptionText(function, frame[2]));
        return;
    }
    if (read) {
        total = 3 + frame[2] + 2;
        if (total > FrameBufferSize) {
            failExchange(
                QStringLiteral("Odpověď ohlašuje %1 B dat, což se nevejde do vyrovnávací paměti.")
                    .arg(frame[2]));
            return;
        }
    } else {
        total = 8;
    }
    if (!receiveModbus(3, total - 3))
        return;
    emit trace(TraceLine("<-", frame.data(), total));
    if (const auto error = CheckReply(sent, frame.data(), total))
        failExchange(*error);
}

void DeviceLink::WriteModbusPassword() {
    request = PasswordRequest(unitId(), passwordText());
    ExchangeRequest();
}

namespace {
bool reportFailure(bool failed, QWidget* parent) {
    if (failed)
        ui::Ui().showMessage(parent, QStringLiteral("Chyba v komunikaci"));
    return !failed;
}
} // namespace

bool DeviceLink::ExchangeReported(QWidget* parent) {
    ExchangeRequest();
    return reportFailure(exchangeFailed_, parent);
}

bool DeviceLink::WritePasswordReported(QWidget* parent) {
    WriteModbusPassword();
    return reportFailure(exchangeFailed_, parent);
}

void DeviceLink::ManagementExchange(bool closeAfter) {
    if (!managementChannel.isOpen()) {
        const QString host = hostText();
        if (host.isEmpty()) {
            showMessage(QStringLiteral("Není zadána IP adresa"));
            exchangeFailed_ = true;
            return;
        }
        QString error;
        if (!managementChannel.open(host, ManagementPort, ConnectTimeoutMs, &error))
            showError(error);
    }
    if (!managementChannel.isOpen()) {
        exchangeFailed_ = true;
        return;
    }
    exchangeFailed_ = false;
    managementChannel.discardPending();
    managementChannel.send(management.bytes.data(),
                           std::min(management.requestLength(), int(ManagementFrame::Size)));

    // A broken reply leaves the channel in an unknown place of the stream: it is
    // dropped, so that the next exchange starts on a fresh connection.
    QString error;
    if (!managementChannel.receive(management.bytes.data(), ManagementFrame::HeaderSize,
                                   ManagementReceiveTimeoutMs, &error)) {
        managementChannel.abort();
        throw LinkError(error);
    }
    const int length = management.payloadLength();
    if (length > ManagementFrame::MaxPayload) {
        managementChannel.abort();
        // The announced length does not fit the buffer: nothing of it is kept.
        management.bytes[4] = 0;
        management.bytes[5] = 0;
        throw LinkError(
            QStringLiteral("Odpověď zařízení ohlašuje %1 B dat, nejvýše lze přijmout %2 B.")
                .arg(length)
                .arg(ManagementFrame::MaxPayload));
    }
    if (length > 0 &&
        !managementChannel.receive(management.bytes.data() + ManagementFrame::HeaderSize, length,
                                   ManagementReceiveTimeoutMs, &error)) {
        managementChannel.abort();
        throw LinkError(error);
    }
    if (closeAfter)
        managementChannel.close();
}

void DeviceLink::ConnectCommand() {
    if (connected_) {
        modbus.close();
        EnterDisconnectedState();
        return;
    }
    if (modbusPort_ == 0) {
        managementChannel.close();
        modbus.close();
        management.writeXR();
        ManagementExchange(false);
        if (exchangeFailed_) {
            EnterDisconnectedState();
            return;
        }
        modbusPort_ = management.xrModbusPort();
        loginRequired_ = management.xrLoginRequired();
        management.turnIntoGS();
        ManagementExchange(true);
        if (exchangeFailed_) {
            EnterDisconnectedState();
            return;
        }
        if (management.gsFirmware() < 5) {
            showMessage(QStringLiteral("Lze použít pro verzi FW 1.0.19 a výše"));
            EnterDisconnectedState();
            return;
        }
        if (loginRequired_) {
            loginDialog();
            if (!loginGranted_) {
                EnterDisconnectedState();
                return;
            }
        }
    }
    if (!modbus.isOpen()) {
        const QString host = hostText();
        if (host.isEmpty()) {
            showMessage(QStringLiteral("Není zadána IP adresa"));
            return;
        }
        if (modbusPort_ == 0) {
            showMessage(QStringLiteral("Není TCP port"));
            return;
        }
        QString error;
        if (!modbus.open(host, modbusPort_, ConnectTimeoutMs, &error))
            showError(error);
    }
    if (modbus.isOpen())
        EnterConnectedState();
    else
        EnterDisconnectedState();
}

void DeviceLink::EnterConnectedState() {
    connected_ = true;
    emit connectedStateEntered();
}

void DeviceLink::EnterDisconnectedState() {
    modbusPort_ = 0;
    loginGranted_ = false;
    connected_ = false;
    emit disconnectedStateEntered();
}

} // namespace zra::link
