#pragma once
// What the desktop's media controls can do with the player and read of it,
// in the player's own terms: each method goes the way of the button, key or
// bar that does the same in the windows, so that the player ends in the
// same state and shows the same. The changes of what can be read are told
// as they happen, a moment later and together, never polled.
//
// Nothing here knows the bus; MprisService carries it over.

#include "player/core/playlist_model.h"

#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>

#include <functional>
#include <QVariantMap>

namespace qpt {

class PlayerApp;

class MprisPlayer : public QObject {
    Q_OBJECT
public:
    explicit MprisPlayer(PlayerApp& app, QObject* parent = nullptr);

    // The main window back from the tray, as a click on the tray icon.
    void raise();
    // Closes as Alt+F4 does (the playlist autosaved when the option says
    // so), once the caller has had its answer.
    void quit();

    // The transport buttons and keys.
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    // Jumps by an offset; before the start to the start, past the end on
    // to the next song.
    void seek(qint64 offsetUs);
    // Jumps to a position of the song the track id names; a stale id or a
    // position outside the song is passed over.
    void setPosition(const QDBusObjectPath& trackId, qint64 positionUs);

    enum class Opened { Appended, NotSupported, Failed };
    // Appends a local music file (a playlist file: its songs) to the
    // playlist through a batch file, as the executer does. The file is
    // read and the batch written on the playlist-file worker; `done` hears
    // how it went (at once for an address that is not supported). A name
    // with a line break is not supported, and the player says so.
    void openUri(const QString& uri, std::function<void(Opened)> done);

    QString playbackStatus() const;
    QVariantMap metadata() const;
    // The volume bar: 0.0 at the bottom, 1.0 at the top.
    double volume() const;
    void setVolume(double volume);
    qint64 positionUs() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;

    // The properties whose changes are told, by their names on the bus.
    QVariantMap changingProperties() const;
    // Tells what changed since the last time (the timer calls it after
    // the player's signals).
    void refresh();
    QTimer refreshTimer;

signals:
    void propertiesChanged(const QVariantMap& changed);
    void seeked(qint64 positionUs);

private:
    PlayerApp& m_app;
    QVariantMap m_told;
};

}  // namespace qpt
