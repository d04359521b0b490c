#pragma once
// Which threads open batch files: this test program's own `open` and
// `opendir` stand in for the C library's (the program's definitions come
// first for every library it loads) and count, while armed, the opens of
// files whose names end in ".sng" and the listings of one folder, by
// whether the thread that armed the witness (the window thread) made them.

#include <QByteArray>

namespace qpt::test::openwitness {

struct Counts {
    int windowThread = 0;
    int otherThreads = 0;
};

// Counts from now on; the calling thread is the window thread.
void arm(const QByteArray& folder);
// Stops counting; what was counted since arm().
Counts disarm();

}  // namespace qpt::test::openwitness
