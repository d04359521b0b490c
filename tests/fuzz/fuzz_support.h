#pragma once
// Shared by the fuzz harnesses: invariant checks that end the run (libFuzzer
// then saves the input as a crash artifact), and an in-memory scratch file
// for readers that take a path.

#include <QByteArray>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

#define QPT_FUZZ_CHECK(cond)                                                                        \
    do {                                                                                            \
        if (!(cond)) {                                                                              \
            std::fprintf(stderr, "%s:%d: invariant does not hold: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                           \
        }                                                                                           \
    } while (0)

namespace qpt::fuzz {

// A file in memory that a reader opens by its path ("/proc/self/fd/N"), so
// that the reader's own open/stat/read code runs on the fuzz input. Every
// open of the path is a new open file with its own offset.
class ScratchFile {
public:
    ScratchFile()
    {
        m_fd = ::memfd_create("qpt-fuzz", MFD_CLOEXEC);
        QPT_FUZZ_CHECK(m_fd >= 0);
        m_path = "/proc/self/fd/" + QByteArray::number(m_fd);
    }
    ~ScratchFile() { ::close(m_fd); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the content.
    void write(const void* data, std::size_t size)
    {
        QPT_FUZZ_CHECK(::ftruncate(m_fd, 0) == 0);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, static_cast<const char*>(data) + done, size - done, off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            QPT_FUZZ_CHECK(n > 0);
            done += std::size_t(n);
        }
    }
    void write(const QByteArray& bytes) { write(bytes.constData(), std::size_t(bytes.size())); }

    const QByteArray& path() const { return m_path; }

private:
    int m_fd = -1;
    QByteArray m_path;
};

// One scratch file per harness process.
inline ScratchFile& scratch()
{
    static ScratchFile file;
    return file;
}

}  // namespace qpt::fuzz
