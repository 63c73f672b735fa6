#pragma once
// The Drive/Medium dialog: the CD recorder chosen on the CD writer page, its type, and the type and
// state of its medium; Refresh reads them again, Eject ejects the disc, and Erase quick-erases a
// rewritable disc that is not blank, as a job without Cancel. It keeps a recorder service of its own.

#include "cdwriter/DiscMaster.h"
#include "cdwriter/EraseJob.h"
#include "platform/Progress.h"

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

namespace gui {

class CDriveMediumDlg : public QDialog, public platform::CProgressJob {
public:
    enum ERR_CODE { ERR_INIT = 1, ERR_DEVICE = 2 };

    explicit CDriveMediumDlg(QWidget* parent = nullptr);
    ~CDriveMediumDlg() override;

    // The recorder to show, as the recorder list names it, and its position in that list (which tells
    // recorders of the same name apart; -1 when unknown).
    void SetDriveName(const std::string& name, int index = -1);
    // Runs OnInitDialog, then the dialog modally.
    int DoModal();
    bool OnInitDialog();
    bool RefreshInfo();

    // The erase, on the progress dialog's worker thread.
    void RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) override;
    const cdwriter::EraseResult& LastErase() const { return m_eraseResult; }

private:
    bool SelectDrive();
    void OnRefresh();
    void OnEject();
    void OnErase();
    // Tells the service's failure; a service that cannot start closes the dialog.
    void Report(ERR_CODE code);

    cdwriter::IDiscBackend* m_backend;
    cdwriter::CDiscMaster m_discMaster;
    std::string m_driveName;
    int m_driveIndex = -1;
    QLabel* m_nameText = nullptr;
    QLabel* m_driveTypeText = nullptr;
    QLabel* m_mediumTypeText = nullptr;
    QLabel* m_mediumStateText = nullptr;
    QPushButton* m_eraseButton = nullptr;
    cdwriter::EraseResult m_eraseResult;
};

} // namespace gui
