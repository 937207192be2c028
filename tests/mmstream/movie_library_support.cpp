#include "movie_library.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

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

std::string Movie(const std::vector<std::string>& options) {
    if (std::string known = Library::Get().Find(options); !known.empty()) {
        return known;
    }
    std::string name = "movie";
    for (const std::string& option : options) {
        name += "_" + option;
    }
    std::string path = ScratchPath(name);
    int status = RunMovieMaker(options, path);
    if (status != 0) {
        ADD_FAILURE() << MovieMakerPath() << " failed (" << status << ") for " << name;
        return "";
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
