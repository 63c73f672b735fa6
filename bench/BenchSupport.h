#pragma once
// What the benchmarks share: a scratch folder, timing, the median of rounds, the PC's track files they start
// from, and the samples of a finished file for comparing ours with a peer tool's.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// A new folder of its own under $TMPDIR (or /tmp) whose name starts with `name`; it is removed with
// everything in it when the program exits. Aborts when no folder can be made.
std::string ScratchFolder(const std::string& name);

double Seconds(std::chrono::steady_clock::duration d);
double SecondsSince(std::chrono::steady_clock::time_point since);
// The middle of the rounds' figures (the upper one of an even count): one slow round on a shared
// machine does not move it.
double Median(std::vector<double> v);

// tr01.wav .. trNN.wav in `folder` as PC programs write them (a 44-byte header), mono 16-bit at `rate`,
// `samples` of noise each (every file different). False when a file cannot be written.
bool WritePcTrackFiles(const std::string& folder, int count, uint32_t rate, uint32_t samples);

// The 16-bit samples of a WAV file's data chunk, which ends both our files (audio at 32768) and the
// peer tools' (a plain 44-byte header). Empty when the file cannot be read.
std::vector<int16_t> DataSamples(const std::string& path);

} // namespace bench
