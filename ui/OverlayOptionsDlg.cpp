#include "ui/OverlayOptionsDlg.h"

#include "app/framework/ResourceImages.h"
#include "app/framework/UiText.h"
#include "engine/BatchJob.h"
#include "engine/OverlayOptionsText.h"
#include "engine/TextHelpers.h"
#include "imaging/GdiPlus.h"
#include "res/Resource.h"

#include <cstdint>
#include <string>

namespace {

// The icon of each anchor cell, in anchor order (value k is button 1017 + k).
constexpr int kAnchorIcons[9] = {
    IDI_ANCHOR_TOP_LEFT,    IDI_ANCHOR_TOP,    IDI_ANCHOR_TOP_RIGHT,
    IDI_ANCHOR_LEFT,        IDI_ANCHOR_CENTER, IDI_ANCHOR_RIGHT,
    IDI_ANCHOR_BOTTOM_LEFT, IDI_ANCHOR_BOTTOM, IDI_ANCHOR_BOTTOM_RIGHT,
};

constexpr int kAnchorBase = IDC_ANCHOR_FIRST - 1;

// Both fields of the flags word; every other bit passes through "OK" unchanged.
constexpr DWORD kKeptFlags = ~(SizeModeMask | OverlayAnchorMask);
static_assert(kKeptFlags == 0xFFF0FF0Fu);

// The longest template that "OK" stores.
constexpr int kTemplateLimit = 254;

// An edit control of the dialog as a change notification finds it.
struct EditField {
    CEdit* edit = nullptr; // null when the dialog has no such control
    std::string text;
    int start = 0;
    int end = 0;
};

EditField ReadEditField(CDialog& dialog, int id) {
    EditField field;
    field.edit = static_cast<CEdit*>(dialog.GetDlgItem(id));
    if (field.edit != nullptr) {
        field.edit->GetSel(field.start, field.end);
        field.text = field.edit->GetWindowTextString();
    }
    return field;
}

// Puts text (null: the text stays) and field's selection into the control. The selection is
// always set: setting the text moves the caret to the start.
void WriteEditField(const EditField& field, const std::string* text) {
    if (text != nullptr)
        field.edit->SetWindowText(*text);
    field.edit->SetSel(field.start, field.end);
    field.edit->ScrollCaret();
}

} // namespace

BEGIN_MESSAGE_MAP(COverlayOptionsDlg, CDialog)
ON_COMMAND_RANGE(IDC_ANCHOR_FIRST, IDC_ANCHOR_LAST, &COverlayOptionsDlg::OnAnchorClicked)
ON_BN_CLICKED(IDC_MODE_PIXELS, &COverlayOptionsDlg::OnSizeModePixels)
ON_BN_CLICKED(IDC_MODE_PERCENT, &COverlayOptionsDlg::OnSizeModePercent)
ON_EN_UPDATE(IDC_SIZE_X, &COverlayOptionsDlg::OnUpdateSizeX)
ON_EN_UPDATE(IDC_SIZE_Y, &COverlayOptionsDlg::OnUpdateSizeY)
ON_EN_UPDATE(IDC_NAME_TEMPLATE, &COverlayOptionsDlg::OnUpdateTemplate)
ON_EN_KILLFOCUS(IDC_NAME_TEMPLATE, &COverlayOptionsDlg::OnKillFocusTemplate)
END_MESSAGE_MAP()

// A list the library cannot describe or hand over is shown as no formats at all.
COverlayOptionsDlg::COverlayOptionsDlg(CBatchJob* pJob, CWnd* pParent)
    : CDialog(IDD_OPTIONS, pParent), m_pJob(pJob) {}

COverlayOptionsDlg::~COverlayOptionsDlg() {
    ReleaseAnchorIcons();
}

