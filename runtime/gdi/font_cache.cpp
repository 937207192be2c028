#include "runtime/gdi/font_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "runtime/kernel/codepage.h"

namespace vrel::gdi {

namespace {

int64_t RoundDiv(int64_t numerator, int64_t denominator) {
    return (2 * numerator + denominator) / (2 * denominator);
}

int ClampPixels(int64_t pixels) {
    return static_cast<int>(std::clamp<int64_t>(pixels, 1, kMaxFontPixels));
}

// Positive heights: the cell is fixed, the em is the largest that keeps the glyphs'
// rounded ascent + descent inside it.
FontMetrics ScaleForCell(int cell, int64_t upem, int64_t ascent, int64_t descent) {
    const int64_t design = ascent + descent;
    int64_t em = std::max<int64_t>(1, RoundDiv(cell * upem, design));
    while (em > 1 && RoundDiv(em * ascent, upem) + RoundDiv(em * descent, upem) > cell) {
        --em;
    }
    const int cellAscent = static_cast<int>(RoundDiv(cell * ascent, design));
    return FontMetrics{static_cast<int>(em), cellAscent, cell - cellAscent};
}

FaceUnits UnitsOf(FT_Face face) {
    FaceUnits units{face->units_per_EM, face->ascender, -face->descender};
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        units.ascent = os2->usWinAscent;
        units.descent = os2->usWinDescent;
    }
    return units;
}

}  // namespace

FontMetrics ScaleFontMetrics(int height, const FaceUnits& units) {
    const int64_t upem = std::max(units.unitsPerEm, 1);
    int64_t ascent = std::max(units.ascent, 0);
    int64_t descent = std::max(units.descent, 0);
    if (ascent + descent == 0) {
        ascent = upem;  // a face with no vertical metrics: treat the em as the cell
    }
    if (height >= 0) {
        return ScaleForCell(ClampPixels(height == 0 ? kDefaultCellHeight : height), upem, ascent,
                            descent);
    }
    // Negative: the em is given; a face with absurd design metrics still gets a bounded cell.
    const int em = ClampPixels(-static_cast<int64_t>(height));
    auto scale = [&](int64_t units) {
        return static_cast<int>(std::min<int64_t>(RoundDiv(em * units, upem), kMaxFontPixels));
    };
    return FontMetrics{em, scale(ascent), scale(descent)};
}

// ---- SizedFont ----

SizedFont::SizedFont(FT_Face face, FT_Size size, FaceLocation location, FontMetrics metrics,
                     long* rasterCounter)
    : face_(face),
      size_(size),
      location_(std::move(location)),
      metrics_(metrics),
      rasterCounter_(rasterCounter) {}

SizedFont::~SizedFont() {
    FT_Done_Size(size_);
}

void SizedFont::Rasterise(unsigned char character, Glyph* glyph) {
    ++*rasterCounter_;
    glyph->ready = true;
    // Several fonts share a face; each has its own size object.
    FT_Activate_Size(size_);
    const FT_UInt index = FT_Get_Char_Index(face_, kernel::Windows1252ToUnicode(character));
    // Missing characters draw the face's missing-glyph box (index 0), as on the platform.
    if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0 ||
        FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) != 0) {
        return;
    }
    const FT_GlyphSlot slot = face_->glyph;
    glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    // The normal render mode gives 256-level coverage; anything else is left blank.
    if (slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        StoreBitmap(slot->bitmap, glyph);
    }
}

void SizedFont::StoreBitmap(const FT_Bitmap& bitmap, Glyph* glyph) {
    glyph->width = static_cast<int>(bitmap.width);
    glyph->height = static_cast<int>(bitmap.rows);
    glyph->offset = coverage_.size();
    coverage_.resize(coverage_.size() + bitmap.width * bitmap.rows);
    const unsigned pitch = static_cast<unsigned>(std::abs(bitmap.pitch));
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        // A negative pitch stores the rows bottom-up.
        const unsigned source = bitmap.pitch >= 0 ? row : bitmap.rows - 1 - row;
        std::memcpy(coverage_.data() + glyph->offset + row * bitmap.width,
                    bitmap.buffer + source * pitch, bitmap.width);
    }
}

// ---- FontLibrary ----

FontLibrary::FontLibrary() {
    if (FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
    }
}

FontLibrary::~FontLibrary() {
    for (auto& [key, face] : faces_) {
        if (face != nullptr) {
            FT_Done_Face(face);
        }
    }
    if (library_ != nullptr) {
        FT_Done_FreeType(library_);
    }
}

FT_Face FontLibrary::FaceAt(const FaceLocation& location) {
    auto key = std::make_pair(location.file, location.index);
    if (auto it = faces_.find(key); it != faces_.end()) {
        return it->second;
    }
    FT_Face face = nullptr;
    if (library_ == nullptr ||
        FT_New_Face(library_, location.file.c_str(), location.index, &face) != 0) {
        face = nullptr;
    } else if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        face = nullptr;
    } else {
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    }
    faces_.emplace(std::move(key), face);
    return face;
}

FT_Face FontLibrary::FindFace(const FaceQuery& query, FaceLocation* location) {
    if (auto match = matcher_.Match(query)) {
        if (FT_Face face = FaceAt(*match)) {
            *location = std::move(*match);
            return face;
        }
    }
    return nullptr;
}

std::unique_ptr<SizedFont> FontLibrary::Open(const FontRequest& request) {
    FaceQuery query{request.face, request.weight >= 600, request.italic};
    FaceLocation location;
    FT_Face face = FindFace(query, &location);
    if (face == nullptr && !query.family.empty()) {
        query.family.clear();
        face = FindFace(query, &location);
    }
    FT_Size size = nullptr;
    if (face == nullptr || FT_New_Size(face, &size) != 0) {
        return nullptr;
    }
    const FontMetrics metrics = ScaleFontMetrics(request.height, UnitsOf(face));
    FT_Activate_Size(size);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(metrics.emPixels)) != 0) {
        FT_Done_Size(size);
        return nullptr;
    }
    return std::make_unique<SizedFont>(face, size, std::move(location), metrics, &rasterisations_);
}

}  // namespace vrel::gdi
