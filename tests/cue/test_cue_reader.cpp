// The cue sheet reader: what a sheet's text says (its dialects and
// encodings), where each track lies (exact arithmetic on frames, pregaps
// with the track before), which file it plays (the one named, else a
// re-encoded one beside it), sheets inside FLAC files, and the lines and
// addresses a track travels under.

#include "common/cue_track_lines.h"
#include "common/music_files.h"
#include "player/core/cue/cue_album.h"
#include "player/core/cue/cue_sheet.h"
#include "player/core/cue/flac_sheet.h"
#include "player/core/media/track_source.h"

#include <QSet>
#include <QTest>

using namespace qpt;
using namespace qpt::cue;

namespace {

cue::FileLookup lookupOf(const QSet<NativePath>& files)
{
    return {[files](const NativePath& path) { return files.contains(path); },
            [files](const NativePath& folder) {
                QList<NativePath> names;
                for (const NativePath& path : files) {
                    if (nativepath::folder(path) == folder)
                        names << nativepath::fileName(path);
                }
                std::sort(names.begin(), names.end());
                return names;
            }};
}

QByteArray bigEndian(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xff);
    return out;
}

QByteArray littleEndian32(quint32 value)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out += char((value >> (8 * i)) & 0xff);
    return out;
}

QByteArray flacBlock(int type, const QByteArray& body, bool last)
{
    return char((last ? 0x80 : 0) | type) + bigEndian(quint64(body.size()), 3) + body;
}

QByteArray streamInfo(quint32 rate)
{
    QByteArray info(18, '\0');
    info.append(QByteArray(16, '\0'));  // the checksum
    info[10] = char(rate >> 12);
    info[11] = char(rate >> 4);
    info[12] = char((rate & 0xf) << 4);
    return info;
}

QByteArray cueSheetBlock(const QList<QPair<int, quint64>>& tracks, quint64 leadOut)
{
    QByteArray block(128 + 8 + 259, '\0');
    block += char(tracks.size() + 1);
    const auto track = [](int number, quint64 offset) {
        QByteArray t = bigEndian(offset, 8) + char(number) + QByteArray(12, '\0') + char(0) + QByteArray(13, '\0');
        if (number == 170)
            return t + char(0);
        return t + char(1) + bigEndian(0, 8) + char(1) + QByteArray(3, '\0');
    };
    for (const auto& [number, offset] : tracks)
        block += track(number, offset);
    return block + track(170, leadOut);
}

QByteArray vorbisComment(const QList<QByteArray>& comments)
{
    QByteArray block = littleEndian32(6) + "vendor" + littleEndian32(quint32(comments.size()));
    for (const QByteArray& comment : comments)
        block += littleEndian32(quint32(comment.size())) + comment;
    return block;
}

std::optional<FlacSheet> readBytes(const QByteArray& file)
{
    return readFlacSheet([file](qint64 offset, qint64 size) { return file.mid(offset, size); });
}

}  // namespace

