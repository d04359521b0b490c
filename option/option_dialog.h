#pragma once
// frmMain: the Option dialog. Six check boxes bound to the player's options
// in the settings store, the start modes of the Option program, the close
// signal through "activeoption.inf", and the doors to the file-association
// and information windows.

#include "skinned_window.h"

#include "common/event_loop.h"

#include <QPointer>

class QCheckBox;
class QLabel;

namespace qpt {
class LabelButton;
}

namespace qpt::option {

class FileAssWindow;
class InfoWindow;

class OptionDialog : public SkinnedWindow {
    Q_OBJECT
public:
    explicit OptionDialog(QWidget* parent = nullptr);
    ~OptionDialog() override;

    // Start-up after the single-instance test: writes "activeoption.inf"
    // and the "Option" key, then acts on the command line ("autofileass",
    // "firsttime", "firsttimedefault", "updatet", anything else = normal).
    // Some modes end the program before this returns (hasEnded()).
    void startUp(const QString& commandLine);

    // "OK": writes the six options if anything is pending, starts the player
    // in a first-run mode, ends the program.
    void confirm();
    // "Cancel": in a first-run mode the same as OK; otherwise ends the
    // program without writing.
    void cancel();
    // Alt+F4: ends the program without writing.
    void unload() override;
    void openFileAssociation();
    void openInfo();
    // The `timPlayerCheck` tick: when "activeoption.inf" is gone, confirm.
    void timPlayerCheckTick();

    bool hasEnded() const { return m_ended; }
    QList<QCheckBox*> boxes() const;
    // The settings keys of the boxes, in their order.
    static const QStringList& boxKeys();
    static QString markerPath();
    static QString updatedQuestionText();
    // The box that tells that the program's folder cannot be written.
    static QString folderNotWritableText(const QString& folder);

    QCheckBox* chkAutoFileAzz = nullptr;
    QCheckBox* chkTransparent = nullptr;
    QCheckBox* chkFadeOutExit = nullptr;
    QCheckBox* chkMinimezeSeparate = nullptr;
    QCheckBox* chkAutoSavePlayList = nullptr;
    QCheckBox* chkOSOnTop = nullptr;
    QLabel* lblVersion = nullptr;
    LabelButton* lblOK = nullptr;
    LabelButton* lblCancel = nullptr;
    LabelButton* lblFileAss = nullptr;
    LabelButton* lblInfo = nullptr;
    PollTimer timPlayerCheck;

    QPointer<FileAssWindow> frmFileAss;
    QPointer<InfoWindow> frmInfo;

    // "SAVE" once something must be written.
    QString pendingSave;
    // "OK" when the player is to be started after saving (first run).
    QString startPlayer;
    // The version label's caption less its first 7 characters.
    QString versionText;

signals:
    // The program has ended: nothing is shown any more.
    void ended();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool loadStoredOptions();
    void askAfterUpdate();
    void showFirstRun();
    void showInfoText(const QString& crlfText);
    void takeInputAgain();
    void endProgram();

    bool m_ended = false;
};

}  // namespace qpt::option
