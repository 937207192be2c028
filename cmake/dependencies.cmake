# System libraries, all from Debian 12 (scripts/setup.sh installs them).
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libswscale libswresample libavutil)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
# Only to ask the X server whether a window manager runs (SDL does not tell).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
# Only to quiet libasound's own error lines (SDL loads the same library).
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
# sd-bus, for the media-player bridge on the session bus.
pkg_check_modules(LIBSYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)
if(VREL_BENCH AND NOT VREL_SANITIZE)
  find_package(benchmark REQUIRED)
endif()
