#include "cdwriter/AppDiscBackend.h"

#include "cdwriter/SystemDiscBackend.h"

#include <QDir>
#include <atomic>

namespace gui {

namespace {
std::atomic<cdwriter::IDiscBackend*> g_installed{nullptr};

cdwriter::CSystemDiscBackend* SystemBackend() {
    // The image goes where the user says at each burn; until then the home folder stands in.
    static cdwriter::CSystemDiscBackend backend([] {
        cdwriter::CSystemDiscBackend::Options options;
        options.imageFolder = QDir::homePath().toStdString();
        return options;
    }());
    return &backend;
}
} // namespace

cdwriter::IDiscBackend* AppDiscBackend() {
    if (cdwriter::IDiscBackend* backend = g_installed.load())
        return backend;
    return SystemBackend();
}

cdwriter::IDiscBackend* SetAppDiscBackend(cdwriter::IDiscBackend* backend) {
    return g_installed.exchange(backend);
}

bool IsImageRecorder(cdwriter::IDiscBackend* backend, int index, int count, const std::string& name) {
    const auto* system = dynamic_cast<cdwriter::CSystemDiscBackend*>(backend);
    return system && system->IsImageRecorder(index, count, name);
}

bool SetImagePath(cdwriter::IDiscBackend* backend, const std::string& folder, const std::string& baseName) {
    auto* system = dynamic_cast<cdwriter::CSystemDiscBackend*>(backend);
    return system && system->SetImagePath(folder, baseName);
}

} // namespace gui
