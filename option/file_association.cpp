#include "file_association.h"

#include "common/music_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

namespace qpt::option {

namespace {

const char* const kPackageName = "quorbel-player-tirk.xml";

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString configHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString describe(const QString& extension)
{
    static const QHash<QString, QString> descriptions{
        {QStringLiteral("cda"), QStringLiteral("Compact Disk Audio")},
        {QStringLiteral("vyx"), QStringLiteral("Quorbel Player Play List")},
        {QStringLiteral("mid"), QStringLiteral("Midi Music")},
        {QStringLiteral("mp1"), QStringLiteral("MPEG Audio Layer 1")},
        {QStringLiteral("mp2"), QStringLiteral("MPEG Audio Layer 2")},
        {QStringLiteral("mp3"), QStringLiteral("MPEG Audio Layer 3")},
        {QStringLiteral("wav"), QStringLiteral("Windows Audio File")},
        {QStringLiteral("wma"), QStringLiteral("Windows Media Audio File")},
        {QStringLiteral("flac"), QStringLiteral("FLAC Audio")},
        {QStringLiteral("ogg"), QStringLiteral("Ogg Audio")},
        {QStringLiteral("oga"), QStringLiteral("Ogg Audio")},
        {QStringLiteral("opus"), QStringLiteral("Opus Audio")},
        {QStringLiteral("m4a"), QStringLiteral("MPEG-4 Audio")},
        {QStringLiteral("cue"), QStringLiteral("Cue Sheet")},
    };
    return descriptions.value(extension.toLower(), extension.toUpper() + QStringLiteral(" file"));
}

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// The whole text of a file that may be missing; no value when it is there
// but cannot be read (so that it is not overwritten without its lines).
std::optional<QString> readExisting(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return QString();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

// Writes the file only when its content changes. Returns whether it was
// written; `ok` turns false on a failure.
bool writeIfChanged(const QString& path, const QString& content, bool& ok)
{
    const QByteArray bytes = content.toUtf8();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return false;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        ok = false;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        ok = false;
        return false;
    }
    return true;
}

// Runs a database tool on a folder when the tool is installed.
void runTool(const char* tool, const QString& folder)
{
    const QString program = QStandardPaths::findExecutable(QLatin1String(tool));
    if (program.isEmpty())
        return;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {folder});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

QString xmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

// The user MIME package: a type of ours for each extension that the shared
// database does not know.
QString mimePackage(const QStringList& extensions)
{
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    for (const QString& extension : extensions) {
        xml += QStringLiteral("  <mime-type type=\"%1\">\n").arg(xmlEscaped(FileAssociation::ownMimeType(extension)));
        xml += QStringLiteral("    <comment>%1</comment>\n").arg(xmlEscaped(describe(extension)));
        if (extension.compare(QLatin1String(music::PlaylistExtension), Qt::CaseInsensitive) == 0)
            xml += QStringLiteral("    <sub-class-of type=\"text/plain\"/>\n");
        xml += QStringLiteral("    <glob pattern=\"*.%1\"/>\n").arg(xmlEscaped(extension.toLower()));
        xml += QStringLiteral("  </mime-type>\n");
    }
    xml += QStringLiteral("</mime-info>\n");
    return xml;
}

// The MimeType list of an existing desktop entry.
QStringList listedTypes(const QString& entry)
{
    const QStringList lines = entry.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("MimeType=")))
            return line.mid(9).trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return {};
}

QString desktopEntry(const QString& exec, const QStringList& types)
{
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Version=1.0\n"
                                   "Name=%1\n"
                                   "Comment=Adds music files and play lists to Quorbel Player Tirk\n"
                                   "Exec=%2\n"
                                   "Icon=multimedia-player\n"
                                   "Terminal=false\n"
                                   "NoDisplay=true\n")
                        .arg(QLatin1String(FileAssociation::kDescription), exec);
    entry += QStringLiteral("MimeType=%1;\n").arg(types.join(QLatin1Char(';')));
    return entry;
}

// One key of a mimeapps.list section as a list of desktop ids.
struct ListLine {
    int index = -1;
    QStringList ids;
};

}  // namespace

