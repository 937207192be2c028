// A reader for the MENU resources of a resource script in the platform's syntax. Small on
// purpose: what a menu needs, and a clear error for everything else.
#include "runtime/user/resources.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "runtime/kernel/codepage.h"

namespace vrel::user {
namespace {

constexpr int kMaxMenuDepth = 16;  // deeper nesting is a broken script, not a menu
constexpr uint32_t kMaxResourceNumber = 0xFFFF;

struct ParseError {
    int line;
    std::string message;
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string UpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

// The Windows-1252 byte for a character, '?' when the code page has none (as the
// platform's converter substitutes).
char ToWindows1252(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<char>(character);
    }
    for (unsigned byte = 0x80; byte < 0xA0; ++byte) {
        if (kernel::Windows1252ToUnicode(static_cast<unsigned char>(byte)) == character) {
            return static_cast<char>(byte);
        }
    }
    return '?';
}

// ---- Tokens. ----

enum class TokenKind { End, Word, Number, String, Comma, OpenBrace, CloseBrace };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // a word as written, a string's Windows-1252 text
    uint32_t number = 0;
    int line = 1;
};

class Lexer {
  public:
    explicit Lexer(std::string_view text) : text_(text) { SkipByteOrderMark(); }

    Token Next();

  private:
    [[noreturn]] void Fail(std::string message) const {
        throw ParseError{line_, std::move(message)};
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    unsigned char Peek(size_t ahead = 0) const {
        return pos_ + ahead < text_.size() ? static_cast<unsigned char>(text_[pos_ + ahead]) : 0;
    }

    void SkipByteOrderMark();
    void SkipSpaceAndComments();
    bool SkipComment();
    void Directive();
    void Pragma(std::string_view body);
    Token Word();
    Token Number();
    Token String();
    void Escape(std::string& out);
    unsigned NumericEscape(unsigned char first);
    void Character(std::string& out);
    char32_t DecodeUtf8();

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    bool lineStart_ = true;  // only blanks so far on this line: '#' starts a directive
    UINT codePage_ = kernel::kCodePageWindows1252;
};

void Lexer::SkipByteOrderMark() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
        pos_ = 3;
        codePage_ = kernel::kCodePageUtf8;
    }
}

Token Lexer::Next() {
    SkipSpaceAndComments();
    Token token;
    token.line = line_;
    if (AtEnd()) {
        return token;
    }
    lineStart_ = false;
    const unsigned char c = Peek();
    if (std::isalpha(c) || c == '_') {
        return Word();
    }
    if (std::isdigit(c)) {
        return Number();
    }
    if (c == '"') {
        return String();
    }
    ++pos_;
    token.kind = c == ','   ? TokenKind::Comma
                 : c == '{' ? TokenKind::OpenBrace
                 : c == '}' ? TokenKind::CloseBrace
                            : TokenKind::End;
    if (token.kind == TokenKind::End) {
        Fail(std::isprint(c) ? std::string("unexpected '") + static_cast<char>(c) + "'"
                             : "unexpected byte " + std::to_string(c));
    }
    return token;
}

void Lexer::SkipSpaceAndComments() {
    while (!AtEnd()) {
        const unsigned char c = Peek();
        if (c == '\n') {
            ++line_;
            lineStart_ = true;
            ++pos_;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++pos_;
        } else if (c == '#' && lineStart_) {
            Directive();
        } else if (!SkipComment()) {
            return;
        }
    }
}

bool Lexer::SkipComment() {
    if (Peek() != '/' || (Peek(1) != '/' && Peek(1) != '*')) {
        return false;
    }
    if (Peek(1) == '/') {
        while (!AtEnd() && Peek() != '\n') {
            ++pos_;
        }
        return true;
    }
    const int startLine = line_;
    for (pos_ += 2; !(Peek() == '*' && Peek(1) == '/'); ++pos_) {
        if (AtEnd()) {
            throw ParseError{startLine, "unterminated comment"};
        }
        line_ += Peek() == '\n' ? 1 : 0;
    }
    pos_ += 2;
    return true;
}

// Only #pragma is understood; the script names everything by number, so it needs no
// #include or #define.
void Lexer::Directive() {
    const size_t end = std::min(text_.find('\n', pos_), text_.size());
    std::string_view body = text_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = end;
    while (!body.empty() && std::isspace(static_cast<unsigned char>(body.front()))) {
        body.remove_prefix(1);
    }
    if (body.size() < 6 || !EqualsNoCase(body.substr(0, 6), "pragma")) {
        Fail("unsupported directive #" + std::string(body.substr(0, body.find(' '))));
    }
    Pragma(body.substr(6));
}

