#pragma once
// The first window of the Online System: what it does, that it is about to
// go online, Connect or STOP, and a box to never show this again.

#include "skin/caption_label.h"
#include "skin/label_button.h"
#include "skin/skinned_window.h"

class QCheckBox;
class QPlainTextEdit;

namespace qpt::internet {

class OnlineSystem;

class StartMessageWindow : public SkinnedWindow {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Instructions before you connect to Quorbel Player Tirk OS";
    static constexpr const char* kMarkerLine = "The Message will not be shown anymore!";

    explicit StartMessageWindow(OnlineSystem& system);

    // The message text, lines joined by CR LF.
    static QString messageText();
    // Where the marker that suppresses this window lives.
    static QString markerPath();

    // The first step of the program: with the marker present it connects
    // at once, unseen; otherwise it shows the message.
    void open();

    void toggleDontShow();
    void connectOnline();
    void stop();

    QPlainTextEdit* messageView;
    QCheckBox* dontShowBox;
    CaptionLabel* dontShowLabel;
    LabelButton* connectButton;
    LabelButton* stopButton;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    OnlineSystem& m_system;
};

}  // namespace qpt::internet
