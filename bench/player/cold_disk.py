"""The cold-disk benchmarks' means: the kernel's caches dropped, a disk
slowed down for the programs measured, a quiet machine before a run.

Dropping the caches and slowing a disk need root; can_go_cold() says why
not when they cannot be had.

SlowDisk slows the disk holding a folder to a number of bytes a second for
the processes put in it, with the cgroup v1 blkio throttle
(blkio.throttle.read_bps_device of a cgroup made for it): it stands for a
laptop's SSD or a network share. Everything a process in it reads from that
disk, its read-ahead included, passes the throttle; its children inherit
it. The cgroup is removed again on close().
"""
import os
import subprocess
import threading
import time

BLKIO = '/sys/fs/cgroup/blkio'


def can_go_cold():
    """None when the caches can be dropped here, else why not."""
    if os.geteuid() != 0:
        return 'dropping the kernel caches needs root (sync; echo 3 > /proc/sys/vm/drop_caches)'
    if not os.access('/proc/sys/vm/drop_caches', os.W_OK):
        return '/proc/sys/vm/drop_caches cannot be written'
    return None


def drop_caches():
    """Writes dirty pages out, then drops the page cache, dentries and inodes."""
    subprocess.run(['timeout', '300', 'sync'], check=True)
    with open('/proc/sys/vm/drop_caches', 'w') as f:
        f.write('3\n')


def load_average():
    with open('/proc/loadavg') as f:
        return float(f.read().split()[0])


def wait_quiet(below=0.5, limit=600, step=10, say=lambda text: None):
    """Waits until the 1-minute load average is below `below`, polling every
    `step` s for up to `limit` s; returns the load average it ends with and
    whether it was quiet."""
    end = time.monotonic() + limit
    load = load_average()
    while load >= below and time.monotonic() < end:
        time.sleep(step)
        load = load_average()
    if load >= below:
        say('the machine did not get quiet within %d s: measured at a load average of %.2f' % (limit, load))
    return load, load < below


def disk_of(folder):
    """"MAJOR:MINOR" of the whole disk that holds `folder` (the throttle
    takes disks, not partitions)."""
    dev = os.stat(folder).st_dev
    node = '/sys/dev/block/%d:%d' % (os.major(dev), os.minor(dev))
    if os.path.exists(os.path.join(node, 'partition')):
        node = os.path.dirname(os.path.realpath(node))
    with open(os.path.join(node, 'dev')) as f:
        return f.read().strip()


class SlowDisk:
    def __init__(self, folder, bytes_per_s, name='qpt-bench-slow-disk'):
        self.disk = disk_of(folder)
        self.bytes_per_s = int(bytes_per_s)
        self.group = os.path.join(BLKIO, name)
        if not os.path.isdir(BLKIO):
            raise OSError('no cgroup v1 blkio controller at %s' % BLKIO)
        os.makedirs(self.group, exist_ok=True)
        with open(os.path.join(self.group, 'blkio.throttle.read_bps_device'), 'w') as f:
            f.write('%s %d\n' % (self.disk, self.bytes_per_s))

    def enter(self):
        """Puts the calling process in the slowed group (a preexec_fn)."""
        with open(os.path.join(self.group, 'cgroup.procs'), 'w') as f:
            f.write(str(os.getpid()))

    def describe(self):
        return 'disk %s read at %.0f MB/s (cgroup v1 blkio throttle)' % (self.disk, self.bytes_per_s / 1e6)

    def close(self):
        # Whatever is left in it (a process still ending) goes back to the root.
        try:
            with open(os.path.join(self.group, 'cgroup.procs')) as f:
                left = f.read().split()
            for pid in left:
                try:
                    with open(os.path.join(BLKIO, 'cgroup.procs'), 'w') as f:
                        f.write(pid)
                except OSError:
                    pass
            os.rmdir(self.group)
        except OSError:
            pass


def floor_seconds(paths, preexec=None, limit=900):
    """The time to read every file once from a cold disk: `cat` of all of
    them (in list order) after the caches were dropped."""
    list_input = b''.join(os.fsencode(p) + b'\0' for p in paths)
    drop_caches()
    start = time.monotonic()
    subprocess.run(['timeout', str(limit), 'xargs', '-0', 'cat'], input=list_input, stdout=subprocess.DEVNULL,
                   check=True, preexec_fn=preexec)
    return time.monotonic() - start


def start_x_server(limit=3600):
    """Xvfb on a display number it chooses itself; (process, ":N")."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(['timeout', str(limit), 'Xvfb', '-displayfd', str(write_end), '-nolisten', 'tcp',
                               '-screen', '0', '1280x1024x24'], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b''
    with os.fdopen(read_end, 'rb') as pipe:
        while not number.endswith(b'\n'):
            byte = pipe.read(1)
            if not byte:
                break
            number += byte
    if not number.strip():
        server.kill()
        raise OSError('Xvfb did not start')
    return server, ':' + number.decode().strip()


def visible_windows(pid, env):
    """The mapped windows of process `pid` on env's display."""
    found = subprocess.run(['timeout', '10', 'xdotool', 'search', '--onlyvisible', '--pid', str(pid)], env=env,
                           capture_output=True, text=True)
    return found.stdout.split()


class Listener:
    """A song playing from the disk in real time (qpt-bench-listen) while a
    round runs: started before the round, it is waited for until it plays;
    stop() gives its figures ("listen.*" names without the prefix)."""

    def __init__(self, program, song, env=None, preexec=None, limit=900, start_limit=60):
        self.process = subprocess.Popen(['timeout', str(limit), program, song, '--seconds', str(limit - 30)],
                                        env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                        preexec_fn=preexec)
        self.values = {}
        self.playing = threading.Event()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.playing.wait(start_limit)

    def _read(self):
        for line in self.process.stdout:
            name, _, value = line.strip().partition(' ')
            if name == 'listen.playing':
                self.playing.set()
            elif name.startswith('listen.'):
                try:
                    self.values[name[len('listen.'):]] = float(value)
                except ValueError:
                    pass
        self.playing.set()

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(2)  # SIGINT; timeout passes it on
        try:
            self.process.wait(30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.reader.join(5)
        return self.values
