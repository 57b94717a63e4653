#include "app/framework/ControlWidgets.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QStylePainter>

#include <algorithm>
#include <cmath>
#include <initializer_list>

ControlBase* ControlOf(const QWidget* widget) {
    return dynamic_cast<ControlBase*>(const_cast<QWidget*>(widget));
}

DlgPushButton::DlgPushButton(int id, DWORD style, bool manualCheck, QWidget* parent)
    : QPushButton(parent), ControlBase(id, style), m_manualCheck(manualCheck) {
    connect(this, &QPushButton::clicked, this, [this] { SendNotify(BN_CLICKED); });
}

void DlgPushButton::nextCheckState() {
    if (!m_manualCheck)
        QPushButton::nextCheckState();
}

DlgRadioButton::DlgRadioButton(int id, DWORD style, bool manualCheck, QWidget* parent)
    : QRadioButton(parent), ControlBase(id, style), m_manualCheck(manualCheck) {
    connect(this, &QRadioButton::clicked, this, [this] { SendNotify(BN_CLICKED); });
}

void DlgRadioButton::nextCheckState() {
    if (!m_manualCheck)
        QRadioButton::nextCheckState();
}

DlgCheckBox::DlgCheckBox(int id, DWORD style, bool manualCheck, QWidget* parent)
    : QCheckBox(parent), ControlBase(id, style), m_manualCheck(manualCheck) {
    connect(this, &QCheckBox::clicked, this, [this] { SendNotify(BN_CLICKED); });
}

void DlgCheckBox::nextCheckState() {
    if (!m_manualCheck)
        QCheckBox::nextCheckState();
}

double ContrastRatio(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return std::max(la, lb) / std::min(la, lb);
}

namespace {
// The first colour that stands out from ground by the contrast asked for, else the one that
// stands out most; black or white always reach 4.5.
QColor StandingOut(const QColor& ground, std::initializer_list<QColor> candidates, double wanted) {
    QColor best = ContrastRatio(Qt::black, ground) > ContrastRatio(Qt::white, ground)
                      ? QColor(Qt::black)
                      : QColor(Qt::white);
    for (const QColor& candidate : candidates) {
        if (ContrastRatio(candidate, ground) >= wanted)
            return candidate;
        if (ContrastRatio(candidate, ground) > ContrastRatio(best, ground))
            best = candidate;
    }
    return best;
}
} // namespace

