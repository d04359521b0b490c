#include "option_dialog.h"

#include "file_association_window.h"
#include "info_window.h"
#include "option_log.h"

#include "common/app_folder.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/options.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/window_helpers.h"
#include "skin/label_button.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <string_view>

namespace qpt::option {

namespace {

const char* const kBoxStyle =
    "QCheckBox { spacing: 0; }"
    "QCheckBox::indicator { width: 16px; height: 16px; border: 1px solid #59636e; border-radius: 4px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #dfe4e9, stop:1 #ffffff); }"
    "QCheckBox::indicator:hover { border: 1px solid #2f7fc8; }"
    "QCheckBox::indicator:focus { border: 1px solid #1f6fb8; }"
    "QCheckBox::indicator:checked { image: url(:/option/check.svg); border: 1px solid #1d4f80;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5fb0f0, stop:1 #236bb0); }"
    "QCheckBox::indicator:disabled { background: #cfd5db; border: 1px solid #9aa3ad; }";

constexpr int kRowTop = 50;
constexpr int kRowStep = 31;
constexpr int kPanelLeft = 14;
constexpr int kPanelWidth = 252;
constexpr int kPanelTop = kRowTop - 8;
constexpr int kPanelBottom = kPanelTop + 6 * kRowStep + 10;

// The text beside each option's box.
struct BoxLabel {
    const char* key;
    const char* text;
};
constexpr BoxLabel kBoxLabels[] = {
    {keys::AutoFileAss, "Auto FileAssociate"},
    {keys::TransPlayList, "Transparent PlayList"},
    {keys::FadeOutCD, "Fade Out When Closing Down"},
    {keys::MinimizeSeparate, "Minimize Separate"},
    {keys::AutosavePlayList, "AutoSave/Load PlayList"},
    {keys::OSOT, "Online System On Top"},
};

QString labelOf(const char* key)
{
    for (const BoxLabel& label : kBoxLabels) {
        if (std::string_view(label.key) == key)
            return QLatin1String(label.text);
    }
    return QLatin1String(key);
}

struct ModeWord {
    const char* word;
    OptionDialog::StartMode mode;
};
constexpr ModeWord kModeWords[] = {
    {words::AutoFileAss, OptionDialog::StartMode::AutomaticAssociation},
    {words::FirstTime, OptionDialog::StartMode::FirstTime},
    {words::FirstTimeDefault, OptionDialog::StartMode::FirstTimeDefault},
    {words::Updatet, OptionDialog::StartMode::AfterUpdate},
};

}  // namespace

OptionDialog::StartMode OptionDialog::startModeOf(const QString& commandLine)
{
    for (const ModeWord& entry : kModeWords) {
        if (commandLine == QLatin1String(entry.word))
            return entry.mode;
    }
    return StartMode::Normal;
}

OptionDialog::OptionDialog(QWidget* parent)
    : SkinnedDialog(QStringLiteral("Quorbel Player Tirk Option"), QSize(420, 290), parent)
{
    setObjectName(QStringLiteral("optionDialog"));

    QFont labelFont(QStringLiteral("Tahoma"));
    labelFont.setPixelSize(13);
    int y = kRowTop;
    for (const OptionDefault& option : kOptionDefaults) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QLatin1String(option.key));
        box->setStyleSheet(QLatin1String(kBoxStyle));
        box->setGeometry(kPanelLeft + 12, y + 3, 18, 18);
        box->setChecked(option.on);
        box->setCursor(Qt::PointingHandCursor);
        // Any change, by the user or by loading the stored options, leaves
        // something to save.
        connect(box, &QCheckBox::toggled, this, [this] { m_pendingSave = true; });
        m_boxes << box;

