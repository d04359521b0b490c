#pragma once
// The SMTP conversation that delivers a bug report to the relay. Every
// reply of the relay is read and checked: a refusal, a relay that stays
// silent or a connection that drops ends the conversation as a failure.
// The greeting is EHLO, so that the relay can say whether it takes 8-bit
// data; a relay that does not know EHLO is greeted with HELO. The fixed
// pauses between the commands go through the clock (common/clock.h).

#include "mail_message.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTcpSocket;

namespace qpt::internet {

class MailDialogue {
public:
    MailDialogue(QTcpSocket& socket, int replyTimeoutMs);

    // Runs the conversation on a connected socket. True when the relay has
    // taken the message.
    bool run(const Letter& letter);

    // What went wrong, for tests and for anyone reading along in a debugger.
    QString failure() const { return m_failure; }

    // The recipient list "a,b,c" as the addresses to send to, in order.
    static QStringList recipientsFrom(const QString& list);

    // What is sent after DATA: the message with lines beginning with "."
    // doubled, then the closing ".".
    static QByteArray dataBlock(const QByteArray& message);

    // Whether an EHLO reply (its lines, codes included) offers 8BITMIME.
    static bool offers8BitMime(const QList<QByteArray>& replyLines);

private:
    bool converse(const Letter& letter);
    bool sendLine(const QByteArray& line);
    bool command(const QByteArray& line, int expectedClass, const char* what);
    int readReply();
    bool greet(const Letter& letter, bool& takes8Bit);
    bool fail(const QString& why);

    QTcpSocket& m_socket;
    int m_replyTimeoutMs;
    QByteArray m_buffer;
    QList<QByteArray> m_replyLines;  // the lines of the last reply
    QString m_failure;
};

}  // namespace qpt::internet
