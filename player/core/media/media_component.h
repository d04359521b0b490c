#pragma once
// The media component: the one place the player plays audio through.
// Assigning an address starts playback by itself; play-state notifications
// follow from the event loop. Positions and durations are in
// seconds, the volume runs 0..100.

#include <QByteArray>
#include <QObject>
#include <QString>

namespace qpt {

// Play-state codes, numbered as the platform control numbers them.
namespace playstate {
inline constexpr int Undefined = 0;
inline constexpr int Stopped = 1;
inline constexpr int Paused = 2;
inline constexpr int Playing = 3;
inline constexpr int Buffering = 6;
inline constexpr int MediaEnded = 8;
inline constexpr int Transitioning = 9;
inline constexpr int Ready = 10;
}  // namespace playstate

class MediaComponent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~MediaComponent() override = default;

    // An address to play and the token that names it (the playlist entry),
    // which comes back with every notice about it.
    struct Request {
        QByteArray url;
        quint64 token = 0;
        bool operator==(const Request&) const = default;
    };

    // Starts playback of the file (a path as bytes, or a URI) or CD track,
    // with the song to go on with when it ends (see setNext), so that the
    // new media knows its next from its first moment. The empty address
    // unloads the media. Only regular files are opened: anything else
    // fails at once, like a file that cannot be played.
    virtual void open(const Request& song, const Request& next) = 0;
    // open() without a token and without a next song.
    void setUrl(const QByteArray& url) { open({url, 0}, {}); }
    // The address of the media now loaded (heard, paused or starting);
    // empty before any.
    virtual QByteArray url() const = 0;
    // The token of that media: the entry every state notice is about.
    virtual quint64 token() const = 0;
    // True while the current media is an audio-CD track.
    virtual bool isCdTrack() const = 0;

    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;

    // Elapsed seconds of the current media; -1 with no media loaded, 0 before
    // playback has started.
    virtual double currentPosition() const = 0;
    // Jumps within the current media. False with no media loaded.
    virtual bool setCurrentPosition(double seconds) = 0;
    // Length of the current media in seconds; 0 until it is known.
    virtual double duration() const = 0;

    virtual int volume() const = 0;
    // Refuses a negative value (false, the volume stays as it was); values
    // above 100 are taken and play as 100.
    virtual bool setVolume(int volume) = 0;

    // A short human-readable status, shown verbatim.
    virtual QString status() const = 0;
    // Why the last address could not be played; empty when it could.
    virtual QString lastError() const = 0;
    // The last address was given up because its source gave no data in
    // time (a file on a share that does not answer).
    virtual bool gaveNoData() const { return false; }

    // The address to go on with when the current media ends, so that its
    // first sample follows the current one's last (empty: none; the end
    // of the media is then MediaEnded as always). `token` comes back with
    // `advanced` once it is heard. A change after the next song was
    // prepared still holds: what is heard next is the last one set.
    virtual void setNext(const QByteArray& url, quint64 token) = 0;

signals:
    // A change of the media's state; token() names the media it is about.
    void playStateChanged(int newState);
    // The media set with setNext is now heard (url() and token() name it).
    void advanced(quint64 token);
};

}  // namespace qpt
