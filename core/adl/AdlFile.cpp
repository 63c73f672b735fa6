#include "adl/AdlFile.h"

#include "adl/LineFields.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace adl {

namespace {

// Copies a value into a fixed field, cutting what does not fit.
template <size_t N> void CopyField(char (&field)[N], const char* value, size_t length) {
    const size_t n = std::min(length, N - 1);
    std::memcpy(field, value, n);
    field[n] = '\0';
}

template <size_t N> void CopyField(char (&field)[N], const char* value) {
    CopyField(field, value, std::strlen(value));
}

// atoi without undefined behaviour on out-of-range numbers.
int ToInt(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// The event source name without its double quotes: from the second character up to the last quote.
// A name without quotes is taken as it stands; an opening quote that never closes gives the rest.
void CopySourceName(char (&field)[260], const char* value) {
    const char* lastQuote = std::strrchr(value, '"');
    if (lastQuote == nullptr) {
        CopyField(field, value);
    } else if (lastQuote == value) {
        CopyField(field, value + 1);
    } else {
        CopyField(field, value + 1, static_cast<size_t>(lastQuote - value - 1));
    }
}

// Makes room for record `count`, zero-filled: new records are value-initialised, and a record left
// behind by a dropped line is cleared again.
template <typename T> T& FreshRecord(std::vector<T>& list, int32_t count) {
    const auto index = static_cast<size_t>(count);
    if (list.size() <= index) {
        list.resize(index + 1);
    } else {
        list[index] = T{};
    }
    return list[index];
}

// Takes one "(SEQ_...)" line into the sequence; unknown keywords are passed over.
void SetSequenceField(AdlSequence& s, const char* keyword, const char* value) {
    if (std::strcmp(keyword, "(SEQ_TITLE)") == 0) {
        CopyField(s.m_title, value);
    } else if (std::strcmp(keyword, "(SEQ_DESCRIPT)") == 0) {
        CopyField(s.m_description, value);
    } else if (std::strcmp(keyword, "(SEQ_SAMPLE_RATE)") == 0) {
        const SampleRateCode code = SampleRateCodeOfText(value);
        if (code != SampleRateCode::None) {
            s.m_sampleRateCode = code;
        }
    } else if (std::strcmp(keyword, "(SEQ_SAMP_RATE_FACTOR)") == 0) {
        s.m_sampleRateFactor = static_cast<uint16_t>(ToInt(value));
    } else if (std::strcmp(keyword, "(SEQ_FRAME_RATE)") == 0) {
        const FrameRateCode code = FrameRateCodeOfText(value);
        if (code != FrameRateCode::None) {
            s.m_frameRateCode = code;
        }
    } else if (std::strcmp(keyword, "(SEQ_ADL_LEVEL)") == 0) {
        s.m_adlLevel = static_cast<uint16_t>(ToInt(value));
    } else if (std::strcmp(keyword, "(SEQ_CLEAN)") == 0) {
        s.m_clean = std::strcmp(value, "TRUE") == 0 ? 1 : 0;
    } else if (std::strcmp(keyword, "(SEQ_SORT)") == 0) {
        s.m_sort = static_cast<uint16_t>(ToInt(value));
    } else if (std::strcmp(keyword, "(SEQ_MULTICHAN)") == 0) {
        s.m_multichannel = std::strcmp(value, "TRUE") == 0 ? 1 : 0;
    } else if (std::strcmp(keyword, "(SEQ_DEST_START)") == 0) {
        s.m_destStart.Parse(value); // a bad value only marks the time code invalid
    }
}

// How the fields after "(Entry)" read: a line that ends early is dropped; a time code or flag that
// cannot be read makes the whole file unusable.
enum class EntryRead { Taken, Dropped, Broken };

// The fields of one entry line in order, remembering why the reading stopped.
struct EntryFields {
    CLineFields& line;
    EntryRead result = EntryRead::Taken;

    const char* Next() {
        const char* field = line.Next();
        if (field == nullptr) {
            result = EntryRead::Dropped;
        }
        return field;
    }
    template <typename T> bool Number(T* value) {
        const char* field = Next();
        if (field != nullptr) {
            *value = static_cast<T>(ToInt(field));
        }
        return field != nullptr;
    }
    bool Time(CTimeCode* time) {
        const char* field = Next();
        if (field != nullptr && !time->Parse(field)) {
            result = EntryRead::Broken;
        }
        return result == EntryRead::Taken;
    }
    bool Flag(EventFlag* flag) {
        const char* field = Next();
        if (field != nullptr && (*flag = EventFlagOfText(field)) == EventFlag::None) {
            result = EntryRead::Broken;
        }
        return result == EntryRead::Taken;
    }
};

// Source kind, name, source channel, destination channel and source in of an entry that plays a file.
bool ReadSourceFields(EntryFields& f, AdlEvent* ev) {
    const char* kind = f.Next();
    if (kind == nullptr) {
        return false;
    }
    ev->m_sourceKind = SourceKindOfText(kind);
    const char* name = f.Next();
    if (name == nullptr) {
        return false;
    }
    CopySourceName(ev->m_sourceName, name);
    return f.Number(&ev->m_sourceChannel) && f.Number(&ev->m_destChannel) && f.Time(&ev->m_sourceIn);
}

// A silence has no source fields: the destination channel follows its edit type.
bool ReadSilenceFields(EntryFields& f, AdlEvent* ev) {
    ev->m_sourceKind = SourceKind::Silence;
    if (!f.Number(&ev->m_destChannel)) {
        return false;
    }
    // Its source in is fixed and takes no field.
    ev->m_sourceIn.Set(0, CTimeCode::FPS_30, CTimeCode::RATE_44100);
    return true;
}

EntryRead ReadEntry(CLineFields& line, AdlEvent* ev) {
    EntryFields f{line};
    const char* type = f.Number(&ev->m_entryNumber) ? f.Next() : nullptr;
    if (type == nullptr) {
        return f.result;
    }
    ev->m_editType = EditTypeOfText(type);
    const bool source =
        ev->m_editType == EditType::Silence ? ReadSilenceFields(f, ev) : ReadSourceFields(f, ev);
    if (source && f.Time(&ev->m_destIn) && f.Time(&ev->m_destOut)) {
        f.Flag(&ev->m_flag);
    }
    return f.result;
}

} // namespace

CAdlFile::CAdlFile() : m_tracks(1), m_locates(1), m_events(1) {}

CAdlFile::~CAdlFile() {
    if (m_file.IsOpen()) {
        Close();
    }
}

bool CAdlFile::HasAdlExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    const std::string ext = path.substr(dot + 1);
    return ext == "adl" || ext == "ADL";
}

