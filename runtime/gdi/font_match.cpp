#include "runtime/gdi/font_match.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace vrel::gdi {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

const FcChar8* AsFc(const std::string& s) {
    return reinterpret_cast<const FcChar8*>(s.c_str());
}

PatternPtr BuildPattern(const FaceQuery& query) {
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) {
        return nullptr;
    }
    const std::string family = query.family.empty() ? "sans-serif" : query.family;
    FcPatternAddString(pattern.get(), FC_FAMILY, AsFc(family));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, query.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, query.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // FreeType renders outlines at any size; bitmap-only faces would not scale.
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    return pattern;
}

}  // namespace

FontMatcher::FontMatcher() : config_(FcInitLoadConfigAndFonts()) {}

FontMatcher::~FontMatcher() {
    Release();
}

void FontMatcher::Release() {
    if (config_ != nullptr) {
        FcConfigDestroy(config_);
        config_ = nullptr;
    }
}

std::optional<FaceLocation> FontMatcher::Match(const FaceQuery& query) const {
    PatternPtr pattern = config_ != nullptr ? BuildPattern(query) : nullptr;
    if (!pattern || !FcConfigSubstitute(config_, pattern.get(), FcMatchPattern)) {
        return std::nullopt;
    }
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(config_, pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
        return std::nullopt;
    }
    int index = 0;
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
    return FaceLocation{reinterpret_cast<const char*>(file), index};
}

}  // namespace vrel::gdi
