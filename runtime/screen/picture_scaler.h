// The CPU path's scaler: draws the framebuffer into the letterbox's picture with the taps
// of ScaleTaps. Each framebuffer row is scaled across once per frame, into one of two spare
// rows; picture rows are copies of those or blends of the two, written straight out.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/screen/letterbox.h"

namespace vrel::screen {

// 256 − weight parts of `a` and `weight` parts of `b`, per colour channel; the unused top
// byte comes out zero.
uint32_t MixXrgb(uint32_t a, uint32_t b, uint32_t weight);

// Picture rows are written once and read next by the window system, not by us: their stores
// go around the cache (no reading of every target line first, and the cache stays with the
// framebuffer). FinishPictureRows() once the rows are written, before they are shown.
void CopyPictureRow(const uint32_t* in, uint32_t* out, int count);
void FinishPictureRows();

class PictureScaler {
  public:
    // Prepares for a sourceW × sourceH framebuffer drawn as a pictureW × pictureH picture.
    void Fit(int sourceW, int sourceH, int pictureW, int pictureH);
    // `source` has `sourceW` pixels per row; `target` points at the picture's top-left pixel
    // and steps `targetPitch` bytes per row.
    void Draw(const uint32_t* source, uint8_t* target, int targetPitch);

  private:
    // A framebuffer pixel's share of a scaled row: `copies` of it, then `blends` (at most
    // two) towards its right neighbour.
    struct Span {
        int source = 0;
        int copies = 0;
        int blends = 0;
        uint16_t weights[8] = {};  // per channel of two blended pixels: 4 × first, 4 × second
    };
    bool MakeSpans();
    const uint32_t* ScaledRow(const uint32_t* source, int row, int keep);
    void ScaleRow(const uint32_t* in, uint32_t* out) const;
    void ScaleRowBySpans(const uint32_t* in, uint32_t* out) const;

    int sourceW_ = 0;
    std::vector<Tap> columns_;
    std::vector<Span> spans_;  // empty: the taps do not fall into spans, go column by column
    std::vector<Tap> rows_;
    std::vector<uint32_t> spare_[2];  // framebuffer rows scaled across
    int spareFirst_[2] = {-2, -2};    // the framebuffer rows each spare holds: one row, or
    int spareLast_[2] = {-2, -2};     // several alike
};

}  // namespace vrel::screen
