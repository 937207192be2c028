// Prints the frame index shown in a screenshot (a binary PPM of the whole screen, the
// movie stretched over it), or -1 when no marker can be read.
//   read_marker <screen.ppm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tools/moviemaker/frame_marker.h"

namespace {

bool ReadPpm(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        return false;
    }
    int maxValue = 0;
    bool ok = std::fscanf(in, "P6 %d %d %d", width, height, &maxValue) == 3 && maxValue == 255 &&
              *width > 0 && *height > 0 && *width <= 8192 && *height <= 8192;
    std::fgetc(in);  // the one whitespace byte after the header
    std::vector<unsigned char> rgb;
    if (ok) {
        rgb.resize(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 3);
        ok = std::fread(rgb.data(), 1, rgb.size(), in) == rgb.size();
    }
    std::fclose(in);
    if (!ok) {
        return false;
    }
    pixels->resize(rgb.size() / 3);
    for (size_t i = 0; i < pixels->size(); ++i) {
        (*pixels)[i] =
            (uint32_t{rgb[3 * i]} << 16) | (uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    if (!ReadPpm(commandLine, &pixels, &width, &height)) {
        std::fprintf(stderr, "read_marker: cannot read %s as a binary PPM\n", commandLine);
        return 2;
    }
    std::printf("%d\n", vrel::moviemaker::ReadFrameMarker(pixels.data(), width, height, width));
    return 0;
}
