#include "app_folder.h"

#include <QCoreApplication>
#include <QDir>

namespace qpt {

namespace {
QString& overridden()
{
    static QString folder;
    return folder;
}
}  // namespace

QString AppFolder::path()
{
    if (!overridden().isEmpty())
        return overridden();
    return QCoreApplication::applicationDirPath();
}

QString AppFolder::file(const QString& name)
{
    return path() + QLatin1Char('/') + name;
}

void AppFolder::overrideForTests(const QString& folder)
{
    overridden() = QDir::cleanPath(folder);
}

}  // namespace qpt
