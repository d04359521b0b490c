#pragma once
// The SMTP conversation that delivers a bug report to the relay, driven by
// the socket's signals and timers: the window thread never waits in it.
//
// Every reply of the relay is read and checked, and a reply counts only
// when it comes after its command: a relay that speaks out of turn (before
// a command, during a pause, more than one reply at once) is not believed.
// What the relay may send is bounded at all times (the socket's buffer and
// one reply alike). A refusal, a silent relay or a dropped connection ends
// the conversation as a failure, unless the relay has already taken the
// message: from its 250 after the data on, the report counts as sent,
// whatever follows (so that a user who tries again does not send it twice).
//
// The greeting is EHLO, so that the relay can say whether it takes 8-bit
// data and offers STARTTLS; a relay that does not know EHLO is greeted with
// HELO. Where STARTTLS is offered the conversation is encrypted before the
// sender is named, and nothing more is sent when the encryption fails or
// its handshake does not end within the time a reply may take. A relay that
// does not offer it (or whose offer someone on the way has cut out) gets
// nothing but QUIT, unless a plain conversation is allowed.
// The fixed pauses between the commands are timers; pausing() announces
// each, and endPause() ends the one under way at once (tests drive them).

#include "mail_message.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QSslSocket;

namespace qpt::internet {

class MailDialogue : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Sent,
        Failed,
        NotEncrypted,  // encryption was offered but could not be made
        NoEncryption,  // the relay offers none, and plain mail is not allowed
    };

    // Most a relay may send for one reply, and what the socket may hold.
    static constexpr qint64 kMaxReply = 64 * 1024;

    MailDialogue(QSslSocket& socket, const Letter& letter, int replyTimeoutMs, QObject* parent = nullptr);

    // Whether the report may go in the clear to a relay that offers no
    // encryption (before start(); by default it may not).
    void setPlainAllowed(bool allowed) { m_plainAllowed = allowed; }
    // Begins on a connected socket; the relay's greeting comes first.
    void start();
    // Stops without a word (the program ends).
    void abandon();

    // What went wrong, for the log and for tests.
    QString failure() const { return m_failure; }
    bool isEncrypted() const { return m_encrypted; }

    // The fixed pause under way, in milliseconds (0: none), and its end now.
    int pauseUnderWay() const { return m_pause.isActive() ? m_pause.interval() : 0; }
    void endPause();

    // The recipient list "a,b,c" as the addresses to send to, in order.
    static QStringList recipientsFrom(const QString& list);
    // What is sent after DATA: the message with lines beginning with "."
    // doubled, then the closing ".".
    static QByteArray dataBlock(const QByteArray& message);
    // Whether an EHLO reply (its lines, codes included) offers an extension.
    static bool offers(const QList<QByteArray>& replyLines, const QByteArray& extension);

signals:
    void pausing(int ms);
    void finished(qpt::internet::MailDialogue::Result result);

private:
    using Then = std::function<void()>;

    void greet();
    void greeted(int code);
    void startTls();
    void encrypted();
    void mailFrom();
    void nextRecipient();
    void data();
    void header();
    void body();
    void quit();

    // Sends a line; `then` runs on a reply of the class (2 for 2xx).
    void command(const QByteArray& line, int expectedClass, const char* what, Then then);
    void awaitReply(std::function<void(int code)> then);
    void after(int ms, Then then);
    bool send(const QByteArray& bytes);
    void readReply();
    void socketError();
    void fail(const QString& why, Result result = Result::Failed);
    void finish(Result result);

    QSslSocket& m_socket;
    Letter m_letter;
    int m_replyTimeoutMs;
    QTimer m_replyTimer;
    QTimer m_pause;
    Then m_afterPause;
    std::function<void(int)> m_onReply;  // set while a reply is awaited
    QByteArray m_buffer;
    QList<QByteArray> m_replyLines;
    qint64 m_replyBytes = 0;
    QByteArray m_block;          // the data block, header and body
    qsizetype m_headerEnd = 0;
    int m_nextRecipient = 0;
    bool m_takes8Bit = false;
    bool m_plainAllowed = false;
    bool m_encrypting = false;
    bool m_encrypted = false;
    bool m_awaitingAcceptance = false;  // the reply to the message itself is due
    bool m_accepted = false;     // the relay has taken the message
    bool m_done = false;
    QString m_failure;
};

}  // namespace qpt::internet
