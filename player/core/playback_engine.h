#pragma once
// The transport operations and the reaction to the media component's
// play-state notifications. The play order is the playlist's hidden source
// list; its selection is the playback cursor.

#include <QString>

namespace qpt {

struct PlayerContext;

class PlaybackEngine {
public:
    explicit PlaybackEngine(PlayerContext& context);

    void PlaySong();
    void PauseSong();
    void StopSong();
    void NextSong();
    void PreviousSong();
    void PlayStateNotice(int newState);

    // Marks the song just started: the row NowPlayingRow (0 read as 1) goes
    // bold, or row 1 when the start wrapped round. Throws on a missing row.
    void markStartedSong();

    // The one-line product notice the now-playing line keeps while stopped.
    static QString productNotice();

    // Counts every Stop: an operation that yields compares it before and
    // after, so that a Stop that ran in between always wins.
    quint64 stopCount() const { return m_stops; }

private:
    // The first steps of Next and Previous; false with an empty playlist.
    bool beginStep();
    // Steps shared by Next and Previous once the cursor is placed: looks,
    // status bar notice, start, mark, enable.
    void startCursorEntry();
    void restoreStepButtons();

    PlayerContext& c;
    quint64 m_stops = 0;
};

}  // namespace qpt