void Lexer::Pragma(std::string_view body) {
    std::string compact;
    for (char c : body) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            compact += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (compact.rfind("code_page", 0) != 0) {
        return;  // other pragmas do not concern resources
    }
    if (compact == "code_page(65001)") {
        codePage_ = kernel::kCodePageUtf8;
    } else if (compact == "code_page(1252)" || compact == "code_page(default)") {
        codePage_ = kernel::kCodePageWindows1252;
    } else {
        Fail("unsupported #pragma " + compact + " (65001 and 1252 are understood)");
    }
}

Token Lexer::Word() {
    Token token{TokenKind::Word, {}, 0, line_};
    while (std::isalnum(Peek()) || Peek() == '_') {
        token.text += static_cast<char>(Peek());
        ++pos_;
    }
    return token;
}

Token Lexer::Number() {
    Token token{TokenKind::Number, {}, 0, line_};
    const bool hex = Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X');
    pos_ += hex ? 2 : 0;
    const int base = hex ? 16 : 10;
    bool anyDigit = false;
    for (; std::isxdigit(Peek()) && (hex || std::isdigit(Peek())); ++pos_) {
        const unsigned char c = Peek();
        const uint32_t digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (token.number > (0xFFFFFFFFu - digit) / base) {
            Fail("number too large");
        }
        token.number = token.number * base + digit;
        anyDigit = true;
    }
    while (Peek() == 'L' || Peek() == 'l' || Peek() == 'U' || Peek() == 'u') {
        ++pos_;  // the resource compiler's long and unsigned suffixes
    }
    if (!anyDigit || std::isalnum(Peek()) || Peek() == '_') {
        Fail("malformed number");
    }
    return token;
}

Token Lexer::String() {
    Token token{TokenKind::String, {}, 0, line_};
    ++pos_;
    for (;;) {
        if (AtEnd() || Peek() == '\n') {
            Fail("unterminated string");
        }
        if (Peek() == '\0') {
            Fail("NUL in string");  // menu texts end at their first NUL
        }
        if (Peek() == '"') {
            if (Peek(1) != '"') {
                ++pos_;
                return token;
            }
            token.text += '"';  // "" stands for one quote
            pos_ += 2;
        } else if (Peek() == '\\') {
            Escape(token.text);
        } else {
            Character(token.text);
        }
    }
}

// The byte a one-letter escape stands for; 0 for a letter that is no escape.
unsigned SimpleEscape(unsigned char letter) {
    switch (letter) {
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case 'r':
            return '\r';
        case 'a':
            return '\b';  // the platform's right-alignment mark in menus
        case '\\':
            return '\\';
        case '"':
            return '"';
        default:
            return 0;
    }
}

