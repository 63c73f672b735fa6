#pragma once
// A small RIFF chunk layer over platform::File: find the "WAVE" form, descend into a chunk, create a
// chunk, and ascend with the size correction that writers rely on.

#include "platform/File.h"

#include <cstdint>

namespace wave {

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr uint32_t kRiffId = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t kWaveId = MakeFourCC('W', 'A', 'V', 'E');
constexpr uint32_t kFmtId = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t kPadId = MakeFourCC('p', 'a', 'd', ' ');
constexpr uint32_t kDataId = MakeFourCC('d', 'a', 't', 'a');

struct ChunkInfo {
    uint32_t id = 0;
    uint32_t size = 0;      // as the header says (for RIFF it counts the form type)
    uint32_t formType = 0;  // RIFF chunks only
    int64_t dataOffset = 0; // first byte after the size field
    bool dirty = false;     // created here: Ascend writes the size it finds
};

enum class FindKind { Riff, Chunk };

// How chunk ids and form types compare. This program's own files match exactly; the disc service takes
// "riff", "wave" and "data" in any letter case, as some PC programs write them.
enum class IdCase { Exact, Any };

struct FindOptions {
    IdCase idCase = IdCase::Exact;
    bool firstOnly = false; // only the chunk at the current position may be the one
};

enum class FindResult {
    Found,
    Missing, // every chunk there was read and none is the one
    Short, // the file ends inside a header or a chunk (or where the first header should be), or a read failed
};

// Looks from the current position for a RIFF chunk of form ck->formType (FindKind::Riff) or for the
// chunk ck->id inside parent (FindKind::Chunk; without a parent, up to the end of the file), skipping
// other chunks and their pad bytes. When found, the file stands at the chunk's contents (after the
// form type for RIFF).
FindResult Find(platform::File& file, ChunkInfo* ck, const ChunkInfo* parent, FindKind kind,
                FindOptions options = {});
// Find with exact ids: true when found.
bool Descend(platform::File& file, ChunkInfo* ck, const ChunkInfo* parent, FindKind kind);

// Writes a header at the current position (with ck->size, and ck->formType when riff) and marks the
// chunk for size correction.
bool CreateChunk(platform::File& file, ChunkInfo* ck, bool riff);

// For a created chunk: the size becomes the current position minus the contents' start (rewritten when
// it changed) and an odd size gets its pad byte. Then the file stands after the chunk.
bool Ascend(platform::File& file, ChunkInfo* ck);

uint16_t ReadLe16(const uint8_t* p);
uint32_t ReadLe32(const uint8_t* p);
void PutLe16(uint8_t* p, uint16_t v);
void PutLe32(uint8_t* p, uint32_t v);

} // namespace wave
