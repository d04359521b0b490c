#pragma once
// Shared by the harnesses of single length readers: the reader runs on the
// bytes in memory (an out-of-bounds read hits AddressSanitizer) and on the
// same bytes read from a file through the block cache (blocks are evicted
// while it reads on), and both ways must give the same length.

#include "player/core/length/probe_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qpt::fuzz {

template <typename Reader>
std::optional<std::int64_t> measureBothWays(const std::uint8_t* data, std::size_t size, Reader reader)
{
    using qpt::length::ProbeFile;
    ProbeFile memory;
    memory.openMemory(qpt::length::Bytes(data, size));
    const std::optional<std::int64_t> ms = reader(memory);
    QPT_FUZZ_CHECK(!ms || *ms >= 0);

    ScratchFile& file = scratch();
    file.write(data, size);
    ProbeFile onDisk;
    QPT_FUZZ_CHECK(onDisk.open(file.path()));
    QPT_FUZZ_CHECK(reader(onDisk) == ms);
    return ms;
}

}  // namespace qpt::fuzz
