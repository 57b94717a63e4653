#include "app/framework/ControlText.h"

#include "app/framework/ControlBase.h"
#include "app/framework/DlgLineEdit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>

#include <algorithm>

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
