#pragma once
// "Is another instance of this program running?" answered with a per-user
// lock file per program: the test takes the lock exclusively, then every
// running instance holds it shared for its whole life. The kernel drops the
// lock when a process ends, so a crash never leaves a stale answer.

#include <QString>

namespace qpt {

class SingleInstance {
public:
    // Tests for another running instance of the named program and, from
    // then on, marks this process as running. Call once at start.
    static bool anotherIsRunning(const QString& programName);
    // Only asks, without marking this process: for a helper that must know
    // whether the program runs before it starts it.
    static bool isRunning(const QString& programName);
    // Where the lock files live: $XDG_RUNTIME_DIR, else a per-user folder
    // in the temporary folder.
    static QString lockFolder();
};

}  // namespace qpt
