#include "command_words.h"

#include <QCoreApplication>

namespace qpt {

QString CommandLine::fromArguments(const QStringList& argumentsWithoutProgram)
{
    return argumentsWithoutProgram.join(QLatin1Char(' '));
}

QString CommandLine::text()
{
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    return fromArguments(arguments);
}

}  // namespace qpt