const QStringList& FileAssociation::offeredExtensions()
{
    // The eight types of old, then the later formats and cue sheets, which
    // only a user's choice associates.
    static const QStringList extensions = [] {
        QStringList list = QString::fromLatin1("cda vyx mid mp1 mp2 mp3 wav wma").split(QLatin1Char(' '));
        for (const QByteArray& extension : music::laterSongExtensions())
            list << QString::fromLatin1(extension);
        list << QLatin1String(music::CueSheetExtension);
        return list;
    }();
    return extensions;
}

const QStringList& FileAssociation::defaultExtensions()
{
    static const QStringList extensions = QString::fromLatin1("mp1 mp2 mp3 mid vyx wav wma cda").split(QLatin1Char(' '));
    return extensions;
}

QString FileAssociation::desktopId()
{
    return QLatin1String(kProgramId) + QStringLiteral(".desktop");
}

QString FileAssociation::desktopEntryPath()
{
    return dataHome() + QStringLiteral("/applications/") + desktopId();
}

QString FileAssociation::mimeAppsListPath()
{
    return configHome() + QStringLiteral("/mimeapps.list");
}

QString FileAssociation::mimePackagePath()
{
    return dataHome() + QStringLiteral("/mime/packages/") + QLatin1String(kPackageName);
}

QString FileAssociation::execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        if (reserved.contains(c)) {
            quote = true;
            break;
        }
    }
    QString word;
    if (quote) {
        word += QLatin1Char('"');
        for (const QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                word += QLatin1Char('\\');
            word += c;
        }
        word += QLatin1Char('"');
    } else {
        word = argument;
    }
    // A literal percent sign is written twice (field codes start with one).
    word.replace(QLatin1Char('%'), QStringLiteral("%%"));
    // Then the escapes of a string value in the file.
    QString stored;
    for (const QChar c : word) {
        switch (c.unicode()) {
        case '\\': stored += QStringLiteral("\\\\"); break;
        case '\n': stored += QStringLiteral("\\n"); break;
        case '\t': stored += QStringLiteral("\\t"); break;
        case '\r': stored += QStringLiteral("\\r"); break;
        default: stored += c;
        }
    }
    return stored;
}

QString FileAssociation::execLine(const QString& executerPath)
{
    // "env" first: the generic xdg-utils (xdg-mime, xdg-open) take the first
    // blank-separated word of Exec as the program and do not understand a
    // quoted path; the executer's file name itself holds blanks. env would
    // take a path holding "=" for a variable, so such a path goes alone.
    const QString program = execArgument(executerPath);
    if (executerPath.contains(QLatin1Char('=')))
        return program + QStringLiteral(" %F");
    return QStringLiteral("env ") + program + QStringLiteral(" %F");
}

QString FileAssociation::ownMimeType(const QString& extension)
{
    return music::ownMimeType(extension);
}

bool FileAssociation::isOwnMimeType(const QString& name)
{
    return music::isOwnMimeType(name);
}

QStringList FileAssociation::mimeTypesFor(const QString& extension)
{
    return music::mimeTypesFor(extension);
}

