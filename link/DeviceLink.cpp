#include "link/DeviceLink.h"

#include "link/LinkError.h"
#include "link/RegisterMap.h"
#include "link/Reporter.h"

#include <QMetaMethod>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <exception>
#include <utility>

namespace zra::link {

DeviceLink::DeviceLink(QObject* parent) : QObject(parent) {
    connect(&m_modbus, &TcpChannel::statusText, this, &DeviceLink::traceText);
    connect(&m_modbus, &TcpChannel::closed, this, &DeviceLink::EnterDisconnectedState);
}

std::uint8_t DeviceLink::unitId() const {
    return static_cast<std::uint8_t>(m_unitIdValue % 256);
}

void DeviceLink::setRequest(std::uint8_t function, std::uint16_t address, std::uint16_t quantity) {
    request.unitId = unitId();
    request.function = function;
    request.address = address;
    request.quantity = quantity;
    request.tailLength = 0;
}

QString TraceEntry::line() const {
    return prefix ? TraceLine(prefix, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              int(bytes.size()))
                  : text;
}

bool DeviceLink::traceListened() const {
    static const QMetaMethod lines = QMetaMethod::fromSignal(&DeviceLink::trace);
    return isSignalConnected(lines);
}

void DeviceLink::traceText(const QString& text) {
    emit traced(TraceEntry{text, nullptr, {}});
    if (traceListened())
        emit trace(text);
}

void DeviceLink::traceFrame(const char* prefix, const std::uint8_t* bytes, int count) {
    const TraceEntry entry{{}, prefix, QByteArrayView(bytes, count)};
    emit traced(entry);
    if (traceListened())
        emit trace(entry.line());
}

void DeviceLink::showMessage(const QString& text) {
    traceText(QLatin1String(FailurePrefix) + text);
    Report().warning(text);
}

void DeviceLink::throwFailure(const QString& text) {
    traceText(QLatin1String(FailurePrefix) + text);
    throw LinkError(text);
}

void DeviceLink::sendOn(TcpChannel& channel, const std::uint8_t* data, int count) {
    try {
        channel.send(data, count);
    } catch (const LinkError& e) {
        traceText(QLatin1String(FailurePrefix) + QString::fromUtf8(e.what()));
        throw;
    }
}

void DeviceLink::traceManagement(const char* prefix, int count) {
    traceText(management.traceLine(prefix, count));
}

void DeviceLink::tracePartial(const char* prefix, TcpChannel& channel, const std::uint8_t* buf,
                              int count) {
    QByteArray bytes(reinterpret_cast<const char*>(buf), count);
    bytes += channel.pendingBytes();
    if (!bytes.isEmpty())
        traceText(TraceLine(prefix, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            int(bytes.size())));
}

void DeviceLink::refuseSecondExchange() {
    if (m_exchangeRunning)
        throwFailure(QStringLiteral("Komunikace se zařízením již probíhá."));
}

void DeviceLink::showError(const QString& text) {
    traceText(QLatin1String(FailurePrefix) + text);
    Report().exchangeFailure(text);
}

void DeviceLink::reportWrite(const QString& outcome) {
    if (const auto write = std::exchange(m_unreportedWrite, std::nullopt))
        emit writeExchanged(*write, outcome);
}

void DeviceLink::failExchange(const QString& text) {
    m_exchangeError = text;
    // The outcome is recorded before the message waits for the engineer.
    reportWrite(text);
    showError(text);
    m_exchangeFailed = true;
    EnterDisconnectedState();
}

bool DeviceLink::receiveModbus(int offset, int count) {
    QString error;
    if (m_modbus.receive(frame.data() + offset, count, ModbusReceiveTimeoutMs, &error))
        return true;
    // What came of the reply before it stopped shows why the exchange failed.
    tracePartial(PartialReplyPrefix, m_modbus, frame.data(), offset);
    failExchange(error);
    return false;
}

void DeviceLink::ExchangeRequest() {
    // Windows stay responsive during an exchange; nothing may start a second
    // one on the shared record meanwhile.
    refuseSecondExchange();
    const QScopedValueRollback<bool> running(m_exchangeRunning, true);

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
    traceFrame("->", frame.data(), length);
    if (!IsSupportedFunction(function)) {
        traceText(QStringLiteral("<-"));
        return;
    }

    // Every write is announced before it goes out and reported once with its
    // outcome as soon as that is known, on every way out of the exchange.
    m_exchangeError.clear();
    if (function == reg::WriteSingle || function == reg::WriteMultiple) {
        emit writeSending(sent);
        m_unreportedWrite = sent;
    }
    // An exchange that ends without a failure succeeded; one left by an
    // error other than the send's has no outcome to report.
    const auto reportSuccess = qScopeGuard([this, unwinding = std::uncaught_exceptions()] {
        if (std::uncaught_exceptions() > unwinding)
            m_unreportedWrite.reset();
        else
            reportWrite(WriteSucceeded);
    });
    m_modbus.discardPending();
    try {
        sendOn(m_modbus, frame.data(), length);
    } catch (const LinkError& e) {
        // Reported here rather than while the error unwinds the stack.
        reportWrite(QString::fromUtf8(e.what()));
        throw;
    }

    // Header first: it tells an exception reply apart and how much follows.
    if (!receiveModbus(0, 3))
        return;
    int total;
    if (frame[1] == (function | 0x80)) {
        if (!receiveModbus(3, 2))
            return;
        total = 5;
        traceFrame("<-", frame.data(), total);
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
    traceFrame("<-", frame.data(), total);
    if (const auto error = CheckReply(sent, frame.data(), total))
        failExchange(*error);
}

void DeviceLink::WriteModbusPassword() {
    request = PasswordRequest(unitId(), passwordText());
    ExchangeRequest();
}

void DeviceLink::ManagementExchange(bool closeAfter) {
    refuseSecondExchange();
    const QScopedValueRollback<bool> running(m_exchangeRunning, true);
    if (!m_management.isOpen()) {
        const QString host = m_address;
        if (host.isEmpty()) {
            showMessage(QStringLiteral("Není zadána IP adresa"));
            m_exchangeFailed = true;
            return;
        }
        QString error;
        if (!m_management.open(host, ManagementPort, ConnectTimeoutMs, &error))
            showError(error);
    }
    if (!m_management.isOpen()) {
        m_exchangeFailed = true;
        return;
    }
    m_exchangeFailed = false;
    m_management.discardPending();
    const int requestLength = std::min(management.requestLength(), int(ManagementFrame::Size));
    traceManagement(ManagementSentPrefix, requestLength);
    sendOn(m_management, management.bytes.data(), requestLength);

    // A broken reply leaves the channel in an unknown place of the stream: it is
    // dropped, so that the next exchange starts on a fresh connection. What
    // came of it goes to the console first.
    QString error;
    if (!m_management.receive(management.bytes.data(), ManagementFrame::HeaderSize,
                              ManagementReceiveTimeoutMs, &error)) {
        tracePartial(ManagementPartialPrefix, m_management, management.bytes.data(), 0);
        m_management.abort();
        throwFailure(error);
    }
    const int length = management.payloadLength();
    if (length > ManagementFrame::MaxPayload) {
        tracePartial(ManagementPartialPrefix, m_management, management.bytes.data(),
                     ManagementFrame::HeaderSize);
        m_management.abort();
        // The announced length does not fit the buffer: nothing of it is kept.
        management.bytes[4] = 0;
        management.bytes[5] = 0;
        throwFailure(
            QStringLiteral("Odpověď zařízení ohlašuje %1 B dat, nejvýše lze přijmout %2 B.")
                .arg(length)
                .arg(ManagementFrame::MaxPayload));
    }
    if (length > 0 && !m_management.receive(management.bytes.data() + ManagementFrame::HeaderSize,
                                            length, ManagementReceiveTimeoutMs, &error)) {
        tracePartial(ManagementPartialPrefix, m_management, management.bytes.data(),
                     ManagementFrame::HeaderSize);
        m_management.abort();
        throwFailure(error);
    }
    traceManagement(ManagementReceivedPrefix, ManagementFrame::HeaderSize + length);
    if (closeAfter)
        m_management.close();
}

bool DeviceLink::learnPort() {
    m_management.close();
    m_modbus.close();
    management.writeXR();
    ManagementExchange(false);
    if (m_exchangeFailed) {
        EnterDisconnectedState();
        return false;
    }
    m_modbusPort = management.xrModbusPort();
    m_loginRequired = management.xrLoginRequired();
    management.turnIntoGS();
    ManagementExchange(true);
    if (m_exchangeFailed) {
        EnterDisconnectedState();
        return false;
    }
    m_firmware = management.gsFirmware();
    if (m_firmware < 5) {
        showMessage(QStringLiteral("Lze použít pro verzi FW 1.0.19 a výše"));
        EnterDisconnectedState();
        return false;
    }
    if (m_loginRequired) {
        loginDialog();
        if (!m_loginGranted) {
            EnterDisconnectedState();
            return false;
        }
    }
    return true;
}

void DeviceLink::ConnectCommand() {
    if (m_connected) {
        m_modbus.close();
        EnterDisconnectedState();
        return;
    }
    // However the connect ends short of the connected state (a message, a
    // refused login, a management error thrown to the command), it leaves
    // neither a port nor a login behind: the next Connect starts with XR.
    const auto noPortBehind = qScopeGuard([this] {
        if (!m_connected && (m_modbusPort != 0 || m_loginGranted))
            EnterDisconnectedState();
    });
    if (m_modbusPort == 0 && !learnPort())
        return;
    if (!m_modbus.isOpen()) {
        const QString host = m_address;
        if (host.isEmpty()) {
            showMessage(QStringLiteral("Není zadána IP adresa"));
            return;
        }
        if (m_modbusPort == 0) {
            showMessage(QStringLiteral("Není TCP port"));
            return;
        }
        QString error;
        if (!m_modbus.open(host, m_modbusPort, ConnectTimeoutMs, &error))
            showError(error);
    }
    if (m_modbus.isOpen())
        EnterConnectedState();
    else
        EnterDisconnectedState();
}

void DeviceLink::EnterConnectedState() {
    m_connected = true;
    emit connectedStateEntered();
    emit connectionChanged(true);
}

void DeviceLink::EnterDisconnectedState() {
    m_modbusPort = 0;
    m_loginGranted = false;
    m_connected = false;
    emit disconnectedStateEntered();
    emit connectionChanged(false);
}

} // namespace zra::link
