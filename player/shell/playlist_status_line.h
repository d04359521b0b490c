#pragma once
// The playlist window's status line: every 5 s the next of the time and
// date, the title, the media status and the product line. Play, Pause,
// Stop and the steps write the time themselves, so the title follows next.

#include "common/poll_timer.h"

#include <QObject>
#include <QString>

namespace qpt {

class PlaybackEngine;
class MediaComponent;

class PlaylistStatusLine : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 5000;

    PlaylistStatusLine(PlaybackEngine& engine, MediaComponent& media, QObject* parent = nullptr);

    PollTimer timer;
    void tick();
    const QString& text() const { return m_text; }
    int phase() const { return m_phase; }

signals:
    void changed();

private:
    void setText(const QString& text);

    PlaybackEngine& m_engine;
    MediaComponent& m_media;
    QString m_text = QStringLiteral("Information Bar... Loading...");
    int m_phase = 0;
};

}  // namespace qpt
