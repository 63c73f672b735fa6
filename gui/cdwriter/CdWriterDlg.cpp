#include "cdwriter/CdWriterDlg.h"

#include "app/ProgressDlg.h"
#include "app/QtMessageBox.h"
#include "app/QtMessageTarget.h"
#include "card/CardRules.h"
#include "card/DriveCombo.h"
#include "cdwriter/AppDiscBackend.h"
#include "cdwriter/TrackInfo.h"
#include "platform/FileSystem.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <memory>

namespace gui {

namespace {

struct Column {
    const char* title;
    int width;
};
constexpr Column kWaveColumns[] = {{"File name", 101}};
constexpr Column kTrackColumns[] = {{"Tr", 30}, {"File name", 100}, {"Time", 65}, {"Path", 400}};

template <size_t N> void SetColumns(QTreeWidget* list, const Column (&columns)[N]) {
    QStringList titles;
    for (const Column& column : columns)
        titles << QString::fromLatin1(column.title);
    list->setColumnCount(static_cast<int>(N));
    list->setHeaderLabels(titles);
    for (size_t i = 0; i < N; ++i)
        list->setColumnWidth(static_cast<int>(i), columns[i].width);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setIndentation(0);
    // Grid lines between the cells, as in a report list, and the selection shown also while the list
    // has no focus (the styled items would otherwise draw it as white text on white).
    list->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(midlight); "
                                       "border-bottom: 1px solid palette(midlight); }"
                                       "QTreeView::item:selected { background: palette(highlight); "
                                       "color: palette(highlighted-text); }"));
}

} // namespace

CCdWriterDlg::CCdWriterDlg()
    : CCardPage(res::IDD_CD_WRITER), m_backend(AppDiscBackend()), m_discMaster(m_backend) {}

CCdWriterDlg::~CCdWriterDlg() {
    // The scan works on the page's service: it ends before the service goes.
    if (m_scan.joinable())
        m_scan.join();
    if (m_discMaster.IsOpen())
        m_discMaster.ReleaseDiscMaster();
}

bool CCdWriterDlg::OnInitDialog() {
    m_locationPc = res::Control<QRadioButton>(this, res::IDC_LOCATION_PC);
    BindDriveCombo();
    m_songCombo = res::Control<QComboBox>(this, res::IDC_SONG);
    m_waveList = res::Control<QTreeWidget>(this, res::IDC_FILE_LIST);
    m_trackList = res::Control<QTreeWidget>(this, res::IDC_TRACK_LIST);
    m_cdDriveCombo = res::Control<QComboBox>(this, res::IDC_CD_DRIVE);
    m_addButton = res::Control<QPushButton>(this, res::IDC_ADD);
    m_removeButton = res::Control<QPushButton>(this, res::IDC_REMOVE);
    m_burnButton = res::Control<QPushButton>(this, res::IDC_BURN);
    m_target =
        new CQtMessageTarget([this](unsigned message, uintptr_t wParam,
                                    intptr_t lParam) { return OnDiscMessage(message, wParam, lParam); },
                             this);

    for (int id : {res::IDC_LOCATION_PC, res::IDC_LOCATION_ZT})
        connect(res::Control<QRadioButton>(this, id), &QRadioButton::clicked, this,
                [this] { OnDriveLocation(); });
    connect(DriveCombo(), &QComboBox::activated, this, [this] { OnSelchangeDrive(); });
    connect(m_songCombo, &QComboBox::activated, this, [this] { OnSongChange(); });
    connect(m_cdDriveCombo, &QComboBox::activated, this, [this] { OnSelchangeCdDrive(); });
    const std::pair<int, void (CCdWriterDlg::*)()> buttons[] = {{res::IDC_ADD, &CCdWriterDlg::OnAdd},
                                                                {res::IDC_REMOVE, &CCdWriterDlg::OnRemove},
                                                                {res::IDC_UP, &CCdWriterDlg::OnUp},
                                                                {res::IDC_DOWN, &CCdWriterDlg::OnDown},
                                                                {res::IDC_BURN, &CCdWriterDlg::OnBurn}};
    for (const auto& [id, handler] : buttons)
        connect(res::Control<QPushButton>(this, id), &QPushButton::clicked, this,
                [this, handler = handler] { (this->*handler)(); });

    m_locationPc->setChecked(true);
    OnDriveLocation();
    SetColumns(m_waveList, kWaveColumns);
    SetColumns(m_trackList, kTrackColumns);
    m_addButton->setEnabled(false);
    m_removeButton->setEnabled(false);
    m_burnButton->setEnabled(false);
    StartRecorderScan();
    return true;
}

