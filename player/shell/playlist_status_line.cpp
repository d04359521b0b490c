#include "player/shell/playlist_status_line.h"

#include "common/product.h"
#include "player/core/media/media_component.h"
#include "player/core/playback_engine.h"
#include "player/shell/time_format.h"

namespace qpt {

namespace {

// What each phase shows, and which phase comes next.
struct Phase {
    QString (*text)(const PlaybackEngine&, const MediaComponent&);
    int next;
};

const Phase kRotation[] = {
    {[](const PlaybackEngine&, const MediaComponent&) { return timeDateNotice(); }, 1},
    {[](const PlaybackEngine& engine, const MediaComponent&) { return engine.nowPlayingTitle(); }, 2},
    {[](const PlaybackEngine&, const MediaComponent& media) { return QStringLiteral("Status: ") + media.status(); }, 3},
    {[](const PlaybackEngine&, const MediaComponent&) {
         return QStringLiteral("Quorbel Player Tirk (") + Product::website() + QLatin1Char(')');
     },
     0},
};

}  // namespace

PlaylistStatusLine::PlaylistStatusLine(PlaybackEngine& engine, MediaComponent& media, QObject* parent)
    : QObject(parent), m_engine(engine), m_media(media)
{
    timer.setHandler([this] { tick(); });
    connect(&engine, &PlaybackEngine::transportNotice, this, [this] {
        m_phase = 1;
        setText(timeDateNotice());
    });
}

void PlaylistStatusLine::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit changed();
}

void PlaylistStatusLine::tick()
{
    const Phase& phase = kRotation[m_phase];
    setText(phase.text(m_engine, m_media));
    m_phase = phase.next;
}

}  // namespace qpt
