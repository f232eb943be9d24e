#include "sim/Management.h"
#include <optional>

namespace zra::sim {

namespace {
// A login field: the characters up to the first zero byte of the field. A field without a zero
// byte holds no valid entry and matches nothing.
std::optional<QByteArray> loginField(const QByteArray& payload, int offset, int width) {
    const QByteArray field = payload.mid(offset, width);
    const qsizetype zero = field.indexOf('\0');
    if (zero < 0)
        return std::nullopt;
    return field.left(zero);
}
} // namespace

qsizetype managementFrameLength(const QByteArray& buffer) {
    if (buffer.isEmpty())
        return 0;
    if (buffer[0] != '#')
        return -1;
    if (buffer.size() < management::HeaderSize)
        return 0;
    const int length = static_cast<quint8>(buffer[4]) | static_cast<quint8>(buffer[5]) << 8;
    if (length > management::MaxRequestPayload)
        return -1;
    const qsizetype total = management::HeaderSize + length;
    return buffer.size() >= total ? total : 0;
}

QByteArray managementCommand(const QByteArray& frame) {
    return frame.mid(1, 2);
}

QByteArray managementFrame(const QByteArray& command, quint8 status, const QByteArray& payload) {
    QByteArray frame;
    frame.append('#');
    frame.append(command.left(2).leftJustified(2, ' '));
    frame.append(static_cast<char>(status));
    frame.append(static_cast<char>(payload.size() & 0xFF));
    frame.append(static_cast<char>(payload.size() >> 8 & 0xFF));
    frame.append(payload);
    return frame;
}

QByteArray serveManagementRequest(const ManagementIdentity& identity, const QByteArray& frame) {
    const QByteArray command = managementCommand(frame);
    const QByteArray payload = frame.mid(management::HeaderSize);
    if (command == "XR") {
        QByteArray reply;
        reply.append(static_cast<char>(identity.modbusPort & 0xFF));
        reply.append(static_cast<char>(identity.modbusPort >> 8));
        reply.append('\0');
        reply.append(identity.loginRequired ? '\1' : '\0');
        return managementFrame(command, 0, reply);
    }
    if (command == "GS") {
        QByteArray reply(4, '\0');
        reply[1] = static_cast<char>(identity.firmware);
        return managementFrame(command, 0, reply);
    }
    if (command == "IA") {
        const bool granted = payload.size() >= 18 && loginField(payload, 0, 9) == identity.user &&
                             loginField(payload, 9, 9) == identity.password;
        return managementFrame(command, granted ? 1 : 0, {});
    }
    return managementFrame(command, 0xFF, {});
}

QByteArray oversizedManagementReply(const QByteArray& reply) {
    QByteArray payload = reply.mid(management::HeaderSize).left(management::OversizedPayload);
    payload.append(QByteArray(management::OversizedPayload - payload.size(), '\0'));
    return managementFrame(managementCommand(reply), static_cast<quint8>(reply[3]), payload);
}

} // namespace zra::sim
