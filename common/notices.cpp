#include "notices.h"

#include "common/app_folder.h"
#include "common/dialogs.h"

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
    Dialogs::message(QStringLiteral("Folder Not Writable"), folderNotWritableText(AppFolder::path()),
                     MsgIcon::Exclamation, MsgButtons::Ok);
}

void settingsNotSaved(const QString& settingsFile)
{
    Dialogs::message(QStringLiteral("Settings Not Saved"),
                     QStringLiteral("The settings cannot be saved in %1.\r\n"
                                    "Quorbel Player Tirk runs with the default options; make that file "
                                    "writable to keep options of your own.")
                         .arg(settingsFile),
                     MsgIcon::Exclamation, MsgButtons::Ok);
}

void playlistTooLarge(const QString& playlist)
{
    Dialogs::message(QStringLiteral("PlayList Too Large"),
                     QStringLiteral("%1 is larger than 64 MB, which no PlayList is.\r\nIt was not added.")
                         .arg(playlist),
                     MsgIcon::Exclamation, MsgButtons::Ok);
}

}  // namespace qpt::notices
