#include "sim/DefaultInstallation.h"

namespace zra::sim {

namespace {
constexpr quint16 bytes(quint8 high, quint8 low) {
    return static_cast<quint16>(high << 8 | low);
}

// Acts on the command registers of the default installation. There is no pending change set in
// it, so commit and cancel both leave the configuration idle at once; a clock write sets the clock
// that the input registers report.
void handleWrite(RegisterStore& store, quint16 first, const QList<quint16>& values) {
    const int last = first + static_cast<int>(values.size()) - 1;
    if (first <= reg::ConfigControl && reg::ConfigControl <= last) {
        const quint16 command = values[reg::ConfigControl - first];
        if (command == ConfigCommit || command == ConfigCancel)
            store.setHolding(reg::ConfigControl, ConfigIdle);
    }
    if (first <= reg::ClockWrite && reg::ClockWrite + 3 <= last) {
        for (int i = 0; i < 4; ++i)
            store.setInput(static_cast<quint16>(reg::Clock + i),
                           values[reg::ClockWrite - first + i]);
    }
}
} // namespace

void fillDefaultInstallation(RegisterStore& store) {
    const quint32 serial = 100234;
    const quint16 system[reg::SystemBlockCount] = {
        bytes(0, 3),                        // 1980: phase count in the low byte
        static_cast<quint16>(serial >> 16), // 1981, 1982: serial number, high register first
        static_cast<quint16>(serial & 0xFFFF),
        0,            // 1983: major alarm relay
        0,            // 1984: minor alarm relay
        bytes(0, 0),  // 1985: major, minor alarm counts
        bytes(0, 1),  // 1986: total alarm count, AC flag
        bytes(90, 1), // 1987: saturation alarm limit %, DC group count
        bytes(1, 0),  // 1988: AC group count, alarm relay
        1,            // 1989: main software revision
        19,           // 1990: sub software revision
        bytes(0, 7),  // 1991: system load position, configuration version
        3,            // 1992: event version
        bytes(6, 6),  // 1993: modules configured, modules seen
        bytes(0, 0),  // 1994: events in the log
    };
    for (int i = 0; i < reg::SystemBlockCount; ++i)
        store.setInput(static_cast<quint16>(reg::SystemBlock + i), system[i]);

    // 14 May 2024 10:30:00, no summer time.
    const quint16 clock[4] = {bytes(0, 30), bytes(10, 14), bytes(5, 0), 2024};
    for (int i = 0; i < 4; ++i) {
        store.setInput(static_cast<quint16>(reg::Clock + i), clock[i]);
        store.setHolding(static_cast<quint16>(reg::ClockWrite + i), clock[i]);
    }
    store.setHolding(reg::ClockWrite + 4, 0);
    store.setHolding(reg::ClockWrite + 5, 0);

    store.setHolding(reg::ConfigControl, ConfigIdle);
    store.setHolding(reg::SystemCommand, 0);
    for (int i = 0; i < 5; ++i)
        store.setHolding(static_cast<quint16>(reg::AccessPassword + i), 0);

    store.setWriteHandler(handleWrite);
}

} // namespace zra::sim
