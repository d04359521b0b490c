#pragma once
// The progress window shown while the Online System fetches information or
// installs an update: one line of text with a shadow, always on top, and
// dragged by its surface. Its Cancel button stops the transfer in progress;
// it can be pressed only while one runs.

#include "skinned.h"

namespace qpt::internet {

class FrmGettingInfo : public SkinnedWindow {
    Q_OBJECT
public:
    static constexpr const char* kInitialText = "Downloading Data... Please Wait...";

    explicit FrmGettingInfo(QWidget* parent = nullptr);

    // Shows the window, loading it first when it is not loaded (a fresh
    // load starts with the initial text and puts the window on top).
    void showWindow();
    // Loads the window (if needed), sets the text of both labels and shows it.
    void showMessage(const QString& text);
    // Closes (unloads) the window.
    void closeWindow();
    bool isLoaded() const { return m_loaded; }

    // Both labels always receive the same text.
    void setMessage(const QString& text);
    QString message() const { return lblMessage[0]->caption(); }

    // Whether Cancel can be pressed (a transfer is running).
    void setCancellable(bool cancellable);

    // The control array: element 0 grey, element 1 its dark grey shadow.
    CaptionLabel* lblMessage[2];
    LabelButton* lblCancel;

signals:
    void cancelRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void load();
    bool m_loaded = false;
    bool m_placed = false;  // where the user dragged it stays
};

}  // namespace qpt::internet
