#include "player/playlist/drop_intake.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/line_files.h"
#include "common/music_files.h"
#include "player/core/cue/cue_album.h"
#include "player/core/playback_engine.h"

#include <QFile>
#include <QSet>

#include <climits>
#include <cstdlib>

namespace qpt {

namespace {

const QString kPlea = QStringLiteral(" Plea");
const QString kPleaseWai = QStringLiteral(" Please Wai");
const QString kPleaseWait = QStringLiteral(" Please Wait...");
const QString kPleaseWait2 = QStringLiteral(" Please Wait..");

// The line shows at most this often while a drop is walked: a folder of
// thousands of files must not flood the window thread with texts.
constexpr auto kProgressEvery = std::chrono::milliseconds(50);

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

// The walk's state, on the walker's thread only.
struct DropIntake::Walk {
    enum class Pass { Done, FoldersLeft, WriteFailed };

    std::shared_ptr<ReplyChannel> owner;
    QList<NativePath> items;    // dropped paths and folder entries to classify
    QList<NativePath> folders;  // paths to list as folders
    QSet<NativePath> listed;    // folders listed during this drop (link loops end)
    QList<QByteArray> refused;
    std::chrono::steady_clock::time_point lastShown;

    // Runs on the window thread, a moment later, while the intake lives.
    void say(std::function<void(DropIntake*)> what)
    {
        owner->reply([intake = intake, what = std::move(what)] { what(intake); });
    }
    DropIntake* intake = nullptr;  // dereferenced on the window thread only

    void show(const QString& suffix, bool always = false)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!always && now - lastShown < kProgressEvery)
            return;
        lastShown = now;
        say([text = QLatin1String(kAdding) + suffix](DropIntake* intake) { emit intake->progress(text); });
    }

    bool copyPlaylist(const NativePath& playlist, const NativePath& batch)
    {
        QList<QByteArray> lines;
        switch (linefiles::readPlaylist(playlist, lines)) {
        case linefiles::PlaylistRead::Ok:
            return linefiles::append(batch, lines);
        case linefiles::PlaylistRead::TooLarge:
            say([name = nativepath::displayText(playlist)](DropIntake* intake) {
                emit intake->errorOccurred(PlayerError::PlaylistTooLarge, name);
            });
            return true;
        case linefiles::PlaylistRead::Unreadable:
            // Not a file that can be read as a playlist (a pipe, a device, no
            // permission): passed over like a song that cannot be played.
            return true;
        }
        return true;
    }

    Pass classify(int number)
    {
        const NativePath collecting = appFile(files::DropCollecting, number);
        const NativePath playlists = appFile(files::DropPlaylistBatch, number);
        show(kPlea);
        while (!items.isEmpty()) {
            const NativePath path = items.takeFirst();
            show(kPleaseWai);
            if (nativepath::holdsLineBreak(path)) {
                refused << path;
                continue;
            }
            switch (music::kindOf(path)) {
            case music::Kind::Song:
            case music::Kind::CdTrack:
            case music::Kind::CdAudio:  // a drive or a track on it: the loader reads the disc
            case music::Kind::CueSheet:  // read into its tracks as it loads
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
                folders << path;  // a folder, or nothing: listing tells
                show(kPlea);
                break;
            }
        }
        return folders.isEmpty() ? Pass::Done : Pass::FoldersLeft;
    }

    // A folder that holds an album as one file and its cue sheet adds the
    // sheet's tracks, not the whole file beside them.
    static QSet<NativePath> filesOfSheets(const NativePath& prefix, const QList<NativePath>& names)
    {
        QSet<NativePath> files;
        for (const NativePath& name : names) {
            if (music::kindOf(name) != music::Kind::CueSheet)
                continue;
            if (const std::optional<cue::Album> album = cue::readAlbum(prefix + name)) {
                for (const cue::AlbumTrack& track : album->tracks) {
                    if (track.fileFound)
                        files.insert(track.file);
                }
            }
        }
        return files;
    }

    void listFolders()
    {
        while (!folders.isEmpty()) {
            show(kPleaseWait);
            const NativePath folder = folders.takeFirst();
            const NativePath prefix = folder.endsWith('/') ? folder : folder + '/';
            show(kPleaseWait2);
            if (nativepath::kindOf(folder) != nativepath::Kind::Directory)
                continue;
            const NativePath real = canonical(folder);
            if (real.isEmpty() || listed.contains(real))
                continue;
            listed.insert(real);
            const QList<NativePath> names = nativepath::listFolder(folder);
            const QSet<NativePath> inSheets = filesOfSheets(prefix, names);
            for (const NativePath& name : names) {
                if (!inSheets.contains(prefix + name))
                    items << prefix + name;
            }
        }
    }

    void publish(int number)
    {
        const QString collectingName = QFile::decodeName(appFile(files::DropCollecting, number));
        const QString batch = QFile::decodeName(appFile(files::DropBatch, number));
        listed.clear();
        if (!QFile::exists(collectingName))
            return;
        // An earlier drop's batch of the same number that the loader has not
        // read yet is extended, never replaced.
        if (QFile::exists(batch)) {
            if (const auto lines = linefiles::readAll(QFile::encodeName(collectingName)))
                linefiles::append(QFile::encodeName(batch), *lines);
            QFile::remove(collectingName);
        } else {
            QFile::rename(collectingName, batch);
        }
    }

    // The whole drop; false when the folder could not be written.
    bool run(int number)
    {
        for (;;) {
            switch (classify(number)) {
            case Pass::Done:
                publish(number);
                return true;
            case Pass::FoldersLeft:
                listFolders();
                if (items.isEmpty()) {
                    publish(number);  // the folders held nothing more: the drop is complete
                    return true;
                }
                continue;  // a new pass over the folders' entries
            case Pass::WriteFailed:
                listed.clear();
                items.clear();
                folders.clear();
                return false;
            }
        }
    }
};

DropIntake::DropIntake(PlaybackEngine& engine, QObject* parent)
    : QObject(parent), m_engine(engine), m_walk(std::make_shared<Walk>())
{
    m_walk->owner = ReplyChannel::to(this);
    m_walk->intake = this;
}

DropIntake::~DropIntake()
{
    m_walk->owner->close();
}

void DropIntake::queue(const QList<NativePath>& paths)
{
    emit progress(QLatin1String(kAdding));
    m_waiting += paths;
}

void DropIntake::process()
{
    if (!m_batchNumber)
        m_batchNumber = m_engine.songNumber();
    const int number = *m_batchNumber;
    ++m_walks;
    m_walker.post([walk = m_walk, items = std::exchange(m_waiting, {}), number] {
        walk->items += items;
        walk->lastShown = {};
        const bool written = walk->run(number);
        const QList<QByteArray> refused = std::exchange(walk->refused, {});
        walk->say([written, refused](DropIntake* intake) {
            --intake->m_walks;
            intake->m_batchNumber.reset();
            if (!refused.isEmpty())
                emit intake->refused(refused);
            if (!written)
                emit intake->errorOccurred(PlayerError::FolderNotWritable, AppFolder::path());
            emit intake->finished();
        });
    });
}

}  // namespace qpt
