#include "native_path.h"

#include <QFile>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt::nativepath {

NativePath fromText(const QString& path)
{
    return QFile::encodeName(path);
}

QString displayText(const NativePath& path)
{
    // Each name in the path on its own: a Latin-1 file in a UTF-8 folder
    // shows both right.
    QString text;
    text.reserve(path.size());
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype slash = path.indexOf('/', start);
        if (slash < 0)
            slash = path.size();
        const QByteArrayView name(path.constData() + start, slash - start);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString decoded = utf8.decode(name);
        text += utf8.hasError() ? QString::fromLatin1(name) : decoded;
        if (slash < path.size())
            text += QLatin1Char('/');
        start = slash + 1;
    }
    return text;
}

NativePath fromLocalFileUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return NativePath();
    // The fully encoded path keeps bytes that are not UTF-8 as %XX, which
    // decoding turns back into exactly those bytes.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QList<NativePath> fromLocalFileUrls(const QList<QUrl>& urls)
{
    QList<NativePath> paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths << fromLocalFileUrl(url);
    }
    return paths;
}

NativePath fileName(const NativePath& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

NativePath folder(const NativePath& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return NativePath();
    return slash == 0 ? NativePath("/") : path.left(slash);
}

bool isAbsoluteOrUri(const NativePath& path)
{
    if (path.startsWith('/'))
        return true;
    // A scheme of two or more letters keeps "C:\..." a relative path here.
    const qsizetype colon = path.indexOf("://");
    if (colon < 2)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const char c = path[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
    }
    return true;
}

NativePath resolvedAgainst(const NativePath& path, const NativePath& base)
{
    if (path.isEmpty() || isAbsoluteOrUri(path) || base.isEmpty())
        return path;
    NativePath joined = base;
    if (!joined.endsWith('/'))
        joined += '/';
    NativePath rest = path;
    while (rest.startsWith("./"))
        rest.remove(0, 2);
    return joined + rest;
}

namespace {

// "/a/./b/../c" as "/a/c", without looking at the disk.
NativePath cleaned(const NativePath& path)
{
    QList<QByteArray> parts;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return '/' + parts.join('/');
}

}  // namespace

NativePath absolute(const NativePath& path)
{
    if (path.isEmpty() || isAbsoluteOrUri(path))
        return path;
    char buffer[4096];
    if (!::getcwd(buffer, sizeof buffer))
        return path;
    return cleaned(resolvedAgainst(path, NativePath(buffer)));
}

int openRegularFile(const NativePath& path, struct stat& st)
{
    // O_NONBLOCK: opening a pipe would otherwise wait for a writer.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

Kind kindOf(const NativePath& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return Kind::Missing;
    if (S_ISREG(st.st_mode))
        return Kind::RegularFile;
    if (S_ISDIR(st.st_mode))
        return Kind::Directory;
    return Kind::Other;
}

QList<NativePath> listFolder(const NativePath& folder)
{
    QList<NativePath> names;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;  // ".", ".." and hidden names
        names << NativePath(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qpt::nativepath
