// Finds font files through Fontconfig, the way the platform's font mapper picks a face for
// a requested family.
#pragma once

#include <optional>
#include <string>

struct _FcConfig;

namespace vrel::gdi {

struct FaceLocation {
    std::string file;
    int index = 0;

    bool operator==(const FaceLocation&) const = default;
};

struct FaceQuery {
    std::string family;  // empty: the default sans face
    bool bold = false;
    bool italic = false;
};

class FontMatcher {
  public:
    FontMatcher();
    ~FontMatcher();
    FontMatcher(const FontMatcher&) = delete;
    FontMatcher& operator=(const FontMatcher&) = delete;

    // The installed scalable face closest to the query (Fontconfig's aliases make "Arial"
    // Liberation Sans); a family it does not know gives its default sans face. Nullopt
    // only when Fontconfig has no usable font at all.
    std::optional<FaceLocation> Match(const FaceQuery& query) const;
    // Gives Fontconfig's configuration back; Match finds nothing afterwards.
    void Release();

  private:
    _FcConfig* config_ = nullptr;
};

}  // namespace vrel::gdi
