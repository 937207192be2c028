#include "runtime/mmstream/video_converter.h"

namespace vrel::mmstream {
namespace {

struct KnownFormat {
    DWORD bits, red, green, blue;
    AVPixelFormat format;
};

// Little-endian memory order: 0x00RRGGBB is stored B, G, R, X.
constexpr KnownFormat kKnownFormats[] = {
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, AV_PIX_FMT_BGR0},
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, AV_PIX_FMT_RGB0},
    {24, 0x00FF0000, 0x0000FF00, 0x000000FF, AV_PIX_FMT_BGR24},
    {16, 0xF800, 0x07E0, 0x001F, AV_PIX_FMT_RGB565LE},
    {16, 0x7C00, 0x03E0, 0x001F, AV_PIX_FMT_RGB555LE},
};

int SwsColorSpace(int colorSpace) {
    switch (colorSpace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return SWS_CS_DEFAULT;  // BT.601: what unlabelled standard-definition video is
    }
}

}  // namespace

AVPixelFormat PixelFormatFor(const DDPIXELFORMAT& format) {
    if ((format.dwFlags & DDPF_RGB) == 0) {
        return AV_PIX_FMT_NONE;
    }
    for (const KnownFormat& known : kKnownFormats) {
        if (format.dwRGBBitCount == known.bits && format.dwRBitMask == known.red &&
            format.dwGBitMask == known.green && format.dwBBitMask == known.blue) {
            return known.format;
        }
    }
    return AV_PIX_FMT_NONE;
}

int BytesPerPixel(AVPixelFormat format) {
    switch (format) {
        case AV_PIX_FMT_BGR24:
            return 3;
        case AV_PIX_FMT_RGB565LE:
        case AV_PIX_FMT_RGB555LE:
            return 2;
        default:
            return 4;
    }
}

DDPIXELFORMAT XrgbPixelFormat() {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = 32;
    format.dwRBitMask = 0x00FF0000;
    format.dwGBitMask = 0x0000FF00;
    format.dwBBitMask = 0x000000FF;
    return format;
}

bool VideoConverter::Prepare(const Shape& shape) {
    if (sws_ && shape == shape_) {
        return true;
    }
    sws_.reset(sws_getContext(shape.sourceWidth, shape.sourceHeight,
                              static_cast<AVPixelFormat>(shape.sourceFormat), shape.targetWidth,
                              shape.targetHeight, static_cast<AVPixelFormat>(shape.targetFormat),
                              SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!sws_) {
        return false;
    }
    const int* coefficients = sws_getCoefficients(SwsColorSpace(shape.colorSpace));
    int fullRange = shape.colorRange == AVCOL_RANGE_JPEG ? 1 : 0;
    sws_setColorspaceDetails(sws_.get(), coefficients, fullRange, coefficients, 1, 0, 1 << 16,
                             1 << 16);
    shape_ = shape;
    return true;
}

bool VideoConverter::Convert(const AVFrame* picture, const PixelTarget& target) {
    Shape shape{picture->width, picture->height, picture->format,     target.width,
                target.height,  target.format,   picture->colorspace, picture->color_range};
    if (picture->width <= 0 || picture->height <= 0 || !Prepare(shape)) {
        return false;
    }
    uint8_t* const planes[4] = {target.topLeft, nullptr, nullptr, nullptr};
    const int pitches[4] = {target.pitch, 0, 0, 0};
    return sws_scale(sws_.get(), picture->data, picture->linesize, 0, picture->height, planes,
                     pitches) > 0;
}

}  // namespace vrel::mmstream
