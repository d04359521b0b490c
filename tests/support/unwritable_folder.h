#pragma once
// Runs the programs of a test installation as a user who cannot write its
// application folder. As root (CI), the program runs as the user "nobody"
// through setpriv, and the folders it must write (settings, data, runtime,
// home, the dialog log) are handed to that user; as an ordinary user, the
// application folder is made read-only and the program runs as that user.

#include "tests/support/test_env.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace qpt::test {

class UnwritableFolder {
public:
    // Make it once the installation is prepared (settings written, files in
    // place): what is there then is handed over.
    explicit UnwritableFolder(TestEnv& env);
    ~UnwritableFolder();
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    // Empty when the arrangement works; otherwise why not (for QSKIP).
    QString unavailable() const { return m_unavailable; }

    // A folder the program's user can write, for stand-ins to record in.
    QString writableFolder() const { return m_writable; }

    // Makes a file of the application folder runnable and readable by the
    // program's user.
    static bool makeRunnable(const QString& path);

    // Starts a program of the application folder with the environment of
    // the installation plus `extra`.
    std::unique_ptr<QProcess> start(const QString& program, const QStringList& arguments,
                                    const QProcessEnvironment& extra) const;

private:
    TestEnv& m_env;
    bool m_asNobody = false;
    QString m_home;
    QString m_writable;
    QString m_unavailable;
};

}  // namespace qpt::test
