#pragma once
#include "link/ManagementFrame.h"
#include "link/ModbusFrame.h"
#include "link/TcpChannel.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace zra::link {

// The device link: both channels, the shared request record and buffers, and
// the shared flags. Owned by the main window; every window reaches the
// installation through it, one exchange at a time.
class DeviceLink : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t ManagementPort = 9760;
    static constexpr int ConnectTimeoutMs = 5000;
    static constexpr int ManagementReceiveTimeoutMs = 5000;
    static constexpr int ModbusReceiveTimeoutMs = 2000;

    explicit DeviceLink(QObject* parent = nullptr);

    // Where the link reads the user's settings from: the IP address text, the
    // unit id field (rounded, taken modulo 256), the access password text.
    std::function<QString()> hostText = [] { return QString(); };
    std::function<int()> unitIdValue = [] { return 1; };
    std::function<QByteArray()> passwordText = [] { return QByteArray("Vortex_P8L"); };
    // Shows the login dialog modally; it sets LoginGranted when the login succeeds.
    std::function<void()> loginDialog = [] {};
    // Parent of the message boxes the link shows.
    QPointer<QWidget> messageParent;

    // Shared state.
    ModbusRequest request;      // the one request record
    FrameBuffer frame{};        // the one MODBUS frame buffer
    ManagementFrame management; // the one management frame buffer

    bool exchangeFailed() const { return exchangeFailed_; }
    bool loginGranted() const { return loginGranted_; }
    void setLoginGranted(bool granted) { loginGranted_ = granted; }
    bool loginRequired() const { return loginRequired_; }
    std::uint16_t modbusPort() const { return modbusPort_; }
    bool connectedState() const { return connected_; }
    bool modbusOpen() const { return modbus.isOpen(); }
    bool managementOpen() const { return managementChannel.isOpen(); }

    // The unit id every request takes from the toolbar field.
    std::uint8_t unitId() const;
    // Reply data byte d of a read reply.
    const std::uint8_t* replyData() const { return frame.data() + 3; }
    // Fills the record for a read or a single write, unit id from the toolbar.
    void setRequest(std::uint8_t function, std::uint16_t address, std::uint16_t quantity);

    // Frames the record, sends it on the MODBUS channel and receives the reply
    // into the frame buffer. Failure: message, ExchangeFailed, disconnected
    // state. A failed send throws LinkError.
    void ExchangeRequest();
    // The access-password write that precedes write commands.
    void WriteModbusPassword();
    // What every read and command does after an exchange: when ExchangeFailed
    // is set, show "Chyba v komunikaci" (over parent) and answer false.
    bool ExchangeReported(QWidget* parent);
    bool WritePasswordReported(QWidget* parent);
    // Sends the request in the management buffer and leaves the reply there.
    // Throws LinkError on a failed send or receive.
    void ManagementExchange(bool closeAfter);
    // The Connect / Disconnect item.
    void ConnectCommand();

    void EnterConnectedState();
    void EnterDisconnectedState();

signals:
    // A line for the raw console's log.
    void trace(const QString& line);
    void connectedStateEntered();
    void disconnectedStateEntered();

private:
    void showMessage(const QString& text);
    // A message after a failure: the normal cursor comes back first.
    void showError(const QString& text);
    // The ordinary failure path of an exchange.
    void failExchange(const QString& text);
    bool receiveModbus(int offset, int count);

    TcpChannel modbus;
    TcpChannel managementChannel;
    bool exchangeFailed_ = false;
    bool loginGranted_ = false;
    bool loginRequired_ = false;
    bool connected_ = false;
    bool exchangeRunning_ = false;
    std::uint16_t modbusPort_ = 0;
};

} // namespace zra::link
