#include "tests/support/client_run.h"

#include "tests/support/test_env.h"

#include <QProcess>

namespace qpt::test {

ClientRun runClient(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                    int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ClientRun run;
    if (!process.waitForStarted(timeoutMs))
        return run;
    run.finished = waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(3000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return run;
}

}  // namespace qpt::test
