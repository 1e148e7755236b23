#pragma once
// The skinned message box: a caption, a text and two buttons. `btn_reload` answers yes (1),
// `btn_quit` answers no (2).
#include <string>

#include "notify/smallwindow.h"

class CDuiMessageBox : public CSmallWindowUI {
public:
    CDuiMessageBox(const std::wstring& caption, const std::wstring& text)
        : CSmallWindowUI(false), m_strCaption(caption), m_strText(text) {}

    DuiLib::CDuiString GetSkinFile() override { return L"DuiMessageBox.xml"; }
    void InitWindow() override;
    void OnClick(DuiLib::TNotifyUI& msg) override;

private:
    std::wstring m_strCaption;
    std::wstring m_strText;
};

// Asks the question in a centred, ownerless modal box and returns how it ended: IDOK (1),
// IDCANCEL (2), or 0 when the box could not be shown or a quit ended it. `flag` is accepted
// for callers written against the system message box and is ignored.
UINT ShowDuiMessageBox(const std::wstring& caption, const std::wstring& text, UINT flag = 0);
