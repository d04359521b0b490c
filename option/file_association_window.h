#pragma once
// The file-association window: the user picks the file types that opening
// a file should hand to the player, and registers them. The same window, never shown, runs the
// automatic association of the "autofileass" start.

#include "file_association.h"
#include "skin/skinned_dialog.h"

#include "common/poll_timer.h"

class QLabel;
class QListWidget;

namespace qpt {
class LabelButton;
}

namespace qpt::option {

class FileAssociationWindow : public SkinnedDialog {
    Q_OBJECT
public:
    explicit FileAssociationWindow(QWidget* parent = nullptr);

    // Shows the window in the topmost band, as it does on loading when
    // opened from the Option dialog.
    void open();

    // Double-click (or Return) in the available list: adds the selected
    // type unless the association list already holds it.
    void addSelectedType();
    // Double-click (or Return) in the association list: removes the
    // selected type.
    void removeSelectedType();
    // "Default": the association list becomes the default types.
    void useDefault();
    // "OK": registers every listed type, consuming the list.
    void confirm();
    // "Info": the information window with the file-type description.
    void showInfo();
    void unload() override;
    // The program ends: the window goes away without any of its unload work.
    void abandon();

    // The `automaticTimer` tick: the automatic association, then the end of
    // the program.
    void runAutomaticAssociation();

    // The file-type description the "Info" button shows.
    static QString infoText();
    // The box shown when a registration could not write everything.
    static QString failureText(const FileAssociation::Outcome& outcome);

    QLabel* instructionLabel = nullptr;
    QListWidget* availableTypesList = nullptr;
    QListWidget* chosenTypesList = nullptr;
    QLabel* removeHintLabel = nullptr;
    LabelButton* defaultButton = nullptr;
    LabelButton* infoButton = nullptr;
    LabelButton* okButton = nullptr;
    LabelButton* cancelButton = nullptr;

    // While the automatic association runs there is no message and no
    // window; the "autofileass" start arms its timer.
    bool automaticMode = false;
    PollTimer automaticTimer;

signals:
    // The window has been unloaded: the Option dialog takes input again.
    void unloaded();
    // "Info" was clicked; the owner shows the information window with text.
    void infoRequested(const QString& crlfText);
    // The automatic association is done: the program ends.
    void automaticDone();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace qpt::option
