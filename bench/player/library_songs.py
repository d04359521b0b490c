"""The realistic library of the library benchmark: 10,000 songs made of 40
distinct source files of 12 to 240 s, in the mix a user's folder holds (CBR
MP3, VBR MP3 without a Xing header, a few VBR MP3 with one, WAV, WMA, and a
quarter FLAC, Ogg Vorbis, Opus and M4A), plus the playlists that hand it
over (.vyx for our player, .m3u for the peer).

Everything comes from a fixed seed, so every run measures the same files.
The sources are the only real audio; the other 9,960 songs are hard links to
them under distinct names in an artist/album/track layout. Making the
sources takes a minute or two (sox, lame, ffmpeg, each under a time limit),
so the whole library is kept in the folder given (the build tree's
bench-library/) and made again only when this recipe changes.

DistinctLibrary is the cold-disk variant: the first 2,000 songs of the same
recipe, each a file of its own (a copy of its source, so nothing is shared
in the page cache and every song costs its own reads from disk), about
5 GB, kept beside the sources in bench-library/distinct/.
"""
import concurrent.futures
import hashlib
import inspect
import json
import os
import random
import shutil
import subprocess

SEED = 14
SONGS = 10000
SHORTEST_S, LONGEST_S = 12.0, 240.0
# How many of the 40 sources are of each kind. MP3 is most of a library,
# and the VBR files without a header are the ones whose length costs a scan;
# a quarter is of the later formats (the M4A files half with their movie
# header at the front, as iTunes writes it, half at the end, as FFmpeg does).
MIX = (('cbr', 11), ('vbr', 10), ('xing', 3), ('wav', 3), ('wma', 3),
       ('flac', 3), ('vorbis', 3), ('opus', 2), ('m4a', 2))
SUFFIX = {'cbr': 'mp3', 'vbr': 'mp3', 'xing': 'mp3', 'wav': 'wav', 'wma': 'wma',
          'flac': 'flac', 'vorbis': 'ogg', 'opus': 'opus', 'm4a': 'm4a'}
TOOL_LIMIT_S = 600  # per encoder call; a 240-s file takes a few seconds
DISTINCT_SONGS = 2000


class Library:
    def __init__(self, folder):
        self.folder = folder
        self.sources_dir = os.path.join(folder, 'sources')
        self.music_dir = os.path.join(folder, 'Music')
        self.vyx = os.path.join(folder, 'library.vyx')
        self.m3u = os.path.join(folder, 'library.m3u')
        self.list_file = os.path.join(folder, 'library.txt')  # one path a line, for the floor
        self.recipe = _recipe()
        self.sources = [os.path.join(self.sources_dir, s['name']) for s in self.recipe['sources']]
        self.songs = [os.path.join(self.music_dir, song) for song, _ in self.recipe['songs']]

    def album_folders(self):
        return sorted({os.path.dirname(song) for song in self.songs})

    def describe(self):
        kinds = {}
        for s in self.recipe['sources']:
            kinds[s['kind']] = kinds.get(s['kind'], 0) + 1
        per_song = {}
        for _, index in self.recipe['songs']:
            kind = self.recipe['sources'][index]['kind']
            per_song[kind] = per_song.get(kind, 0) + 1
        total = sum(os.path.getsize(p) for p in self.sources)
        return ('%d songs from %d sources (%s; %.0f MB), songs per kind: %s' % (
            len(self.songs), len(self.sources), ', '.join('%d %s' % (n, k) for k, n in kinds.items()),
            total / 1e6, ', '.join('%s %d' % item for item in per_song.items())))

    def prepare(self, log=lambda text: None):
        """Makes whatever is missing or from another recipe; quick when the
        library is there."""
        stamp = os.path.join(self.folder, '.stamp')
        # The recipe and the way a source is made: what the files depend on.
        digest = hashlib.sha1((json.dumps(self.recipe, sort_keys=True)
                               + inspect.getsource(_make_source)).encode()).hexdigest()
        if os.path.exists(stamp) and open(stamp).read() == digest and all(
                os.path.exists(p) for p in (self.vyx, self.m3u, self.list_file, self.songs[-1])):
            return
        if os.path.exists(self.folder):
            shutil.rmtree(self.folder)
        os.makedirs(self.sources_dir)
        log('making the library in %s (once; about two minutes)' % self.folder)
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for made in pool.map(lambda s: _make_source(s, self.sources_dir), self.recipe['sources']):
                pass
        for song, index in zip(self.songs, (i for _, i in self.recipe['songs'])):
            os.makedirs(os.path.dirname(song), exist_ok=True)
            os.link(self.sources[index], song)
        with open(self.vyx, 'wb') as f:
            f.write(b''.join(os.fsencode(p) + b'\r\n' for p in self.songs))
        with open(self.m3u, 'wb') as f:
            f.write(b''.join(os.fsencode(p) + b'\n' for p in self.songs))
        with open(self.list_file, 'wb') as f:
            f.write(b''.join(os.fsencode(p) + b'\n' for p in self.songs))
        with open(stamp, 'w') as f:
            f.write(digest)

    def warm(self):
        """Reads every source once, so that all rounds find the songs in the
        page cache (the hard links share the sources' pages)."""
        for path in self.sources:
            with open(path, 'rb') as f:
                while f.read(1 << 20):
                    pass