QString FileAssociation::withDefaults(const QString& mimeAppsList, const QStringList& types, const QString& id)
{
    QStringList lines = mimeAppsList.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }

    // [first line after the header, end) of a section; -1 when missing.
    auto section = [&lines](const QString& name) -> std::pair<int, int> {
        const QString header = QLatin1Char('[') + name + QLatin1Char(']');
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].trimmed() != header)
                continue;
            int end = i + 1;
            while (end < lines.size() && !lines[end].trimmed().startsWith(QLatin1Char('[')))
                ++end;
            return {i + 1, end};
        }
        return {-1, -1};
    };
    auto findKey = [&lines](std::pair<int, int> range, const QString& key) -> ListLine {
        for (int i = range.first; i < range.second; ++i) {
            const int equals = lines[i].indexOf(QLatin1Char('='));
            if (equals > 0 && lines[i].left(equals).trimmed() == key)
                return {i, lines[i].mid(equals + 1).trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts)};
        }
        return {};
    };
    auto ensureSection = [&](const QString& name) {
        if (section(name).first >= 0)
            return;
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << QLatin1Char('[') + name + QLatin1Char(']');
    };
    // Puts the entry first in the type's list in this section.
    auto putFirst = [&](const QString& name, const QString& type) {
        ensureSection(name);
        const auto range = section(name);
        ListLine line = findKey(range, type);
        line.ids.removeAll(id);
        line.ids.prepend(id);
        const QString text = type + QLatin1Char('=') + line.ids.join(QLatin1Char(';')) + QLatin1Char(';');
        if (line.index >= 0) {
            lines[line.index] = text;
        } else {
            int at = range.second;
            while (at > range.first && lines[at - 1].trimmed().isEmpty())
                --at;
            lines.insert(at, text);
        }
    };
    auto takeOut = [&](const QString& name, const QString& type) {
        const auto range = section(name);
        if (range.first < 0)
            return;
        ListLine line = findKey(range, type);
        if (line.index < 0 || !line.ids.contains(id))
            return;
        line.ids.removeAll(id);
        if (line.ids.isEmpty())
            lines.removeAt(line.index);
        else
            lines[line.index] = type + QLatin1Char('=') + line.ids.join(QLatin1Char(';')) + QLatin1Char(';');
    };

    for (const QString& type : types) {
        putFirst(QStringLiteral("Default Applications"), type);
        putFirst(QStringLiteral("Added Associations"), type);
        takeOut(QStringLiteral("Removed Associations"), type);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

FileAssociation::Outcome FileAssociation::registerExtensions(const QStringList& extensions,
                                                             const QString& executerPath)
{
    Outcome outcome;
    QStringList types;
    for (const QString& extension : extensions) {
        for (const QString& type : mimeTypesFor(extension)) {
            if (!types.contains(type))
                types << type;
        }
    }

    // Our own types for every offered extension the shared database lacks,
    // so that the package does not depend on what was chosen this time.
    QStringList unknown;
    QStringList offered = offeredExtensions();
    for (const QString& extension : extensions) {
        if (!offered.contains(extension.toLower()))
            offered << extension.toLower();
    }
    for (const QString& extension : offered) {
        if (mimeTypesFor(extension) == QStringList{ownMimeType(extension)})
            unknown << extension;
    }
    const QString mimeFolder = dataHome() + QStringLiteral("/mime");
    bool packageOk = true;
    const bool packageChanged = writeIfChanged(mimePackagePath(), mimePackage(unknown), packageOk);
    if (!packageOk)
        outcome.unwritten << mimePackagePath();
    else if (packageChanged || !QFileInfo::exists(mimeFolder + QStringLiteral("/mime.cache")))
        runTool("update-mime-database", mimeFolder);

    const QString entryPath = desktopEntryPath();
    QStringList entryTypes = listedTypes(readText(entryPath));
    for (const QString& type : types) {
        if (!entryTypes.contains(type))
            entryTypes << type;
    }
    const QString applications = QFileInfo(entryPath).absolutePath();
    bool entryOk = true;
    const bool entryChanged = writeIfChanged(entryPath, desktopEntry(execLine(executerPath), entryTypes), entryOk);
    if (!entryOk)
        outcome.unwritten << entryPath;
    else if (entryChanged || !QFileInfo::exists(applications + QStringLiteral("/mimeinfo.cache")))
        runTool("update-desktop-database", applications);

    // The defaults point at the entry only once it and the package are in
    // place; until then the user's defaults stay as they were.
    const QString listPath = mimeAppsListPath();
    if (!outcome.succeeded()) {
        outcome.defaultsChanged = false;
        return outcome;
    }
    const std::optional<QString> list = readExisting(listPath);
    bool listOk = list.has_value();
    if (listOk)
        writeIfChanged(listPath, withDefaults(*list, types, desktopId()), listOk);
    if (!listOk) {
        outcome.unwritten << listPath;
        outcome.defaultsChanged = false;
    }
    return outcome;
}

}  // namespace qpt::option
