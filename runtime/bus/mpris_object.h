// The media-player object at /org/mpris/MediaPlayer2: its root and player interfaces
// (sd-bus adds Properties, Introspectable and Peer). Used on the bridge's thread only.
// Commands reach the window as posted messages, never sent ones, so no call waits for the
// window's thread; properties are read from the stream's state at the time of the call.
#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/bus/bus_handles.h"
#include "runtime/bus/mpris_rules.h"
#include "runtime/port/menu_commands.h"

namespace vrel::bus {

inline constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kRootInterface[] = "org.mpris.MediaPlayer2";
inline constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";

class MprisObject {
  public:
    // `program` is the executable's name (Identity, DesktopEntry); the WM_COMMAND ids come
    // from `commands`, the program's menus.
    MprisObject(std::string program, std::vector<port::MenuCommand> commands);

    // Puts both interfaces on `bus`; a negative errno when sd-bus refuses.
    int Attach(sd_bus* bus);

    // Emits PropertiesChanged for the status and, on another movie, the metadata, when they
    // differ from what was last emitted; 0 when nothing did, negative on a bus error.
    int EmitChanges(sd_bus* bus);

    // The vtables' handlers.
    int Call(sd_bus_message* call, sd_bus_error* error);
    int AppendIdentity(sd_bus_message* reply) const;
    int AppendStatus(sd_bus_message* reply) const;
    int AppendMetadata(sd_bus_message* reply);
    int AppendPosition(sd_bus_message* reply) const;

  private:
    int Post(const WindowCommand& command, sd_bus_error* error) const;
    int CheckMovieUri(sd_bus_message* call, sd_bus_error* error);
    std::optional<mmstream::PlaybackView> Latest();

    std::string program_;
    std::vector<port::MenuCommand> commands_;
    SlotPtr rootSlot_;
    SlotPtr playerSlot_;
    PlaybackStatus emittedStatus_ = PlaybackStatus::Stopped;
    uint64_t emittedSerial_ = 0;
    std::string lastFile_;  // the movie opened last, for OpenUri while none is open
};

}  // namespace vrel::bus