void COverlayOptionsDlg::ReleaseAnchorIcons() {
    for (HICON& icon : m_hAnchorIcons) {
        if (icon != nullptr)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

BOOL COverlayOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The buttons keep their own copies; the handles stay with the dialog until it goes.
    ReleaseAnchorIcons();
    for (int k = 0; k < 9; ++k) {
        m_hAnchorIcons[k] = LoadIconById(kAnchorIcons[k]);
        if (auto* button = static_cast<CButton*>(GetDlgItem(IDC_ANCHOR_FIRST + k)))
            button->SetIcon(m_hAnchorIcons[k]);
    }

    SelectAnchorButton(m_pJob);

    // Each text put into a size field passes through its change handler, so the fields show
    // their unit from the start.
    const DWORD mode = m_pJob->GetSizeMode();
    if (mode == SizeModePixels)
        SwitchSizeMode(IDC_MODE_PIXELS);
    else if (mode == SizeModePercent)
        SwitchSizeMode(IDC_MODE_PERCENT);
    SetModeTexts(IDC_MODE_PIXELS, "1 px", "1 px");
    SetModeTexts(IDC_MODE_PERCENT, "10%", "10%");
    if (mode == SizeModePixels)
        SetModeValues(IDC_MODE_PIXELS, m_pJob->nSizeX, m_pJob->nSizeY);
    else if (mode == SizeModePercent)
        SetModeValues(IDC_MODE_PERCENT, m_pJob->nSizeX, m_pJob->nSizeY);

    FillFormatList();
    SetDlgItemText(IDC_NAME_TEMPLATE, m_pJob->szNameTemplate);

    // The focus goes to the first tab stop ("OK").
    return TRUE;
}

void COverlayOptionsDlg::FillFormatList() {
    auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_OUTPUT_FORMAT));
    if (list == nullptr)
        return;
    list->ResetContent();
    int selected = CB_ERR;
    for (const ImageCodecInfo& encoder : m_encoders) {
        std::string description;
        if (encoder.FormatDescription != nullptr)
            description = FromWideText(encoder.FormatDescription).value_or(std::string());
        // "TIFF File", in the desktop's language.
        std::string entry = UiLocal("%s File");
        if (const std::size_t at = entry.find("%s"); at != std::string::npos)
            entry.replace(at, 2, description);
        const int index = list->AddString(entry.c_str());
        if (index < 0)
            continue;
        list->SetItemDataPtr(index, const_cast<WCHAR*>(encoder.MimeType));
        if (encoder.MimeType == nullptr)
            continue;
        const auto mime = FromWideText(encoder.MimeType);
        if (mime && *mime == m_pJob->szOutputFormat)
            selected = index; // the last match wins
    }
    // The list starts with nothing selected when no encoder has the job's type.
    list->SetCurSel(selected);
}

void COverlayOptionsDlg::SelectAnchorButton(const CBatchJob* pJob) {
    const DWORD anchor = pJob->GetOverlayAnchor();
    if (anchor < 1 || anchor > 9)
        return;
    const int id = kAnchorBase + static_cast<int>(anchor);
    if (IsDlgButtonChecked(id) == BST_CHECKED)
        return;
    CheckRadioButton(IDC_ANCHOR_FIRST, IDC_ANCHOR_LAST, id);
}

void COverlayOptionsDlg::OnAnchorClicked(UINT id) {
    // The cells are not automatic: a click on the pressed one leaves it pressed.
    if (IsDlgButtonChecked(static_cast<int>(id)) == BST_CHECKED)
        return;
    CheckRadioButton(IDC_ANCHOR_FIRST, IDC_ANCHOR_LAST, static_cast<int>(id));
}

void COverlayOptionsDlg::OnSizeModePixels() {
    SwitchSizeMode(IDC_MODE_PIXELS);
}

void COverlayOptionsDlg::OnSizeModePercent() {
    SwitchSizeMode(IDC_MODE_PERCENT);
}

void COverlayOptionsDlg::SwitchSizeMode(int modeId) {
    if (IsDlgButtonChecked(modeId) == BST_CHECKED)
        return;
    // The mode changes first, so the texts coming in are normalised under the new one.
    CheckRadioButton(IDC_MODE_PIXELS, IDC_MODE_PERCENT, modeId);
    std::string taken;
    GetDlgItemText(IDC_SIZE_X, taken);
    SetDlgItemText(IDC_SIZE_X, m_strOtherModeX.c_str());
    m_strOtherModeX = taken;
    GetDlgItemText(IDC_SIZE_Y, taken);
    SetDlgItemText(IDC_SIZE_Y, m_strOtherModeY.c_str());
    m_strOtherModeY = taken;
}

