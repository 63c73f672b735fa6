#pragma once
// The names this program gives the temporary things it makes on a card (a song being built, a new
// version of a song's file, a copy on its way in, a write test, the halves of a restore). They all
// start with one prefix, which the song listing always skips and which a clean-up may remove: a name
// without it is never this program's leftover, whatever it looks like.

#include <string>

namespace platform {

constexpr const char kOwnNamePrefix[] = ".pelmora-";

// True when the last component of `name` carries the prefix.
bool IsOwnName(const std::string& name);
// A name no other program or run of this one uses at the same time: the prefix, the kind ("new",
// "test", ...), this process and a count, then `tail` (the name of what it stands for, or a suffix).
std::string NewOwnName(const std::string& kind, const std::string& tail = {});
// The fixed name of a kind's stand-in for `name`, for things found again by name (the new version of
// a song's file, the halves of a restore): the prefix, the kind, then the name.
std::string OwnNameFor(const std::string& kind, const std::string& name);
// The kind of an own name ("new" for ".pelmora-new-..."), empty for a name that is not one.
std::string OwnNameKind(const std::string& name);
// True when `name` was made by NewOwnName in a process that has ended: what it names is nobody's work
// any more. False for this process, a process still running, and a name without a process.
bool IsOwnNameOfEndedProcess(const std::string& name);

} // namespace platform
