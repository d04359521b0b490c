// The bug-report form of the main window and the mail that carries it.

#include "frm_main.h"

#include "mail_dialogue.h"
#include "online_system.h"
#include "web_browser.h"

#include "common/dialogs.h"
#include "common/event_loop.h"
#include "common/product.h"
#include "common/settings_store.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

namespace qpt::internet {

namespace {

const char* const kCancelReport = "Cancel Report";
const char* const kBackToOs = "Back to OS";
const char* const kDontKnow = "Don't Know";

QLabel* formLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(9);
    font.setBold(true);
    label->setFont(font);
    return label;
}

QComboBox* choiceList(const QStringList& items, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->addItems(items);
    combo->setCurrentText(QLatin1String(kDontKnow));
    return combo;
}

}  // namespace

void FrmMain::buildReportForm()
{
    reportForm = new QWidget(this);

    auto* heading = new QLabel(QStringLiteral("Online System Bug Report"), reportForm);
    QFont headingFont(QStringLiteral("Comic Sans MS"));
    headingFont.setPointSize(14);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setStyleSheet(QStringLiteral("QLabel { color: #2b3138; }"));

    txtEmail = new QLineEdit(reportForm);
    cmbOS = choiceList({QStringLiteral("Don't Know"), QStringLiteral("WindowsNT"), QStringLiteral("Windows95"),
                        QStringLiteral("Windows98"), QStringLiteral("WindowsME"), QStringLiteral("Windows2000"),
                        QStringLiteral("WindowsXP")},
                       reportForm);
    cmbMhz = choiceList({QStringLiteral("Don't Know"), QStringLiteral("0-200MHz"), QStringLiteral("201-400Mhz"),
                         QStringLiteral("401-600MHz"), QStringLiteral("601-800MHz"), QStringLiteral("801 or higher")},
                        reportForm);
    cmbOften = choiceList({QStringLiteral("Don't Know"), QStringLiteral("Very Often"), QStringLiteral("Often"),
                           QStringLiteral("Few Times"), QStringLiteral("Under 5 Times"), QStringLiteral("Only 1 Time")},
                          reportForm);
    txtDescription = new QPlainTextEdit(reportForm);
    lblSendReport = dialogButton(QStringLiteral("Send Report"), reportForm);
    lblCancelreport = dialogButton(QLatin1String(kCancelReport), reportForm);

    auto* grid = new QGridLayout(reportForm);
    grid->setContentsMargins(30, 22, 30, 16);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->addWidget(heading, 0, 0, 1, 2);
    grid->addWidget(formLabel(QStringLiteral("Your Em@il:"), reportForm), 1, 0);
    grid->addWidget(txtEmail, 1, 1);
    grid->addWidget(formLabel(QStringLiteral("Select OS Version:"), reportForm), 2, 0);
    grid->addWidget(cmbOS, 2, 1);
    grid->addWidget(formLabel(QStringLiteral("Select CPU Speed for your system:"), reportForm), 3, 0);
    grid->addWidget(cmbMhz, 3, 1);
    grid->addWidget(formLabel(QStringLiteral("Have you seen the problem often?"), reportForm), 4, 0);
    grid->addWidget(cmbOften, 4, 1);
    grid->addWidget(formLabel(QStringLiteral("Bug description:"), reportForm), 5, 0, Qt::AlignTop);
    grid->addWidget(txtDescription, 5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(lblSendReport);
    buttons->addSpacing(8);
    buttons->addWidget(lblCancelreport);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);

    connect(lblSendReport, &LabelButton::clicked, this, &FrmMain::lblSendReport_Click);
    connect(lblCancelreport, &LabelButton::clicked, this, &FrmMain::lblCancelreport_Click);
    reportForm->hide();
}

void FrmMain::showBrowser(bool visible)
{
    Browser->setVisible(visible);
    // The form is usable only while the browser does not cover it.
    reportForm->setVisible(!visible);
}

void FrmMain::resetReportForm()
{
    txtEmail->clear();
    txtDescription->clear();
    for (QComboBox* choice : {cmbOS, cmbMhz, cmbOften})
        choice->setCurrentText(QLatin1String(kDontKnow));
    lblSendReport->setEnabled(true);
    lblCancelreport->setEnabled(true);
    txtEmail->setFocus();
}

void FrmMain::timBugReport_Timer()
{
    if (Browser->location() == QUrl(hostUrl(QStringLiteral("loadingbugreport.txt")))) {
        showBrowser(false);
        Browser->navigate(hostUrl(QStringLiteral("bugreport.txt")));
        txtEmail->setFocus();
    }
}

