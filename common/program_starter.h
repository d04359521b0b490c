#pragma once
// Starts a companion program by its full path, optionally with one command
// word, without waiting for it. The started program decides how it shows
// itself; the requested window style travels along for it to honour.

#include <QString>

namespace qpt {

enum class WindowStyle { Hidden, NormalFocus, MinimizedFocus };

class ProgramStarter {
public:
    // False when the file is missing, is not executable or cannot be
    // started. The working folder is the folder of the program.
    static bool start(const QString& path, const QString& word = QString(),
                      WindowStyle style = WindowStyle::NormalFocus);

    // The style this process was asked to show itself in (environment
    // QPT_WINDOW_STYLE set by start()); NormalFocus when none was given.
    static WindowStyle requestedStyle();
};

// A program started by another inherits its standard streams; when the
// starter is gone, a write to them must fail instead of ending the program.
void ignoreBrokenPipes();

}  // namespace qpt
