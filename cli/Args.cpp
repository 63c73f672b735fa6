#include "Args.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace cli {

const std::set<std::string> kCommonFlags = {"--help", "--quiet", "--verbose"};

namespace {

// The long name of a short option letter; empty for a letter no option has.
std::string LongNameOf(char letter) {
    switch (letter) {
    case 'h':
        return "--help";
    case 'q':
        return "--quiet";
    case 'y':
        return "--yes";
    default:
        return {};
    }
}

// A group of short options ("-y", "-qy"): each letter's long name into args; false (args.error set)
// when a letter is no option of the command.
bool ParseShortOptions(const std::string& word, const std::set<std::string>& allowed, Args* args) {
    for (size_t i = 1; i < word.size(); ++i) {
        const std::string name = LongNameOf(word[i]);
        if (name.empty() || (!allowed.count(name) && !kCommonFlags.count(name))) {
            args->error = std::string("unknown option -") + word[i];
            return false;
        }
        args->flags.insert(name);
    }
    return true;
}

// Where the value of an option that takes one goes; null for the others.
std::string* ValueOf(Args* args, const std::string& option) {
    if (option == "--tracks")
        return &args->tracks;
    if (option == "--stereo")
        return &args->stereo;
    if (option == "--svg")
        return &args->svg;
    return nullptr;
}

std::string MissingValueText(const std::string& option) {
    if (option == "--svg")
        return "--svg needs a file name";
    return option == "--tracks" ? "--tracks needs a list such as 1,3,5-8" : option + " needs split or mix";
}

// The long option at words[*i] (and its value: "--tracks 1-4" moves *i on to it); false (args.error set)
// when it is no option of the command, or its value is missing or not wanted.
bool ParseLongOption(const std::vector<std::string>& words, size_t* i, const std::set<std::string>& allowed,
                     Args* args) {
    const std::string& w = words[*i];
    std::string name = w, value;
    const auto eq = w.find('=');
    if (eq != std::string::npos) {
        name = w.substr(0, eq);
        value = w.substr(eq + 1);
    }
    if (!allowed.count(name) && !kCommonFlags.count(name)) {
        args->error = "unknown option " + name;
        return false;
    }
    if (std::string* field = ValueOf(args, name)) {
        if (eq == std::string::npos) {
            if (*i + 1 >= words.size()) {
                args->error = MissingValueText(name);
                return false;
            }
            value = words[++*i];
        }
        *field = value;
    } else if (eq != std::string::npos) {
        args->error = name + " takes no value";
        return false;
    }
    args->flags.insert(name);
    return true;
}

} // namespace

Args ParseArgs(const std::vector<std::string>& words, const std::set<std::string>& allowed) {
    Args args;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (optionsEnded || w.size() < 2 || w[0] != '-') {
            args.positional.push_back(w);
            continue;
        }
        if (w == "--") {
            optionsEnded = true;
            continue;
        }
        const bool understood =
            w[1] != '-' ? ParseShortOptions(w, allowed, &args) : ParseLongOption(words, &i, allowed, &args);
        if (!understood)
            return args;
    }
    return args;
}

bool ParseTrackList(const std::string& text, std::vector<int>* tracks) {
    tracks->clear();
    std::istringstream in(text);
    std::string item;
    auto number = [](const std::string& s, int* n) {
        if (s.empty() || s.size() > 2 ||
            !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        *n = std::atoi(s.c_str());
        return *n >= 1 && *n <= 16;
    };
    while (std::getline(in, item, ',')) {
        int first = 0, last = 0;
        const auto dash = item.find('-');
        if (dash == std::string::npos) {
            if (!number(item, &first))
                return false;
            last = first;
        } else if (!number(item.substr(0, dash), &first) || !number(item.substr(dash + 1), &last) ||
                   last < first) {
            return false;
        }
        for (int t = first; t <= last; ++t)
            tracks->push_back(t);
    }
    std::sort(tracks->begin(), tracks->end());
    tracks->erase(std::unique(tracks->begin(), tracks->end()), tracks->end());
    return !tracks->empty();
}

} // namespace cli
