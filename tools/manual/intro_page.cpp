#include "tools/manual/intro_page.h"

namespace vrel::manual {

Page IntroPage(const std::string& dataDir) {
    Section environment{
        "environment", {"The intro itself reads no setting; its runtime honours these:"}, {}};
    environment.entries = {
        {"VREL_SCREEN",
         "fullscreen (default): a borderless window covering the desktop; window: a plain 640x480 "
         "window; none: no window at all"},
        {"VREL_RENDER",
         "gpu or cpu: who scales the 640x480 screen to the window, the graphics card or the "
         "runtime's own scaler; unset, the graphics card when there is one that is not a "
         "software renderer"},
        {"VREL_PORT",
         "on: always open the message port; off: never; unset: whenever the intro shows a real "
         "screen (VREL_SCREEN not none)"},
        {"VREL_MPRIS",
         "on: always be a media player on the session bus (MPRIS, for playerctl and media "
         "keys); off: never; unset: whenever the intro shows a real screen"},
        {"VREL_TRACE", "a file name: timing trace, one line per start, blit and presentation"},
        {"VREL_FFMPEG_LOG", "set: lets FFmpeg's own log messages through (silenced otherwise)"},
        {"SDL_AUDIODRIVER", "SDL's choice of sound output: pulseaudio, alsa, dummy, ..."},
        {"SDL_VIDEODRIVER",
         "SDL's choice of display: x11 (default, also through XWayland) or wayland"},
        {"XDG_RUNTIME_DIR, XDG_STATE_HOME, HOME", "where the message port's socket goes (FILES)"},
    };
    Section files{"files", {}, {}};
    files.entries = {
        {"vrelfi.dat",
         "the movie, in the working directory: any file FFmpeg can play with a picture of at most "
         "640x480, whatever its name says"},
        {dataDir + "/vrelfi.dat",
         "the default movie (24 s); the desktop entry starts the intro in this folder"},
        {"$XDG_RUNTIME_DIR/vrelintro/PID.sock",
         "the message port that vrelctl(1) talks to (without XDG_RUNTIME_DIR: "
         "$XDG_STATE_HOME/vrelintro or ~/.local/state/vrelintro); the directory must be the "
         "user's, mode 0700"},
    };
    Section exits{"exit status", {}, {}};
    exits.entries = {
        {"0", "the movie ended, the intro was told to quit, or SIGTERM, SIGINT or SIGHUP ended it"},
        {"1", "the display went away under it"},
    };
    Section examples{"examples", {}, {}, true, true};
    examples.entries = {
        {"cd " + dataDir + " && vrelintro", "Play the default movie full screen:"},
        {"VREL_SCREEN=window vrelintro", "Play ./vrelfi.dat in a window:"},
    };
    return Page{
        "vrelintro",
        "play a movie full screen with a greeting over it",
        {""},
        {"Switches the screen to 640x480 at 32 bits, plays the movie vrelfi.dat from the "
         "working directory with its sound, writes \"Kestrum ist doof\" over every frame in a "
         "colour that steps through a hue cycle, and quits when the movie ends. Its command "
         "line is ignored.",
         "The window has no menu and no keys: its commands (About, Exit, Open, Pause, Start, "
         "Stop) come from vrelctl(1). Every message box is also written to standard error."},
        {environment, files, exits, examples,
         Section{"see also", {"vrelctl(1), vrelmovie(1)"}, {}}},
    };
}

}  // namespace vrel::manual