void CCdWriterDlg::StartRecorderScan() {
    // A drive scan can take seconds: the service starts on a thread of its own and the CD drive combo
    // fills when it is done. Nothing else uses the service until then, since only a filled combo lets
    // the user reach it.
    m_scan = std::thread([this] {
        [[maybe_unused]] platform::CThreadScope scope;
        m_discMaster.InitDiscMaster(); // not checked: a service that cannot start lists no recorder
        std::vector<std::string> names;
        for (int i = 0; i < m_discMaster.GetRecorderCount(); ++i) {
            std::string name;
            m_discMaster.GetRecorderName(i, &name);
            names.push_back(name);
        }
        QMetaObject::invokeMethod(
            this, [this, names] { OnRecordersListed(names); }, Qt::QueuedConnection);
    });
}

void CCdWriterDlg::OnRecordersListed(const std::vector<std::string>& names) {
    m_scan.join(); // it has nothing left to do but return
    m_cdDriveCombo->clear();
    for (const std::string& name : names)
        m_cdDriveCombo->addItem(QString::fromStdString(name));
    m_cdDriveCombo->setCurrentIndex(names.empty() ? -1 : 0);
    OnSelchangeCdDrive();
    m_listed = true;
    for (const auto& listed : std::exchange(m_whenListed, {}))
        listed();
}

void CCdWriterDlg::WhenCdDrivesListed(const std::function<void()>& listed) {
    if (m_listed)
        listed();
    else
        m_whenListed.push_back(listed);
}

int CCdWriterDlg::SelectSong(int index) {
    SelectEntry(m_songCombo, index);
    OnSongChange();
    const int selected = m_songCombo->currentIndex();
    ShareSong(selected);
    return selected;
}

void CCdWriterDlg::SetFolder(const std::string& path) {
    m_folder = path;
    ListWaveFiles();
}

std::string CCdWriterDlg::GetCdDriveName() const {
    return m_cdDriveCombo ? m_cdDriveCombo->currentText().toStdString() : std::string();
}

int CCdWriterDlg::GetCdDriveIndex() const {
    return m_cdDriveCombo ? m_cdDriveCombo->currentIndex() : -1;
}

void CCdWriterDlg::OnDriveLocation() {
    const bool zt = !m_locationPc->isChecked();
    for (int id : {res::IDC_ZT_DRIVE_LABEL, res::IDC_SONG_LABEL, res::IDC_DRIVE, res::IDC_SONG})
        if (QWidget* control = res::FindControl(this, id))
            control->setEnabled(zt);
    ListWaveFiles();
}

std::string CCdWriterDlg::SourceFolder() const {
    if (m_locationPc->isChecked())
        return m_folder;
    const std::string drive = CurrentDrive();
    const std::string song = m_songCombo->currentText().toStdString();
    return drive.empty() || song.empty() ? std::string() : card::MixFolderPath(drive, song);
}

void CCdWriterDlg::ListWaveFiles() {
    m_waveList->clear();
    for (const std::string& name : cdwriter::ListCdWaveFiles(SourceFolder()))
        new QTreeWidgetItem(m_waveList, {QString::fromStdString(name)});
    m_addButton->setEnabled(m_waveList->topLevelItemCount() > 0);
}

void CCdWriterDlg::FillSongList() {
    ShareDrive();
    FillSongs(m_songCombo, CurrentDrive());
}

void CCdWriterDlg::ClearSongList() {
    m_songCombo->clear();
}

void CCdWriterDlg::OnSelchangeDrive() {
    FillSongList();
    SelectEntry(m_songCombo, 0);
    OnSongChange();
}

void CCdWriterDlg::OnSongChange() {
    ShareSong(m_songCombo->currentIndex());
    ListWaveFiles();
}

void CCdWriterDlg::OnSelchangeCdDrive() {
    const std::string name = GetCdDriveName();
    if (!name.empty())
        m_discMaster.SelectRecorderByName(name, GetCdDriveIndex()); // read again by Add's free-space query
}

void CCdWriterDlg::OnAdd() {
    cdwriter::AddRequest request;
    request.cdDriveChosen = m_cdDriveCombo->currentIndex() >= 0;
    request.sourceFolder = SourceFolder();
    for (int i = 0; i < m_waveList->topLevelItemCount(); ++i)
        if (m_waveList->topLevelItem(i)->isSelected())
            request.files.push_back(m_waveList->topLevelItem(i)->text(0).toStdString());
    ReadTrackSelection();
    const std::string message = m_tracks.Add(request, [this](uint32_t* freeBytes, std::string* failure) {
        if (m_discMaster.GetFreeBytes(freeBytes))
            return true;
        *failure = m_discMaster.GetFailureText();
        return false;
    });
    ShowTracks(message);
}

void CCdWriterDlg::OnRemove() {
    ReadTrackSelection();
    ShowTracks(m_tracks.Remove());
}

void CCdWriterDlg::OnUp() {
    ReadTrackSelection();
    ShowTracks(m_tracks.Up());
}

void CCdWriterDlg::OnDown() {
    ReadTrackSelection();
    ShowTracks(m_tracks.Down());
}

