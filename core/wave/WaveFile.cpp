#include "wave/WaveFile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace wave {
namespace {

using platform::Whence;

constexpr uint32_t kFormatSize = 18;
// The pad chunk ends here, so that the data header lies at 32760 and audio starts at 32768.
constexpr int64_t kPadEnd = 0x7FF0;

const uint8_t kZeros[kTransferBlock] = {};

bool WriteZeros(platform::File& file, int64_t count) {
    while (count > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(count, kTransferBlock));
        if (file.Write(kZeros, n) != static_cast<int64_t>(n))
            return false;
        count -= static_cast<int64_t>(n);
    }
    return true;
}

} // namespace

CWaveFile::~CWaveFile() {
    // Like a plain handle close: no size correction here, writers call Close.
    if (m_file.IsOpen())
        m_file.Close();
}

bool CWaveFile::HasWaveExtension(const std::string& name) {
    const std::string ext = platform::Extension(name);
    return ext == "wav" || ext == "WAV";
}

int CWaveFile::Fail(uint16_t code) {
    if (code != 0)
        m_lastError = code;
    return 0;
}

void CWaveFile::BuildFormat(uint8_t* out, uint16_t channels, uint16_t bits, uint32_t rate) {
    const uint16_t blockAlign = static_cast<uint16_t>(channels * (bits / 8));
    PutLe16(out, 1);
    PutLe16(out + 2, channels);
    PutLe32(out + 4, rate);
    PutLe32(out + 8, blockAlign * rate);
    PutLe16(out + 12, blockAlign);
    PutLe16(out + 14, bits);
    PutLe16(out + 16, 0);
}

void CWaveFile::Notify(unsigned message, uintptr_t wParam) {
    // A new range starts a new count; positions and totals only say how far the count has come.
    platform::Deliver(m_notify, m_post != 0, message, wParam, 0,
                      message == WM_TRANSFER_RANGE ? platform::Notice::Event : platform::Notice::Value);
}

void CWaveFile::SetNotify(platform::IMessageTarget* target, int post) {
    m_notify = target;
    m_post = post;
}

void CWaveFile::SetCancelFlag(const platform::CancelFlag* flag) {
    m_cancel = flag;
}

int CWaveFile::Open(const std::string& name, int readOnly) {
    if (IsOpen() || !HasWaveExtension(name))
        return 0;
    if (!m_file.Open(name, readOnly ? platform::Access::Read : platform::Access::ReadWrite,
                     platform::Disposition::OpenExisting))
        return 0;
    m_readOnly = readOnly ? 1 : 0;
    m_fileName = name;
    ForgetLayout();
    return 1;
}

namespace {

// What every file this program writes holds after its RIFF header: an 18-byte "fmt ", a "pad " chunk
// up to kPadEnd and the header of the "data" chunk, which `data` then describes (not yet ascended).
bool WriteLayout(platform::File& file, const uint8_t* format, ChunkInfo* data) {
    ChunkInfo fmt;
    fmt.id = kFmtId;
    fmt.size = kFormatSize;
    if (!CreateChunk(file, &fmt, false) || file.Write(format, kFormatSize) != kFormatSize ||
        !Ascend(file, &fmt))
        return false;
    const int64_t length = file.Tell();
    if (length > kPadEnd)
        return false;
    ChunkInfo pad;
    pad.id = kPadId;
    pad.size = static_cast<uint32_t>(kPadEnd - length);
    if (!CreateChunk(file, &pad, false) || !WriteZeros(file, pad.size) || !Ascend(file, &pad))
        return false;
    data->id = kDataId;
    return CreateChunk(file, data, false);
}

} // namespace

int CWaveFile::Create(const std::string& name, uint16_t channels, uint16_t bits, uint32_t rate) {
    if (IsOpen() || !HasWaveExtension(name) || platform::PathExists(name))
        return 0;
    if (!m_file.Open(name, platform::Access::ReadWrite, platform::Disposition::CreateNew))
        return 0;
    m_fileName = name;
    m_readOnly = 0;
    ForgetLayout();

    ChunkInfo riff;
    riff.formType = kWaveId;
    uint8_t format[kFormatSize];
    BuildFormat(format, channels, bits, rate);
    ChunkInfo data;
    const bool ok = CreateChunk(m_file, &riff, true) && WriteLayout(m_file, format, &data) &&
                    Ascend(m_file, &data) && Ascend(m_file, &riff) && m_file.Flush();
    if (!ok) {
        // A card that fills up or goes away while the header is written: leave nothing half-made.
        m_file.Close();
        platform::DeleteFile(name);
        m_fileName.clear();
        return 0;
    }
    return 1;
}

