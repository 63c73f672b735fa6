#pragma once
// A demo card made entirely by this program: songs at 44.1 and 48 kHz whose tracks overlap, leave
// gaps and hold a silenced stretch, and a song with two stereo mixdowns for a CD. Each region plays its
// own tone, so a listener hears which region a rendered track takes its audio from.

#include <string>

namespace cli {

// Writes the demo songs into the folder `card` (created when missing). Fails, naming the reason in
// *error, when a demo song is already there or a file cannot be written.
bool MakeDemoCard(const std::string& card, std::string* error);

} // namespace cli
