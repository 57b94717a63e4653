#pragma once
// What every control widget of a dialog template carries: its control id and style, and the
// one callback through which it reports the Windows notification codes to its dialog, so the
// rest of the framework sees controls, not widgets.

#include "app/framework/WinUser.h"

#include <QString>

#include <functional>

class QWidget;

// What every control widget knows about itself.
class ControlBase {
  public:
    using Notify = std::function<void(int id, UINT code)>;

    ControlBase(int id, DWORD style) : m_id(id), m_style(style) {}
    virtual ~ControlBase() = default;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    int ControlId() const { return m_id; }
    DWORD Style() const { return m_style; }
    void SetNotify(Notify notify) { m_notify = std::move(notify); }
    void SendNotify(UINT code) const {
        if (m_notify)
            m_notify(m_id, code);
    }
    // Messages a control sends its owner (WM_VKEYTOITEM); 0 while the control has no owner.
    using OwnerSend = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
    void SetOwnerSend(OwnerSend send) { m_ownerSend = std::move(send); }
    LRESULT SendToOwner(UINT message, WPARAM wParam, LPARAM lParam) const {
        return m_ownerSend ? m_ownerSend(message, wParam, lParam) : 0;
    }

    // The text as the program set it (buttons whose text the framework wrapped keep the
    // original here).
    QString m_windowText;
    // The handle last given with SetIcon / SetBitmap, returned by GetIcon / GetBitmap.
    HICON m_hIcon = nullptr;
    HBITMAP m_hBitmap = nullptr;

  private:
    int m_id;
    DWORD m_style;
    Notify m_notify;
    OwnerSend m_ownerSend;
};

// The control record of a widget made by the framework, or null.
ControlBase* ControlOf(const QWidget* widget);
