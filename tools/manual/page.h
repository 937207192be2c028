// One description of a program, rendered two ways: as its --help text and as its manual page,
// so the two never disagree.
#pragma once

#include <string>
#include <vector>

namespace vrel::manual {

struct Entry {
    std::string term;  // "--pid N"; upper-case words are arguments
    std::string text;  // one paragraph, wrapped by the renderer
};

struct Section {
    std::string title;                    // "options": "options:" in --help, "OPTIONS" in the page
    std::vector<std::string> paragraphs;  // before the entries
    std::vector<Entry> entries;
    bool inHelp = true;    // false: the page only
    bool literal = false;  // entries are command lines shown as they are (examples)
};

struct Page {
    std::string name;                   // "vrelctl"
    std::string summary;                // one line, the page's NAME
    std::vector<std::string> synopsis;  // "[--pid N] COMMAND", after the name
    std::vector<std::string> description;
    std::vector<Section> sections;
};

// The --help text: usage lines, the description's first paragraph and the sections meant for
// it, wrapped at 79 columns.
std::string HelpText(const Page& page);

// The manual page in section 1, for man(7).
std::string ManualPage(const Page& page, const std::string& date, const std::string& source);

}  // namespace vrel::manual
