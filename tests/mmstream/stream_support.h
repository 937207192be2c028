// Shared by the stream tests: movies made by the movie maker's code, kept for the whole build.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vrel::mmstream::testing {

// Made once per build; 320 x 240 at 25 pictures a second, MPEG-1 + MP2 in MPEG-PS, unless the
// movie maker's options say otherwise.
std::string Movie(const std::vector<std::string>& vrelmovieOptions);
inline std::string SoundAndPicture() {  // 50 pictures
    return Movie({"--seconds", "2"});
}
inline std::string PictureOnly() {
    return Movie({"--seconds", "2", "--no-audio"});
}
std::string Scratch(const std::string& name);  // in a folder of its own, removed at exit
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

}  // namespace vrel::mmstream::testing
