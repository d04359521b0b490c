#pragma once
// The first window of the Online System: what it does, that it is about to
// go online, Connect or STOP, and a box to never show this again.

#include "skinned.h"

class QCheckBox;
class QPlainTextEdit;

namespace qpt::internet {

class OnlineSystem;

class FrmStartMSG : public SkinnedWindow {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Instructions before you connect to Quorbel Player Tirk OS";
    static constexpr const char* kMarkerName = "osplinfo.dll";
    static constexpr const char* kMarkerLine = "The Message will not be shown anymore!";

    explicit FrmStartMSG(OnlineSystem& system);

    // The message text, lines joined by CR LF.
    static QString messageText();
    // Where the marker that suppresses this window lives.
    static QString markerPath();

    // Form load: with the marker present, connects at once unseen.
    void load();

    void Label1_Click();
    void lblConnect_Click();
    void lblSTOP_Click();

    QPlainTextEdit* txtMsG;
    QCheckBox* chkDontShow;
    CaptionLabel* Label1;
    LabelButton* lblConnect;
    LabelButton* lblSTOP;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    OnlineSystem& m_system;
};

}  // namespace qpt::internet
