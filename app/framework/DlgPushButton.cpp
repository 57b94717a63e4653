#include "app/framework/DlgPushButton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QStylePainter>

#include <algorithm>
#include <cmath>
#include <initializer_list>

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
