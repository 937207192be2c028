// vrelpages: writes the manual pages of vrelintro, vrelctl and vrelmovie, and vrelctl's bash
// completion, from the descriptions the programs' --help texts are made of. Run at install
// time, when the folder the default movie goes to is known.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/manual/intro_page.h"
#include "tools/manual/page.h"
#include "tools/moviemaker/options.h"
#include "tools/vrelctl/page.h"

namespace {

using vrel::manual::Page;

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "vrelpages: cannot write %s\n", path.c_str());
    }
    return static_cast<bool>(out);
}

const vrel::manual::Section* Find(const Page& page, const std::string& title) {
    for (const vrel::manual::Section& section : page.sections) {
        if (section.title == title) {
            return &section;
        }
    }
    return nullptr;
}

// Completes vrelctl's options, its commands, and the buttons after `answer`.
std::string Completion(const Page& page) {
    std::string options, commands, buttons;
    for (const vrel::manual::Entry& entry : Find(page, "options")->entries) {
        options += (options.empty() ? "" : " ") + entry.term.substr(0, entry.term.find(' '));
    }
    for (const vrel::manual::Entry& entry : Find(page, "commands")->entries) {
        std::istringstream words(entry.term);
        std::string verb, argument;
        words >> verb >> argument;
        for (char& c : verb) {
            c = c == '|' ? ' ' : c;
        }
        commands += (commands.empty() ? "" : " ") + verb;
        if (verb == "answer") {
            for (char& c : argument) {
                c = c == '|' ? ' ' : c;
            }
            buttons = argument;
        }
    }
    return "# bash completion for vrelctl\n"
           "_vrelctl() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    case $prev in\n"
           "    --pid | --timeout) return ;;\n"
           "    answer)\n"
           "        mapfile -t COMPREPLY < <(compgen -W \"" +
           buttons +
           "\" -- \"$cur\")\n"
           "        return\n"
           "        ;;\n"
           "    esac\n"
           "    mapfile -t COMPREPLY < <(compgen -W \"" +
           options + " " + commands +
           "\" -- \"$cur\")\n"
           "}\n"
           "complete -F _vrelctl vrelctl\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: vrelpages OUTDIR DATADIR DATE SOURCE\n");
        return 1;
    }
    const std::string dir = argv[1], dataDir = argv[2], date = argv[3], source = argv[4];
    const Page ctl = vrelctl::Page(vrelctl::IntroCommands());
    if (Find(ctl, "menu commands and their ids")->entries.empty()) {
        std::fprintf(stderr, "vrelpages: the intro's menu resource is missing\n");
        return 1;
    }
    const bool written =
        Write(dir + "/vrelintro.1",
              vrel::manual::ManualPage(vrel::manual::IntroPage(dataDir), date, source)) &&
        Write(dir + "/vrelctl.1", vrel::manual::ManualPage(ctl, date, source)) &&
        Write(dir + "/vrelmovie.1",
              vrel::manual::ManualPage(vrel::moviemaker::Page(), date, source)) &&
        Write(dir + "/vrelctl.bash", Completion(ctl));
    return written ? 0 : 1;
}
