#pragma once
// The about box: the program's name, version and logo. A click on the logo opens the maker's
// web site in the desktop's browser and closes the box.

#include "app/framework/Dialog.h"
#include "app/framework/WinUser.h"

class CAboutDlg : public CDialog {
  public:
    // The address the logo opens.
    static constexpr char kMakerWebSite[] = "https://www.tollerby.example/pictorum/";

    // No parent window: the box stands on its own over the main window.
    CAboutDlg();
    ~CAboutDlg() override;

    // Deletes the logo, then destroys the window.
    BOOL DestroyWindow() override;

  protected:
    BOOL OnInitDialog() override;
    void OnLogoClicked();

    // The logo shown on button 1001; the dialog owns it while its window exists.
    HBITMAP m_hLogo = nullptr;

    DECLARE_MESSAGE_MAP()
};
