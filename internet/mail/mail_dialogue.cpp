#include "mail_dialogue.h"

#include <QSslSocket>

namespace qpt::internet {

namespace {

// The fixed pauses of the dialogue, in milliseconds.
constexpr int kAfterGreeting = 300;
constexpr int kBeforeRecipient = 500;
constexpr int kBeforeData = 500;
constexpr int kAfterData = 900;
constexpr int kAfterHeader = 300;
constexpr int kBeforeQuit = 3000;

}  // namespace

MailDialogue::MailDialogue(QSslSocket& socket, const Letter& letter, int replyTimeoutMs, QObject* parent)
    : QObject(parent), m_socket(socket), m_letter(letter), m_replyTimeoutMs(replyTimeoutMs)
{
    m_replyTimer.setSingleShot(true);
    m_pause.setSingleShot(true);
    // The reply timer also bounds the TLS handshake: a relay that says yes
    // to STARTTLS and then never speaks TLS is not waited for.
    connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        if (m_encrypting)
            return fail(QStringLiteral("the encryption does not begin"), Result::NotEncrypted);
        fail(QStringLiteral("the relay stays silent"));
    });
    connect(&m_pause, &QTimer::timeout, this, &MailDialogue::endPause);
}

QStringList MailDialogue::recipientsFrom(const QString& list)
{
    QStringList addresses;
    for (const QString& part : list.split(QLatin1Char(','))) {
        const QString address = part.trimmed();
        if (!address.isEmpty())
            addresses << address;
    }
    return addresses;
}

QByteArray MailDialogue::dataBlock(const QByteArray& message)
{
    QByteArray block;
    const QList<QByteArray> lines = message.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (i + 1 == lines.size() && line.isEmpty())
            break;  // the message's last line end
        // A line beginning with "." gets another one in front, so that the
        // relay neither ends the data early nor drops the dot.
        if (line.startsWith('.'))
            block += '.';
        block += line;
        block += line.endsWith('\r') ? "\n" : "\r\n";
    }
    block += ".\r\n";
    return block;
}

bool MailDialogue::offers(const QList<QByteArray>& replyLines, const QByteArray& extension)
{
    for (const QByteArray& line : replyLines) {
        // "250-STARTTLS", "250 8BITMIME": the keyword, maybe with parameters.
        const QList<QByteArray> words = line.mid(4).trimmed().toUpper().split(' ');
        if (line.size() > 4 && words.first() == extension)
            return true;
    }
    return false;
}

void MailDialogue::start()
{
    // Whatever the relay sends, no more than this waits in memory.
    m_socket.setReadBufferSize(kMaxReply);
    connect(&m_socket, &QSslSocket::readyRead, this, &MailDialogue::readReply);
    connect(&m_socket, &QSslSocket::errorOccurred, this, &MailDialogue::socketError);
    connect(&m_socket, &QSslSocket::disconnected, this, &MailDialogue::socketError);
    connect(&m_socket, &QSslSocket::encrypted, this, &MailDialogue::encrypted);
    // The greeting is awaited from the moment of connection on.
    m_onReply = [this](int code) {
        if (code / 100 != 2)
            return fail(QStringLiteral("greeting: reply %1").arg(code));
        greet();
    };
    m_replyTimer.start(m_replyTimeoutMs);
    if (m_socket.bytesAvailable() > 0)
        readReply();
}

void MailDialogue::abandon()
{
    m_done = true;
    m_replyTimer.stop();
    m_pause.stop();
    m_socket.disconnect(this);
}

// ---------------------------------------------------------------- the steps

void MailDialogue::greet()
{
    if (!send("EHLO " + m_letter.heloName.toLocal8Bit() + "\r\n"))
        return;
    awaitReply([this](int code) { greeted(code); });
}

