// The pictures the movie maker draws: a test pattern whose content is known to tests, or the
// intro's procedural animation. Every picture is a pure function of its frame index.
#pragma once

#include <cstdint>
#include <vector>

namespace vrel::moviemaker {

enum class PictureKind {
    TestPattern,  // red, green and blue patches on top, a moving bar, once-a-second flashes
    Plasma,       // the intro's colourful animation
};

struct PictureSettings {
    int width = 320;
    int height = 240;
    int fps = 25;
    PictureKind kind = PictureKind::TestPattern;
    bool flashes = true;  // frame 0, fps, 2 fps, ... are white above the marker
    bool marker = true;   // the frame index at the bottom (frame_marker.h)
};

// Where the test pattern's solid colour patches lie, so tests can look at them.
struct PatchRect {
    int left, top, right, bottom;
};
PatchRect TestPatternPatch(int width, int height, int which);  // 0 red, 1 green, 2 blue

class PicturePainter {
  public:
    explicit PicturePainter(const PictureSettings& settings);

    // Draws frame `index` into width x height XRGB pixels (0x00RRGGBB).
    void Paint(int index, uint32_t* xrgb, int pitchPixels) const;
    bool IsFlashFrame(int index) const;

  private:
    void PaintTestPattern(int index, uint32_t* xrgb, int pitchPixels) const;
    void PaintPlasma(int index, uint32_t* xrgb, int pitchPixels) const;
    void PaintBalls(int index, uint32_t* xrgb, int pitchPixels) const;
    void FillAboveMarker(uint32_t color, uint32_t* xrgb, int pitchPixels) const;

    PictureSettings settings_;
    int contentBottom_;              // first row of the marker band, or the height
    std::vector<uint8_t> sine_;      // 256-step sine, 0..255
    std::vector<uint32_t> palette_;  // 256 plasma colours
};

}  // namespace vrel::moviemaker
