// The main of every test program: unit and contract tests run headless by default (no real
// window, SDL's dummy drivers), whether started by CTest or by hand. A setting given in the
// environment wins, so a check can still ask for a real screen.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (std::getenv("VREL_SCREEN") == nullptr) {
        setenv("VREL_SCREEN", "none", 1);
        setenv("SDL_VIDEODRIVER", "dummy", 0);
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
