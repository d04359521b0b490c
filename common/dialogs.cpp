#include "dialogs.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QRegularExpression>

#include <memory>

namespace qpt {

namespace {

struct Script {
    bool active = false;
    QStringList answers;
    bool loadedFromEnvironment = false;
};

Script& script()
{
    static Script s;
    if (!s.loadedFromEnvironment) {
        s.loadedFromEnvironment = true;
        if (qEnvironmentVariableIsSet("QPT_DIALOG_ANSWERS")) {
            s.active = true;
            const QString value = qEnvironmentVariable("QPT_DIALOG_ANSWERS");
            if (!value.isEmpty())
                s.answers = value.split(QLatin1Char(','));
        }
    }
    return s;
}

// Takes the next scripted answer; nullopt when the real dialog is to be shown.
std::optional<QString> nextScripted()
{
    Script& s = script();
    if (!s.active)
        return std::nullopt;
    if (s.answers.isEmpty())
        return QString();
    return s.answers.takeFirst().trimmed();
}

void log(const DialogRecord& record)
{
    Dialogs::records().push_back(record);
    const QString path = qEnvironmentVariable("QPT_DIALOG_LOG");
    if (path.isEmpty())
        return;
    QJsonObject object;
    object.insert(QStringLiteral("kind"), record.kind);
    object.insert(QStringLiteral("title"), record.title);
    object.insert(record.kind == QLatin1String("message") ? QStringLiteral("text") : QStringLiteral("filter"), record.text);
    if (record.kind == QLatin1String("message")) {
        object.insert(QStringLiteral("icon"), record.icon);
        object.insert(QStringLiteral("buttons"), record.buttons);
    }
    object.insert(QStringLiteral("answer"), record.answer);
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::WriteOnly))
        file.write(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

QString answerName(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::Ok: return QStringLiteral("OK");
    case MsgAnswer::Yes: return QStringLiteral("Yes");
    case MsgAnswer::No: return QStringLiteral("No");
    case MsgAnswer::Retry: return QStringLiteral("Retry");
    case MsgAnswer::Cancel: return QStringLiteral("Cancel");
    }
    return QString();
}

MsgAnswer firstButton(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::YesNo: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
    case MsgButtons::Ok: break;
    }
    return MsgAnswer::Ok;
}

MsgAnswer parseAnswer(const QString& text, MsgButtons buttons)
{
    const QString t = text.toLower();
    if (t == QLatin1String("yes")) return MsgAnswer::Yes;
    if (t == QLatin1String("no")) return MsgAnswer::No;
    if (t == QLatin1String("retry")) return MsgAnswer::Retry;
    if (t == QLatin1String("cancel")) return MsgAnswer::Cancel;
    if (t == QLatin1String("ok")) return MsgAnswer::Ok;
    return firstButton(buttons);
}

QMessageBox::Icon qtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString shownText(QString crlfText)
{
    crlfText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    crlfText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return crlfText;
}

QString Dialogs::iconName(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return QStringLiteral("information");
    case MsgIcon::Critical: return QStringLiteral("critical");
    case MsgIcon::Exclamation: return QStringLiteral("exclamation");
    case MsgIcon::Question: return QStringLiteral("question");
    case MsgIcon::None: break;
    }
    return QStringLiteral("none");
}

QString Dialogs::buttonsName(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::YesNo: return QStringLiteral("YesNo");
    case MsgButtons::RetryCancel: return QStringLiteral("RetryCancel");
    case MsgButtons::Ok: break;
    }
    return QStringLiteral("OK");
}

namespace {

QMessageBox* makeBox(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons, QWidget* parent)
{
    auto* box = new QMessageBox(qtIcon(icon), title, shownText(text), QMessageBox::NoButton, parent);
    switch (buttons) {
    case MsgButtons::Ok: box->setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::YesNo: box->setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::RetryCancel: box->setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    }
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    return box;
}

MsgAnswer answerOf(int button, MsgButtons buttons)
{
    switch (button) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Retry: return MsgAnswer::Retry;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Ok: return MsgAnswer::Ok;
    default:  // closed by the window manager: the escape button
        return buttons == MsgButtons::YesNo ? MsgAnswer::No
             : buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
    }
}

// Calls back from the event loop, never from inside the caller.
template <typename Done, typename Value>
void answerLater(QObject* context, Done done, Value value)
{
    if (!done)
        return;
    QObject* target = context ? context : QCoreApplication::instance();
    QMetaObject::invokeMethod(
        target, [done = std::move(done), value = std::move(value)] { done(value); }, Qt::QueuedConnection);
}