void FrmMain::lblSendReport_Click()
{
    if (txtEmail->text().isEmpty()) {
        Dialogs::message(QStringLiteral("OS"), QStringLiteral("You didn't write any email address."),
                         MsgIcon::Information, MsgButtons::Ok, this);
        return;
    }
    if (txtDescription->toPlainText().isEmpty()) {
        Dialogs::message(QStringLiteral("OS"), QStringLiteral("You didn't write any discription."),
                         MsgIcon::Information, MsgButtons::Ok, this);
        return;
    }
    lblSendReport->setEnabled(false);
    lblCancelreport->setEnabled(false);
    m_savedStatus = lblStatus->caption();
    setStatus(QStringLiteral("Sending Report... Please Wait..."));
    Winsock->abort();
    m_sending = true;
    m_connectTimer->start(m_mailReplyTimeoutMs);
    Winsock->connectToHost(Product::mailRelayHost(), quint16(Product::mailRelayPort()));
}

void FrmMain::Winsock_Connect()
{
    if (!m_sending || m_inDialogue)
        return;
    m_connectTimer->stop();
    m_inDialogue = true;
    Letter letter;
    letter.body = buildMessageBody();
    letter.heloName = QHostInfo::localHostName();
    if (letter.heloName.isEmpty())
        letter.heloName = QStringLiteral("localhost");
    letter.sender = Product::mailSender();
    letter.recipients = MailDialogue::recipientsFrom(Product::bugReportMailbox());
    letter.subject = QStringLiteral("Online System Bug Report");
    letter.date = QDateTime::currentDateTime();
    letter.messageId = newMessageId(letter.sender);

    MailDialogue dialogue(*Winsock, m_mailReplyTimeoutMs);
    const bool sent = dialogue.run(letter);
    m_inDialogue = false;
    Winsock->abort();
    if (m_unloaded || !m_sending)
        return;
    m_sending = false;
    if (sent)
        reportSent();
    else
        reportFailed();
}

void FrmMain::Winsock_Error()
{
    // Failures during the conversation are the conversation's to report.
    if (!m_sending || m_inDialogue)
        return;
    m_connectTimer->stop();
    m_sending = false;
    Winsock->abort();
    reportFailed();
}

void FrmMain::reportSent()
{
    setStatus(QStringLiteral("Report Successfully Send...\r\nThanks alot...\r\n"
                             "You will soon get an answer regarding your Bug Report..."));
    lblCancelreport->setCaption(QLatin1String(kBackToOs));
    resetReportForm();
}

void FrmMain::reportFailed()
{
    setStatus(QStringLiteral("Your Bug Report where not send... Please Try Again...\r\n"
                             "NB: If you are behind a firewall this might be the problem.\r\n"
                             "If you have any quistions, please send a email to ")
              + Product::bugReportMailbox());
    lblSendReport->setEnabled(true);
    lblCancelreport->setEnabled(true);
}

void FrmMain::lblCancelreport_Click()
{
    if (lblCancelreport->caption() == QLatin1String(kCancelReport)) {
        Browser->navigate(hostUrl(QStringLiteral("bugreport.txt")));
        showBrowser(true);
        resetReportForm();
    } else {
        Browser->navigate(hostUrl(QStringLiteral("index.txt")));
        showBrowser(true);
        lblCancelreport->setCaption(QLatin1String(kCancelReport));
        resetReportForm();
        setStatus(m_savedStatus);
    }
}

QString FrmMain::buildMessageBody() const
{
    QString description = txtDescription->toPlainText();
    description.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    description.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList lines = {
        QStringLiteral("OS Bug Report From: ") + txtEmail->text(),
        QString(),
        QStringLiteral("User use ") + cmbOS->currentText() + QStringLiteral(" as OS"),
        QStringLiteral("System CPU Speed: ") + cmbMhz->currentText(),
        QStringLiteral("User is using ") + SettingsStore::read(QLatin1String(keys::PlayerVer)),
        QStringLiteral("Option Version: ") + SettingsStore::read(QLatin1String(keys::Option)),
        QStringLiteral("OS Version: ") + QLatin1String(OnlineSystem::kVersion),
        QStringLiteral("User Have Seen The Bug, ") + cmbOften->currentText(),
        QString(),
        QStringLiteral("Bug Report Description: "),
        description,
        QStringLiteral("Time: ") + now.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" / Date: ")
            + now.toString(QStringLiteral("MM-dd-yyyy")),
    };
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace qpt::internet
