#pragma once
// Command-line arguments: positional words and the few options the commands take.

#include <set>
#include <string>
#include <vector>

namespace cli {

struct Args {
    std::vector<std::string> positional;
    std::set<std::string> flags; // long names, e.g. "--yes", "--ab", "--full", "--help", "--quiet"
    std::string tracks;          // value of --tracks
    std::string stereo;          // value of --stereo
    std::string svg;             // value of --svg
    std::string error;           // set when the arguments cannot be understood
    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
};

// `allowed` lists the flags the command knows besides those every command takes (kCommonFlags);
// "--tracks", "--stereo" and "--svg" take a value. Short options stand for long ones (-h --help, -q --quiet,
// -y --yes) and may be grouped ("-qy").
Args ParseArgs(const std::vector<std::string>& words, const std::set<std::string>& allowed);

// Taken by every command: --help, --quiet, --verbose.
extern const std::set<std::string> kCommonFlags;

// "1,3,5-8" -> {1,3,5,6,7,8}; false when the list is malformed or a number is outside 1..16.
bool ParseTrackList(const std::string& text, std::vector<int>* tracks);

} // namespace cli