int CWaveFile::Close() {
    if (!IsOpen())
        return 0;
    ForgetLayout();
    const bool sized = m_readOnly || WriteRiffSize();
    const bool closed = m_file.Close();
    m_fileName.clear();
    return sized && closed ? 1 : 0;
}

void CWaveFile::ForgetLayout() {
    m_dataKnown = false;
    m_length = -1;
}

bool CWaveFile::WriteRiffSize() {
    if (m_length < 0)
        m_length = m_file.Seek(0, Whence::End);
    if (m_length < 8)
        return true;
    uint8_t size[4];
    PutLe32(size, static_cast<uint32_t>(std::min<int64_t>(m_length - 8, 0xFFFFFFFF)));
    return m_file.Seek(4, Whence::Begin) == 4 && m_file.Write(size, 4) == 4;
}

bool CWaveFile::FindRiff(platform::File& file, ChunkInfo* riff) {
    riff->formType = kWaveId;
    return file.Seek(0, Whence::Begin) == 0 && Descend(file, riff, nullptr, FindKind::Riff);
}

bool CWaveFile::FindChunk(platform::File& file, const ChunkInfo& riff, uint32_t id, ChunkInfo* chunk) {
    chunk->id = id;
    return file.Seek(riff.dataOffset + 4, Whence::Begin) >= 0 && Descend(file, chunk, &riff, FindKind::Chunk);
}

int CWaveFile::ReadFormatFields(uint8_t* out, size_t count) {
    ChunkInfo riff, fmt;
    if (!IsOpen())
        return 0;
    if (!FindRiff(m_file, &riff))
        return Fail(ERR_NO_RIFF);
    // Shorter than the PCM fields, or missing: there is no format to report.
    if (!FindChunk(m_file, riff, kFmtId, &fmt) || fmt.size < 16)
        return Fail(ERR_NO_CHUNK);
    return m_file.Read(out, count) == static_cast<int64_t>(count) ? 1 : 0;
}

int CWaveFile::GetFormatTag(uint16_t* tag) {
    uint8_t format[2];
    if (!ReadFormatFields(format, sizeof format))
        return 0;
    *tag = ReadLe16(format);
    return 1;
}

int CWaveFile::GetFormat(uint16_t* channels, uint16_t* bits, uint32_t* rate) {
    uint8_t format[16];
    if (!ReadFormatFields(format, sizeof format))
        return 0;
    *channels = ReadLe16(format + 2);
    *rate = ReadLe32(format + 4);
    *bits = ReadLe16(format + 14);
    return 1;
}

int CWaveFile::SetFormat(uint16_t channels, uint16_t bits, uint32_t rate) {
    ChunkInfo riff, fmt;
    if (!IsOpen() || m_readOnly)
        return 0;
    if (!FindRiff(m_file, &riff))
        return Fail(ERR_NO_RIFF);
    if (!FindChunk(m_file, riff, kFmtId, &fmt) || fmt.size < 16)
        return Fail(ERR_NO_CHUNK);
    uint8_t format[kFormatSize];
    BuildFormat(format, channels, bits, rate);
    // A 16-byte chunk (as PC programs write it) gets no extra-size field: it would overwrite the next chunk.
    const size_t len = std::min<uint32_t>(fmt.size, kFormatSize);
    if (m_file.Write(format, len) != static_cast<int64_t>(len) || !m_file.Flush())
        return 0;
    return 1;
}

uint64_t CWaveFile::GetRiffSize() {
    ChunkInfo riff;
    if (!IsOpen() || !FindRiff(m_file, &riff)) {
        Fail(ERR_NO_RIFF);
        return 0;
    }
    return static_cast<uint64_t>(riff.size) + 8;
}

uint32_t CWaveFile::GetChunkSize(int kind) {
    static const uint32_t ids[] = {kFmtId, kPadId, kDataId};
    if (!IsOpen() || kind < CHUNK_FMT || kind > CHUNK_DATA)
        return 0;
    ChunkInfo riff, chunk;
    if (!FindRiff(m_file, &riff))
        return Fail(ERR_NO_RIFF);
    if (!FindChunk(m_file, riff, ids[kind - 1], &chunk))
        return Fail(ERR_NO_CHUNK);
    return chunk.size;
}

