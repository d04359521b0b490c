#pragma once
// Command-line words with which one program starts another. The receiver
// compares its whole command line (the text after the program path) with a
// word exactly and case-sensitively; anything else is the normal mode.

#include <QString>
#include <QStringList>

namespace qpt {

namespace words {
inline constexpr const char* Fto = "fto";                           // player
inline constexpr const char* AutoFileAss = "autofileass";           // option.dat
inline constexpr const char* FirstTime = "firsttime";               // option.dat
inline constexpr const char* FirstTimeDefault = "firsttimedefault"; // option.dat
inline constexpr const char* Updatet = "updatet";                   // option.dat
}  // namespace words

class CommandLine {
public:
    // The whole command line after the program path, arguments joined by
    // one blank.
    static QString text();
    static QString fromArguments(const QStringList& argumentsWithoutProgram);
    static bool is(const char* word) { return text() == QLatin1String(word); }
};

}  // namespace qpt