class TestCueReader : public QObject {
    Q_OBJECT

private slots:
    // The sheet's text as rippers write it: CR LF or LF, a byte order
    // mark, REM lines and unknown commands, quoted and bare words, lower
    // case, and times at the edge of what MM:SS:FF allows.
    void sheetTextInItsDialects()
    {
        const QByteArray text = "\xEF\xBB\xBFREM GENRE Rock\r\nREM DATE 1999\r\nPERFORMER \"The Band\"\r\n"
                                "TITLE \"An Album\"\r\ncatalog 0000000000000\r\nFILE \"Album Name.wav\" WAVE\r\n"
                                "  TRACK 01 AUDIO\r\n    TITLE \"First \"\r\n    INDEX 01 00:00:00\r\n"
                                "  TRACK 02 AUDIO\r\n    TITLE Second\r\n    PERFORMER \"Guest\"\r\n"
                                "    FLAGS DCP\r\n    INDEX 00 02:59:74\r\n    INDEX 01 03:00:00\r\n"
                                "    INDEX 01 09:00:00\r\n  TRACK 03 MODE1/2352\r\n    INDEX 01 05:00:00\r\n";
        const std::optional<Sheet> sheet = parseSheet(text);
        QVERIFY(sheet);
        QCOMPARE(sheet->title, QStringLiteral("An Album"));
        QCOMPARE(sheet->performer, QStringLiteral("The Band"));
        QCOMPARE(sheet->files.size(), 1);
        QCOMPARE(sheet->files[0].name, QStringLiteral("Album Name.wav"));
        QCOMPARE(sheet->tracks.size(), 3);
        QCOMPARE(sheet->tracks[0].title, QStringLiteral("First "));
        QCOMPARE(sheet->tracks[1].title, QStringLiteral("Second"));
        QCOMPARE(sheet->tracks[1].performer, QStringLiteral("Guest"));
        QCOMPARE(sheet->tracks[1].pregap, qint64((2 * 60 + 59) * 75 + 74));
        QCOMPARE(sheet->tracks[1].start, qint64(3 * 60 * 75));  // the first INDEX 01 holds
        QVERIFY(!sheet->tracks[2].audio);

        QCOMPARE(parseTime(u"00:00:74"), std::optional<qint64>(74));
        QCOMPARE(parseTime(u"120:00:00"), std::optional<qint64>(120 * 60 * 75));
        QVERIFY(!parseTime(u"00:00:75"));
        QVERIFY(!parseTime(u"00:60:00"));
        QVERIFY(!parseTime(u"00:-1:00"));
        QVERIFY(!parseTime(u"1:2"));
        QVERIFY(!parseTime(u"a:b:c"));

        // LF alone, the same sheet.
        QByteArray lf = text;
        lf.replace("\r\n", "\n");
        QCOMPARE(parseSheet(lf)->tracks.size(), 3);
    }

    // Text: UTF-8 where it is valid, Latin-1 where it is not.
    void sheetEncodings()
    {
        const QByteArray latin1 = "TITLE \"Caf\xe9\"\nFILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"Cr\xe8me br\xfbl\xe9\x65\"\n"
                                  "INDEX 01 00:00:00\n";
        QCOMPARE(parseSheet(latin1)->tracks[0].title, QStringLiteral("Crème brûlée"));
        QCOMPARE(parseSheet(latin1)->title, QStringLiteral("Café"));
        const QByteArray utf8 = QStringLiteral("FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"Crème brûlée ✓\"\n"
                                               "INDEX 01 00:00:00\n")
                                    .toUtf8();
        QCOMPARE(parseSheet(utf8)->tracks[0].title, QStringLiteral("Crème brûlée ✓"));
    }

    // What is no sheet, or more than one can be: nothing read, or read up
    // to the cap; never more tracks than the cap, and no track before a
    // FILE.
    void sheetsThatAreNot()
    {
        QVERIFY(!parseSheet(QByteArray()));
        QVERIFY(!parseSheet(QByteArray("\x00\x01\x02garbage\xff\xfe", 12)));
        QVERIFY(!parseSheet("TRACK 01 AUDIO\nINDEX 01 00:00:00\n"));  // no FILE
        QVERIFY(!parseSheet(QByteArray(kMaxSheetBytes + 1, ' ')));

        QByteArray many = "FILE \"long.flac\" WAVE\n";
        for (int i = 1; i <= kMaxTracks + 20; ++i)
            many += QStringLiteral("TRACK %1 AUDIO\nINDEX 01 %2:00:00\n").arg(i).arg(i).toLatin1();
        QCOMPARE(parseSheet(many)->tracks.size(), kMaxTracks);
    }

