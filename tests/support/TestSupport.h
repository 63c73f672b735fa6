#pragma once
// Helpers shared by the test executables.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void RemoveTree(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
// Path of a fixture in tests/data.
std::string DataPath(const std::string& name);
// True when the program is on PATH (tests that need an outside tool skip without it).
bool HaveTool(const std::string& name);
// Runs a shell command, returning its exit status and capturing standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

} // namespace testsupport
