#include "movie_library.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "tools/moviemaker/movie_writer.h"
#include "tools/moviemaker/options.h"

extern "C" {
#include <libavutil/log.h>
}

namespace vrel::mmstream::testing {
namespace {

namespace fs = std::filesystem;

class Library {
  public:
    static Library& Get() {
        static Library library;
        return library;
    }
    ~Library() {
        std::error_code ignored;
        if (!folder_.empty()) {
            fs::remove_all(folder_, ignored);
        }
    }
    std::string Folder() {
        std::lock_guard lock(mutex_);
        if (folder_.empty()) {
            std::string pattern = (fs::temp_directory_path() / "vrel-mm-XXXXXX").string();
            if (mkdtemp(pattern.data()) != nullptr) {
                folder_ = pattern;
            }
        }
        return folder_;
    }
    std::string Find(const std::vector<std::string>& options) {
        std::lock_guard lock(mutex_);
        auto it = made_.find(options);
        return it == made_.end() ? std::string() : it->second;
    }
    void Remember(const std::vector<std::string>& options, const std::string& path) {
        std::lock_guard lock(mutex_);
        made_[options] = path;
    }

  private:
    std::mutex mutex_;
    std::string folder_;
    std::map<std::vector<std::string>, std::string> made_;
};

}  // namespace

std::string MovieMakerPath() {
    if (const char* build = std::getenv("VREL_BUILD_DIR"); build != nullptr && *build != 0) {
        return std::string(build) + "/tools/moviemaker/vrelmovie";
    }
#ifdef VREL_BUILD_DIR
    return std::string(VREL_BUILD_DIR) + "/tools/moviemaker/vrelmovie";
#else
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return (self.parent_path().parent_path() / "tools/moviemaker/vrelmovie").string();
#endif
}

int RunMovieMaker(const std::vector<std::string>& options, const std::string& out) {
    std::vector<std::string> args = {MovieMakerPath(), "--out", out};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ScratchPath(const std::string& name) {
    return Library::Get().Folder() + "/" + name;
}

namespace {

std::string NameFor(const std::vector<std::string>& options) {
    std::string name = "movie";
    for (const std::string& option : options) {
        name += "_" + option;
    }
    return name;
}

// Movies are kept in the build folder between test programs (CTest runs every test in a
// program of its own), in a folder per build of this program, which holds the movie maker.
std::string SharedFolder() {
#ifdef VREL_BUILD_DIR
    std::error_code error;
    auto built = fs::last_write_time("/proc/self/exe", error).time_since_epoch().count();
    fs::path root = fs::path(VREL_BUILD_DIR) / "tests" / "mmstream_movies";
    fs::path folder = root / std::to_string(built);
    if (fs::exists(folder, error)) {
        return folder.string();
    }
    for (const fs::directory_entry& older : fs::directory_iterator(root, error)) {
        if (older.path() != folder) {
            fs::remove_all(older.path(), error);  // movies of an older movie maker
        }
    }
    fs::create_directories(folder, error);
    return fs::is_directory(folder, error) ? folder.string() : std::string();
#else
    return "";
#endif
}

bool WriteMovieTo(const std::vector<std::string>& options, const std::string& path) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--out", path});
    moviemaker::MovieSettings settings;
    bool help = false;
    std::string error;
    av_log_set_level(std::min(av_log_get_level(), AV_LOG_ERROR));  // no encoder banners
    if (!moviemaker::ParseOptions(args, &settings, &help, &error) ||
        !moviemaker::WriteMovie(settings, &error)) {
        ADD_FAILURE() << "cannot make " << path << ": " << error;
        return false;
    }
    return true;
}

}  // namespace

std::string Movie(const std::vector<std::string>& options) {
    if (std::string known = Library::Get().Find(options); !known.empty()) {
        return known;
    }
    std::string folder = SharedFolder();
    std::string path = (folder.empty() ? Library::Get().Folder() : folder) + "/" + NameFor(options);
    std::error_code error;
    if (!fs::exists(path, error)) {
        // Written aside and renamed, so a program running beside this one never sees half.
        std::string part = path + ".part" + std::to_string(getpid());
        if (!WriteMovieTo(options, part)) {
            return "";
        }
        fs::rename(part, path, error);
    }
    Library::Get().Remember(options, path);
    return path;
}

std::string SoundAndPicture() {
    return Movie({"--seconds", "2"});
}

std::string PictureOnly() {
    return Movie({"--seconds", "2", "--no-audio"});
}

std::string SoundOnly() {
    return Movie({"--seconds", "1", "--no-video"});
}

}  // namespace vrel::mmstream::testing
