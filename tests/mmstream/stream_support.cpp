#include "stream_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/moviemaker/movie_writer.h"
#include "tools/moviemaker/options.h"

namespace vrel::mmstream::testing {
namespace fs = std::filesystem;

bool MakeMovie(std::vector<std::string> options, const std::string& out, std::string* why) {
    options.insert(options.end(), {"--out", out});
    moviemaker::MovieSettings settings;
    bool help = false;
    av_log_set_level(std::min(av_log_get_level(), AV_LOG_ERROR));  // no encoder banners
    return moviemaker::ParseOptions(options, &settings, &help, why) &&
           moviemaker::WriteMovie(settings, why);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Scratch(const std::string& name) {
    static struct Folder {
        std::string path = (fs::temp_directory_path() / "vrel-mm-XXXXXX").string();
        Folder() { EXPECT_NE(nullptr, mkdtemp(path.data())); }
        ~Folder() { fs::remove_all(path); }
    } folder;
    return folder.path + "/" + name;
}

// Kept in the build folder for every test process (CTest starts each test as a process of its
// own); the first of a new build makes it again.
std::string Movie(const std::vector<std::string>& options) {
    std::string path = VREL_BUILD_DIR "/tests/mmstream_movie";
    for (const std::string& option : options) {
        path += "_" + option;
    }
    std::error_code missing;
    if (fs::last_write_time(path, missing) > fs::last_write_time("/proc/self/exe")) {
        return path;
    }
    std::string part = path + ".part" + std::to_string(getpid());  // never seen half-written
    std::string why;
    EXPECT_TRUE(MakeMovie(options, part, &why)) << why;
    fs::rename(part, path);
    return path;
}

}  // namespace vrel::mmstream::testing
