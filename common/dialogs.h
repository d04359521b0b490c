#pragma once
// Every message box and file dialog of the three programs goes through here.
//
// For automation two environment variables apply:
//   QPT_DIALOG_LOG=<file>      each box and dialog is appended as one JSON line
//   QPT_DIALOG_ANSWERS=a,b,... the boxes and dialogs are answered in this
//                              order without being shown ("Yes", "No", "OK",
//                              "Retry", "Cancel"; for a file dialog the chosen
//                              path, several joined by '|', empty for Cancel)
// When QPT_DIALOG_ANSWERS is set and runs out, boxes take their first button
// and file dialogs are cancelled, so that no automated run ever blocks.

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QObject;
class QWidget;

namespace qpt {

// Texts of the programs keep CR LF line ends (they are compared, logged and
// restored exactly); shown, CR LF and lone CR become the line breaks Qt
// draws.
QString shownText(QString crlfText);

enum class MsgIcon { None, Information, Critical, Exclamation, Question };
enum class MsgButtons { Ok, YesNo, RetryCancel };
enum class MsgAnswer { Ok, Yes, No, Retry, Cancel };

// One shown (or answered) box or dialog, as logged.
struct DialogRecord {
    QString kind;  // "message", "open", "save"
    QString title;
    QString text;  // message text, or the filter of a file dialog
    QString icon;
    QString buttons;
    QString answer;
};

class Dialogs {
public:
    // Boxes and dialogs that do not hold up their caller: they open and
    // return at once, and the answer reaches `done` later from the event
    // loop (never while the caller runs), as long as `context` lives. The
    // program's windows, timers and media go on meanwhile.
    using Answered = std::function<void(MsgAnswer)>;
    static void show(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons,
                     QObject* context = nullptr, Answered done = {}, QWidget* parent = nullptr);
    static void chooseFilesToOpen(const QString& title, const QString& filter, bool multiple, QObject* context,
                                  std::function<void(QStringList)> done, QWidget* parent = nullptr);
    static void chooseFileToSave(const QString& title, const QString& filter, bool confirmOverwrite,
                                 QObject* context, std::function<void(QString)> done, QWidget* parent = nullptr);

    // Boxes that wait for their answer (a nested event loop): only where
    // nothing else can be under way, as a program starts or ends.
    static MsgAnswer message(const QString& title, const QString& text, MsgIcon icon,
                             MsgButtons buttons, QWidget* parent = nullptr);

    // Converts a file dialog's filter, given as
    // "Description|pattern;pattern|Description|pattern", into Qt's filter
    // groups. Patterns match regardless of letter case.
    static QStringList filterGroups(const QString& filter);

    // Tests: answer the next boxes from this list instead of showing them,
    // and read what was shown.
    static void scriptAnswers(const QStringList& answers);
    static QVector<DialogRecord>& records();
    static void resetForTests();

    static QString iconName(MsgIcon icon);
    static QString buttonsName(MsgButtons buttons);
};

}  // namespace qpt
