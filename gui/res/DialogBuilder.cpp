#include "res/DialogBuilder.h"

#include "res/ResourceIds.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace res {
namespace {

const char* const kIdProperty = "controlId";
const char* const kSortedProperty = "sortedCombo";
const char* const kCommandProperty = "commandId";

// A static text that is cut with "..." at the end where it does not fit, instead of being clipped.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(), shown,
                              foregroundRole());
    }
};

// A group box drawn with its title on the frame line: the frame then encloses the whole template
// rectangle below the title's middle, and the controls placed inside keep clear of its edges.
class GroupFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect titleRect(6, 0, title().isEmpty() ? 0 : metrics.horizontalAdvance(title()) + 4,
                              metrics.height());
        // An etched line, dark with a light one beside it, open where the title sits. (The style's own
        // group frame would reserve a title row above the frame instead.)
        const int top = metrics.height() / 2;
        const auto outline = [&](const QColor& color, int shift) {
            const int left = shift, right = width() - 2 + shift, bottom = height() - 2 + shift,
                      y = top + shift;
            painter.setPen(color);
            if (titleRect.width() > 0) {
                painter.drawLine(left, y, titleRect.left() - 1, y);
                painter.drawLine(titleRect.right() + 1, y, right, y);
            } else {
                painter.drawLine(left, y, right, y);
            }
            painter.drawLine(left, y, left, bottom);
            painter.drawLine(right, y, right, bottom);
            painter.drawLine(left, bottom, right, bottom);
        };
        outline(palette().color(QPalette::Mid), 0);
        outline(palette().color(QPalette::Light), 1);
        if (titleRect.width() > 0)
            style()->drawItemText(&painter, titleRect, Qt::AlignCenter, palette(), isEnabled(), title(),
                                  QPalette::WindowText);
    }
};

