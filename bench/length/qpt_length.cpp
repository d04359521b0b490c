// qpt-length: prints, for each file named on the command line, the Length
// text the playlist shows for it, measured the way the batch loader does.
//
//   qpt-length [--ms] [--stats] [--passes N] FILE...
//
// One line per file: the text, a tab, the path ("--ms" puts the measured
// milliseconds, 0 when nothing can be measured, "-" for a CD track, between
// them). A "-"
// among the arguments reads further paths from standard input, one a line.
// "--stats" reports on standard error how long the measuring took;
// "--passes N" measures the list N times (later passes find the files among
// the known lengths, as a restart does) and prints the first.

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
    bool tooLong = false;
};

Measured measure(qpt::SongLengthService& service, const QString& path)
{
    // Measured as a worker thread of the player measures, here on the one
    // thread of this tool.
    qpt::length::LengthJob job;
    job.path = QFile::encodeName(path);
    if (QFileInfo(path).suffix().compare(QLatin1String("cda"), Qt::CaseInsensitive) == 0) {
        service.prepareCdDrive(job.path);
        job.kind = qpt::length::LengthJob::Kind::CdTrack;
        job.cdFolder = service.cdFolder();
        job.cdTrack = titleOf(path).mid(5).toInt();
    }
    const qpt::length::LengthResult result = service.measure(job);
    const auto ms = result.length.milliseconds();
    const bool cdTrack = job.kind == qpt::length::LengthJob::Kind::CdTrack;
    return {result.length.text(), ms && !cdTrack ? QString::number(*ms) : QStringLiteral("-"), result.tooLong};
}

}  // namespace

int main(int argc, char** argv)
{
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
            const Measured m = measure(service, file);
            if (pass > 0)
                continue;
            if (m.tooLong) {
                ++failures;
                std::fprintf(stderr, "qpt-length: %s: too long to show\n", qPrintable(file));
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