void DlgPushButton::paintEvent(QPaintEvent* event) {
    if (!isCheckable() || !isChecked()) {
        QPushButton::paintEvent(event);
        // Some styles draw the focus of the default button as its default look alone, so a
        // keyboard user cannot tell whether it has the focus: mark it inside, as on Windows.
        if (isDefault() && hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
            QStylePainter painter(this);
            QStyleOptionFocusRect frame;
            frame.initFrom(this);
            frame.rect = rect().adjusted(4, 4, -4, -4);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
        }
        return;
    }
    // A chosen cell is filled with a mark that stands out from the unchosen ones by at least
    // 3:1, with its figure redrawn in an ink that stands out from the mark. The styles' own
    // pressed looks do not carry it on every palette: the Windows style dithers the face into
    // a checker that swallows a light figure, and dark schemes give a highlight close to the
    // button's colour.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.state &= ~(QStyle::State_On | QStyle::State_Sunken);
    option.state |= QStyle::State_Raised;
    option.icon = QIcon();
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    const QPalette& colours = palette();
    const QColor face = colours.color(QPalette::Button);
    // 4.5 against the palette's button colour leaves 3 against the lighter or darker face
    // that a style paints from it (Fusion's gradient).
    const QColor mark =
        StandingOut(face,
                    {colours.color(QPalette::Highlight), colours.color(QPalette::ButtonText),
                     colours.color(QPalette::WindowText)},
                    4.5);
    const QColor ink = StandingOut(mark, {colours.color(QPalette::HighlightedText), face}, 4.5);
    const QRect inside = rect().adjusted(2, 2, -2, -2);
    painter.fillRect(inside, mark);
    if (hasFocus() && (option.state & QStyle::State_KeyboardFocusChange) != 0) {
        painter.setPen(QPen(ink, 1, Qt::DotLine));
        painter.drawRect(inside.adjusted(1, 1, -2, -2));
    }
    if (!text().isEmpty()) {
        painter.setPen(ink);
        painter.drawText(inside, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
    if (icon().isNull())
        return;
    // The figure's shape in the ink: its own colours were drawn for the unchosen face.
    const qreal ratio = devicePixelRatioF();
    QPixmap figure = icon().pixmap(iconSize(), ratio);
    QPixmap inked(figure.size());
    inked.setDevicePixelRatio(figure.devicePixelRatio());
    inked.fill(Qt::transparent);
    {
        QPainter tint(&inked);
        tint.drawPixmap(0, 0, figure);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(inked.rect(), ink);
    }
    const QSize shown = inked.deviceIndependentSize().toSize();
    painter.drawPixmap(QRect(QPoint(0, 0), shown)
                           .translated(rect().center() - QRect(QPoint(0, 0), shown).center()),
                       inked);
}

DlgGroupBox::DlgGroupBox(int id, DWORD style, QWidget* parent)
    : QGroupBox(parent), ControlBase(id, style) {
    // A frame never takes clicks from the controls drawn inside it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void DlgGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QString text = title();
    const int lineY = metrics.height() / 2;
    const QRect frame(0, lineY, width() - 1, height() - lineY - 1);

    const QColor dark = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    // An etched frame: a dark line with a light one beside it, each one device pixel wide
    // (cosmetic pens), so that at fractional scales they stay crisp and touch without a gap.
    const qreal pixel = 1.0 / devicePixelRatioF();
    painter.setPen(QPen(light, 0));
    painter.drawRect(QRectF(frame).translated(pixel, pixel));
    painter.setPen(QPen(dark, 0));
    painter.drawRect(QRectF(frame));

    if (text.isEmpty())
        return;
    const int textX = metrics.averageCharWidth();
    const int textWidth = metrics.horizontalAdvance(text) + metrics.averageCharWidth() / 2;
    const QRect textRect(textX, 0, textWidth, metrics.height());
    painter.fillRect(textRect, palette().color(QPalette::Window));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text);
}

DlgLabel::DlgLabel(int id, DWORD style, QWidget* parent) : QLabel(parent), ControlBase(id, style) {}

void DlgLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        SendNotify(STN_CLICKED);
    QLabel::mouseReleaseEvent(event);
}

void DlgLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    SendNotify(STN_DBLCLK);
    QLabel::mouseDoubleClickEvent(event);
}

DlgOwnerDraw::DlgOwnerDraw(int id, DWORD style, QWidget* parent)
    : QWidget(parent), ControlBase(id, style) {}

void DlgOwnerDraw::paintEvent(QPaintEvent*) {
    if (!m_draw)
        return;
    // The owner draws in device pixels, as a Windows program that knows the screen's scale
    // does: a picture scaled into the control then has every pixel the screen offers, and its
    // edges fall on whole pixels at fractional scales too. What it leaves untouched stays
    // transparent and shows the dialog beneath.
    const qreal ratio = devicePixelRatioF();
    QImage canvas(qRound(width() * ratio), qRound(height() * ratio),
                  QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return;
    canvas.fill(Qt::transparent);
    {
        QPainter owner(&canvas);
        m_draw(ControlId(), &owner, canvas.rect());
    }
    canvas.setDevicePixelRatio(ratio);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), canvas);
}

void DlgOwnerDraw::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        SendNotify(STN_CLICKED);
    QWidget::mouseReleaseEvent(event);
}

DlgLineEdit::DlgLineEdit(int id, DWORD style, QWidget* parent)
    : QLineEdit(parent), ControlBase(id, style) {
    // textChanged is emitted synchronously from inside the change (typing, paste, insert,
    // setText) and before any repaint, which is when the Windows edit reports it.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (m_quiet == 0)
            ReportChange();
    });
}

void DlgLineEdit::ReportChange() {
    QPointer<DlgLineEdit> guard(this);
    SendNotify(EN_UPDATE);
    if (guard)
        SendNotify(EN_CHANGE);
}

