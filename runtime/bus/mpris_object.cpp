#include "runtime/bus/mpris_object.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include "runtime/common/trace.h"
#include "runtime/user/user_runtime.h"

namespace vrel::bus {
namespace {

// Track ids are our own paths: those under /org/mpris are reserved for the interfaces.
constexpr char kTrackPathPrefix[] = "/org/vrel/track/";

MprisObject* Self(void* userdata) {
    return static_cast<MprisObject*>(userdata);
}

int OnMethod(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    return Self(userdata)->Call(call, error);
}

// Property getters: the constants, then the ones read from the stream.
int GetTrue(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
            sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
}

int GetFalse(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
             sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 0);
}

int GetOne(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
           sd_bus_error*) {
    return sd_bus_message_append(reply, "d", 1.0);
}

int GetUriSchemes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                  sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 1, "file");
}

// What FFmpeg opens here for sure; the name of the file says nothing anyway.
int GetMimeTypes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                 sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 4, "video/mpeg", "video/mp4", "video/x-msvideo",
                                 "video/x-matroska");
}

int GetIdentity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error*) {
    return Self(userdata)->AppendIdentity(reply);
}

int GetStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
              sd_bus_error*) {
    return Self(userdata)->AppendStatus(reply);
}

int GetMetadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error*) {
    return Self(userdata)->AppendMetadata(reply);
}

int GetPosition(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error*) {
    return Self(userdata)->AppendPosition(reply);
}

constexpr uint64_t kMethod = SD_BUS_VTABLE_UNPRIVILEGED;
constexpr uint64_t kConst = SD_BUS_VTABLE_PROPERTY_CONST;
constexpr uint64_t kEmits = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;

const sd_bus_vtable kRootVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", OnMethod, kMethod),
    SD_BUS_METHOD("Quit", "", "", OnMethod, kMethod),
    SD_BUS_PROPERTY("CanQuit", "b", GetTrue, 0, kConst),
    SD_BUS_PROPERTY("CanRaise", "b", GetFalse, 0, kConst),
    SD_BUS_PROPERTY("HasTrackList", "b", GetFalse, 0, kConst),
    SD_BUS_PROPERTY("Identity", "s", GetIdentity, 0, kConst),
    SD_BUS_PROPERTY("DesktopEntry", "s", GetIdentity, 0, kConst),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", GetUriSchemes, 0, kConst),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", GetMimeTypes, 0, kConst),
    SD_BUS_VTABLE_END,
};

