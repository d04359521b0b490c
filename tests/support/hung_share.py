#!/usr/bin/python3
"""A share that stops answering, for tests.

Mirrors SOURCE read-only at MOUNTPOINT with FUSE (foreground, one process)
and, depending on the mode written in CONTROL, lets calls hang:

  pass         a plain mirror
  block-reads  open and read of files never answer; stat and listing do
  block-stat   every call below the root (stat, lookup, open, listing,
               access, read) never answers, and so does listing the root;
               only the root's own stat and statfs answer, so that mounting
               and unmounting work
  slow-reads   every read answers after 2 s
  stall-mid    reads of a file's first half answer, reads from its middle
               on never do (a share that hangs mid-song); stat, listing and
               open answer

CONTROL is a file outside the mount holding one of these words; it is read
again on every call, so a test mounts in "pass", lets the player see the
files, then writes "block-stat" (replace the file with a rename so that no
call sees it half written). A missing file means "pass".

A blocked call waits on an event that never fires: there is no time-out
inside. Kill this process with SIGKILL to release every blocked call (the
kernel answers them with ENOTCONN), then unmount lazily with
`fusermount3 -uz MOUNTPOINT`. With --with-parent the file system unmounts
itself and ends when the process that started it ends or is being killed
(a test that crashed), and --lifetime S (600) is the longest it ever stays
mounted.

Nothing is cached by the kernel: attributes and names time out at once and
reads bypass the page cache (direct_io), so every call of the test reaches
this process and obeys the mode of that moment.

Run it with /usr/bin/python3: Debian's fusepy belongs to that interpreter.
"""

import argparse
import errno
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

try:
    import fusepy as fuse  # Debian 12's python3-fusepy
except ImportError:
    try:
        import fuse  # the name upstream and newer Debian releases use
    except ImportError:
        sys.exit("hung_share: no fusepy for %s (install python3-fusepy)" % sys.executable)

# Operations that hang in each mode; the root's getattr and statfs never do.
BLOCKED = {
    'pass': frozenset(),
    'block-reads': frozenset({'open', 'read'}),
    'block-stat': frozenset({'getattr', 'access', 'open', 'read', 'opendir', 'readdir', 'readlink'}),
    'slow-reads': frozenset(),
    'stall-mid': frozenset(),
}
DELAYED = {'slow-reads': {'read': 2.0}}
NEVER = threading.Event()  # set by nobody


