#pragma once
// The SMTP conversation that delivers a bug report to the relay. Every
// reply of the relay is read and checked: a refusal, a relay that stays
// silent or a connection that drops ends the conversation as a failure.
// The fixed pauses between the commands go through Pause (download.h).

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTcpSocket;

namespace qpt::internet {

struct Letter {
    QString heloName;        // the local host name
    QString sender;          // a valid address for MAIL FROM
    QStringList recipients;  // one RCPT TO each, in this order
    QString subject;
    QString body;            // lines joined by CR LF
};

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

    // The lines sent after DATA, up to and including the end of the data:
    // the subject line, the body with CR LF line ends and lines beginning
    // with "." doubled, two empty lines and the closing ".".
    static QByteArray dataBlock(const QString& subject, const QString& body);

private:
    bool converse(const Letter& letter);
    bool sendLine(const QByteArray& line);
    bool command(const QByteArray& line, int expectedClass, const char* what);
    int readReply();
    bool fail(const QString& why);

    QTcpSocket& m_socket;
    int m_replyTimeoutMs;
    QByteArray m_buffer;
    QString m_failure;
};

}  // namespace qpt::internet
