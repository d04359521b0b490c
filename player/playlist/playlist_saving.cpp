#include "player/playlist/playlist_saving.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/failures.h"
#include "player/core/player_context.h"

#include <QSaveFile>

namespace qpt {

PlaylistSaving::PlaylistSaving(PlayerContext& context) : c(context) {}

QByteArray PlaylistSaving::fileBytes(const QByteArray& collectedText)
{
    return collectedText + "\r\n";
}

bool PlaylistSaving::writePlaylistFile(const QString& path, const QByteArray& collectedText)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = fileBytes(collectedText);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void PlaylistSaving::SavePlayList(bool leftButton, SavingWindows& windows)
{
    c.s.ResumeAfterReload.clear();
    if (!leftButton)
        return;
    try {
        ListBox& order = c.playlist.lstPlayListSource;
        if (order.isEmpty()) {
            windows.hidePopupMenu();
            Dialogs::message(QStringLiteral("NO MUSIC TO SAVE"), QStringLiteral("No music in PlayList"),
                             MsgIcon::Information, MsgButtons::Ok);
            return;
        }
        windows.showNowSaving();
        c.s.PlaylistText.clear();
        c.s.StopRequest = QStringLiteral("STOP");
        c.timSavePlayList.setInterval(10);
        order.setListIndex(0);
        c.s.PlaylistText += order.List(0) + "\r\n";
        while (order.ListIndex() != order.ListCount() - 1) {
            order.setListIndex(order.ListIndex() + 1);
            c.s.PlaylistText += order.List(order.ListIndex()) + "\r\n";
            yieldEvents();
            if (c.s.SaveCancelRequest == QLatin1String("STOP")) {
                c.s.SaveCancelRequest.clear();
                c.s.PlaylistText.clear();
                return;
            }
        }
        windows.unloadNowSaving();
        // The menu is topmost: hidden before the dialog, never over it.
        windows.hidePopupMenu();
        const QString name = Dialogs::saveFile(QLatin1String(kSaveTitle), QLatin1String(kSaveFilter),
                                               /*confirmOverwrite=*/true);
        if (!name.isEmpty())
            writePlaylistFile(name, c.s.PlaylistText);
    } catch (const std::exception&) {
    }
}

void PlaylistSaving::autosaveAndQuit()
{
    if (!c.playlist.lstPlayListSource.isEmpty()) {
        tryStep([&] { c.shell.hideMainWindow(); });
        yieldEvents();
        writeAutosave();
    }
    c.shell.unloadMainWindow();
}

void PlaylistSaving::writeAutosave()
{
    ListBox& order = c.playlist.lstPlayListSource;
    if (!order.isEmpty()) {
        c.s.PlaylistText.clear();
        // Walks the selection through every entry; songs the loader adds
        // meanwhile are taken too.
        tryStep([&] {
            order.setListIndex(-1);
            while (order.ListIndex() + 1 < order.ListCount()) {
                order.setListIndex(order.ListIndex() + 1);
                c.s.PlaylistText += order.List(order.ListIndex()) + "\r\n";
                yieldEvents();
            }
        });
        writePlaylistFile(AppFolder::file(QStringLiteral("autosavedlist.aut")), c.s.PlaylistText);
    }
}

}  // namespace qpt
