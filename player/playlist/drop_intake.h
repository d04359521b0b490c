#pragma once
// Files and folders dropped from a file manager become batch files: music
// files collect in "dragdrop<N>.drg", which is published as
// "dragdrop<N>.sng" only when the whole drop has been walked; a dropped
// playlist's lines go to "dragdropvyx<N>.sng". Folders are walked level by
// level: first the dropped items themselves, then the entries of every
// dropped folder, then theirs. While it works, the now-playing line shows
// a small animation (progress()).
//
// The walk looks at the user's files (a share may stop answering in the
// middle of it), so it runs on a thread of its own, one drop after the
// other; what it has to say comes back to the window thread as queued
// signals. A name that holds a line break is refused, never split.

#include "common/native_path.h"
#include "common/serial_worker.h"
#include "player/core/player_state.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

namespace qpt {

class PlaybackEngine;

class DropIntake : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kAdding = "Adding Dragged File(s) To PlayList...";

    explicit DropIntake(PlaybackEngine& engine, QObject* parent = nullptr);
    ~DropIntake() override;

    // A drop waits in the queue until process() runs.
    void queue(const QList<NativePath>& paths);
    bool hasQueued() const { return !m_waiting.isEmpty(); }
    // Walks what is queued down to the last folder and publishes the batch,
    // on the walker's thread.
    void process();
    // A walk is waiting or under way.
    bool isWalking() const { return m_walks > 0; }

signals:
    // The now-playing line's text while the drop is worked through.
    void progress(const QString& text);
    // The drop is done (or given up): the now-playing line may come back.
    void finished();
    void errorOccurred(PlayerError error, const QString& detail);
    // Names the walk refused (they hold a line break).
    void refused(const QList<QByteArray>& paths);

private:
    struct Walk;

    PlaybackEngine& m_engine;
    QList<NativePath> m_waiting;  // dropped, not handed to the walker yet
    // One batch number for the drops walked one after the other.
    std::optional<int> m_batchNumber;
    std::shared_ptr<Walk> m_walk;  // touched by the walker's jobs only
    std::atomic_int m_walks = 0;
    SerialWorker m_walker{"drop walker"};
};

}  // namespace qpt
