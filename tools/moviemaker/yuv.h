// XRGB to YUV 4:2:0 (BT.601, limited range) in plain integer arithmetic, so the encoder's
// input is the same on every machine.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

namespace vrel::moviemaker {

// Writes the three planes of `frame` (AV_PIX_FMT_YUV420P, same size as the pixels).
void XrgbToYuv420(const uint32_t* xrgb, int width, int height, int pitchPixels, AVFrame* frame);

}  // namespace vrel::moviemaker
