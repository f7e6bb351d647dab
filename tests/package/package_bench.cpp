// Reading a crafted package whose section table and resource tree are as
// large as their 16-bit counts allow: the time must follow the file's size,
// not the product of its counts (before the section limit, 65,535 sections
// times 65,535 resources took about 14 s and froze the capture page).
#include "craftedpackage.h"
#include "package.h"

#include <benchmark/benchmark.h>

namespace {

void readCraftedPackage(benchmark::State& state, int sections, int resources)
{
    const QByteArray bytes = testbytes::CraftedPackage(sections, resources);
    bool accepted = false;
    for (auto _ : state) {
        const auto package = pelmora::ResourcePackage::FromBytes(bytes);
        accepted = package != nullptr;
        benchmark::DoNotOptimize(package.get());
    }
    state.SetLabel(std::to_string(bytes.size()) + " bytes, " + (accepted ? "read" : "refused"));
}

BENCHMARK_CAPTURE(readCraftedPackage, sections65535_resources65535, 65535, 65535)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readCraftedPackage, sections96_resources65535, 96, 65535)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