// Rate and Volume cannot change here: they are read-only, so a write gets the bus's own
// PropertyReadOnly error. Position changes all the time and is never announced.
const sd_bus_vtable kPlayerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", OnMethod, kMethod),
    SD_BUS_METHOD("Previous", "", "", OnMethod, kMethod),
    SD_BUS_METHOD("Pause", "", "", OnMethod, kMethod),
    SD_BUS_METHOD("PlayPause", "", "", OnMethod, kMethod),
    SD_BUS_METHOD("Stop", "", "", OnMethod, kMethod),
    SD_BUS_METHOD("Play", "", "", OnMethod, kMethod),
    SD_BUS_METHOD("Seek", "x", "", OnMethod, kMethod),
    SD_BUS_METHOD("SetPosition", "ox", "", OnMethod, kMethod),
    SD_BUS_METHOD("OpenUri", "s", "", OnMethod, kMethod),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", GetStatus, 0, kEmits),
    SD_BUS_PROPERTY("Metadata", "a{sv}", GetMetadata, 0, kEmits),
    SD_BUS_PROPERTY("Position", "x", GetPosition, 0, 0),
    SD_BUS_PROPERTY("Rate", "d", GetOne, 0, kConst),
    SD_BUS_PROPERTY("MinimumRate", "d", GetOne, 0, kConst),
    SD_BUS_PROPERTY("MaximumRate", "d", GetOne, 0, kConst),
    SD_BUS_PROPERTY("Volume", "d", GetOne, 0, kConst),
    SD_BUS_PROPERTY("CanGoNext", "b", GetFalse, 0, kConst),
    SD_BUS_PROPERTY("CanGoPrevious", "b", GetFalse, 0, kConst),
    SD_BUS_PROPERTY("CanPlay", "b", GetTrue, 0, kConst),
    SD_BUS_PROPERTY("CanPause", "b", GetTrue, 0, kConst),
    SD_BUS_PROPERTY("CanSeek", "b", GetFalse, 0, kConst),
    SD_BUS_PROPERTY("CanControl", "b", GetTrue, 0, kConst),
    SD_BUS_VTABLE_END,
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RealWorkingDirectory() {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(".", nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

template <typename Value>
int AppendEntry(sd_bus_message* reply, const char* key, const char* type, Value value) {
    int r = sd_bus_message_open_container(reply, 'e', "sv");
    r = r < 0 ? r : sd_bus_message_append(reply, "s", key);
    r = r < 0 ? r : sd_bus_message_append(reply, "v", type, value);
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

}  // namespace

MprisObject::MprisObject(std::string program, std::vector<port::MenuCommand> commands)
    : program_(std::move(program)), commands_(std::move(commands)) {
    std::optional<mmstream::PlaybackView> playback = Latest();
    emittedStatus_ = StatusOf(playback);
    emittedSerial_ = playback ? playback->serial : 0;
}

int MprisObject::Attach(sd_bus* bus) {
    sd_bus_slot* root = nullptr;
    sd_bus_slot* player = nullptr;
    int r = sd_bus_add_object_vtable(bus, &root, kObjectPath, kRootInterface, kRootVtable, this);
    rootSlot_.reset(root);
    if (r >= 0) {
        r = sd_bus_add_object_vtable(bus, &player, kObjectPath, kPlayerInterface, kPlayerVtable,
                                     this);
        playerSlot_.reset(player);
    }
    return r;
}

std::optional<mmstream::PlaybackView> MprisObject::Latest() {
    std::optional<mmstream::PlaybackView> playback = mmstream::LatestPlayback();
    if (playback) {
        lastFile_ = playback->file;
    }
    return playback;
}

int MprisObject::EmitChanges(sd_bus* bus) {
    std::optional<mmstream::PlaybackView> playback = Latest();
    const PlaybackStatus status = StatusOf(playback);
    const uint64_t serial = playback ? playback->serial : 0;
    std::vector<char*> changed;
    if (status != emittedStatus_) {
        changed.push_back(const_cast<char*>("PlaybackStatus"));
    }
    if (serial != emittedSerial_) {
        changed.push_back(const_cast<char*>("Metadata"));
    }
    emittedStatus_ = status;
    emittedSerial_ = serial;
    if (changed.empty()) {
        return 0;
    }
    changed.push_back(nullptr);
    return sd_bus_emit_properties_changed_strv(bus, kObjectPath, kPlayerInterface, changed.data());
}

int MprisObject::Call(sd_bus_message* call, sd_bus_error* error) {
    std::optional<PlayerMethod> method = MethodNamed(sd_bus_message_get_member(call));
    if (!method) {
        return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_METHOD, "no such method");
    }
    if (*method == PlayerMethod::OpenUri) {
        if (int r = CheckMovieUri(call, error); r < 0) {
            return r;
        }
    }
    if (std::optional<WindowCommand> command = CommandFor(*method, StatusOf(Latest()))) {
        if (int r = Post(*command, error); r < 0) {
            return r;
        }
    }
    return sd_bus_reply_method_return(call, "");
}

// Only the program's own movie can be opened: its Open command knows no other file.
int MprisObject::CheckMovieUri(sd_bus_message* call, sd_bus_error* error) {
    const char* uri = nullptr;
    if (int r = sd_bus_message_read(call, "s", &uri); r < 0) {
        return r;
    }
    Latest();
    if (lastFile_.empty()) {
        return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, "no movie has been opened yet");
    }
    const std::string movie = MoviePath(RealWorkingDirectory(), lastFile_);
    if (!UriNamesFile(uri, movie)) {
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS,
                                 "only the program's movie can be opened: file://%s",
                                 movie.c_str());
    }
    return 0;
}

int MprisObject::Post(const WindowCommand& command, sd_bus_error* error) const {
    WPARAM wParam = 0;
    if (!command.menuItem.empty()) {
        std::optional<UINT> id = port::FindMenuCommand(commands_, command.menuItem);
        if (!id) {
            return sd_bus_error_setf(
                error, SD_BUS_ERROR_NOT_SUPPORTED, "the program's menu has no %.*s command",
                static_cast<int>(command.menuItem.size()), command.menuItem.data());
        }
        wParam = *id;
    }
    HWND window = user::MainWindow();
    if (window == nullptr) {
        return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, "the program has no window");
    }
    if (!PostMessageA(window, command.message, wParam, 0)) {
        return sd_bus_error_set(error, SD_BUS_ERROR_LIMITS_EXCEEDED,
                                "the window's message queue is full");
    }
    Trace("bus-post", static_cast<int64_t>(wParam));
    return 0;
}

int MprisObject::AppendIdentity(sd_bus_message* reply) const {
    return sd_bus_message_append(reply, "s", program_.c_str());
}

int MprisObject::AppendStatus(sd_bus_message* reply) const {
    const std::string_view name = StatusName(StatusOf(mmstream::LatestPlayback()));
    return sd_bus_message_append(reply, "s", std::string(name).c_str());
}

int MprisObject::AppendMetadata(sd_bus_message* reply) {
    std::optional<mmstream::PlaybackView> playback = Latest();
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r >= 0 && playback) {
        const std::string track = kTrackPathPrefix + std::to_string(playback->serial);
        r = AppendEntry(reply, "mpris:trackid", "o", track.c_str());
        r = r < 0 ? r : AppendEntry(reply, "xesam:title", "s", BaseName(playback->file).c_str());
        if (r >= 0 && playback->duration) {
            r = AppendEntry(reply, "mpris:length", "x", int64_t{playback->duration->count()});
        }
    }
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

int MprisObject::AppendPosition(sd_bus_message* reply) const {
    std::optional<mmstream::PlaybackView> playback = mmstream::LatestPlayback();
    return sd_bus_message_append(reply, "x", int64_t{playback ? playback->position.count() : 0});
}

}  // namespace vrel::bus