bool CAdlFile::Open(const std::string& path, bool readOnly) {
    if (!HasAdlExtension(path)) {
        return false;
    }
    if (m_file.IsOpen()) {
        Close();
    }
    m_creating = 0;
    const auto access = readOnly ? platform::Access::Read : platform::Access::ReadWrite;
    if (!m_file.Open(path, access, platform::Disposition::OpenExisting)) {
        return false;
    }
    m_filePos = 0;
    if (!ReadVersion() || !ReadProject() || !ReadSequence() || !ReadTrackList() || !ReadMemoryList() ||
        !ReadTempoMap() || !ReadEventList()) {
        Close();
        return false;
    }
    return true;
}

void CAdlFile::Close() {
    if (!m_file.IsOpen()) {
        return;
    }
    if (m_creating) {
        static const char kClosing[] = "</ADL>\r\n";
        m_filePos = m_file.Seek(0, platform::Whence::End);
        if (m_filePos >= 0) {
            m_file.Write(kClosing, sizeof(kClosing) - 1);
        }
        m_creating = 0;
    }
    m_file.Close();
    m_filePos = 0;
}

bool CAdlFile::ReadLine(char* buffer) {
    std::memset(buffer, 0, kLineBufferSize);
    // One read of the longest line that can end, its line end and the byte after a CR; the file is
    // then put back where byte-by-byte reading would have stopped, so line starts stay exact.
    char chunk[kLineBufferSize + 1];
    const int64_t start = m_file.Tell();
    const int64_t got = m_file.Read(chunk, sizeof chunk);
    if (got <= 0) {
        m_filePos = m_file.Tell();
        return false;
    }
    const auto available = static_cast<size_t>(got);
    size_t length = 0;
    size_t consumed = available;
    bool ended = false;
    for (size_t i = 0; i < available; ++i) {
        const char c = chunk[i];
        if (c == '\n') {
            consumed = i + 1;
            ended = true;
            break;
        }
        if (c == '\r') {
            // CR LF is one line end; a CR alone ends the line and the byte after it starts the next.
            // Only a byte actually there is given back, so a CR at the end of the file cannot loop.
            consumed = (i + 1 < available && chunk[i + 1] == '\n') ? i + 2 : i + 1;
            ended = true;
            break;
        }
        buffer[length++] = c;
        if (length == kLineBufferSize - 1) {
            consumed = i + 1; // 399 characters without a line end: too long
            break;
        }
    }
    m_filePos = m_file.Seek(start + static_cast<int64_t>(consumed), platform::Whence::Begin);
    return ended;
}

