#include "program_starter.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>

namespace qpt {

namespace {
const char* styleName(WindowStyle style)
{
    switch (style) {
    case WindowStyle::Hidden: return "hidden";
    case WindowStyle::MinimizedFocus: return "minimized";
    case WindowStyle::NormalFocus: break;
    }
    return "normal";
}
}  // namespace

bool ProgramStarter::start(const QString& path, const QString& word, WindowStyle style)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    QProcess process;
    process.setProgram(info.absoluteFilePath());
    if (!word.isEmpty())
        process.setArguments({word});
    process.setWorkingDirectory(info.absolutePath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QPT_WINDOW_STYLE"), QLatin1String(styleName(style)));
    process.setProcessEnvironment(environment);
    // The child must not inherit our standard streams' fate; it is its own.
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

void ignoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

WindowStyle ProgramStarter::requestedStyle()
{
    const QByteArray value = qgetenv("QPT_WINDOW_STYLE");
    if (value == "hidden")
        return WindowStyle::Hidden;
    if (value == "minimized")
        return WindowStyle::MinimizedFocus;
    return WindowStyle::NormalFocus;
}

}  // namespace qpt
