// Whatever region the RGNDATA reader accepts must be written and read back unchanged.
#include "rgndata.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto region = pelmora::ReadRegionData({data, size});
    if (!region)
        return 0;
    const QByteArray written = pelmora::WriteRegionData(*region);
    const auto again = pelmora::ReadRegionData(
        {reinterpret_cast<const std::uint8_t*>(written.constData()), std::size_t(written.size())});
    if (!again || *again != *region || pelmora::WriteRegionData(*again) != written)
        std::abort();
    return 0;
}