bool CWaveFile::CopyBlocks(Fill fill, const uint8_t* data, platform::File* source, uint64_t sourceAvail,
                           uint32_t count, uint16_t writeCode, uint16_t* code) {
    uint32_t remaining = count;
    while (remaining > 0) {
        if (platform::IsCancelled(m_cancel))
            break;
        uint32_t n = std::min(remaining, kTransferBlock);
        const uint8_t* block = kZeros;
        if (fill == Fill::Source) {
            // A source that ends early or fails would otherwise never finish the count.
            n = static_cast<uint32_t>(std::min<uint64_t>(n, sourceAvail));
            // Written straight from the source's read buffer: one copy of each byte on our side.
            const int64_t got = n > 0 ? source->ReadView(&block, n) : 0;
            if (got <= 0) {
                *code = ERR_SOURCE_SHORT;
                return false;
            }
            n = static_cast<uint32_t>(got);
            sourceAvail -= n;
        } else if (fill == Fill::Memory) {
            block = data + (count - remaining);
        }
        if (m_file.Write(block, n) != static_cast<int64_t>(n)) {
            *code = writeCode;
            return false;
        }
        remaining -= n;
        m_bytesWritten += n;
        Notify(WM_TRANSFER_POS, count - remaining);
        Notify(WM_TRANSFER_TOTAL, static_cast<uintptr_t>(m_bytesWritten));
    }
    return true;
}

uint16_t CWaveFile::FindData(ChunkInfo* data) {
    if (!m_dataKnown) {
        ChunkInfo riff;
        if (!FindRiff(m_file, &riff))
            return ERR_NO_RIFF;
        if (!FindChunk(m_file, riff, kDataId, &m_data))
            return ERR_NO_DATA;
        m_dataKnown = true;
    }
    *data = m_data;
    return 0;
}

uint16_t CWaveSource::FindData() {
    if (m_dataKnown)
        return 0;
    ChunkInfo riff;
    if (!CWaveFile::FindRiff(m_file, &riff))
        return CWaveFile::ERR_NO_RIFF;
    if (!CWaveFile::FindChunk(m_file, riff, kDataId, &m_data))
        return CWaveFile::ERR_NO_DATA;
    m_dataKnown = true;
    return 0;
}

bool CWaveSource::Open(const std::string& name) {
    if (!m_file.Open(name, platform::Access::Read, platform::Disposition::OpenExisting))
        return false;
    m_fileName = name;
    m_dataKnown = false;
    return true;
}

int CWaveFile::WriteIntoData(Fill fill, const uint8_t* data, platform::File* source, uint64_t sourceAvail,
                             uint32_t count, uint32_t destOffset, uint16_t writeCode,
                             const ChunkInfo& dataChunk) {
    uint16_t code = writeCode;
    // The data size must still fit the 32-bit size fields once the bytes are written.
    bool ok = static_cast<uint64_t>(dataChunk.dataOffset) + destOffset + count <= 0xFFFFFFFFull;
    ChunkInfo out = dataChunk;
    if (ok) {
        // The ascend below sets the size to the end of this write.
        out.dirty = true;
        ok = m_file.Seek(out.dataOffset + destOffset, Whence::Begin) >= 0 &&
             CopyBlocks(fill, data, source, sourceAvail, count, writeCode, &code);
    }
    // The audio reaches the file before the sizes that claim it; a failed write leaves them as they were.
    bool sized = !out.dirty;
    if (out.dirty && Ascend(m_file, &out)) {
        // Ascend leaves the file after the chunk and its pad byte, which the file now reaches at least.
        if (ok && m_length >= 0)
            m_length = std::max(m_length, m_file.Tell());
        else
            m_length = -1;
        sized = WriteRiffSize();
    }
    // Buffered writes meet a full disk here at the latest.
    const bool flushed = m_file.Flush();
    if (ok && !(sized && flushed)) {
        code = writeCode;
        ok = false;
    }
    m_data.size = out.size;
    if (!ok)
        ForgetLayout();
    return ok ? 1 : Fail(code);
}

