#include "runtime/port/protocol.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace vrel::port {
namespace {

struct ErrorName {
    ErrorCode code;
    std::string_view name;
};

constexpr std::array<ErrorName, 14> kErrorNames{{
    {ErrorCode::Syntax, "syntax"},
    {ErrorCode::TooLong, "too-long"},
    {ErrorCode::BadByte, "bad-byte"},
    {ErrorCode::UnknownVerb, "unknown-verb"},
    {ErrorCode::NotAllowed, "not-allowed"},
    {ErrorCode::BadNumber, "bad-number"},
    {ErrorCode::NoWindow, "no-window"},
    {ErrorCode::NoBox, "no-box"},
    {ErrorCode::NoButton, "no-button"},
    {ErrorCode::Timeout, "timeout"},
    {ErrorCode::QueueFull, "queue-full"},
    {ErrorCode::Denied, "denied"},
    {ErrorCode::Busy, "busy"},
    {ErrorCode::Stopped, "stopped"},
}};

struct AnswerWord {
    std::string_view word;
    int id;
};
constexpr std::array<AnswerWord, 3> kAnswers{{{"ok", IDOK}, {"yes", IDYES}, {"no", IDNO}}};

ParseResult Fail(ErrorCode code, std::string detail) {
    ParseResult result;
    result.error = code;
    result.detail = std::move(detail);
    return result;
}

}  // namespace

std::string_view ErrorCodeName(ErrorCode code) {
    for (const ErrorName& entry : kErrorNames) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return "syntax";
}

std::optional<ErrorCode> ErrorCodeFromName(std::string_view name) {
    for (const ErrorName& entry : kErrorNames) {
        if (entry.name == name) {
            return entry.code;
        }
    }
    return std::nullopt;
}

// ---- requests --------------------------------------------------------------------------

