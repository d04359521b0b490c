#include "option_dialog.h"

#include "file_ass_window.h"
#include "info_window.h"

#include "common/app_folder.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/marker_files.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/window_helpers.h"
#include "skin/label_button.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace qpt::option {

namespace {

const char* const kSave = "SAVE";
const char* const kStartPlayer = "OK";

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

}  // namespace

OptionDialog::OptionDialog(QWidget* parent)
    : SkinnedWindow(QStringLiteral("Quorbel Player Tirk Option"), QSize(420, 290), parent)
{
    setObjectName(QStringLiteral("frmMain"));

    struct Row {
        QCheckBox** box;
        const char* name;
        const char* label;
        bool initial;
    };
    const Row rows[] = {
        {&chkAutoFileAzz, "chkAutoFileAzz", "Auto FileAssociate", true},
        {&chkTransparent, "chkTransparent", "Transparent PlayList", true},
        {&chkFadeOutExit, "chkFadeOutExit", "Fade Out When Closing Down", true},
        {&chkMinimezeSeparate, "chkMinimezeSeparate", "Minimize Separate", false},
        {&chkAutoSavePlayList, "chkAutoSavePlayList", "AutoSave/Load PlayList", false},
        {&chkOSOnTop, "chkOSOnTop", "Online System On Top", false},
    };
    QFont labelFont(QStringLiteral("Tahoma"));
    labelFont.setPixelSize(13);
    int y = kRowTop;
    for (const Row& row : rows) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QLatin1String(row.name));
        box->setStyleSheet(QLatin1String(kBoxStyle));
        box->setGeometry(kPanelLeft + 12, y + 3, 18, 18);
        box->setChecked(row.initial);
        box->setCursor(Qt::PointingHandCursor);
        // Any change, by the user or by loading the stored options, leaves
        // something to save.
        connect(box, &QCheckBox::toggled, this, [this] { pendingSave = QLatin1String(kSave); });
        *row.box = box;

        // Plain text: clicking it does not toggle the box.
        auto* label = new QLabel(QLatin1String(row.label), this);
        label->setFont(labelFont);
        label->setGeometry(kPanelLeft + 40, y, kPanelWidth - 48, 24);
        label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        y += kRowStep;
    }

    lblVersion = new QLabel(QStringLiteral("Option v1.00"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont versionFont(QStringLiteral("Comic Sans MS"));
    versionFont.setPixelSize(12);
    versionFont.setItalic(true);
    lblVersion->setFont(versionFont);
    lblVersion->setGeometry(kPanelLeft + 4, height() - 36, 150, 22);
    QPalette versionColours = lblVersion->palette();
    versionColours.setColor(QPalette::WindowText, QColor(0x5b, 0x6b, 0x7d));
    lblVersion->setPalette(versionColours);

    const int column = kPanelLeft + kPanelWidth + 14;
    const int buttonWidth = width() - column - 14;
    lblOK = new LabelButton(QStringLiteral("OK"), this);
    lblOK->setObjectName(QStringLiteral("lblOK"));
    lblOK->setGeometry(column, kPanelTop, buttonWidth, 28);
    lblCancel = new LabelButton(QStringLiteral("Cancel"), this);
    lblCancel->setObjectName(QStringLiteral("lblCancel"));
    lblCancel->setGeometry(column, kPanelTop + 36, buttonWidth, 28);
    lblFileAss = new LabelButton(QStringLiteral("File Association"), this);
    lblFileAss->setObjectName(QStringLiteral("lblFileAss"));
    lblFileAss->setGeometry(column, kPanelBottom - 28 - 36, buttonWidth, 28);
    lblInfo = new LabelButton(QStringLiteral("Info"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setGeometry(column, kPanelBottom - 28, buttonWidth, 28);

    connect(lblOK, &LabelButton::clicked, this, &OptionDialog::confirm);
    connect(lblCancel, &LabelButton::clicked, this, &OptionDialog::cancel);
    connect(lblFileAss, &LabelButton::clicked, this, &OptionDialog::openFileAssociation);
    connect(lblInfo, &LabelButton::clicked, this, &OptionDialog::openInfo);

    QWidget* previous = chkAutoFileAzz;
    for (QWidget* next : std::initializer_list<QWidget*>{chkTransparent, chkFadeOutExit, chkMinimezeSeparate,
                                                          chkAutoSavePlayList, chkOSOnTop, lblOK, lblCancel,
                                                          lblFileAss, lblInfo}) {
        setTabOrder(previous, next);
        previous = next;
    }

    timPlayerCheck.setHandler([this] { timPlayerCheckTick(); });
    timPlayerCheck.setInterval(600);
    watchControls();
}

OptionDialog::~OptionDialog()
{
    delete frmFileAss;
    delete frmInfo;
}

const QStringList& OptionDialog::boxKeys()
{
    static const QStringList keys{
        QLatin1String(keys::AutoFileAss),      QLatin1String(keys::TransPlayList),
        QLatin1String(keys::FadeOutCD),        QLatin1String(keys::MinimizeSeparate),
        QLatin1String(keys::AutosavePlayList), QLatin1String(keys::OSOT),
    };
    return keys;
}

QList<QCheckBox*> OptionDialog::boxes() const
{
    return {chkAutoFileAzz, chkTransparent, chkFadeOutExit, chkMinimezeSeparate, chkAutoSavePlayList, chkOSOnTop};
}

QString OptionDialog::markerPath()
{
    return AppFolder::file(QStringLiteral("activeoption.inf"));
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

void OptionDialog::startUp(const QString& commandLine)
{
    centreOver(nullptr);
    const bool automatic = commandLine == QLatin1String(words::AutoFileAss);
    const bool markerWritten = MarkerFiles::createNoFollow(markerPath(), QStringLiteral("Option Active..."));
    versionText = lblVersion->text().mid(7);
    SettingsStore::write(QLatin1String(keys::Option), versionText);
    if (automatic) {
        // The hidden run re-applies the associations and ends; it never asks
        // anything, not even when the marker cannot be written.
        timPlayerCheck.setInterval(0);
        hide();
        frmFileAss = new FileAssWindow;
        connect(frmFileAss, &FileAssWindow::automaticDone, this, &OptionDialog::endProgram);
        frmFileAss->timAutoFileAss.setInterval(10);
        return;
    }
    if (!markerWritten) {
        // A marker that was never written cannot signal anything: looking
        // for it would confirm the dialog at once, saving options nobody
        // chose and starting a player. Nothing watches it; the user is told
        // once, and the start goes on as usual.
        timPlayerCheck.setInterval(0);
        Dialogs::message(QStringLiteral("Quorbel Player Tirk Option"), folderNotWritableText(AppFolder::path()),
                         MsgIcon::Exclamation, MsgButtons::Ok);
        if (m_ended)
            return;
    }

    if (commandLine == QLatin1String(words::FirstTime)) {
        pendingSave = QLatin1String(kSave);
        showFirstRun();
        startPlayer = QLatin1String(kStartPlayer);
    } else if (commandLine == QLatin1String(words::FirstTimeDefault)) {
        pendingSave = QLatin1String(kSave);
        startPlayer = QLatin1String(kStartPlayer);
        confirm();
    } else if (commandLine == QLatin1String(words::Updatet)) {
        pendingSave = QLatin1String(kSave);
        confirm();
    } else {
        if (!loadStoredOptions()) {
            askAfterUpdate();
            return;
        }
        MakeTopMost(this, true);
        activateWindow();
    }
}

bool OptionDialog::loadStoredOptions()
{
    // Every key must convert before any box changes: a missing or
    // non-numeric one leads to the question with the boxes as they start.
    QList<double> numbers;
    for (const QString& key : boxKeys()) {
        const auto number = SettingsStore::readNumber(key);
        if (!number)
            return false;
        numbers << *number;
    }
    const QList<QCheckBox*> list = boxes();
    for (int i = 0; i < list.size(); ++i)
        list[i]->setChecked(numbers[i] == 1.0);
    return true;
}

QString OptionDialog::folderNotWritableText(const QString& folder)
{
    return QStringLiteral("The folder of Quorbel Player Tirk cannot be written:\r\n") + folder
         + QStringLiteral("\r\n\r\nYour options are saved as usual, but the player cannot close this\r\n"
                          "window for you, and no update can be installed until this folder\r\n"
                          "can be written.");
}

void OptionDialog::askAfterUpdate()
{
    const MsgAnswer answer = Dialogs::message(QStringLiteral("Option System Updatet"), updatedQuestionText(),
                                              MsgIcon::Information, MsgButtons::YesNo);
    if (m_ended)
        return;
    pendingSave = QLatin1String(kSave);
    startPlayer = QLatin1String(kStartPlayer);
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
    if (pendingSave.isEmpty()) {
        endProgram();
        return;
    }
    const QList<QCheckBox*> list = boxes();
    for (int i = 0; i < list.size(); ++i)
        SettingsStore::write(boxKeys()[i], list[i]->isChecked() ? QStringLiteral("1") : QStringLiteral("2"));
    if (!startPlayer.isEmpty())
        ProgramStarter::start(AppFolder::file(QLatin1String(programs::Player)), QLatin1String(words::Fto),
                              WindowStyle::NormalFocus);
    endProgram();
}

void OptionDialog::cancel()
{
    if (!startPlayer.isEmpty())
        confirm();
    endProgram();
}

void OptionDialog::unload()
{
    endProgram();
}

void OptionDialog::timPlayerCheckTick()
{
    if (!MarkerFiles::exists(markerPath()))
        confirm();
}

void OptionDialog::openFileAssociation()
{
    if (m_ended)
        return;
    MakeTopMost(this, false);
    if (!frmFileAss) {
        frmFileAss = new FileAssWindow;
        frmFileAss->centreOver(this);
        FileAssWindow* window = frmFileAss;
        connect(window, &FileAssWindow::unloaded, this, [this] {
            frmFileAss = nullptr;
            takeInputAgain();
        });
        connect(window, &FileAssWindow::infoRequested, this, &OptionDialog::showInfoText);
    }
    frmFileAss->open();
    setEnabled(false);
}

void OptionDialog::openInfo()
{
    if (m_ended)
        return;
    MakeTopMost(this, false);
    showInfoText(InfoWindow::builtInText());
}

void OptionDialog::showInfoText(const QString& crlfText)
{
    if (m_ended)
        return;
    if (!frmInfo) {
        frmInfo = new InfoWindow;
        frmInfo->centreOver(this);
        connect(frmInfo, &InfoWindow::unloaded, this, [this] {
            frmInfo = nullptr;
            takeInputAgain();
        });
    }
    frmInfo->setText(crlfText);
    frmInfo->open();
    setEnabled(false);
}

void OptionDialog::takeInputAgain()
{
    if (m_ended)
        return;
    setEnabled(true);
    MakeTopMost(this, true);
    activateWindow();
}

void OptionDialog::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    m_unloading = true;
    timPlayerCheck.setInterval(0);
    if (frmFileAss)
        frmFileAss->abandon();
    if (frmInfo)
        frmInfo->abandon();
    hide();
    emit ended();
}

void OptionDialog::paintEvent(QPaintEvent* event)
{
    SkinnedWindow::paintEvent(event);
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