        // Plain text: clicking it does not toggle the box. It names the box
        // for a screen reader, and the focus ring goes round both.
        auto* label = new QLabel(labelOf(option.key), this);
        label->setBuddy(box);
        label->setFont(labelFont);
        label->setGeometry(kPanelLeft + 40, y, kPanelWidth - 48, 24);
        label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        y += kRowStep;
    }

    versionLabel = new QLabel(QStringLiteral("Option v1.00"), this);
    QFont versionFont(QStringLiteral("Comic Sans MS"));
    versionFont.setPixelSize(12);
    versionFont.setItalic(true);
    versionLabel->setFont(versionFont);
    versionLabel->setGeometry(kPanelLeft + 4, height() - 36, 150, 22);
    QPalette versionColours = versionLabel->palette();
    versionColours.setColor(QPalette::WindowText, QColor(0x5b, 0x6b, 0x7d));
    versionLabel->setPalette(versionColours);

    const int column = kPanelLeft + kPanelWidth + 14;
    const int buttonWidth = width() - column - 14;
    okButton = new LabelButton(QStringLiteral("OK"), this);
    okButton->setGeometry(column, kPanelTop, buttonWidth, 28);
    cancelButton = new LabelButton(QStringLiteral("Cancel"), this);
    cancelButton->setGeometry(column, kPanelTop + 36, buttonWidth, 28);
    fileAssociationButton = new LabelButton(QStringLiteral("File Association"), this);
    fileAssociationButton->setGeometry(column, kPanelBottom - 28 - 36, buttonWidth, 28);
    infoButton = new LabelButton(QStringLiteral("Info"), this);
    infoButton->setGeometry(column, kPanelBottom - 28, buttonWidth, 28);

    connect(okButton, &LabelButton::clicked, this, &OptionDialog::confirm);
    connect(cancelButton, &LabelButton::clicked, this, &OptionDialog::cancel);
    connect(fileAssociationButton, &LabelButton::clicked, this, &OptionDialog::openFileAssociation);
    connect(infoButton, &LabelButton::clicked, this, &OptionDialog::openInfo);
    setEscapeButton(cancelButton);

    QList<QWidget*> tabOrder(m_boxes.begin(), m_boxes.end());
    tabOrder << okButton << cancelButton << fileAssociationButton << infoButton;
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    markerCheckTimer.setHandler([this] { checkMarker(); });
    markerCheckTimer.setInterval(600);
    watchControls();
}

OptionDialog::~OptionDialog()
{
    delete fileAssociationWindow;
    delete infoWindow;
}

QCheckBox* OptionDialog::optionBox(const char* key) const
{
    for (qsizetype i = 0; i < m_boxes.size(); ++i) {
        if (std::string_view(kOptionDefaults[i].key) == key)
            return m_boxes[i];
    }
    return nullptr;
}

QString OptionDialog::markerPath()
{
    return AppFolder::file(QLatin1String(files::ActiveOption));
}

QString OptionDialog::updatedQuestionText()
{
    return QStringLiteral("Your Option System have been updatet\r\n"
                          "\r\n"
                          "You need to make a few options.\r\n"
                          "Press YES if you wanna use Default options.\r\n"
                          "Press NO if you wanna setup your own options.\r\n"
                          "\r\n"
                          "ENJOY");
}

QString OptionDialog::folderNotWritableText(const QString& folder)
{
    return QStringLiteral("The folder of Quorbel Player Tirk cannot be written:\r\n") + folder
         + QStringLiteral("\r\n\r\nYour options are saved as usual, but the player cannot close this\r\n"
                          "window for you, and no update can be installed until this folder\r\n"
                          "can be written.");
}

void OptionDialog::startUp(const QString& commandLine)
{
    centreOver(nullptr);
    const StartMode mode = startModeOf(commandLine);
    const bool markerWritten = MarkerFiles::createNoFollow(markerPath(), QStringLiteral("Option Active..."));
    // The version text is the version label less "Option ".
    SettingsStore::write(QLatin1String(keys::Option), versionLabel->text().mid(7));
    if (mode == StartMode::AutomaticAssociation) {
        // The hidden run re-applies the associations and ends; it never asks
        // anything, not even when the marker cannot be written.
        startAutomaticAssociation();
        return;
    }
    if (!markerWritten) {
        // A marker that was never written cannot signal anything: looking
        // for it would confirm the dialog at once, saving options nobody
        // chose and starting a player. Nothing watches it; the user is told
        // once, and the start goes on as usual.
        markerCheckTimer.setInterval(0);
        Dialogs::message(QStringLiteral("Quorbel Player Tirk Option"), folderNotWritableText(AppFolder::path()),
                         MsgIcon::Exclamation, MsgButtons::Ok);
        if (m_ended)
            return;
    }

    switch (mode) {
    case StartMode::FirstTime:
        m_pendingSave = true;
        showFirstRun();
        m_startPlayer = true;
        break;
    case StartMode::FirstTimeDefault:
        m_pendingSave = true;
        m_startPlayer = true;
        confirm();
        break;
    case StartMode::AfterUpdate:
        m_pendingSave = true;
        confirm();
        break;
    case StartMode::Normal:
        if (!loadStoredOptions()) {
            askAfterUpdate();
            return;
        }
        makeTopMost(this, true);
        activateWindow();
        break;
    case StartMode::AutomaticAssociation:  // started above, before the marker matters
        break;
    }
}

void OptionDialog::startAutomaticAssociation()
{
    markerCheckTimer.setInterval(0);
    hide();
    fileAssociationWindow = new FileAssociationWindow;
    connect(fileAssociationWindow, &FileAssociationWindow::automaticDone, this, &OptionDialog::endProgram);
    fileAssociationWindow->automaticTimer.setInterval(10);
}

