#pragma once
// The start-up pass of the Online System: fetch the version file, compare
// the published versions of the player, the Option program and the Online
// System with the installed ones, offer each newer one and install it when
// the user says Yes. A pass that installed the player or the Option program
// starts again (START); a pass that failed asks Retry or Cancel.
//
// The check knows the main window only as an UpdateDisplay, so that it
// reads as the sequence it is and runs against any display.

#include "download.h"
#include "program_image.h"
#include "version_file.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace qpt::internet {

class OnlineSystem;
class ProgressWindow;

// What the check shows on the main window.
class UpdateDisplay {
public:
    // The browser goes to this address or local file.
    virtual void showPage(const QString& urlOrPath) = 0;
    virtual void setStatus(const QString& text) = 0;
    virtual void appendStatus(const QString& text) = 0;
    // The caption as the window starts with it; text added at its end.
    virtual void resetCaption() = 0;
    virtual void appendToCaption(const QString& text) = 0;
    // The main window comes up in front.
    virtual void showWindow() = 0;
    // The main window goes into the topmost band ("OSOT").
    virtual void putOnTop() = 0;
    // The window the questions belong to (none while it is hidden).
    virtual QWidget* dialogParent() = 0;

protected:
    ~UpdateDisplay() = default;
};

// How much the update host may send and how long it may stay silent, and
// how long an open Option program is given to close before its file is
// replaced.
struct UpdateLimits {
    qint64 versionFileBytes = kMaxVersionFileBytes;
    qint64 imageBytes = ImageLimits{}.maxBytes;
    int idleMs = ImageLimits{}.idleMs;
    int optionCloseMs = 10000;
};

class UpdateCheck : public QObject {
    Q_OBJECT
public:
    UpdateCheck(OnlineSystem& system, UpdateDisplay& display, ProgressWindow& progress);

    // Runs passes until one finishes, the user cancels or the program ends.
    void run();
    // Stops the transfer in progress (the program is ending).
    void cancelTransfer() { m_downloader.cancel(); }
    // Whether a pass has set "OSRunning", which the end of the program
    // then sets back.
    bool hasMarkedRunning() const { return m_markedRunning; }

    Downloader& downloader() { return m_downloader; }
    void setLimits(const UpdateLimits& limits) { m_limits = limits; }

    // "Quorbel Player Tirk v1.00" -> "v1.00"; empty -> "v": everything up
    // to the last "v" goes, and a "v" comes in front.
    static QString normalisePlayerVersion(const QString& stored);
    // The box that tells once per run that the program's folder cannot be
    // written (and so nothing can be updated).
    static QString folderNotWritableText(const QString& folder);

private:
    // Where a pass, or one of its steps, ends. Continue: the next step.
    enum class Outcome { Continue, Again, Finished, Failed, Ended };
    struct Offer;

    Outcome startPass();
    Outcome noConnection();
    Outcome keepVersionCopy(const QByteArray& bytes);
    Outcome checkPlayer(const VersionFile& published, const QString& installed);
    Outcome checkOption(const VersionFile& published);
    Outcome checkOnlineSystem(const VersionFile& published);
    void finishPass(const VersionFile& published);
    // Shows the window with the offer and installs on Yes.
    Outcome offerNewer(const Offer& offer);

    Outcome playerUpdate();
    Outcome optionUpdate();
    Outcome onlineSystemUpdate();

    std::optional<VersionFile> downloadVersionFile(QByteArray& bytes);
    // The accepted image of a host file; Failed when it was refused.
    Outcome downloadImage(const char* hostFile, std::unique_ptr<ProgramImage>& image);
    // The player's folder ("AppPath") when it names one.
    std::optional<QString> installFolder() const;
    // Waits for an open Option program to close; false when the program ended.
    bool waitForOptionToClose();
    bool ended() const;
    Outcome failed(const char* why) const;

    OnlineSystem& m_system;
    UpdateDisplay& m_display;
    ProgressWindow& m_progress;
    Downloader m_downloader;
    UpdateLimits m_limits;
    bool m_markedRunning = false;
    bool m_folderNoticeShown = false;
};

}  // namespace qpt::internet