bool CAdlFile::SkipToLine(const char* tag, char* buffer) {
    while (ReadLine(buffer)) {
        if (std::strstr(buffer, tag) != nullptr) {
            return true;
        }
    }
    return false;
}

bool CAdlFile::ReadVersion() {
    char line[kLineBufferSize];
    if (!SkipToLine("<VERSION>", line)) {
        return false;
    }
    m_version = 0;
    while (ReadLine(line)) {
        if (std::strstr(line, "</VERSION>") != nullptr) {
            return true;
        }
    }
    return false;
}

bool CAdlFile::ReadProject() {
    char line[kLineBufferSize];
    if (!SkipToLine("<PROJECT>", line)) {
        return false;
    }
    m_project = AdlProject{};
    while (ReadLine(line)) {
        if (std::strstr(line, "</PROJECT>") != nullptr) {
            return true;
        }
        CLineFields fields(line);
        const char* keyword = fields.Next();
        if (keyword == nullptr) {
            return false;
        }
        const char* value = fields.Next();
        if (value == nullptr) {
            continue;
        }
        if (std::strcmp(keyword, "(PROJ_TITLE)") == 0) {
            CopyField(m_project.m_title, value);
        } else if (std::strcmp(keyword, "(PROJ_ORIGINATOR)") == 0) {
            CopyField(m_project.m_originator, value);
        } else if (std::strcmp(keyword, "(PROJ_CREATE_DATE)") == 0) {
            CopyField(m_project.m_createDate, value);
        } else if (std::strcmp(keyword, "(PROJ_NOTES)") == 0) {
            CopyField(m_project.m_notes, value);
        } else if (std::strcmp(keyword, "(PROJ_CLIENT_DATA)") == 0) {
            CopyField(m_project.m_clientData, value);
        }
    }
    return false;
}

bool CAdlFile::ReadSequence() {
    char line[kLineBufferSize];
    if (!SkipToLine("<SEQUENCE>", line)) {
        return false;
    }
    m_sequence = AdlSequence{};
    m_sequence.m_destStart.Set(0, 0, 0);
    AdlSequence& s = m_sequence;
    while (ReadLine(line)) {
        if (std::strstr(line, "</SEQUENCE>") != nullptr) {
            return true;
        }
        CLineFields fields(line);
        const char* keyword = fields.Next();
        if (keyword == nullptr) {
            return false;
        }
        const char* value = fields.Next();
        if (value == nullptr) {
            continue;
        }
        SetSequenceField(s, keyword, value);
    }
    return false;
}

