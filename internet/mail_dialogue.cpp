#include "mail_dialogue.h"

#include "common/clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

namespace qpt::internet {

namespace {
constexpr qint64 kMaxReply = 64 * 1024;
}  // namespace

MailDialogue::MailDialogue(QTcpSocket& socket, int replyTimeoutMs)
    : m_socket(socket), m_replyTimeoutMs(replyTimeoutMs)
{
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

bool MailDialogue::offers8BitMime(const QList<QByteArray>& replyLines)
{
    for (const QByteArray& line : replyLines) {
        if (line.size() > 4 && line.mid(4).trimmed().toUpper() == "8BITMIME")
            return true;
    }
    return false;
}

bool MailDialogue::fail(const QString& why)
{
    if (m_failure.isEmpty())
        m_failure = why;
    return false;
}

bool MailDialogue::sendLine(const QByteArray& line)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return fail(QStringLiteral("connection lost before sending"));
    const QByteArray bytes = line + "\r\n";
    return m_socket.write(bytes) == bytes.size() || fail(QStringLiteral("cannot send"));
}

// Reads one reply (all its lines) and returns its code, or 0 when the relay
// stays silent for too long, drops the connection or answers nonsense.
int MailDialogue::readReply()
{
    m_replyLines.clear();
    QElapsedTimer clock;
    clock.start();
    QTimer wake;  // lets the wait notice the timeout even when nothing happens
    wake.start(50);
    qint64 replySize = 0;
    for (;;) {
        // A reply is a few short lines; a relay that sends more (or never
        // stops) is not listened to any longer.
        while (m_socket.bytesAvailable() > 0 && m_buffer.size() <= kMaxReply) {
            const QByteArray more = m_socket.read(kMaxReply);
            m_buffer += more;
            replySize += more.size();
        }
        if (replySize > kMaxReply || clock.elapsed() >= m_replyTimeoutMs)
            return 0;
        const qsizetype end = m_buffer.indexOf("\r\n");
        if (end >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 2);
            m_replyLines << line;
            if (line.size() < 3)
                return 0;
            bool ok = false;
            const int code = line.left(3).toInt(&ok);
            if (!ok)
                return 0;
            if (line.size() > 3 && line.at(3) == '-')
                continue;  // more lines of the same reply follow
            return code;
        }
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            return 0;
        if (clock.elapsed() >= m_replyTimeoutMs)
            return 0;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

bool MailDialogue::command(const QByteArray& line, int expectedClass, const char* what)
{
    if (!sendLine(line))
        return false;
    const int code = readReply();
    if (code / 100 != expectedClass)
        return fail(QStringLiteral("%1: reply %2").arg(QLatin1String(what)).arg(code));
    return true;
}

bool MailDialogue::greet(const Letter& letter, bool& takes8Bit)
{
    const QByteArray name = letter.heloName.toLocal8Bit();
    if (!sendLine("EHLO " + name))
        return false;
    const int code = readReply();
    if (code / 100 == 2) {
        takes8Bit = offers8BitMime(m_replyLines);
        return true;
    }
    // A relay of the old school: no extensions, so 7-bit data only.
    if (code / 100 != 5)
        return fail(QStringLiteral("EHLO: reply %1").arg(code));
    takes8Bit = false;
    return command("HELO " + name, 2, "HELO");
}

bool MailDialogue::run(const Letter& letter)
{
    const bool sent = converse(letter);
    if (!sent && m_socket.state() == QAbstractSocket::ConnectedState) {
        // Leave a refusing relay politely.
        m_socket.write("QUIT\r\n");
        m_socket.flush();
    }
    return sent;
}

bool MailDialogue::converse(const Letter& letter)
{
    const int greeting = readReply();
    if (greeting / 100 != 2)
        return fail(QStringLiteral("greeting: reply %1").arg(greeting));

    bool takes8Bit = false;
    if (!greet(letter, takes8Bit))
        return false;
    pauseFor(0.3);
    const BodyEncoding encoding = bodyEncodingFor(letter.body, takes8Bit);
    const QByteArray bodyType = encoding == BodyEncoding::EightBit ? " BODY=8BITMIME" : "";
    if (!command("MAIL FROM: <" + letter.sender.toLocal8Bit() + ">" + bodyType, 2, "MAIL FROM"))
        return false;
    if (letter.recipients.isEmpty())
        return fail(QStringLiteral("no recipient"));
    for (const QString& recipient : letter.recipients) {
        pauseFor(0.5);
        if (!command("RCPT TO: <" + recipient.toLocal8Bit() + ">", 2, "RCPT TO"))
            return false;
    }
    pauseFor(0.5);
    if (!command("DATA", 3, "DATA"))
        return false;
    pauseFor(0.9);
    // The header first, then after a pause the body and the end of data.
    const QByteArray block = dataBlock(composeMessage(letter, encoding));
    const qsizetype headerEnd = block.indexOf("\r\n\r\n") + 4;
    if (m_socket.write(block.left(headerEnd)) != headerEnd)
        return fail(QStringLiteral("cannot send"));
    pauseFor(0.3);
    if (m_socket.write(block.mid(headerEnd)) != block.size() - headerEnd)
        return fail(QStringLiteral("cannot send"));
    const int accepted = readReply();
    if (accepted / 100 != 2)
        return fail(QStringLiteral("end of data: reply %1").arg(accepted));

    // The relay has the message; the rest is good manners.
    pauseFor(3);
    if (sendLine("QUIT"))
        readReply();
    m_socket.disconnectFromHost();
    return true;
}

}  // namespace qpt::internet
