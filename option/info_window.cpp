#include "info_window.h"

#include "common/settings_store.h"
#include "common/window_helpers.h"
#include "skin/caption_label.h"
#include "skin/label_button.h"

#include <QPlainTextEdit>
#include <QScrollBar>

namespace qpt::option {

InfoWindow::InfoWindow(QWidget* parent)
    : SkinnedDialog(QStringLiteral("Quorbel Player Tirk Option Info"), QSize(372, 430), parent)
{
    setObjectName(QStringLiteral("infoWindow"));

    textView = new QPlainTextEdit(this);
    textView->setReadOnly(true);
    textView->setGeometry(14, kTitleHeight + 12, width() - 28, height() - kTitleHeight - 62);
    textView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A press on the text drags the window, so the text is not selectable
    // with the mouse; the keyboard still scrolls it.
    textView->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    textView->setFocusPolicy(Qt::StrongFocus);
    textView->viewport()->setCursor(Qt::ArrowCursor);
    textView->setCursorWidth(0);
    textView->setStyleSheet(QStringLiteral(
        "QPlainTextEdit { background: #fbfcfd; color: #1f2731; border: 1px solid #7d8894;"
        " border-radius: 4px; padding: 4px; selection-background-color: #2f7fc8; }"
        "QPlainTextEdit:focus { border: 1px solid #2f7fc8; }"
        "QScrollBar:vertical { background: #e6eaee; width: 10px; margin: 0; border: none; }"
        "QScrollBar::handle:vertical { background: #a4afba; min-height: 24px; border-radius: 4px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    QFont mono(QStringLiteral("Tahoma"));
    mono.setPixelSize(12);
    textView->setFont(mono);
    textView->setAccessibleName(QStringLiteral("Information"));

    okButton = new LabelButton(QStringLiteral("OK"), this);
    okButton->setGeometry((width() - 90) / 2, height() - 40, 90, 26);
    connect(okButton, &LabelButton::clicked, this, &InfoWindow::unload);
    setEscapeButton(okButton);

    setText(builtInText());
    watchControls();
    dragBy(textView->viewport());
}

void InfoWindow::setText(const QString& crlfText)
{
    m_text = crlfText;
    textView->setPlainText(shownText(crlfText));
    textView->verticalScrollBar()->setValue(0);
}

QStringList InfoWindow::playerKeyLines()
{
    // The player's new keys, beside the Alt table, as its README lists them.
    return {
        QStringLiteral(" Keys that drive the Player without a mouse:"),
        QStringLiteral("   Alt+T: Stop"),
        QStringLiteral("   Alt+Comma / Alt+Period: seek 5 seconds "),
        QStringLiteral("   back / forward"),
        QStringLiteral("   Menu key or Shift+F10: the pop-up menu"),
        QStringLiteral("   Tab: on to the next control"),
        QStringLiteral("   Space or Return: press it"),
        QStringLiteral("   Arrows, Page Up/Down, Home, End: move "),
        QStringLiteral("   the seek or volume bar"),
        QStringLiteral("   Escape: Cancel, in the Option and the "),
        QStringLiteral("   Online System windows"),
    };
}

QString InfoWindow::builtInText()
{
    QStringList lines{
        QStringLiteral(" Info About Quorbel Player Tirk Option v1.0"),
        QString(),
        QStringLiteral(" Auto FileAssociate: This function will Auto "),
        QStringLiteral(" FileAssociate mp3, wma, wav files and many "),
        QStringLiteral(" more with Quorbel Player everytime it starts. "),
        QStringLiteral(" This means that if you double click on a mp3 "),
        QStringLiteral(" file, it will be played in Quorbel Player Tirk."),
        QString(),
        QStringLiteral(" Transparent PlayList: This function is only "),
        QStringLiteral(" workable in Windows 2000 and Windows XP. "),
        QStringLiteral(" It doesn't work in Windows 98. If this "),
        QStringLiteral(" function is activates the PlayList will be "),
        QStringLiteral(" Transparent."),
        QString(),
        QStringLiteral(" Fade Out When Closing Down:  If this "),
        QStringLiteral(" function is activated, the Playing Song will "),
        QStringLiteral(" fade-out when the Player is Shutdown."),
        QStringLiteral(" "),
        QStringLiteral(" Minimize Separate: This function allow you "),
        QStringLiteral(" to minimize the Player without the PlayList."),
        QStringLiteral(" "),
        QStringLiteral(" Auto Save/load PlayList: This function will"),
        QStringLiteral(" auto save the PlayList every time the player "),
        QStringLiteral(" is Shutdown, so if you start the player again "),
        QStringLiteral(" it will auto load the last play list. NB: The "),
        QStringLiteral(" Auto Saved play list will NOT be loaded if a "),
        QStringLiteral(" song was started. "),
        QStringLiteral(" "),
        QStringLiteral(" Online System On Top: If this function is "),
        QStringLiteral(" activated, your OS will be on top of the "),
        QStringLiteral(" screen when it's running."),
        QStringLiteral(" "),
    };
    lines << playerKeyLines() << QStringLiteral(" ");
    lines << QStringList{
        QStringLiteral(" All options are saved in the Registry "),
        QStringLiteral(" Database under:  "),
        // The store is an INI file: its path, then the group.
        QStringLiteral(" %1 ").arg(SettingsStore::filePath()),
        QStringLiteral(" in the group [%1] ").arg(QLatin1String(SettingsStore::kSection)),
        QStringLiteral(" "),
        QString(),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void InfoWindow::open()
{
    makeTopMost(this, true);
    activateWindow();
    textView->setFocus();
}

void InfoWindow::abandon()
{
    m_unloading = true;
    hide();
}

void InfoWindow::unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    close();
    emit unloaded();
    deleteLater();
}

}  // namespace qpt::option