bool CAdlFile::ReadTrackList() {
    char line[kLineBufferSize];
    if (!SkipToLine("<TRACKLIST>", line)) {
        return false;
    }
    m_trackCount = 0;
    m_tracks.assign(1, AdlTrack{});
    while (ReadLine(line)) {
        if (std::strstr(line, "</TRACKLIST>") != nullptr) {
            return true;
        }
        AdlTrack& track = FreshRecord(m_tracks, m_trackCount);
        CLineFields fields(line);
        const char* keyword = fields.Next();
        if (keyword == nullptr) {
            return false;
        }
        if (std::strcmp(keyword, "(Track)") == 0) {
            const char* number = fields.Next();
            const char* name = number != nullptr ? fields.Next() : nullptr;
            if (name == nullptr) {
                return false;
            }
            track.m_number = static_cast<uint16_t>(ToInt(number));
            CopyField(track.m_name, name);
        }
        // Any other line still takes a (empty) record.
        ++m_trackCount;
    }
    return false;
}

bool CAdlFile::ReadMemoryList() {
    char line[kLineBufferSize];
    if (!SkipToLine("<MEMLIST>", line)) {
        return false;
    }
    m_locateCount = 0;
    m_locates.assign(1, AdlLocate{});
    while (ReadLine(line)) {
        if (std::strstr(line, "</MEMLIST>") != nullptr) {
            return true;
        }
        AdlLocate& locate = FreshRecord(m_locates, m_locateCount);
        CLineFields fields(line);
        const char* keyword = fields.Next();
        if (keyword == nullptr) {
            return false;
        }
        if (std::strcmp(keyword, "(Memory)") != 0) {
            continue;
        }
        const char* number = fields.Next();
        const char* name = number != nullptr ? fields.Next() : nullptr;
        const char* time = name != nullptr ? fields.Next() : nullptr;
        if (time == nullptr) {
            continue; // too few fields: the record stays cleared and is not counted
        }
        locate.m_number = static_cast<uint16_t>(ToInt(number));
        CopyField(locate.m_name, name);
        locate.m_time.Parse(time); // a bad time only marks the time code invalid
        ++m_locateCount;
    }
    return false;
}

bool CAdlFile::ReadTempoMap() {
    char line[kLineBufferSize];
    if (!SkipToLine("<TEMPO_MAP>", line)) {
        return false;
    }
    m_tempoMap = AdlTempoMap{};
    AdlTempoMap& t = m_tempoMap;
    while (ReadLine(line)) {
        if (std::strstr(line, "</TEMPO_MAP>") != nullptr) {
            return true;
        }
        CLineFields fields(line);
        const char* keyword = fields.Next("\t");
        if (keyword == nullptr) {
            return false;
        }
        const char* value = fields.Next(" \t");
        if (value == nullptr) {
            continue;
        }
        if (std::strcmp(keyword, "(Offset)") == 0) {
            t.m_offset = static_cast<uint16_t>(ToInt(value));
        } else if (std::strcmp(keyword, "(Signature)") == 0) {
            CopyField(t.m_signatureBar, value);
            const char* beat = fields.Next("\t");
            if (beat == nullptr) {
                // The rest of the section is passed over by the search for the event list.
                t.m_signatureBar[0] = '\0';
                t.m_signatureBeat[0] = '\0';
                return true;
            }
            CopyField(t.m_signatureBeat, beat);
        } else if (std::strcmp(keyword, "(Tempo)") == 0) {
            CopyField(t.m_tempoBar, value);
            const char* beat = fields.Next(" \t");
            const char* tempo = beat != nullptr ? fields.Next(" \t") : nullptr;
            if (tempo == nullptr) {
                t.m_tempoBar[0] = '\0';
                t.m_tempoBeat[0] = '\0';
                return false;
            }
            CopyField(t.m_tempoBeat, beat);
            CopyField(t.m_tempoValue, tempo);
        }
    }
    return false;
}

