#pragma once
// The options dialog: overlay size (pixels or percent of the background), anchor cell, output
// encoder and file-name template of the one batch job. Changes stay in the controls until
// "OK", which writes them all into the job at once; "Cancel" writes nothing.

#include "app/framework/Dialog.h"
#include "app/framework/WinUser.h"
#include "engine/EncoderList.h"

#include <array>
#include <string>

class CBatchJob;

class COverlayOptionsDlg : public CDialog {
  public:
    // Fetches the imaging library's encoder list; the library must be running.
    COverlayOptionsDlg(CBatchJob* pJob, CWnd* pParent = nullptr);
    ~COverlayOptionsDlg() override;

    BOOL OnInitDialog() override;
    void OnOK() override;

    UINT GetEncoderCount() const { return m_encoders.Count(); }

  protected:
    void OnAnchorClicked(UINT id);
    void OnSizeModePixels();
    void OnSizeModePercent();
    void OnUpdateSizeX();
    void OnUpdateSizeY();
    void OnUpdateTemplate();
    void OnKillFocusTemplate();

    void SelectAnchorButton(const CBatchJob* pJob);
    void SwitchSizeMode(int modeId);
    void SetModeTexts(int modeId, const char* x, const char* y);
    void SetModeValues(int modeId, int x, int y);
    void FillFormatList();

    DECLARE_MESSAGE_MAP()

  private:
    void UpdateSizeField(int id);
    void ReleaseAnchorIcons();

    std::string m_strOtherModeX;
    std::string m_strOtherModeY;
    CBatchJob* m_pJob;
    EncoderList m_encoders;
    std::array<HICON, 9> m_hAnchorIcons{};
};
