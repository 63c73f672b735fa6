#pragma once
// A libburn data source that yields exactly `size` bytes of a file from `offset` and then reports
// the end, so a track never runs into the staged audio of the next one.

#include <sys/types.h>

namespace burn {
struct burn_source;
}

namespace cdwriter {

// The file descriptor must stay open until libburn frees the source. Null when out of memory.
burn::burn_source* NewStashSource(int fd, off_t offset, off_t size);

} // namespace cdwriter
