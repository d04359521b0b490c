#include "tests/player/open_witness.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <mutex>

#include <dirent.h>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/types.h>

namespace qpt::test::openwitness {

namespace {

std::atomic_bool g_armed = false;
pthread_t g_window {};
std::mutex g_mutex;
QByteArray g_folder;
Counts g_counts;

void count(bool matches)
{
    if (!matches)
        return;
    const std::lock_guard lock(g_mutex);
    if (pthread_equal(pthread_self(), g_window))
        ++g_counts.windowThread;
    else
        ++g_counts.otherThreads;
}

bool isBatchFile(const char* path)
{
    const size_t length = path ? std::strlen(path) : 0;
    return length > 4 && std::strcmp(path + length - 4, ".sng") == 0;
}

bool isFolder(const char* path)
{
    const std::lock_guard lock(g_mutex);
    QByteArray wanted = g_folder;
    QByteArray given(path ? path : "");
    while (given.size() > 1 && given.endsWith('/'))
        given.chop(1);
    return given == wanted;
}

template <typename Function>
Function real(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

using Open = int (*)(const char*, int, ...);

int openThrough(Open realOpen, const char* path, int flags, va_list args)
{
    // The mode is there only when a file may be created.
    const mode_t mode = (flags & (0100 /* O_CREAT */ | 020200000 /* O_TMPFILE */)) ? va_arg(args, mode_t) : 0;
    if (g_armed)
        count(isBatchFile(path));
    return realOpen(path, flags, mode);
}

}  // namespace

void arm(const QByteArray& folder)
{
    {
        const std::lock_guard lock(g_mutex);
        g_window = pthread_self();
        g_folder = folder;
        g_counts = {};
    }
    g_armed = true;
}

Counts disarm()
{
    g_armed = false;
    const std::lock_guard lock(g_mutex);
    return g_counts;
}

}  // namespace qpt::test::openwitness

using namespace qpt::test::openwitness;

extern "C" int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    static const Open realOpen = real<Open>("open");
    const int fd = openThrough(realOpen, path, flags, args);
    va_end(args);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    static const Open realOpen = real<Open>("open64");
    const int fd = openThrough(realOpen, path, flags, args);
    va_end(args);
    return fd;
}

extern "C" DIR* opendir(const char* path)
{
    using OpenDir = DIR* (*)(const char*);
    static const OpenDir realOpenDir = real<OpenDir>("opendir");
    if (g_armed)
        count(isFolder(path));
    return realOpenDir(path);
}