int CWaveFile::CopyFrom(const std::string& source, uint32_t count, uint32_t sourceOffset,
                        uint32_t destOffset) {
    CWaveSource src;
    if (!src.Open(source))
        return Fail(ERR_SOURCE_OPEN);
    return CopyFrom(src, count, sourceOffset, destOffset);
}

int CWaveFile::CopyFrom(CWaveSource& source, uint32_t count, uint32_t sourceOffset, uint32_t destOffset) {
    if (!source.IsOpen())
        return Fail(ERR_SOURCE_OPEN);
    ChunkInfo data;
    const uint16_t found = FindData(&data);
    const uint16_t srcFound = source.FindData();
    // Reported in the order the headers are read: both RIFF chunks, then both data chunks.
    if (found == ERR_NO_RIFF || srcFound == ERR_NO_RIFF)
        return Fail(ERR_NO_RIFF);
    if (found != 0 || srcFound != 0)
        return Fail(found != 0 ? found : srcFound);
    // Only the source's audio is copied, never the chunks that may follow it.
    const ChunkInfo& srcData = source.m_data;
    const uint64_t srcSize = srcData.size == 0xFFFFFFFFu ? UINT64_MAX : srcData.size;
    const uint64_t avail = srcSize > sourceOffset ? srcSize - sourceOffset : 0;
    if (source.m_file.Seek(srcData.dataOffset + sourceOffset, Whence::Begin) < 0)
        return Fail(ERR_SOURCE_SHORT);
    return WriteIntoData(Fill::Source, nullptr, &source.m_file, avail, count, destOffset, ERR_WRITE, data);
}

int CWaveFile::WriteSilence(uint32_t count, uint32_t destOffset) {
    if (!IsOpen() || m_readOnly)
        return 0;
    ChunkInfo data;
    if (const uint16_t code = FindData(&data); code != 0)
        return Fail(code);
    return WriteIntoData(Fill::Zero, nullptr, nullptr, 0, count, destOffset, ERR_WRITE, data);
}

int CWaveFile::WriteData(const void* data, uint32_t count, uint32_t destOffset) {
    if (!IsOpen() || m_readOnly)
        return 0;
    ChunkInfo chunk;
    if (FindData(&chunk) != 0)
        return 0;
    return WriteIntoData(Fill::Memory, static_cast<const uint8_t*>(data), nullptr, 0, count, destOffset, 0,
                         chunk);
}

int CWaveFile::ImportFile(const std::string& source) {
    if (!IsOpen() || m_readOnly)
        return 0;
    ForgetLayout();
    ChunkInfo riff;
    riff.formType = kWaveId;
    if (m_file.Seek(0, Whence::Begin) != 0 || !CreateChunk(m_file, &riff, true))
        return Fail(ERR_WRITE);
    platform::File src;
    if (!src.Open(source, platform::Access::Read, platform::Disposition::OpenExisting))
        return 0;

    uint16_t code = 0;
    bool ok = true;
    ChunkInfo srcRiff, srcFmt, srcData;
    uint8_t format[kFormatSize] = {};
    if (!FindRiff(src, &srcRiff)) {
        code = ERR_NO_RIFF;
        ok = false;
    } else if (!FindChunk(src, srcRiff, kFmtId, &srcFmt) || srcFmt.size < 16) {
        code = ERR_NO_CHUNK;
        ok = false;
    } else if (src.Read(format, 16) != 16) {
        code = ERR_SOURCE_SHORT;
        ok = false;
    }
    // The copy always has an 18-byte format chunk; its extra-size field says no extra bytes follow.
    PutLe16(format + 16, 0);

    ChunkInfo data;
    if (ok && !WriteLayout(m_file, format, &data)) {
        code = ERR_WRITE;
        ok = false;
    }
    if (ok && !FindChunk(src, srcRiff, kDataId, &srcData)) {
        code = ERR_NO_DATA;
        ok = false;
    }
    if (ok) {
        Notify(WM_TRANSFER_RANGE, srcData.size);
        ok = CopyBlocks(Fill::Source, nullptr, &src, srcData.size, srcData.size, ERR_WRITE, &code);
    }
    if (data.dirty && !Ascend(m_file, &data) && ok) {
        code = ERR_WRITE;
        ok = false;
    }
    const bool ascended = Ascend(m_file, &riff);
    if ((!ascended || !m_file.Flush()) && ok) {
        code = ERR_WRITE;
        ok = false;
    }
    return ok ? 1 : Fail(code);
}

} // namespace wave
