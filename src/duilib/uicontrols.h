#pragma once
// The controls a skin can name. Each control owns one Qt widget; containers lay their children's
// widgets out the way the skin says (fixed sizes, stretch, insets, padding between children).
#include <functional>
#include <memory>
#include <vector>
#include <QPointer>
#include "uibase.h"

class QLineEdit;
class QBoxLayout;
class QLayout;
class QScrollArea;

namespace DuiLib {

class DuiWidget;

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetClass() const { return L"ControlUI"; }
    // This control seen as the named kind ("Control", "Label", "Button", "Option", "List", ...),
    // or none.
    virtual LPVOID GetInterface(LPCTSTR pstrName);

    virtual CDuiString GetName() const { return m_sName; }
    virtual void SetName(LPCTSTR pstrName) { m_sName = pstrName; }
    virtual CDuiString GetText() const { return m_sText; }
    virtual void SetText(LPCTSTR pstrText);
    CDuiString GetToolTip() const { return m_sToolTip; }
    void SetToolTip(LPCTSTR pstrText);
    UINT_PTR GetTag() const { return m_pTag; }
    void SetTag(UINT_PTR pTag) { m_pTag = pTag; }
    CDuiString GetUserData() const { return m_sUserData; }
    void SetUserData(LPCTSTR pstrText) { m_sUserData = pstrText; }

    int GetFixedWidth() const { return m_cxyFixed.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedHeight(int cy);
    void SetMinWidth(int cx);
    void SetMaxWidth(int cx);
    void SetMinHeight(int cy);
    void SetMaxHeight(int cy);
    RECT GetPadding() const { return m_rcPadding; }
    void SetPadding(RECT rc);

    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    virtual void SetVisible(bool bVisible = true);
    // Visibility imposed by a hidden parent; the control keeps its own flag.
    virtual void SetInternVisible(bool bVisible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool bEnable = true);
    bool IsFloat() const { return m_bFloat; }
    RECT GetFloatPos() const { return m_rcFloatPos; }
    void SetFloat(bool bFloat = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();

    // Rectangle in the window's client coordinates.
    virtual RECT GetPos() const;
    virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
    CControlUI* GetParent() const { return m_pParent; }

    CDuiString GetBkImage() const { return m_sBkImage; }
    void SetBkImage(LPCTSTR pStrImage);
    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD dwBackColor);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD dwColor);
    void SetBorderSize(int n);

    // Skin attributes; an unknown one is logged and ignored.
    virtual void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
    // "name=\"value\" name2=\"value2\"" lists, as used by <Default>.
    void ApplyAttributeList(LPCTSTR pstrList);
    void Invalidate();

    CPaintManagerUI* GetManager() const { return m_pManager; }
    // With bInit, DoInit runs the first time the control gets a manager.
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    // Called once per control, when it first sits in a window with its attributes applied.
    virtual void DoInit() {}
    // Takes the control and its descendants out of their window: widget unparented and hidden,
    // option groups and pending notifications forgotten, no manager any more (see uilifetime.h).
    void DetachFromWindow();
    // Calls `fn` for this control and every descendant; stops when it returns false.
    virtual bool ForEach(const std::function<bool(CControlUI*)>& fn);

    // Painting, overridable by program controls (round avatars and the like).
    virtual void DoPaint(HDC hDC);
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC) {}
    virtual void PaintText(HDC hDC) {}
    virtual void PaintBorder(HDC hDC);
    // Draws an image description ("file" or "file='x' dest='l,t,r,b' source='...' fade='n'")
    // inside this control; false when the image cannot be loaded.
    bool DrawImage(HDC hDC, const CDuiString& image);

    // Mouse handling hooks, true when the control consumed the event.
    virtual bool IsClickable() const { return false; }
    virtual void OnClicked() {}
    virtual void OnHover(bool) {}

    QWidget* GetWidget() const;
    // Where children's widgets go (containers override).
    virtual QWidget* GetChildHost() const;
    // Owner element of a list (set by the list).
    void SetOwnerList(CControlUI* list) { m_pOwnerList = list; }
    CControlUI* GetOwnerList() const { return m_pOwnerList; }
    void SetParentInternal(CControlUI* parent) { m_pParent = parent; }
    void ApplyParentedVisibility();
    bool IsHot() const { return m_bHot; }
    bool IsPushed() const { return m_bPushed; }
    void SetHotState(bool hot) { m_bHot = hot; }
    void SetPushedState(bool pushed) { m_bPushed = pushed; }
    // Expires when the control is deleted, for work queued to the event loop on its behalf.
    std::weak_ptr<bool> AliveToken() const { return m_alive; }

