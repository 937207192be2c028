// The movie maker's command line.
#pragma once

#include <string>
#include <vector>

#include "tools/manual/page.h"
#include "tools/moviemaker/movie_writer.h"

namespace vrel::moviemaker {

// What --help says and the manual page shows.
manual::Page Page();

// Fills *settings from the arguments (without the program name). False with the reason in
// *error for anything unknown or out of range; *wantsHelp for --help.
bool ParseOptions(const std::vector<std::string>& args, MovieSettings* settings, bool* wantsHelp,
                  std::string* error);

}  // namespace vrel::moviemaker
