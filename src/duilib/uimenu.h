#pragma once
// Pop-up menus built from a menu skin:
//   <Window><Menu width="160"><MenuElement name="menu_quit" text="退出" height="32"/>...</Menu></Window>
// A chosen item posts WM_MENUCLICK (0x479) to the paint window of the manager given to Init,
// wParam a heap CDuiString with the item's name that the receiver frees with
// CPaintManagerUI::DeletePtr. The menu closes when an item is chosen or the user clicks
// elsewhere; the object stays until its owner deletes it.
#include <map>
#include "uiwindow.h"

namespace DuiLib {

enum MenuAlignment {
    eMenuAlignment_Left = 1 << 1,    // the point is the menu's left edge
    eMenuAlignment_Top = 1 << 2,     // the point is the menu's top edge
    eMenuAlignment_Right = 1 << 3,   // the point is the menu's right edge
    eMenuAlignment_Bottom = 1 << 4,  // the point is the menu's bottom edge
};

class CMenuUI : public CListUI {
public:
    CMenuUI();
    CDuiString GetClass() const override { return L"MenuUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
};

class CMenuElementUI : public CListContainerElementUI {
public:
    CMenuElementUI();
    CDuiString GetClass() const override { return L"MenuElementUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void OnClicked() override;
    void PaintText(HDC hDC) override;
    void PaintBkColor(HDC hDC) override;

private:
    DWORD m_dwTextColor = 0xFF333333;
    int m_iFont = -1;
    RECT m_rcTextPadding{16, 0, 8, 0};
    DWORD m_dwHotBkColor = 0xFFE9F2FB;
};

class CMenuWnd : public WindowImplBase {
public:
    CMenuWnd();
    ~CMenuWnd() override;
    // Builds the menu from `xml` and shows it at `point` (screen coordinates), kept inside the
    // work area. `pMenuCheckInfo` records the check state of items named in it (flipped when
    // chosen).
    void Init(CMenuElementUI* pOwner, STRINGorID xml, POINT point, CPaintManagerUI* pMainPaintManager,
              std::map<CDuiString, bool>* pMenuCheckInfo = nullptr,
              DWORD dwAlignment = eMenuAlignment_Left | eMenuAlignment_Top);
    CMenuUI* GetMenuUI();
    // A menu item was chosen (called by the item).
    void ItemChosen(CMenuElementUI* pItem);

    LPCTSTR GetWindowClassName() const override { return L"MenuWnd"; }
    CDuiString GetSkinFile() override { return m_xml; }
    void InitWindow() override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    CDuiString m_xml;
    POINT m_point{0, 0};
    DWORD m_dwAlignment = 0;
    HWND m_hMainWnd = nullptr;
    std::map<CDuiString, bool>* m_pCheckInfo = nullptr;
};

} // namespace DuiLib
