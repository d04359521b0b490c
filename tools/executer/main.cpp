// "Quorbel Tirk Executer.exe": started by the desktop with the files the
// user opened (none when started from the player's own menu entry).

#include "tools/executer/hand_over.h"

#include "common/app_folder.h"
#include "common/app_start.h"
#include "common/dialogs.h"
#include "common/notices.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <memory>

namespace {

// Where the user can be told something in a window.
bool haveDisplay()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv)
{
    qpt::ignoreBrokenPipes();
    // The paths exactly as the desktop gave them: names need not be UTF-8.
    QList<qpt::NativePath> paths;
    for (int i = 1; i < argc; ++i)
        paths << qpt::NativePath(argv[i]);

    QString folder;
    QList<qpt::NativePath> refused;
    qpt::executer::Result result;
    {
        QCoreApplication application(argc, argv);
        folder = qpt::AppFolder::path();
        result = qpt::executer::handOver(paths, folder, &refused);
    }
    if (result == qpt::executer::Result::HandedOver && refused.isEmpty())
        return 0;
    const bool handedOver = result == qpt::executer::Result::HandedOver;
    const QString title = handedOver ? qpt::notices::lineBreakNamesTitle() : QStringLiteral("Folder Not Writable");
    const QString text =
        handedOver ? qpt::notices::lineBreakNamesText(refused) : qpt::notices::folderNotWritableText(folder);
    QTextStream(stderr) << "Quorbel Tirk Executer: " << QString(text).replace(QLatin1String("\r\n"), QLatin1String(" "))
                        << '\n';
    if (haveDisplay()) {
        qpt::choosePlatformBeforeApplication();
        QApplication application(argc, argv);
        qpt::prepareApplication();
        qpt::Dialogs::message(title, text, qpt::MsgIcon::Exclamation, qpt::MsgButtons::Ok);
    }
    return handedOver ? 0 : 1;
}
