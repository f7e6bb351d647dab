// Which OpenGL renderers draw with the processor, by the text they give.
#include "composition.h"

#include <gtest/gtest.h>

namespace {

TEST(Composition, SoftwareRenderersAreKnownByName)
{
    const std::pair<const char*, bool> renderers[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"zink (llvmpipe (LLVM 15.0.6, 256 bits))", true},
        {"softpipe", true},
        {"Software Rasterizer", true},
        {"Google SwiftShader", true},
        {"GDI Generic", true},
        {"", true}, // no usable OpenGL at all
        // Hardware drivers built with LLVM say so too.
        {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
        {"virgl", false},
    };
    for (const auto& [renderer, software] : renderers)
        EXPECT_EQ(pelmora::IsSoftwareRenderer(renderer), software) << renderer;
}

} // namespace
