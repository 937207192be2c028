// vrelintro's manual page: it takes no options, so this is the one description of it.
#pragma once

#include <string>

#include "tools/manual/page.h"

namespace vrel::manual {

// `dataDir`: where the default movie is installed.
Page IntroPage(const std::string& dataDir);

}  // namespace vrel::manual
