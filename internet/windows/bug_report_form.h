#pragma once
// The bug-report form that lies underneath the browser of the main window,
// and the timer that reveals it when a page of the update host sends the
// browser to the report. The report's text and its mail to the relay are
// the mail's (bug_report.h, bug_report_mail.h).
//
//   browsing --reveal--> filling in --Send Report--> connecting --> conversing
//       ^                    |  ^                                     |
//       +---Cancel Report----+  +--(failed: the form keeps its text)--+
//       +---Back to OS------- report sent <---------------------------+

#include "internet/mail/bug_report_mail.h"

#include "skin/caption_label.h"
#include "skin/label_button.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
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
    // "Send Report": checks the fields and sends the report.
    void sendReport();
    // "Cancel Report" while filling in, "Back to OS" after a sent report.
    void leaveForm();
    // Ends the mail dialogue's fixed pause under way at once.
    void endMailPause();

    QString messageBody() const;
    // Gives up on a silent relay after this long (milliseconds).
    void setMailReplyTimeout(int ms);

    // The status texts after a send.
    static QString sentText();
    static QString failedText();
    static QString notEncryptedText();
    static QString noEncryptionText();

    QLineEdit* emailEdit;
    QComboBox* osChoice;
    QComboBox* cpuChoice;
    QComboBox* frequencyChoice;
    QPlainTextEdit* descriptionEdit;
    LabelButton* sendButton;
    LabelButton* cancelButton;
    QTimer* bugReportTimer;

signals:
    // The mail dialogue begins a fixed pause of this many milliseconds.
    void mailPausing(int ms);

private:
    // What the cancel button does, and so what it reads.
    enum class FormState { FillingIn, ReportSent };

    void setFormState(FormState state);
    void showBrowser(bool visible);
    void resetForm();
    void mailFinished(MailDialogue::Result result);
    void reportSent();
    void reportFailed(const QString& text);

    WebBrowser& m_browser;
    CaptionLabel& m_statusLabel;
    BugReportMail* m_mail;
    FormState m_formState = FormState::FillingIn;
    QString m_savedStatus;
};

}  // namespace qpt::internet
