#include "runtime/bus/mpris_rules.h"

#include <array>
#include <utility>

#include "runtime/port/protocol.h"

namespace vrel::bus {
namespace {

constexpr std::array<std::pair<PlayerMethod, std::string_view>, 11> kMethodNames{{
    {PlayerMethod::Play, "Play"},
    {PlayerMethod::Pause, "Pause"},
    {PlayerMethod::PlayPause, "PlayPause"},
    {PlayerMethod::Stop, "Stop"},
    {PlayerMethod::Next, "Next"},
    {PlayerMethod::Previous, "Previous"},
    {PlayerMethod::Seek, "Seek"},
    {PlayerMethod::SetPosition, "SetPosition"},
    {PlayerMethod::OpenUri, "OpenUri"},
    {PlayerMethod::Quit, "Quit"},
    {PlayerMethod::Raise, "Raise"},
}};

constexpr WindowCommand kStart{WM_COMMAND, "Start"};
constexpr WindowCommand kPause{WM_COMMAND, "Pause"};

std::optional<int> HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

bool IsElementByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

}  // namespace

std::string_view StatusName(PlaybackStatus status) {
    switch (status) {
        case PlaybackStatus::Playing:
            return "Playing";
        case PlaybackStatus::Paused:
            return "Paused";
        case PlaybackStatus::Stopped:
            break;
    }
    return "Stopped";
}

PlaybackStatus StatusOf(const std::optional<mmstream::PlaybackView>& playback) {
    if (!playback || playback->ended) {
        return PlaybackStatus::Stopped;
    }
    if (playback->duration && playback->position >= *playback->duration) {
        return PlaybackStatus::Stopped;
    }
    if (playback->running) {
        return PlaybackStatus::Playing;
    }
    return playback->position.count() > 0 ? PlaybackStatus::Paused : PlaybackStatus::Stopped;
}

std::string_view MethodName(PlayerMethod method) {
    for (const auto& [known, name] : kMethodNames) {
        if (known == method) {
            return name;
        }
    }
    return {};
}

std::optional<PlayerMethod> MethodNamed(std::string_view name) {
    for (const auto& [method, known] : kMethodNames) {
        if (known == name) {
            return method;
        }
    }
    return std::nullopt;
}

std::optional<WindowCommand> CommandFor(PlayerMethod method, PlaybackStatus status) {
    switch (method) {
        case PlayerMethod::Play:
            return kStart;
        case PlayerMethod::Pause:
            return kPause;
        case PlayerMethod::PlayPause:
            return status == PlaybackStatus::Playing ? kPause : kStart;
        case PlayerMethod::Stop:
            return WindowCommand{WM_COMMAND, "Stop"};
        case PlayerMethod::OpenUri:
            return WindowCommand{WM_COMMAND, "Open"};
        case PlayerMethod::Quit:
            return WindowCommand{WM_CLOSE, {}};
        case PlayerMethod::Next:
        case PlayerMethod::Previous:
        case PlayerMethod::Seek:
        case PlayerMethod::SetPosition:
        case PlayerMethod::Raise:
            break;
    }
    return std::nullopt;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        std::optional<int> high = i + 2 < text.size() ? HexValue(text[i + 1]) : std::nullopt;
        std::optional<int> low = i + 2 < text.size() ? HexValue(text[i + 2]) : std::nullopt;
        const int value = high && low ? *high * 16 + *low : 0;
        if (value == 0 || value == '/') {
            return std::nullopt;
        }
        decoded += static_cast<char>(value);
        i += 2;
    }
    return decoded;
}

bool UriNamesFile(std::string_view uri, std::string_view path) {
    constexpr std::string_view kScheme = "file://";
    if (uri.size() > kMaxUriBytes || uri.size() < kScheme.size() ||
        !port::EqualsNoCase(uri.substr(0, kScheme.size()), kScheme)) {
        return false;
    }
    uri.remove_prefix(kScheme.size());
    const size_t slash = uri.find('/');
    if (slash == std::string_view::npos) {
        return false;
    }
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && !port::EqualsNoCase(host, "localhost")) {
        return false;
    }
    std::optional<std::string> decoded = PercentDecoded(uri.substr(slash));
    return decoded && *decoded == path;
}

std::string MoviePath(std::string_view directory, std::string_view file) {
    if (file.starts_with('/')) {
        return std::string(file);
    }
    std::string path(directory);
    if (!path.ends_with('/')) {
        path += '/';
    }
    return path += file;
}

std::string BusNameElement(std::string_view name) {
    std::string element;
    if (!name.empty() && name.front() >= '0' && name.front() <= '9') {
        element += '_';
    }
    for (char c : name) {
        element += IsElementByte(c) ? c : '_';
    }
    return element.empty() ? "program" : element;
}

std::string BusNameFor(std::string_view program, long pid) {
    return "org.mpris.MediaPlayer2." + BusNameElement(program) + ".instance" + std::to_string(pid);
}

}  // namespace vrel::bus
