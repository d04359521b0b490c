#pragma once
// "Is another instance of this program running?" answered with a per-user
// lock file per program: the test takes the lock exclusively, then every
// running instance holds it shared for its whole life. The kernel drops the
// lock when a process ends, so a crash never leaves a stale answer.
//
// A process whose threads are stuck in the kernel (a share that stopped
// answering) never quite ends, and the kernel keeps its locks: an ending
// instance therefore lets go of its lock itself, once what it keeps is
// kept, and says meanwhile that it is ending, so that a new start can wait
// for it a moment instead of giving up.

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

    // This process is ending: until it lets go (release) or ends, a new
    // start may wait for it.
    static void markEnding(const QString& programName);
    // Whether an instance of the program has marked itself ending.
    static bool isEnding(const QString& programName);
    // Lets go of the marks anotherIsRunning and markEnding set: from now on
    // another instance may start, whatever this process is still waiting on.
    static void release();
    // For a start that waits on an ending instance: true once this process
    // is the only instance (and then marked as running, as above).
    static bool takeOver(const QString& programName);
};

}  // namespace qpt
