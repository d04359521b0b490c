#include "player/playlist/drop_intake.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "common/music_files.h"
#include "player/core/playback_engine.h"

#include <QFile>

#include <climits>
#include <cstdlib>

namespace qpt {

namespace {

const QString kPlea = QStringLiteral(" Plea");
const QString kPleaseWai = QStringLiteral(" Please Wai");
const QString kPleaseWait = QStringLiteral(" Please Wait...");
const QString kPleaseWait2 = QStringLiteral(" Please Wait..");

NativePath appFile(const char* pattern, int number)
{
    return QFile::encodeName(AppFolder::file(QString::fromLatin1(pattern).arg(number)));
}

NativePath canonical(const NativePath& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? NativePath(resolved) : NativePath();
}

}  // namespace

DropIntake::DropIntake(PlaybackEngine& engine, QObject* parent) : QObject(parent), m_engine(engine) {}

void DropIntake::show(const QString& suffix)
{
    emit progress(QLatin1String(kAdding) + suffix);
}

void DropIntake::queue(const QList<NativePath>& paths)
{
    show(QString());
    m_items += paths;
}

bool DropIntake::copyPlaylist(const NativePath& playlist, const NativePath& batch)
{
    QList<QByteArray> lines;
    switch (linefiles::readPlaylist(playlist, lines)) {
    case linefiles::PlaylistRead::Ok:
        return linefiles::append(batch, lines);
    case linefiles::PlaylistRead::TooLarge:
        emit errorOccurred(PlayerError::PlaylistTooLarge, nativepath::displayText(playlist));
        return true;
    case linefiles::PlaylistRead::Unreadable:
        // Not a file that can be read as a playlist (a pipe, a device, no
        // permission): passed over like a song that cannot be played.
        return true;
    }
    return true;
}

DropIntake::Pass DropIntake::classify(int number)
{
    const NativePath collecting = appFile(files::DropCollecting, number);
    const NativePath playlists = appFile(files::DropPlaylistBatch, number);
    show(kPlea);
    while (!m_items.isEmpty()) {
        const NativePath path = m_items.takeFirst();
        show(kPleaseWai);
        switch (music::kindOf(path)) {
        case music::Kind::Song:
        case music::Kind::CdTrack:
            show(kPleaseWait);
            if (!linefiles::append(collecting, {path}))
                return Pass::WriteFailed;
            break;
        case music::Kind::Playlist:
            show(kPleaseWait);
            if (!copyPlaylist(path, playlists))
                return Pass::WriteFailed;
            show(kPlea);
            break;
        case music::Kind::Other:
            m_folders << path;  // a folder, or nothing: listing tells
            show(kPlea);
            break;
        }
        // The windows stay alive between two items of a large drop.
        yieldEvents();
    }
    return m_folders.isEmpty() ? Pass::Done : Pass::FoldersLeft;
}

void DropIntake::listFolders()
{
    while (!m_folders.isEmpty()) {
        show(kPleaseWait);
        const NativePath folder = m_folders.takeFirst();
        const NativePath prefix = folder.endsWith('/') ? folder : folder + '/';
        show(kPleaseWait2);
        if (nativepath::kindOf(folder) == nativepath::Kind::Directory) {
            const NativePath real = canonical(folder);
            if (!real.isEmpty() && !m_listed.contains(real)) {
                m_listed.insert(real);
                for (const NativePath& name : nativepath::listFolder(folder))
                    m_items << prefix + name;
            }
        }
        yieldEvents();
    }
}

void DropIntake::process()
{
    if (!m_batchNumber)
        m_batchNumber = m_engine.songNumber();
    const int number = *m_batchNumber;
    for (;;) {
        switch (classify(number)) {
        case Pass::Done:
            publish(number);
            emit finished();
            return;
        case Pass::FoldersLeft:
            listFolders();
            if (m_items.isEmpty()) {
                publish(number);  // the folders held nothing more: the drop is complete
                emit finished();
                return;
            }
            continue;  // a new pass over the folders' entries
        case Pass::WriteFailed:
            m_batchNumber.reset();
            m_listed.clear();
            m_items.clear();
            m_folders.clear();
            emit errorOccurred(PlayerError::FolderNotWritable, AppFolder::path());
            emit finished();
            return;
        }
    }
}

void DropIntake::publish(int number)
{
    const QString collecting = QFile::decodeName(appFile(files::DropCollecting, number));
    const QString batch = QFile::decodeName(appFile(files::DropBatch, number));
    m_batchNumber.reset();
    m_listed.clear();
    if (!QFile::exists(collecting))
        return;
    // An earlier drop's batch of the same number that the loader has not
    // read yet is extended, never replaced.
    if (QFile::exists(batch)) {
        if (const auto lines = linefiles::readAll(QFile::encodeName(collecting)))
            linefiles::append(QFile::encodeName(batch), *lines);
        QFile::remove(collecting);
    } else {
        QFile::rename(collecting, batch);
    }
}

}  // namespace qpt