    // Where each track lies and what plays it.
    void trackSpans()
    {
        const QByteArray text = "PERFORMER \"Band\"\nFILE \"a.wav\" WAVE\n"
                                "TRACK 01 AUDIO\nTITLE \"One\"\nPERFORMER \"Band\"\nINDEX 01 00:00:00\n"
                                "TRACK 02 AUDIO\nTITLE \"Two\"\nPERFORMER \"Guest\"\nINDEX 00 00:01:00\nINDEX 01 00:02:00\n"
                                "TRACK 03 AUDIO\nINDEX 01 00:04:10\n"
                                "FILE \"b.bin\" BINARY\nTRACK 04 AUDIO\nINDEX 01 00:00:00\nTRACK 05 AUDIO\n"
                                "TRACK 06 AUDIO\nINDEX 01 00:01:00\n"
                                "FILE \"c.bin\" MOTOROLA\nTRACK 07 AUDIO\nINDEX 01 00:05:00\nTRACK 08 AUDIO\n"
                                "INDEX 01 00:03:00\n";
        const Album album = albumOfSheet(*parseSheet(text), "/m/Album.cue",
                                         lookupOf({"/m/a.wav", "/m/b.bin", "/m/c.bin"}));
        QCOMPARE(album.tracks.size(), 8);
        const AlbumTrack& one = album.tracks[0];
        QCOMPARE(one.title, QStringLiteral("One"));
        QCOMPARE(one.file, NativePath("/m/a.wav"));
        QVERIFY(one.fileFound && one.playable);
        // Up to the next INDEX 01: the pregap (INDEX 00) is heard with it.
        QCOMPARE(one.from, 0);
        QCOMPARE(one.to, 2 * 75);
        QCOMPARE(one.knownMilliseconds(), std::optional<qint64>(2000));
        QCOMPARE(album.tracks[1].title, QStringLiteral("Guest - Two"));
        QCOMPARE(album.tracks[1].to, 4 * 75 + 10);
        QCOMPARE(album.tracks[1].knownMilliseconds(), std::optional<qint64>(2133));  // 160 frames
        // The last track of a file runs to its end.
        QCOMPARE(album.tracks[2].title, QStringLiteral("Album 03"));
        QCOMPARE(album.tracks[2].to, -1);
        QVERIFY(!album.tracks[2].knownMilliseconds());
        QCOMPARE(album.tracks[2].fromMilliseconds(), 4133);
        // Raw CD audio; a track without INDEX 01 cannot play and does not
        // end the one before.
        QCOMPARE(album.tracks[3].type, FileType::RawLittleEndian);
        QCOMPARE(album.tracks[3].to, 75);
        QVERIFY(!album.tracks[4].playable);
        QVERIFY(album.tracks[5].playable);
        // A start before the one before: that track cannot play.
        QCOMPARE(album.tracks[6].type, FileType::RawBigEndian);
        QVERIFY(!album.tracks[6].playable);
        QVERIFY(album.tracks[7].playable);
        QCOMPARE(album.tracks[7].file, NativePath("/m/c.bin"));
    }

    // The file the sheet names, else one of the same base name with a song
    // extension (re-encoded after the sheet was written); a Windows path
    // is looked for beside the sheet; a file found nowhere stays named.
    void audioFileFound()
    {
        bool found = false;
        const FileLookup files = lookupOf({"/m/Album.flac", "/m/Album.cue", "/m/Album.txt", "/m/Other.wav",
                                           "/m/Disc/x.wav", "/n/SHOUT.Opus"});
        QCOMPARE(findAudioFile(QStringLiteral("Album.wav"), "/m/Album.cue", files, &found), NativePath("/m/Album.flac"));
        QVERIFY(found);
        QCOMPARE(findAudioFile(QStringLiteral("Other.wav"), "/m/Album.cue", files, &found), NativePath("/m/Other.wav"));
        QCOMPARE(findAudioFile(QStringLiteral("C:\\Rips\\Other.wav"), "/m/Album.cue", files, &found),
                 NativePath("/m/Other.wav"));
        QCOMPARE(findAudioFile(QStringLiteral("Disc\\x.wav"), "/m/Album.cue", files, &found), NativePath("/m/Disc/x.wav"));
        QCOMPARE(findAudioFile(QStringLiteral("shout.wav"), "/n/s.cue", files, &found), NativePath("/n/SHOUT.Opus"));
        QVERIFY(found);
        QCOMPARE(findAudioFile(QStringLiteral("Gone.wav"), "/m/Album.cue", files, &found), NativePath("/m/Gone.wav"));
        QVERIFY(!found);
    }