QWidget* MakeStandard(const ControlTemplate& c, QWidget* parent, QButtonGroup** radioGroup) {
    const QString text = QString::fromUtf8(c.text);
    switch (c.kind) {
    case Kind::Static: {
        QLabel* label = (c.style & S_WORDELLIPSIS) ? new ElidedLabel(text, parent) : new QLabel(text, parent);
        // Dialog statics draw their text from the top; they never wrap a label onto a second line.
        label->setAlignment(((c.style & S_RIGHT) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case Kind::Icon: {
        auto* label = new QLabel(parent);
        label->setPixmap(AppIcon().pixmap(32, 32));
        return label;
    }
    case Kind::GroupBox:
        return new GroupFrame(text, parent);
    case Kind::PushButton: {
        auto* button = new QPushButton(text, parent);
        // Enter presses only the default button, as in the templates; focus does not move it.
        button->setAutoDefault(false);
        button->setDefault(c.style & S_DEFAULT);
        return button;
    }
    case Kind::CheckBox:
        return new QCheckBox(text, parent);
    case Kind::RadioButton: {
        auto* radio = new QRadioButton(text, parent);
        if ((c.style & S_GROUP) || !*radioGroup)
            *radioGroup = new QButtonGroup(parent);
        (*radioGroup)->addButton(radio);
        return radio;
    }
    case Kind::ComboBox: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(c.style & S_DROPDOWN);
        if (combo->isEditable())
            combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setProperty(kSortedProperty, bool(c.style & S_SORTED));
        return combo;
    }
    case Kind::ListView:
    case Kind::TreeView: {
        auto* view = new QTreeWidget(parent);
        const bool report = c.kind == Kind::ListView;
        view->setRootIsDecorated(!report);
        view->setHeaderHidden(!report);
        view->setUniformRowHeights(!(c.style & S_NONEVENHEIGHT));
        view->setAllColumnsShowFocus(report);
        view->setColumnCount(report ? 0 : 1);
        view->header()->setSectionsClickable(report && !(c.style & S_NOSORTHEADER));
        view->header()->setStretchLastSection(false);
        if (!(c.style & S_BORDER))
            view->setFrameShape(QFrame::NoFrame);
        return view;
    }
    case Kind::TabControl:
        return new QTabWidget(parent);
    case Kind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        return bar;
    }
    }
    return nullptr;
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // Average width over the 52 letters, rounded as dialog managers do.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
    if (m_baseX <= 0)
        m_baseX = 1;
    if (m_baseY <= 0)
        m_baseY = 1;
}

int DialogUnits::X(int du) const {
    return (du * m_baseX + 2) / 4;
}
int DialogUnits::Y(int du) const {
    return (du * m_baseY + 4) / 8;
}

QRect DialogUnits::Rect(int x, int y, int cx, int cy) const {
    return QRect(X(x), Y(y), X(x + cx) - X(x), Y(y + cy) - Y(y));
}

QFont DialogFont(const DialogTemplate& dialogTemplate) {
    QFont font = QApplication::font();
    const QString name = QString::fromUtf8(dialogTemplate.fontName);
    if (QFontDatabase::hasFamily(name))
        font.setFamily(name);
    font.setPointSize(dialogTemplate.pointSize);
    return font;
}

bool BuildDialog(int id, QWidget* host, const CustomControl& custom) {
    const DialogTemplate* t = FindDialogTemplate(id);
    if (!t || !host)
        return false;
    const QFont font = DialogFont(*t);
    host->setFont(font);
    const DialogUnits units(font);
    host->setFixedSize(units.X(t->cx), units.Y(t->cy));
    if (!(t->style & DS_CHILD))
        host->setWindowTitle(QString::fromUtf8(t->caption));

    QButtonGroup* radioGroup = nullptr;
    for (const ControlTemplate& c : t->controls) {
        QWidget* w = custom ? custom(c, host) : nullptr;
        if (!w)
            w = MakeStandard(c, host, &radioGroup);
        if (c.kind != Kind::RadioButton)
            radioGroup = (c.style & S_GROUP) ? nullptr : radioGroup;
        w->setParent(host);
        w->setProperty(kIdProperty, c.id);
        if (c.id != IDC_STATIC)
            w->setObjectName(QStringLiteral("id%1").arg(c.id));
        QRect r = units.Rect(c.x, c.y, c.cx, c.cy);
        if (c.kind == Kind::ComboBox) {
            // The template height includes the dropped-down list; the closed box is one line high.
            auto* combo = static_cast<QComboBox*>(w);
            const int closed = combo->sizeHint().height();
            const int rowHeight = QFontMetrics(font).height() + 2;
            combo->setMaxVisibleItems(std::max(1, (r.height() - closed) / rowHeight));
            r.setHeight(closed);
        } else if (c.kind == Kind::Icon) {
            r.setSize(QSize(32, 32));
        }
        w->setGeometry(r);
        w->setFocusPolicy((c.style & S_TABSTOP) ? Qt::StrongFocus : w->focusPolicy());
        w->setEnabled(!(c.style & S_DISABLED));
        w->setVisible(!(c.style & S_HIDDEN));
        if (c.kind == Kind::GroupBox)
            w->lower();
    }
    return true;
}

QWidget* FindControl(const QWidget* root, int id) {
    if (!root)
        return nullptr;
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* w : children)
        if (w->property(kIdProperty).isValid() && w->property(kIdProperty).toInt() == id)
            return w;
    return nullptr;
}

int ControlId(const QWidget* control) {
    const QVariant v = control ? control->property(kIdProperty) : QVariant();
    return v.isValid() ? v.toInt() : IDC_STATIC;
}

int AddString(QComboBox* combo, const QString& text) {
    int at = combo->count();
    if (combo->property(kSortedProperty).toBool()) {
        at = 0;
        while (at < combo->count() && QString::compare(combo->itemText(at), text, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    const bool keepEmpty = combo->currentIndex() < 0;
    combo->insertItem(at, text);
    // A list box gains no selection from an added entry.
    if (keepEmpty)
        combo->setCurrentIndex(-1);
    return at;
}

void BuildMenu(int id, QMenuBar* menuBar) {
    for (const MenuPopupTemplate& popup : FindMenuTemplate(id)) {
        QMenu* menu = menuBar->addMenu(QString::fromUtf8(popup.text));
        for (const MenuItemTemplate& item : popup.items) {
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setProperty(kCommandProperty, item.command);
            action->setObjectName(QStringLiteral("cmd%1").arg(item.command));
            if (item.shortcut)
                action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
        }
    }
}

QAction* FindCommand(const QWidget* root, int command) {
    if (!root)
        return nullptr;
    const auto actions = root->findChildren<QAction*>();
    for (QAction* a : actions)
        if (CommandId(a) == command)
            return a;
    return nullptr;
}

int CommandId(const QAction* action) {
    const QVariant v = action ? action->property(kCommandProperty) : QVariant();
    return v.isValid() ? v.toInt() : 0;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/pelmora/pelmora-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace res
