// Puts decoded pictures into surface pixels with swscale, scaling to the target rectangle and
// converting to the surface's pixel format in one pass, straight into the locked memory.
#pragma once

#include "platform/ddraw.h"
#include "runtime/mmstream/ffmpeg_ptr.h"

namespace vrel::mmstream {

// The FFmpeg pixel format that writes a surface of this format, or AV_PIX_FMT_NONE when the
// stream cannot draw into it.
AVPixelFormat PixelFormatFor(const DDPIXELFORMAT& format);
int BytesPerPixel(AVPixelFormat format);
// 32-bit XRGB (0x00RRGGBB): the screen's format, used when the display cannot say.
DDPIXELFORMAT XrgbPixelFormat();

struct PixelTarget {
    uint8_t* topLeft;  // the rectangle's first pixel
    int pitch;         // bytes from one row to the next
    int width;
    int height;
    AVPixelFormat format;
};

class VideoConverter {
  public:
    // Converts the whole picture into the target; false when swscale cannot.
    bool Convert(const AVFrame* picture, const PixelTarget& target);

  private:
    struct Shape {
        int sourceWidth = 0, sourceHeight = 0, sourceFormat = -1;
        int targetWidth = 0, targetHeight = 0, targetFormat = -1;
        int colorSpace = -1, colorRange = -1;
        bool operator==(const Shape&) const = default;
    };
    bool Prepare(const Shape& shape);

    SwsPtr sws_;  // made again only when a size or format changes
    Shape shape_;
};

}  // namespace vrel::mmstream
