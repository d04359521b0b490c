// A program of the core half, built only by the layer tests: the player
// core and the core half of the test support, nothing of the windows. The
// call to a box below is compiled in both builds (so its header and its
// spelling are checked either way), but only the build with
// QPT_PROBE_CALLS_WINDOW=1 makes it, and that one must not link.

#include "common/dialogs.h"
#include "player/core/playlist_model.h"
#include "tests/support/test_env.h"

#include <QCoreApplication>

#ifndef QPT_PROBE_CALLS_WINDOW
#define QPT_PROBE_CALLS_WINDOW 0
#endif

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    qpt::test::TestEnv env;
    qpt::PlaylistModel playlist;
    // Discarded, the call is checked by the compiler but names nothing the
    // linker must find.
    if constexpr (QPT_PROBE_CALLS_WINDOW)
        qpt::Dialogs::show(QStringLiteral("Layers"), QStringLiteral("a box from the core"), qpt::MsgIcon::Critical,
                           qpt::MsgButtons::Ok);
    return playlist.count();
}
