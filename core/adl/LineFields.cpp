#include "adl/LineFields.h"

#include <cstring>

char* CLineFields::Next(const char* delimiters) {
    if (m_next == nullptr) {
        return nullptr;
    }
    char* start = m_next + std::strspn(m_next, delimiters);
    if (*start == '\0') {
        m_next = nullptr;
        return nullptr;
    }
    char* end = start + std::strcspn(start, delimiters);
    if (*end == '\0') {
        m_next = nullptr;
    } else {
        *end = '\0';
        m_next = end + 1;
    }
    return start;
}
