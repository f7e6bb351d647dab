// Feeds arbitrary bytes to the package reader and, when it accepts them, reads everything the booth
// would: the range strings, each frame's region and picture bytes.
#include "package.h"
#include "rgndata.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto package = pelmora::ResourcePackage::FromBytes(bytes, &error);
    if (!package) {
        if (error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    for (std::uint16_t id = 0; id < 40; ++id)
        if (auto text = package->LoadString(id))
            if (text->size() > 7)
                std::abort();
    const int first = pelmora::Atoi(package->LoadString(1).value_or(QString()));
    for (int n = first; n < first + 8; ++n) {
        if (auto region = package->FindResource("REGION", std::uint16_t(n)))
            (void)pelmora::ReadRegionData(*region);
        if (auto image = package->FindResource("image", std::uint16_t(n + 1000))) {
            // Touch every byte: the span must lie inside the file.
            unsigned sum = 0;
            for (std::uint8_t b : *image)
                sum += b;
            (void)sum;
        }
    }
    return 0;
}
