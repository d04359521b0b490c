#pragma once
// The updater of the Online System. The Online System places the new
// "internet.dat" image in its private folder together with the signed
// manifest and signature that vouch for it, starts the updater and ends;
// the updater waits for that end (looking now and then, never sleeping),
// verifies the image again as the Online System did, replaces
// "internet.dat" in its own folder with it in one step, removes what was
// kept and starts the new Online System. An image that the release key did
// not sign, or that is not newer than the Online System that downloaded it
// (it says its version beside the image), is never put in place.

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTimer>

namespace qpt::internet {
struct KeptUpdate;
}

namespace qpt::updater {

struct Outcome {
    bool waitedOut = false;  // the Online System was still running at the limit
    bool replaced = false;
    bool started = false;
};

class Updater : public QObject {
    Q_OBJECT
public:
    explicit Updater(const QString& folder, QObject* parent = nullptr);

    // How long to wait for the Online System to end, and how often to look.
    void setWaitLimit(int ms) { m_waitLimitMs = ms; }
    void setPollInterval(int ms) { m_pollTimer.setInterval(ms); }

    // Starts looking; finished() says how it went.
    void start();
    // One look: what the timer does (tests call it directly).
    void look();

signals:
    void finished(const qpt::updater::Outcome& outcome);

private:
    bool onlineSystemRuns() const;
    bool replaceVerified(const internet::KeptUpdate& kept);
    void finish(bool waitedOut);

    QString m_folder;
    int m_waitLimitMs = 120000;
    QTimer m_pollTimer;
    QElapsedTimer m_clock;
    bool m_done = false;
};

}  // namespace qpt::updater

Q_DECLARE_METATYPE(qpt::updater::Outcome)
