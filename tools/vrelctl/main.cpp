// vrelctl: drives a running vrelintro from outside, through the runtime's message port.
// The command names and ids come from the intro's own menu resource (id 101), which this
// program carries too.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "runtime/port/directory.h"
#include "runtime/port/menu_commands.h"
#include "runtime/port/protocol.h"
#include "tools/manual/page.h"
#include "tools/vrelctl/options.h"
#include "tools/vrelctl/page.h"
#include "tools/vrelctl/port_client.h"

namespace {

namespace port = vrel::port;

constexpr char kIntroWindow[] = "Vrel Roru Intro by Tarrow/Senmar";  // class and title
constexpr int kConnectTimeoutMs = 2000;
constexpr int kReplySlackMs = 1000;  // a send's reply may come this long after its timeout

enum ExitCode { kDone = 0, kUsage = 1, kNoIntro = 2, kRefused = 3, kTimedOut = 4 };

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "vrelctl: %s\n", message.c_str());
    return code;
}

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

// The intros to talk to: every one for `list`, exactly one otherwise.
int FindIntros(const vrelctl::Options& options, bool all, std::vector<port::LivePort>* found) {
    const std::string directory = port::DefaultPortDirectory();
    std::string error;
    if (directory.empty()) {
        port::CheckPortDirectory(directory, false, &error);  // says which settings are missing
        return Fail(kNoIntro, "cannot look for an intro: " + error);
    }
    if (access(directory.c_str(), F_OK) != 0) {
        return Fail(kNoIntro, "no intro is running (no " + directory + ")");
    }
    if (!port::CheckPortDirectory(directory, false, &error)) {
        return Fail(kNoIntro, "refusing to use the port directory: " + error);
    }
    for (const port::LivePort& live : port::CleanAndListPorts(directory, getpid())) {
        if (!options.pid || *options.pid == live.pid) {
            found->push_back(live);
        }
    }
    if (found->empty()) {
        return Fail(kNoIntro, options.pid ? "no intro with pid " + std::to_string(*options.pid) +
                                                " is running"
                                          : std::string("no intro is running"));
    }
    if (!all && found->size() > 1) {
        std::string pids;
        for (const port::LivePort& live : *found) {
            pids += (pids.empty() ? "" : ", ") + std::to_string(live.pid);
        }
        return Fail(kNoIntro,
                    "several intros are running (pids " + pids + "); choose one with --pid");
    }
    return kDone;
}

int Exchange(const port::LivePort& intro, const std::string& request, int timeoutMs,
             port::PortReply* reply) {
    port::PortClient client;
    std::string error;
    if (!client.Connect(intro.path, kConnectTimeoutMs, &error)) {
        return Fail(kNoIntro,
                    "cannot reach the intro (pid " + std::to_string(intro.pid) + "): " + error);
    }
    if (!client.Exchange(request, timeoutMs, reply, &error)) {
        return Fail(kTimedOut,
                    "no reply from the intro (pid " + std::to_string(intro.pid) + "): " + error);
    }
    if (reply->ok) {
        return kDone;
    }
    const int code = reply->errorName == "timeout" ? kTimedOut : kRefused;
    return Fail(code, (code == kTimedOut ? "timed out: " : "refused: ") + reply->detail + " (" +
                          reply->errorName + ")");
}

// Posts, or sends and prints the result.
int DeliverMessage(const vrelctl::Options& options, UINT message, uint32_t wParam,
                   uint32_t lParam) {
    std::vector<port::LivePort> intros;
    if (int code = FindIntros(options, false, &intros); code != kDone) {
        return code;
    }
    port::Request request;
    request.verb = options.send ? port::Verb::Send : port::Verb::Post;
    request.target = port::WindowTarget{kIntroWindow, kIntroWindow};
    request.message = message;
    request.wParam = wParam;
    request.lParam = lParam;
    request.timeoutMs = options.timeoutMs;
    port::PortReply reply;
    const int code = Exchange(intros.front(), port::FormatRequest(request),
                              options.timeoutMs + kReplySlackMs, &reply);
    if (code == kDone && options.send) {
        std::printf("%s\n", reply.value.c_str());
    }
    return code;
}