namespace {

bool LooksNumeric(std::string_view text) {
    return !text.empty() && (text[0] == '-' || (text[0] >= '0' && text[0] <= '9'));
}

std::string MessageName(UINT message) {
    if (message == WM_COMMAND) {
        return "WM_COMMAND";
    }
    if (message == WM_CLOSE) {
        return "WM_CLOSE";
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", message);
    return hex;
}

// The message token: WM_COMMAND or WM_CLOSE by name or number.
std::optional<ParseResult> ReadMessage(const Token& token, Request& request) {
    if (token.quoted) {
        return Fail(ErrorCode::Syntax, "a message is a bare word or number");
    }
    if (LooksNumeric(token.text)) {
        auto number = ParseInteger32(token.text);
        if (!number) {
            return Fail(ErrorCode::BadNumber, "message number " + Quote(token.text));
        }
        request.message = *number;
    } else if (EqualsNoCase(token.text, "WM_COMMAND")) {
        request.message = WM_COMMAND;
    } else if (EqualsNoCase(token.text, "WM_CLOSE")) {
        request.message = WM_CLOSE;
    } else {
        return Fail(ErrorCode::NotAllowed, "message " + Quote(token.text) + " is not allowed");
    }
    if (request.message != WM_COMMAND && request.message != WM_CLOSE) {
        return Fail(ErrorCode::NotAllowed,
                    "message " + MessageName(request.message) + " is not allowed");
    }
    return std::nullopt;
}

std::optional<ParseResult> ReadParameter(const Token& token, const char* name, uint32_t& out) {
    auto value = token.quoted ? std::nullopt : ParseInteger32(token.text);
    if (!value) {
        return Fail(ErrorCode::BadNumber,
                    std::string(name) + " " + Quote(token.text) + " is not a 32-bit integer");
    }
    out = *value;
    return std::nullopt;
}

std::optional<std::string> ReadWindowName(const Token& token) {
    if (!token.quoted && token.text == "*") {
        return std::nullopt;
    }
    return token.text;
}

// post/send arguments from `first`: <class> <title> <message> [<wParam> [<lParam>]].
ParseResult ReadMessageArguments(const std::vector<Token>& tokens, size_t first, Request request) {
    const size_t count = tokens.size() - first;
    if (count < 3) {
        return Fail(ErrorCode::Syntax, "expected <class> <title> <message> [<wParam> [<lParam>]]");
    }
    if (count > 5) {
        return Fail(ErrorCode::Syntax, "too many arguments");
    }
    request.target.className = ReadWindowName(tokens[first]);
    request.target.title = ReadWindowName(tokens[first + 1]);
    if (auto failed = ReadMessage(tokens[first + 2], request)) {
        return *failed;
    }
    if (count > 3) {
        if (auto failed = ReadParameter(tokens[first + 3], "wParam", request.wParam)) {
            return *failed;
        }
    }
    if (count > 4) {
        if (auto failed = ReadParameter(tokens[first + 4], "lParam", request.lParam)) {
            return *failed;
        }
    }
    if (request.message == WM_CLOSE && (request.wParam != 0 || request.lParam != 0)) {
        return Fail(ErrorCode::NotAllowed, "WM_CLOSE takes no parameters");
    }
    ParseResult result;
    result.request = std::move(request);
    return result;
}

ParseResult ReadSend(const std::vector<Token>& tokens) {
    if (tokens.size() < 2) {
        return Fail(ErrorCode::Syntax, "expected send <timeoutMs> <class> <title> <message> …");
    }
    const Token& timeout = tokens[1];
    const bool positiveNumber =
        !timeout.quoted && LooksNumeric(timeout.text) && timeout.text[0] != '-';
    auto value = positiveNumber ? ParseInteger32(timeout.text) : std::nullopt;
    if (!value || *value < 1 || *value > static_cast<uint32_t>(kMaxSendTimeoutMs)) {
        return Fail(ErrorCode::BadNumber, "timeout " + Quote(timeout.text) + " is not 1 to " +
                                              std::to_string(kMaxSendTimeoutMs) + " ms");
    }
    Request request;
    request.verb = Verb::Send;
    request.timeoutMs = static_cast<int>(*value);
    return ReadMessageArguments(tokens, 2, std::move(request));
}

ParseResult ReadAnswer(const std::vector<Token>& tokens) {
    if (tokens.size() != 2 || tokens[1].quoted) {
        return Fail(ErrorCode::Syntax, "expected answer ok|yes|no");
    }
    for (const AnswerWord& answer : kAnswers) {
        if (EqualsNoCase(tokens[1].text, answer.word)) {
            Request request;
            request.verb = Verb::Answer;
            request.answer = answer.id;
            ParseResult result;
            result.request = request;
            return result;
        }
    }
    return Fail(ErrorCode::NotAllowed,
                "answer " + Quote(tokens[1].text) + " is not one of ok, yes, no");
}

ParseResult ReadVerb(const std::vector<Token>& tokens) {
    const Token& verb = tokens[0];
    if (!verb.quoted && EqualsNoCase(verb.text, "list")) {
        if (tokens.size() != 1) {
            return Fail(ErrorCode::Syntax, "list takes no arguments");
        }
        ParseResult result;
        result.request = Request{};
        return result;
    }
    if (!verb.quoted && EqualsNoCase(verb.text, "post")) {
        Request request;
        request.verb = Verb::Post;
        return ReadMessageArguments(tokens, 1, std::move(request));
    }
    if (!verb.quoted && EqualsNoCase(verb.text, "send")) {
        return ReadSend(tokens);
    }
    if (!verb.quoted && EqualsNoCase(verb.text, "answer")) {
        return ReadAnswer(tokens);
    }
    return Fail(ErrorCode::UnknownVerb, "unknown request " + Quote(verb.text));
}

}  // namespace

ParseResult ParseRequest(std::string_view line) {
    if (line.size() >= kMaxRequestBytes) {
        return Fail(ErrorCode::TooLong,
                    "a request is at most " + std::to_string(kMaxRequestBytes - 1) + " bytes");
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    for (char c : line) {
        if (IsControlByte(static_cast<unsigned char>(c)) && c != '\t') {
            return Fail(ErrorCode::BadByte, c == '\0' ? "a NUL byte" : "a control byte");
        }
    }
    TokenizeResult split = Tokenize(line);
    if (split.failed) {
        return Fail(split.badByte ? ErrorCode::BadByte : ErrorCode::Syntax, split.detail);
    }
    if (split.tokens.empty()) {
        return Fail(ErrorCode::Syntax, "empty request");
    }
    return ReadVerb(split.tokens);
}

std::string FormatRequest(const Request& request) {
    auto name = [](const std::optional<std::string>& value) {
        return value ? Quote(*value) : std::string("*");
    };
    auto message = [&]() {
        return name(request.target.className) + " " + name(request.target.title) + " " +
               MessageName(request.message) + " " + std::to_string(request.wParam) + " " +
               std::to_string(static_cast<int32_t>(request.lParam));
    };
    switch (request.verb) {
        case Verb::List:
            return "list";
        case Verb::Post:
            return "post " + message();
        case Verb::Send:
            return "send " + std::to_string(request.timeoutMs) + " " + message();
        case Verb::Answer:
            for (const AnswerWord& answer : kAnswers) {
                if (answer.id == request.answer) {
                    return "answer " + std::string(answer.word);
                }
            }
            return "answer " + std::to_string(request.answer);
    }
    return "";
}

// ---- replies ---------------------------------------------------------------------------

std::string Greeting(long pid) {
    return "vrelport " + std::to_string(kProtocolVersion) + " " + std::to_string(pid);
}

std::optional<long> ParseGreeting(std::string_view line) {
    TokenizeResult split = Tokenize(line);
    if (split.failed || split.tokens.size() != 3 || split.tokens[0].text != "vrelport" ||
        split.tokens[1].text != std::to_string(kProtocolVersion)) {
        return std::nullopt;
    }
    const std::string& text = split.tokens[2].text;
    long pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (error != std::errc{} || end != text.data() + text.size() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

std::string OkLine(std::string_view value) {
    return value.empty() ? std::string("ok") : "ok " + std::string(value);
}

std::string ErrorLine(ErrorCode code, std::string_view detail) {
    std::string line = "err " + std::string(ErrorCodeName(code));
    if (!detail.empty()) {
        line += ' ';
        for (char c : detail) {
            line += IsControlByte(static_cast<unsigned char>(c)) ? '?' : c;  // one line, always
        }
    }
    return line;
}

ReplyLine ParseReplyLine(std::string_view line) {
    ReplyLine reply;
    if (line == "ok" || line.starts_with("ok ")) {
        reply.kind = ReplyLine::Kind::Ok;
        reply.value = std::string(line.substr(std::min<size_t>(3, line.size())));
        return reply;
    }
    if (line.starts_with("err ")) {
        reply.kind = ReplyLine::Kind::Error;
        std::string_view rest = line.substr(4);
        const size_t space = rest.find(' ');
        reply.errorName = std::string(rest.substr(0, space));
        if (space != std::string_view::npos) {
            reply.detail = std::string(rest.substr(space + 1));
        }
        return reply;
    }
    reply.data = Tokenize(line).tokens;
    return reply;
}

}  // namespace vrel::port

// Words, quoting and numbers.
namespace vrel::port {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Reject(TokenizeResult& result, bool badByte, const char* detail) {
    result.failed = true;
    result.badByte = badByte;
    result.detail = detail;
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

bool IsControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// ---- tokens ----------------------------------------------------------------------------

namespace {

// One escape after a backslash at s[i]; advances i past it. False with the error set.
bool ReadEscape(std::string_view s, size_t& i, std::string& out, TokenizeResult& result) {
    if (i + 1 >= s.size()) {
        return Reject(result, false, "a backslash ends the line");
    }
    const char e = s[i + 1];
    const std::string_view simple = "\"\\ntr";
    const std::string_view meaning = "\"\\\n\t\r";
    if (size_t k = simple.find(e); k != std::string_view::npos) {
        out += meaning[k];
        i += 2;
        return true;
    }
    if (e == 'x' && i + 3 < s.size() && HexValue(s[i + 2]) >= 0 && HexValue(s[i + 3]) >= 0) {
        const int value = HexValue(s[i + 2]) * 16 + HexValue(s[i + 3]);
        if (value == 0) {
            return Reject(result, true, "an escaped NUL");
        }
        out += static_cast<char>(value);
        i += 4;
        return true;
    }
    return Reject(result, false, "unknown escape");
}

// A quoted token starting at s[i] == '"'; advances i past the closing quote.
bool ReadQuoted(std::string_view s, size_t& i, TokenizeResult& result) {
    Token token{{}, true};
    ++i;
    for (;;) {
        if (i >= s.size()) {
            return Reject(result, false, "unterminated quoted string");
        }
        const char c = s[i];
        if (c == '"') {
            ++i;
            break;
        }
        if (c == '\\') {
            if (!ReadEscape(s, i, token.text, result)) {
                return false;
            }
            continue;
        }
        if (IsControlByte(static_cast<unsigned char>(c)) && c != '\t') {
            return Reject(result, true, "a control byte in a quoted string");
        }
        token.text += c;
        ++i;
    }
    if (i < s.size() && !IsBlank(s[i])) {
        return Reject(result, false, "text right after a closing quote");
    }
    result.tokens.push_back(std::move(token));
    return true;
}

bool ReadBare(std::string_view s, size_t& i, TokenizeResult& result) {
    Token token;
    while (i < s.size() && !IsBlank(s[i])) {
        const char c = s[i];
        if (IsControlByte(static_cast<unsigned char>(c))) {
            return Reject(result, true, c == '\0' ? "a NUL byte" : "a control byte");
        }
        if (c == '"') {
            return Reject(result, false, "a quote inside a word");
        }
        token.text += c;
        ++i;
    }
    result.tokens.push_back(std::move(token));
    return true;
}

}  // namespace

TokenizeResult Tokenize(std::string_view line) {
    TokenizeResult result;
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        const bool ok = line[i] == '"' ? ReadQuoted(line, i, result) : ReadBare(line, i, result);
        if (!ok) {
            result.tokens.clear();
            return result;
        }
    }
    return result;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (IsControlByte(byte)) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

// ---- numbers ---------------------------------------------------------------------------

std::optional<uint32_t> ParseInteger32(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    int base = 10;
    if (!negative && digits.size() > 2 && digits[0] == '0' && LowerAscii(digits[1]) == 'x') {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    const uint64_t limit = negative ? uint64_t{0x80000000} : uint64_t{0xFFFFFFFF};
    if (value > limit) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(negative ? (~value + 1) : value);
}

}  // namespace vrel::port
