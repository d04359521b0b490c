#pragma once
// FileAssociation: registers file types with the desktop so that opening
// such a file runs "Quorbel Tirk Executer.exe" with the file.
//
// All types share one program identifier, "MyApp.Document", described as
// "Quorbel Music File". On a freedesktop desktop that is:
//   - the desktop entry MyApp.Document.desktop in the user's applications
//     folder ($XDG_DATA_HOME/applications), whose Exec line runs the
//     executer with the opened files;
//   - for each extension, its MIME type made the user's default for that
//     entry in $XDG_CONFIG_HOME/mimeapps.list;
//   - a user MIME package ($XDG_DATA_HOME/mime/packages) giving the
//     extensions that the shared MIME database does not know (*.mp1, *.cda,
//     *.vyx) a type of ours;
//   - the MIME and desktop databases updated when their tools exist.
// mimeapps.list is changed only once the desktop entry and the MIME package
// are in place, so that the user's defaults never point at an entry that
// does not exist; a list that cannot be read is never rewritten.

#include <QString>
#include <QStringList>

namespace qpt::option {

class FileAssociation {
public:
    static constexpr const char* kProgramId = "MyApp.Document";
    static constexpr const char* kDescription = "Quorbel Music File";

    // "MyApp.Document.desktop"
    static QString desktopId();
    static QString desktopEntryPath();
    static QString mimeAppsListPath();
    static QString mimePackagePath();

    // The Exec value that opens files with the executer at this path: the
    // path quoted and escaped as freedesktop desktop entries require,
    // then %F so that several selected files reach one executer.
    static QString execLine(const QString& executerPath);
    // One argument of an Exec line, quoted when it holds a reserved
    // character, in the form stored in the file.
    static QString execArgument(const QString& argument);

    // The MIME types an extension stands for: the shared database's audio
    // types for it, else any type it knows, else a type of ours.
    static QStringList mimeTypesFor(const QString& extension);
    // Our own type for an extension the shared database does not know.
    static QString ownMimeType(const QString& extension);
    static bool isOwnMimeType(const QString& name);

    // What a registration could not do.
    struct Outcome {
        QStringList unwritten;       // files that could not be written (or read)
        bool defaultsChanged = true;  // false: mimeapps.list was left as it was
        bool succeeded() const { return unwritten.isEmpty(); }
    };

    // Registers the extensions for the executer at this path.
    static Outcome registerExtensions(const QStringList& extensions, const QString& executerPath);

    // mimeapps.list with the types' defaults set to the desktop entry (and
    // the entry added to their associations, taken out of the removed
    // ones); every other line is kept as it was.
    static QString withDefaults(const QString& mimeAppsList, const QStringList& types, const QString& desktopId);

    // The types the file-association window offers, in the order of its
    // list: the eight of its "Default" button, then the later formats
    // (FLAC, Ogg, Opus, M4A), which are never associated by default.
    static const QStringList& offeredExtensions();
    static const QStringList& defaultExtensions();
};

}  // namespace qpt::option
