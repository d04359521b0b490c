#include "file_association_window.h"

#include "file_association.h"
#include "option_log.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/music_files.h"
#include "common/window_helpers.h"
#include "skin/label_button.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>

namespace qpt::option {

namespace {

const char* const kListStyle =
    "QListWidget { background: #fbfcfd; color: #1f2731; border: 1px solid #7d8894;"
    " border-radius: 4px; padding: 3px; outline: none; }"
    "QListWidget::item { padding: 1px 6px; border-radius: 3px; }"
    "QListWidget::item:hover { background: #e2edf8; }"
    "QListWidget::item:selected { background: #2f7fc8; color: #ffffff; }"
    "QListWidget:focus { border: 1px solid #2f7fc8; }"
    "QScrollBar:vertical { background: #e6eaee; width: 10px; margin: 0; border: none; }"
    "QScrollBar::handle:vertical { background: #a4afba; min-height: 20px; border-radius: 4px; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }";

// The cells of the available types: eight rows fill the list's height.
constexpr int kTypeColumnWidth = 60;
constexpr int kTypeRowHeight = 26;

QListWidget* makeList(QWidget* parent, const QRect& geometry)
{
    auto* list = new QListWidget(parent);
    list->setGeometry(geometry);
    list->setStyleSheet(QLatin1String(kListStyle));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPixelSize(14);
    font.setBold(true);
    list->setFont(font);
    return list;
}

QLabel* makeText(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

LabelButton* makeButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* button = new LabelButton(caption, parent);
    button->setGeometry(geometry);
    return button;
}

}  // namespace

FileAssociationWindow::FileAssociationWindow(QWidget* parent)
    : SkinnedDialog(QStringLiteral("File Association"), QSize(440, 322), parent)
{
    setObjectName(QStringLiteral("fileAssociationWindow"));

    instructionLabel = makeText(this,
                                QStringLiteral("Select the filetypes you want Quorbel Player Tirk to associate. "
                                               "Just double-click on them in the listbox "
                                               "------------------------------------> For Default settings "
                                               "press the Default button."),
                                QRect(16, 44, 262, 92));
    availableTypesList = makeList(this, QRect(292, 44, 132, 218));
    availableTypesList->addItems(FileAssociation::offeredExtensions());
    // Two columns, so that every type shows without scrolling: the eight
    // types of old, then the later formats beside them.
    availableTypesList->setFlow(QListView::TopToBottom);
    availableTypesList->setWrapping(true);
    availableTypesList->setUniformItemSizes(true);
    availableTypesList->setGridSize(QSize(kTypeColumnWidth, kTypeRowHeight));
    availableTypesList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    chosenTypesList = makeList(this, QRect(16, 144, 132, 118));
    chosenTypesList->addItem(QLatin1String(music::PlaylistExtension));
    removeHintLabel =
        makeText(this, QStringLiteral("To remove a FileType from the association list just double-click on it."),
                 QRect(160, 150, 118, 100));
    // The texts beside the lists tell how to use them; Return does what a
    // double-click does.
    availableTypesList->setAccessibleName(QStringLiteral("Available file types"));
    availableTypesList->setAccessibleDescription(instructionLabel->text());
    chosenTypesList->setAccessibleName(QStringLiteral("File types to associate"));
    chosenTypesList->setAccessibleDescription(removeHintLabel->text());

    defaultButton = makeButton(this, QStringLiteral("Default"), QRect(16, 280, 90, 26));
    infoButton = makeButton(this, QStringLiteral("Info"), QRect(114, 280, 70, 26));
    okButton = makeButton(this, QStringLiteral("OK"), QRect(236, 280, 90, 26));
    cancelButton = makeButton(this, QStringLiteral("Cancel"), QRect(334, 280, 90, 26));

    setTabOrder(availableTypesList, chosenTypesList);
    setTabOrder(chosenTypesList, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, defaultButton);
    setTabOrder(defaultButton, infoButton);

    connect(availableTypesList, &QListWidget::itemDoubleClicked, this, [this] { addSelectedType(); });
    connect(chosenTypesList, &QListWidget::itemDoubleClicked, this, [this] { removeSelectedType(); });
    connect(okButton, &LabelButton::clicked, this, &FileAssociationWindow::confirm);
    connect(cancelButton, &LabelButton::clicked, this, &FileAssociationWindow::unload);
    connect(defaultButton, &LabelButton::clicked, this, &FileAssociationWindow::useDefault);
    connect(infoButton, &LabelButton::clicked, this, &FileAssociationWindow::showInfo);
    setEscapeButton(cancelButton);

    automaticTimer.setHandler([this] { runAutomaticAssociation(); });
    watchControls();
}

QString FileAssociationWindow::infoText()
{
    const QStringList lines{
        QStringLiteral(" File Association:"),
        QStringLiteral(" By file associate file types you for instance,"),
        QStringLiteral(" will be able to double click on an mp3 file"),
        QStringLiteral(" and then it will be played in Quorbel Player."),
        QString(),
        QStringLiteral(" File Type Description:"),
        QString(),
        QStringLiteral(" cda = Compact Disk Audio (A normal Music"),
        QStringLiteral(" CD for the Stereo)"),
        QStringLiteral(" vyx = Quorbel Player Play List"),
        QStringLiteral(" mid = Midi Music"),
        QStringLiteral(" mp1 = MPEG Audio Layer 1"),
        QStringLiteral(" mp2 = MPEG Audio Layer 2"),
        QStringLiteral(" mp3 = MPEG Audio Layer 3 (AC3) File"),
        QStringLiteral(" wav = Windows Audio File"),
        QStringLiteral(" wma = Windows Media Audio File"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void FileAssociationWindow::open()
{
    makeTopMost(this, true);
    activateWindow();
    availableTypesList->setFocus();
}

void FileAssociationWindow::addSelectedType()
{
    const QList<QListWidgetItem*> selected = availableTypesList->selectedItems();
    if (selected.isEmpty())
        return;
    const QString chosen = selected.first()->text().toUpper();
    for (int i = 0; i < chosenTypesList->count(); ++i) {
        if (chosenTypesList->item(i)->text().toUpper().contains(chosen)) {
            // Already listed: the window blinks instead.
            makeTopMost(this, false);
            makeTopMost(this, true);
            return;
        }
    }
    chosenTypesList->addItem(selected.first()->text());
}

void FileAssociationWindow::removeSelectedType()
{
    const QList<QListWidgetItem*> selected = chosenTypesList->selectedItems();
    if (selected.isEmpty())
        return;
    delete chosenTypesList->takeItem(chosenTypesList->row(selected.first()));
}

void FileAssociationWindow::useDefault()
{
    chosenTypesList->clear();
    chosenTypesList->addItems(FileAssociation::defaultExtensions());
}

void FileAssociationWindow::confirm()
{
    hide();
    if (chosenTypesList->count() == 0) {
        Dialogs::message(QStringLiteral("FASS Info"), QStringLiteral("No File types Selected"),
                         MsgIcon::Information, MsgButtons::Ok, this);
        if (m_unloading)
            return;
        show();
        activateWindow();
        return;
    }
    QStringList extensions;
    while (chosenTypesList->count() > 0) {
        chosenTypesList->setCurrentRow(0);
        extensions << chosenTypesList->item(0)->text();
        delete chosenTypesList->takeItem(0);
    }
    const FileAssociation::Outcome outcome =
        FileAssociation::registerExtensions(extensions, AppFolder::file(QLatin1String(programs::Executer)));
    // The automatic run at every player start shows nothing either way.
    if (automaticMode) {
        if (!outcome.succeeded())
            qCWarning(lcOption) << "file association failed:" << outcome.unwritten;
        return;
    }
    if (outcome.succeeded())
        Dialogs::message(QStringLiteral("FASS Installed"), QStringLiteral("File Association Installed"),
                         MsgIcon::Information, MsgButtons::Ok, this);
    else
        Dialogs::message(QStringLiteral("FASS Error"), failureText(outcome), MsgIcon::Critical, MsgButtons::Ok, this);
    unload();
}

QString FileAssociationWindow::failureText(const FileAssociation::Outcome& outcome)
{
    QString text = QStringLiteral("File Association Failed\r\n\r\nThese files could not be written:");
    for (const QString& path : outcome.unwritten)
        text += QStringLiteral("\r\n") + path;
    if (!outcome.defaultsChanged)
        text += QStringLiteral("\r\n\r\nThe programs that open your files were left as they were.");
    return text;
}

void FileAssociationWindow::showInfo()
{
    emit infoRequested(infoText());
}

void FileAssociationWindow::abandon()
{
    m_unloading = true;
    automaticTimer.setInterval(0);
    hide();
}

void FileAssociationWindow::unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    automaticTimer.setInterval(0);
    close();
    emit unloaded();
    deleteLater();
}

void FileAssociationWindow::runAutomaticAssociation()
{
    automaticTimer.setInterval(0);
    automaticMode = true;
    useDefault();
    confirm();
    emit automaticDone();
}

bool FileAssociationWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            if (watched == availableTypesList) {
                addSelectedType();
                return true;
            }
            if (watched == chosenTypesList) {
                removeSelectedType();
                return true;
            }
        }
    }
    return SkinnedDialog::eventFilter(watched, event);
}

}  // namespace qpt::option
