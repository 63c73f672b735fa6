#pragma once
// One song's ADL file (a tab-separated text description of the song), open on disk, with what was
// read from its sections held in memory. Reading: AdlFile.cpp. Creating and extending: AdlWriter.cpp.

#include "adl/AdlCodes.h"
#include "adl/TimeCode.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace adl {

// Text fields are NUL-terminated and hold the file's text as it stands, double quotes included
// (except the event source name). Values longer than a field are cut to fit.
struct AdlProject {
    char m_title[256] = {};
    char m_originator[256] = {};
    char m_createDate[11] = {};
    char m_notes[256] = {};
    char m_clientData[256] = {};
};

struct AdlSequence {
    char m_title[256] = {};
    char m_description[256] = {};
    SampleRateCode m_sampleRateCode = SampleRateCode::None;
    uint16_t m_sampleRateFactor = 0;
    FrameRateCode m_frameRateCode = FrameRateCode::None;
    uint16_t m_adlLevel = 0;
    int32_t m_clean = 0;
    uint16_t m_sort = 0;
    int32_t m_multichannel = 0;
    CTimeCode m_destStart; // its kinds are the song's time-code format
};

struct AdlTempoMap {
    uint16_t m_offset = 0;
    char m_signatureBar[10] = {};
    char m_signatureBeat[10] = {};
    char m_tempoBar[10] = {};
    char m_tempoBeat[10] = {};
    char m_tempoValue[10] = {};
};

struct AdlTrack {
    uint16_t m_number = 0;
    char m_name[256] = {};
};

struct AdlLocate {
    uint16_t m_number = 0; // the recorder's locate points A and B are 1 and 2
    char m_name[256] = {};
    CTimeCode m_time;
};

struct AdlEvent {
    uint16_t m_entryNumber = 0;
    EditType m_editType = EditType::None;
    SourceKind m_sourceKind = SourceKind::None;
    char m_sourceName[260] = {}; // without the quotes; empty for silence
    uint8_t m_sourceChannel = 0;
    uint8_t m_destChannel = 0; // the track, 1 to 16
    CTimeCode m_sourceIn;
    CTimeCode m_destIn;
    CTimeCode m_destOut;
    EventFlag m_flag = EventFlag::None;
};

class CAdlFile {
public:
    // A line holds at most kLineBufferSize - 2 characters before its line end.
    static constexpr size_t kLineBufferSize = 400;
    static constexpr int kMaxEvents = 5000;

    CAdlFile();
    virtual ~CAdlFile();
    CAdlFile(const CAdlFile&) = delete;
    CAdlFile& operator=(const CAdlFile&) = delete;

    // --- Reading (AdlFile.cpp) ---

    // Opens an existing .adl/.ADL file (no sharing) and reads all seven sections. On false the file
    // is closed again. Read-write opens let the writer add entries to the same file.
    bool Open(const std::string& path, bool readOnly);
    // Appends "</ADL>\r\n" when the file was made by Create, then closes.
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    // Reads one line (CR, LF or CR LF) into a buffer of kLineBufferSize bytes, without its line end.
    // False at the end of the file, on a read error or on a line that does not fit.
    bool ReadLine(char* buffer);

    // True when the text after the last "." of the path is exactly "adl" or "ADL".
    static bool HasAdlExtension(const std::string& path);

    // --- Queries (valid after a successful Open; all copy out) ---

    SampleRateCode GetSampleRateCode() const { return m_sequence.m_sampleRateCode; }
    uint16_t GetSampleRateFactor() const { return m_sequence.m_sampleRateFactor; }
    FrameRateCode GetFrameRateCode() const { return m_sequence.m_frameRateCode; }
    uint16_t GetAdlLevel() const { return m_sequence.m_adlLevel; }
    uint16_t GetSort() const { return m_sequence.m_sort; }
    int32_t GetClean() const { return m_sequence.m_clean; }
    int32_t GetMultichannel() const { return m_sequence.m_multichannel; }
    CTimeCode GetDestStart() const { return m_sequence.m_destStart; }
    AdlSequence GetSequence() const { return m_sequence; }
    AdlProject GetProject() const { return m_project; }
    AdlTempoMap GetTempoMap() const { return m_tempoMap; }

    std::string GetProjectTitle() const { return m_project.m_title; }
    std::string GetProjectOriginator() const { return m_project.m_originator; }
    std::string GetProjectCreateDate() const { return m_project.m_createDate; }
    std::string GetProjectNotes() const { return m_project.m_notes; }
    std::string GetProjectClientData() const { return m_project.m_clientData; }
    std::string GetSequenceTitle() const { return m_sequence.m_title; }
    std::string GetSequenceDescription() const { return m_sequence.m_description; }

