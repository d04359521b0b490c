#pragma once
// The player's program-wide variables. One instance lives for the process;
// every part of the player reads and writes the same names.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace qpt {

struct PlayerShared {
    // Playback
    QString PlayerState;          // "", "LOADING", "PAUSE", "STOPPED"
    qint16 CurrentIndex = 0;      // playback position in the play order
    qint16 NowPlayingRow = 0;     // bold row of the playlist view, 0 read as 1
    QString NowPlayingTitle;      // title of the song last started
    QString RunLookPending;       // "RUN": the status tick shows the playing look
    QString LinkActive;           // "OK": the now-playing line is the web link
    QString TimeMode;             // "B": remaining time, "": elapsed time

    // Posted commands and requests
    QString PendingCommand;       // "AUTOSAVE", "SORTING", "MINI", "PLAYPAUSE", "PLSLIST", "N", "P", "OP", "INTER"
    QString ResumeAfterReload;    // "STOP": start the next song after the reload
    QString StopRequest;          // "STOP": stop playback on the next command tick
    QString SaveCancelRequest;    // "STOP": abandon a running Save PlayList
    QString DropPending;          // "DRAG": a drop on the main window waits

    // Playlist window
    QByteArray PlaylistText;      // collected playlist file content
    qint16 StatusPhase = 0;       // 0..3, next status bar text
    QString PlaylistOpen = QStringLiteral("NO");
    bool PlaylistDocked = false;
    QString PlaylistNoFade;       // "NOT": show and hide without fading

    // Bars
    bool SeekDragging = false;
    double VolumeLevel = 0;

    // Song length services
    QByteArray MeasuredPath;
};

}  // namespace qpt
