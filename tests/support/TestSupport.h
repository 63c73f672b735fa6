#pragma once
// Helpers shared by the test executables.

#include "platform/Faults.h"

#include <cstdint>
#include <functional>
#include <map>
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
// Every file (its bytes) and folder (a name ending in "/", no bytes) under a folder, by relative path.
using Tree = std::map<std::string, std::vector<uint8_t>>;
Tree ReadTree(const std::string& folder);
// Copies a folder with everything in it to `to`, which must not exist yet.
bool CopyTree(const std::string& from, const std::string& to);
// Path of a fixture in tests/data.
std::string DataPath(const std::string& name);
// True when the program is on PATH (tests that need an outside tool skip without it).
bool HaveTool(const std::string& name);
// Runs a shell command, returning its exit status and capturing standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// A fault sweep: runs step(n) for n = 1, 2, ..., where each step plans a fault at its nth call of some
// kind and returns how many such calls its run made. The sweep ends after the first run that finished
// before its fault (fewer calls than n), or at a fatal failure. Reaching `cap` runs first fails the
// test: the runs beyond the cap would pass unchecked. Returns the number of runs the fault struck.
int64_t SweepFaults(int64_t cap, const std::function<int64_t(int64_t n)>& step);

// Runs `job` in a child process that ends just before its nth change to a file or a folder, as a kill
// or a pulled card would (platform::faults::Plan::exitAtChange; `plan` gives the other fields). True
// when the kill struck, false when the job ran to its end first. For a sweep of kills: SweepFaults with
// a step that returns n when this is true and n - 1 when it is false.
bool KilledAt(int64_t n, const std::function<void()>& job, platform::faults::Plan plan = {});

} // namespace testsupport
