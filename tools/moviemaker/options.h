// The movie maker's command line.
#pragma once

#include <string>
#include <vector>

#include "tools/moviemaker/movie_writer.h"

namespace vrel::moviemaker {

extern const char kUsage[];

// Fills *settings from the arguments (without the program name). False with the reason in
// *error for anything unknown or out of range; *wantsHelp for --help.
bool ParseOptions(const std::vector<std::string>& args, MovieSettings* settings, bool* wantsHelp,
                  std::string* error);

}  // namespace vrel::moviemaker
