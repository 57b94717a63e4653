#include "app/framework/ControlAccessibility.h"

#include "app/framework/ControlBase.h"
#include "app/framework/ControlText.h"
#include "app/framework/DialogTemplate.h"
#include "app/framework/DlgLabel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QRadioButton>

namespace {

class ChoiceButtonAccessible : public QAccessibleWidget {
  public:
    ChoiceButtonAccessible(QAbstractButton* button, QAccessible::Role role)
        : QAccessibleWidget(button, role) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        if (QString name = widget()->accessibleName(); !name.isEmpty())
            return name;
        // The text as the template wrote it, not as wrapped onto lines for the button.
        const ControlBase* control = ControlOf(widget());
        return StripMnemonic(control != nullptr ? control->m_windowText : Button()->text());
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << toggleAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == toggleAction() || action == pressAction()) {
            if (widget()->isEnabled())
                Button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

  private:
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
};

// Qt names a drop-down list by its current entry on Linux and relies on the label relation for
// what it is; a reader that asks for the name hears "TIFF File" and not what the list is for.
// Here the name is the label's (given by the dialog), the value is the entry.
class DropDownAccessible : public QAccessibleWidget {
  public:
    explicit DropDownAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {
        addControllingSignal(QStringLiteral("currentIndexChanged(int)"));
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return Box()->currentText();
        if (t == QAccessible::Name && !widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = Box()->view() != nullptr && Box()->view()->isVisible();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction())
            Box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

  private:
    QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
};

bool IsRadioStyle(DWORD style) {
    const DWORD type = style & 0xF;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

QAccessibleInterface* ControlAccessible(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    const ControlBase* control = widget != nullptr ? ControlOf(widget) : nullptr;
    if (control == nullptr)
        return nullptr;
    if (dynamic_cast<DlgOwnerDraw*>(widget) != nullptr)
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    if (auto* box = qobject_cast<QComboBox*>(widget); box != nullptr && !box->isEditable())
        return new DropDownAccessible(box);
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (button == nullptr || !button->isCheckable())
        return nullptr;
    const bool radio =
        qobject_cast<QRadioButton*>(button) != nullptr || IsRadioStyle(control->Style());
    return new ChoiceButtonAccessible(button,
                                      radio ? QAccessible::RadioButton : QAccessible::CheckBox);
}

} // namespace

void InstallControlAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ControlAccessible);
        return true;
    }();
    (void)installed;
}

void AnnounceInsertedText(QWidget* widget, int position, const QString& text) {
    if (widget == nullptr)
        return;
    QAccessibleTextInsertEvent event(widget, position, text);
    QAccessible::updateAccessibility(&event);
}
