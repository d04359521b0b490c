#include "leftovers.h"

#include <QFile>
#include <QSet>

#include <mutex>

#include <unistd.h>

namespace qpt::internet::leftovers {

namespace {

struct Noted {
    std::mutex lock;
    QSet<QByteArray> paths;  // native names
};

Noted& noted()
{
    static Noted files;
    return files;
}

}  // namespace

void note(const QString& path)
{
    Noted& files = noted();
    const std::lock_guard guard(files.lock);
    files.paths.insert(QFile::encodeName(path));
}

void forget(const QString& path)
{
    Noted& files = noted();
    const std::lock_guard guard(files.lock);
    files.paths.remove(QFile::encodeName(path));
}

void removeAll()
{
    Noted& files = noted();
    const std::lock_guard guard(files.lock);
    for (const QByteArray& path : std::as_const(files.paths))
        ::unlink(path.constData());
    files.paths.clear();
}

}  // namespace qpt::internet::leftovers
