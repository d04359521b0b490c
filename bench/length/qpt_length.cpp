// qpt-length: prints, for each file named on the command line, the Length
// text the playlist shows for it, measured the way the batch loader does.
//
//   qpt-length [--ms] [--stats] [--passes N] FILE...
//
// One line per file: the text, a tab, the path ("--ms" puts the measured
// milliseconds, "-" when the file cannot be opened, between them). A "-"
// among the arguments reads further paths from standard input, one a line.
// "--stats" reports on standard error how long the measuring took;
// "--passes N" measures the list N times (later passes find the files in
// the cache, as the playback supervision does) and prints the first.

#include "common/dialogs.h"
#include "player/core/length/song_length_service.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: qpt-length [--ms] [--stats] [--passes N] FILE... (- reads paths from stdin)\n", stderr);
    return 2;
}

// The playlist's title of a song line: after the last folder separator,
// less the last four characters.
QString titleOf(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.left(name.size() - 4);
}

struct Measured {
    QString text;
    QString milliseconds;
};

Measured measure(qpt::SongLengthService& service, const QString& path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("cda"), Qt::CaseInsensitive) == 0) {
        service.prepareCdDrive(QFile::encodeName(path));
        return {service.cdTrackLength(titleOf(path).mid(5).toInt()), QStringLiteral("-")};
    }
    QByteArray measuredPath = QFile::encodeName(path);
    service.open(measuredPath);
    const auto ms = service.openSongMilliseconds();
    return {service.lengthText(), ms ? QString::number(*ms) : QStringLiteral("-")};
}

}  // namespace

int main(int argc, char** argv)
{
    // Boxes are answered, not shown; a failure is reported on stderr.
    if (!qEnvironmentVariableIsSet("QPT_DIALOG_ANSWERS"))
        qputenv("QPT_DIALOG_ANSWERS", "");
    QCoreApplication app(argc, argv);

    bool withMs = false;
    bool stats = false;
    int passes = 1;
    QStringList files;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--ms")) {
            withMs = true;
        } else if (a == QLatin1String("--stats")) {
            stats = true;
        } else if (a == QLatin1String("--passes") && i + 1 < args.size()) {
            passes = args[++i].toInt();
            if (passes < 1)
                return usage();
        } else if (a == QLatin1String("-")) {
            QTextStream in(stdin);
            QString line;
            while (in.readLineInto(&line)) {
                if (!line.isEmpty())
                    files << line;
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage();
        } else {
            files << a;
        }
    }
    if (files.isEmpty())
        return usage();

    QTextStream out(stdout);
    qpt::SongLengthService service;
    int failures = 0;
    for (int pass = 0; pass < passes; ++pass) {
        QElapsedTimer timer;
        timer.start();
        for (const QString& file : files) {
            const qsizetype boxes = qpt::Dialogs::records().size();
            const Measured m = measure(service, file);
            if (pass > 0)
                continue;
            if (qpt::Dialogs::records().size() > boxes) {
                ++failures;
                const qpt::DialogRecord& box = qpt::Dialogs::records().last();
                std::fprintf(stderr, "qpt-length: %s: box \"%s\": %s\n", qPrintable(file), qPrintable(box.title),
                             qPrintable(box.text));
            }
            out << m.text << '\t';
            if (withMs)
                out << m.milliseconds << '\t';
            out << file << '\n';
        }
        out.flush();
        if (stats) {
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            std::fprintf(stderr, "pass %d: %lld files in %.3f ms, %.0f files/s%s\n", pass + 1,
                         static_cast<long long>(files.size()), seconds * 1e3,
                         seconds > 0 ? double(files.size()) / seconds : 0.0,
                         pass == 0 ? "" : " (cached)");
        }
    }
    return failures ? 1 : 0;
}