void DlgLineEdit::SetTextAsWindows(const QString& text) {
    ++m_quiet;
    setText(text);
    setCursorPosition(0);
    --m_quiet;
    ReportChange();
}

void DlgLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        SendNotify(EN_SETFOCUS);
}

void DlgLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        SendNotify(EN_KILLFOCUS);
}

DlgListBox::DlgListBox(int id, DWORD style, QWidget* parent)
    : QListWidget(parent), ControlBase(id, style) {}

DlgListBox::Snapshot DlgListBox::Take() const {
    Snapshot s;
    const QModelIndexList indexes = selectionModel()->selectedIndexes();
    for (const QModelIndex& index : indexes)
        s.selected.push_back(index.row());
    std::sort(s.selected.begin(), s.selected.end());
    s.current = currentRow();
    return s;
}

void DlgListBox::ReportIfChanged(const Snapshot& before) {
    constexpr DWORD kLbsNotify = 0x1;
    if ((Style() & kLbsNotify) != 0 && !(Take() == before))
        SendNotify(LBN_SELCHANGE);
}

void DlgListBox::mousePressEvent(QMouseEvent* event) {
    const Snapshot before = Take();
    QPointer<DlgListBox> guard(this);
    QListWidget::mousePressEvent(event);
    if (guard)
        ReportIfChanged(before);
}

void DlgListBox::mouseMoveEvent(QMouseEvent* event) {
    const Snapshot before = Take();
    QListWidget::mouseMoveEvent(event);
    ReportIfChanged(before);
}

void DlgListBox::mouseReleaseEvent(QMouseEvent* event) {
    const Snapshot before = Take();
    QPointer<DlgListBox> guard(this);
    QListWidget::mouseReleaseEvent(event);
    if (guard)
        ReportIfChanged(before);
}

void DlgListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    const Snapshot before = Take();
    QPointer<DlgListBox> guard(this);
    QListWidget::mouseDoubleClickEvent(event);
    if (!guard)
        return;
    ReportIfChanged(before);
    constexpr DWORD kLbsNotify = 0x1;
    if (guard && (Style() & kLbsNotify) != 0 && itemAt(event->position().toPoint()) != nullptr)
        SendNotify(LBN_DBLCLK);
}

namespace {
// The virtual key of a Qt key, or 0 for keys a list's owner is not offered.
UINT VirtualKey(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<UINT>(key);
    switch (key) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}
} // namespace

bool DlgListBox::OfferKeyToOwner(const QKeyEvent* event) {
    constexpr DWORD kLbsWantKeyboardInput = 0x400;
    const UINT vk = VirtualKey(event->key());
    if ((Style() & kLbsWantKeyboardInput) == 0 || vk == 0)
        return false;
    const int caret = std::max(currentRow(), 0);
    return SendToOwner(WM_VKEYTOITEM, MAKEWPARAM(vk, static_cast<UINT>(caret)), 0) == -2;
}

void DlgListBox::keyPressEvent(QKeyEvent* event) {
    const Snapshot before = Take();
    QPointer<DlgListBox> guard(this);
    if (OfferKeyToOwner(event)) {
        event->accept();
        return;
    }
    if (!guard)
        return;
    QListWidget::keyPressEvent(event);
    if (guard)
        ReportIfChanged(before);
}

void DlgListBox::focusInEvent(QFocusEvent* event) {
    m_keyboardFocus = event->reason() == Qt::TabFocusReason ||
                      event->reason() == Qt::BacktabFocusReason ||
                      event->reason() == Qt::ShortcutFocusReason;
    QListWidget::focusInEvent(event);
}

void DlgListBox::focusOutEvent(QFocusEvent* event) {
    m_keyboardFocus = false;
    QListWidget::focusOutEvent(event);
}

