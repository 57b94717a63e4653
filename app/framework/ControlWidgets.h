#pragma once
// The Qt widgets behind the controls of a dialog template, and the text of controls: for the
// places that deal with every kind of control at once.

#include "app/framework/ControlBase.h"
#include "app/framework/ControlText.h"
#include "app/framework/DlgGroupBox.h"
#include "app/framework/DlgLabel.h"
#include "app/framework/DlgLineEdit.h"
#include "app/framework/DlgListBox.h"
#include "app/framework/DlgProgressBar.h"
#include "app/framework/DlgPushButton.h"