protected:
    friend struct ControlAttributes;
    void UpdateSizeConstraints();
    // An attribute this kind of control does not honour: logged once per skin file.
    void LogUnknownAttribute(LPCTSTR name) const;

    QPointer<DuiWidget> m_pWidget;
    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CControlUI* m_pOwnerList = nullptr;
    CDuiString m_sName, m_sText, m_sToolTip, m_sUserData, m_sBkImage;
    UINT_PTR m_pTag = 0;
    SIZE m_cxyFixed{0, 0};
    SIZE m_cxyMin{0, 0};
    SIZE m_cxyMax{9999, 9999};
    RECT m_rcPadding{0, 0, 0, 0};
    RECT m_rcFloatPos{0, 0, 0, 0};
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bFloat = false;
    bool m_bHot = false;
    bool m_bPushed = false;
    bool m_bInitDone = false;
    DWORD m_dwBackColor = 0;
    DWORD m_dwBorderColor = 0;
    int m_nBorderSize = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // A control deleted after its window's manager (a row never placed) must not reach it.
    std::weak_ptr<bool> m_managerAlive;
    bool ManagerAlive() const { return m_pManager && !m_managerAlive.expired(); }
};

class CLabelUI : public CControlUI {
public:
    friend struct ControlAttributes;
    CDuiString GetClass() const override { return L"LabelUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintText(HDC hDC) override;
    void SetTextColor(DWORD c) { m_dwTextColor = c; Invalidate(); }
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetDisabledTextColor(DWORD c) { m_dwDisabledTextColor = c; Invalidate(); }
    void SetFont(int index) { m_iFont = index; Invalidate(); }
    int GetFont() const { return m_iFont; }
    void SetTextStyle(UINT style) { m_uTextStyle = style; Invalidate(); }
    UINT GetTextStyle() const { return m_uTextStyle; }
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT rc) { m_rcTextPadding = rc; Invalidate(); }

    // Text style bits.
    enum : UINT { DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2, DT_VCENTER = 4, DT_BOTTOM = 8, DT_WORDBREAK = 0x10,
                  DT_SINGLELINE = 0x20, DT_END_ELLIPSIS = 0x8000 };

protected:
    DWORD m_dwTextColor = 0xFF000000;
    DWORD m_dwDisabledTextColor = 0xFFA7A6AA;
    int m_iFont = -1;
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE;
    RECT m_rcTextPadding{0, 0, 0, 0};
};

