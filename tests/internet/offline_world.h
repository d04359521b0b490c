#pragma once
// A world without an update host for the Online System's window tests: a
// system folder of the test's own, an update address where nothing
// listens, and the question that a failed connect asks answered with
// Cancel.

#include "common/dialogs.h"
#include "tests/internet/local_servers.h"
#include "tests/support/test_env.h"

#include <QDir>

namespace qpt::test {

struct Offline {
    TestEnv env;
    QString system = env.root() + QStringLiteral("/system");
    Offline()
    {
        QDir().mkpath(system);
        qputenv("QPT_SYSTEM_DIR", system.toLocal8Bit());
        qputenv("QPT_UPDATE_URL", QStringLiteral("http://127.0.0.1:%1").arg(closedPort()).toLocal8Bit());
        Dialogs::scriptAnswers({"Cancel"});
    }
    ~Offline()
    {
        qunsetenv("QPT_SYSTEM_DIR");
        qunsetenv("QPT_UPDATE_URL");
    }
    // The start message's "Don't Show This Message Again" marker.
    QString marker() const { return system + QStringLiteral("/osplinfo.dll"); }
};

}  // namespace qpt::test
