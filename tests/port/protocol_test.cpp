// The port's wire format: what a request line means, what is refused and why, numbers,
// quoting, and the replies a client reads back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/port/protocol.h"

namespace vrel::test {
namespace {

using port::ErrorCode;
using port::ErrorCodeName;
using port::FormatRequest;
using port::ParseInteger32;
using port::ParseRequest;
using port::Request;
using port::Verb;
using port::WindowTarget;

const std::string kIntro = "Vrel Roru Intro by Tarrow/Senmar";

Request Message(Verb verb, WindowTarget target, UINT message, uint32_t w, uint32_t l,
                int timeout = 0) {
    Request r;
    r.verb = verb;
    r.target = std::move(target);
    r.message = message;
    r.wParam = w;
    r.lParam = l;
    r.timeoutMs = timeout;
    return r;
}

Request AnswerOf(int id) {
    Request r;
    r.verb = Verb::Answer;
    r.answer = id;
    return r;
}

std::string Describe(const Request& r) {
    return FormatRequest(r);
}

struct GoodCase {
    std::string line;
    Request expected;
};

TEST(PortProtocolTest, WellFormedRequestsMeanExactlyThis) {
    const WindowTarget any{};
    const WindowTarget intro{kIntro, kIntro};
    const std::vector<GoodCase> cases = {
        {"list", Request{}},
        {"  LIST\t", Request{}},
        {"list\r", Request{}},
        {"answer ok", AnswerOf(IDOK)},
        {"answer YES", AnswerOf(IDYES)},
        {"answer no", AnswerOf(IDNO)},
        {"post * * WM_COMMAND 1003", Message(Verb::Post, any, WM_COMMAND, 1003, 0)},
        {"post * * wm_command 1003 0", Message(Verb::Post, any, WM_COMMAND, 1003, 0)},
        {"post * * WM_CLOSE", Message(Verb::Post, any, WM_CLOSE, 0, 0)},
        {"post * * 0x10 0 0", Message(Verb::Post, any, WM_CLOSE, 0, 0)},
        {"post * * 273 0x000103E9", Message(Verb::Post, any, WM_COMMAND, 0x000103E9, 0)},
        {"post \"" + kIntro + "\" \"" + kIntro + "\" WM_COMMAND 1005 0",
         Message(Verb::Post, intro, WM_COMMAND, 1005, 0)},
        {"post Cls \"*\" WM_COMMAND 1", Message(Verb::Post, {"Cls", "*"}, WM_COMMAND, 1, 0)},
        {"post \"a\\\"b\\\\c\\x41\\n\" * WM_COMMAND 1",
         Message(Verb::Post, {"a\"b\\cA\n", std::nullopt}, WM_COMMAND, 1, 0)},
        {"post * * WM_COMMAND 4294967295 -1",
         Message(Verb::Post, any, WM_COMMAND, 0xFFFFFFFF, 0xFFFFFFFF)},
        {"post * * WM_COMMAND -2147483648 2147483647",
         Message(Verb::Post, any, WM_COMMAND, 0x80000000, 0x7FFFFFFF)},
        {"post * * WM_COMMAND 0XfFfFfFfF 0x0", Message(Verb::Post, any, WM_COMMAND, 0xFFFFFFFF, 0)},
        {"send 5000 * * WM_COMMAND 1000", Message(Verb::Send, any, WM_COMMAND, 1000, 0, 5000)},
        {"send 1 * * WM_CLOSE", Message(Verb::Send, any, WM_CLOSE, 0, 0, 1)},
        {"send 60000 x y WM_COMMAND 7 8", Message(Verb::Send, {"x", "y"}, WM_COMMAND, 7, 8, 60000)},
    };
    for (const GoodCase& c : cases) {
        auto result = ParseRequest(c.line);
        ASSERT_TRUE(result.request.has_value())
            << "line: " << c.line << "\nerror: " << ErrorCodeName(result.error) << " "
            << result.detail;
        EXPECT_EQ(*result.request, c.expected)
            << "line: " << c.line << "\nexpected: " << Describe(c.expected)
            << "\nactual:   " << Describe(*result.request);
    }
}

TEST(PortProtocolTest, ParametersReachTheMessageAsA32BitProgramSeesThem) {
    auto r = ParseRequest("post * * WM_COMMAND 0xFFFFFFFF -1");
    ASSERT_TRUE(r.request);
    EXPECT_EQ(r.request->FullWParam(), WPARAM{0xFFFFFFFF}) << "wParam is zero-extended";
    EXPECT_EQ(r.request->FullLParam(), LPARAM{-1}) << "lParam is sign-extended";
    r = ParseRequest("post * * WM_COMMAND 1 0x80000000");
    ASSERT_TRUE(r.request);
    EXPECT_EQ(r.request->FullLParam(), LPARAM{INT32_MIN});
}

struct BadCase {
    std::string line;
    ErrorCode expected;
};

TEST(PortProtocolTest, EverythingElseIsRefusedWithItsReason) {
    const std::vector<BadCase> cases = {
        // not requests at all
        {"", ErrorCode::Syntax},
        {"   ", ErrorCode::Syntax},
        {"list extra", ErrorCode::Syntax},
        {"post", ErrorCode::Syntax},
        {"post * *", ErrorCode::Syntax},
        {"post * * WM_COMMAND 1 2 3", ErrorCode::Syntax},
        {"post \"unterminated * WM_COMMAND 1", ErrorCode::Syntax},
        {"post \"a\"b * WM_COMMAND 1", ErrorCode::Syntax},
        {"post a\"b * WM_COMMAND 1", ErrorCode::Syntax},
        {"post \"\\q\" * WM_COMMAND 1", ErrorCode::Syntax},
        {"post \"\\x4\" * WM_COMMAND 1", ErrorCode::Syntax},
        {"post \"a\\", ErrorCode::Syntax},
        {"answer", ErrorCode::Syntax},
        {"answer ok yes", ErrorCode::Syntax},
        {"answer \"ok\"", ErrorCode::Syntax},
        {"send", ErrorCode::Syntax},
        {"send 100 * *", ErrorCode::Syntax},
        {"post * * \"WM_COMMAND\" 1", ErrorCode::Syntax},
        // unknown verbs
        {"destroy * *", ErrorCode::UnknownVerb},
        {"\"list\"", ErrorCode::UnknownVerb},
        {"postx * * WM_COMMAND 1", ErrorCode::UnknownVerb},
        // messages and parameters outside the allow-list
        {"post * * WM_PAINT", ErrorCode::NotAllowed},
        {"post * * WM_SETTEXT 0 0", ErrorCode::NotAllowed},
        {"post * * WM_COPYDATA 0 12345", ErrorCode::NotAllowed},
        {"post * * 0x000F", ErrorCode::NotAllowed},
        {"post * * 0x004A 0 0", ErrorCode::NotAllowed},
        {"post * * 0", ErrorCode::NotAllowed},
        {"post * * 0x0112 0xF060 0", ErrorCode::NotAllowed},
        {"post * * WM_CLOSE 1", ErrorCode::NotAllowed},
        {"post * * WM_CLOSE 0 5", ErrorCode::NotAllowed},
        {"answer cancel", ErrorCode::NotAllowed},
        {"answer 1", ErrorCode::NotAllowed},
        // malformed or out-of-range numbers
        {"post * * WM_COMMAND 4294967296", ErrorCode::BadNumber},
        {"post * * WM_COMMAND -2147483649", ErrorCode::BadNumber},
        {"post * * WM_COMMAND 0x100000000", ErrorCode::BadNumber},
        {"post * * WM_COMMAND 99999999999999999999999999", ErrorCode::BadNumber},
        {"post * * WM_COMMAND 12abc", ErrorCode::BadNumber},
        {"post * * WM_COMMAND 0x", ErrorCode::BadNumber},
        {"post * * WM_COMMAND -0x10", ErrorCode::BadNumber},
        {"post * * WM_COMMAND +5", ErrorCode::BadNumber},
        {"post * * WM_COMMAND --1", ErrorCode::BadNumber},
        {"post * * WM_COMMAND 1 2.5", ErrorCode::BadNumber},
        {"post * * WM_COMMAND \"1\"", ErrorCode::BadNumber},
        {"post * * 0x1G", ErrorCode::BadNumber},
        {"send 0 * * WM_COMMAND 1", ErrorCode::BadNumber},
        {"send -5 * * WM_COMMAND 1", ErrorCode::BadNumber},
        {"send 60001 * * WM_COMMAND 1", ErrorCode::BadNumber},
        {"send soon * * WM_COMMAND 1", ErrorCode::BadNumber},
        // bytes that have no place in a request
        {std::string("list\0", 5), ErrorCode::BadByte},
        {std::string("post * * WM_COMMAND 1\0 2", 24), ErrorCode::BadByte},
        {std::string("post \"a\0b\" * WM_COMMAND 1", 25), ErrorCode::BadByte},
        {"post \"a\\x00b\" * WM_COMMAND 1", ErrorCode::BadByte},
        {"post \x1b[31m * WM_COMMAND 1", ErrorCode::BadByte},
        {"list\x7f", ErrorCode::BadByte},
        {"li\rst", ErrorCode::BadByte},
        // too long
        {"post * * WM_COMMAND 1 " + std::string(240, '0'), ErrorCode::TooLong},
        {std::string(256, ' '), ErrorCode::TooLong},
    };
    for (const BadCase& c : cases) {
        auto result = ParseRequest(c.line);
        EXPECT_FALSE(result.request.has_value())
            << "line: " << c.line << "\nparsed as: " << Describe(*result.request);
        EXPECT_EQ(ErrorCodeName(result.error), ErrorCodeName(c.expected))
            << "line: " << c.line << "\ndetail: " << result.detail;
        EXPECT_FALSE(result.detail.empty()) << "line: " << c.line;
    }
}

TEST(PortProtocolTest, TheLongestRequestFitsAndOneByteMoreDoesNot) {
    const std::string head = "post * * WM_COMMAND 1 ";
    std::string fits = head + std::string(255 - head.size(), '0');  // lParam 0, zero-padded
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_TRUE(ParseRequest(fits).request) << "255 bytes and the newline make 256";
    EXPECT_EQ(ParseRequest(fits + "0").error, ErrorCode::TooLong);
}

struct NumberCase {
    std::string text;
    std::optional<uint32_t> expected;
};

TEST(PortProtocolTest, IntegersAre32BitPatterns) {
    const std::vector<NumberCase> cases = {
        {"0", 0u},
        {"-0", 0u},
        {"1005", 1005u},
        {"00042", 42u},
        {"4294967295", 0xFFFFFFFFu},
        {"-1", 0xFFFFFFFFu},
        {"-2147483648", 0x80000000u},
        {"0x0", 0u},
        {"0x000103E9", 0x000103E9u},
        {"0xffffffff", 0xFFFFFFFFu},
        {"0x00000000ffffffff", 0xFFFFFFFFu},
        {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt},
        {"0x1ffffffff", std::nullopt},
        {"18446744073709551616", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"x10", std::nullopt},
        {"1e3", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"+1", std::nullopt},
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(ParseInteger32(c.text), c.expected) << "text: '" << c.text << "'";
    }
}

TEST(PortProtocolTest, FormattedRequestsReadBackAsThemselves) {
    const std::vector<Request> requests = {
        Request{},
        AnswerOf(IDOK),
        AnswerOf(IDYES),
        AnswerOf(IDNO),
        Message(Verb::Post, {kIntro, kIntro}, WM_COMMAND, 1003, 0),
        Message(Verb::Post, {}, WM_CLOSE, 0, 0),
        Message(Verb::Post, {"*", std::nullopt}, WM_COMMAND, 0xFFFFFFFF, 0x80000000),
        Message(Verb::Post, {"q\"uo\\te\t\n\x01", "Menü"}, WM_COMMAND, 1, 2),
        Message(Verb::Send, {std::nullopt, "t"}, WM_COMMAND, 1000, 0, 5000),
    };
    for (const Request& r : requests) {
        const std::string line = FormatRequest(r);
        auto back = ParseRequest(line);
        ASSERT_TRUE(back.request) << "line: " << line << "\n" << back.detail;
        EXPECT_EQ(*back.request, r) << "line: " << line;
    }
}

TEST(PortProtocolTest, QuotedTextSurvivesEveryByteButNul) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::string quoted = port::Quote(all);
    for (char c : quoted) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_FALSE(byte < 0x20 || byte == 0x7F) << "raw control byte " << int(byte);
    }
    auto tokens = port::Tokenize(quoted);
    ASSERT_FALSE(tokens.failed) << tokens.detail;
    ASSERT_EQ(tokens.tokens.size(), 1u);
    EXPECT_EQ(tokens.tokens[0].text, all);
    EXPECT_TRUE(tokens.tokens[0].quoted);
}

