#pragma once
// CDialog: a modal dialog built from a numbered template (see DialogTemplateRegistry.h), with a
// message map, control access by id, data exchange and the Windows keyboard rules:
//
// - Enter presses the focused push button, otherwise gives the default command (the template's
//   BS_DEFPUSHBUTTON, else IDOK; nothing when that button is disabled);
// - Escape gives IDCANCEL; a window-manager close request gives WM_CLOSE, whose default is
//   IDCANCEL (the program's main window always offers it, in its title bar);
// - IDOK and IDCANCEL call the virtual OnOK and OnCancel; only EndDialog closes the dialog, so a
//   dialog whose OnOK and OnCancel do nothing cannot be closed by them;
// - without WS_SYSMENU the window has no close box; DS_CENTER centres it on its owner (the
//   screen when it has none, see CenterWindow); a window without it is placed by the window
//   manager;
// - Tab, Shift+Tab and the arrow keys move as DialogNavigation.h says; the focus is shown
//   from the start;
// - a control's accessible name is its text, the text of the label just left of it, or the
//   template's name for it (see ControlAccessibility.h for the rest).
//
// The dialog is a message target: its handle (GetSafeHwnd) takes SendMessage from any thread,
// handled on the dialog's thread while it runs an event loop, the modal loop included. The
// handle is withdrawn when the dialog window is destroyed, so later sends return 0.
//
// Notifications reach the message map as WM_COMMAND with the control id and the code:
// BN_CLICKED (buttons, also radio buttons that are not automatic, whose state stays as the
// program set it), EN_UPDATE then EN_CHANGE (every change of an edit's text, also a change the
// program makes, delivered synchronously before the edit repaints; setting the same text again
// reports them too, as WM_SETTEXT does), EN_SETFOCUS / EN_KILLFOCUS, LBN_SELCHANGE (user
// changes only, list boxes with LBS_NOTIFY), CBN_SELCHANGE (user choices), STN_CLICKED
// (statics with SS_NOTIFY). Owner-drawn statics send WM_DRAWITEM; files dropped on a dialog
// that accepts them send WM_DROPFILES.

#include "app/framework/MessageTarget.h"
#include "app/framework/Wnd.h"

#include <map>
#include <memory>
#include <string>

class CDialog;
class DialogWidget;
struct DialogTemplate;

class CDataExchange {
  public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
};

// Binds a control wrapper (CListBox, CEdit, a derived list class...) to the control of that id,
// once; GetDlgItem(id) then returns that member.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd, public CMessageTarget {
  public:
    explicit CDialog(int templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Builds the window from the template, runs OnInitDialog, shows the dialog modally (the
    // other windows take no input meanwhile) and destroys the window when EndDialog has ended
    // the loop. Returns the value given to EndDialog (IDOK 1, IDCANCEL 2), or -1 when the
    // template does not exist.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    // Destroys the window (WM_DESTROY goes through the message map first) and withdraws the
    // handle.
    virtual BOOL DestroyWindow();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Controls by id; null when the window does not exist or has no such control. The object
    // belongs to the dialog (or is the member bound by DDX_Control).
    CWnd* GetDlgItem(int id);
    UINT GetDlgItemText(int id, std::string& text) const;
    void SetDlgItemText(int id, const char* text);
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    void CheckRadioButton(int firstId, int lastId, int checkId);
    void GotoDlgCtrl(CWnd* control);

    HICON SetIcon(HICON icon, BOOL bigIcon);
    void DragAcceptFiles(BOOL accept = TRUE);
    // Centres the window on its owner, or beside the control given to KeepVisible where
    // centring would cover it and the screen has room; always on the screen.
    void CenterWindow();
    // A control of another window that this dialog, when it opens, leaves in sight where it
    // can (the preview that an options dialog changes). Call before DoModal.
    void KeepVisible(CWnd* control);

    // The dialog of a handle, on the dialog's own thread; null for other handles, for a
    // handle of another thread's dialog and once the window is destroyed.
    static CDialog* FromHandle(HWND hWnd);

  protected:
    int m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

  private:
    friend void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

    bool CreateDialogWindow(const DialogTemplate& dialogTemplate);
    static void LabelControls(DialogWidget* dialog);
    void ReleaseWindow();
    QWidget* ControlWidget(int id) const;
    void Command(int id, UINT code);
    void OnEnterKey();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    DialogWidget* m_dialog = nullptr;
    QPointer<QWidget> m_keepVisible;
    std::map<int, CWnd*> m_boundControls;
    std::map<int, std::unique_ptr<CWnd>> m_itemWrappers;
    // The handle as issued, for the messages still dispatched after it is withdrawn.
    HWND m_hWndSaved = nullptr;
    int m_nModalResult = -1;
    int m_nDefID = IDOK;
    int m_dispatchDepth = 0;
    bool m_bEnded = false;
    bool m_bInModalLoop = false;
};