void MailDialogue::greeted(int code)
{
    if (code / 100 == 2) {
        m_takes8Bit = offers(m_replyLines, "8BITMIME");
        if (!m_encrypted && offers(m_replyLines, "STARTTLS"))
            return startTls();
        if (!m_encrypted && !m_plainAllowed)
            return fail(QStringLiteral("the relay offers no encryption"), Result::NoEncryption);
        return after(kAfterGreeting, [this] { mailFrom(); });
    }
    // A relay of the old school: no extensions, so 7-bit data only (and
    // no encryption).
    if (code / 100 != 5 || m_encrypted)
        return fail(QStringLiteral("EHLO: reply %1").arg(code));
    if (!m_plainAllowed)
        return fail(QStringLiteral("the relay knows no EHLO, so no encryption"), Result::NoEncryption);
    m_takes8Bit = false;
    command("HELO " + m_letter.heloName.toLocal8Bit(), 2, "HELO",
            [this] { after(kAfterGreeting, [this] { mailFrom(); }); });
}

void MailDialogue::startTls()
{
    command("STARTTLS", 2, "STARTTLS", [this] {
        // Whatever the relay said before the handshake is not part of the
        // encrypted conversation (a reply with more after it is refused
        // before this point).
        m_encrypting = true;
        m_replyTimer.start(m_replyTimeoutMs);
        m_socket.startClientEncryption();
    });
}

void MailDialogue::encrypted()
{
    if (m_done || !m_encrypting)
        return;
    m_encrypting = false;
    m_encrypted = true;
    m_replyTimer.stop();
    // The relay's offers count anew once the conversation is encrypted.
    greet();
}

void MailDialogue::mailFrom()
{
    const BodyEncoding encoding = bodyEncodingFor(m_letter.body, m_takes8Bit);
    m_block = dataBlock(composeMessage(m_letter, encoding));
    m_headerEnd = m_block.indexOf("\r\n\r\n") + 4;
    if (m_letter.recipients.isEmpty())
        return fail(QStringLiteral("no recipient"));
    const QByteArray bodyType = encoding == BodyEncoding::EightBit ? " BODY=8BITMIME" : "";
    command("MAIL FROM: <" + m_letter.sender.toLocal8Bit() + ">" + bodyType, 2, "MAIL FROM", [this] {
        m_nextRecipient = 0;
        nextRecipient();
    });
}

void MailDialogue::nextRecipient()
{
    if (m_nextRecipient == m_letter.recipients.size())
        return after(kBeforeData, [this] { data(); });
    const QByteArray address = m_letter.recipients.at(m_nextRecipient++).toLocal8Bit();
    after(kBeforeRecipient, [this, address] {
        command("RCPT TO: <" + address + ">", 2, "RCPT TO", [this] { nextRecipient(); });
    });
}

void MailDialogue::data()
{
    command("DATA", 3, "DATA", [this] { after(kAfterData, [this] { header(); }); });
}

void MailDialogue::header()
{
    // The header first, then after a pause the body and the end of data.
    if (send(m_block.left(m_headerEnd)))
        after(kAfterHeader, [this] { body(); });
}

void MailDialogue::body()
{
    if (!send(m_block.mid(m_headerEnd)))
        return;
    m_awaitingAcceptance = true;
    awaitReply([this](int code) {
        if (code / 100 != 2)
            return fail(QStringLiteral("end of data: reply %1").arg(code));
        // The relay has the message; the rest is good manners.
        m_accepted = true;
        after(kBeforeQuit, [this] { quit(); });
    });
}

void MailDialogue::quit()
{
    if (send("QUIT\r\n"))
        awaitReply([this](int) { finish(Result::Sent); });
}

// ---------------------------------------------------------------- machinery

void MailDialogue::command(const QByteArray& line, int expectedClass, const char* what, Then then)
{
    if (!send(line + "\r\n"))
        return;
    awaitReply([this, expectedClass, what, then](int code) {
        if (code / 100 != expectedClass)
            return fail(QStringLiteral("%1: reply %2").arg(QLatin1String(what)).arg(code));
        then();
    });
}

void MailDialogue::awaitReply(std::function<void(int)> then)
{
    m_replyLines.clear();
    m_replyBytes = 0;
    m_onReply = std::move(then);
    m_replyTimer.start(m_replyTimeoutMs);
    // A reply already waiting was sent before its command.
    if (!m_buffer.isEmpty() || m_socket.bytesAvailable() > 0)
        fail(QStringLiteral("the relay spoke out of turn"));
}

