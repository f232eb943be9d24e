#include "tests/support/Loopback.h"

#include <unistd.h>

namespace zra::test {

QString NextLoopbackAddress() {
    static int counter = 0;
    const unsigned pid = static_cast<unsigned>(getpid());
    ++counter;
    // 127.P1.P2.C: the process id picks the middle bytes (all its bits count),
    // the counter the last.
    return QStringLiteral("127.%1.%2.%3")
        .arg(((pid >> 8) ^ (pid >> 16)) & 0xFF)
        .arg(pid & 0xFF)
        .arg(1 + (counter % 250));
}

} // namespace zra::test
