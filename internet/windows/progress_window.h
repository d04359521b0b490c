#pragma once
// The progress window shown while the Online System fetches information or
// installs an update: one line of text with a shadow, always on top, and
// dragged by its surface. Its Cancel button stops the transfer in progress;
// it can be pressed only while one runs.

#include "internet/update/update_display.h"

#include "skin/caption_label.h"
#include "skin/label_button.h"
#include "skin/skinned_window.h"

namespace qpt::internet {

class ProgressWindow : public SkinnedWindow, public UpdateProgress {
    Q_OBJECT
public:
    static constexpr const char* kInitialText = "Downloading Data... Please Wait...";

    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shows the window. A window that was unloaded comes back with the
    // initial text, in the topmost band.
    void open() override;
    // Sets the text and shows the window.
    void showMessage(const QString& text) override;
    // Hides the window; the next open() starts afresh.
    void unload() override;

    void setMessage(const QString& text);
    QString message() const { return textLabel->caption(); }

    // Whether Cancel can be pressed (a transfer is running).
    void setCancellable(bool cancellable) override;

    // The text in grey and, 120 twips right and below, its dark grey
    // shadow; both always show the same text.
    CaptionLabel* textLabel;
    CaptionLabel* shadowLabel;
    LabelButton* cancelButton;

signals:
    void cancelRequested();

private:
    bool m_loaded = false;
    bool m_placed = false;  // where the user dragged it stays
};

}  // namespace qpt::internet
