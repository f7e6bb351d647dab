#pragma once
// The test camera's "clock" picture: every frame carries the moment it left
// the camera, written as black and white blocks into the middle of the
// picture, so that a program reading the screen can tell how long the frame
// took to get there.
//
// The stamp is 40 bits, most significant first, in kRows rows of kColumns
// blocks of kBlock by kBlock pixels from (kLeft, kTop) of the 320 by 240
// frame: the steady clock's microseconds (CLOCK_MONOTONIC, modulo 2^32),
// then a check byte, StampCheck of them. A white block is a one.
#include <gst/gst.h>
#include <gst/video/video.h>
#include <cstdint>

namespace pelmora::clockstamp {

inline constexpr int kBlock = 16;
inline constexpr int kColumns = 10;
inline constexpr int kRows = 4;
inline constexpr int kLeft = 80;
inline constexpr int kTop = 88;
inline constexpr int kBits = kColumns * kRows;

// The steady clock in microseconds, modulo 2^32 (it wraps every 71 minutes).
std::uint32_t NowMicros();

inline constexpr std::uint8_t StampCheck(std::uint32_t micros)
{
    return std::uint8_t((micros ^ (micros >> 8) ^ (micros >> 16) ^ (micros >> 24) ^ 0x5Au) & 0xFFu);
}

// The stamp's 40 bits for a time, most significant first.
inline constexpr std::uint64_t StampBits(std::uint32_t micros)
{
    return (std::uint64_t(micros) << 8) | StampCheck(micros);
}

// Writes the stamp into a packed 4:2:2 (YUY2) frame of 320 by 240 or more;
// false, and nothing written, for any other frame.
bool WriteStamp(GstBuffer* buffer, const GstVideoInfo* info, std::uint32_t micros);

// From now on every frame leaving the source element's "src" pad carries
// the moment it left.
void StampEveryFrame(GstElement* source);

} // namespace pelmora::clockstamp