unsigned Lexer::NumericEscape(unsigned char first) {
    const bool hex = first == 'x' || first == 'X';
    const int base = hex ? 16 : 8;
    const int maxDigits = hex ? 2 : 3;
    unsigned value = hex ? 0 : first - '0';
    int digits = hex ? 0 : 1;
    for (; digits < maxDigits; ++digits, ++pos_) {
        const unsigned char c = Peek();
        const bool digit = hex ? std::isxdigit(c) != 0 : (c >= '0' && c <= '7');
        if (!digit) {
            break;
        }
        value = value * base + (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    if (digits == 0) {
        Fail("\\x without hex digits");
    }
    return value;
}

void Lexer::Escape(std::string& out) {
    const unsigned char c = Peek(1);
    pos_ += 2;
    unsigned value = 0;
    if (c == 'x' || c == 'X' || (c >= '0' && c <= '7')) {
        value = NumericEscape(c);
    } else if ((value = SimpleEscape(c)) == 0) {
        pos_ -= 1;  // an unknown escape keeps its backslash, as the compiler does
        value = '\\';
    }
    if (value == 0 || value > 0xFF) {
        Fail(value == 0 ? "NUL in string" : "escape out of range");
    }
    out += static_cast<char>(value);  // escapes name Windows-1252 bytes
}

void Lexer::Character(std::string& out) {
    if (codePage_ == kernel::kCodePageUtf8 && Peek() >= 0x80) {
        out += ToWindows1252(DecodeUtf8());
        return;
    }
    out += static_cast<char>(Peek());
    ++pos_;
}

// Strict: overlong forms, surrogates, stray continuation bytes and truncated sequences
// are errors, not guesses.
char32_t Lexer::DecodeUtf8() {
    const unsigned char lead = Peek();
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4) {
        Fail("invalid UTF-8");
    }
    char32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((Peek(i) & 0xC0) != 0x80) {
            Fail("invalid UTF-8");
        }
        value = (value << 6) | (Peek(i) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        Fail("invalid UTF-8");
    }
    pos_ += length;
    return value;
}

// ---- Statements. ----

struct LanguageName {
    const char* name;
    WORD value;
};

constexpr LanguageName kLanguageNames[] = {
    {"LANG_NEUTRAL", 0x00},
    {"LANG_ENGLISH", 0x09},
    {"LANG_GERMAN", 0x07},
    {"LANG_FRENCH", 0x0C},
    {"LANG_SPANISH", 0x0A},
    {"LANG_ITALIAN", 0x10},
    {"LANG_DUTCH", 0x13},
    {"SUBLANG_NEUTRAL", 0x00},
    {"SUBLANG_DEFAULT", 0x01},
    {"SUBLANG_SYS_DEFAULT", 0x02},
    {"SUBLANG_ENGLISH_US", 0x01},
    {"SUBLANG_ENGLISH_UK", 0x02},
    {"SUBLANG_GERMAN", 0x01},
    {"SUBLANG_GERMAN_SWISS", 0x02},
    {"SUBLANG_GERMAN_AUSTRIAN", 0x03},
    {"SUBLANG_FRENCH", 0x01},
};

// Accepted and ignored: they change how the platform loads a resource, not what it holds.
constexpr const char* kMemoryOptions[] = {"DISCARDABLE", "PRELOAD", "LOADONCALL",
                                          "MOVEABLE",    "FIXED",   "PURE",
                                          "IMPURE",      "SHARED",  "NONSHARED"};
constexpr const char* kItemOptions[] = {"CHECKED",  "GRAYED",       "HELP",
                                        "INACTIVE", "MENUBARBREAK", "MENUBREAK"};

template <size_t N>
bool IsOneOf(std::string_view word, const char* const (&list)[N]) {
    for (const char* entry : list) {
        if (EqualsNoCase(word, entry)) {
            return true;
        }
    }
    return false;
}

class Parser {
  public:
    explicit Parser(std::string_view text) : lexer_(text) { Advance(); }

    ResourceScript Parse();

  private:
    [[noreturn]] void Fail(std::string message) const {
        throw ParseError{current_.line, std::move(message)};
    }
    void Advance() { current_ = lexer_.Next(); }
    bool AtWord(std::string_view word) const {
        return current_.kind == TokenKind::Word && EqualsNoCase(current_.text, word);
    }
    bool AtBlockEnd() const { return current_.kind == TokenKind::CloseBrace || AtWord("END"); }
    uint32_t ExpectNumber(const char* what);
    std::string ExpectString(const char* what);

    void Statement(ResourceScript& script);
    WORD LanguageValue();
    WORD LanguagePart(const char* what);
    void ResourceName(MenuResource& menu);
    void MenuOptions(MenuResource& menu);
    std::vector<MenuItemResource> Block(int depth);
    MenuItemResource MenuItem();
    MenuItemResource Popup(int depth);
    void ItemOptions();

    Lexer lexer_;
    Token current_;
    WORD language_ = 0;
};

ResourceScript Parser::Parse() {
    ResourceScript script;
    while (current_.kind != TokenKind::End) {
        Statement(script);
    }
    return script;
}

uint32_t Parser::ExpectNumber(const char* what) {
    if (current_.kind != TokenKind::Number) {
        Fail(std::string("expected ") + what);
    }
    if (current_.number > kMaxResourceNumber) {
        Fail(std::string(what) + " " + std::to_string(current_.number) + " is above 65535");
    }
    const uint32_t value = current_.number;
    Advance();
    return value;
}

std::string Parser::ExpectString(const char* what) {
    if (current_.kind != TokenKind::String) {
        Fail(std::string("expected ") + what);
    }
    std::string text = std::move(current_.text);
    Advance();
    return text;
}

void Parser::Statement(ResourceScript& script) {
    if (AtWord("LANGUAGE")) {
        Advance();
        language_ = LanguageValue();
        return;
    }
    MenuResource menu;
    menu.language = language_;
    ResourceName(menu);
    if (AtWord("MENUEX")) {
        Fail("MENUEX is not supported");
    }
    if (!AtWord("MENU")) {
        Fail(current_.kind == TokenKind::Word ? "unsupported resource type " + current_.text
                                              : "expected a resource type after the name");
    }
    Advance();
    MenuOptions(menu);
    menu.items = Block(1);
    script.menus.push_back(std::move(menu));
}

WORD Parser::LanguageValue() {
    const WORD primary = LanguagePart("a primary language");
    if (current_.kind != TokenKind::Comma) {
        Fail("expected ',' between the language and the sublanguage");
    }
    Advance();
    const WORD sub = LanguagePart("a sublanguage");
    if (primary > 0x3FF || sub > 0x3F) {
        Fail("language out of range");
    }
    return static_cast<WORD>((sub << 10) | primary);
}

WORD Parser::LanguagePart(const char* what) {
    if (current_.kind == TokenKind::Number) {
        return static_cast<WORD>(ExpectNumber(what));
    }
    if (current_.kind == TokenKind::Word) {
        for (const LanguageName& known : kLanguageNames) {
            if (EqualsNoCase(current_.text, known.name)) {
                Advance();
                return known.value;
            }
        }
        Fail("unknown language name " + current_.text);
    }
    Fail(std::string("expected ") + what);
}

void Parser::ResourceName(MenuResource& menu) {
    if (current_.kind == TokenKind::Number) {
        menu.id = static_cast<WORD>(ExpectNumber("a resource number"));
    } else if (current_.kind == TokenKind::String || current_.kind == TokenKind::Word) {
        if (current_.text.empty()) {
            Fail("empty resource name");
        }
        menu.name = UpperCase(current_.text);
        Advance();
    } else {
        Fail("expected a resource name");
    }
}

void Parser::MenuOptions(MenuResource& menu) {
    for (;;) {
        if (AtWord("LANGUAGE")) {
            Advance();
            menu.language = LanguageValue();  // for this menu only
        } else if (AtWord("CHARACTERISTICS") || AtWord("VERSION")) {
            Advance();
            if (current_.kind != TokenKind::Number) {
                Fail("expected a number");
            }
            Advance();
        } else if (current_.kind == TokenKind::Word && IsOneOf(current_.text, kMemoryOptions)) {
            Advance();
        } else {
            return;
        }
    }
}

std::vector<MenuItemResource> Parser::Block(int depth) {
    if (depth > kMaxMenuDepth) {
        Fail("menus nested too deeply");
    }
    if (current_.kind != TokenKind::OpenBrace && !AtWord("BEGIN")) {
        Fail("expected BEGIN or '{'");
    }
    Advance();
    std::vector<MenuItemResource> items;
    while (!AtBlockEnd()) {
        if (AtWord("MENUITEM")) {
            items.push_back(MenuItem());
        } else if (AtWord("POPUP")) {
            items.push_back(Popup(depth));
        } else if (current_.kind == TokenKind::End) {
            Fail("missing END");
        } else {
            Fail("expected MENUITEM, POPUP or END");
        }
    }
    Advance();
    return items;
}

MenuItemResource Parser::MenuItem() {
    Advance();
    MenuItemResource item;
    if (AtWord("SEPARATOR")) {
        Advance();
        item.separator = true;
        return item;
    }
    item.text = ExpectString("the item's text in quotes");
    if (current_.kind == TokenKind::Comma) {
        Advance();
    }
    item.id = ExpectNumber("the item's id");
    ItemOptions();
    return item;
}

MenuItemResource Parser::Popup(int depth) {
    Advance();
    MenuItemResource popup;
    popup.popup = true;
    popup.text = ExpectString("the popup's text in quotes");
    ItemOptions();
    popup.items = Block(depth + 1);
    return popup;
}

// ", GRAYED, CHECKED" or "GRAYED CHECKED": commas and blanks both separate options.
void Parser::ItemOptions() {
    for (;;) {
        if (current_.kind == TokenKind::Comma) {
            Advance();
            if (current_.kind != TokenKind::Word || !IsOneOf(current_.text, kItemOptions)) {
                Fail("expected a menu item option after ','");
            }
        } else if (current_.kind != TokenKind::Word || !IsOneOf(current_.text, kItemOptions)) {
            return;
        }
        Advance();
    }
}

// "#101" names resource 101, as on the platform.
std::optional<WORD> NumberName(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > kMaxResourceNumber) {
        return std::nullopt;
    }
    return static_cast<WORD>(value);
}

}  // namespace

