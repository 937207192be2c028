// What the media-player bridge decides, as pure functions over values: the playback status
// from the stream's state, which window message a player method becomes, which file URIs
// name the program's movie, and the bus name. Nothing here touches the bus or the window.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32.h"
#include "runtime/mmstream/mmstream_runtime.h"

namespace vrel::bus {

enum class PlaybackStatus { Playing, Paused, Stopped };

// "Playing", "Paused" or "Stopped", as the media-player interface spells them.
std::string_view StatusName(PlaybackStatus status);

// Playing: a playback runs and has not passed its end. Paused: open, not running, somewhere
// after the start and before the end. Stopped: anything else (none open, at the start,
// ended).
PlaybackStatus StatusOf(const std::optional<mmstream::PlaybackView>& playback);

enum class PlayerMethod {
    Play,
    Pause,
    PlayPause,
    Stop,
    Next,
    Previous,
    Seek,
    SetPosition,
    OpenUri,
    Quit,
    Raise
};

// The method's name on the bus and back; nullopt for a name that is no method of ours.
std::string_view MethodName(PlayerMethod method);
std::optional<PlayerMethod> MethodNamed(std::string_view name);

// A posted window message: WM_COMMAND with the id of the menu item of that name, or
// WM_CLOSE (no item).
struct WindowCommand {
    UINT message = 0;
    std::string_view menuItem;
    bool operator==(const WindowCommand&) const = default;
};

// What a method asks of the window in the given status; nullopt: nothing (a no-op the
// player's Can* properties announce).
std::optional<WindowCommand> CommandFor(PlayerMethod method, PlaybackStatus status);

// Longest URI looked at: a path longer than the system's limit names no file.
inline constexpr size_t kMaxUriBytes = 4096;

// %XX escapes decoded; nullopt for a malformed escape, an escaped NUL or an escaped slash
// (which is part of a name, never a separator).
std::optional<std::string> PercentDecoded(std::string_view text);

// True when `uri` is a file URI (scheme in any case, host empty or "localhost") whose decoded
// path is exactly `path`.
bool UriNamesFile(std::string_view uri, std::string_view path);

// The movie's absolute path: `file` as opened, taken from `directory` when relative.
std::string MoviePath(std::string_view directory, std::string_view file);

// `name` with every byte a bus name element may not hold made '_' (and a leading digit
// guarded), so any executable's name makes a valid element; "program" when empty.
std::string BusNameElement(std::string_view name);

// org.mpris.MediaPlayer2.<element>.instance<pid>
std::string BusNameFor(std::string_view program, long pid);

}  // namespace vrel::bus
