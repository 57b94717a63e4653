#include "ui/AboutDlg.h"

#include "app/framework/ResourceImages.h"
#include "app/framework/Shell.h"
#include "app/framework/UiText.h"
#include "app/framework/WinApp.h"
#include "res/Resource.h"
#include "res/Version.h"

#include <cstdio>
#include <string>

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
ON_BN_CLICKED(IDC_ABOUT_LOGO, &CAboutDlg::OnLogoClicked)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX, nullptr) {}

CAboutDlg::~CAboutDlg() {
    // Normally gone with the window already.
    if (m_hLogo != nullptr)
        DeleteObject(m_hLogo);
}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_hLogo = LoadBitmap(AfxGetInstanceHandle(), MAKEINTRESOURCE(IDB_ABOUT_LOGO));
    if (auto* logo = static_cast<CButton*>(GetDlgItem(IDC_ABOUT_LOGO)))
        logo->SetBitmap(m_hLogo);
    // The template carries a placeholder; the real number is the program's version.
    const std::string version = std::string("Version ") + PICTORUM_VERSION_STRING;
    SetDlgItemText(IDC_ABOUT_VERSION, version.c_str());
    return TRUE; // the focus goes to the first tab stop, "Close"
}

void CAboutDlg::OnLogoClicked() {
    // The browser runs on its own. A click that starts nothing would look like a dead link,
    // so the box says so, with the address to copy by hand; then it closes either way.
    if (!ShellOpenURL(kMakerWebSite)) {
        char text[512];
        std::snprintf(text, sizeof text,
                      UiLocal("No web browser could be started to open %s").c_str(), kMakerWebSite);
        MessageBox(text, "Error", MB_OK | MB_ICONWARNING);
    }
    EndDialog(IDOK);
}

BOOL CAboutDlg::DestroyWindow() {
    if (m_hLogo != nullptr) {
        DeleteObject(m_hLogo);
        m_hLogo = nullptr;
    }
    return CDialog::DestroyWindow();
}
