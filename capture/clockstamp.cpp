#include "clockstamp.h"

#include <gst/video/video.h>
#include <time.h>

namespace pelmora::clockstamp {

namespace {

// Video-range luma of black and white; chroma in the middle is grey.
constexpr std::uint8_t kBlack = 16;
constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kNoChroma = 128;

GstPadProbeReturn OnFrame(GstPad* pad, GstPadProbeInfo* info, gpointer)
{
    GstCaps* caps = gst_pad_get_current_caps(pad);
    GstVideoInfo videoInfo;
    const bool known = caps && gst_video_info_from_caps(&videoInfo, caps);
    if (caps)
        gst_caps_unref(caps);
    if (!known)
        return GST_PAD_PROBE_OK;
    // Taken as late as possible: the frame is on its way out now.
    const std::uint32_t micros = NowMicros();
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    WriteStamp(buffer, &videoInfo, micros);
    return GST_PAD_PROBE_OK;
}

} // namespace

std::uint32_t NowMicros()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint32_t(std::uint64_t(now.tv_sec) * 1000000u + std::uint64_t(now.tv_nsec) / 1000u);
}

bool WriteStamp(GstBuffer* buffer, const GstVideoInfo* info, std::uint32_t micros)
{
    if (GST_VIDEO_INFO_FORMAT(info) != GST_VIDEO_FORMAT_YUY2 || GST_VIDEO_INFO_WIDTH(info) < 320 ||
        GST_VIDEO_INFO_HEIGHT(info) < 240)
        return false;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, const_cast<GstVideoInfo*>(info), buffer, GST_MAP_WRITE))
        return false;
    auto* pixels = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    const std::uint64_t bits = StampBits(micros);
    for (int i = 0; i < kBits; ++i) {
        const std::uint8_t luma = (bits >> (kBits - 1 - i)) & 1u ? kWhite : kBlack;
        const int left = kLeft + (i % kColumns) * kBlock;
        const int top = kTop + (i / kColumns) * kBlock;
        for (int y = top; y < top + kBlock; ++y) {
            // Two pixels in four bytes: Y0 U Y1 V; blocks start on even pixels.
            std::uint8_t* row = pixels + std::size_t(y) * std::size_t(stride) + std::size_t(left) * 2;
            for (int x = 0; x < kBlock * 2; x += 4) {
                row[x] = luma;
                row[x + 1] = kNoChroma;
                row[x + 2] = luma;
                row[x + 3] = kNoChroma;
            }
        }
    }
    gst_video_frame_unmap(&frame);
    return true;
}

void StampEveryFrame(GstElement* source)
{
    if (GstPad* out = gst_element_get_static_pad(source, "src")) {
        gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, OnFrame, nullptr, nullptr);
        gst_object_unref(out);
    }
}

} // namespace pelmora::clockstamp
