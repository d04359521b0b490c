#pragma once
// What the update check shows, as the check sees it: the main window and
// the progress window are interfaces here, so that the check reads as the
// sequence it is, runs against any display, and needs no window of its own.

#include <QString>

class QWidget;

namespace qpt::internet {

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

// What the check shows while it fetches or installs. Its Cancel reaches
// the check as UpdateCheck::cancelTransfer().
class UpdateProgress {
public:
    // Shows it; after unload() it comes back with its first text.
    virtual void open() = 0;
    // Sets the text and shows it.
    virtual void showMessage(const QString& text) = 0;
    // Hides it; the next open() starts afresh.
    virtual void unload() = 0;
    // Whether Cancel can be pressed (a transfer is running).
    virtual void setCancellable(bool cancellable) = 0;

protected:
    ~UpdateProgress() = default;
};

}  // namespace qpt::internet