void COverlayOptionsDlg::SetModeTexts(int modeId, const char* x, const char* y) {
    if (IsDlgButtonChecked(modeId) == BST_CHECKED) {
        SetDlgItemText(IDC_SIZE_X, x);
        SetDlgItemText(IDC_SIZE_Y, y);
    } else {
        m_strOtherModeX = x;
        m_strOtherModeY = y;
    }
}

void COverlayOptionsDlg::SetModeValues(int modeId, int x, int y) {
    SetModeTexts(modeId, std::to_string(x).c_str(), std::to_string(y).c_str());
}

void COverlayOptionsDlg::OnUpdateSizeX() {
    UpdateSizeField(IDC_SIZE_X);
}

void COverlayOptionsDlg::OnUpdateSizeY() {
    UpdateSizeField(IDC_SIZE_Y);
}

void COverlayOptionsDlg::UpdateSizeField(int id) {
    const EditField field = ReadEditField(*this, id);
    if (field.edit == nullptr)
        return;
    std::string normal;
    const bool differs = IsDlgButtonChecked(IDC_MODE_PIXELS) == BST_CHECKED
                             ? NormalizePixelText(field.text, normal)
                             : NormalizePercentText(field.text, normal);
    // Also when nothing changed: the caret may have moved (see WriteEditField).
    WriteEditField(field, differs ? &normal : nullptr);
}

void COverlayOptionsDlg::OnUpdateTemplate() {
    EditField field = ReadEditField(*this, IDC_NAME_TEMPLATE);
    if (field.edit == nullptr)
        return;
    std::string settled;
    if (SettleTemplateText(field.text, settled, field.start, field.end))
        WriteEditField(field, &settled);
}

void COverlayOptionsDlg::OnKillFocusTemplate() {
    std::string text;
    GetDlgItemText(IDC_NAME_TEMPLATE, text);
    const std::string completed = CompleteTemplateText(text);
    if (completed != text)
        SetDlgItemText(IDC_NAME_TEMPLATE, completed.c_str());
}

void COverlayOptionsDlg::OnOK() {
    DWORD flags = m_pJob->dwFlags & kKeptFlags;
    for (int id = IDC_ANCHOR_FIRST; id <= IDC_ANCHOR_LAST; ++id) {
        if (IsDlgButtonChecked(id) == BST_CHECKED) {
            flags |= MakeJobFlags(0, static_cast<DWORD>(id - kAnchorBase));
            break;
        }
    }
    if (IsDlgButtonChecked(IDC_MODE_PIXELS) == BST_CHECKED)
        flags |= MakeJobFlags(SizeModePixels, 0);
    else if (IsDlgButtonChecked(IDC_MODE_PERCENT) == BST_CHECKED)
        flags |= MakeJobFlags(SizeModePercent, 0);

    // Without a selected entry (the job's type names no installed encoder) the job keeps
    // its format.
    if (auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_OUTPUT_FORMAT))) {
        const int index = list->GetCurSel();
        if (index != CB_ERR) {
            const auto* mime = static_cast<const WCHAR*>(list->GetItemDataPtr(index));
            if (mime != nullptr) {
                if (const auto text = FromWideText(mime))
                    CopyText(m_pJob->szOutputFormat, text->c_str());
            }
        }
    }

    // Enter in the template field closes the dialog without the focus leaving it, so the
    // rule of focus loss is applied here as well: a template without '#' would give every
    // output file of a run the same name, each replacing the one before.
    std::string nameTemplate;
    GetDlgItemText(IDC_NAME_TEMPLATE, nameTemplate);
    CopyText(m_pJob->szNameTemplate, StoredTemplateText(nameTemplate, kTemplateLimit).c_str());

    std::string sizeText;
    GetDlgItemText(IDC_SIZE_X, sizeText);
    m_pJob->nSizeX = SizeFieldValue(sizeText);
    GetDlgItemText(IDC_SIZE_Y, sizeText);
    m_pJob->nSizeY = SizeFieldValue(sizeText);
    m_pJob->SetFlags(flags);
    EndDialog(IDOK);
}
