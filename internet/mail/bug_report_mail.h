#pragma once
// A bug report's way to the mail relay: the connection, then the mail
// dialogue (mail_dialogue.h) with a letter dated when the relay answered.
// A relay that neither answers nor refuses within the reply time counts as
// a failure, as does one that refuses the connection; what goes wrong is
// logged, and finished() says once how it ended. Driven by the socket's
// signals and timers: the window thread never waits in it.
//
// The relay must offer encryption (STARTTLS) unless the application
// folder's product.ini allows plain mail ([Product] MailWithoutEncryption
// = true, for a relay that cannot encrypt). The socket takes the trusted
// authorities when a report is sent, not when it was made: Qt copies the
// default TLS configuration into a socket as it is created.

#include "mail_dialogue.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QSslSocket;
class QTimer;

namespace qpt::internet {

class BugReportMail : public QObject {
    Q_OBJECT
public:
    explicit BugReportMail(QObject* parent = nullptr);

    // Gives up on a silent relay after this long (milliseconds).
    void setReplyTimeout(int ms) { m_replyTimeoutMs = ms; }

    // Connects to the relay and delivers `body` (lines joined by CR LF).
    void send(const QString& body);
    // The program ends: the mail is dropped and nothing more is reported.
    void stop();
    // Ends the mail dialogue's fixed pause under way at once.
    void endPause();

    // Whether product.ini allows a relay that offers no encryption.
    static bool plainMailAllowed();

signals:
    // The mail dialogue begins a fixed pause of this many milliseconds.
    void pausing(int ms);
    void finished(qpt::internet::MailDialogue::Result result);

private:
    enum class State { Idle, Connecting, Conversing };

    void connected();
    void connectionFailed();
    void dialogueFinished(MailDialogue::Result result);

    QSslSocket* m_socket;
    QTimer* m_connectTimer;
    QPointer<MailDialogue> m_dialogue;
    State m_state = State::Idle;
    bool m_stopped = false;
    int m_replyTimeoutMs = 30000;
    QString m_body;
};

}  // namespace qpt::internet
