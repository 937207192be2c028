#include "tools/moviemaker/options.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

namespace vrel::moviemaker {

manual::Page Page() {
    manual::Section options{"options", {}, {}};
    options.entries = {
        {"--out FILE", "the movie to write (required)"},
        {"--size WxH", "picture size (default 320x240; even numbers from 16 to 4096)"},
        {"--fps N", "frames per second, 1 to 120 (default 25)"},
        {"--seconds S", "length, may be fractional, at most 3600 (default 3)"},
        {"--codec C", "mpeg1 (default), mpeg4 or h264"},
        {"--container K",
         "mpeg, avi or mp4 (default: mpeg for mpeg1, avi for mpeg4, mp4 for h264)"},
        {"--audio-codec A", "mp2 or aac (default: aac in mp4, mp2 otherwise)"},
        {"--rate HZ", "sample rate, 8000 to 96000 (default 44100)"},
        {"--picture P", "pattern (default) or plasma"},
        {"--no-audio", "picture only"},
        {"--no-video", "sound only"},
        {"--no-flash", "no white flash frames and no beeps"},
        {"--no-marker", "no frame index marker"},
        {"--default",
         "the intro's movie: 24 s, 320x240, 25 fps, MPEG-1 + MP2 in an MPEG program stream, "
         "plasma with music"},
        {"--help", "print this help and exit"},
    };
    manual::Section exits{"exit status", {}, {}};
    exits.entries = {
        {"0", "the movie is written"},
        {"1", "it could not be written (nothing is left behind)"},
        {"2", "bad usage"},
    };
    manual::Section examples{"examples", {}, {}, false, true};
    examples.entries = {
        {"vrelmovie --default --out vrelfi.dat", "The intro's own movie:"},
        {"vrelmovie --out test.mp4 --codec h264 --seconds 10",
         "Ten seconds of test pattern with flashes, beeps and frame markers, H.264 and AAC in "
         "MP4:"},
    };
    manual::Section seeAlso{"see also", {"vrelintro(1), vrelctl(1)"}, {}, false};
    return manual::Page{
        "vrelmovie",
        "write test and demo movies for vrelintro",
        {"--out FILE [options]"},
        {"Writes a test or demo movie, the same bytes for the same options.",
         "A test pattern shows a frame index marker and white flash frames with beeps, for "
         "checking picture and sound timing; the plasma is the intro's own picture. The intro "
         "plays the file named vrelfi.dat in its working directory."},
        {options, exits, examples, seeAlso},
    };
}

namespace {

struct ParseState {
    MovieSettings* settings;
    std::optional<Container> container;
    std::optional<AudioCodec> audioCodec;
};

std::optional<int> ToInt(const std::string& text, int low, int high) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

bool ParseSize(const std::string& text, PictureSettings* picture) {
    size_t x = text.find('x');
    if (x == std::string::npos) {
        return false;
    }
    auto width = ToInt(text.substr(0, x), 16, 4096);
    auto height = ToInt(text.substr(x + 1), 16, 4096);
    if (!width || !height || *width % 2 != 0 || *height % 2 != 0) {
        return false;
    }
    picture->width = *width;
    picture->height = *height;
    return true;
}

bool ParseSeconds(const std::string& text, double* seconds) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(value > 0) || value > 3600) {
        return false;
    }
    *seconds = value;
    return true;
}

template <typename T>
bool Choose(const std::string& text, const std::map<std::string, T>& names, T* out) {
    auto it = names.find(text);
    if (it == names.end()) {
        return false;
    }
    *out = it->second;
    return true;
}

void ApplyDefaultMovie(MovieSettings* s) {
    s->seconds = 24;
    s->picture = PictureSettings{320, 240, 25, PictureKind::Plasma, false, true};
    s->sound = SoundSettings{44100, false, 0.25f};
    s->videoCodec = VideoCodec::Mpeg1;
    s->audioCodec = AudioCodec::Mp2;
    s->container = Container::Mpeg;
}

using ValueHandler = std::function<bool(ParseState&, const std::string&)>;
using FlagHandler = std::function<void(ParseState&)>;

