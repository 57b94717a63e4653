#pragma once
// Builds the widget of one template control at its place in pixels.

#include "app/framework/DialogTemplate.h"
#include "app/framework/DialogUnits.h"

class QWidget;

// The widget carries a ControlBase (ControlBase.h) with the control's id and style. Hidden
// when the template lacks WS_VISIBLE, disabled with WS_DISABLED; tab stops take focus by Tab
// and click, other input controls by click only. Returns null for an unknown kind.
QWidget* CreateTemplateControl(const DialogControl& control, QWidget* parent,
                               const DialogBaseUnits& units);
