#include "cduimessagebox.h"

using DuiLib::CControlUI;
using DuiLib::TNotifyUI;

void CDuiMessageBox::InitWindow() {
    if (CControlUI* caption = Find(L"label_caption"))
        caption->SetText(m_strCaption.c_str());
    if (CControlUI* text = Find(L"label_text"))
        text->SetText(m_strText.c_str());
}

void CDuiMessageBox::OnClick(TNotifyUI& msg) {
    DuiLib::CDuiString name = msg.pSender->GetName();
    if (name == L"btn_quit")
        Close(IDCANCEL);
    else if (name == L"btn_reload")
        Close(IDOK);
    CSmallWindowUI::OnClick(msg);
}

UINT ShowDuiMessageBox(const std::wstring& caption, const std::wstring& text, UINT) {
    CDuiMessageBox box(caption, text);
    if (!box.Create(nullptr, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW))
        return 0;
    box.CenterWindow();
    return box.ShowModal();
}