def _recipe():
    rng = random.Random(SEED)
    kinds = [kind for kind, count in MIX for _ in range(count)]
    rng.shuffle(kinds)
    sources = []
    for number, kind in enumerate(kinds, 1):
        source = {'kind': kind, 'seconds': round(rng.uniform(SHORTEST_S, LONGEST_S), 2),
                  'name': 'source%02d-%s.%s' % (number, kind, SUFFIX[kind])}
        if kind == 'cbr':
            source['kbps'] = rng.choice((128, 160, 192, 256, 320))
        elif kind in ('vbr', 'xing'):
            source['quality'] = rng.randint(0, 6)
        elif kind == 'wma':
            source['kbps'] = rng.choice((128, 160, 192))
        elif kind == 'vorbis':
            source['quality'] = rng.randint(2, 8)
        elif kind == 'opus':
            source['kbps'] = rng.choice((64, 96, 128, 160))
        elif kind == 'm4a':
            source['kbps'] = rng.choice((128, 192, 256))
            source['header_first'] = sum(s['kind'] == 'm4a' for s in sources) % 2 == 0
        sources.append(source)
    # Every source once, then any of them; ten tracks an album, ten albums
    # an artist.
    order = list(range(len(sources)))
    rng.shuffle(order)
    order += [rng.randrange(len(sources)) for _ in range(SONGS - len(sources))]
    songs = []
    for i, index in enumerate(order):
        suffix = SUFFIX[sources[index]['kind']]
        songs.append(('Artist %02d/Album %02d/%02d Track number %d of the library.%s'
                      % (i // 100, i // 10 % 10, i % 10 + 1, i + 1, suffix), index))
    return {'sources': sources, 'songs': songs}


def _run(command):
    subprocess.run(['timeout', str(TOOL_LIMIT_S)] + command, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def _make_source(source, folder):
    target = os.path.join(folder, source['name'])
    wav = target + '.tmp.wav'
    # Noise shaped by a slow tremolo: a VBR encoder spends a varying number
    # of bits on it, as on music.
    _run(['sox', '-R', '-n', '-r', '44100', '-c', '2', '-b', '16', wav, 'synth', '%.2f' % source['seconds'],
          'pinknoise', 'tremolo', '0.3', '80', 'gain', '-10'])
    name = os.path.splitext(source['name'])[0]
    tags = ['--tt', name, '--ta', 'Library benchmark', '--tl', 'Seed %d' % SEED]
    kind = source['kind']
    if kind == 'wav':
        os.rename(wav, target)
        return target
    if kind == 'cbr':
        _run(['lame', '--quiet', '-b', str(source['kbps'])] + tags + [wav, target])
    elif kind == 'vbr':
        _run(['lame', '--quiet', '-V', str(source['quality']), '-t'] + tags + [wav, target])
    elif kind == 'xing':
        _run(['lame', '--quiet', '-V', str(source['quality'])] + tags + [wav, target])
    elif kind == 'wma':
        _run(['ffmpeg', '-nostdin', '-v', 'error', '-y', '-i', wav, '-c:a', 'wmav2', '-b:a',
              '%dk' % source['kbps'], target])
    else:
        codec = {'flac': ['-c:a', 'flac'],
                 'vorbis': ['-c:a', 'libvorbis', '-q:a', str(source.get('quality', 0))],
                 'opus': ['-c:a', 'libopus', '-b:a', '%dk' % source.get('kbps', 0)],
                 'm4a': ['-c:a', 'aac', '-b:a', '%dk' % source.get('kbps', 0)]
                        + (['-movflags', '+faststart'] if source.get('header_first') else [])}[kind]
        metadata = ['-metadata', 'title=' + name, '-metadata', 'artist=Library benchmark',
                    '-metadata', 'album=Seed %d' % SEED]
        _run(['ffmpeg', '-nostdin', '-v', 'error', '-y', '-i', wav] + codec + metadata + [target])
    os.remove(wav)
    return target


class DistinctLibrary:
    """The first `count` songs of `library`'s recipe as distinct files in
    library.folder/distinct/, with their own playlists and list file. A
    song that plays meanwhile (listen_song) is a distinct copy too, of the
    longest WAV source (the most bytes a second to keep up with)."""

    def __init__(self, library, count=DISTINCT_SONGS):
        self.library = library
        self.folder = os.path.join(library.folder, 'distinct')
        self.music_dir = os.path.join(self.folder, 'Music')
        self.vyx = os.path.join(self.folder, 'library.vyx')
        self.m3u = os.path.join(self.folder, 'library.m3u')
        self.list_file = os.path.join(self.folder, 'library.txt')
        recipe = library.recipe
        self.pairs = [(os.path.join(self.music_dir, song), library.sources[index])
                      for song, index in recipe['songs'][:count]]
        self.songs = [song for song, _ in self.pairs]
        wavs = [s for s in recipe['sources'] if s['kind'] == 'wav']
        longest = max(wavs, key=lambda s: s['seconds'])
        self.listen_source = os.path.join(library.sources_dir, longest['name'])
        self.listen_seconds = longest['seconds']
        self.listen_song = os.path.join(self.folder, 'Listening', 'playing meanwhile.wav')

    def album_folders(self):
        return sorted({os.path.dirname(song) for song in self.songs})

    def size(self):
        return sum(os.path.getsize(p) for p in self.songs)

    def describe(self):
        return '%d distinct song files (%.2f GB), copies of the first %d songs of the library' % (
            len(self.songs), self.size() / 1e9, len(self.songs))

    def prepare(self, log=lambda text: None):
        self.library.prepare(log)
        stamp = os.path.join(self.folder, '.stamp')
        digest = hashlib.sha1(('%s %d' % (open(os.path.join(self.library.folder, '.stamp')).read(),
                                          len(self.songs))).encode()).hexdigest()
        if os.path.exists(stamp) and open(stamp).read() == digest and all(
                os.path.exists(p) for p in (self.vyx, self.m3u, self.list_file, self.songs[-1], self.listen_song)):
            return
        if os.path.exists(self.folder):
            shutil.rmtree(self.folder)
        log('copying %d songs into %s (once; a minute or two)' % (len(self.songs), self.folder))
        for song, source in self.pairs + [(self.listen_song, self.listen_source)]:
            os.makedirs(os.path.dirname(song), exist_ok=True)
            shutil.copyfile(source, song)
        for path, end in ((self.vyx, b'\r\n'), (self.m3u, b'\n'), (self.list_file, b'\n')):
            with open(path, 'wb') as f:
                f.write(b''.join(os.fsencode(p) + end for p in self.songs))
        subprocess.run(['timeout', '300', 'sync'], check=True)
        with open(stamp, 'w') as f:
            f.write(digest)
