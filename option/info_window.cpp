#include "info_window.h"

#include "common/settings_store.h"
#include "common/window_helpers.h"
#include "skin/label_button.h"

#include <QPlainTextEdit>
#include <QScrollBar>

namespace qpt::option {

InfoWindow::InfoWindow(QWidget* parent)
    : SkinnedWindow(QStringLiteral("Quorbel Player Tirk Option Info"), QSize(372, 430), parent)
{
    setObjectName(QStringLiteral("frmInfo"));

    txtInfo = new QPlainTextEdit(this);
    txtInfo->setObjectName(QStringLiteral("txtInfo"));
    txtInfo->setReadOnly(true);
    txtInfo->setGeometry(14, kTitleHeight + 12, width() - 28, height() - kTitleHeight - 62);
    txtInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A press on the text drags the window, so the text is not selectable
    // with the mouse; the keyboard still scrolls it.
    txtInfo->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    txtInfo->setFocusPolicy(Qt::StrongFocus);
    txtInfo->viewport()->setCursor(Qt::ArrowCursor);
    txtInfo->setCursorWidth(0);
    txtInfo->setStyleSheet(QStringLiteral(
        "QPlainTextEdit { background: #fbfcfd; color: #1f2731; border: 1px solid #7d8894;"
        " border-radius: 4px; padding: 4px; selection-background-color: #2f7fc8; }"
        "QPlainTextEdit:focus { border: 1px solid #2f7fc8; }"
        "QScrollBar:vertical { background: #e6eaee; width: 10px; margin: 0; border: none; }"
        "QScrollBar::handle:vertical { background: #a4afba; min-height: 24px; border-radius: 4px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    QFont mono(QStringLiteral("Tahoma"));
    mono.setPixelSize(12);
    txtInfo->setFont(mono);

    lblOK = new LabelButton(QStringLiteral("OK"), this);
    lblOK->setObjectName(QStringLiteral("lblOK"));
    lblOK->setGeometry((width() - 90) / 2, height() - 40, 90, 26);
    connect(lblOK, &LabelButton::clicked, this, &InfoWindow::unload);

    setText(builtInText());
    watchControls();
    dragBy(txtInfo->viewport());
}

void InfoWindow::setText(const QString& crlfText)
{
    m_text = crlfText;
    QString shown = crlfText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtInfo->setPlainText(shown);
    txtInfo->verticalScrollBar()->setValue(0);
}

QString InfoWindow::builtInText()
{
    const QStringList lines{
        QStringLiteral(" Info About Quorbel Player Tirk Option v1.0"),
        QStringLiteral(""),
        QStringLiteral(" Auto FileAssociate: This function will Auto "),
        QStringLiteral(" FileAssociate mp3, wma, wav files and many "),
        QStringLiteral(" more with Quorbel Player everytime it starts. "),
        QStringLiteral(" This means that if you double click on a mp3 "),
        QStringLiteral(" file, it will be played in Quorbel Player Tirk."),
        QStringLiteral(""),
        QStringLiteral(" Transparent PlayList: This function is only "),
        QStringLiteral(" workable in Windows 2000 and Windows XP. "),
        QStringLiteral(" It doesn't work in Windows 98. If this "),
        QStringLiteral(" function is activates the PlayList will be "),
        QStringLiteral(" Transparent."),
        QStringLiteral(""),
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
        QStringLiteral(" All options are saved in the Registry "),
        QStringLiteral(" Database under:  "),
        // The store is an INI file: its path, then the group.
        QStringLiteral(" %1 ").arg(SettingsStore::filePath()),
        QStringLiteral(" in the group [%1] ").arg(QLatin1String(SettingsStore::kSection)),
        QStringLiteral(" "),
        QStringLiteral(""),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void InfoWindow::open()
{
    MakeTopMost(this, true);
    activateWindow();
    txtInfo->setFocus();
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