void DlgListBox::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    // The view marks only its current entry; an empty list would show no sign of the focus,
    // so it gets the focus frame where its first line would be, as a list box draws it.
    if (count() != 0 || !hasFocus() || !m_keyboardFocus)
        return;
    QPainter painter(viewport());
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    const int line = fontMetrics().height() + 2;
    frame.rect = QRect(0, 0, viewport()->width(), std::min(line, viewport()->height()));
    frame.backgroundColor = viewport()->palette().color(viewport()->backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

DlgComboBox::DlgComboBox(int id, DWORD style, QWidget* parent)
    : QComboBox(parent), ControlBase(id, style) {
    // activated comes from the user only; the program's SetCurSel reports nothing.
    connect(this, &QComboBox::activated, this, [this] { SendNotify(CBN_SELCHANGE); });
}

DlgProgressBar::DlgProgressBar(int id, DWORD style, QWidget* parent)
    : QProgressBar(parent), ControlBase(id, style) {
    setTextVisible(false);
    QProgressBar::setRange(0, 100);
    QProgressBar::setValue(0);
}

void DlgProgressBar::SetRange32(int low, int high) {
    m_low = low;
    m_high = high;
    m_pos = std::clamp(m_pos, std::min(low, high), std::max(low, high));
    if (low == high) {
        QProgressBar::setRange(0, 1);
        QProgressBar::setValue(0);
    } else {
        QProgressBar::setRange(std::min(low, high), std::max(low, high));
        QProgressBar::setValue(m_pos);
    }
}

void DlgProgressBar::GetRange32(int& low, int& high) const {
    low = m_low;
    high = m_high;
}

int DlgProgressBar::SetPos(int pos) {
    const int previous = m_pos;
    m_pos = std::clamp(pos, std::min(m_low, m_high), std::max(m_low, m_high));
    if (m_low != m_high)
        QProgressBar::setValue(m_pos);
    return previous;
}

namespace {
constexpr DWORD kSsNoPrefix = 0x80;
constexpr DWORD kBsMultiLine = 0x2000;

} // namespace

QString StripMnemonic(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

namespace {

// Greedy word wrap for buttons, whose Qt labels do not wrap by themselves.
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width) {
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString result;
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        QString visible = candidate;
        visible.remove(QLatin1Char('&'));
        if (!line.isEmpty() && metrics.horizontalAdvance(visible) > width) {
            result += line + QLatin1Char('\n');
            line = word;
        } else {
            line = candidate;
        }
    }
    return result + line;
}

QString ButtonDisplayText(QAbstractButton* button, const QString& text) {
    const ControlBase* control = ControlOf(button);
    if (control == nullptr)
        return text;
    const bool indicator = qobject_cast<QRadioButton*>(button) != nullptr ||
                           qobject_cast<QCheckBox*>(button) != nullptr;
    const QFontMetrics metrics(button->font());
    const bool multiLine = (control->Style() & kBsMultiLine) != 0 ||
                           (indicator && button->height() >= 2 * metrics.height());
    if (!multiLine)
        return text;
    int width = button->width();
    if (indicator)
        width -= button->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, button) +
                 button->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, button);
    else
        width -= 8;
    return WrapToWidth(text, metrics, std::max(width, 1));
}
} // namespace

void SetControlText(QWidget* widget, const QString& text) {
    if (widget == nullptr)
        return;
    ControlBase* control = ControlOf(widget);
    if (auto* edit = dynamic_cast<DlgLineEdit*>(widget)) {
        edit->SetTextAsWindows(text);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
        return;
    }
    if (control != nullptr)
        control->m_windowText = text;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ButtonDisplayText(button, text));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A label's mnemonic moves the focus to the control it names; one that names none
        // shows its '&' as a plain mark, as on Windows, less the mark itself.
        const DWORD style = control != nullptr ? control->Style() : kSsNoPrefix;
        const bool mnemonic = (style & kSsNoPrefix) == 0;
        label->setText(mnemonic && label->buddy() == nullptr ? StripMnemonic(text) : text);
    } else if (widget->isWindow() || control == nullptr) {
        widget->setWindowTitle(text);
    }
}

QString ControlText(const QWidget* widget) {
    if (widget == nullptr)
        return QString();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const ControlBase* control = ControlOf(widget))
        return control->m_windowText;
    return widget->windowTitle();
}
