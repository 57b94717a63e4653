#include "app/framework/MessageMap.h"

namespace {
thread_local const MSG* t_currentMessage = nullptr;

bool Matches(const AFX_MSGMAP_ENTRY& e, UINT message, WPARAM wParam) {
    if (e.nMessage != message)
        return false;
    if (message != WM_COMMAND)
        return true;
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    // Ids are 16-bit in the command word: IDC_STATIC (-1) and friends compare by their low word.
    return code == (e.nCode & 0xFFFF) && id >= (e.nID & 0xFFFF) && id <= (e.nLastID & 0xFFFF);
}
} // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, {.vv = nullptr}}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (!Matches(*e, message, wParam))
                continue;
            LRESULT r = 0;
            switch (e->nSig) {
            case AfxSig_vv:
                (this->*e->pfn.vv)();
                break;
            case AfxSig_vu:
                (this->*e->pfn.vu)(LOWORD(wParam));
                break;
            case AfxSig_lwl:
                r = (this->*e->pfn.lwl)(wParam, lParam);
                break;
            case AfxSig_vDraw:
                (this->*e->pfn.draw)(static_cast<int>(wParam),
                                     reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
                r = TRUE;
                break;
            case AfxSig_vDrop:
                (this->*e->pfn.drop)(reinterpret_cast<HDROP>(wParam));
                break;
            case AfxSig_end:
                break;
            }
            if (result != nullptr)
                *result = r;
            return true;
        }
    }
    return false;
}

const MSG* GetCurrentMessage() {
    return t_currentMessage;
}

afx_detail::CurrentMessageScope::CurrentMessageScope(const MSG& msg)
    : m_previous(t_currentMessage) {
    t_currentMessage = &msg;
}

afx_detail::CurrentMessageScope::~CurrentMessageScope() {
    t_currentMessage = m_previous;
}