int Answer(const vrelctl::Options& options, const std::string& button) {
    port::ParseResult parsed = port::ParseRequest("answer " + button);
    if (!parsed.request) {
        return Fail(kUsage, "answer takes ok, yes or no");
    }
    std::vector<port::LivePort> intros;
    if (int code = FindIntros(options, false, &intros); code != kDone) {
        return code;
    }
    port::PortReply reply;
    return Exchange(intros.front(), port::FormatRequest(*parsed.request), kConnectTimeoutMs,
                    &reply);
}

// One intro's windows and box, each line starting with its pid.
void PrintListing(long pid, const port::PortReply& reply) {
    for (const std::string& line : reply.dataLines) {
        port::ReplyLine data = port::ParseReplyLine(line);
        if (data.data.size() == 3 && data.data[0].text == "window") {
            std::printf("%ld window class=%s title=%s\n", pid,
                        port::Quote(data.data[1].text).c_str(),
                        port::Quote(data.data[2].text).c_str());
        } else if (data.data.size() == 4 && data.data[0].text == "box") {
            std::printf("%ld box caption=%s text=%s buttons=%s\n", pid,
                        port::Quote(data.data[1].text).c_str(),
                        port::Quote(data.data[2].text).c_str(), data.data[3].text.c_str());
        }
    }
}

int List(const vrelctl::Options& options) {
    std::vector<port::LivePort> intros;
    if (int code = FindIntros(options, true, &intros); code != kDone) {
        return code;
    }
    int result = kDone;
    for (const port::LivePort& intro : intros) {
        port::PortReply reply;
        if (int code = Exchange(intro, "list", kConnectTimeoutMs, &reply); code != kDone) {
            result = code;
            continue;
        }
        PrintListing(intro.pid, reply);
    }
    return result;
}

int Raw(const vrelctl::Options& options, const std::vector<std::string>& words) {
    if (words.size() < 3 || words.size() > 4) {
        return Fail(kUsage, "raw takes MESSAGE WPARAM [LPARAM]");
    }
    auto message = port::ParseInteger32(words[1]);
    if (Lowered(words[1]) == "wm_command") {
        message = WM_COMMAND;
    } else if (Lowered(words[1]) == "wm_close") {
        message = WM_CLOSE;
    } else if (!message) {
        return Fail(kUsage, "unknown message " + words[1] + " (WM_COMMAND, WM_CLOSE or a number)");
    }
    auto wParam = port::ParseInteger32(words[2]);
    auto lParam = words.size() > 3 ? port::ParseInteger32(words[3]) : std::optional<uint32_t>(0);
    if (!wParam || !lParam) {
        return Fail(kUsage, "parameters are 32-bit integers, decimal or 0x hex");
    }
    return DeliverMessage(options, *message, *wParam, *lParam);
}

int Run(const vrelctl::Options& options, const std::vector<port::MenuCommand>& commands) {
    const std::vector<std::string>& words = options.words;
    const std::string verb = Lowered(words.front());
    if (verb == "list" && words.size() == 1) {
        return List(options);
    }
    if (verb == "answer" && words.size() == 2) {
        return Answer(options, words[1]);
    }
    if (verb == "raw") {
        return Raw(options, words);
    }
    if (auto id = port::FindMenuCommand(commands, words.front()); id && words.size() == 1) {
        return DeliverMessage(options, WM_COMMAND, *id, 0);
    }
    return Fail(kUsage, "unknown command '" + words.front() + "'; see vrelctl --help");
}

}  // namespace

int main(int argc, char** argv) {
    vrelctl::Options options;
    std::string error;
    if (!vrelctl::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        return Fail(kUsage, error + "; see vrelctl --help");
    }
    const std::vector<port::MenuCommand> commands = vrelctl::IntroCommands();
    if (commands.empty()) {
        return Fail(kUsage, "the intro's menu resource is missing from this program");
    }
    if (options.help) {
        std::fputs(vrel::manual::HelpText(vrelctl::Page(commands)).c_str(), stdout);
        return kDone;
    }
    if (options.words.empty()) {
        return Fail(kUsage, "no command; see vrelctl --help");
    }
    return Run(options, commands);
}
