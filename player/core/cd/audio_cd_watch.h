#pragma once
// Whether an audio CD is in a drive, for the pop-up menu's "Audio CD"
// entry. A look asks the drives on a thread of its own (a drive may take
// its time to answer) and reports back by a queued call; the last answer
// is what the menu shows meanwhile. One look at a time: a drive that does
// not answer keeps its thread, never the window thread or a second look.

#include "common/reply_channel.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

namespace qpt {

class AudioCdWatch : public QObject {
    Q_OBJECT
public:
    explicit AudioCdWatch(QObject* parent = nullptr);
    ~AudioCdWatch() override;

    // The drives looked at, in order: $QPT_CD_DEVICE when set, else
    // /dev/cdrom and /dev/sr0 .. /dev/sr3 as far as they exist.
    static QList<QByteArray> drives();

    // Starts a look unless one is under way.
    void look();
    bool looking() const { return m_looking; }
    // The first drive with an audio CD at the last look; empty: none.
    QByteArray drive() const { return m_drive; }
    bool holdsAudioCd() const { return !m_drive.isEmpty(); }

    // How a drive is asked (tests give their own).
    using Check = std::function<bool(const QByteArray& drive)>;
    void setCheck(Check check) { m_check = std::move(check); }

signals:
    // The answer of a look changed.
    void changed(bool holdsAudioCd);

private:
    void answered(const QByteArray& drive);

    Check m_check;
    QByteArray m_drive;
    bool m_looking = false;
    std::shared_ptr<ReplyChannel> m_replies = ReplyChannel::to(this);
};

}  // namespace qpt
