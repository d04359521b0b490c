#pragma once
// The player's media-controls name on a test's private bus, asked from the
// test process: a property read is answered only by the player's window
// thread, so an answer within a second says that thread is not stuck.

#include <QString>
#include <QVariant>

#include <optional>

namespace qpt::test {

class MprisProbe {
public:
    explicit MprisProbe(const QString& busAddress);
    ~MprisProbe();

    // A property of org.mpris.MediaPlayer2.Player; nullopt when no answer
    // came within timeoutMs (or the call failed).
    std::optional<QVariant> get(const QString& property, int timeoutMs = 1000);
    // The Metadata property as a map; empty when unanswered.
    QVariantMap metadata(int timeoutMs = 1000);
    // The mpris:trackid of a Metadata map, as its path.
    static QString trackId(const QVariantMap& metadata);
    // A method of org.mpris.MediaPlayer2.Player ("Play", "Next" ...).
    bool call(const QString& method, int timeoutMs = 1000);
    // The player's name is on the bus.
    bool playerPresent();
    // How long the last call took to be answered (ms).
    qint64 lastAnswerMs() const { return m_lastMs; }

private:
    QString m_connectionName;
    qint64 m_lastMs = 0;
};

}  // namespace qpt::test
