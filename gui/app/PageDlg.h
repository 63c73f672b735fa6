#pragma once
// A tab page of the main window: a child dialog built from its template, plus the operations the main
// window calls on every page. The main window talks to its pages only through this interface.

#include "res/Templates.h"

#include <QWidget>
#include <functional>
#include <string>

namespace gui {

class CPageDlg : public QWidget {
public:
    explicit CPageDlg(int templateId);
    int TemplateId() const { return m_templateId; }

    // Makes the page's window inside `parent` from its template and runs OnInitDialog.
    bool Create(QWidget* parent);
    bool IsCreated() const { return m_created; }

    virtual void SetSharedSelection(int* pDriveIndex, int* pSongIndex) = 0;
    virtual void ResetDrives() = 0;
    virtual void AddDrive(const std::string& drive) = 0;
    virtual int SelectDrive(int index) = 0;
    virtual int SelectSong(int index) = 0;
    virtual void SetFolder(const std::string& path) = 0;
    // The CD recorder shown in the CD drive combo; only the CD writer page lists any.
    virtual std::string GetCdDriveName() const { return {}; }
    // Its position in that combo, -1 for none.
    virtual int GetCdDriveIndex() const { return -1; }
    // Runs `listed` once the CD drive combo is filled: at once for a page that fills it while it opens
    // (or has none), later for one that looks for recorders in the background.
    virtual void WhenCdDrivesListed(const std::function<void()>& listed) { listed(); }

protected:
    virtual bool OnInitDialog() { return true; }
    // A control of the page's own class for a template entry; null makes the standard one.
    virtual QWidget* MakeControl(const res::ControlTemplate& /*control*/, QWidget* /*parent*/) {
        return nullptr;
    }
    // Enter and Esc end here: passed on, the main window would take them as its OK or Cancel and close.
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_templateId;
    bool m_created = false;
};

// A page with its template's controls and the plain meaning of the page operations (drive and song
// combos, the folder kept as text), until a page class of its own takes that template over.
class CBasicPage : public CPageDlg {
public:
    using CPageDlg::CPageDlg;
    void SetSharedSelection(int* pDriveIndex, int* pSongIndex) override;
    void ResetDrives() override;
    void AddDrive(const std::string& drive) override;
    int SelectDrive(int index) override;
    int SelectSong(int index) override;
    void SetFolder(const std::string& path) override;
    std::string GetCdDriveName() const override;
    int GetCdDriveIndex() const override;
    const std::string& Folder() const { return m_folder; }

protected:
    QWidget* MakeControl(const res::ControlTemplate& control, QWidget* parent) override;

private:
    int* m_pDriveIndex = nullptr;
    int* m_pSongIndex = nullptr;
    std::string m_folder;
};

} // namespace gui
