#pragma once
// The Option dialog: six check boxes bound to the player's options in the
// settings store, the start modes of the Option program, the close signal
// through "activeoption.inf", and the doors to the file-association and
// information windows.

#include "skin/skinned_dialog.h"

#include "common/poll_timer.h"

#include <QPointer>

class QCheckBox;
class QLabel;

namespace qpt {
class LabelButton;
}

namespace qpt::option {

class FileAssociationWindow;
class InfoWindow;

class OptionDialog : public SkinnedDialog {
    Q_OBJECT
public:
    // The mode the command line starts the program in; anything but one of
    // the words is the normal mode.
    enum class StartMode { Normal, FirstTime, FirstTimeDefault, AfterUpdate, AutomaticAssociation };
    static StartMode startModeOf(const QString& commandLine);

    explicit OptionDialog(QWidget* parent = nullptr);
    ~OptionDialog() override;

    // Start-up after the single-instance test: writes "activeoption.inf"
    // and the "Option" key, then acts on the command line. Some modes end
    // the program before this returns (hasEnded()).
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
    // The marker check's tick: when "activeoption.inf" is gone, confirm.
    void checkMarker();

    bool hasEnded() const { return m_ended; }
    // The boxes in the order of kOptionDefaults (settings_store.h), and
    // the box of one option key.
    const QList<QCheckBox*>& optionBoxes() const { return m_boxes; }
    QCheckBox* optionBox(const char* key) const;

    static QString markerPath();
    static QString updatedQuestionText();
    // The box that tells that the program's folder cannot be written.
    static QString folderNotWritableText(const QString& folder);

    QLabel* versionLabel = nullptr;
    LabelButton* okButton = nullptr;
    LabelButton* cancelButton = nullptr;
    LabelButton* fileAssociationButton = nullptr;
    LabelButton* infoButton = nullptr;
    PollTimer markerCheckTimer;

    QPointer<FileAssociationWindow> fileAssociationWindow;
    QPointer<InfoWindow> infoWindow;

signals:
    // The program has ended: nothing is shown any more.
    void ended();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void startAutomaticAssociation();
    bool loadStoredOptions();
    void askAfterUpdate();
    void showFirstRun();
    void showInfoText(const QString& crlfText);
    void takeInputAgain();
    void endProgram();

    QList<QCheckBox*> m_boxes;
    // Something must be written (a box changed, or a mode saves anyway).
    bool m_pendingSave = false;
    // The player is to be started after saving (first-run modes).
    bool m_startPlayer = false;
    bool m_ended = false;
};

}  // namespace qpt::option
