#include "Json.h"

#include <cstdio>

namespace cli {
namespace {

// Length of the well-formed UTF-8 sequence at text[at] (overlong forms, surrogates and code points
// beyond U+10FFFF are not), 0 when there is none.
size_t Utf8Length(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = byte(at);
    const auto tail = [&](size_t i, unsigned low = 0x80, unsigned high = 0xBF) {
        return byte(at + i) >= low && byte(at + i) <= high;
    };
    if (lead >= 0xC2 && lead <= 0xDF)
        return tail(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        return tail(1, low, high) && tail(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        return tail(1, low, high) && tail(2) && tail(3) ? 4 : 0;
    }
    return 0;
}

} // namespace

std::string JsonQuoted(const std::string& text) {
    std::string q = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const size_t length = Utf8Length(text, at);
            q += length ? text.substr(at, length) : "\xEF\xBF\xBD"; // U+FFFD for a byte that is not UTF-8
            at += length ? length : 1;
            continue;
        }
        ++at;
        if (c == '"' || c == '\\') {
            q += '\\';
            q += static_cast<char>(c);
        } else if (c == '\n') {
            q += "\\n";
        } else if (c == '\t') {
            q += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            q += escaped;
        } else {
            q += static_cast<char>(c);
        }
    }
    return q + "\"";
}

void JsonWriter::Indent() {
    m_text += '\n';
    m_text.append(2 * m_open.size(), ' ');
}

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_open.empty())
        return;
    Open& open = m_open.back();
    if (open.hasItems)
        m_text += open.oneLine ? ", " : ",";
    open.hasItems = true;
    if (!open.oneLine)
        Indent();
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    m_text += '{';
    m_open.push_back({});
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    const Open open = m_open.back();
    m_open.pop_back();
    if (open.hasItems)
        Indent();
    m_text += '}';
    return *this;
}

JsonWriter& JsonWriter::BeginArray(bool oneLine) {
    BeforeValue();
    m_text += '[';
    m_open.push_back({false, oneLine});
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    const Open open = m_open.back();
    m_open.pop_back();
    if (open.hasItems && !open.oneLine)
        Indent();
    m_text += ']';
    return *this;
}

JsonWriter& JsonWriter::Key(const std::string& name) {
    BeforeValue();
    m_text += JsonQuoted(name) + ": ";
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(const std::string& text) {
    BeforeValue();
    m_text += JsonQuoted(text);
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
    BeforeValue();
    m_text += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    m_text += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    m_text += "null";
    return *this;
}

void JsonWriter::Print() const {
    std::fputs(Text().c_str(), stdout);
}

} // namespace cli
