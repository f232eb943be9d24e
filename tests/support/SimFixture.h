#pragma once
#include "sim/Simulator.h"
#include "tests/support/Loopback.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingUi.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace zra::test {

// An in-process simulator on a loopback address of its own.
// Another test process may hold an address by chance: the next one is tried.
inline std::unique_ptr<zra::sim::Simulator> StartSimulator(zra::sim::Options options = {}) {
    QString error;
    for (int attempt = 0; attempt < 5; ++attempt) {
        options.address = NextLoopbackAddress();
        auto sim = std::make_unique<zra::sim::Simulator>(options);
        if (sim->start(&error))
            return sim;
    }
    ADD_FAILURE() << "simulator did not start: " << error.toStdString();
    return std::make_unique<zra::sim::Simulator>(options);
}

// The normal answer, delayMs late; times: how many requests (-1: every one).
inline zra::sim::Fault DelayFault(int delayMs, int times = -1) {
    zra::sim::Fault f;
    f.kind = zra::sim::FaultKind::Delay;
    f.delayMs = delayMs;
    f.times = times;
    return f;
}

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace zra::test