class CTextUI : public CLabelUI {
public:
    CTextUI() { m_uTextStyle = DT_WORDBREAK; }
    CDuiString GetClass() const override { return L"TextUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
};

class CButtonUI : public CLabelUI {
public:
    friend struct ControlAttributes;
    CButtonUI();
    CDuiString GetClass() const override { return L"ButtonUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintBkColor(HDC hDC) override;
    void PaintText(HDC hDC) override;
    bool IsClickable() const override { return true; }
    void OnClicked() override;
    // Sends "click" as a user click would; false when disabled or invisible.
    virtual bool Activate();
    void SetNormalImage(LPCTSTR s) { m_sNormalImage = s; Invalidate(); }
    void SetHotImage(LPCTSTR s) { m_sHotImage = s; Invalidate(); }
    void SetPushedImage(LPCTSTR s) { m_sPushedImage = s; Invalidate(); }
    void SetDisabledImage(LPCTSTR s) { m_sDisabledImage = s; Invalidate(); }
    CDuiString GetNormalImage() const { return m_sNormalImage; }

protected:
    CDuiString m_sNormalImage, m_sHotImage, m_sPushedImage, m_sDisabledImage;
    DWORD m_dwHotBkColor = 0, m_dwPushedBkColor = 0, m_dwHotTextColor = 0;
};

class COptionUI : public CButtonUI {
public:
    friend struct ControlAttributes;
    ~COptionUI() override;
    CDuiString GetClass() const override { return L"OptionUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintBkColor(HDC hDC) override;
    void PaintText(HDC hDC) override;
    bool Activate() override;
    bool IsSelected() const { return m_bSelected; }
    // Sends "selectchanged" when the state changes and bTriggerEvent is set; selecting an
    // option of a group clears the group's other options.
    virtual void Selected(bool bSelected, bool bTriggerEvent = true);
    CDuiString GetGroup() const { return m_sGroupName; }
    void SetGroup(LPCTSTR pStrGroupName);
    void SetSelectedImage(LPCTSTR s) { m_sSelectedImage = s; Invalidate(); }

protected:
    bool m_bSelected = false;
    CDuiString m_sGroupName, m_sSelectedImage, m_sSelectedHotImage;
    DWORD m_dwSelectedBkColor = 0, m_dwSelectedTextColor = 0;
};

class CCheckBoxUI : public COptionUI {
public:
    CDuiString GetClass() const override { return L"CheckBoxUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool GetCheck() const { return IsSelected(); }
    void SetCheck(bool bCheck, bool bTriggerEvent = true) { Selected(bCheck, bTriggerEvent); }
};

// Single-line text input with real input methods; sends "return" on Enter and "textchanged"
// on every user edit.
class CEditUI : public CLabelUI {
public:
    friend struct ControlAttributes;
    CEditUI();
    CDuiString GetClass() const override { return L"EditUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    CDuiString GetText() const override;
    void SetText(LPCTSTR pstrText) override;
    void SetEnabled(bool bEnable = true) override;
    void SetFocus() override;
    bool IsFocused() const override;
    void PaintText(HDC) override {}
    void SetMaxChar(UINT uMax);
    void SetReadOnly(bool bReadOnly);
    bool IsReadOnly() const;
    void SetPasswordMode(bool bPasswordMode);
    void SetTipValue(LPCTSTR pStrTipValue);
    void SetSel(long nStartChar, long nEndChar);
    QLineEdit* GetLineEdit() const { return m_pEdit; }

private:
    QLineEdit* m_pEdit = nullptr;
};

class CContainerUI : public CControlUI {
public:
    friend struct ControlAttributes;
    CContainerUI();
    ~CContainerUI() override;
    CDuiString GetClass() const override { return L"ContainerUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    bool ForEach(const std::function<bool(CControlUI*)>& fn) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;

    virtual CControlUI* GetItemAt(int iIndex) const;
    virtual int GetItemIndex(CControlUI* pControl) const;
    virtual int GetCount() const { return static_cast<int>(m_items.size()); }
    virtual bool Add(CControlUI* pControl);
    virtual bool AddAt(CControlUI* pControl, int iIndex);
    // Removing deletes the control (and its children) unless auto-destroy is off.
    virtual bool Remove(CControlUI* pControl);
    virtual bool RemoveAt(int iIndex);
    virtual void RemoveAll();
    void SetAutoDestroy(bool b) { m_bAutoDestroy = b; }
    void SetInset(RECT rc);
    RECT GetInset() const { return m_rcInset; }
    void SetChildPadding(int n);
    int GetChildPadding() const { return m_iChildPadding; }
    // Re-reads a child's fixed size (stretch versus fixed) after it changed.
    virtual void OnChildSizeChanged(CControlUI* pControl);

protected:
    virtual void InsertWidget(CControlUI* pControl, int index);
    virtual QLayout* CreateLayout();
    void RefreshLayoutItem(CControlUI* pControl);

    std::vector<CControlUI*> m_items;
    QLayout* m_pLayout = nullptr;
    RECT m_rcInset{0, 0, 0, 0};
    int m_iChildPadding = 0;
    bool m_bAutoDestroy = true;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    CVerticalLayoutUI();
    CDuiString GetClass() const override { return L"VerticalLayoutUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    CHorizontalLayoutUI();
    CDuiString GetClass() const override { return L"HorizontalLayoutUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
};

// Shows one child at a time.
class CTabLayoutUI : public CContainerUI {
public:
    friend struct ControlAttributes;
    CTabLayoutUI();
    CDuiString GetClass() const override { return L"TabLayoutUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl) override;
    void RemoveAll() override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    int GetCurSel() const { return m_iCurSel; }
    bool SelectItem(int iIndex);

private:
    void ApplySelection();
    int m_iCurSel = -1;
    int m_iPendingSel = -1;
};

class CListUI;

// A list row made of other controls (built from row XML).
class CListContainerElementUI : public CContainerUI {
public:
    CDuiString GetClass() const override { return L"ListContainerElementUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool IsClickable() const override { return true; }
    void OnClicked() override;
    void PaintBkColor(HDC hDC) override;
    int GetIndex() const;
    bool IsSelected() const { return m_bSelected; }
    virtual void Select(bool bSelect = true) { m_bSelected = bSelect; Invalidate(); }

protected:
    bool m_bSelected = false;
};

// A list row holding one text.
class CListLabelElementUI : public CLabelUI {
public:
    CDuiString GetClass() const override { return L"ListLabelElementUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool IsClickable() const override { return true; }
    void OnClicked() override;
    void PaintBkColor(HDC hDC) override;
    int GetIndex() const;
    bool IsSelected() const { return m_bSelected; }
    void Select(bool bSelect = true) { m_bSelected = bSelect; Invalidate(); }

protected:
    bool m_bSelected = false;
};

// Vertical, scrollable list of rows; choosing a row sends "itemselect" (wParam new index,
// lParam previous index).
class CListUI : public CVerticalLayoutUI {
public:
    friend struct ControlAttributes;
    CListUI();
    CDuiString GetClass() const override { return L"ListUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    QWidget* GetChildHost() const override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl) override;
    bool RemoveAt(int iIndex) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    // Same index again does nothing; -1 clears the selection.
    virtual bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true);
    DWORD GetItemSelectedBkColor() const { return m_dwSelectedBkColor; }
    DWORD GetItemHotBkColor() const { return m_dwHotBkColor; }
    DWORD GetItemBkColor() const { return m_dwItemBkColor; }
    // Text colours and font of rows that do not set their own (0 / -1: none given).
    DWORD GetItemTextColor() const { return m_dwItemTextColor; }
    DWORD GetItemSelectedTextColor() const { return m_dwItemSelectedTextColor; }
    DWORD GetItemHotTextColor() const { return m_dwItemHotTextColor; }
    int GetItemFont() const { return m_iItemFont; }

protected:
    void SetItemSelected(CControlUI* item, bool selected);
    void InsertWidget(CControlUI* pControl, int index) override;
    QScrollArea* m_pScroll = nullptr;
    QWidget* m_pContent = nullptr;
    int m_iCurSel = -1;
    DWORD m_dwSelectedBkColor = 0xFFCCE4F7, m_dwHotBkColor = 0xFFE9F2FB, m_dwItemBkColor = 0;
    DWORD m_dwItemTextColor = 0, m_dwItemSelectedTextColor = 0, m_dwItemHotTextColor = 0;
    int m_iItemFont = -1;
};

// Drop-down choice among list rows; picking one sends "itemselect" like a list. The drop-down
// shows the rows with their own height, font and colours, and follows changes to them while
// it is open; it is an ordinary popup, never a nested loop.
class CComboUI : public CListUI {
public:
    friend struct ControlAttributes;
    CComboUI();
    ~CComboUI() override;
    CDuiString GetClass() const override { return L"ComboUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    CDuiString GetText() const override;
    bool IsClickable() const override { return true; }
    void OnClicked() override;
    void PaintText(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;
    bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) override;
    QWidget* GetChildHost() const override { return nullptr; }
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool RemoveAt(int iIndex) override;
    // The open drop-down, or none.
    QWidget* GetDropDown() const;

protected:
    void InsertWidget(CControlUI* pControl, int index) override;
    void RefreshDropDown();
    QPointer<QObject> m_pDropDown;
    DWORD m_dwTextColor = 0xFF333333;
    CDuiString m_sNormalImage, m_sArrowImage;
    RECT m_rcTextPadding{6, 0, 20, 0};
};

// Parses "#AARRGGBB" or "#RRGGBB" (opaque); 0 when it is not a colour.
DWORD ParseColor(LPCTSTR value);
// Parses "l,t,r,b".
RECT ParseRect(LPCTSTR value);
bool ParseBool(LPCTSTR value);

} // namespace DuiLib
