#pragma once
// Dialog templates as tables in dialog units, the menu and the string table. The builder in
// DialogBuilder.h turns a template into Qt widgets.

#include <cstdint>
#include <string>
#include <vector>

namespace res {

enum class Kind {
    Static,
    Icon,
    GroupBox,
    PushButton,
    CheckBox,
    RadioButton,
    ComboBox,
    ListView,
    TreeView,
    TabControl,
    ProgressBar,
};

// Control and dialog styles, kept as in the templates; the builder maps each to its Qt counterpart.
enum Style : uint32_t {
    S_NONE = 0,
    S_DISABLED = 1u << 0,
    S_HIDDEN = 1u << 1,
    S_TABSTOP = 1u << 2,
    S_GROUP = 1u << 3, // first control of a group (radio buttons)
    S_BORDER = 1u << 4,
    S_VSCROLL = 1u << 5,
    S_RIGHT = 1u << 6,         // right-aligned static text
    S_WORDELLIPSIS = 1u << 7,  // static text cut with "..." where it does not fit
    S_DEFAULT = 1u << 8,       // default push button
    S_SORTED = 1u << 9,        // combo box keeps its entries in alphabetical order
    S_DROPDOWNLIST = 1u << 10, // combo box without edit field
    S_DROPDOWN = 1u << 11,     // combo box with edit field
    S_REPORT = 1u << 12,       // list view in report (columns) view
    S_SHOWSELALWAYS = 1u << 13,
    S_NOSORTHEADER = 1u << 14, // column headers not clickable
    S_ALIGNLEFT = 1u << 15,
    S_HASBUTTONS = 1u << 16, // tree view
    S_HASLINES = 1u << 17,
    S_LINESATROOT = 1u << 18,
    S_NOTOOLTIPS = 1u << 19,
    S_NONEVENHEIGHT = 1u << 20,
    S_SMOOTH = 1u << 21, // progress bar
};

enum DialogStyle : uint32_t {
    DS_CHILD = 1u << 0, // page inside another window, no caption
    DS_CAPTION = 1u << 1,
    DS_SYSMENU = 1u << 2, // caption with a close box
    DS_MODALFRAME = 1u << 3,
    DS_APPWINDOW = 1u << 4, // shown in the task bar
};

struct ControlTemplate {
    int id;
    Kind kind;
    const char* text;
    int x, y, cx, cy;
    uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    const char* fontName;
    int pointSize;
    int cx, cy;
    uint32_t style;
    int menu; // 0 = none
    std::vector<ControlTemplate> controls;
};

// The template with that id, or null.
const DialogTemplate* FindDialogTemplate(int id);

struct MenuItemTemplate {
    const char* text; // "&" marks the mnemonic
    int command;
    const char* shortcut = nullptr; // a key sequence such as "Ctrl+T"
};
struct MenuPopupTemplate {
    const char* text;
    std::vector<MenuItemTemplate> items;
};
// The popups of menu 133, or an empty list for an unknown id.
const std::vector<MenuPopupTemplate>& FindMenuTemplate(int id);

// The string table; empty for an unknown id.
std::string LoadString(int id);

// Caption of the main window, the About box and every message box.
constexpr const char* kAppTitle = "Pelmora";

} // namespace res
