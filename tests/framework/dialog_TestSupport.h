#pragma once
// Helpers for driving modal dialogs the way a user would: wait for the modal window, then
// send it real key and mouse events.

#include "DialogDriving.h"
#include "app/framework/DialogTemplateRegistry.h"

namespace dialog_test {

using dialog_driving::Click;
using dialog_driving::FocusTarget;
using dialog_driving::PressKey;
using dialog_driving::RunModal;
using dialog_driving::TypeText;
using dialog_driving::WaitFor;

// Registers a test template for the lifetime of the object.
class ScopedTemplate {
  public:
    explicit ScopedTemplate(const DialogTemplate& t) : m_id(t.id) { RegisterDialogTemplate(&t); }
    ~ScopedTemplate() { UnregisterDialogTemplate(m_id); }
    ScopedTemplate(const ScopedTemplate&) = delete;
    ScopedTemplate& operator=(const ScopedTemplate&) = delete;

  private:
    int m_id;
};

} // namespace dialog_test
