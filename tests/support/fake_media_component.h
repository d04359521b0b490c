#pragma once
// A media component for the logic tests: it plays nothing, records what it
// was asked and lets the test set position, duration and notifications.

#include "player/core/media/media_component.h"

#include <QStringList>
#include <QVector>

namespace qpt {

class FakeMediaComponent : public MediaComponent {
    Q_OBJECT
public:
    using MediaComponent::MediaComponent;

    void open(const Request& song, const Request& next) override;
    QByteArray url() const override { return m_url; }
    quint64 token() const override { return m_token; }
    bool isCdTrack() const override { return m_url.toLower().endsWith(".cda"); }
    void play() override;
    void pause() override;
    void stop() override;
    double currentPosition() const override { return position; }
    bool setCurrentPosition(double seconds) override;
    double duration() const override { return length; }
    int volume() const override { return m_volume; }
    bool setVolume(int volume) override;
    QString status() const override { return statusText; }
    QString lastError() const override { return errorText; }

    // Sends a notification as the real component would.
    void notify(int state) { emit playStateChanged(state); }
    // As the real one: the same next again changes nothing.
    void setNext(const QByteArray& url, quint64 token) override
    {
        if (url == next && token == nextToken)
            return;
        next = url;
        nextToken = token;
        ++nextSets;
    }
    // The song set with setNext is heard now, as the real component says
    // when it went on without a gap.
    void advance()
    {
        m_url = next;
        m_token = nextToken;
        next.clear();
        nextSets = 0;
        emit advanced(m_token);
    }
    // Gives up on the address as the real component does when it cannot
    // be opened.
    void fail(const QString& reason)
    {
        errorText = reason;
        position = -1;
        emit playStateChanged(playstate::Stopped);
    }

    // Test knobs and records.
    double position = -1;
    double length = 0;
    QString statusText = QStringLiteral("Ready");
    QString errorText;
    bool notifyOnSetUrl = true;     // emit Transitioning, Playing after setUrl
    QStringList calls;              // "url <path>", "play", "pause", "stop", "seek <s>"
    QVector<int> volumeWrites;      // every accepted volume value
    QVector<double> seeks;
    QByteArray next;               // what setNext handed over
    quint64 nextToken = 0;
    int nextSets = 0;              // changes of the next song since the song started

private:
    QByteArray m_url;
    quint64 m_token = 0;
    int m_volume = 100;
};

}  // namespace qpt
