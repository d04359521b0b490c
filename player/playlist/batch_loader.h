#pragma once
// The batch loader: every 1500 ms it picks up the "*.sng" batch files in the
// application folder, adds their songs to the playlist with titles and
// measured lengths, and deletes the files.

#include <QString>
#include <functional>

namespace qpt {

struct PlayerContext;

class BatchLoader {
public:
    static constexpr int kCap = 30000;

    explicit BatchLoader(PlayerContext& context);

    // The timer tick.
    void timPlaylstUpdate_Timer();

    static QString error15Text();

private:
    // Reads one batch file into the playlist. Returns false when the cap was
    // reached (the file is released and stays).
    bool loadFile(const QString& path);
    void addMusicEntry(const QString& line);
    void addCdTrackEntry(const QString& line);
    void resetLoadingState();

    PlayerContext& c;
};

}  // namespace qpt
