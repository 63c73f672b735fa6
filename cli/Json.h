#pragma once
// One JSON document on stdout (--json): objects and arrays written as they are built, indented by two
// spaces. Names off a card may hold any bytes; what is not UTF-8 becomes U+FFFD, so the document
// always parses.

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    // An array on one line (for a short list of numbers) or one item a line.
    JsonWriter& BeginArray(bool oneLine = false);
    JsonWriter& EndArray();
    // The name of the next member of the current object.
    JsonWriter& Key(const std::string& name);
    JsonWriter& String(const std::string& text);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // A number, or null when `known` is false.
    JsonWriter& NumberOrNull(bool known, int64_t value) { return known ? Number(value) : Null(); }

    // The document with a final line break; prints it on stdout.
    std::string Text() const { return m_text + "\n"; }
    void Print() const;

private:
    void BeforeValue();
    void Indent();

    std::string m_text;
    struct Open {
        bool hasItems = false; // a member is written yet
        bool oneLine = false;
    };
    std::vector<Open> m_open; // the objects and arrays not closed yet, innermost last
    bool m_afterKey = false;
};

// The text as a JSON string, quotes included.
std::string JsonQuoted(const std::string& text);

} // namespace cli
