#include "link/Reporter.h"

#include <QtGlobal>

namespace zra::link {

namespace {

class ErrorOutputReporter : public Reporter {
public:
    void warning(const QString& text) override { qWarning("%s", qUtf8Printable(text)); }
};

ErrorOutputReporter g_default;
Reporter* g_reporter = &g_default;
thread_local Reporter* t_reporter = nullptr;

} // namespace

Reporter& Report() {
    return t_reporter ? *t_reporter : *g_reporter;
}

void SetReporter(Reporter* reporter) {
    g_reporter = reporter ? reporter : &g_default;
}

void SetThreadReporter(Reporter* reporter) {
    t_reporter = reporter;
}

} // namespace zra::link
