#include "cdwriter/DriveMediumDlg.h"

#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "cdwriter/AppDiscBackend.h"
#include "cdwriter/DriveMedium.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <memory>

namespace gui {
namespace {

// The wait cursor while the recorder is asked something: a scan of the drives or a look at the disc can
// take seconds on a real recorder, during which the window does not answer.
class CBusyCursor {
public:
    CBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CBusyCursor() { QApplication::restoreOverrideCursor(); }
    CBusyCursor(const CBusyCursor&) = delete;
    CBusyCursor& operator=(const CBusyCursor&) = delete;
};

} // namespace

CDriveMediumDlg::CDriveMediumDlg(QWidget* parent)
    : QDialog(parent), m_backend(AppDiscBackend()), m_discMaster(m_backend) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    res::BuildDialog(res::IDD_DRIVE_MEDIUM, this);
    m_nameText = res::Control<QLabel>(this, res::IDC_DRIVE_NAME);
    m_driveTypeText = res::Control<QLabel>(this, res::IDC_DRIVE_TYPE);
    m_mediumTypeText = res::Control<QLabel>(this, res::IDC_MEDIUM_TYPE);
    m_mediumStateText = res::Control<QLabel>(this, res::IDC_MEDIUM_STATE);
    m_eraseButton = res::Control<QPushButton>(this, res::IDC_ERASE);
    connect(res::Control<QPushButton>(this, res::IDC_REFRESH), &QPushButton::clicked, this,
            [this] { OnRefresh(); });
    connect(res::Control<QPushButton>(this, res::IDC_EJECT), &QPushButton::clicked, this,
            [this] { OnEject(); });
    connect(m_eraseButton, &QPushButton::clicked, this, [this] { OnErase(); });
}

CDriveMediumDlg::~CDriveMediumDlg() {
    if (m_discMaster.IsOpen())
        m_discMaster.ReleaseDiscMaster();
}

void CDriveMediumDlg::SetDriveName(const std::string& name, int index) {
    m_driveName = name;
    m_driveIndex = index;
    if (m_discMaster.IsOpen() && !SelectDrive())
        platform::Tell(AppMessageBox(), m_discMaster.GetFailureText());
}

bool CDriveMediumDlg::SelectDrive() {
    return m_discMaster.SelectRecorderByName(m_driveName, m_driveIndex) != 0;
}

int CDriveMediumDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CDriveMediumDlg::OnInitDialog() {
    bool started = false, selected = false;
    {
        const CBusyCursor busy;
        started = m_discMaster.InitDiscMaster();
        if (started && m_driveName.empty()) {
            m_driveName = m_discMaster.GetActiveRecorderName(); // recorder 0 after start-up
            m_driveIndex = m_driveName.empty() ? -1 : 0;
        }
        selected = started && SelectDrive();
    }
    if (!started) {
        Report(ERR_INIT);
        return true;
    }
    if (!selected) {
        Report(ERR_DEVICE);
        return true;
    }
    RefreshInfo();
    return true;
}

bool CDriveMediumDlg::RefreshInfo() {
    m_eraseButton->setEnabled(false);
    const cdwriter::DriveMediumFields fields = [this] {
        const CBusyCursor busy;
        return cdwriter::ReadDriveMediumFields(m_discMaster);
    }();
    const std::pair<const std::optional<std::string>*, QLabel*> shown[] = {
        {&fields.driveName, m_nameText},
        {&fields.driveType, m_driveTypeText},
        {&fields.mediumType, m_mediumTypeText},
        {&fields.mediumState, m_mediumStateText}};
    for (const auto& [text, label] : shown)
        if (*text)
            label->setText(QString::fromStdString(**text));
    m_eraseButton->setEnabled(fields.eraseEnabled);
    if (!fields.ok)
        platform::Tell(AppMessageBox(), fields.failureText);
    return fields.ok;
}

void CDriveMediumDlg::OnRefresh() {
    RefreshInfo();
}

void CDriveMediumDlg::OnEject() {
    const bool ejected = [this] {
        const CBusyCursor busy;
        return m_discMaster.EjectDisc();
    }();
    if (!ejected)
        platform::Tell(AppMessageBox(), m_discMaster.GetFailureText());
}

void CDriveMediumDlg::OnErase() {
    // The job works through a service of its own; this one lets go of the recorder meanwhile.
    if (!m_discMaster.ReleaseDiscMaster()) {
        Report(ERR_DEVICE);
        return;
    }
    auto dialog = std::make_unique<CProgressDlg>();
    dialog->EnableCancel(0);
    dialog->SetJob(this);
    dialog->DoModal();
    dialog.reset();
    if (!m_discMaster.InitDiscMaster()) {
        Report(ERR_INIT);
        return;
    }
    // The started service makes its first recorder active: the one shown is chosen again, so that
    // Refresh and Eject keep to it.
    if (!SelectDrive())
        Report(ERR_DEVICE);
}

void CDriveMediumDlg::Report(ERR_CODE code) {
    platform::Tell(AppMessageBox(), m_discMaster.GetFailureText());
    if (code == ERR_INIT)
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void CDriveMediumDlg::RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                             platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) {
    cdwriter::EraseParams params;
    params.backend = m_backend;
    params.driveName = m_driveName;
    params.driveIndex = m_driveIndex;
    cdwriter::CEraseJob job(params, AppMessageBox());
    job.RunJob(pProgressText, pStatusText, pProgress, pCancel);
    m_eraseResult = job.Result();
}

} // namespace gui
