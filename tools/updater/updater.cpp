#include "updater.h"

#include "internet/installation.h"
#include "internet/online_files.h"
#include "internet/release_keys.h"
#include "internet/release_manifest.h"
#include "internet/update_host.h"

#include "common/app_folder.h"
#include "common/program_starter.h"
#include "common/single_instance.h"

#include <QDebug>

namespace qpt::updater {

using namespace qpt::internet;

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

bool Updater::replaceVerified()
{
    const auto manifest = readSmallFile(imageManifestPath(), release::kMaxManifestBytes);
    const auto signature = readSmallFile(imageSignaturePath(), release::kMaxSignatureFileBytes);
    if (!manifest || !signature)
        return false;
    const release::ReleaseCheck check = release::checkRelease(
        *manifest, *signature, release::trustedKeys(), QDateTime::currentDateTimeUtc(), latestReleaseSeen());
    const QString name = host::imageName(host::OnlineSystemImage);
    const release::ReleaseImage* signedImage = check.manifest.find(name);
    const release::OfferCheck offer = release::checkOffer(check, name, signedImage ? signedImage->version : QString(),
                                                          QLatin1String(kOnlineSystemVersion));
    if (offer.backing != release::Backing::Installable) {
        qWarning() << "osupdater: the kept Online System is not a signed newer release";
        return false;
    }
    // The copy put in place is checked against the signed size and digest
    // as it is made.
    const QString program = m_folder + QLatin1Char('/') + QLatin1String(programs::Internet);
    StagedProgram staged(program, imagePath(), &offer.image);
    return staged.isReady() && staged.commit();
}

void Updater::finish(bool waitedOut)
{
    m_done = true;
    m_pollTimer.stop();
    Outcome outcome;
    outcome.waitedOut = waitedOut;
    outcome.replaced = !imagePath().isEmpty() && replaceVerified();
    // Whatever became of it, what was kept is not tried again.
    removeKeptImage();
    // A second Online System beside one that never ended would only end
    // again at once.
    if (!waitedOut) {
        const QString program = m_folder + QLatin1Char('/') + QLatin1String(programs::Internet);
        outcome.started = ProgramStarter::start(program, QString(), WindowStyle::NormalFocus);
    }
    emit finished(outcome);
}

}  // namespace qpt::updater
