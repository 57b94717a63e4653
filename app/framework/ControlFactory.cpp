#include "app/framework/ControlFactory.h"
#include "app/framework/UiText.h"

#include "app/framework/ControlWidgets.h"
#include "app/framework/ResourceImages.h"

#include <QFontMetrics>

#include <algorithm>

namespace {
constexpr DWORD kBsTypeMask = 0xF;
constexpr DWORD kBs3State = 0x5;
constexpr DWORD kBsAuto3State = 0x6;
constexpr DWORD kSsRealSizeControl = 0x40;
constexpr DWORD kEsCenter = 0x1;
constexpr DWORD kEsRight = 0x2;
constexpr DWORD kLbsMultipleSel = 0x8;
constexpr DWORD kLbsNoSel = 0x4000;
constexpr DWORD kCbsTypeMask = 0x3;

bool IsRadioType(DWORD type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}
bool IsCheckType(DWORD type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == kBs3State ||
           type == kBsAuto3State;
}

QWidget* CreateButton(const DialogControl& c, QWidget* parent, const QRect& rect) {
    const DWORD type = c.style & kBsTypeMask;
    if (type == BS_GROUPBOX)
        return new DlgGroupBox(c.id, c.style, parent);
    const bool manual = type == BS_RADIOBUTTON || type == BS_CHECKBOX || type == kBs3State;
    if ((c.style & BS_PUSHLIKE) != 0 || type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ||
        (c.style & (BS_ICON | BS_BITMAP)) != 0) {
        auto* button = new DlgPushButton(c.id, c.style, manual, parent);
        const bool checkable = IsRadioType(type) || IsCheckType(type);
        button->setCheckable(checkable);
        // Enter reaches the dialog, which presses a focused push button and otherwise gives
        // the default command, as on Windows. Qt's auto-default would instead mark some
        // button as the default while an edit or list has the focus, where none is.
        button->setAutoDefault(false);
        button->setDefault(type == BS_DEFPUSHBUTTON);
        if ((c.style & BS_ICON) != 0) {
            if (HICON icon = LoadIconById(c.imageId)) {
                const QIcon qicon = IconOfHandle(icon);
                DestroyIcon(icon);
                button->setIcon(qicon);
                button->setIconSize(ButtonIconSize(qicon, rect.size()));
            }
        } else if ((c.style & BS_BITMAP) != 0) {
            if (HBITMAP bitmap = LoadBitmapById(c.imageId)) {
                const QPixmap pixmap = PixmapOfHandle(bitmap);
                DeleteObject(bitmap);
                button->setIcon(QIcon(pixmap));
                button->setIconSize(pixmap.deviceIndependentSize().toSize());
            }
        }
        return button;
    }
    if (IsRadioType(type)) {
        auto* radio = new DlgRadioButton(c.id, c.style, manual, parent);
        radio->setAutoExclusive(type == BS_AUTORADIOBUTTON);
        return radio;
    }
    auto* check = new DlgCheckBox(c.id, c.style, manual, parent);
    check->setTristate(type == kBs3State || type == kBsAuto3State);
    return check;
}

QWidget* CreateStatic(const DialogControl& c, QWidget* parent, QRect& rect) {
    const DWORD type = c.style & SS_TYPEMASK;
    if (type == SS_OWNERDRAW)
        return new DlgOwnerDraw(c.id, c.style, parent);
    auto* label = new DlgLabel(c.id, c.style, parent);
    label->setTextFormat(Qt::PlainText);
    if ((c.style & SS_SUNKEN) != 0) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    } else if ((c.exStyle & WS_EX_STATICEDGE) != 0 || (c.exStyle & WS_EX_CLIENTEDGE) != 0) {
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    } else if ((c.style & WS_BORDER) != 0) {
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
    }
    if (type == SS_ICON || type == SS_BITMAP) {
        QPixmap pixmap;
        if (type == SS_ICON) {
            if (HICON icon = LoadIconById(c.imageId)) {
                pixmap = IconOfHandle(icon).pixmap(32, 32);
                DestroyIcon(icon);
            }
        } else if (HBITMAP bitmap = LoadBitmapById(c.imageId)) {
            pixmap = PixmapOfHandle(bitmap);
            DeleteObject(bitmap);
        }
        label->setPixmap(pixmap);
        if ((c.style & SS_CENTERIMAGE) != 0) {
            label->setAlignment(Qt::AlignCenter);
        } else {
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            // Without SS_CENTERIMAGE the control takes the picture's size, as on Windows.
            if (!pixmap.isNull() && (c.style & kSsRealSizeControl) == 0)
                rect.setSize(pixmap.deviceIndependentSize().toSize());
        }
        return label;
    }
    Qt::Alignment alignment = Qt::AlignLeft;
    if (type == SS_CENTER)
        alignment = Qt::AlignHCenter;
    else if (type == SS_RIGHT)
        alignment = Qt::AlignRight;
    alignment |= (c.style & SS_CENTERIMAGE) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
    label->setAlignment(alignment);
    label->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
    return label;
}

