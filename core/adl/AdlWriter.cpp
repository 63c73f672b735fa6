// The writer half of CAdlFile: creating a file section by section and inserting single lines in
// front of a section's closing tag.

#include "adl/AdlFile.h"

#include "adl/LineFields.h"
#include "platform/FileSystem.h"
#include "platform/OwnNames.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace adl {

using platform::Whence;

namespace {

// Each line is formatted into a buffer of this size; a line that would not fit is refused rather
// than cut, since a cut line loses its line end and spoils the file.
constexpr size_t kLineSize = 400;

bool FormatLine(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

bool FormatLine(std::string* out, const char* format, ...) {
    char buffer[kLineSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(buffer)) {
        return false;
    }
    out->append(buffer, static_cast<size_t>(n));
    return true;
}

// The sequence's title, description and rates, each line only where the mask asks for it.
bool AppendSequenceRates(const AdlSequence& sequence, uint16_t mask, std::string* out) {
    std::string& content = *out;
    bool ok = true;
    if (mask & 0x001) {
        ok = ok && FormatLine(&content, "\t\t(SEQ_TITLE)\t%s\r\n", sequence.m_title);
    }
    if (mask & 0x002) {
        ok = ok && FormatLine(&content, "\t\t(SEQ_DESCRIPT)\t%s\r\n", sequence.m_description);
    }
    if (mask & 0x004) {
        if (const char* rate = SampleRateCodeText(sequence.m_sampleRateCode)) {
            ok = ok && FormatLine(&content, "\t\t(SEQ_SAMPLE_RATE)\t%s\r\n", rate);
        }
    }
    if (mask & 0x008) {
        ok = ok && FormatLine(&content, "\t\t(SEQ_SAMP_RATE_FACTOR)\t%d\r\n", sequence.m_sampleRateFactor);
    }
    if (mask & 0x010) {
        if (const char* frames = FrameRateCodeText(sequence.m_frameRateCode)) {
            ok = ok && FormatLine(&content, "\t\t(SEQ_FRAME_RATE)\t%s\r\n", frames);
        }
    }
    return ok;
}

// The sequence's level, flags and destination start, each line only where the mask asks for it.
bool AppendSequenceFlags(const AdlSequence& sequence, uint16_t mask, std::string* out) {
    std::string& content = *out;
    bool ok = true;
    if (mask & 0x020) {
        ok = ok && FormatLine(&content, "\t\t(SEQ_ADL_LEVEL)\t%d\r\n", sequence.m_adlLevel);
    }
    if (mask & 0x040) {
        ok = ok && FormatLine(&content, "\t\t(SEQ_CLEAN)\t%s\r\n", sequence.m_clean ? "TRUE" : "FALSE");
    }
    if (mask & 0x080) {
        ok = ok && FormatLine(&content, "\t\t(SEQ_SORT)\t%d\r\n", sequence.m_sort);
    }
    if (mask & 0x100) {
        ok = ok &&
             FormatLine(&content, "\t\t(SEQ_MULTICHAN)\t%s\r\n", sequence.m_multichannel ? "TRUE" : "FALSE");
    }
    if (mask & 0x200) {
        ok =
            ok && FormatLine(&content, "\t\t(SEQ_DEST_START)\t%s\r\n", sequence.m_destStart.Format().c_str());
    }
    return ok;
}

} // namespace

std::string CAdlFile::UpdatePath(const std::string& path) {
    return platform::JoinPath(platform::DirName(path),
                              platform::OwnNameFor("update", platform::BaseName(path)));
}

bool CAdlFile::Create(const std::string& path) {
    if (!HasAdlExtension(path) || m_file.IsOpen()) {
        return false;
    }
    if (!m_file.Open(path, platform::Access::ReadWrite, platform::Disposition::CreateNew)) {
        return false;
    }
    m_creating = 1;
    static const char kOpening[] = "<ADL>\r\n";
    const bool ok = m_file.Write(kOpening, sizeof(kOpening) - 1) == sizeof(kOpening) - 1;
    m_filePos = m_file.Tell();
    return ok;
}

bool CAdlFile::FindLine(const char* text) {
    if (!m_file.IsOpen()) {
        return false;
    }
    m_filePos = m_file.Seek(0, Whence::Begin);
    char line[kLineBufferSize];
    for (;;) {
        const int64_t start = m_file.Tell();
        if (!ReadLine(line)) {
            break;
        }
        if (std::strstr(line, text) != nullptr) {
            m_filePos = m_file.Seek(start, Whence::Begin);
            return true;
        }
    }
    m_filePos = m_file.Seek(0, Whence::End);
    return false;
}

bool CAdlFile::AppendSection(const char* tag, const std::string& content) {
    if (!m_file.IsOpen()) {
        return false;
    }
    if (FindLine(tag)) {
        return true; // already there: a section is written once
    }
    std::string text;
    if (!FormatLine(&text, "\t%s\r\n", tag)) {
        return false;
    }
    text += content;
    if (!FormatLine(&text, "\t</%s\r\n", tag + 1)) {
        return false;
    }
    const bool ok = m_file.Write(text.data(), text.size()) == static_cast<int64_t>(text.size());
    m_filePos = m_file.Tell();
    return ok;
}

bool CAdlFile::WriteVersion() {
    return AppendSection("<VERSION>", std::string());
}
bool CAdlFile::WriteTrackList() {
    return AppendSection("<TRACKLIST>", std::string());
}
bool CAdlFile::WriteMemoryList() {
    return AppendSection("<MEMLIST>", std::string());
}
bool CAdlFile::WriteEventList() {
    return AppendSection("<EVENT_LIST>", std::string());
}

bool CAdlFile::WriteProject(const AdlProject& project, uint32_t mask) {
    std::string content;
    bool ok = true;
    if (mask & 0x01) {
        ok = ok && FormatLine(&content, "\t\t(PROJ_TITLE)\t\"%s\"\r\n", project.m_title);
    }
    // These two keywords differ from the ones read back; cards in the field hold files written so.
    if (mask & 0x02) {
        ok = ok && FormatLine(&content, "\t\t(PROJ_ORIGNATOR)\t\"%s\"\r\n", project.m_originator);
    }
    if (mask & 0x04) {
        ok = ok && FormatLine(&content, "\t\t(PROJ_CREATE_DATE)\t%s\r\n", project.m_createDate);
    }
    if (mask & 0x08) {
        ok = ok && FormatLine(&content, "\t\t(PROJ_NOTE)\t\"%s\"\r\n", project.m_notes);
    }
    if (mask & 0x10) {
        ok = ok && FormatLine(&content, "\t\t(PROJ_CLIENT_DATA)\t\"%s\"\r\n", project.m_clientData);
    }
    return ok && AppendSection("<PROJECT>", content);
}

bool CAdlFile::WriteSequence(const AdlSequence& sequence, uint16_t mask) {
    std::string content;
    const bool ok =
        AppendSequenceRates(sequence, mask, &content) && AppendSequenceFlags(sequence, mask, &content);
    return ok && AppendSection("<SEQUENCE>", content);
}

bool CAdlFile::WriteTempoMap(const AdlTempoMap& tempoMap, uint32_t mask) {
    std::string content;
    bool ok = true;
    if (mask & 0x1) {
        ok = ok && FormatLine(&content, "\t\t(Offset)\t%d\r\n", tempoMap.m_offset);
    }
    if (mask & 0x2) {
        ok = ok && FormatLine(&content, "\t\t(Signature)\t%s\t%s\r\n", tempoMap.m_signatureBar,
                              tempoMap.m_signatureBeat);
    }
    if (mask & 0x4) {
        ok = ok && FormatLine(&content, "\t\t(Tempo)\t%s\t%s\t%s\r\n", tempoMap.m_tempoBar,
                              tempoMap.m_tempoBeat, tempoMap.m_tempoValue);
    }
    return ok && AppendSection("<TEMPO_MAP>", content);
}

int CAdlFile::NextNumber(const char* openingTag, const char* closingTag, const char* keyword) {
    // Every numbered line of the section counts, also those behind a comment or other line, so
    // that a new line never repeats a number. 0 when the section cannot be read to its end: a
    // number guessed from part of it could repeat one.
    char line[kLineBufferSize];
    if (!FindLine(openingTag) || !ReadLine(line)) {
        return 0;
    }
    int highest = 0;
    while (ReadLine(line)) {
        if (std::strstr(line, closingTag) != nullptr) {
            return highest + 1;
        }
        CLineFields fields(line);
        const char* first = fields.Next();
        if (first == nullptr || std::strcmp(first, keyword) != 0) {
            continue;
        }
        const char* number = fields.Next();
        if (number != nullptr) {
            highest =
                std::max(highest, static_cast<int>(std::clamp(std::strtol(number, nullptr, 10), 0L, 65535L)));
        }
    }
    return 0;
}

bool CAdlFile::AddTrack(const AdlTrack& track) {
    std::string line;
    if (!FormatLine(&line, "\t\t(Track)\t%d\t\"%s\"\r\n", track.m_number, track.m_name)) {
        return false;
    }
    return InsertLine("</TRACKLIST>", line);
}

bool CAdlFile::AddLocate(const AdlLocate& locate) {
    if (!m_file.IsOpen()) {
        return false;
    }
    const std::string time = locate.m_time.Format();
    if (time.empty()) {
        return false;
    }
    const int number = NextNumber("<MEMLIST>", "</MEMLIST>", "(Memory)");
    std::string line;
    if (number == 0 ||
        !FormatLine(&line, "\t\t(Memory)\t%02d\t\"%s\"\t%s\r\n", number, locate.m_name, time.c_str())) {
        return false;
    }
    return InsertLine("</MEMLIST>", line);
}

bool CAdlFile::AddEvent(const AdlEvent& event) {
    if (!m_file.IsOpen()) {
        return false;
    }
    // A line with an empty time code would make the whole song unreadable: write nothing instead.
    const std::string sourceIn = event.m_sourceIn.Format();
    const std::string destIn = event.m_destIn.Format();
    const std::string destOut = event.m_destOut.Format();
    if (sourceIn.empty() || destIn.empty() || destOut.empty()) {
        return false;
    }
    const int number = NextNumber("<EVENT_LIST>", "</EVENT_LIST>", "(Entry)");
    if (number == 0) {
        return false;
    }
    // Every entry is written with the plain flag; an edit type without a text of its own is a Cut.
    const char* flag = EventFlagText(EventFlag::Plain);
    const char* type = EditTypeText(event.m_editType);
    std::string line;
    if (event.m_editType == EditType::Silence) {
        // A silence carries no source fields: written with them, the reader would take the source kind
        // for the track and fail on the file name as a time code, and the song would no longer open.
        if (!FormatLine(&line, "\t\t(Entry)\t%04d\t%s\t%d\t%s\t%s\t%s\r\n", number, type, event.m_destChannel,
                        destIn.c_str(), destOut.c_str(), flag)) {
            return false;
        }
    } else if (!FormatLine(&line, "\t\t(Entry)\t%04d\t%s\t%s\t\"%s\"\t1\t%d\t%s\t%s\t%s\t%s\r\n", number,
                           type ? type : EditTypeText(EditType::Cut),
                           SourceKindText(event.m_sourceKind == SourceKind::Tape ? SourceKind::Tape
                                                                                 : SourceKind::File),
                           event.m_sourceName, event.m_destChannel, sourceIn.c_str(), destIn.c_str(),
                           destOut.c_str(), flag)) {
        return false;
    }
    return InsertLine("</EVENT_LIST>", line);
}

bool CAdlFile::InsertLine(const char* closingTag, const std::string& line) {
    if (!m_file.IsOpen() || !FindLine(closingTag)) {
        return false;
    }
    return ReplaceRange(m_filePos, m_filePos, line);
}

bool CAdlFile::ReplaceRange(int64_t from, int64_t to, const std::string& text) {
    // A file being created is not a song yet: it is changed in place. An existing song is changed
    // only by replacing it whole, so that a failed write never leaves it unreadable.
    if (m_file.IsReadOnly()) {
        return false; // opened for reading only: the song must not change
    }
    if (!m_creating) {
        return ReplaceByNewVersion(from, to, text);
    }
    const int64_t size = m_file.Seek(0, Whence::End);
    if (size < 0 || from > to || to > size) {
        return false;
    }
    std::vector<uint8_t> rest(static_cast<size_t>(size - to));
    bool ok = m_file.Seek(to, Whence::Begin) == to &&
              m_file.Read(rest.data(), rest.size()) == static_cast<int64_t>(rest.size()) &&
              m_file.Seek(from, Whence::Begin) == from &&
              m_file.Write(text.data(), text.size()) == static_cast<int64_t>(text.size()) &&
              m_file.Write(rest.data(), rest.size()) == static_cast<int64_t>(rest.size());
    if (ok && static_cast<int64_t>(text.size()) < to - from) {
        ok = m_file.SetEndOfFile();
    }
    m_filePos = m_file.Tell();
    return ok;
}

bool CAdlFile::ReplaceByNewVersion(int64_t from, int64_t to, const std::string& text) {
    const std::string path = m_file.Path();
    const std::string temp = UpdatePath(path);
    const int64_t size = m_file.Seek(0, Whence::End);
    if (size < 0 || from > to || to > size) {
        return false;
    }
    std::vector<uint8_t> old(static_cast<size_t>(size));
    if (m_file.Seek(0, Whence::Begin) != 0 ||
        m_file.Read(old.data(), old.size()) != static_cast<int64_t>(old.size())) {
        m_filePos = m_file.Tell();
        return false;
    }

    // The new version is complete and on the medium before it takes the song's name; until then
    // the song keeps its old file, held by this object.
    platform::File next;
    platform::DeleteFile(temp);
    bool ok = next.Open(temp, platform::Access::ReadWrite, platform::Disposition::CreateNew);
    ok = ok && next.Write(old.data(), static_cast<size_t>(from)) == from &&
         next.Write(text.data(), text.size()) == static_cast<int64_t>(text.size()) &&
         next.Write(old.data() + to, static_cast<size_t>(size - to)) == size - to && next.Sync();
    if (ok) {
        const uint32_t attributes = platform::GetFileAttributes(path);
        if (attributes != platform::INVALID_FILE_ATTRIBUTES) {
            platform::SetFileAttributes(temp, attributes & ~platform::FILE_ATTRIBUTE_DIRECTORY);
        }
        ok = platform::RenameReplace(temp, path);
    }
    if (!ok) {
        if (next.IsOpen()) {
            next.Close();
        }
        platform::DeleteFile(temp);
        m_filePos = m_file.Seek(0, Whence::End);
        return false;
    }
    // The held handle still names the replaced file: take the new one (the change itself is done).
    m_file.Close();
    next.Close();
    if (!m_file.Open(path, platform::Access::ReadWrite, platform::Disposition::OpenExisting)) {
        m_filePos = 0;
        return true;
    }
    m_filePos = m_file.Seek(0, Whence::End);
    return true;
}

bool CAdlFile::ClearList(const char* closingTag, const char* keyword) {
    if (!m_file.IsOpen() || !FindLine(closingTag)) {
        return false;
    }
    const int64_t closing = m_filePos;
    // The first such line of the file; none before the closing tag leaves the file as it is.
    if (!FindLine(keyword) || m_filePos > closing) {
        m_filePos = m_file.Seek(0, Whence::End);
        return true;
    }
    return ReplaceRange(m_filePos, closing, std::string());
}

bool CAdlFile::ClearTracks() {
    const bool ok = ClearList("</TRACKLIST>", "(Track)");
    if (ok) {
        m_tracks.assign(1, AdlTrack{});
        m_trackCount = 0;
    }
    return ok;
}

bool CAdlFile::ClearLocates() {
    const bool ok = ClearList("</MEMLIST>", "(Memory)");
    if (ok) {
        m_locates.assign(1, AdlLocate{});
        m_locateCount = 0;
    }
    return ok;
}

bool CAdlFile::ClearEvents() {
    const bool ok = ClearList("</EVENT_LIST>", "(Entry)");
    if (ok) {
        m_events.assign(1, AdlEvent{});
        m_eventCount = 0;
    }
    return ok;
}

} // namespace adl
