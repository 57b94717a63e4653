#pragma once
// Helpers for driving modal dialogs the way a user would: wait for the modal window, then
// send it real key and mouse events.

#include "DialogDriving.h"
#include "app/framework/DialogTemplateRegistry.h"

namespace dialog_test {

using namespace dialog_driving;

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
