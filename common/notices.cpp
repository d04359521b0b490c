#include "notices.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/native_path.h"

#include <algorithm>

namespace qpt::notices {

QString folderNotWritableText(const QString& folder)
{
    return QStringLiteral("The folder %1 cannot be written.\r\n"
                          "Quorbel Player Tirk adds music through files it writes there, so nothing can be "
                          "added to the PlayList until the folder is writable for you.")
        .arg(folder);
}

void folderNotWritableOnce()
{
    static bool shown = false;
    if (shown)
        return;
    shown = true;
    Dialogs::show(QStringLiteral("Folder Not Writable"), folderNotWritableText(AppFolder::path()),
                  MsgIcon::Exclamation, MsgButtons::Ok);
}

void settingsNotSaved(const QString& settingsFile)
{
    Dialogs::show(QStringLiteral("Settings Not Saved"),
                     QStringLiteral("The settings cannot be saved in %1.\r\n"
                                    "Quorbel Player Tirk runs with the default options; make that file "
                                    "writable to keep options of your own.")
                         .arg(settingsFile),
                  MsgIcon::Exclamation, MsgButtons::Ok);
}

void playlistTooLarge(const QString& playlist)
{
    Dialogs::show(QStringLiteral("PlayList Too Large"),
                     QStringLiteral("%1 is larger than 64 MB, which no PlayList is.\r\nIt was not added.")
                         .arg(playlist),
                  MsgIcon::Exclamation, MsgButtons::Ok);
}

QString playlistNotSavedTitle()
{
    return QStringLiteral("PlayList Not Saved");
}

QString playlistNotSavedText(const QString& file, const QString& cause)
{
    return QStringLiteral("The PlayList could not be saved in %1:\r\n%2.\r\n"
                          "The file there before, if any, was left as it was.")
        .arg(file, cause);
}

void playlistNotSaved(const QString& file, const QString& cause, QObject* context, std::function<void()> done)
{
    Dialogs::show(playlistNotSavedTitle(), playlistNotSavedText(file, cause), MsgIcon::Exclamation,
                  MsgButtons::Ok, context, [done = std::move(done)](MsgAnswer) {
                      if (done)
                          done();
                  });
}

QString songsNotAddedText(qint64 songs, int cap)
{
    return (songs == 1 ? QStringLiteral("1 song was not added: ")
                       : QStringLiteral("%1 songs were not added: ").arg(songs))
         + QStringLiteral("the PlayList holds at most %1 songs.").arg(cap);
}

void songsNotAdded(qint64 songs, int cap)
{
    Dialogs::show(QStringLiteral("PlayList Full"), songsNotAddedText(songs, cap), MsgIcon::Exclamation,
                  MsgButtons::Ok);
}

QString lineBreakNamesTitle()
{
    return QStringLiteral("File Not Added");
}

QString lineBreakNamesText(const QList<QByteArray>& paths)
{
    constexpr qsizetype kNamed = 10;
    QString text = paths.size() == 1
                     ? QStringLiteral("This file was not added to the PlayList: its name holds a line break, "
                                      "which a PlayList cannot keep.")
                     : QStringLiteral("These %1 files were not added to the PlayList: their names hold line "
                                      "breaks, which a PlayList cannot keep.")
                           .arg(paths.size());
    for (qsizetype i = 0; i < std::min(paths.size(), kNamed); ++i) {
        // The break itself shown as a visible mark, so the name reads as one.
        QString name = nativepath::displayText(paths[i]);
        name.replace(QLatin1Char('\n'), QStringLiteral("\u21b5")).replace(QLatin1Char('\r'), QStringLiteral("\u21b5"));
        text += QStringLiteral("\r\n") + name;
    }
    if (paths.size() > kNamed)
        text += QStringLiteral("\r\n... and %1 more").arg(paths.size() - kNamed);
    return text;
}

void lineBreakNames(const QList<QByteArray>& paths)
{
    if (!paths.isEmpty())
        Dialogs::show(lineBreakNamesTitle(), lineBreakNamesText(paths), MsgIcon::Exclamation, MsgButtons::Ok);
}

}  // namespace qpt::notices