class HungShare(fuse.Operations):
    use_ns = True

    def __init__(self, source, control):
        self.source = os.path.realpath(source)
        self.control = control

    def mode(self):
        try:
            with open(self.control, encoding='ascii') as f:
                word = f.read().strip()
        except OSError:
            return 'pass'
        if word not in BLOCKED:
            print('hung_share: unknown mode %r, passing' % word, file=sys.stderr, flush=True)
            return 'pass'
        return word

    def __call__(self, op, path=None, *args):
        mode = self.mode()
        if op in BLOCKED[mode] and not (path == '/' and op == 'getattr'):
            NEVER.wait()
        time.sleep(DELAYED.get(mode, {}).get(op, 0))
        return super().__call__(op, path, *args)

    def real(self, path):
        return os.path.join(self.source, path.lstrip('/'))

    def init(self, path):
        print('hung_share: ready', flush=True)

    def getattr(self, path, fh=None):
        st = os.lstat(self.real(path))
        keys = ('st_mode', 'st_nlink', 'st_uid', 'st_gid', 'st_size',
                'st_atime_ns', 'st_mtime_ns', 'st_ctime_ns')
        attrs = {k.replace('_ns', ''): getattr(st, k) for k in keys}
        attrs['st_mode'] &= ~0o222  # read-only mirror
        return attrs

    def access(self, path, amode):
        if amode & os.W_OK:
            raise fuse.FuseOSError(errno.EROFS)
        if not os.access(self.real(path), amode):
            raise fuse.FuseOSError(errno.EACCES)

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise fuse.FuseOSError(errno.EROFS)
        return os.open(self.real(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        if self.mode() == 'stall-mid' and offset + size > os.fstat(fh).st_size // 2:
            NEVER.wait()
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)

    def statfs(self, path):
        sv = os.statvfs(self.source)
        return {k: getattr(sv, k) for k in ('f_bsize', 'f_frsize', 'f_blocks', 'f_bfree', 'f_bavail',
                                            'f_files', 'f_ffree', 'f_favail', 'f_namemax')}


def unmount_and_end(mountpoint, why):
    print('hung_share: %s, unmounting' % why, file=sys.stderr, flush=True)
    for command in (['fusermount3', '-uz', mountpoint], ['fusermount', '-uz', mountpoint], ['umount', '-l', mountpoint]):
        if shutil.which(command[0]):
            try:
                if subprocess.run(command, timeout=5, stdin=subprocess.DEVNULL).returncode == 0:
                    break
            except subprocess.TimeoutExpired:
                pass
    os._exit(0)  # closes /dev/fuse: every call still waiting gets ENOTCONN


def parent_gone(parent):
    """True once the process that started this one has ended or is being
    killed. A test killed while one of its threads waits on this mount
    lingers as a zombie (or in D state with SIGKILL pending) and keeps its
    pipes open, so its end is read from /proc rather than from a pipe."""
    if os.getppid() != parent:
        return True
    try:
        with open('/proc/%d/status' % parent) as f:
            fields = dict(line.split(':', 1) for line in f if ':' in line)
    except OSError:
        return True
    sigkill = 1 << (9 - 1)
    return fields['State'].split()[0] in ('Z', 'X') or int(fields['ShdPnd'], 16) & sigkill != 0


def watch(mountpoint, with_parent, lifetime):
    def watcher():
        parent, end = os.getppid(), time.monotonic() + lifetime
        while time.monotonic() < end:
            if with_parent and parent_gone(parent):
                unmount_and_end(mountpoint, 'the process that started it ended')
            time.sleep(0.2)
        unmount_and_end(mountpoint, 'lifetime over')
    threading.Thread(target=watcher, daemon=True).start()


def fusermount_for_libfuse2():
    """fusepy drives libfuse 2, which mounts through "fusermount" when not
    root; fuse3 ships that program as "fusermount3" only. Its protocol is
    the same, so a link on PATH is enough."""
    if os.geteuid() == 0 or shutil.which('fusermount') or not shutil.which('fusermount3'):
        return
    folder = tempfile.mkdtemp(prefix='hung-share-bin-')
    os.symlink(shutil.which('fusermount3'), os.path.join(folder, 'fusermount'))
    os.environ['PATH'] = folder + os.pathsep + os.environ.get('PATH', '')


def allow_other():
    """Other users (a player run as another user) may enter the mount. An
    ordinary user may ask for that only where /etc/fuse.conf allows it."""
    if os.geteuid() == 0:
        return True
    try:
        with open('/etc/fuse.conf') as f:
            return any(line.strip() == 'user_allow_other' for line in f)
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('source')
    parser.add_argument('mountpoint')
    parser.add_argument('control')
    parser.add_argument('--with-parent', action='store_true')
    parser.add_argument('--lifetime', type=float, default=600.0)
    args = parser.parse_args()
    for folder in (args.source, args.mountpoint):
        if not os.path.isdir(folder):
            sys.exit('hung_share: %s is not a folder' % folder)  # FUSE would mount on a file
    fusermount_for_libfuse2()
    watch(os.path.abspath(args.mountpoint), args.with_parent, args.lifetime)
    options = dict(foreground=True, nothreads=False, ro=True, fsname='qpt-hung-share', subtype='qpt-hung-share',
                   attr_timeout=0, entry_timeout=0, negative_timeout=0, direct_io=True)
    if allow_other():
        options['allow_other'] = True
    try:
        fuse.FUSE(HungShare(args.source, args.control), args.mountpoint, **options)
    except RuntimeError:
        sys.exit('hung_share: could not mount at %s' % args.mountpoint)


if __name__ == '__main__':
    main()
