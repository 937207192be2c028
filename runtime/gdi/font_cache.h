// Fonts for GDI text: one FreeType library, faces shared by file and index, and for each
// font a size with its metrics and a cache of rasterised glyphs. Not thread-safe on its
// own: the GDI service calls it under its lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "runtime/gdi/font_match.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;
struct FT_SizeRec_;
struct FT_Bitmap_;

namespace vrel::gdi {

// A face's vertical design metrics (OS/2 winAscent and winDescent) in font units.
struct FaceUnits {
    int unitsPerEm = 0;
    int ascent = 0;
    int descent = 0;
};

// A font's size in pixels. The cell (ascent + descent) is what a positive CreateFont
// height asks for; the em is what the glyphs are scaled to.
struct FontMetrics {
    int emPixels = 0;
    int ascent = 0;
    int descent = 0;

    int CellHeight() const { return ascent + descent; }
    bool operator==(const FontMetrics&) const = default;
};

// The platform's height rule: a positive height is the cell height, and the em is
// height × unitsPerEm / (ascent + descent), one pixel less when the rounded em would give
// a taller cell; a negative height is the em itself; 0 asks for the default size.
// Sizes are kept between 1 and kMaxFontPixels.
constexpr int kDefaultCellHeight = 16;
constexpr int kMaxFontPixels = 1024;
FontMetrics ScaleFontMetrics(int height, const FaceUnits& units);

// One character's cached image: a grayscale coverage bitmap placed relative to the pen
// position on the baseline (left to the right of the pen, top above the baseline).
struct Glyph {
    bool ready = false;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int advance = 0;
    size_t offset = 0;  // into the font's coverage store
};

// What CreateFontA asked for, kept so stock fonts can be opened on first use.
struct FontRequest {
    int height = 0;
    int weight = FW_DONTCARE;
    bool italic = false;
    std::string face;
};

// A face at one size, with the glyphs rasterised so far.
class SizedFont {
  public:
    SizedFont(FT_FaceRec_* face, FT_SizeRec_* size, FaceLocation location, FontMetrics metrics,
              long* rasterCounter);
    ~SizedFont();
    SizedFont(const SizedFont&) = delete;
    SizedFont& operator=(const SizedFont&) = delete;

    const FontMetrics& Metrics() const { return metrics_; }
    const FaceLocation& Location() const { return location_; }
    // The glyph of a Windows-1252 character; rasterised on first use, cached after.
    const Glyph& GlyphFor(unsigned char character) {
        Glyph& glyph = glyphs_[character];
        if (!glyph.ready) {
            Rasterise(character, &glyph);
        }
        return glyph;
    }
    // Valid until the next GlyphFor call (which may grow the store).
    const uint8_t* Coverage(const Glyph& glyph) const { return coverage_.data() + glyph.offset; }

  private:
    void Rasterise(unsigned char character, Glyph* glyph);
    void StoreBitmap(const FT_Bitmap_& bitmap, Glyph* glyph);

    FT_FaceRec_* face_;
    FT_SizeRec_* size_;
    FaceLocation location_;
    FontMetrics metrics_;
    long* rasterCounter_;
    std::array<Glyph, 256> glyphs_{};
    std::vector<uint8_t> coverage_;
};

class FontLibrary {
  public:
    FontLibrary();
    ~FontLibrary();
    FontLibrary(const FontLibrary&) = delete;
    FontLibrary& operator=(const FontLibrary&) = delete;

    // The requested face at the requested size; a face that cannot be found or loaded
    // falls back to the default sans face. Null only when no face loads at all.
    std::unique_ptr<SizedFont> Open(const FontRequest& request);
    // Process exit: gives the font matcher's resources back; open fonts keep working,
    // new faces are no longer found.
    void ReleaseMatcher() { matcher_.Release(); }
    // How many glyphs have been rasterised so far, by every font.
    long Rasterisations() const { return rasterisations_; }

  private:
    FT_FaceRec_* FaceAt(const FaceLocation& location);
    FT_FaceRec_* FindFace(const FaceQuery& query, FaceLocation* location);

    FT_LibraryRec_* library_ = nullptr;
    FontMatcher matcher_;
    std::map<std::pair<std::string, int>, FT_FaceRec_*> faces_;  // null: failed to load
    long rasterisations_ = 0;
};

// Views into the GDI service for tests and diagnostics; each takes the service's lock.
namespace testing {

// Glyphs rasterised so far by every font.
long GlyphRasterisations();
// The size the font was opened at; false for an unknown handle or a font with no face.
bool QueryFontMetrics(HGDIOBJ font, FontMetrics* metrics);
// The file the font's face came from; empty for an unknown handle.
std::string QueryFontFile(HGDIOBJ font);
// Device contexts plus GDI objects that are not stock objects, including deleted objects
// still kept alive by a selection.
size_t LiveHandles();

}  // namespace testing

}  // namespace vrel::gdi
