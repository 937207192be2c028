// Prints the frame index shown in a screenshot (a binary PPM of the whole screen, the
// movie stretched over it), or -1 when no marker can be read.
//   read_marker <screen.ppm>
#include <cstdio>
#include <vector>

#include "platform/win32.h"
#include "tools/moviemaker/frame_marker.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR path, int) {
    std::FILE* in = std::fopen(path, "rb");
    int width = 0;
    int height = 0;
    int maxValue = 0;
    std::vector<unsigned char> rgb;
    // the header, then the one whitespace byte after it
    if (in != nullptr && std::fscanf(in, "P6 %d %d %d", &width, &height, &maxValue) == 3 &&
        maxValue == 255 && width > 0 && height > 0 && width <= 8192 && height <= 8192 &&
        std::fgetc(in) != EOF) {
        rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        rgb.resize(std::fread(rgb.data(), 1, rgb.size(), in) == rgb.size() ? rgb.size() : 0);
    }
    if (in != nullptr) {
        std::fclose(in);
    }
    if (rgb.empty()) {
        std::fprintf(stderr, "read_marker: cannot read %s as a binary PPM\n", path);
        return 2;
    }
    std::vector<uint32_t> pixels(rgb.size() / 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = (uint32_t{rgb[3 * i]} << 16) | (uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
    }
    std::printf("%d\n", vrel::moviemaker::ReadFrameMarker(pixels.data(), width, height, width));
    return 0;
}