    int GetTrackCount() const { return m_trackCount; }
    int GetLocateCount() const { return m_locateCount; }
    // Copy of record index; false (nothing copied) when index is not below the count.
    bool GetTrack(int index, AdlTrack* track) const;
    bool GetLocate(int index, AdlLocate* locate) const;
    // Name of the first track / locate point with that number; *name is left unchanged (false)
    // when there is none.
    bool GetTrackName(uint16_t number, std::string* name) const;
    bool GetLocateName(uint16_t number, std::string* name) const;
    // Time of locate point number (1 = A, 2 = B) among the first two records; a number above the
    // count means 1. A default time code when neither record carries the number.
    CTimeCode GetLocateTime(uint16_t number) const;

    int GetEventCount() const { return m_eventCount; }
    // Copies record index; false (nothing copied) when index is not below the event count.
    bool GetEvent(int index, AdlEvent* event) const;
    // Fields of event record index; 0, "" or a default time code for an index outside the list.
    uint16_t GetEventEntryNumber(int index) const;
    EditType GetEventEditType(int index) const;
    SourceKind GetEventSourceKind(int index) const;
    EventFlag GetEventFlag(int index) const;
    uint8_t GetEventSourceChannel(int index) const;
    uint8_t GetEventDestChannel(int index) const;
    std::string GetEventSourceName(int index) const;
    CTimeCode GetEventSourceIn(int index) const;
    CTimeCode GetEventDestIn(int index) const;
    CTimeCode GetEventDestOut(int index) const;

    // --- Writing (implemented in AdlWriter.cpp) ---
    // Lines end in CR LF; section tags are indented by one tab, content lines by two. A file made by
    // Create is changed in place; a file opened with Open is replaced whole by each change (built
    // beside it under UpdatePath, synced, renamed over it), so a failed write leaves it as it was.

    // Creates a new .adl/.ADL file (fails when it exists) and writes "<ADL>\r\n".
    bool Create(const std::string& path);
    // Positions the file at the start of the first line containing text; at the end when none does.
    bool FindLine(const char* text);
    // Each appends its section at the end of the file unless the file already has it.
    bool WriteVersion();
    bool WriteProject(const AdlProject& project, uint32_t mask);
    bool WriteSequence(const AdlSequence& sequence, uint16_t mask);
    bool WriteTrackList();
    bool WriteMemoryList();
    bool WriteTempoMap(const AdlTempoMap& tempoMap, uint32_t mask);
    bool WriteEventList();
    // Insert one line before the section's closing tag (the locate and entry numbers are the next free).
    bool AddTrack(const AdlTrack& track);
    bool AddLocate(const AdlLocate& locate);
    bool AddEvent(const AdlEvent& event);
    // Remove every content line of that list from the file and empty the list in memory.
    bool ClearTracks();
    bool ClearLocates();
    bool ClearEvents();
    // Name under which a changed version of an opened file is built before it replaces the file: one of
    // this program's own names beside it, which no listing takes for part of a song and a clean-up
    // may remove.
    static std::string UpdatePath(const std::string& path);

private:
    // Section readers, called by Open in this order; each continues where the previous one stopped.
    bool ReadVersion();
    bool ReadProject();
    bool ReadSequence();
    bool ReadTrackList();
    bool ReadMemoryList();
    bool ReadTempoMap();
    bool ReadEventList();
    // Reads lines until one contains tag; false at the end of the file.
    bool SkipToLine(const char* tag, char* buffer);
    // Writer helpers (AdlWriter.cpp).
    bool AppendSection(const char* tag, const std::string& content);
    bool InsertLine(const char* closingTag, const std::string& line);
    bool ReplaceRange(int64_t from, int64_t to, const std::string& text);
    bool ReplaceByNewVersion(int64_t from, int64_t to, const std::string& text);
    int NextNumber(const char* openingTag, const char* closingTag, const char* keyword);
    bool ClearList(const char* closingTag, const char* keyword);

    // Set by Create: Close then appends the closing "</ADL>" line.
    int32_t m_creating = 0;
    // Records 0 .. count-1 are valid; the vectors hold at least count records (at least one), and
    // records added while reading start zero-filled.
    std::vector<AdlTrack> m_tracks;
    std::vector<AdlLocate> m_locates;
    std::vector<AdlEvent> m_events;
    uint8_t m_version = 0;
    AdlProject m_project;
    AdlSequence m_sequence;
    AdlTempoMap m_tempoMap;
    platform::File m_file;
    // Position last obtained from or given to the file by the reader or writer.
    int64_t m_filePos = 0;
    int32_t m_trackCount = 0;
    int32_t m_locateCount = 0;
    int32_t m_eventCount = 0;
};

} // namespace adl
