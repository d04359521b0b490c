#pragma once
// Files the Online System makes that must not outlive it: a partial program
// image, a program staged beside the one it replaces, the copy of the
// version file, the close request to the player. Each is noted when it is
// made and forgotten when it is removed or handed on (renamed into place,
// kept for the updater).
//
// The orderly end removes them through their owners. removeAll() is for
// the end that cannot wait for the window thread (a termination signal
// while it does not answer): it runs on any thread, and only unlinks.

#include <QString>

namespace qpt::internet::leftovers {

void note(const QString& path);
void forget(const QString& path);
// Removes every file noted (a link at the name is removed, not followed).
void removeAll();

}  // namespace qpt::internet::leftovers
