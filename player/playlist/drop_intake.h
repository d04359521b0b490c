#pragma once
// Files and folders dropped from a file manager become batch files: music
// files collect in "dragdrop<N>.drg", which is published as
// "dragdrop<N>.sng" only when the whole drop has been walked; a dropped
// playlist's lines go to "dragdropvyx<N>.sng". Folders are walked level by
// level: first the dropped items themselves, then the entries of every
// dropped folder, then theirs. While it works, the now-playing line shows
// a small animation (progress()).

#include "common/event_loop.h"
#include "common/native_path.h"
#include "player/core/player_state.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <optional>

namespace qpt {

class PlaybackEngine;

class DropIntake : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kAdding = "Adding Dragged File(s) To PlayList...";

    explicit DropIntake(PlaybackEngine& engine, QObject* parent = nullptr);

    // A drop waits in the queue until process() runs.
    void queue(const QList<NativePath>& paths);
    bool hasQueued() const { return !m_items.isEmpty(); }
    // Walks what is queued down to the last folder and publishes the batch.
    void process();

signals:
    // The now-playing line's text while the drop is worked through.
    void progress(const QString& text);
    // The drop is done (or given up): the now-playing line may come back.
    void finished();
    void errorOccurred(PlayerError error, const QString& detail);

private:
    enum class Pass { Done, FoldersLeft, WriteFailed };
    Pass classify(int number);
    void listFolders();
    void publish(int number);
    void show(const QString& suffix);
    bool copyPlaylist(const NativePath& playlist, const NativePath& batch);

    PlaybackEngine& m_engine;
    QList<NativePath> m_items;    // dropped paths and folder entries to classify
    QList<NativePath> m_folders;  // paths to list as folders
    // One batch number for the whole drop; kept across an abandoned pass so
    // that the next drop publishes what that pass collected.
    std::optional<int> m_batchNumber;
    // Folders listed during this drop (symbolic-link loops end).
    QSet<NativePath> m_listed;
};

}  // namespace qpt
