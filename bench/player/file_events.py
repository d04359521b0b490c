"""Watches files and folders through inotify for the library benchmark and
notes when things happen to them, as they happen: a thread waits on the
inotify descriptor and stamps every batch of events with time.monotonic()
when it arrives, so a time is known to about a millisecond, with no polling
interval.

The benchmark watches the library's album folders for closes of song
files: such an event names the song, so the benchmark knows which songs a
player has read, and names keep apart events that the kernel would
otherwise merge (two closes of one file in a row, unread, arrive as one).
"""
import ctypes
import os
import select
import struct
import threading
import time

IN_CLOSE_NOWRITE = 0x010
IN_Q_OVERFLOW = 0x4000
IN_CLOEXEC = 0o2000000
_EVENT = struct.Struct('iIII')

_libc = ctypes.CDLL(None, use_errno=True)


class FileEvents:
    """Counts the events of `mask` on `paths` since the last mark(), the
    distinct names they came with (a file in a watched folder: folder and
    name), and keeps the time of the last one. `overflowed` tells that the
    kernel dropped events."""

    def __init__(self, paths, mask):
        self._fd = _libc.inotify_init1(IN_CLOEXEC)
        if self._fd < 0:
            raise OSError(ctypes.get_errno(), 'inotify_init1')
        for path in paths:
            if _libc.inotify_add_watch(self._fd, os.fsencode(path), mask) < 0:
                raise OSError(ctypes.get_errno(), 'inotify_add_watch', path)
        self.overflowed = False
        self._lock = threading.Lock()
        self._stop = False
        self.mark()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def mark(self):
        with self._lock:
            self.count = 0
            self.names = set()
            self.last = None

    def snapshot(self):
        """(events, distinct names, time of the last event)"""
        with self._lock:
            return self.count, len(self.names), self.last

    def close(self):
        self._stop = True
        self._thread.join(2)
        os.close(self._fd)

    def _run(self):
        poller = select.poll()
        poller.register(self._fd, select.POLLIN)
        while not self._stop:
            if not poller.poll(100):
                continue
            try:
                data = os.read(self._fd, 1 << 16)
            except OSError:
                return
            now = time.monotonic()
            count, offset, names = 0, 0, []
            while offset + _EVENT.size <= len(data):
                wd, mask, _, name_length = _EVENT.unpack_from(data, offset)
                name = data[offset + _EVENT.size:offset + _EVENT.size + name_length].rstrip(b'\0')
                offset += _EVENT.size + name_length
                if mask & IN_Q_OVERFLOW:
                    self.overflowed = True
                else:
                    count += 1
                    if name:
                        names.append((wd, name))
            if not count:
                continue
            with self._lock:
                self.count += count
                self.names.update(names)
                self.last = now
