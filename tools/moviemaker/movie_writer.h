// Writes a movie file from the painter's pictures and the sound track, deterministically:
// the same settings give the same bytes.
#pragma once

#include <string>

#include "tools/moviemaker/picture.h"
#include "tools/moviemaker/sound.h"

namespace vrel::moviemaker {

enum class VideoCodec { Mpeg1, Mpeg4, H264 };
enum class AudioCodec { Mp2, Aac };
enum class Container { Mpeg, Avi, Mp4 };

struct MovieSettings {
    std::string outputPath;
    double seconds = 3;
    bool withVideo = true;
    bool withAudio = true;
    PictureSettings picture;
    SoundSettings sound;
    VideoCodec videoCodec = VideoCodec::Mpeg1;
    AudioCodec audioCodec = AudioCodec::Mp2;
    Container container = Container::Mpeg;
};

// Number of video frames the settings ask for.
int FrameCount(const MovieSettings& settings);

// True once the whole file is written; otherwise false with the reason in *error.
bool WriteMovie(const MovieSettings& settings, std::string* error);

}  // namespace vrel::moviemaker
