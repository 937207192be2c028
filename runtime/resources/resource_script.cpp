// A reader for the menus of a resource script in the platform's syntax: what our scripts
// use, and an error with its line for anything else.
//
//   script   := { pragma | language | menu }
//   pragma   := '#pragma code_page(' ( '65001' | '1252' ) ')'      alone on its line
//   language := 'LANGUAGE' ( number | LANG_name ) ',' ( number | SUBLANG_name )
//   menu     := number 'MENU' { memory-option } block
//   block    := ( 'BEGIN' | '{' ) { item } ( 'END' | '}' )
//   item     := 'POPUP' string block
//             | 'MENUITEM' 'SEPARATOR'
//             | 'MENUITEM' string ',' number { ',' item-option }
//   string   := '"' { character | '""' | '\' ( 'n' | 't' | 'r' | 'a' | '\' | '"' ) } '"'
//   number   := decimal | '0x' hex, at most 65535
//
// Words ignore case; // and /* */ are comments. The text is Windows-1252 until a pragma
// says UTF-8, whose strings are then turned into Windows-1252 ('?' where it has no such
// character). Popups nest at most 16 deep: a deeper script is broken, not a menu.
#include "runtime/resources/resource_script.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "runtime/kernel/codepage.h"

namespace vrel::resources {
namespace {

constexpr int kMaxDepth = 16;
constexpr size_t kNone = std::string_view::npos;

struct ScriptError {
    size_t at;
    std::string message;
};

using Name = std::pair<const char*, WORD>;
constexpr Name kLanguages[] = {{"LANG_NEUTRAL", 0}, {"LANG_ENGLISH", 9}, {"LANG_GERMAN", 7}};
constexpr Name kSublanguages[] = {
    {"SUBLANG_NEUTRAL", 0}, {"SUBLANG_DEFAULT", 1}, {"SUBLANG_GERMAN", 1}};
// Accepted and ignored: they say how a menu is loaded or shown, not what it holds.
constexpr const char* kMenuOptions[] = {"DISCARDABLE", "PRELOAD", "LOADONCALL", "MOVEABLE",
                                        "FIXED",       "PURE",    "IMPURE"};
constexpr const char* kItemOptions[] = {"CHECKED",  "GRAYED",       "HELP",
                                        "INACTIVE", "MENUBARBREAK", "MENUBREAK"};

// The Windows-1252 byte for a character; '?' when there is none, as the platform's
// converter substitutes.
char ToWindows1252(char32_t character) {
    for (unsigned byte = 0; byte <= 0xFF; ++byte) {
        if (kernel::Windows1252ToUnicode(static_cast<unsigned char>(byte)) == character) {
            return static_cast<char>(byte);
        }
    }
    return '?';
}

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    ResourceScript Script() {
        ResourceScript script;
        WORD language = 0;
        for (Skip(); at_ < text_.size(); Skip()) {
            if (Peek() == '#') {
                Pragma();
            } else if (Take("LANGUAGE")) {
                const WORD primary = LanguagePart(kLanguages, 0x3FF);
                Expect(Take(","), "',' before the sublanguage");
                language = static_cast<WORD>(LanguagePart(kSublanguages, 0x3F) << 10 | primary);
            } else {
                MenuResource& menu = script.menus.emplace_back();
                menu.id = Number("a menu number");
                menu.language = language;
                Expect(Take("MENU"), "MENU after the menu number");
                while (AnyOf(kMenuOptions)) {
                }
                menu.items = Block(1);
            }
        }
        return script;
    }

  private:
    void Expect(bool found, const std::string& what) const {
        if (!found) {
            throw ScriptError{at_, "expected " + what};
        }
    }
    unsigned char Peek(size_t ahead = 0) const {
        return at_ + ahead < text_.size() ? static_cast<unsigned char>(text_[at_ + ahead]) : 0;
    }

    // Blanks, line ends and comments.
    void Skip() {
        for (;;) {
            at_ = std::min(text_.find_first_not_of(" \t\r\n", at_), text_.size());
            const std::string_view next = text_.substr(at_, 2);
            if (next != "//" && next != "/*") {
                return;
            }
            const bool line = next == "//";
            const size_t end = text_.find(line ? "\n" : "*/", at_ + 2);
            Expect(line || end != kNone, "*/ to end the comment");
            at_ = line ? std::min(end, text_.size()) : end + 2;
        }
    }

