#pragma once
// One WAV file: open or create with the fixed header layout (audio from offset 32768), read and
// rewrite its format, and the transfer operations that move audio in 2048-byte blocks with progress
// messages and a cancel flag read before every block.

#include "platform/File.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"
#include "wave/Riff.h"

#include <cstdint>
#include <string>

namespace wave {

// Progress messages notified (or posted) to the notify target by the transfer operations; none needs an
// answer. RANGE is an event, POS and TOTAL are values (platform::Notice).
constexpr unsigned WM_TRANSFER_RANGE = platform::WM_USER + 200; // wParam: source data size (ImportFile)
constexpr unsigned WM_TRANSFER_POS = platform::WM_USER + 201;   // wParam: bytes of this operation so far
constexpr unsigned WM_TRANSFER_TOTAL = platform::WM_USER + 202; // wParam: bytes written since construction

constexpr uint32_t kTransferBlock = 2048;
// Where the audio starts in every file this class creates.
constexpr uint32_t kAudioOffset = 32768;

// A WAV file held open as the source of copies (CWaveFile::CopyFrom), so that a render that takes many
// stretches from one file opens it once and finds its audio once.
class CWaveSource {
public:
    CWaveSource() = default;
    CWaveSource(const CWaveSource&) = delete;
    CWaveSource& operator=(const CWaveSource&) = delete;

    // Opens read-only and held; any name (no extension rule). The layout is read at the first copy.
    bool Open(const std::string& name);
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& GetFileName() const { return m_fileName; }
    // errno of a failed Open.
    int LastError() const { return m_file.LastError(); }

private:
    friend class CWaveFile;
    // 0 once the data chunk is known, else ERR_NO_RIFF or ERR_NO_DATA.
    uint16_t FindData();

    platform::File m_file;
    std::string m_fileName;
    ChunkInfo m_data;
    bool m_dataKnown = false;
};

class CWaveFile {
public:
    // Failure codes kept by GetLastError.
    enum ERR_CODE : uint16_t {
        ERR_SOURCE_OPEN = 1,  // a copy's source cannot be opened (or names a file outside its folder)
        ERR_NO_RIFF = 2,      // no RIFF "WAVE" chunk at the start of this file or the source
        ERR_SOURCE_SHORT = 3, // the source failed or ended before the requested count was copied
        ERR_NO_DATA = 4,      // no "data" chunk inside the RIFF chunk
        ERR_NO_CHUNK = 5,     // the chunk asked for is not there
        ERR_WRITE = 7,        // writing audio failed
    };
    enum ChunkKind { CHUNK_FMT = 1, CHUNK_PAD = 2, CHUNK_DATA = 3 };

    CWaveFile() = default;
    virtual ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    int Open(const std::string& name, int readOnly);
    // Never overwrites: fails when the name exists. A failure leaves no file behind.
    int Create(const std::string& name, uint16_t channels, uint16_t bits, uint32_t rate);
    // Corrects the RIFF size (unless read-only) and closes.
    int Close();

    int GetFormat(uint16_t* channels, uint16_t* bits, uint32_t* rate);
    // The format tag as well (1 = PCM); same rules as GetFormat.
    int GetFormatTag(uint16_t* tag);
    int SetFormat(uint16_t channels, uint16_t bits, uint32_t rate);
    // RIFF size + 8 (the file length the header claims), or 0.
    uint64_t GetRiffSize();
    // Size of CHUNK_FMT, CHUNK_PAD or CHUNK_DATA, or 0.
    uint32_t GetChunkSize(int kind);

    // post = 0: the messages are notified (IMessageTarget::Notify), otherwise posted.
    void SetNotify(platform::IMessageTarget* target, int post);
    void SetCancelFlag(const platform::CancelFlag* flag);

    // Rebuilds this open, writable file as a copy of the WAV file source (its format included).
    int ImportFile(const std::string& source);
    // Copies count bytes of source's audio from sourceOffset to this file's audio at destOffset.
    int CopyFrom(const std::string& source, uint32_t count, uint32_t sourceOffset, uint32_t destOffset);
    // The same from a source already open; ERR_SOURCE_OPEN when it is not.
    int CopyFrom(CWaveSource& source, uint32_t count, uint32_t sourceOffset, uint32_t destOffset);
    int WriteSilence(uint32_t count, uint32_t destOffset);
    int WriteData(const void* data, uint32_t count, uint32_t destOffset);

    bool IsOpen() const { return m_file.IsOpen(); }
    uint16_t GetLastError() const { return m_lastError; }
    uint64_t GetBytesWritten() const { return m_bytesWritten; }
    const std::string& GetFileName() const { return m_fileName; }

    // True when the text after the last "." is exactly "wav" or "WAV".
    static bool HasWaveExtension(const std::string& name);

private:
    friend class CWaveSource;
    enum class Fill { Zero, Memory, Source };
    int Fail(uint16_t code);
    // Seeks to 0 and finds the RIFF "WAVE" chunk, then (id != 0) the chunk id inside it.
    static bool FindRiff(platform::File& file, ChunkInfo* riff);
    // The first `count` bytes (at most 16) of the format chunk's PCM fields.
    int ReadFormatFields(uint8_t* out, size_t count);
    static bool FindChunk(platform::File& file, const ChunkInfo& riff, uint32_t id, ChunkInfo* chunk);
    // The block loop shared by the transfer operations; returns false with *code set on failure.
    bool CopyBlocks(Fill fill, const uint8_t* data, platform::File* source, uint64_t sourceAvail,
                    uint32_t count, uint16_t writeCode, uint16_t* code);
    // This file's data chunk: 0, or ERR_NO_RIFF / ERR_NO_DATA. Found once while the file stays open
    // here, as no one else writes a held file.
    uint16_t FindData(ChunkInfo* data);
    // Writes count bytes at destOffset into the data chunk, then makes the data size and the RIFF size
    // claim what the file holds (the header is true after every transfer).
    int WriteIntoData(Fill fill, const uint8_t* data, platform::File* source, uint64_t sourceAvail,
                      uint32_t count, uint32_t destOffset, uint16_t writeCode, const ChunkInfo& dataChunk);
    // The RIFF size becomes the file's length minus 8.
    bool WriteRiffSize();
    // Forgets what was found about this file's layout and length.
    void ForgetLayout();
    void Notify(unsigned message, uintptr_t wParam);
    static void BuildFormat(uint8_t* out, uint16_t channels, uint16_t bits, uint32_t rate);

    platform::File m_file;
    platform::IMessageTarget* m_notify = nullptr;
    std::string m_fileName;
    uint16_t m_lastError = 0;
    int m_post = 0;
    uint64_t m_bytesWritten = 0;
    const platform::CancelFlag* m_cancel = nullptr;
    int m_readOnly = 0;
    ChunkInfo m_data;
    bool m_dataKnown = false;
    // The file's length, -1 until asked for: a held file only grows through the transfers made here.
    int64_t m_length = -1;
};

} // namespace wave
