#pragma once
#include <QString>

namespace zra::test {

// A loopback address of its own for each simulator a test starts, so that
// test processes running side by side never share 127.0.0.1:9760.
QString NextLoopbackAddress();

} // namespace zra::test