void CCdWriterDlg::ReadTrackSelection() {
    std::vector<bool> selected(static_cast<size_t>(m_trackList->topLevelItemCount()));
    for (int i = 0; i < m_trackList->topLevelItemCount(); ++i)
        selected[static_cast<size_t>(i)] = m_trackList->topLevelItem(i)->isSelected();
    m_tracks.SetSelection(selected);
}

void CCdWriterDlg::ShowTracks(const std::string& message) {
    const std::vector<cdwriter::TrackRow>& rows = m_tracks.Rows();
    // The rows are rewritten in place, so that the list keeps its scroll position.
    while (m_trackList->topLevelItemCount() > static_cast<int>(rows.size()))
        delete m_trackList->takeTopLevelItem(m_trackList->topLevelItemCount() - 1);
    while (m_trackList->topLevelItemCount() < static_cast<int>(rows.size()))
        new QTreeWidgetItem(m_trackList);
    QTreeWidgetItem* firstSelected = nullptr;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const cdwriter::TrackRow& row = rows[static_cast<size_t>(i)];
        QTreeWidgetItem* item = m_trackList->topLevelItem(i);
        item->setText(0, QString::fromStdString(cdwriter::CTrackListModel::NumberText(i)));
        item->setText(1, QString::fromStdString(row.fileName));
        item->setText(2, QString::fromStdString(row.time));
        item->setText(3, QString::fromStdString(row.path));
        item->setToolTip(3, item->text(3)); // the column is wider than the list shows
        item->setSelected(row.selected);
        if (row.selected && !firstSelected)
            firstSelected = item;
    }
    if (firstSelected)
        m_trackList->scrollToItem(firstSelected);
    m_removeButton->setEnabled(m_tracks.HasRows());
    m_burnButton->setEnabled(m_tracks.HasRows());
    if (!message.empty())
        platform::Tell(AppMessageBox(), message);
}

bool CCdWriterDlg::AskImagePath() {
    const std::vector<cdwriter::TrackRow>& rows = m_tracks.Rows();
    const QString folder = m_folder.empty() ? QDir::homePath() : QString::fromStdString(m_folder);
    const QString first = rows.empty()
                              ? QStringLiteral("disc")
                              : QFileInfo(QString::fromStdString(rows.front().fileName)).completeBaseName();
    QFileDialog dialog(this, QStringLiteral("Save disc image"), folder, QStringLiteral("Disc image (*.cue)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("cue"));
    dialog.selectFile(QDir(folder).filePath(first + QStringLiteral(".cue")));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    // The image is a .bin with its .cue beside it, both named after what the user typed.
    const QFileInfo chosen(dialog.selectedFiles().front());
    QString base = chosen.fileName();
    for (const QString& suffix : {QStringLiteral(".cue"), QStringLiteral(".bin")})
        if (base.endsWith(suffix, Qt::CaseInsensitive) && base.size() > suffix.size())
            base.chop(suffix.size());
    return SetImagePath(m_backend, chosen.absolutePath().toStdString(), base.toStdString());
}

void CCdWriterDlg::OnBurn() {
    // The inputs are read here: the progress dialog is modal, so nothing can change them meanwhile.
    m_params = {};
    m_params.backend = m_backend;
    m_params.recorderIndex = GetCdDriveIndex();
    m_params.recorderName = GetCdDriveName();
    for (const cdwriter::TrackRow& row : m_tracks.Rows())
        m_params.tracks.push_back({row.fileName, row.path});
    if (IsImageRecorder(m_backend, m_params.recorderIndex, m_cdDriveCombo->count(), m_params.recorderName) &&
        !AskImagePath())
        return;
    auto dialog = std::make_unique<CProgressDlg>();
    m_progressDlg = dialog.get();
    dialog->SetJob(this);
    dialog->DoModal();
    m_progressDlg = nullptr;
    // Not in RunJob: the burn's notifications reach the page after the worker made them, at the latest
    // before DoModal returns.
    const std::lock_guard lock(m_viewMutex);
    m_view = cdwriter::DiscProgressView{};
}

void CCdWriterDlg::RunJob(platform::ITextLine* pProgressText, platform::ITextLine* pStatusText,
                          platform::IProgressBar* pProgress, platform::CancelFlag* pCancel) {
    {
        const std::lock_guard lock(m_viewMutex);
        m_view = cdwriter::DiscProgressView{pProgressText, pProgress, pCancel};
    }
    cdwriter::CBurnJob job(m_params, AppMessageBox(), m_progressDlg, m_target);
    job.RunJob(pProgressText, pStatusText, pProgress, pCancel);
    m_result = job.Result();
}

intptr_t CCdWriterDlg::OnDiscMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
    // A notification that arrives once its burn's dialog has gone finds no controls and changes nothing.
    const std::lock_guard lock(m_viewMutex);
    return cdwriter::HandleDiscProgressMessage(m_view, message, wParam, lParam);
}

} // namespace gui
