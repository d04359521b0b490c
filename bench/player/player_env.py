"""The environment a benchmarked player runs in."""
import os


def gst_registry():
    """GStreamer's plugin registry as the user's programs find it."""
    if os.environ.get('GST_REGISTRY'):
        return os.environ['GST_REGISTRY']
    cache = os.environ.get('XDG_CACHE_HOME') or os.path.join(os.path.expanduser('~'), '.cache')
    return os.path.join(cache, 'gstreamer-1.0', 'registry.%s.bin' % os.uname().machine)


def with_own_cache(env, folder):
    """`env` with a cache folder of its own (no song lengths remembered from
    another run, none left behind) that still uses the user's GStreamer
    plugin registry: a fresh one would be built at the start."""
    os.makedirs(folder, exist_ok=True)
    return dict(env, XDG_CACHE_HOME=folder, GST_REGISTRY=gst_registry())
