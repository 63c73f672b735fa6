#include "wave/Riff.h"

#include <algorithm>

namespace wave {

uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

namespace {

uint32_t LowerId(uint32_t id) {
    uint32_t lower = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t c = (id >> shift) & 0xFFu;
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        lower |= c << shift;
    }
    return lower;
}

bool SameId(uint32_t a, uint32_t b, IdCase idCase) {
    return a == b || (idCase == IdCase::Any && LowerId(a) == LowerId(b));
}

} // namespace

FindResult Find(platform::File& file, ChunkInfo* ck, const ChunkInfo* parent, FindKind kind,
                FindOptions options) {
    const int64_t fileSize = file.Size();
    if (fileSize < 0)
        return FindResult::Short;
    int64_t end = fileSize;
    // A parent whose size field was never filled in (0 or all ones) is bounded by the file instead.
    if (parent && parent->size != 0 && parent->size != 0xFFFFFFFFu)
        end = std::min<int64_t>(end, parent->dataOffset + parent->size);
    const bool riff = kind == FindKind::Riff;
    const size_t want = riff ? 12 : 8;
    int64_t pos = file.Tell();
    while (pos + 8 <= end) {
        uint8_t header[12];
        if (file.Seek(pos, platform::Whence::Begin) < 0 ||
            file.Read(header, want) != static_cast<int64_t>(want))
            return FindResult::Short;
        const uint32_t id = ReadLe32(header);
        const uint32_t size = ReadLe32(header + 4);
        const bool match = riff ? SameId(id, kRiffId, options.idCase) &&
                                      SameId(ReadLe32(header + 8), ck->formType, options.idCase)
                                : SameId(id, ck->id, options.idCase);
        if (match) {
            ck->id = id;
            ck->size = size;
            ck->dataOffset = pos + 8;
            ck->dirty = false;
            if (riff && file.Seek(pos + 12, platform::Whence::Begin) < 0)
                return FindResult::Short;
            return FindResult::Found;
        }
        if (options.firstOnly)
            return FindResult::Missing;
        // Chunks are word aligned: an odd-sized chunk is followed by one pad byte.
        pos += 8 + static_cast<int64_t>(size) + (size & 1);
    }
    return pos == end && !options.firstOnly ? FindResult::Missing : FindResult::Short;
}

bool Descend(platform::File& file, ChunkInfo* ck, const ChunkInfo* parent, FindKind kind) {
    return Find(file, ck, parent, kind) == FindResult::Found;
}

bool CreateChunk(platform::File& file, ChunkInfo* ck, bool riff) {
    uint8_t header[12];
    PutLe32(header, riff ? kRiffId : ck->id);
    PutLe32(header + 4, ck->size);
    PutLe32(header + 8, ck->formType);
    const int64_t pos = file.Tell();
    const size_t len = riff ? 12 : 8;
    if (file.Write(header, len) != static_cast<int64_t>(len))
        return false;
    if (riff)
        ck->id = kRiffId;
    ck->dataOffset = pos + 8;
    ck->dirty = true;
    return true;
}

bool Ascend(platform::File& file, ChunkInfo* ck) {
    bool ok = true;
    if (ck->dirty) {
        const int64_t pos = file.Tell();
        const int64_t length = pos - ck->dataOffset;
        const uint32_t size = length > 0 ? static_cast<uint32_t>(length) : 0;
        if (size != ck->size) {
            uint8_t bytes[4];
            PutLe32(bytes, size);
            ok = file.Seek(ck->dataOffset - 4, platform::Whence::Begin) >= 0 && file.Write(bytes, 4) == 4;
            ck->size = size;
        }
        if (ok && (size & 1)) {
            const uint8_t zero = 0;
            ok = file.Seek(ck->dataOffset + size, platform::Whence::Begin) >= 0 && file.Write(&zero, 1) == 1;
        }
        ck->dirty = false;
    }
    const int64_t next = ck->dataOffset + static_cast<int64_t>(ck->size) + (ck->size & 1);
    return file.Seek(next, platform::Whence::Begin) >= 0 && ok;
}

} // namespace wave
