#include "player/playlist/drop_processing.h"

#include "common/app_folder.h"
#include "common/failures.h"
#include "common/line_files.h"
#include "player/core/player_context.h"
#include "common/notices.h"
#include "player/playlist/song_line.h"

#include <QFile>

#include <climits>
#include <cstdlib>

namespace qpt {

namespace {
const QString kPlea = QStringLiteral(" Plea");
const QString kPleaseWai = QStringLiteral(" Please Wai");
const QString kPleaseWait3 = QStringLiteral(" Please Wait...");
const QString kPleaseWait2 = QStringLiteral(" Please Wait..");
const QString kPleaseWait1 = QStringLiteral(" Please Wait.");

NativePath appFile(const QString& name)
{
    return QFile::encodeName(AppFolder::file(name));
}

NativePath canonical(const NativePath& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? NativePath(resolved) : NativePath();
}

// A step that wrote nothing because the folder refused it.
struct WriteFailure : RuntimeFailure {
    WriteFailure() : RuntimeFailure("batch file cannot be written") {}
};
}  // namespace

DropProcessing::DropProcessing(PlayerContext& context) : c(context) {}

void DropProcessing::setLabel(const QString& suffix)
{
    c.display.lblNowPlaying.setText(QLatin1String(kAdding) + suffix);
}

void DropProcessing::queuePaths(const QList<NativePath>& paths)
{
    setLabel(QString());
    for (const NativePath& path : paths)
        c.playlist.lstDragDropDirSup.AddItem(path);
    yieldEvents();
}

void DropProcessing::dropOnMainWindow(const QList<NativePath>& paths)
{
    queuePaths(paths);
    c.s.DropPending = QStringLiteral("DRAG");
    c.timPlayListFocus.setInterval(50);
}

void DropProcessing::dropOnPlaylist(const QList<NativePath>& paths)
{
    queuePaths(paths);
    ProcessDropQueue();
}

void DropProcessing::copyPlaylist(const NativePath& playlist, const NativePath& batch)
{
    QList<QByteArray> lines;
    switch (linefiles::readPlaylist(playlist, lines)) {
    case linefiles::PlaylistRead::Ok:
        if (!linefiles::append(batch, lines))
            throw WriteFailure();
        return;
    case linefiles::PlaylistRead::TooLarge:
        notices::playlistTooLarge(playlist);
        return;
    case linefiles::PlaylistRead::Unreadable:
        // Not a file that can be read as a playlist (a pipe, a device, no
        // permission): passed over like a song that cannot be played.
        return;
    }
}

void DropProcessing::classificationPass(int number)
{
    ListBox& queue = c.playlist.lstDragDropDirSup;
    const NativePath drg = appFile(QStringLiteral("dragdrop%1.drg").arg(number));
    const NativePath vyx = appFile(QStringLiteral("dragdropvyx%1.sng").arg(number));
    setLabel(kPlea);
    yieldEvents();
    while (!queue.isEmpty()) {
        const NativePath path = queue.List(0);
        queue.RemoveItem(0);
        const QByteArray extension = songline::extension(path);
        setLabel(kPleaseWai);
        yieldEvents();
        if (songline::isMusicExtension(extension)) {
            setLabel(kPleaseWait3);
            yieldEvents();
            if (!linefiles::append(drg, {path}))
                throw WriteFailure();
        } else if (songline::isPlaylistExtension(extension)) {
            setLabel(kPleaseWait3);
            yieldEvents();
            copyPlaylist(path, vyx);
            setLabel(kPlea);
            yieldEvents();
        } else {
            c.playlist.lstDrapDropDirs.AddItem(path);
            setLabel(kPlea);
            yieldEvents();
        }
    }
}

void DropProcessing::writeFailed()
{
    m_batchNumber.reset();
    m_listed.clear();
    c.playlist.lstDragDropDirSup.Clear();
    c.playlist.lstDrapDropDirs.Clear();
    c.timNowPlaying.setInterval(100);  // the now-playing line comes back
    notices::folderNotWritableOnce();
}

void DropProcessing::ProcessDropQueue()
{
    if (!m_batchNumber)
        m_batchNumber = c.s.CurrentIndex;
    const int number = *m_batchNumber;
    try {
        classificationPass(number);
    } catch (const WriteFailure&) {
        writeFailed();
        return;
    } catch (const std::exception&) {
        return;  // abandoned: what is queued waits for a later drop
    }
    if (!c.playlist.lstDrapDropDirs.isEmpty()) {
        ExpandDropFolders();
        return;
    }
    publish(number);
}

void DropProcessing::publish(int number)
{
    const QString drg = AppFolder::file(QStringLiteral("dragdrop%1.drg").arg(number));
    const QString sng = AppFolder::file(QStringLiteral("dragdrop%1.sng").arg(number));
    m_batchNumber.reset();
    m_listed.clear();
    if (QFile::exists(drg)) {
        // An earlier drop's batch of the same number that the loader has not
        // read yet is extended, never replaced.
        if (QFile::exists(sng)) {
            if (const auto lines = linefiles::readAll(QFile::encodeName(drg)))
                linefiles::append(QFile::encodeName(sng), *lines);
            QFile::remove(drg);
        } else {
            QFile::rename(drg, sng);
        }
    }
    c.timNowPlaying.setInterval(100);
}

void DropProcessing::ExpandDropFolders()
{
    ListBox& folders = c.playlist.lstDrapDropDirs;
    while (!folders.isEmpty()) {
        setLabel(kPleaseWait3);
        yieldEvents();
        const NativePath folder = folders.List(0);
        const NativePath prefix = folder.endsWith('/') ? folder : folder + '/';
        setLabel(kPleaseWait2);
        yieldEvents();
        folders.RemoveItem(0);
        const NativePath real = canonical(folder);
        if (nativepath::kindOf(folder) == nativepath::Kind::Directory && !real.isEmpty() && !m_listed.contains(real)) {
            m_listed.insert(real);
            for (const NativePath& name : nativepath::listFolder(folder)) {
                setLabel(kPleaseWait1);
                setLabel(kPleaseWait3);
                c.playlist.lstDragDropDirSup.AddItem(prefix + name);
                setLabel(kPleaseWait2);
            }
        }
        yieldEvents();
    }
    if (!c.playlist.lstDragDropDirSup.isEmpty())
        ProcessDropQueue();
    else if (m_batchNumber)
        publish(*m_batchNumber);  // the folders held nothing more: the drop is complete
    c.timNowPlaying.setInterval(100);
}

}  // namespace qpt