QFileDialog* makeFileDialog(const QString& title, const QString& filter, QWidget* parent)
{
    // Qt's own dialog matches name filters regardless of letter case,
    // which the upper-case patterns rely on.
    auto* dialog = new QFileDialog(parent, title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setNameFilters(Dialogs::filterGroups(filter));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

}  // namespace

MsgAnswer Dialogs::message(const QString& title, const QString& text, MsgIcon icon,
                           MsgButtons buttons, QWidget* parent)
{
    MsgAnswer answer;
    if (const auto scripted = nextScripted()) {
        answer = parseAnswer(*scripted, buttons);
    } else {
        const std::unique_ptr<QMessageBox> box(makeBox(title, text, icon, buttons, parent));
        answer = answerOf(box->exec(), buttons);
    }
    log({QStringLiteral("message"), title, text, iconName(icon), buttonsName(buttons), answerName(answer)});
    return answer;
}

void Dialogs::show(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons, QObject* context,
                   Answered done, QWidget* parent)
{
    if (const auto scripted = nextScripted()) {
        const MsgAnswer answer = parseAnswer(*scripted, buttons);
        log({QStringLiteral("message"), title, text, iconName(icon), buttonsName(buttons), answerName(answer)});
        answerLater(context, std::move(done), answer);
        return;
    }
    QMessageBox* box = makeBox(title, text, icon, buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject* target = context ? context : box;
    // A box whose asker is gone has nobody to answer to.
    if (context)
        QObject::connect(context, &QObject::destroyed, box, &QObject::deleteLater);
    QObject::connect(box, &QMessageBox::finished, target, [=](int result) {
        // The button pressed, or the escape button when the box was closed.
        const QAbstractButton* pressed = box->clickedButton();
        const MsgAnswer answer =
            answerOf(pressed ? box->standardButton(const_cast<QAbstractButton*>(pressed)) : result, buttons);
        log({QStringLiteral("message"), title, text, iconName(icon), buttonsName(buttons), answerName(answer)});
        if (done)
            done(answer);
    });
    box->open();
}

void Dialogs::chooseFilesToOpen(const QString& title, const QString& filter, bool multiple, QObject* context,
                                std::function<void(QStringList)> done, QWidget* parent)
{
    if (const auto scripted = nextScripted()) {
        const QStringList chosen = scripted->isEmpty() ? QStringList() : scripted->split(QLatin1Char('|'));
        log({QStringLiteral("open"), title, filter, QString(), QString(), chosen.join(QLatin1Char('|'))});
        answerLater(context, std::move(done), chosen);
        return;
    }
    QFileDialog* dialog = makeFileDialog(title, filter, parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    QObject::connect(dialog, &QDialog::finished, context ? context : dialog, [=](int result) {
        const QStringList chosen = result == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
        log({QStringLiteral("open"), title, filter, QString(), QString(), chosen.join(QLatin1Char('|'))});
        if (done)
            done(chosen);
    });
    dialog->open();
}

void Dialogs::chooseFileToSave(const QString& title, const QString& filter, bool confirmOverwrite, QObject* context,
                               std::function<void(QString)> done, QWidget* parent)
{
    if (const auto scripted = nextScripted()) {
        log({QStringLiteral("save"), title, filter, QString(), QString(), *scripted});
        answerLater(context, std::move(done), *scripted);
        return;
    }
    QFileDialog* dialog = makeFileDialog(title, filter, parent);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    QObject::connect(dialog, &QDialog::finished, context ? context : dialog, [=](int result) {
        const QString chosen =
            result == QDialog::Accepted && !dialog->selectedFiles().isEmpty() ? dialog->selectedFiles().first() : QString();
        log({QStringLiteral("save"), title, filter, QString(), QString(), chosen});
        if (done)
            done(chosen);
    });
    dialog->open();
}

QStringList Dialogs::filterGroups(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList groups;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        groups << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return groups;
}

void Dialogs::scriptAnswers(const QStringList& answers)
{
    Script& s = script();
    s.active = true;
    s.answers = answers;
}

QVector<DialogRecord>& Dialogs::records()
{
    static QVector<DialogRecord> list;
    return list;
}

void Dialogs::resetForTests()
{
    Script& s = script();
    s.active = false;
    s.answers.clear();
    records().clear();
}

}  // namespace qpt