ResourceParseResult ParseResourceScript(std::string_view text) {
    ResourceParseResult result;
    try {
        result.script = Parser(text).Parse();
    } catch (const ParseError& error) {
        result.error = "line " + std::to_string(error.line) + ": " + error.message;
    }
    return result;
}

const MenuResource* FindMenu(const ResourceScript& resources, LPCSTR name) {
    if (name == nullptr) {
        return nullptr;
    }
    std::optional<WORD> id;
    if (IS_INTRESOURCE(name)) {
        id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
    } else if (name[0] == '#') {
        id = NumberName(name + 1);
        if (!id) {
            return nullptr;
        }
    }
    for (const MenuResource& menu : resources.menus) {
        const bool match = id ? menu.name.empty() && menu.id == *id
                              : !menu.name.empty() && EqualsNoCase(menu.name, name);
        if (match) {
            return &menu;
        }
    }
    return nullptr;
}

const ResourceScript* ExecutableResources() {
    static const std::optional<ResourceScript> resources = []() -> std::optional<ResourceScript> {
        if (vrel_resource_script == nullptr) {
            return std::nullopt;
        }
        ResourceParseResult parsed = ParseResourceScript(vrel_resource_script);
        if (!parsed.script) {
            std::fprintf(stderr, "The program's resource script does not parse: %s\n",
                         parsed.error.c_str());
        }
        return std::move(parsed.script);
    }();
    return resources ? &*resources : nullptr;
}

}  // namespace vrel::user