bool CAdlFile::ReadEventList() {
    char line[kLineBufferSize];
    if (!SkipToLine("<EVENT_LIST>", line)) {
        return false;
    }
    m_eventCount = 0;
    m_events.assign(1, AdlEvent{});
    // Room for the entries the rest of the file can hold (an entry line has at least 48 characters),
    // so that a long list is not copied over and over while it grows.
    const int64_t rest = m_file.Size() - m_file.Tell();
    if (rest > 0) {
        m_events.reserve(static_cast<size_t>(std::min<int64_t>(kMaxEvents + 1, rest / 48 + 1)));
    }
    while (ReadLine(line)) {
        if (std::strstr(line, "</EVENT_LIST>") != nullptr) {
            return true;
        }
        AdlEvent& ev = FreshRecord(m_events, m_eventCount);
        CLineFields fields(line);
        const char* keyword = fields.Next();
        if (keyword == nullptr) {
            return false;
        }
        if (std::strcmp(keyword, "(Entry)") != 0) {
            continue;
        }
        const EntryRead read = ReadEntry(fields, &ev);
        if (read == EntryRead::Broken) {
            return false;
        }
        if (read == EntryRead::Dropped) {
            ev = AdlEvent{};
            continue;
        }
        if (++m_eventCount == kMaxEvents) {
            return true; // the rest of the list is not read
        }
    }
    return false;
}

bool CAdlFile::GetTrack(int index, AdlTrack* track) const {
    if (index < 0 || index >= m_trackCount) {
        return false;
    }
    *track = m_tracks[static_cast<size_t>(index)];
    return true;
}

bool CAdlFile::GetLocate(int index, AdlLocate* locate) const {
    if (index < 0 || index >= m_locateCount) {
        return false;
    }
    *locate = m_locates[static_cast<size_t>(index)];
    return true;
}

bool CAdlFile::GetTrackName(uint16_t number, std::string* name) const {
    for (int i = 0; i < m_trackCount; ++i) {
        if (m_tracks[static_cast<size_t>(i)].m_number == number) {
            *name = m_tracks[static_cast<size_t>(i)].m_name;
            return true;
        }
    }
    return false;
}

bool CAdlFile::GetLocateName(uint16_t number, std::string* name) const {
    for (int i = 0; i < m_locateCount; ++i) {
        if (m_locates[static_cast<size_t>(i)].m_number == number) {
            *name = m_locates[static_cast<size_t>(i)].m_name;
            return true;
        }
    }
    return false;
}

CTimeCode CAdlFile::GetLocateTime(uint16_t number) const {
    if (number > m_locateCount) {
        number = 1;
    }
    const int examined = std::min(m_locateCount, 2);
    for (int i = 0; i < examined; ++i) {
        if (m_locates[static_cast<size_t>(i)].m_number == number) {
            return m_locates[static_cast<size_t>(i)].m_time;
        }
    }
    return CTimeCode();
}

bool CAdlFile::GetEvent(int index, AdlEvent* event) const {
    if (index < 0 || index >= m_eventCount) {
        return false;
    }
    *event = m_events[static_cast<size_t>(index)];
    return true;
}

// Field queries answer the cleared value for an index outside the list instead of reading past it.
#define ADL_EVENT_FIELD(Type, Name, member, fallback)                                                        \
    Type CAdlFile::Name(int index) const {                                                                   \
        if (index < 0 || index >= m_eventCount) {                                                            \
            return fallback;                                                                                 \
        }                                                                                                    \
        return m_events[static_cast<size_t>(index)].member;                                                  \
    }

ADL_EVENT_FIELD(uint16_t, GetEventEntryNumber, m_entryNumber, 0)
ADL_EVENT_FIELD(EditType, GetEventEditType, m_editType, EditType::None)
ADL_EVENT_FIELD(SourceKind, GetEventSourceKind, m_sourceKind, SourceKind::None)
ADL_EVENT_FIELD(EventFlag, GetEventFlag, m_flag, EventFlag::None)
ADL_EVENT_FIELD(uint8_t, GetEventSourceChannel, m_sourceChannel, 0)
ADL_EVENT_FIELD(uint8_t, GetEventDestChannel, m_destChannel, 0)
ADL_EVENT_FIELD(std::string, GetEventSourceName, m_sourceName, std::string())
ADL_EVENT_FIELD(CTimeCode, GetEventSourceIn, m_sourceIn, CTimeCode())
ADL_EVENT_FIELD(CTimeCode, GetEventDestIn, m_destIn, CTimeCode())
ADL_EVENT_FIELD(CTimeCode, GetEventDestOut, m_destOut, CTimeCode())

#undef ADL_EVENT_FIELD

} // namespace adl
