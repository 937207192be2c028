// Shared by the stream tests: movies made by the movie maker's code, kept for the whole build.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/moviemaker/movie_writer.h"
#include "tools/moviemaker/options.h"

namespace vrel::mmstream::testing {

// 320 x 240, 25 a second, MPEG-1 + MP2 in MPEG-PS unless told otherwise; made once a build.
inline std::string Movie(std::vector<std::string> options) {
    std::string path = VREL_BUILD_DIR "/tests/mmstream_movie";
    for (const std::string& option : options) {
        path += "_" + option;
    }
    std::error_code missing;
    if (std::filesystem::last_write_time(path, missing) >
        std::filesystem::last_write_time("/proc/self/exe")) {
        return path;
    }
    std::string part = path + ".part" + std::to_string(getpid());  // never seen half-written
    options.insert(options.end(), {"--out", part});
    moviemaker::MovieSettings settings;
    bool help = false;
    std::string why;
    av_log_set_level(std::min(av_log_get_level(), AV_LOG_ERROR));  // no encoder banners
    EXPECT_TRUE(moviemaker::ParseOptions(options, &settings, &help, &why) &&
                moviemaker::WriteMovie(settings, &why))
        << why;
    std::filesystem::rename(part, path);
    return path;
}

inline std::string Scratch(const std::string& name) {  // in a folder of its own, removed at exit
    static struct Folder {
        std::string path = (std::filesystem::temp_directory_path() / "vrel-mm-XXXXXX").string();
        Folder() { EXPECT_NE(nullptr, mkdtemp(path.data())); }
        ~Folder() { std::filesystem::remove_all(path); }
    } folder;
    return folder.path + "/" + name;
}
inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vrel::mmstream::testing