void MailDialogue::after(int ms, Then then)
{
    m_afterPause = std::move(then);
    m_pause.start(ms);
    emit pausing(ms);
}

void MailDialogue::endPause()
{
    if (m_done || !m_afterPause)
        return;
    m_pause.stop();
    const Then then = std::move(m_afterPause);
    m_afterPause = {};
    then();
}

bool MailDialogue::send(const QByteArray& bytes)
{
    if (m_done)
        return false;
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        fail(QStringLiteral("connection lost before sending"));
        return false;
    }
    if (m_socket.write(bytes) != bytes.size()) {
        fail(QStringLiteral("cannot send"));
        return false;
    }
    return true;
}

// Reads what the relay sent, within bounds: the reply awaited, or nothing.
void MailDialogue::readReply()
{
    if (m_done)
        return;
    if (m_encrypting)
        return;  // the handshake's own; nothing is read until it is done
    if (!m_onReply) {
        // Bytes while no reply is awaited: before a command, during a
        // pause. Once the message is taken they no longer matter.
        if (m_accepted)
            return finish(Result::Sent);
        return fail(QStringLiteral("the relay spoke out of turn"));
    }
    const QByteArray more = m_socket.read(kMaxReply - m_buffer.size());
    m_buffer += more;
    // One reply is a few short lines: a relay that sends more (or never
    // stops) is not listened to any longer.
    m_replyBytes += more.size();
    if (m_replyBytes > kMaxReply)
        return fail(QStringLiteral("the reply does not end"));
    for (;;) {
        const qsizetype end = m_buffer.indexOf("\r\n");
        if (end < 0) {
            if (m_buffer.size() >= kMaxReply)
                fail(QStringLiteral("the reply does not end"));
            return;
        }
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 2);
        m_replyLines << line;
        bool ok = false;
        const int code = line.left(3).toInt(&ok);
        if (line.size() < 3 || !ok || code < 100 || code > 599)
            return fail(QStringLiteral("not a reply: %1").arg(QString::fromLatin1(line.left(80))));
        if (line.size() > 3 && line.at(3) == '-')
            continue;  // more lines of the same reply follow
        // One reply, and nothing after it: the next command is not sent yet.
        // (A relay that took the message and then spoke out of turn has
        // still taken it.)
        if (!m_buffer.isEmpty() || m_socket.bytesAvailable() > 0) {
            m_accepted = m_accepted || (m_awaitingAcceptance && code / 100 == 2);
            return fail(QStringLiteral("the relay spoke out of turn"));
        }
        m_replyTimer.stop();
        const std::function<void(int)> then = std::move(m_onReply);
        m_onReply = {};
        then(code);
        return;
    }
}

void MailDialogue::socketError()
{
    if (m_done)
        return;
    if (m_encrypting)
        return fail(QStringLiteral("encryption failed: %1").arg(m_socket.errorString()), Result::NotEncrypted);
    fail(QStringLiteral("connection: %1").arg(m_socket.errorString()));
}

void MailDialogue::fail(const QString& why, Result result)
{
    if (m_done)
        return;
    // Once the relay has the message, nothing that follows undoes that.
    if (m_accepted)
        return finish(Result::Sent);
    m_failure = why;
    finish(result);
}

void MailDialogue::finish(Result result)
{
    if (m_done)
        return;
    abandon();
    // A failed handshake leaves nothing to say on the connection: it ends
    // at once. Otherwise the relay is left politely.
    const bool polite = result == Result::Failed || result == Result::NoEncryption;
    if (polite && m_socket.state() == QAbstractSocket::ConnectedState && !m_encrypting) {
        // Handed to the system now: whoever owns the socket may abort it next.
        m_socket.write("QUIT\r\n");
        m_socket.flush();
    }
    if (result == Result::NotEncrypted)
        m_socket.abort();
    else
        m_socket.disconnectFromHost();
    emit finished(result);
}

}  // namespace qpt::internet
