// The message port's wire format, version 1. The port greets each connection with
// `vrelport 1 <pid>`; then each request is one line of at most 256 bytes with its newline,
// answered by zero or more data lines and a final `ok …` or `err <code> <why>` line.
//
//   list                                          windows and the open message box
//   post <class> <title> <message> [<wParam> [<lParam>]]
//   send <timeoutMs> <class> <title> <message> [<wParam> [<lParam>]]
//   answer ok|yes|no                              a button of the box open on top
//
// <class> and <title> are a bare word, `*` for any, or a "quoted string" (see below;
// a quoted "*" is a literal star). <message> is WM_COMMAND or WM_CLOSE, by name or number;
// the parameters are 32-bit integers (decimal from -2147483648 to 4294967295, or 0x hex up
// to 0xFFFFFFFF), zero-extended into wParam and sign-extended into lParam as a 32-bit
// program sees them. Nothing here touches a socket: these are pure functions over bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace vrel::port {

// The message port's text: words and "quoted strings" split out of a line, quoting that
// reads back exactly, 32-bit integers as a 32-bit program writes them, and ASCII case.
// Pure functions over bytes.
struct Token {
    std::string text;
    bool quoted = false;
};

struct TokenizeResult {
    std::vector<Token> tokens;  // empty when failed
    bool failed = false;
    bool badByte = false;  // failed on a NUL or control byte rather than on syntax
    std::string detail;    // why it failed
};

// Splits at spaces and tabs. A quoted string may hold \" \\ \n \t \r and \xHH (never
// \x00) escapes and must be followed by a blank or the end; a bare word holds no quote and
// no control byte.
TokenizeResult Tokenize(std::string_view line);

// A quoted string that Tokenize reads back as `text`: quotes, backslashes and control bytes
// escaped, everything else as it is.
std::string Quote(std::string_view text);

// Decimal from -2147483648 to 4294967295, or 0x hex up to 0xFFFFFFFF, as its 32-bit pattern;
// nullopt when malformed or out of range.
std::optional<uint32_t> ParseInteger32(std::string_view text);

bool IsControlByte(unsigned char c);
bool EqualsNoCase(std::string_view a, std::string_view b);

// The requests.

inline constexpr int kProtocolVersion = 1;
inline constexpr size_t kMaxRequestBytes = 256;  // a request line with its newline
inline constexpr int kMaxSendTimeoutMs = 60000;

enum class Verb { List, Post, Send, Answer };

enum class ErrorCode {
    Syntax,       // not a request of this protocol
    TooLong,      // longer than kMaxRequestBytes
    BadByte,      // NUL or another control byte
    UnknownVerb,  // no such request
    NotAllowed,   // a message or parameter outside the allow-list
    BadNumber,    // malformed or out of range
    NoWindow,     // no top-level window matches
    NoBox,        // no message box is open
    NoButton,     // the open box has no such button
    Timeout,      // the window did not answer in time
    QueueFull,    // the window's queue refused the post
    Denied,       // the peer is another user
    Busy,         // too many connections
    Stopped,      // the port is shutting down
};

// The error's name on the wire ("bad-number", …) and back; nullopt for an unknown name.
std::string_view ErrorCodeName(ErrorCode code);
std::optional<ErrorCode> ErrorCodeFromName(std::string_view name);

// A window picked by class and title; nullopt stands for "any".
struct WindowTarget {
    std::optional<std::string> className;
    std::optional<std::string> title;
    bool operator==(const WindowTarget&) const = default;
};

struct Request {
    Verb verb = Verb::List;
    WindowTarget target;  // post, send
    UINT message = 0;     // post, send: WM_COMMAND or WM_CLOSE
    uint32_t wParam = 0;  // the 32-bit pattern
    uint32_t lParam = 0;  // the 32-bit pattern
    int timeoutMs = 0;    // send
    int answer = 0;       // answer: IDOK, IDYES or IDNO
    bool operator==(const Request&) const = default;

    WPARAM FullWParam() const { return WPARAM{wParam}; }
    LPARAM FullLParam() const { return LPARAM{static_cast<int32_t>(lParam)}; }
};

struct ParseResult {
    std::optional<Request> request;  // set on success
    ErrorCode error = ErrorCode::Syntax;
    std::string detail;  // what was wrong, for the error reply
};

// A request line without its newline (a trailing CR is ignored). Anything malformed,
// oversized, unknown or outside the allow-list is an error; never throws.
ParseResult ParseRequest(std::string_view line);

// The line (without newline) that ParseRequest reads back as the same request.
std::string FormatRequest(const Request& request);

// Replies.
std::string Greeting(long pid);  // "vrelport 1 <pid>"
// The pid in a greeting of a compatible version; nullopt otherwise.
std::optional<long> ParseGreeting(std::string_view line);
std::string OkLine(std::string_view value = {});
std::string ErrorLine(ErrorCode code, std::string_view detail);

// The final line of a reply, or a data line before it.
struct ReplyLine {
    enum class Kind { Ok, Error, Data } kind = Kind::Data;
    std::string value;        // ok: what follows "ok "
    std::string errorName;    // error: the code's name as sent
    std::string detail;       // error: the rest of the line
    std::vector<Token> data;  // data: the line's tokens
};
ReplyLine ParseReplyLine(std::string_view line);

}  // namespace vrel::port
