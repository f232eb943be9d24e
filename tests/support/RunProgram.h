#pragma once
// A program run as scripts run it: a child process with a time limit, its
// standard input given, its output and exit status kept.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace zra::test {

struct Ran {
    int status = -1;
    QByteArray out, err;
};

// input goes to its standard input; output, when given, is the file its
// standard output writes to.
inline Ran RunProgram(const QString& program, const QStringList& arguments,
                      const QByteArray& input = {}, const QString& output = {},
                      int limitMs = 20000) {
    QProcess p;
    if (!output.isEmpty())
        p.setStandardOutputFile(output);
    p.start(program, arguments);
    Ran r;
    if (!p.waitForStarted(5000)) {
        ADD_FAILURE() << program.toStdString() << " did not start";
        return r;
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(limitMs)) {
        ADD_FAILURE() << program.toStdString() << " did not end within " << limitMs << " ms";
        p.kill();
        p.waitForFinished(2000);
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace zra::test
