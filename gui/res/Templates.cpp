#include "res/Templates.h"

#include "PelmoraVersion.h"

#include "res/ResourceIds.h"

#include <map>

namespace res {
namespace {

constexpr const char* kUiGothic = "MS UI Gothic";
constexpr const char* kShellDlg = "MS Shell Dlg";

std::vector<ControlTemplate> TrackBoxes() {
    // Four columns of four rows: TR1-TR4, TR5-TR8 (narrow), TR9-TR12, TR13-TR16.
    std::vector<ControlTemplate> boxes;
    static const char* const kLabels[16] = {"TR1", "TR2",  "TR3",  "TR4",  "TR5",  "TR6",  "TR7",  "TR8",
                                            "TR9", "TR10", "TR11", "TR12", "TR13", "TR14", "TR15", "TR16"};
    static const int kColumnX[4] = {24, 66, 108, 150};
    for (int i = 0; i < 16; ++i) {
        const int column = i / 4;
        const int width = column < 2 ? 30 : 36;
        boxes.push_back({IDC_TRACK[i], Kind::CheckBox, kLabels[i], kColumnX[column], 126 + 18 * (i % 4),
                         width, 12, S_TABSTOP});
    }
    return boxes;
}

std::vector<ControlTemplate> Concat(std::vector<ControlTemplate> a, const std::vector<ControlTemplate>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const uint32_t kCombo = S_DROPDOWNLIST | S_SORTED | S_VSCROLL | S_TABSTOP;
const uint32_t kListView = S_REPORT | S_SHOWSELALWAYS | S_NOSORTHEADER | S_BORDER | S_TABSTOP;

std::map<int, DialogTemplate> MakeTemplates() {
    std::map<int, DialogTemplate> t;

    t[IDD_ABOUTBOX] = {
        IDD_ABOUTBOX,
        "Pelmora",
        kUiGothic,
        9,
        235,
        55,
        DS_CAPTION | DS_SYSMENU | DS_MODALFRAME,
        0,
        {
            {IDC_STATIC, Kind::Icon, "128", 11, 17, 20, 20, S_NONE},
            {IDC_STATIC, Kind::Static, "Pelmora Version " PELMORA_VERSION, 40, 10, 119, 8, S_NONE},
            {IDC_STATIC, Kind::Static, "ZT-5 card and audio CD transfer", 40, 25, 119, 8, S_NONE},
            {IDOK, Kind::PushButton, "OK", 178, 7, 50, 16, S_DEFAULT | S_GROUP | S_TABSTOP},
        }};

    t[IDD_MAIN] = {IDD_MAIN,
                   "Pelmora",
                   kUiGothic,
                   10,
                   342,
                   300,
                   DS_CAPTION | DS_SYSMENU | DS_MODALFRAME | DS_APPWINDOW,
                   IDR_MENU,
                   {
                       {IDC_TREE, Kind::TreeView, "", 0, 0, 120, 300,
                        S_BORDER | S_TABSTOP | S_HASBUTTONS | S_HASLINES | S_LINESATROOT | S_SHOWSELALWAYS |
                            S_NOTOOLTIPS | S_NONEVENHEIGHT},
                       {IDC_TAB, Kind::TabControl, "", 126, 7, 210, 287, S_TABSTOP},
                   }};

    t[IDD_ZT_TO_PC] = {
        IDD_ZT_TO_PC,
        "",
        kUiGothic,
        10,
        207,
        266,
        DS_CHILD,
        0,
        Concat(
            {
                {IDC_STATIC, Kind::Static, "ZT Drive", 12, 18, 54, 8, S_RIGHT},
                {IDC_DRIVE, Kind::ComboBox, "", 72, 18, 72, 54, kCombo},
                {IDC_STATIC, Kind::Static, "Song name", 12, 42, 54, 8, S_RIGHT},
                {IDC_SONG, Kind::ComboBox, "", 72, 42, 72, 162, kCombo},
                {IDC_STATIC, Kind::GroupBox, "Song Information", 12, 66, 168, 36, S_NONE},
                {IDC_STATIC, Kind::Static, "Sampling Freq :", 18, 78, 69, 8, S_RIGHT},
                {IDC_SAMPLING_FREQ, Kind::Static, "", 102, 78, 72, 8, S_NONE},
                {IDC_STATIC, Kind::Static, "BIT :", 18, 90, 70, 8, S_RIGHT},
                {IDC_BIT, Kind::Static, "", 102, 90, 66, 8, S_NONE},
                {IDC_STATIC, Kind::GroupBox, "Select Track", 12, 114, 180, 84, S_NONE},
            },
            Concat(TrackBoxes(),
                   {
                       {IDC_STATIC, Kind::GroupBox, "Import Mode", 12, 210, 66, 48, S_NONE},
                       {IDC_MODE_ALL, Kind::RadioButton, "ALL", 24, 223, 29, 10, S_GROUP | S_TABSTOP},
                       {IDC_MODE_AB, Kind::RadioButton, "A - B", 24, 239, 34, 10, S_NONE},
                       {IDC_IMPORT, Kind::PushButton, "Import", 114, 240, 72, 18, S_TABSTOP},
                   }))};

    t[IDD_PC_TO_ZT] = {
        IDD_PC_TO_ZT,
        "",
        kUiGothic,
        10,
        207,
        266,
        DS_CHILD,
        0,
        Concat(
            {
                {IDC_FILE_LIST, Kind::ListView, "", 6, 6, 192, 102,
                 S_REPORT | S_ALIGNLEFT | S_BORDER | S_TABSTOP},
                {IDC_STATIC, Kind::GroupBox, "Select Track", 12, 114, 180, 84, S_NONE},
            },
            Concat(TrackBoxes(), {
                                     {IDC_STATIC, Kind::Static, "ZT Drive", 18, 204, 68, 8, S_NONE},
                                     {IDC_DRIVE, Kind::ComboBox, "", 18, 216, 74, 49, kCombo},
                                     {IDC_STATIC, Kind::Static, "Song name", 18, 234, 68, 8, S_NONE},
                                     {IDC_SONG, Kind::ComboBox, "", 18, 246, 74, 109,
                                      S_DROPDOWN | S_SORTED | S_VSCROLL | S_TABSTOP},
                                     {IDC_EXPORT, Kind::PushButton, "Export", 114, 240, 72, 18, S_TABSTOP},
                                 }))};

    t[IDD_CD_WRITER] = {
        IDD_CD_WRITER,
        "",
        kUiGothic,
        10,
        207,
        266,
        DS_CHILD,
        0,
        {
            {IDC_STATIC, Kind::GroupBox, "Drive Location", 6, 6, 108, 26, S_NONE},
            {IDC_LOCATION_PC, Kind::RadioButton, "PC", 24, 17, 25, 10, S_GROUP | S_TABSTOP},
            {IDC_LOCATION_ZT, Kind::RadioButton, "ZT", 72, 17, 26, 10, S_NONE},
            {IDC_STATIC, Kind::GroupBox, "ZT", 6, 36, 114, 48, S_NONE},
            {IDC_ZT_DRIVE_LABEL, Kind::Static, "ZT Drive", 12, 50, 43, 8, S_RIGHT},
            {IDC_DRIVE, Kind::ComboBox, "", 60, 48, 54, 36, kCombo},
            {IDC_SONG_LABEL, Kind::Static, "Song name", 12, 68, 43, 10, S_RIGHT},
            {IDC_SONG, Kind::ComboBox, "", 60, 66, 54, 138, kCombo},
            {IDC_STATIC, Kind::GroupBox, "Wave File", 126, 6, 72, 78, S_NONE},
            {IDC_FILE_LIST, Kind::ListView, "", 133, 18, 60, 60, kListView},
            {IDC_STATIC, Kind::GroupBox, "Audio Track", 6, 90, 192, 132, S_NONE},
            {IDC_TRACK_LIST, Kind::ListView, "", 12, 102, 180, 78, kListView},
            {IDC_STATIC, Kind::GroupBox, "Move Track", 12, 186, 66, 30, S_NONE},
            {IDC_UP, Kind::PushButton, "Up", 18, 198, 24, 12, S_TABSTOP},
            {IDC_DOWN, Kind::PushButton, "Down", 48, 198, 24, 12, S_TABSTOP},
            {IDC_REMOVE, Kind::PushButton, "Remove", 90, 198, 42, 12, S_TABSTOP},
            {IDC_ADD, Kind::PushButton, "Add", 144, 198, 42, 12, S_TABSTOP},
            {IDC_STATIC, Kind::GroupBox, "CD Drive", 6, 228, 126, 30, S_NONE},
            {IDC_CD_DRIVE, Kind::ComboBox, "", 12, 241, 114, 90, S_DROPDOWNLIST | S_VSCROLL | S_TABSTOP},
            {IDC_BURN, Kind::PushButton, "Burn", 138, 234, 60, 19, S_TABSTOP},
        }};

    t[IDD_PROGRESS] = {IDD_PROGRESS,
                       "Pelmora",
                       kShellDlg,
                       8,
                       196,
                       73,
                       DS_CAPTION | DS_MODALFRAME,
                       0,
                       {
                           {IDC_STATUS_TEXT, Kind::Static,
                            "Please do not boot other applications while burning.", 12, 6, 180, 8, S_NONE},
                           {IDC_PROGRESS_TEXT, Kind::Static, "Progress text", 12, 18, 180, 8, S_WORDELLIPSIS},
                           {IDC_PROGRESS_BAR, Kind::ProgressBar, "", 12, 30, 156, 14, S_SMOOTH | S_BORDER},
                           {IDC_CANCEL, Kind::PushButton, "Cancel", 96, 54, 66, 12, S_TABSTOP},
                       }};

    t[IDD_DRIVE_MEDIUM] = {IDD_DRIVE_MEDIUM,
                           "Drive/Medium",
                           kShellDlg,
                           8,
                           202,
                           114,
                           DS_CAPTION | DS_SYSMENU | DS_MODALFRAME,
                           0,
                           {
                               {IDC_STATIC, Kind::GroupBox, "Drive Information", 6, 6, 186, 42, S_NONE},
                               {IDC_STATIC, Kind::Static, "Current Drive :", 17, 18, 49, 8, S_NONE},
                               {IDC_DRIVE_NAME, Kind::Static, "DriveName", 70, 18, 116, 8, S_WORDELLIPSIS},
                               {IDC_STATIC, Kind::Static, "Drive Type :", 26, 30, 40, 8, S_NONE},
                               {IDC_DRIVE_TYPE, Kind::Static, "DriveType", 70, 30, 116, 8, S_NONE},
                               {IDC_STATIC, Kind::GroupBox, "Medium Information", 6, 54, 186, 36, S_NONE},
                               {IDC_STATIC, Kind::Static, "Medium Type :", 24, 66, 48, 8, S_NONE},
                               {IDC_MEDIUM_TYPE, Kind::Static, "MediumType", 75, 66, 111, 8, S_NONE},
                               {IDC_STATIC, Kind::Static, "Medium State :", 23, 78, 49, 8, S_NONE},
                               {IDC_MEDIUM_STATE, Kind::Static, "MediumState", 75, 78, 111, 8, S_NONE},
                               {IDC_REFRESH, Kind::PushButton, "Refresh", 12, 96, 42, 12, S_TABSTOP},
                               {IDC_EJECT, Kind::PushButton, "Eject", 90, 96, 42, 12, S_TABSTOP},
                               {IDC_ERASE, Kind::PushButton, "Erase", 144, 96, 42, 12, S_TABSTOP},
                           }};
    return t;
}

} // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    static const std::map<int, DialogTemplate> templates = MakeTemplates();
    const auto it = templates.find(id);
    return it == templates.end() ? nullptr : &it->second;
}

const std::vector<MenuPopupTemplate>& FindMenuTemplate(int id) {
    static const std::vector<MenuPopupTemplate> menu = {
        {"Tool(&T)",
         {{"Drive/Medium(&D)", ID_TOOL_DRIVEMEDIUM},
          {"Safely Remove Card(&R)", ID_TOOL_SAFEREMOVAL},
          {"Song View(&S)...", ID_TOOL_SONGVIEW, "Ctrl+T"}}},
        {"Help(&H)", {{"About Pelmora(&A)", ID_HELP_ABOUT}}},
    };
    static const std::vector<MenuPopupTemplate> none;
    return id == IDR_MENU ? menu : none;
}

std::string LoadString(int id) {
    if (id == IDS_ABOUTBOX)
        return "バージョン情報 Pelmora(&A)...";
    return {};
}

} // namespace res
