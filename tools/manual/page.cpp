#include "tools/manual/page.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace vrel::manual {
namespace {

constexpr size_t kWidth = 79;
constexpr size_t kIndent = 2;
constexpr size_t kMaxTermColumn = 30;  // longer terms put their text on the next line

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// `text` filled into lines of kWidth; the first line starts at column `first` (already
// written by the caller), the others are indented to `indent`.
std::string Wrapped(const std::string& text, size_t first, size_t indent) {
    std::string out;
    size_t column = first;
    bool lineEmpty = true;
    for (const std::string& word : Words(text)) {
        if (!lineEmpty && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out + "\n";
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Text for roff: backslashes escaped, dashes of options as minus signs (what the user types),
// other hyphens left as they are.
std::string Escaped(const std::string& text) {
    std::string out;
    bool wordStart = true;
    bool inOption = false;
    for (char c : text) {
        if (c == ' ' || c == '\n') {
            inOption = false;
        } else if (wordStart && c == '-') {
            inOption = true;
        }
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-' && inOption) {
            out += "\\-";
        } else {
            out += c;
        }
        wordStart = c == ' ' || c == '\n' || c == '[' || c == '(' || c == '|' || c == '=' ||
                    c == '`' || c == '"';
    }
    return out;
}

// A line of running text: one starting with a dot or quote would be taken for a request.
std::string TextLine(const std::string& text) {
    const std::string escaped = Escaped(text);
    return (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'') ? "\\&" : "") + escaped;
}

// One word of a term or synopsis: brackets and ellipses roman, arguments (capitalised, or
// a bracketed word like "[options]") in italics, what is typed as it is in bold.
std::string Styled(const std::string& word, bool bold) {
    size_t begin = word.find_first_not_of("[(");
    size_t end = word.find_last_not_of("]).|");
    if (begin == std::string::npos || end == std::string::npos || end < begin) {
        return Escaped(word);
    }
    const std::string core = word.substr(begin, end + 1 - begin);
    const bool argument = !bold && (std::isupper(static_cast<unsigned char>(core[0])) ||
                                    (begin > 0 && core[0] != '-'));
    return Escaped(word.substr(0, begin)) + (argument ? "\\fI" : "\\fB") + Escaped(core) + "\\fR" +
           Escaped(word.substr(end + 1));
}

std::string StyledTerm(const std::string& term, bool firstBold) {
    std::string out;
    bool first = true;
    for (const std::string& word : Words(term)) {
        out += (out.empty() ? "" : " ") + Styled(word, first && firstBold);
        first = word.back() == ',';  // a list of names: "XDG_RUNTIME_DIR, HOME"
    }
    return out;
}

}  // namespace

std::string HelpText(const Page& page) {
    std::string out;
    for (size_t i = 0; i < page.synopsis.size(); ++i) {
        const std::string lead = i == 0 ? "usage: " : "       ";
        out += lead + page.name + " " + page.synopsis[i] + "\n";
    }
    if (!page.description.empty()) {
        out += "\n" + Wrapped(page.description.front(), 0, 0);
    }
    for (const Section& section : page.sections) {
        if (!section.inHelp) {
            continue;
        }
        out += "\n" + section.title + ":\n";
        for (const std::string& paragraph : section.paragraphs) {
            out += Wrapped(paragraph, 0, 0);
        }
        size_t termWidth = 0;
        for (const Entry& entry : section.entries) {
            if (entry.term.size() <= kMaxTermColumn) {
                termWidth = std::max(termWidth, entry.term.size());
            }
        }
        const size_t column = kIndent + termWidth + 2;
        for (const Entry& entry : section.entries) {
            std::string line = std::string(kIndent, ' ') + entry.term;
            if (line.size() + 2 > column) {
                line += "\n" + std::string(column, ' ');
            } else {
                line += std::string(column - line.size(), ' ');
            }
            out += line + Wrapped(entry.text, column, column);
        }
    }
    return out;
}

std::string ManualPage(const Page& page, const std::string& date, const std::string& source) {
    std::string out =
        ".TH " + Upper(page.name) + " 1 \"" + date + "\" \"" + source + "\" \"User Commands\"\n";
    out += ".SH NAME\n" + page.name + " \\- " + Escaped(page.summary) + "\n";
    out += ".SH SYNOPSIS\n";
    for (size_t i = 0; i < page.synopsis.size(); ++i) {
        out += (i == 0 ? "" : ".br\n") + std::string("\\fB") + page.name + "\\fR " +
               StyledTerm(page.synopsis[i], false) + "\n";
    }
    out += ".SH DESCRIPTION\n";
    for (size_t i = 0; i < page.description.size(); ++i) {
        out += (i == 0 ? "" : ".PP\n") + TextLine(page.description[i]) + "\n";
    }
    for (const Section& section : page.sections) {
        out += ".SH " + Upper(section.title) + "\n";
        for (size_t i = 0; i < section.paragraphs.size(); ++i) {
            out += (i == 0 ? "" : ".PP\n") + TextLine(section.paragraphs[i]) + "\n";
        }
        for (const Entry& entry : section.entries) {
            if (section.literal) {
                out += ".PP\n" + TextLine(entry.text) + "\n.RS 4\n.nf\n" + TextLine(entry.term) +
                       "\n.fi\n.RE\n";
            } else {
                out += ".TP\n" + StyledTerm(entry.term, true) + "\n" + TextLine(entry.text) + "\n";
            }
        }
    }
    return out;
}

}  // namespace vrel::manual