TEST(PortProtocolTest, RepliesReadBackAsSent) {
    using port::ParseReplyLine;
    using Kind = port::ReplyLine::Kind;
    auto ok = ParseReplyLine(port::OkLine("42"));
    EXPECT_EQ(ok.kind, Kind::Ok);
    EXPECT_EQ(ok.value, "42");
    EXPECT_EQ(ParseReplyLine(port::OkLine()).kind, Kind::Ok);
    auto err = ParseReplyLine(port::ErrorLine(ErrorCode::NoBox, "no box\nhere"));
    EXPECT_EQ(err.kind, Kind::Error);
    EXPECT_EQ(err.errorName, "no-box");
    EXPECT_EQ(err.detail, "no box?here") << "a detail never breaks the line";
    auto data = ParseReplyLine("box \"Quit\" \"Quit the Program?\" yesno");
    EXPECT_EQ(data.kind, Kind::Data);
    ASSERT_EQ(data.data.size(), 4u);
    EXPECT_EQ(data.data[2].text, "Quit the Program?");
    for (ErrorCode code : {ErrorCode::Syntax, ErrorCode::TooLong, ErrorCode::Denied,
                           ErrorCode::Stopped, ErrorCode::QueueFull}) {
        EXPECT_EQ(port::ErrorCodeFromName(ErrorCodeName(code)), code) << ErrorCodeName(code);
    }
    EXPECT_FALSE(port::ErrorCodeFromName("nonsense"));
}

TEST(PortProtocolTest, GreetingNamesVersionAndPid) {
    EXPECT_EQ(port::Greeting(1234), "vrelport 1 1234");
    EXPECT_EQ(port::ParseGreeting("vrelport 1 1234"), 1234);
    for (const char* bad : {"vrelport 2 1234", "vrelport 1", "vrelport 1 0", "vrelport 1 12x",
                            "hello 1 1234", "err denied no", ""}) {
        EXPECT_FALSE(port::ParseGreeting(bad)) << bad;
    }
}

}  // namespace
}  // namespace vrel::test
