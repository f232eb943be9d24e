#pragma once
#include "link/ManagementFrame.h"
#include "link/ModbusFrame.h"
#include "link/TcpChannel.h"

#include <QObject>
#include <functional>
#include <optional>

namespace zra::link {

// One line of the raw console's log: a text, or the bytes of a MODBUS frame
// sent ("->") or received ("<-"), whose text (TraceLine) is made when the
// line is shown: a read-all traces a thousand frames, mostly to a console
// nobody looks at. A frame's bytes are the link's: valid only during the
// signal's call.
struct TraceEntry {
    QString text;
    const char* prefix = nullptr; // a frame's
    QByteArrayView bytes;
    QString line() const;
};

// The device link: both channels, the shared request record and buffers, and
// the shared flags. One for the whole run, created at start-up before any
// window; windows reach the installation through the DeviceClient over it,
// one exchange at a time. Its messages go to the installed link::Reporter.
class DeviceLink : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t ManagementPort = 9760;
    static constexpr int ConnectTimeoutMs = 5000;
    static constexpr int ManagementReceiveTimeoutMs = 5000;
    static constexpr int ModbusReceiveTimeoutMs = 2000;

    explicit DeviceLink(QObject* parent = nullptr);

    // The installation's address and unit id as the user gave them (the main
    // window tells each change, zra-cli its command line); the unit id is
    // taken modulo 256.
    void setAddress(const QString& address) { m_address = address; }
    const QString& address() const { return m_address; }
    void setUnitIdValue(int value) { m_unitIdValue = value; }
    // Where the link reads the access password text from.
    std::function<QByteArray()> passwordText = [] { return QByteArray(DefaultPasswordText); };
    // Shows the login dialog modally; it sets LoginGranted when the login succeeds.
    std::function<void()> loginDialog = [] {};

    // Shared state.
    ModbusRequest request;      // the one request record
    FrameBuffer frame{};        // the one MODBUS frame buffer
    ManagementFrame management; // the one management frame buffer

    bool exchangeFailed() const { return m_exchangeFailed; }
    bool loginGranted() const { return m_loginGranted; }
    void setLoginGranted(bool granted) { m_loginGranted = granted; }
    bool loginRequired() const { return m_loginRequired; }
    std::uint16_t modbusPort() const { return m_modbusPort; }
    // The firmware generation of the last GS reply (0 before any).
    int firmwareGeneration() const { return m_firmware; }
    bool connectedState() const { return m_connected; }
    bool modbusOpen() const { return m_modbus.isOpen(); }
    bool managementOpen() const { return m_management.isOpen(); }

    // The unit id every request takes from the toolbar field.
    std::uint8_t unitId() const;
    // Reply data byte d of a read reply.
    const std::uint8_t* replyData() const { return frame.data() + 3; }
    // Fills the record for a read or a single write, unit id from the toolbar.
    void setRequest(std::uint8_t function, std::uint16_t address, std::uint16_t quantity);

    // Frames the record, sends it on the MODBUS channel and receives the reply
    // into the frame buffer. Failure: message, ExchangeFailed, disconnected
    // state. A failed send throws LinkError, and so does a second exchange
    // started while one runs.
    void ExchangeRequest();
    // The access-password write that precedes write commands.
    void WriteModbusPassword();
    // Sends the request in the management buffer and leaves the reply there.
    // Throws LinkError on a failed send or receive, and when another management
    // exchange is running.
    void ManagementExchange(bool closeAfter);
    // The Connect / Disconnect item. A connect that does not reach the
    // connected state leaves no port behind, however it ends.
    void ConnectCommand();

    void EnterConnectedState();
    void EnterDisconnectedState();

    // The console's diagnostic lines, beside the "->" and "<-" trace lines:
    // management frames sent and received, a failure's text, the bytes of a
    // MODBUS or management reply that came only in part.
    static constexpr const char* ManagementSentPrefix = "#> ";
    static constexpr const char* ManagementReceivedPrefix = "#< ";
    static constexpr const char* FailurePrefix = "!! ";
    static constexpr const char* PartialReplyPrefix = "<~ ";
    static constexpr const char* ManagementPartialPrefix = "#~ ";

    // The outcome of a write whose exchange ended well.
    static inline const QString WriteSucceeded = QStringLiteral("OK");

signals:
    // Every line for the raw console's log, as an entry whose text a frame's
    // line makes only when it is shown; and as its text, made only while
    // something listens to trace.
    void traced(const zra::link::TraceEntry& entry);
    void trace(const QString& line);
    // A write (function 6 or 16) is about to go out: emitted after its "->"
    // line and before its first byte is sent, so that whatever a receiver
    // records is done before the installation can act on it.
    void writeSending(const zra::link::ModbusRequest& request);
    // The exchange of a write announced by writeSending ended, however it
    // ended: WriteSucceeded or the failure's text. Emitted once, as soon as
    // the outcome is known: before a failure's message is shown, before
    // ExchangeRequest returns or throws, so that whatever a receiver records
    // is done before the next step.
    void writeExchanged(const zra::link::ModbusRequest& request, const QString& outcome);
    void connectedStateEntered();
    void disconnectedStateEntered();
    // Both of the above in one: true on entering the connected state.
    void connectionChanged(bool connected);

private:
    void showMessage(const QString& text);
    // A message after a failure: the normal cursor comes back first.
    void showError(const QString& text);
    // The ordinary failure path of an exchange.
    void failExchange(const QString& text);
    bool receiveModbus(int offset, int count);
    // A failure that ends the command: its text in the console, then thrown.
    [[noreturn]] void throwFailure(const QString& text);
    // Sends on a channel; a failed send's text goes to the console too.
    void sendOn(TcpChannel& channel, const std::uint8_t* data, int count);
    // The management frame in the console: sent ("#> "), received ("#< ") or
    // received in part ("#~ ").
    // Something listens to trace: only then is a frame's text made for it.
    bool traceListened() const;
    void traceText(const QString& text);
    void traceFrame(const char* prefix, const std::uint8_t* bytes, int count);
    void traceManagement(const char* prefix, int count);
    // The bytes of a reply cut short: the count already received from buf,
    // then whatever still waits in the channel.
    void tracePartial(const char* prefix, TcpChannel& channel, const std::uint8_t* buf, int count);
    // The XR and GS exchanges, the firmware check and the login of a connect;
    // false when the connect ends there.
    bool learnPort();
    // Both shared buffers serve one exchange at a time: a second one, started
    // from a handler while the first waits, is refused.
    void refuseSecondExchange();

    TcpChannel m_modbus;
    TcpChannel m_management;
    bool m_exchangeFailed = false;
    QString m_address;
    int m_unitIdValue = 1;
    bool m_loginGranted = false;
    bool m_loginRequired = false;
    bool m_connected = false;
    bool m_exchangeRunning = false;
    std::uint16_t m_modbusPort = 0;
    int m_firmware = 0;
    // Reports the outcome of the running exchange's write, once; nothing
    // when it is no write or its outcome is reported already.
    void reportWrite(const QString& outcome);

    // The failure of the running MODBUS exchange; empty while none.
    QString m_exchangeError;
    // The write of the running exchange whose outcome is not reported yet.
    std::optional<ModbusRequest> m_unreportedWrite;
};

} // namespace zra::link