bool OptionDialog::loadStoredOptions()
{
    // Every key must convert before any box changes: a missing or
    // non-numeric one leads to the question with the boxes as they start.
    const Options stored = Options::read();
    if (!stored.allSaved())
        return false;
    for (qsizetype i = 0; i < m_boxes.size(); ++i)
        m_boxes[i]->setChecked(stored.isOn(kOptionDefaults[i].key));
    return true;
}

void OptionDialog::askAfterUpdate()
{
    const MsgAnswer answer = Dialogs::message(QStringLiteral("Option System Updatet"), updatedQuestionText(),
                                              MsgIcon::Information, MsgButtons::YesNo);
    if (m_ended)
        return;
    m_pendingSave = true;
    m_startPlayer = true;
    if (answer == MsgAnswer::Yes)
        confirm();
    else
        showFirstRun();
}

void OptionDialog::showFirstRun()
{
    // Not in the topmost band in this mode.
    show();
    raise();
    activateWindow();
}

void OptionDialog::confirm()
{
    if (m_ended)
        return;
    if (!m_pendingSave) {
        endProgram();
        return;
    }
    // A value that cannot be written is passed over; the others still are.
    for (qsizetype i = 0; i < m_boxes.size(); ++i) {
        const QString key = QLatin1String(kOptionDefaults[i].key);
        if (!SettingsStore::write(key, m_boxes[i]->isChecked() ? QStringLiteral("1") : QStringLiteral("2")))
            qCWarning(lcOption) << "cannot save" << key;
    }
    if (m_startPlayer
        && !ProgramStarter::start(AppFolder::file(QLatin1String(programs::Player)), QLatin1String(words::Fto),
                                  WindowStyle::NormalFocus))
        qCWarning(lcOption) << "cannot start the player";
    endProgram();
}

void OptionDialog::cancel()
{
    if (m_startPlayer)
        confirm();
    endProgram();
}

void OptionDialog::unload()
{
    endProgram();
}

void OptionDialog::checkMarker()
{
    // Gone for this user: another user's marker under the name is not ours.
    if (!MarkerFiles::existsOwn(markerPath()))
        confirm();
}

void OptionDialog::openFileAssociation()
{
    if (m_ended)
        return;
    makeTopMost(this, false);
    if (!fileAssociationWindow) {
        fileAssociationWindow = new FileAssociationWindow;
        fileAssociationWindow->centreOver(this);
        FileAssociationWindow* window = fileAssociationWindow;
        connect(window, &FileAssociationWindow::unloaded, this, [this] {
            fileAssociationWindow = nullptr;
            takeInputAgain();
        });
        connect(window, &FileAssociationWindow::infoRequested, this, &OptionDialog::showInfoText);
    }
    fileAssociationWindow->open();
    setEnabled(false);
}

void OptionDialog::openInfo()
{
    if (m_ended)
        return;
    makeTopMost(this, false);
    showInfoText(InfoWindow::builtInText());
}

void OptionDialog::showInfoText(const QString& crlfText)
{
    if (m_ended)
        return;
    if (!infoWindow) {
        infoWindow = new InfoWindow;
        infoWindow->centreOver(this);
        connect(infoWindow, &InfoWindow::unloaded, this, [this] {
            infoWindow = nullptr;
            takeInputAgain();
        });
    }
    infoWindow->setText(crlfText);
    infoWindow->open();
    setEnabled(false);
}

void OptionDialog::takeInputAgain()
{
    if (m_ended)
        return;
    setEnabled(true);
    makeTopMost(this, true);
    activateWindow();
}

void OptionDialog::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    m_unloading = true;
    markerCheckTimer.setInterval(0);
    if (fileAssociationWindow)
        fileAssociationWindow->abandon();
    if (infoWindow)
        infoWindow->abandon();
    hide();
    emit ended();
}

void OptionDialog::paintEvent(QPaintEvent* event)
{
    SkinnedDialog::paintEvent(event);
    // A recessed panel behind the six options.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel(kPanelLeft, kPanelTop, kPanelWidth, kPanelBottom - kPanelTop);
    QPainterPath path;
    path.addRoundedRect(panel, 7, 7);
    painter.fillPath(path, QColor(0x1d, 0x3a, 0x5a, 18));
    painter.setPen(QPen(QColor(0x3a, 0x44, 0x50, 120), 1));
    painter.drawPath(path);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    painter.drawLine(panel.bottomLeft() + QPointF(7, 1), panel.bottomRight() + QPointF(-7, 1));
}

}  // namespace qpt::option
