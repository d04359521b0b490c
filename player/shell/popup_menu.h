#pragma once
// The player's small skinned menu (Option, Internet, Open Music, Save
// PlayList, and Audio CD while a drive holds one), opened at the cursor by a
// right-click. It closes on losing the focus, on Escape and after an
// entry's action.

#include <QLabel>
#include <QWidget>

namespace qpt {

class CommandDispatcher;

class PopupMenu : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Quorbel Player Tirk Pop-Up Menu";

    explicit PopupMenu(CommandDispatcher& commands);
    ~PopupMenu() override;

    QLabel* optionEntry = nullptr;
    QLabel* internetEntry = nullptr;
    QLabel* openMusicEntry = nullptr;
    QLabel* savePlaylistEntry = nullptr;
    QLabel* audioCdEntry = nullptr;  // shown only while an audio CD is in a drive

    void showAudioCdEntry(bool shown);

    // Places the menu at (left, top) twips and shows it, topmost and focused.
    void openAt(double leftTwips, double topTwips);
    // Opened from the keyboard: under the control that has the focus in
    // `window` (or at the window's corner), its first entry focused, so the
    // arrows, Return and Escape walk it.
    void openByKey(QWidget* window);
    void unload();
    // The entries in order, top to bottom.
    QList<QLabel*> entries() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* makeEntry(const QString& text, double left, double top, double width, double height, double points);
    void setEntryColour(QLabel* entry, bool white);
    void entryPressed(QLabel* entry, Qt::MouseButton button);
    void showAt(const QPoint& position);
    void focusEntry(int index);

    CommandDispatcher& m_commands;
    bool m_wasActive = false;
    bool m_busy = false;
};

}  // namespace qpt
