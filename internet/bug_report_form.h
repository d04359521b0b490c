#pragma once
// The bug-report form that lies underneath the browser of the main window,
// the timer that reveals it when a page of the update host sends the
// browser to the report, and the mail that carries the report to the relay.
//
//   browsing --reveal--> filling in --Send Report--> connecting --> conversing
//       ^                    |  ^                                     |
//       +---Cancel Report----+  +--(failed: the form keeps its text)--+
//       +---Back to OS------- report sent <---------------------------+

#include "mail_dialogue.h"

#include "skin/caption_label.h"
#include "skin/label_button.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSslSocket;
class QTimer;

namespace qpt::internet {

class WebBrowser;

class BugReportForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRevealInterval = 4000;

    BugReportForm(WebBrowser& browser, CaptionLabel& statusLabel, QWidget* parent);

    // The reveal timer starts looking at the browser.
    void startWatching();
    // The program ends: no more looks, the mail is dropped.
    void stop();

    // The reveal timer's tick (tests call it directly): a browser sent to
    // the loading page of the report gives way to the form.
    void checkForReportPage();
    // "Send Report": checks the fields and connects to the relay.
    void sendReport();
    // "Cancel Report" while filling in, "Back to OS" after a sent report.
    void leaveForm();
    void onMailConnected();
    void onMailError();
    // Ends the mail dialogue's fixed pause under way at once.
    void endMailPause();

    QString messageBody() const;
    // Gives up on a silent relay after this long (milliseconds).
    void setMailReplyTimeout(int ms) { m_mailReplyTimeoutMs = ms; }

    // The status texts after a send.
    static QString sentText();
    static QString failedText();
    static QString notEncryptedText();

    QLineEdit* emailEdit;
    QComboBox* osChoice;
    QComboBox* cpuChoice;
    QComboBox* frequencyChoice;
    QPlainTextEdit* descriptionEdit;
    LabelButton* sendButton;
    LabelButton* cancelButton;
    QTimer* bugReportTimer;
    QSslSocket* mailSocket;

signals:
    // The mail dialogue begins a fixed pause of this many milliseconds.
    void mailPausing(int ms);

private:
    // What the cancel button does, and so what it reads.
    enum class FormState { FillingIn, ReportSent };
    enum class Transfer { None, Connecting, Conversing };

    void setFormState(FormState state);
    void showBrowser(bool visible);
    void resetForm();
    void mailFinished(MailDialogue::Result result);
    void reportSent();
    void reportFailed(const QString& text);

    WebBrowser& m_browser;
    CaptionLabel& m_statusLabel;
    FormState m_formState = FormState::FillingIn;
    Transfer m_transfer = Transfer::None;
    bool m_stopped = false;
    QString m_savedStatus;
    int m_mailReplyTimeoutMs = 30000;
    QTimer* m_connectTimer;
    QPointer<MailDialogue> m_dialogue;
};

}  // namespace qpt::internet
