"""What the library benchmark reads about the processes it starts."""
import os
import time

TICK = os.sysconf('SC_CLK_TCK')


def cpu_seconds(pid):
    """User and system time of the whole process so far, from
    /proc/<pid>/stat. Unlike a sum over the live threads' schedstat (see
    playing-cpu), it keeps the time of threads that have ended, as a
    player's short-lived worker and GStreamer threads do; it counts in clock
    ticks (10 ms), fine for the seconds measured here. None once the
    process is gone."""
    try:
        with open('/proc/%d/stat' % pid) as f:
            fields = f.read().rsplit(')', 1)[1].split()
    except OSError:
        return None
    # utime and stime are fields 14 and 15; fields[0] is field 3.
    return (int(fields[11]) + int(fields[12])) / TICK


def child_of(pid, limit=10.0):
    """The process that `pid` started, e.g. the program a `timeout` runs;
    None when there is none within `limit` seconds."""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        try:
            with open('/proc/%d/task/%d/children' % (pid, pid)) as f:
                children = f.read().split()
            if children:
                return int(children[0])
        except OSError:
            return None
        time.sleep(0.005)
    return None
