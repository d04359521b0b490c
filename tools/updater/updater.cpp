#include "updater.h"

#include "internet/update/installation.h"
#include "internet/update/online_files.h"
#include "internet/update/release_keys.h"
#include "internet/update/release_manifest.h"
#include "internet/update/update_host.h"

#include "common/app_folder.h"
#include "common/program_starter.h"
#include "common/single_instance.h"

#include <QDebug>

namespace qpt::updater {

using namespace qpt::internet;

namespace {
// "v1.00": a version is a short line.
constexpr qint64 kMaxVersionBytes = 64;
}  // namespace

Updater::Updater(const QString& folder, QObject* parent) : QObject(parent), m_folder(folder)
{
    m_pollTimer.setInterval(100);
    connect(&m_pollTimer, &QTimer::timeout, this, &Updater::look);
}

void Updater::start()
{
    m_clock.start();
    m_pollTimer.start();
    look();
}

bool Updater::onlineSystemRuns() const
{
    // Every running Online System holds its single-instance lock.
    return SingleInstance::isRunning(QLatin1String(programs::Internet));
}

void Updater::look()
{
    if (m_done)
        return;
    if (!onlineSystemRuns())
        finish(false);
    else if (m_clock.elapsed() >= m_waitLimitMs)
        finish(true);
}

bool Updater::replaceVerified(const KeptUpdate& kept)
{
    const auto manifest = readSmallFile(kept.manifest, release::kMaxManifestBytes);
    const auto signature = readSmallFile(kept.signature, release::kMaxSignatureFileBytes);
    // The Online System that accepted the image said which version it was:
    // this updater is not updated with it, so its own idea would be stale.
    const auto replaces = readSmallFile(kept.replaces, kMaxVersionBytes);
    if (!manifest || !signature || !replaces || !release::isReleaseVersion(QString::fromLatin1(*replaces)))
        return false;
    const release::ReleaseCheck check = release::checkRelease(
        *manifest, *signature, release::trustedKeys(), QDateTime::currentDateTimeUtc(), latestReleaseSeen());
    const QString name = host::imageName(host::OnlineSystemImage);
    const release::ReleaseImage* signedImage = check.manifest.find(name);
    const release::OfferCheck offer = release::checkOffer(check, name, signedImage ? signedImage->version : QString(),
                                                          QString::fromLatin1(*replaces));
    if (offer.backing != release::Backing::Installable) {
        qWarning() << "osupdater: the kept Online System is not a signed newer release";
        return false;
    }
    // The copy put in place is checked against the signed size and digest
    // as it is made.
    StagedProgram staged(programPath(m_folder, programs::Internet), kept.image, &offer.image);
    return staged.isReady() && staged.commit();
}

void Updater::finish(bool waitedOut)
{
    m_done = true;
    m_pollTimer.stop();
    Outcome outcome;
    outcome.waitedOut = waitedOut;
    if (const auto kept = keptUpdate()) {
        outcome.replaced = replaceVerified(*kept);
        // Whatever became of it, what was kept is not tried again.
        kept->remove();
    }
    // A second Online System beside one that never ended would only end
    // again at once.
    if (!waitedOut)
        outcome.started = ProgramStarter::start(programPath(m_folder, programs::Internet), QString(),
                                                WindowStyle::NormalFocus);
    emit finished(outcome);
}

}  // namespace qpt::updater