QWidget* CreateEdit(const DialogControl& c, QWidget* parent) {
    auto* edit = new DlgLineEdit(c.id, c.style, parent);
    edit->setReadOnly((c.style & ES_READONLY) != 0);
    edit->setFrame((c.style & WS_BORDER) != 0 || (c.exStyle & WS_EX_CLIENTEDGE) != 0);
    const DWORD align = c.style & 0x3;
    edit->setAlignment(align == kEsCenter  ? Qt::AlignHCenter | Qt::AlignVCenter
                       : align == kEsRight ? Qt::AlignRight | Qt::AlignVCenter
                                           : Qt::AlignLeft | Qt::AlignVCenter);
    return edit;
}

QWidget* CreateListBox(const DialogControl& c, QWidget* parent) {
    auto* list = new DlgListBox(c.id, c.style, parent);
    if ((c.style & LBS_EXTENDEDSEL) != 0)
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    else if ((c.style & kLbsMultipleSel) != 0)
        list->setSelectionMode(QAbstractItemView::MultiSelection);
    else if ((c.style & kLbsNoSel) != 0)
        list->setSelectionMode(QAbstractItemView::NoSelection);
    else
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    if ((c.style & WS_BORDER) == 0 && (c.exStyle & WS_EX_CLIENTEDGE) == 0)
        list->setFrameShape(QFrame::NoFrame);
    list->setVerticalScrollBarPolicy((c.style & WS_VSCROLL) != 0 ? Qt::ScrollBarAsNeeded
                                                                 : Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy((c.style & WS_HSCROLL) != 0 ? Qt::ScrollBarAsNeeded
                                                                   : Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideNone);
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

QWidget* CreateComboBox(const DialogControl& c, QWidget* parent, QRect& rect) {
    auto* combo = new DlgComboBox(c.id, c.style, parent);
    combo->setEditable((c.style & kCbsTypeMask) != CBS_DROPDOWNLIST);
    // The template's height is that of the open list; the closed box is one line high.
    const int closed = combo->sizeHint().height();
    const int line = std::max(1, QFontMetrics(combo->font()).height());
    combo->setMaxVisibleItems(std::max(1, (rect.height() - closed) / line));
    rect.setHeight(closed);
    return combo;
}
} // namespace

QWidget* CreateTemplateControl(const DialogControl& c, QWidget* parent,
                               const DialogBaseUnits& units) {
    QRect rect = MapDialogUnits(c.x, c.y, c.cx, c.cy, units);
    QWidget* widget = nullptr;
    switch (c.kind) {
    case ControlKind::Button:
        widget = CreateButton(c, parent, rect);
        break;
    case ControlKind::Static:
        widget = CreateStatic(c, parent, rect);
        break;
    case ControlKind::Edit:
        widget = CreateEdit(c, parent);
        break;
    case ControlKind::ListBox:
        widget = CreateListBox(c, parent);
        break;
    case ControlKind::ComboBox:
        widget = CreateComboBox(c, parent, rect);
        break;
    case ControlKind::ProgressBar:
        widget = new DlgProgressBar(c.id, c.style, parent);
        break;
    }
    if (widget == nullptr)
        return nullptr;
    widget->setGeometry(rect);
    const bool input = c.kind != ControlKind::Static &&
                       !(c.kind == ControlKind::Button && (c.style & 0xF) == BS_GROUPBOX) &&
                       c.kind != ControlKind::ProgressBar;
    if (input)
        widget->setFocusPolicy((c.style & WS_TABSTOP) != 0 ? Qt::StrongFocus : Qt::ClickFocus);
    else
        widget->setFocusPolicy(Qt::NoFocus);
    if (c.text != nullptr && c.text[0] != '\0')
        SetControlText(widget, UiText(c.text));
    widget->setEnabled((c.style & WS_DISABLED) == 0);
    if ((c.style & WS_VISIBLE) == 0)
        widget->setHidden(true);
    return widget;
}
