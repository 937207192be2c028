// The two renderings of a program's description: text that looks like roff stays text in the
// page, and --help wraps at 79 columns under its own column.
#include <gtest/gtest.h>

#include "tools/manual/page.h"

namespace {

using vrel::manual::Page;

TEST(ManualPage, TextThatLooksLikeRoffStaysTextAndOptionsAreTypedAsShown) {
    const Page page{"tool",
                    "a tool",
                    {"[--flag] FILE"},
                    {".starts with a dot", "back\\slash, a well-known --long-option"},
                    {}};
    const std::string roff = vrel::manual::ManualPage(page, "2026-12-08", "tool 1");
    EXPECT_NE(roff.find("\n\\&.starts with a dot\n"), std::string::npos) << roff;
    EXPECT_NE(roff.find("back\\eslash, a well-known \\-\\-long\\-option"), std::string::npos)
        << roff;
    EXPECT_NE(roff.find("[\\fB\\-\\-flag\\fR] \\fIFILE\\fR"), std::string::npos) << roff;
}

TEST(ManualPage, HelpWrapsEachEntryUnderItsTextColumnAt79Columns) {
    const std::string x67(67, 'x'), x68(68, 'x');
    Page page{"tool", "a tool", {"FILE"}, {}, {}};
    page.sections.push_back({"options", {}, {{"--a", x67 + " tail"}, {"--b", x68 + " tail"}}});
    EXPECT_EQ(vrel::manual::HelpText(page), "usage: tool FILE\n\noptions:\n  --a  " + x67 +
                                                " tail\n  --b  " + x68 + "\n       tail\n");
}

}  // namespace
