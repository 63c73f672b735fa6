#include "adl/LineFields.h"

namespace adl {

namespace {

// Delimiter sets hold one or two characters; a plain scan beats the library's set functions here.
bool IsDelimiter(char c, const char* delimiters) {
    for (const char* d = delimiters; *d != '\0'; ++d) {
        if (c == *d) {
            return true;
        }
    }
    return false;
}

} // namespace

char* CLineFields::Next(const char* delimiters) {
    if (m_next == nullptr) {
        return nullptr;
    }
    char* start = m_next;
    while (*start != '\0' && IsDelimiter(*start, delimiters)) {
        ++start;
    }
    if (*start == '\0') {
        m_next = nullptr;
        return nullptr;
    }
    char* end = start;
    while (*end != '\0' && !IsDelimiter(*end, delimiters)) {
        ++end;
    }
    if (*end == '\0') {
        m_next = nullptr;
    } else {
        *end = '\0';
        m_next = end + 1;
    }
    return start;
}

} // namespace adl
