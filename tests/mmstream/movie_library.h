// Test movies, made by the movie maker's own code and kept in the build folder for every test
// program of the same build; scratch files go to a private temporary folder removed at exit.
#pragma once

#include <string>
#include <vector>

namespace vrel::mmstream::testing {

// The movie made with these vrelmovie options (besides --out); made on first use.
// Fails the test (and returns "") when the movie cannot be made.
std::string Movie(const std::vector<std::string>& options);
// A path in the private folder for files a test writes itself.
std::string ScratchPath(const std::string& name);
// Where the built vrelmovie is: under $VREL_BUILD_DIR, else the build folder this program
// was compiled for, else the one it runs from.
std::string MovieMakerPath();
// Runs the vrelmovie program (for tests of the program itself); its exit status.
int RunMovieMaker(const std::vector<std::string>& options, const std::string& out);

// The movies most tests share.
std::string SoundAndPicture();  // 320x240, 25 fps, 2 s, MPEG-1 + MP2 in MPEG-PS
std::string PictureOnly();      // the same without sound
std::string SoundOnly();        // 1 s of sound

}  // namespace vrel::mmstream::testing