    // A sheet inside a FLAC file: the CUESHEET block (offsets in samples,
    // lead-out ends the list), or a CUESHEET tag with titles, which wins.
    void sheetsInsideFlac()
    {
        const QByteArray block = cueSheetBlock({{1, 0}, {2, 44100}, {3, 100000}}, 150000);
        QByteArray file = "fLaC" + flacBlock(0, streamInfo(48000), false) + flacBlock(1, QByteArray(3000, '\0'), false)
            + flacBlock(5, block, true) + QByteArray(100, '\x55');
        std::optional<FlacSheet> sheet = readBytes(file);
        QVERIFY(sheet);
        QCOMPARE(sheet->sampleRate, 48000u);
        QCOMPARE(sheet->tracks.size(), 3);
        QCOMPARE(sheet->tracks[1].start, 44100);
        QCOMPARE(sheet->tracks[2].number, 3);

        const QByteArray tagged = "FILE \"x.flac\" WAVE\nTRACK 01 AUDIO\nTITLE \"Tagged\"\nINDEX 01 00:00:00\n";
        file = "fLaC" + flacBlock(0, streamInfo(44100), false)
            + flacBlock(4, vorbisComment({"TITLE=x", "cuesheet=" + tagged}), false) + flacBlock(5, block, true);
        sheet = readBytes(file);
        QVERIFY(sheet && sheet->tagged);
        QCOMPARE(sheet->tagged->tracks[0].title, QStringLiteral("Tagged"));

        QVERIFY(readBytes("fLaC" + flacBlock(0, streamInfo(44100), true))->isEmpty());
        QVERIFY(!readBytes("RIFF....WAVE"));
        // Cut short inside the block: no tracks, no crash.
        QVERIFY(readBytes(file.left(file.size() - 40))->tracks.isEmpty());
    }

    // The line a track travels under, and only such lines count as one.
    void trackLines()
    {
        const auto line = cuelines::trackLineOf("/m/Album.cue/12");
        QVERIFY(line);
        QCOMPARE(line->album, NativePath("/m/Album.cue"));
        QCOMPARE(line->track, 12);
        QCOMPARE(cuelines::lineOf("/m/A.flac", 3), NativePath("/m/A.flac/3"));
        QVERIFY(cuelines::trackLineOf("/m/A.FLAC/3"));
        for (const char* other : {"/m/Album.cue", "/m/Album.cue/", "/m/Album.cue/0", "/m/Album.cue/03",
                                  "/m/Album.cue/x1", "/m/Album.mp3/1", "/m/.cue/1", "/m/Album.cue/12345", "Album.cue"})
            QVERIFY2(!cuelines::trackLineOf(other), other);
        QCOMPARE(music::kindOf("/m/Album.cue/2"), music::Kind::Song);
        QCOMPARE(music::kindOf("/m/Album.CUE"), music::Kind::CueSheet);
        QCOMPARE(music::kindOf("/m/song.flac"), music::Kind::Song);
    }

    // The address playbin opens for a track, there and back.
    void trackAddresses()
    {
        media::TrackSpan span;
        span.storage = media::TrackSpan::Storage::RawBigEndian;
        span.fileUri = "file:///m/a%3Ab.bin";
        span.from = 75;
        span.to = 150;
        QCOMPARE(media::parseTrackUri(media::trackUri(span).toUtf8()), std::optional<media::TrackSpan>(span));
        span.to = -1;
        span.storage = media::TrackSpan::Storage::Decoded;
        span.perSecond = 48000;
        QCOMPARE(media::parseTrackUri(media::trackUri(span).toUtf8()), std::optional<media::TrackSpan>(span));
        QVERIFY(!media::parseTrackUri("qpttrack:decoded:150:75:75:file:///a"));  // ends before it starts
        QVERIFY(!media::parseTrackUri("qpttrack:decoded:0:75:0:file:///a"));
        QVERIFY(!media::parseTrackUri("qpttrack:other:0:75:75:file:///a"));
        QVERIFY(!media::parseTrackUri("qpttrack:decoded:0:75:75:http://a"));
        QVERIFY(!media::parseTrackUri("file:///a"));
    }
};

QTEST_GUILESS_MAIN(TestCueReader)
#include "test_cue_reader.moc"
