// Request lines out of a byte stream: any chunking gives the same lines, an oversized line
// costs one error and the next line is read normally, memory stays bounded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/port/lines.h"

namespace vrel::test {
namespace {

using port::LineEvent;
using port::LineReader;

// "line" for a line, "<too long>" for a refused one.
std::vector<std::string> Read(const std::vector<std::string>& chunks, size_t max = 8) {
    LineReader reader(max);
    std::vector<LineEvent> events;
    for (const std::string& chunk : chunks) {
        reader.Feed(chunk, &events);
        EXPECT_LT(reader.Pending(), max) << "held bytes stay under the limit";
    }
    std::vector<std::string> out;
    for (const LineEvent& e : events) {
        out.push_back(e.tooLong ? "<too long>" : e.line);
    }
    return out;
}

struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> expected;
};

TEST(PortLinesTest, ChunksBecomeLines) {
    const std::vector<Case> cases = {
        {"one line", {"list\n"}, {"list"}},
        {"two in one chunk", {"a\nb\n"}, {"a", "b"}},
        {"split anywhere", {"li", "s", "t\nan", "swer\n"}, {"list", "answer"}},
        {"no newline yet", {"list"}, {}},
        {"empty lines", {"\n\n"}, {"", ""}},
        {"newline alone completes", {"abc", "\n"}, {"abc"}},
        {"longest line (7 + newline)", {"1234567\n"}, {"1234567"}},
        {"longest line in pieces", {"1234", "567", "\n"}, {"1234567"}},
        {"one byte too many", {"12345678\n"}, {"<too long>"}},
        {"too long then fine", {"123456789012\nok\n"}, {"<too long>", "ok"}},
        {"too long across chunks, reported once",
         {"12345", "6789", "0123456", "789\n", "x\n"},
         {"<too long>", "x"}},
        {"too long without newline is reported at once", {"123456789"}, {"<too long>"}},
        {"NUL bytes are bytes", {std::string("a\0b\n", 4)}, {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Read(c.chunks), c.expected) << c.name;
    }
}

TEST(PortLinesTest, ByteByByteEqualsAllAtOnce) {
    const std::string stream =
        "list\npost * * WM_COMMAND 1\n" + std::string(300, 'x') + "\nanswer ok\n\nend";
    LineReader whole(256);
    LineReader single(256);
    std::vector<LineEvent> a;
    std::vector<LineEvent> b;
    whole.Feed(stream, &a);
    for (char c : stream) {
        single.Feed(std::string_view(&c, 1), &b);
    }
    ASSERT_EQ(a.size(), b.size());
    ASSERT_EQ(a.size(), 5u);
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].tooLong, b[i].tooLong) << "event " << i;
        EXPECT_EQ(a[i].line, b[i].line) << "event " << i;
    }
    EXPECT_TRUE(a[2].tooLong);
    EXPECT_EQ(a[3].line, "answer ok");
    EXPECT_EQ(whole.Pending(), 3u) << "\"end\" waits for its newline";
}

}  // namespace
}  // namespace vrel::test