    // A directive takes its line, and only the code page is ours to set.
    void Pragma() {
        const size_t before = text_.substr(0, at_).find_last_not_of(" \t");
        Expect(before == kNone || text_[before] == '\n', "a directive alone on its line");
        std::string_view line = text_.substr(at_, text_.find('\n', at_) - at_);
        line = line.substr(0, line.find_last_not_of(" \t\r") + 1);
        Expect(line == "#pragma code_page(65001)" || line == "#pragma code_page(1252)",
               "#pragma code_page(65001) or (1252)");
        utf8_ = line.find("65001") != kNone;
        at_ += line.size();
    }

    // The word (letters, digits, '_') that starts here, after any blanks; empty if none.
    std::string_view Word() {
        Skip();
        size_t end = at_;
        while (end < text_.size() && (std::isalnum(Peek(end - at_)) || text_[end] == '_')) {
            ++end;
        }
        return text_.substr(at_, end - at_);
    }

    // Takes `word` (or one punctuation mark) when it comes next, in any case.
    bool Take(std::string_view word) {
        std::string_view next = Word();
        next = next.empty() ? text_.substr(at_, 1) : next;
        if (next.size() != word.size() || strncasecmp(next.data(), word.data(), word.size()) != 0) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    template <size_t N>
    bool AnyOf(const char* const (&words)[N]) {
        return std::any_of(words, words + N, [this](const char* word) { return Take(word); });
    }

    WORD Number(const std::string& what, unsigned max = 0xFFFF) {
        const std::string_view word = Word();
        const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
        const char* end = word.data() + word.size();
        unsigned value = 0;
        const auto read = std::from_chars(word.data() + (hex ? 2 : 0), end, value, hex ? 16 : 10);
        Expect(read.ptr == end && read.ec == std::errc() && value <= max,
               what + " from 0 to " + std::to_string(max));
        at_ += word.size();
        return static_cast<WORD>(value);
    }

    template <size_t N>
    WORD LanguagePart(const Name (&names)[N], unsigned max) {
        for (const auto& [word, value] : names) {
            if (Take(word)) {
                return value;
            }
        }
        return Number("a language number", max);
    }

    std::vector<MenuItemResource> Block(int depth) {
        Expect(depth <= kMaxDepth, "at most 16 menu levels");
        Expect(Take("BEGIN") || Take("{"), "BEGIN or '{'");
        std::vector<MenuItemResource> items;
        while (!Take("END") && !Take("}")) {
            MenuItemResource& item = items.emplace_back();
            if (Take("POPUP")) {
                item.popup = true;
                item.text = String("the popup's text");
                item.items = Block(depth + 1);
                continue;
            }
            Expect(Take("MENUITEM"), "MENUITEM, POPUP or END");
            if (Take("SEPARATOR")) {
                item.separator = true;
                continue;
            }
            item.text = String("the item's text");
            Expect(Take(","), "',' after the item's text");
            item.id = Number("the item's id");
            while (Take(",")) {
                Expect(AnyOf(kItemOptions), "an item option after ','");
            }
        }
        return items;
    }

    std::string String(const char* what) {
        Skip();
        Expect(Peek() == '"', what);
        std::string text;
        for (++at_; Peek() != '"' || Peek(1) == '"';) {
            // Past the end reads as NUL; a menu text would end at its first NUL anyway.
            Expect(Peek() != '\n' && Peek() != '\0', "'\"' before the line ends");
            if (Peek() == '"' || Peek() == '\\') {  // "" is a quote too
                const size_t escape = std::string_view("\"\\ntra").find(static_cast<char>(Peek(1)));
                Expect(escape != kNone, "\", \\, n, t, r or a after \\");
                text += "\"\\\n\t\r\b"[escape];  // \a: the platform's right-alignment mark
                at_ += 2;
            } else if (Peek() >= 0x80 && utf8_) {  // strict: a malformed sequence is refused
                size_t used = 0;
                const char32_t c = kernel::DecodeUtf8(
                    reinterpret_cast<const unsigned char*>(&text_[at_]), text_.size() - at_, &used);
                Expect(c != 0xFFFD || text_.substr(at_, 3) == "\xEF\xBF\xBD", "valid UTF-8");
                text += ToWindows1252(c);
                at_ += used;
            } else {
                text += text_[at_++];
            }
        }
        ++at_;
        return text;
    }

    std::string_view text_;
    size_t at_ = 0;
    bool utf8_ = false;
};

}  // namespace

ResourceParseResult ParseResourceScript(std::string_view text) {
    ResourceParseResult result;
    try {
        result.script = Reader(text).Script();
    } catch (const ScriptError& error) {
        const auto line = std::count(text.begin(), text.begin() + error.at, '\n') + 1;
        result.error = "line " + std::to_string(line) + ": " + error.message;
    }
    return result;
}

}  // namespace vrel::resources
