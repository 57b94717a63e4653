#pragma once
// Message maps: one declarative table per class that binds commands (control id and
// notification code), plain message numbers and a few window events to member handlers.
// A class's table chains to its base class's table, so a derived dialog inherits the bindings
// of CDialog (OK and Cancel) and may replace them by binding the same command itself.
//
//   class CMyDlg : public CDialog { ... DECLARE_MESSAGE_MAP() };
//
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_BN_CLICKED(1003, &CMyDlg::OnGo)
//       ON_EN_CHANGE(1016, &CMyDlg::OnUpdateSizeX)
//       ON_MESSAGE(104, &CMyDlg::OnBatchDone)
//       ON_WM_DRAWITEM()
//   END_MESSAGE_MAP()

#include "app/framework/WinUser.h"

class CCmdTarget;

// How a table entry's handler is called.
enum AfxSig : int {
    AfxSig_end = 0,
    AfxSig_vv,    // void ()                            commands, WM_DESTROY
    AfxSig_vu,    // void (UINT id)                     command ranges
    AfxSig_lwl,   // LRESULT (WPARAM, LPARAM)           plain messages
    AfxSig_vDraw, // void (int id, LPDRAWITEMSTRUCT)    WM_DRAWITEM
    AfxSig_vDrop, // void (HDROP)                       WM_DROPFILES
};

// The handler of a table entry; nSig tells which member is set.
union AfxHandler {
    void (CCmdTarget::*vv)();
    void (CCmdTarget::*vu)(UINT);
    LRESULT (CCmdTarget::*lwl)(WPARAM, LPARAM);
    void (CCmdTarget::*draw)(int, LPDRAWITEMSTRUCT);
    void (CCmdTarget::*drop)(HDROP);
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // WM_COMMAND, WM_DRAWITEM, WM_DROPFILES, WM_DESTROY or a plain number
    UINT nCode;    // notification code, for WM_COMMAND
    UINT nID;      // first control id, for WM_COMMAND
    UINT nLastID;  // last control id of a range
    AfxSig nSig;
    AfxHandler pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The root of every class with a message map.
class CCmdTarget {
  public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Looks the message up in this object's table chain, most derived first, and calls the
    // first matching handler. Returns false when no entry matches.
    bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  protected:
    static const AFX_MSGMAP* GetThisMessageMap();
};

// The message the calling thread is handling now through a message map, or null outside of
// a handler. Handlers bound to a range of ids find their command here, as in MFC.
const MSG* GetCurrentMessage();

namespace afx_detail {
// Sets the current message for the time of one dispatch (nested dispatches stack).
class CurrentMessageScope {
  public:
    explicit CurrentMessageScope(const MSG& msg);
    ~CurrentMessageScope();
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

  private:
    const MSG* m_previous;
};
} // namespace afx_detail

#define DECLARE_MESSAGE_MAP()                                                                      \
  protected:                                                                                       \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                              \
        using ThisClass = theClass;                                                                \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    {                                                                                              \
        0, 0, 0, 0, AfxSig_end, {                                                                  \
            .vv = nullptr                                                                          \
        }                                                                                          \
    }                                                                                              \
    }                                                                                              \
    ;                                                                                              \
    static_assert(sizeof(ThisClass) > 0);                                                          \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};  \
    return &messageMap;                                                                            \
    }

// Handler conversions: each checks the handler's signature against the class and stores it
// in the matching member of the entry's handler.
#define AFX_PMSG_VV(fn)                                                                            \
    { .vv = static_cast<void (CCmdTarget::*)()>(fn) }
#define AFX_PMSG_VU(fn)                                                                            \
    { .vu = static_cast<void (CCmdTarget::*)(UINT)>(fn) }
#define AFX_PMSG_LWL(fn)                                                                           \
    { .lwl = static_cast<LRESULT (CCmdTarget::*)(WPARAM, LPARAM)>(fn) }
#define AFX_PMSG_DRAW(fn)                                                                          \
    { .draw = static_cast<void (CCmdTarget::*)(int, LPDRAWITEMSTRUCT)>(fn) }
#define AFX_PMSG_DROP(fn)                                                                          \
    { .drop = static_cast<void (CCmdTarget::*)(HDROP)>(fn) }

#define ON_CONTROL(code, id, fn)                                                                   \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id),            \
     AfxSig_vv,  AFX_PMSG_VV(fn)},
#define ON_CONTROL_RANGE(code, first, last, fn)                                                    \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(first), static_cast<UINT>(last),       \
     AfxSig_vu,  AFX_PMSG_VU(fn)},
#define ON_COMMAND(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_COMMAND_RANGE(first, last, fn) ON_CONTROL_RANGE(BN_CLICKED, first, last, fn)
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_STN_DBLCLK(id, fn) ON_CONTROL(STN_DBLCLK, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_UPDATE(id, fn) ON_CONTROL(EN_UPDATE, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)

// A plain message number bound to LRESULT (T::*)(WPARAM, LPARAM).
#define ON_MESSAGE(message, fn) {static_cast<UINT>(message), 0, 0, 0, AfxSig_lwl, AFX_PMSG_LWL(fn)},

// Window events bound to the conventional handler names, or to a handler of one's choice.
#define ON_WM_DRAWITEM() ON_WM_DRAWITEM_EX(&ThisClass::OnDrawItem)
#define ON_WM_DRAWITEM_EX(fn) {WM_DRAWITEM, 0, 0, 0, AfxSig_vDraw, AFX_PMSG_DRAW(fn)},
#define ON_WM_DROPFILES() ON_WM_DROPFILES_EX(&ThisClass::OnDropFiles)
#define ON_WM_DROPFILES_EX(fn) {WM_DROPFILES, 0, 0, 0, AfxSig_vDrop, AFX_PMSG_DROP(fn)},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, AfxSig_vv, AFX_PMSG_VV(&ThisClass::OnDestroy)},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, AfxSig_vv, AFX_PMSG_VV(&ThisClass::OnClose)},
