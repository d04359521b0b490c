#include "bug_report_form.h"

#include "internet/mail/bug_report.h"
#include "internet/online_system.h"
#include "internet/pages/web_browser.h"
#include "internet/update/update_host.h"

#include "common/dialogs.h"
#include "common/product.h"
#include "common/settings_store.h"
#include "skin/caption_label.h"
#include "skin/label_button.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

namespace qpt::internet {

namespace {

const char* const kDontKnow = "Don't Know";

// The label names its field for a screen reader (a choice list would
// otherwise be known by its current item).
QLabel* formLabel(const QString& text, QWidget* field, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    QString name = text;
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    field->setAccessibleName(name);
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

BugReportForm::BugReportForm(WebBrowser& browser, CaptionLabel& statusLabel, QWidget* parent)
    : QWidget(parent), m_browser(browser), m_statusLabel(statusLabel)
{
    auto* heading = new QLabel(QStringLiteral("Online System Bug Report"), this);
    QFont headingFont(QStringLiteral("Comic Sans MS"));
    headingFont.setPointSize(14);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setStyleSheet(QStringLiteral("QLabel { color: #2b3138; }"));
    setAccessibleName(heading->text());

    emailEdit = new QLineEdit(this);
    osChoice = choiceList({QStringLiteral("Don't Know"), QStringLiteral("WindowsNT"), QStringLiteral("Windows95"),
                           QStringLiteral("Windows98"), QStringLiteral("WindowsME"), QStringLiteral("Windows2000"),
                           QStringLiteral("WindowsXP")},
                          this);
    cpuChoice = choiceList({QStringLiteral("Don't Know"), QStringLiteral("0-200MHz"), QStringLiteral("201-400Mhz"),
                            QStringLiteral("401-600MHz"), QStringLiteral("601-800MHz"), QStringLiteral("801 or higher")},
                           this);
    frequencyChoice = choiceList({QStringLiteral("Don't Know"), QStringLiteral("Very Often"), QStringLiteral("Often"),
                                  QStringLiteral("Few Times"), QStringLiteral("Under 5 Times"),
                                  QStringLiteral("Only 1 Time")},
                                 this);
    descriptionEdit = new QPlainTextEdit(this);
    // Tab goes on to the buttons, as everywhere else; a tab in a bug
    // description is worth less than a form the keyboard can leave.
    descriptionEdit->setTabChangesFocus(true);
    sendButton = dialogButton(QStringLiteral("Send Report"), this);
    cancelButton = dialogButton(QStringLiteral("Cancel Report"), this);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(30, 22, 30, 16);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->addWidget(heading, 0, 0, 1, 2);
    grid->addWidget(formLabel(QStringLiteral("Your Em@il:"), emailEdit, this), 1, 0);
    grid->addWidget(emailEdit, 1, 1);
    grid->addWidget(formLabel(QStringLiteral("Select OS Version:"), osChoice, this), 2, 0);
    grid->addWidget(osChoice, 2, 1);
    grid->addWidget(formLabel(QStringLiteral("Select CPU Speed for your system:"), cpuChoice, this), 3, 0);
    grid->addWidget(cpuChoice, 3, 1);
    grid->addWidget(formLabel(QStringLiteral("Have you seen the problem often?"), frequencyChoice, this), 4, 0);
    grid->addWidget(frequencyChoice, 4, 1);
    grid->addWidget(formLabel(QStringLiteral("Bug description:"), descriptionEdit, this), 5, 0, Qt::AlignTop);
    grid->addWidget(descriptionEdit, 5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(sendButton);
    buttons->addSpacing(8);
    buttons->addWidget(cancelButton);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);

    connect(sendButton, &LabelButton::clicked, this, &BugReportForm::sendReport);
    connect(cancelButton, &LabelButton::clicked, this, &BugReportForm::leaveForm);

    bugReportTimer = new QTimer(this);
    connect(bugReportTimer, &QTimer::timeout, this, &BugReportForm::checkForReportPage);

    m_mail = new BugReportMail(this);
    connect(m_mail, &BugReportMail::pausing, this, &BugReportForm::mailPausing);
    connect(m_mail, &BugReportMail::finished, this, &BugReportForm::mailFinished);
    hide();
}

void BugReportForm::startWatching()
{
    bugReportTimer->start(kRevealInterval);
}

void BugReportForm::stop()
{
    bugReportTimer->stop();
    m_mail->stop();
}

void BugReportForm::setMailReplyTimeout(int ms)
{
    m_mail->setReplyTimeout(ms);
}

void BugReportForm::showBrowser(bool visible)
{
    m_browser.setVisible(visible);
    // The form is usable only while the browser does not cover it.
    setVisible(!visible);
}

void BugReportForm::setFormState(FormState state)
{
    m_formState = state;
    cancelButton->setCaption(state == FormState::ReportSent ? QStringLiteral("Back to OS")
                                                            : QStringLiteral("Cancel Report"));
}

void BugReportForm::resetForm()
{
    emailEdit->clear();
    descriptionEdit->clear();
    for (QComboBox* choice : {osChoice, cpuChoice, frequencyChoice})
        choice->setCurrentText(QLatin1String(kDontKnow));
    sendButton->setEnabled(true);
    cancelButton->setEnabled(true);
    emailEdit->setFocus();
}

void BugReportForm::checkForReportPage()
{
    if (m_browser.location() == QUrl(host::url(host::LoadingBugReportPage))) {
        showBrowser(false);
        m_browser.navigate(host::url(host::BugReportPage));
        emailEdit->setFocus();
    }
}

void BugReportForm::sendReport()
{
    if (emailEdit->text().isEmpty()) {
        Dialogs::show(QStringLiteral("OS"), QStringLiteral("You didn't write any email address."),
                      MsgIcon::Information, MsgButtons::Ok, this, {}, window());
        return;
    }
    if (descriptionEdit->toPlainText().isEmpty()) {
        Dialogs::show(QStringLiteral("OS"), QStringLiteral("You didn't write any discription."),
                      MsgIcon::Information, MsgButtons::Ok, this, {}, window());
        return;
    }
    sendButton->setEnabled(false);
    cancelButton->setEnabled(false);
    m_savedStatus = m_statusLabel.caption();
    m_statusLabel.setCaption(QStringLiteral("Sending Report... Please Wait..."));
    m_mail->send(messageBody());
}

void BugReportForm::endMailPause()
{
    m_mail->endPause();
}

void BugReportForm::mailFinished(MailDialogue::Result result)
{
    switch (result) {
    case MailDialogue::Result::Sent: return reportSent();
    case MailDialogue::Result::NotEncrypted: return reportFailed(notEncryptedText());
    case MailDialogue::Result::NoEncryption: return reportFailed(noEncryptionText());
    case MailDialogue::Result::Failed: return reportFailed(failedText());
    }
}

QString BugReportForm::sentText()
{
    return QStringLiteral("Report Successfully Send...\r\nThanks alot...\r\n"
                          "You will soon get an answer regarding your Bug Report...");
}

QString BugReportForm::failedText()
{
    return QStringLiteral("Your Bug Report where not send... Please Try Again...\r\n"
                          "NB: If you are behind a firewall this might be the problem.\r\n"
                          "If you have any quistions, please send a email to ")
         + Product::bugReportMailbox();
}

QString BugReportForm::notEncryptedText()
{
    return QStringLiteral("Your Bug Report was not sent: the mail server offered encryption,\r\n"
                          "but the encrypted connection could not be made, and nothing is\r\n"
                          "sent without it. Please try again later, or send an email to ")
         + Product::bugReportMailbox();
}

QString BugReportForm::noEncryptionText()
{
    return QStringLiteral("Your Bug Report was not sent: the mail server did not offer encryption\r\n"
                          "(or someone on the way removed the offer), and nothing is sent without it.\r\n"
                          "Please try again later, or send an email to ")
         + Product::bugReportMailbox();
}

void BugReportForm::reportSent()
{
    m_statusLabel.setCaption(sentText());
    setFormState(FormState::ReportSent);
    resetForm();
}

void BugReportForm::reportFailed(const QString& text)
{
    m_statusLabel.setCaption(text);
    sendButton->setEnabled(true);
    cancelButton->setEnabled(true);
}

void BugReportForm::leaveForm()
{
    const bool afterSentReport = m_formState == FormState::ReportSent;
    m_browser.navigate(host::url(afterSentReport ? host::IndexPage : host::BugReportPage));
    showBrowser(true);
    setFormState(FormState::FillingIn);
    resetForm();
    if (afterSentReport)
        m_statusLabel.setCaption(m_savedStatus);
}

QString BugReportForm::messageBody() const
{
    BugReport report;
    report.email = emailEdit->text();
    report.os = osChoice->currentText();
    report.cpuSpeed = cpuChoice->currentText();
    report.seen = frequencyChoice->currentText();
    report.description = descriptionEdit->toPlainText();
    report.playerVersion = SettingsStore::read(QLatin1String(keys::PlayerVer));
    report.optionVersion = SettingsStore::read(QLatin1String(keys::Option));
    report.onlineSystemVersion = QLatin1String(OnlineSystem::kVersion);
    report.time = QDateTime::currentDateTime();
    return bugReportBody(report);
}

}  // namespace qpt::internet
