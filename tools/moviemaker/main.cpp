// vrelmovie: writes test and demo movies for the intro (see options.cpp for the options).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/moviemaker/movie_writer.h"
#include "tools/moviemaker/options.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    vrel::moviemaker::MovieSettings settings;
    bool wantsHelp = false;
    std::string error;
    if (!vrel::moviemaker::ParseOptions(args, &settings, &wantsHelp, &error)) {
        std::fprintf(stderr, "vrelmovie: %s\n%s", error.c_str(),
                     vrel::manual::HelpText(vrel::moviemaker::Page()).c_str());
        return 2;
    }
    if (wantsHelp) {
        std::fputs(vrel::manual::HelpText(vrel::moviemaker::Page()).c_str(), stdout);
        return 0;
    }
    av_log_set_level(AV_LOG_ERROR);
    if (!vrel::moviemaker::WriteMovie(settings, &error)) {
        std::fprintf(stderr, "vrelmovie: %s\n", error.c_str());
        std::remove(settings.outputPath.c_str());
        return 1;
    }
    return 0;
}
