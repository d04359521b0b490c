#include "bug_report_mail.h"

#include "internet/shared/extra_authorities.h"
#include "internet/shared/online_log.h"

#include "common/app_folder.h"
#include "common/product.h"

#include <QDateTime>
#include <QHostInfo>
#include <QSettings>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace qpt::internet {

BugReportMail::BugReportMail(QObject* parent)
    : QObject(parent), m_socket(new QSslSocket(this)), m_connectTimer(new QTimer(this))
{
    connect(m_socket, &QSslSocket::connected, this, &BugReportMail::connected);
    connect(m_socket, &QSslSocket::errorOccurred, this, &BugReportMail::connectionFailed);
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, [this] {
        if (m_state == State::Connecting && m_socket->state() != QAbstractSocket::ConnectedState)
            connectionFailed();
    });
}

bool BugReportMail::plainMailAllowed()
{
    const QSettings productIni(AppFolder::file(QStringLiteral("product.ini")), QSettings::IniFormat);
    return productIni.value(QStringLiteral("Product/MailWithoutEncryption")).toBool();
}

void BugReportMail::send(const QString& body)
{
    m_body = body;
    m_socket->abort();
    // The authorities as they are trusted now, whenever the socket was made.
    trustExtraAuthorities();
    m_socket->setSslConfiguration(QSslConfiguration::defaultConfiguration());
    m_state = State::Connecting;
    m_connectTimer->start(m_replyTimeoutMs);
    m_socket->connectToHost(Product::mailRelayHost(), quint16(Product::mailRelayPort()));
}

void BugReportMail::stop()
{
    m_stopped = true;
    m_connectTimer->stop();
    if (m_dialogue)
        m_dialogue->abandon();
    m_socket->abort();
}

void BugReportMail::endPause()
{
    if (m_dialogue)
        m_dialogue->endPause();
}

void BugReportMail::connected()
{
    if (m_state != State::Connecting)
        return;
    m_connectTimer->stop();
    m_state = State::Conversing;
    Letter letter;
    letter.body = m_body;
    letter.heloName = QHostInfo::localHostName();
    if (letter.heloName.isEmpty())
        letter.heloName = QStringLiteral("localhost");
    letter.sender = Product::mailSender();
    letter.recipients = MailDialogue::recipientsFrom(Product::bugReportMailbox());
    letter.subject = QStringLiteral("Online System Bug Report");
    letter.date = QDateTime::currentDateTime();
    letter.messageId = newMessageId(letter.sender);

    if (m_dialogue)
        m_dialogue->deleteLater();
    m_dialogue = new MailDialogue(*m_socket, letter, m_replyTimeoutMs, this);
    m_dialogue->setPlainAllowed(plainMailAllowed());
    connect(m_dialogue, &MailDialogue::pausing, this, &BugReportMail::pausing);
    connect(m_dialogue, &MailDialogue::finished, this, &BugReportMail::dialogueFinished);
    m_dialogue->start();
}

void BugReportMail::connectionFailed()
{
    // Failures during the conversation are the conversation's to report.
    if (m_state != State::Connecting)
        return;
    qCWarning(lcMail) << "no connection to the relay:" << m_socket->errorString();
    m_connectTimer->stop();
    m_state = State::Idle;
    m_socket->abort();
    if (!m_stopped)
        emit finished(MailDialogue::Result::Failed);
}

void BugReportMail::dialogueFinished(MailDialogue::Result result)
{
    m_state = State::Idle;
    if (m_dialogue)
        m_dialogue->deleteLater();
    const QString failure = m_dialogue ? m_dialogue->failure() : QString();
    m_socket->abort();
    if (m_stopped)
        return;
    if (result != MailDialogue::Result::Sent)
        qCWarning(lcMail) << "bug report not sent:" << failure;
    emit finished(result);
}

}  // namespace qpt::internet
