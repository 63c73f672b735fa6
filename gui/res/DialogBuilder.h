#pragma once
// Turns a dialog template into Qt widgets placed at the template's positions, converted from dialog
// units with the dialog font. Every control carries its numeric id so code and tests find it by id.

#include "res/Templates.h"

#include <QFont>
#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>

class QAction;
class QComboBox;
class QMenuBar;
class QWidget;

namespace res {

// Pixels per dialog unit of one font: x = average character width / 4, y = character height / 8.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int X(int du) const;
    int Y(int du) const;
    QRect Rect(int x, int y, int cx, int cy) const;
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    int m_baseX = 0; // average character width in pixels
    int m_baseY = 0; // character height in pixels
};

// The font a template names, as this system has it: the named face when installed, otherwise the
// default user-interface face, at the template's point size.
QFont DialogFont(const DialogTemplate& dialogTemplate);

// Makes the widget for one control; return null to let the builder make the standard one.
using CustomControl = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

// Builds the controls of template `id` as children of `host`, sets the host's font and its fixed
// client size. False for an unknown id.
bool BuildDialog(int id, QWidget* host, const CustomControl& custom = {});

// The control with that id below `root` (the first one in creation order), or null.
QWidget* FindControl(const QWidget* root, int id);
template <class T> T* Control(const QWidget* root, int id) {
    return qobject_cast<T*>(FindControl(root, id));
}
// The id a control was built with (IDC_STATIC for a widget without one).
int ControlId(const QWidget* control);

// Appends a text to a combo box the way the template asked: in alphabetical order (case-
// insensitive) when the combo is sorted, else at the end. Returns the new entry's position.
int AddString(QComboBox* combo, const QString& text);

// Fills a menu bar from menu template `id`; every action carries its command id.
void BuildMenu(int id, QMenuBar* menuBar);
QAction* FindCommand(const QWidget* root, int command);
int CommandId(const QAction* action);

// Icon 128, drawn for this program.
QIcon AppIcon();

} // namespace res
