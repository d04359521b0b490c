// qpt-peer-lengths: asks the library benchmark's peer, Audacious, about its
// playlist over D-Bus (bench/player/library, comparison rounds).
//
//   qpt-peer-lengths --ready [--limit SECONDS]
//   qpt-peer-lengths --check N [--limit SECONDS]
//
// The peer runs headless in a D-Bus session of its own; this talks to it
// over one connection on that bus, through the interface its own audtool
// uses (org.atheme.audacious), and ends within the limit (default 60 s).
//
// --ready waits until the peer answers. --check N asks for the length of
// every entry, prints "name value" lines (entries, nolength: entries whose
// length is 0 ms, slowest_answer_ms, check_s) and exits 1 unless the list
// holds N entries that all have a length.
//
// Why --check is no way of timing the peer: asked for an entry's length,
// the peer answers only once that entry has been scanned, and one question
// costs about 0.4 ms on its main thread, so asking for 10,000 entries takes
// longer than the peer takes to scan them. The benchmark times the peer by
// its reads of the song files instead and runs --check once the peer has
// gone quiet, to prove that every entry has its length by then (its
// slowest answer shows that none had to wait for a scan).

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kService = "org.atheme.audacious";
const char* const kPath = "/org/atheme/audacious";
const char* const kInterface = "org.atheme.audacious";

// One call; false when it failed (no peer yet, or it went away).
bool call(QDBusConnection& bus, const char* method, const QVariantList& arguments, int timeoutMs,
          QVariant* answer = nullptr)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                          QLatin1String(kInterface), QLatin1String(method));
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, std::max(timeoutMs, 1));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    if (answer)
        *answer = reply.arguments().value(0);
    return true;
}

int usage()
{
    std::fputs("usage: qpt-peer-lengths --ready | --check N  [--limit SECONDS]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool ready = false;
    int entries = 0;
    double limit = 60;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--ready"))
            ready = true;
        else if (!std::strcmp(argv[i], "--check") && i + 1 < argc)
            entries = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--limit") && i + 1 < argc)
            limit = std::atof(argv[++i]);
        else
            return usage();
    }
    if (ready == (entries > 0))
        return usage();
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fputs("qpt-peer-lengths: no session bus\n", stderr);
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = qint64(limit * 1000);
    auto leftMs = [&] { return int(std::max<qint64>(0, limitMs - clock.elapsed())); };

    if (ready) {
        while (!call(bus, "Version", {}, std::min(leftMs(), 1000))) {
            if (leftMs() == 0) {
                std::fputs("qpt-peer-lengths: the peer never answered\n", stderr);
                return 1;
            }
            QThread::msleep(20);
        }
        return 0;
    }

    QVariant count;
    if (!call(bus, "Length", {}, leftMs(), &count)) {
        std::fputs("qpt-peer-lengths: no answer\n", stderr);
        return 1;
    }
    const int listed = count.toInt();
    int noLength = 0;
    qint64 slowestNs = 0;
    QElapsedTimer one;
    for (int pos = 0; pos < listed; ++pos) {
        QVariant frames;
        one.start();
        if (!call(bus, "SongFrames", {QVariant::fromValue(uint(pos))}, leftMs(), &frames)) {
            std::fprintf(stderr, "qpt-peer-lengths: no answer for entry %d\n", pos);
            return 1;
        }
        slowestNs = std::max(slowestNs, one.nsecsElapsed());
        if (frames.toInt() <= 0)
            ++noLength;
    }
    std::printf("entries %d\nnolength %d\nslowest_answer_ms %.3f\ncheck_s %.3f\n", listed, noLength,
                slowestNs / 1e6, clock.nsecsElapsed() / 1e9);
    return listed == entries && noLength == 0 ? 0 : 1;
}
