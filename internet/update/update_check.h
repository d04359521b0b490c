#pragma once
// The start-up pass of the Online System: fetch the version file, compare
// the published versions of the player, the Option program and the Online
// System with the installed ones, offer each newer one and install it when
// the user says Yes. A pass that installed the player or the Option program
// starts again (START); a pass that failed asks Retry or Cancel.
//
// Only what the signed release manifest backs is offered: the version file
// says what is new, the manifest says what may be installed, and an image
// is installed only with the size and SHA-256 that the manifest signs. The
// manifest is fetched and checked on every pass, whether or not anything is
// new: release information that cannot be trusted (unsigned, expired,
// older than one seen, issued ahead of the clock) is said in one box, so
// that a host that freezes or fakes updates is noticed. An offer that
// trusted release information does not back is answered with one box
// saying why, and nothing is fetched. A pass with trusted, current release
// information and nothing new says nothing.
//
// The pass is a sequence of steps driven by the event loop: each transfer,
// each box and each wait for another program ends in a signal that runs
// the next step. No step waits inside itself.
//
// The check knows the main window only as an UpdateDisplay and the
// progress window as an UpdateProgress (update_display.h).

#include "program_image.h"
#include "release_manifest.h"
#include "update_display.h"
#include "version_file.h"

#include "internet/shared/download.h"

#include "common/dialogs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace qpt::internet {

class StagedProgram;
struct KeptUpdate;

// How much the update host may send and how long it may take, and how long
// an open Option program is given to close before its file is replaced.
struct UpdateLimits {
    qint64 versionFileBytes = kMaxVersionFileBytes;
    int idleMs = 30000;
    int deadlineMs = 60000;  // the version file, the manifest, its signature
    int imageDeadlineMs = ImageLimits{}.deadlineMs;
    int optionCloseMs = 10000;
};

class UpdateCheck : public QObject {
    Q_OBJECT
public:
    // `endProgram` ends the whole program (after an update of the Online
    // System itself, or a Cancel after a failed pass).
    UpdateCheck(UpdateDisplay& display, UpdateProgress& progress, std::function<void()> endProgram);
    ~UpdateCheck() override;

    // Starts the first pass and returns; the passes go on from the event loop.
    void run();
    // The program ends: the transfer or wait in progress stops, and nothing
    // it was making stays behind (a partial image, a staged program, the
    // copy of the version file, an unanswered close request).
    void stop();
    // Between run() and the end of the pass that finishes (or the end of
    // the program).
    bool isBusy() const { return m_busy; }
    // Whether a pass has set "OSRunning", which the end of the program
    // then sets back (any thread may ask).
    bool hasMarkedRunning() const { return m_markedRunning; }
    // A transfer is running (the progress window's Cancel stops it).
    bool isTransferring() const;
    // The progress window's Cancel: the transfer in progress stops, and
    // ends as the user's own doing.
    void cancelTransfer();

    void setLimits(const UpdateLimits& limits) { m_limits = limits; }

    // The box that tells once per run that the program's folder cannot be
    // written (and so nothing can be updated).
    static QString folderNotWritableText(const QString& folder);
    // The box that tells once per run that the latest release information
    // seen could be remembered nowhere.
    static QString markNotKeptText();
    // The box after a download that found no private folder to go into.
    static QString noPrivateFolderText(const QString& problem);

signals:
    // A pass has finished with the main window shown.
    void finished();

private:
    struct Offer;
    struct Pass {
        VersionFile published;
        QByteArray manifest;   // as fetched, for the updater
        QByteArray signature;
        std::optional<release::ReleaseCheck> release;
    };
    using Step = void (UpdateCheck::*)();
    using ImageReady = std::function<void(std::unique_ptr<ProgramImage> image)>;

    void startPass();
    void versionFileArrived(const Download& download);
    // The manifest and its signature, then one box when they cannot be
    // trusted; then the programs are compared.
    void fetchRelease();
    void reportRelease();
    void checkPlayer();
    void checkOption();
    void checkOnlineSystem();
    void finishPass();
    void offerNewer(const Offer& offer, const QString& installed, const QString& published);
    void refuse(release::Backing backing, Step next);
    // One box that says why nothing can be installed; then `next`.
    void tell(const char* title, const char* text, Step next);

    void playerUpdate(const release::ReleaseImage& signedImage);
    void optionUpdate(const release::ReleaseImage& signedImage);
    void onlineSystemUpdate(const release::ReleaseImage& signedImage);

    // The small files of the host: the body, or the end it came to.
    void fetch(const char* hostFile, qint64 maxBytes, std::function<void(const Download&)> then);
    void downloadImage(const char* hostFile, const release::ReleaseImage& signedImage, ImageReady then);
    bool keepReleaseForUpdater(const KeptUpdate& kept) const;
    // Runs `then` once the condition holds (looked at every 50 ms), or once
    // limitMs have passed (0: no limit).
    void waitFor(std::function<bool()> condition, int limitMs, std::function<void()> then);
    void waitTick();

    // A box whose answer continues the pass (unless the program has ended).
    void ask(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons,
             std::function<void(MsgAnswer)> then);
    // Retry or Cancel after a pass that did not come through.
    void askRetry(const char* title, const char* text, MsgIcon icon);
    void noConnection();
    // The host's certificate did not hold (or no secure connection could be made).
    void hostNotTrusted();
    // No private folder for an image: the box names the places and why.
    void noPrivateFolder();
    void cancelled();
    void failed(const char* why);

    std::optional<QString> installFolder() const;
    void removeVersionCopy();
    void withdrawCloseRequest();

    UpdateDisplay& m_display;
    UpdateProgress& m_progress;
    std::function<void()> m_endProgram;
    UpdateLimits m_limits;
    Transfer m_transfer;
    ImageDownload m_imageDownload;
    std::unique_ptr<StagedProgram> m_staged;
    Pass m_pass;

    QTimer m_waitTimer;
    QElapsedTimer m_waitClock;
    int m_waitLimitMs = 0;
    std::function<bool()> m_waitCondition;
    std::function<void()> m_waitThen;

    bool m_busy = false;
    bool m_stopped = false;
    std::atomic_bool m_markedRunning = false;
    bool m_folderNoticeShown = false;
    bool m_markNoticeShown = false;
    bool m_closeRequested = false;  // "shutdown.os" is ours to take back
};

}  // namespace qpt::internet
