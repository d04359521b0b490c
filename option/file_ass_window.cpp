#include "file_ass_window.h"

#include "file_association.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
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

QListWidget* makeList(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    list->setStyleSheet(QLatin1String(kListStyle));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPixelSize(14);
    font.setBold(true);
    list->setFont(font);
    return list;
}

QLabel* makeText(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

FileAssWindow::FileAssWindow(QWidget* parent)
    : SkinnedWindow(QStringLiteral("File Association"), QSize(440, 322), parent)
{
    setObjectName(QStringLiteral("frmFileAss"));

    lblMessage = makeText(this, QStringLiteral("lblMessage"), messageText(), QRect(16, 44, 262, 92));
    lstFileType = makeList(this, QStringLiteral("lstFileType"), QRect(292, 44, 132, 218));
    lstFileType->addItems(FileAssociation::availableExtensions());
    lstFileTypeToAzz = makeList(this, QStringLiteral("lstFileTypeToAzz"), QRect(16, 144, 132, 118));
    lstFileTypeToAzz->addItem(QStringLiteral("vyx"));
    lblMessage2 = makeText(this, QStringLiteral("lblMessage2"), message2Text(), QRect(160, 150, 118, 100));

    lblUseDefault = new LabelButton(QStringLiteral("Default"), this);
    lblUseDefault->setObjectName(QStringLiteral("lblUseDefault"));
    lblUseDefault->setGeometry(16, 280, 90, 26);
    lblInfo = new LabelButton(QStringLiteral("Info"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setGeometry(114, 280, 70, 26);
    lblOK = new LabelButton(QStringLiteral("OK"), this);
    lblOK->setObjectName(QStringLiteral("lblOK"));
    lblOK->setGeometry(236, 280, 90, 26);
    lblCancel = new LabelButton(QStringLiteral("Cancel"), this);
    lblCancel->setObjectName(QStringLiteral("lblCancel"));
    lblCancel->setGeometry(334, 280, 90, 26);

    setTabOrder(lstFileType, lstFileTypeToAzz);
    setTabOrder(lstFileTypeToAzz, lblOK);
    setTabOrder(lblOK, lblCancel);
    setTabOrder(lblCancel, lblUseDefault);
    setTabOrder(lblUseDefault, lblInfo);

    connect(lstFileType, &QListWidget::itemDoubleClicked, this, [this] { addSelectedType(); });
    connect(lstFileTypeToAzz, &QListWidget::itemDoubleClicked, this, [this] { removeSelectedType(); });
    connect(lblOK, &LabelButton::clicked, this, &FileAssWindow::confirm);
    connect(lblCancel, &LabelButton::clicked, this, &FileAssWindow::unload);
    connect(lblUseDefault, &LabelButton::clicked, this, &FileAssWindow::useDefault);
    connect(lblInfo, &LabelButton::clicked, this, &FileAssWindow::showInfo);

    timAutoFileAss.setHandler([this] { timAutoFileAssTick(); });
    watchControls();
}

QString FileAssWindow::messageText()
{
    return QStringLiteral("Select the filetypes you want Quorbel Player Tirk to associate. Just double-click "
                          "on them in the listbox ------------------------------------> For Default settings "
                          "press the Default button.");
}

QString FileAssWindow::message2Text()
{
    return QStringLiteral("To remove a FileType from the association list just double-click on it.");
}

const QStringList& FileAssWindow::defaultTypes()
{
    static const QStringList types{
        QStringLiteral("mp1"), QStringLiteral("mp2"), QStringLiteral("mp3"), QStringLiteral("mid"),
        QStringLiteral("vyx"), QStringLiteral("wav"), QStringLiteral("wma"), QStringLiteral("cda"),
    };
    return types;
}

QString FileAssWindow::infoText()
{
    const QStringList lines{
        QStringLiteral(" File Association:"),
        QStringLiteral(" By file associate file types you for instance,"),
        QStringLiteral(" will be able to double click on an mp3 file"),
        QStringLiteral(" and then it will be played in Quorbel Player."),
        QStringLiteral(""),
        QStringLiteral(" File Type Description:"),
        QStringLiteral(""),
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

QStringList FileAssWindow::typesToAssociate() const
{
    QStringList types;
    for (int i = 0; i < lstFileTypeToAzz->count(); ++i)
        types << lstFileTypeToAzz->item(i)->text();
    return types;
}

void FileAssWindow::open()
{
    MakeTopMost(this, true);
    activateWindow();
    lstFileType->setFocus();
}

void FileAssWindow::addSelectedType()
{
    const QList<QListWidgetItem*> selected = lstFileType->selectedItems();
    if (selected.isEmpty())
        return;
    const QString chosen = selected.first()->text().toUpper();
    for (int i = 0; i < lstFileTypeToAzz->count(); ++i) {
        if (lstFileTypeToAzz->item(i)->text().toUpper().contains(chosen)) {
            // Already listed: the window blinks instead.
            MakeTopMost(this, false);
            MakeTopMost(this, true);
            return;
        }
    }
    lstFileTypeToAzz->addItem(selected.first()->text());
}

void FileAssWindow::removeSelectedType()
{
    const QList<QListWidgetItem*> selected = lstFileTypeToAzz->selectedItems();
    if (selected.isEmpty())
        return;
    delete lstFileTypeToAzz->takeItem(lstFileTypeToAzz->row(selected.first()));
}

void FileAssWindow::useDefault()
{
    lstFileTypeToAzz->clear();
    lstFileTypeToAzz->addItems(defaultTypes());
}

void FileAssWindow::confirm()
{
    hide();
    if (lstFileTypeToAzz->count() == 0) {
        Dialogs::message(QStringLiteral("FASS Info"), QStringLiteral("No File types Selected"),
                         MsgIcon::Information, MsgButtons::Ok, this);
        if (m_unloading)
            return;
        show();
        activateWindow();
        return;
    }
    QStringList extensions;
    while (lstFileTypeToAzz->count() > 0) {
        lstFileTypeToAzz->setCurrentRow(0);
        extensions << lstFileTypeToAzz->item(0)->text();
        delete lstFileTypeToAzz->takeItem(0);
    }
    const FileAssociation::Outcome outcome =
        FileAssociation::registerExtensions(extensions, AppFolder::file(QLatin1String(programs::Executer)));
    // The automatic run at every player start stays silent either way.
    if (!automaticMode.isEmpty())
        return;
    if (outcome.succeeded())
        Dialogs::message(QStringLiteral("FASS Installed"), QStringLiteral("File Association Installed"),
                         MsgIcon::Information, MsgButtons::Ok, this);
    else
        Dialogs::message(QStringLiteral("FASS Error"), failureText(outcome), MsgIcon::Critical, MsgButtons::Ok, this);
    unload();
}

QString FileAssWindow::failureText(const FileAssociation::Outcome& outcome)
{
    QString text = QStringLiteral("File Association Failed\r\n\r\nThese files could not be written:");
    for (const QString& path : outcome.unwritten)
        text += QStringLiteral("\r\n") + path;
    if (!outcome.defaultsChanged)
        text += QStringLiteral("\r\n\r\nThe programs that open your files were left as they were.");
    return text;
}

void FileAssWindow::showInfo()
{
    emit infoRequested(infoText());
}

void FileAssWindow::abandon()
{
    m_unloading = true;
    timAutoFileAss.setInterval(0);
    hide();
}

void FileAssWindow::unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    timAutoFileAss.setInterval(0);
    close();
    emit unloaded();
    deleteLater();
}

void FileAssWindow::timAutoFileAssTick()
{
    timAutoFileAss.setInterval(0);
    automaticMode = QStringLiteral("YES");
    useDefault();
    confirm();
    emit automaticDone();
}

bool FileAssWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            if (watched == lstFileType) {
                addSelectedType();
                return true;
            }
            if (watched == lstFileTypeToAzz) {
                removeSelectedType();
                return true;
            }
        }
    }
    return SkinnedWindow::eventFilter(watched, event);
}

}  // namespace qpt::option