const std::map<std::string, ValueHandler>& ValueOptions() {
    static const std::map<std::string, ValueHandler> options = {
        {"--out",
         [](ParseState& s, const std::string& v) {
             s.settings->outputPath = v;
             return !v.empty();
         }},
        {"--size",
         [](ParseState& s, const std::string& v) { return ParseSize(v, &s.settings->picture); }},
        {"--fps",
         [](ParseState& s, const std::string& v) {
             auto fps = ToInt(v, 1, 120);
             s.settings->picture.fps = fps.value_or(0);
             return fps.has_value();
         }},
        {"--seconds",
         [](ParseState& s, const std::string& v) { return ParseSeconds(v, &s.settings->seconds); }},
        {"--rate",
         [](ParseState& s, const std::string& v) {
             auto rate = ToInt(v, 8000, 96000);
             s.settings->sound.sampleRate = rate.value_or(0);
             return rate.has_value();
         }},
        {"--codec",
         [](ParseState& s, const std::string& v) {
             return Choose<VideoCodec>(v,
                                       {{"mpeg1", VideoCodec::Mpeg1},
                                        {"mpeg4", VideoCodec::Mpeg4},
                                        {"h264", VideoCodec::H264}},
                                       &s.settings->videoCodec);
         }},
        {"--container",
         [](ParseState& s, const std::string& v) {
             Container c{};
             bool ok = Choose<Container>(
                 v, {{"mpeg", Container::Mpeg}, {"avi", Container::Avi}, {"mp4", Container::Mp4}},
                 &c);
             s.container = c;
             return ok;
         }},
        {"--audio-codec",
         [](ParseState& s, const std::string& v) {
             AudioCodec a{};
             bool ok =
                 Choose<AudioCodec>(v, {{"mp2", AudioCodec::Mp2}, {"aac", AudioCodec::Aac}}, &a);
             s.audioCodec = a;
             return ok;
         }},
        {"--picture",
         [](ParseState& s, const std::string& v) {
             return Choose<PictureKind>(
                 v, {{"pattern", PictureKind::TestPattern}, {"plasma", PictureKind::Plasma}},
                 &s.settings->picture.kind);
         }},
    };
    return options;
}

const std::map<std::string, FlagHandler>& FlagOptions() {
    static const std::map<std::string, FlagHandler> options = {
        {"--no-audio", [](ParseState& s) { s.settings->withAudio = false; }},
        {"--no-video", [](ParseState& s) { s.settings->withVideo = false; }},
        {"--no-flash",
         [](ParseState& s) {
             s.settings->picture.flashes = false;
             s.settings->sound.beeps = false;
         }},
        {"--no-marker", [](ParseState& s) { s.settings->picture.marker = false; }},
        {"--default", [](ParseState& s) { ApplyDefaultMovie(s.settings); }},
    };
    return options;
}

// Containers and sound codecs follow the picture codec unless chosen explicitly.
void ResolveDefaults(const ParseState& state) {
    MovieSettings* s = state.settings;
    if (state.container) {
        s->container = *state.container;
    } else {
        s->container = s->videoCodec == VideoCodec::Mpeg4  ? Container::Avi
                       : s->videoCodec == VideoCodec::H264 ? Container::Mp4
                                                           : Container::Mpeg;
    }
    if (state.audioCodec) {
        s->audioCodec = *state.audioCodec;
    } else {
        s->audioCodec = s->container == Container::Mp4 ? AudioCodec::Aac : AudioCodec::Mp2;
    }
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, MovieSettings* settings, bool* wantsHelp,
                  std::string* error) {
    ParseState state{settings, std::nullopt, std::nullopt};
    *wantsHelp = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            *wantsHelp = true;
            return true;
        }
        if (auto flag = FlagOptions().find(name); flag != FlagOptions().end()) {
            flag->second(state);
            continue;
        }
        auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) {
            *error = "unknown option " + name;
            return false;
        }
        if (i + 1 >= args.size() || !option->second(state, args[i + 1])) {
            *error = "bad or missing value for " + name;
            return false;
        }
        ++i;
    }
    ResolveDefaults(state);
    if (settings->outputPath.empty()) {
        *error = "--out is required";
        return false;
    }
    return true;
}

}  // namespace vrel::moviemaker
