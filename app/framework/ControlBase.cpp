#include "app/framework/ControlBase.h"

#include <QWidget>

ControlBase* ControlOf(const QWidget* widget) {
    return dynamic_cast<ControlBase*>(const_cast<QWidget*>(widget));
}
