// Layout archive reader: never crashes or reads out of bounds on any bytes, refuses with an offset
// inside the input, and whatever it accepts survives a write and a second read unchanged.
#include "archive.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const pelmora::LayoutReadResult first = pelmora::ReadLayoutArchive(bytes);
    if (!first.ok()) {
        if (first.error->offset > size || first.error->reason.empty() || !first.rects.empty())
            std::abort();
        return 0;
    }
    const QByteArray written = pelmora::WriteLayoutArchive(first.rects);
    const pelmora::LayoutReadResult second = pelmora::ReadLayoutArchive(written);
    if (!second.ok() || second.rects != first.rects)
        std::abort();
    if (pelmora::WriteLayoutArchive(second.rects) != written)
        std::abort();
    return 0;
}
