#pragma once

// Whether a file is deflated into the package or stored as it is. Most of a
// VR game's bytes are packed already (textures, video, sound, archives of
// its own): deflating them takes minutes per GiB and wins nothing, so pack
// looks at the start of each larger file first.

#include <cstddef>
#include <cstdint>

namespace publisher {

// Files up to this size are deflated without a look: it costs little.
inline constexpr std::uint64_t kAlwaysDeflatedBytes = 64 * 1024;
// How much of the start of a larger file is looked at.
inline constexpr std::size_t kCompressionSampleBytes = 256 * 1024;

// True when deflating `sample` (the start of a file) saves at least 1/32
// of its bytes at zlib's fastest level; true for an empty sample.
bool worthDeflating(const void* sample, std::size_t size);

}  // namespace publisher
