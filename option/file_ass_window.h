#pragma once
// frmFileAss: the user picks the file types that opening a file should hand
// to the player, and registers them. The same window, never shown, runs the
// automatic association of the "autofileass" start.

#include "file_association.h"
#include "skinned_window.h"

#include "common/event_loop.h"

class QLabel;
class QListWidget;

namespace qpt {
class LabelButton;
}

namespace qpt::option {

class FileAssWindow : public SkinnedWindow {
    Q_OBJECT
public:
    explicit FileAssWindow(QWidget* parent = nullptr);

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

    // The `timAutoFileAss` tick: the automatic association, then the end of
    // the program.
    void timAutoFileAssTick();

    QStringList typesToAssociate() const;
    static const QStringList& defaultTypes();
    static QString infoText();
    static QString messageText();
    static QString message2Text();
    // The box shown when a registration could not write everything.
    static QString failureText(const FileAssociation::Outcome& outcome);

    QListWidget* lstFileType = nullptr;
    QListWidget* lstFileTypeToAzz = nullptr;
    QLabel* lblMessage = nullptr;
    QLabel* lblMessage2 = nullptr;
    LabelButton* lblOK = nullptr;
    LabelButton* lblCancel = nullptr;
    LabelButton* lblUseDefault = nullptr;
    LabelButton* lblInfo = nullptr;
    PollTimer timAutoFileAss;

    // "YES" while the automatic association runs: no message, no window.
    QString automaticMode;

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
