// The import and the export of 16 tracks of 3 minutes behind the real progress dialog, with a page
// window that handles the transfer messages the way the card pages do, beside the same jobs with no
// window at all. Both run in the same process, round after round, and the ratio of the medians says
// what showing progress costs the work. The job's own time is measured (from RunJob to its return):
// the dialog's fixed start-up delay is not part of it.
//
// Usage: pelmora_bench_progress [rounds=15] [folder=/dev/shm, else /tmp]

#include "BenchSupport.h"
#include "app/ProgressDlg.h"
#include "app/QtMessageTarget.h"
#include "card/ExportJob.h"
#include "card/ImportJob.h"
#include "card/NewSong.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <QApplication>
#include <QEventLoop>

#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kSamples = kRate * 180;

// Processor time of the whole process (every thread, the UI thread's included).
double ProcessorSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// How often the calling thread gave up the processor of its own accord (waited for something).
long VoluntarySwitches() {
    struct rusage usage {};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

// Processor time the UI thread spent: its clock is taken at start-up.
clockid_t g_uiClock;
double UiSeconds() {
    timespec t{};
    ::clock_gettime(g_uiClock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Times the job it wraps and hands the page the job's bar, as the import page keeps it.
class CTimedJob : public platform::CProgressJob {
public:
    explicit CTimedJob(platform::CProgressJob& job) : m_job(job) {}
    void RunJob(platform::ITextLine* progressText, platform::ITextLine* statusText,
                platform::IProgressBar* bar, platform::CancelFlag* cancel) override {
        m_bar = bar;
        const double cpu = ProcessorSeconds(), ui = UiSeconds();
        const long waits = VoluntarySwitches();
        const auto start = std::chrono::steady_clock::now();
        m_job.RunJob(progressText, statusText, bar, cancel);
        m_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        m_cpu = ProcessorSeconds() - cpu;
        m_ui = UiSeconds() - ui;
        m_waits = VoluntarySwitches() - waits;
    }
    long Waits() const { return m_waits; }
    double Ui() const { return m_ui; }
    double Seconds() const { return m_seconds; }
    double Cpu() const { return m_cpu; }
    platform::IProgressBar* Bar() const { return m_bar; }

private:
    platform::CProgressJob& m_job;
    std::atomic<platform::IProgressBar*> m_bar{nullptr};
    double m_seconds = 0;
    double m_cpu = 0;
    double m_ui = 0;
    long m_waits = 0;
};

struct Run {
    double seconds = 0;
    double cpu = 0;     // processor time of the process meanwhile
    double ui = 0;      // of the UI thread alone
    long waits = 0;     // times the job's thread waited
    bool whole = false; // all 16 tracks done
    long calls = 0;     // page handler runs, to show how far the values were merged
};

// The job behind the dialog, with a page window handling the transfer messages.
template <class Job, class Params, class Handle> Run WithWindow(const Params& params, Handle handle) {
    Run run;
    CTimedJob* timed = nullptr;
    gui::CQtMessageTarget page([&](unsigned message, uintptr_t wParam, intptr_t) -> intptr_t {
        ++run.calls;
        handle(timed->Bar(), message, static_cast<int64_t>(wParam));
        return 0;
    });
    Job job(params, nullptr, &page);
    CTimedJob timedJob(job);
    timed = &timedJob;
    gui::CProgressDlg dialog;
    dialog.SetJob(&timedJob);
    dialog.DoModal();
    run.seconds = timedJob.Seconds();
    run.cpu = timedJob.Cpu();
    run.ui = timedJob.Ui();
    run.waits = timedJob.Waits();
    run.whole = job.Result().written.size() == 16;
    return run;
}

// The same job with no window: no bar, no page. It runs on a thread of its own, as behind the dialog.
template <class Job, class Params> Run WithoutWindow(const Params& params) {
    Job job(params, nullptr);
    CTimedJob timed(job);
    platform::CancelFlag cancel{0};
    std::thread([&] { timed.RunJob(nullptr, nullptr, nullptr, &cancel); }).join();
    return {timed.Seconds(), timed.Cpu(), timed.Ui(), timed.Waits(), job.Result().written.size() == 16, 0};
}

// What one notified value costs the worker: a million positions through a page target while the UI
// thread takes them.
double NanosecondsPerValue() {
    constexpr int kValues = 1000000;
    long calls = 0;
    gui::CQtMessageTarget page([&](unsigned, uintptr_t, intptr_t) -> intptr_t { return ++calls; });
    double seconds = 0;
    QEventLoop loop;
    std::thread worker([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= kValues; ++i)
            page.Notify(wave::WM_TRANSFER_POS, static_cast<uintptr_t>(i), 0, platform::Notice::Value);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return seconds * 1e9 / kValues;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "%s failed\n", what);
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::pthread_getcpuclockid(::pthread_self(), &g_uiClock);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string base = argc > 2 ? argv[2] : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    std::string pattern = base + "/pelmora-progress-bench-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return 1;
    const std::string root = pattern, pc = root + "/pc", cardRoot = root + "/card", out = root + "/out";
    platform::CreateDirectory(pc);
    platform::CreateDirectory(cardRoot);
    platform::CreateDirectory(out);

    std::printf("building 16 files of 3 min and a song of them in %s...\n", root.c_str());
    card::ExportParams exportParams;
    exportParams.card = cardRoot;
    exportParams.pcFolder = pc;
    exportParams.tracks.fill(true);
    auto newSong = [&](const std::string& name) {
        exportParams.song = name;
        std::system(("rm -rf '" + cardRoot + "/" + name + "'").c_str());
        Check(card::CreateNewSong(cardRoot + "/" + name, pc, exportParams.tracks, nullptr), "new song");
    };
    Check(bench::WritePcTrackFiles(pc, 16, kRate, kSamples), "PC files");
    newSong("Song");
    Check(card::RunExport(exportParams, nullptr, nullptr, nullptr, nullptr).written.size() == 16, "song");

    card::ImportParams importParams;
    importParams.card = cardRoot;
    importParams.song = "Song";
    importParams.pcFolder = out;
    importParams.tracks.fill(true);
    auto clearOut = [&] {
        for (int t = 1; t <= 16; ++t)
            platform::DeleteFile(platform::Format("%s/tr%02d.wav", out.c_str(), t));
    };

    // What the pages do: the import page moves the job's bar to the bytes written (the renderer sets
    // the range); the export page shows each file's range and position.
    auto importPage = [](platform::IProgressBar* bar, unsigned message, int64_t value) {
        if (message == wave::WM_TRANSFER_TOTAL)
            bar->SetPos(value);
    };
    auto exportPage = [](platform::IProgressBar* bar, unsigned message, int64_t value) {
        if (message == wave::WM_TRANSFER_RANGE)
            bar->SetRange(0, value);
        else if (message == wave::WM_TRANSFER_POS)
            bar->SetPos(value);
    };

    // Each round runs both ways of each job, the order swapped every round.
    struct Series {
        std::vector<double> wall, cpu, ui, waits;
        long calls = 0;
        void Add(const Run& run) {
            wall.push_back(run.seconds);
            cpu.push_back(run.cpu);
            ui.push_back(run.ui);
            waits.push_back(double(run.waits));
            calls = run.calls;
        }
    };
    Series importAlone, importShown, exportAlone, exportShown;
    auto runImport = [&](bool shown) {
        clearOut();
        const Run run = shown ? WithWindow<card::CImportJob>(importParams, importPage)
                              : WithoutWindow<card::CImportJob>(importParams);
        Check(run.whole, shown ? "import behind the dialog" : "import");
        (shown ? importShown : importAlone).Add(run);
    };
    auto runExport = [&](bool shown) {
        newSong("Bench");
        const Run run = shown ? WithWindow<card::CExportJob>(exportParams, exportPage)
                              : WithoutWindow<card::CExportJob>(exportParams);
        Check(run.whole, shown ? "export behind the dialog" : "export");
        (shown ? exportShown : exportAlone).Add(run);
    };
    for (int round = 0; round < rounds; ++round) {
        const bool windowFirst = round % 2 != 0;
        runImport(windowFirst);
        runImport(!windowFirst);
        runExport(windowFirst);
        runExport(!windowFirst);
        std::printf("round %d: import %.3f / %.3f s, export %.3f / %.3f s (window / no window)\n", round + 1,
                    importShown.wall.back(), importAlone.wall.back(), exportShown.wall.back(),
                    exportAlone.wall.back());
    }

    std::printf("16 tracks x 3 min, mono 16-bit 44.1 kHz, %.1f MB each way; medians of %d rounds\n",
                16.0 * kSamples * 2 / 1e6, rounds);
    std::printf("                     time     processor\n");
    std::printf("import, no window:   %.3f s  %.3f s\n", bench::Median(importAlone.wall),
                bench::Median(importAlone.cpu));
    std::printf("import, window:      %.3f s  %.3f s  (page handler ran %ld times)\n",
                bench::Median(importShown.wall), bench::Median(importShown.cpu), importShown.calls);
    std::printf("export, no window:   %.3f s  %.3f s\n", bench::Median(exportAlone.wall),
                bench::Median(exportAlone.cpu));
    std::printf("export, window:      %.3f s  %.3f s  (page handler ran %ld times)\n",
                bench::Median(exportShown.wall), bench::Median(exportShown.cpu), exportShown.calls);
    std::printf("UI thread busy during a job behind the dialog: import %.1f ms, export %.1f ms\n",
                bench::Median(importShown.ui) * 1e3, bench::Median(exportShown.ui) * 1e3);
    std::printf(
        "times the job's thread waited: import %.0f / %.0f, export %.0f / %.0f (window / no window)\n",
        bench::Median(importShown.waits), bench::Median(importAlone.waits), bench::Median(exportShown.waits),
        bench::Median(exportAlone.waits));
    std::printf("one notified value costs the worker %.1f ns\n", NanosecondsPerValue());
    std::printf("processor time, import window / no window: %.3fx, export: %.3fx\n",
                bench::Median(importShown.cpu) / bench::Median(importAlone.cpu),
                bench::Median(exportShown.cpu) / bench::Median(exportAlone.cpu));
    std::printf("import window / no window: = %.3fx\n",
                bench::Median(importShown.wall) / bench::Median(importAlone.wall));
    std::printf("export window / no window: = %.3fx\n",
                bench::Median(exportShown.wall) / bench::Median(exportAlone.wall));
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
