#include "player/playlist/drop_processing.h"

#include "common/app_folder.h"
#include "common/failures.h"
#include "player/core/player_context.h"
#include "player/playlist/song_line.h"
#include "player/playlist/text_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qpt {

namespace {
const QString kPlea = QStringLiteral(" Plea");
const QString kPleaseWai = QStringLiteral(" Please Wai");
const QString kPleaseWait3 = QStringLiteral(" Please Wait...");
const QString kPleaseWait2 = QStringLiteral(" Please Wait..");
const QString kPleaseWait1 = QStringLiteral(" Please Wait.");
}  // namespace

DropProcessing::DropProcessing(PlayerContext& context) : c(context) {}

void DropProcessing::setLabel(const QString& suffix)
{
    c.display.lblNowPlaying.setText(QLatin1String(kAdding) + suffix);
}

void DropProcessing::queuePaths(const QStringList& paths)
{
    setLabel(QString());
    for (const QString& path : paths) {
        c.playlist.lstDragDropDirSup.AddItem(path);
        yieldEvents();
    }
}

void DropProcessing::dropOnMainWindow(const QStringList& paths)
{
    queuePaths(paths);
    c.s.DropPending = QStringLiteral("DRAG");
    c.timPlayListFocus.setInterval(50);
}

void DropProcessing::dropOnPlaylist(const QStringList& paths)
{
    queuePaths(paths);
    ProcessDropQueue();
}

QString DropProcessing::extensionScanned(const QString& path)
{
    // Scanned from the end one character at a time, letting events run.
    int i = int(path.size()) - 1;
    for (; i >= 0; --i) {
        yieldEvents();
        if (path[i] == QLatin1Char('.'))
            break;
    }
    return (i < 0 ? path : path.mid(i + 1)).toUpper();
}

void DropProcessing::classificationPass(int number)
{
    ListBox& queue = c.playlist.lstDragDropDirSup;
    const QString drg = AppFolder::file(QStringLiteral("dragdrop%1.drg").arg(number));
    const QString vyx = AppFolder::file(QStringLiteral("dragdropvyx%1.sng").arg(number));
    setLabel(kPlea);
    yieldEvents();
    while (!queue.isEmpty()) {
        const QString path = queue.List(0);
        queue.RemoveItem(0);
        const QString extension = extensionScanned(path);
        setLabel(kPleaseWai);
        yieldEvents();
        if (songline::isMusicExtension(extension)) {
            setLabel(kPleaseWait3);
            yieldEvents();
            textlines::append(drg, {path});
        } else if (songline::isPlaylistExtension(extension)) {
            setLabel(kPleaseWait3);
            yieldEvents();
            textlines::append(vyx, textlines::readAll(path));
            setLabel(kPlea);
            yieldEvents();
        } else {
            c.playlist.lstDrapDropDirs.AddItem(path);
            setLabel(kPlea);
            yieldEvents();
        }
    }
}

void DropProcessing::ProcessDropQueue()
{
    if (!m_batchNumber)
        m_batchNumber = c.s.CurrentIndex;
    const int number = *m_batchNumber;
    try {
        classificationPass(number);
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
            tryStep([&] { textlines::append(sng, textlines::readAll(drg)); });
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
        const QString folder = folders.List(0);
        const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        setLabel(kPleaseWait2);
        yieldEvents();
        folders.RemoveItem(0);
        const QFileInfo info(folder);
        const QString canonical = info.canonicalFilePath();
        if (info.isDir() && !canonical.isEmpty() && !m_listed.contains(canonical)) {
            m_listed.insert(canonical);
            const QStringList entries =
                QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& name : entries) {
                setLabel(kPleaseWait1);
                yieldEvents();
                setLabel(kPleaseWait3);
                yieldEvents();
                c.playlist.lstDragDropDirSup.AddItem(prefix + name);
                setLabel(kPleaseWait2);
                yieldEvents();
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
