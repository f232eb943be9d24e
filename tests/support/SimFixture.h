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
inline std::unique_ptr<zra::sim::Simulator> StartSimulator(zra::sim::Options options = {}) {
    options.address = NextLoopbackAddress();
    auto sim = std::make_unique<zra::sim::Simulator>(options);
    QString error;
    EXPECT_TRUE(sim->start(&error)) << error.toStdString();
    return sim;
}

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace zra::test
