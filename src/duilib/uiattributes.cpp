// Every skin attribute the toolkit honours, in one table per control kind, and the value
// syntaxes they share (colours, rectangles, flags, image descriptions). An attribute found in
// no table of the control's kind is logged once per skin file.
#include <QPalette>
#include <QLineEdit>
#include <QLayout>
#include <QRegularExpressionValidator>

#include <cwctype>
#include <mutex>
#include <set>

#include "uicontrols.h"
#include "uigifanim.h"
#include "uimanager.h"
#include "uiskin_p.h"
#include "uiwidget_p.h"

namespace DuiLib {

// ---------------------------------------------------------------------------------------------
// Value syntaxes

DWORD ParseColor(LPCTSTR value) {
    if (!value)
        return 0;
    while (*value && *value <= L' ')
        ++value;
    if (*value == L'#')
        ++value;
    wchar_t* end = nullptr;
    unsigned long v = wcstoul(value, &end, 16);
    size_t digits = static_cast<size_t>(end - value);
    if (digits == 0)
        return 0;
    // Six digits name an opaque colour in our skins.
    if (digits <= 6)
        v |= 0xFF000000UL;
    return static_cast<DWORD>(v);
}

RECT ParseRect(LPCTSTR value) {
    RECT rc{0, 0, 0, 0};
    if (!value)
        return rc;
    LONG* parts[4] = {&rc.left, &rc.top, &rc.right, &rc.bottom};
    const wchar_t* p = value;
    for (int i = 0; i < 4 && *p; ++i) {
        wchar_t* end = nullptr;
        *parts[i] = static_cast<LONG>(wcstol(p, &end, 10));
        if (end == p)
            break;
        p = end;
        while (*p == L',' || *p == L' ')
            ++p;
    }
    return rc;
}

bool ParseBool(LPCTSTR value) { return value && (wcscmp(value, L"true") == 0 || wcscmp(value, L"1") == 0); }

namespace {

int ParseInt(LPCTSTR value) { return value ? static_cast<int>(wcstol(value, nullptr, 10)) : 0; }

template <class T>
struct Attr {
    const wchar_t* name;
    void (*apply)(T& c, LPCTSTR value);
};

template <class T, size_t N>
bool Apply(const Attr<T> (&table)[N], T& c, LPCTSTR name, LPCTSTR value) {
    for (const Attr<T>& a : table)
        if (wcscmp(a.name, name) == 0) {
            a.apply(c, value ? value : L"");
            return true;
        }
    return false;
}

} // namespace

bool ParseImageDescription(const std::wstring& text, ImageDescription& out) {
    out = ImageDescription();
    if (text.find(L'=') == std::wstring::npos) {
        out.file = text;
        return !text.empty();
    }
    size_t i = 0;
    while (i < text.size()) {
        size_t eq = text.find(L'=', i);
        if (eq == std::wstring::npos)
            break;
        std::wstring key = text.substr(i, eq - i);
        key.erase(0, key.find_first_not_of(L" "));
        size_t q1 = eq + 1;
        if (q1 >= text.size() || text[q1] != L'\'')
            break;
        size_t q2 = text.find(L'\'', q1 + 1);
        if (q2 == std::wstring::npos)
            break;
        std::wstring value = text.substr(q1 + 1, q2 - q1 - 1);
        if (key == L"file" || key == L"res")
            out.file = value;
        else if (key == L"dest") {
            out.dest = ParseRect(value.c_str());
            out.hasDest = true;
        } else if (key == L"source") {
            out.source = ParseRect(value.c_str());
            out.hasSource = true;
        } else if (key == L"fade")
            out.fade = ParseInt(value.c_str());
        else {
            // Painting runs often: each unknown key is logged once for the process.
            static std::mutex m;
            static std::set<std::wstring> logged;
            std::lock_guard<std::mutex> lock(m);
            if (logged.insert(key).second)
                LogSkinProblem(L"image attribute not honoured", key);
        }
        i = q2 + 1;
    }
    return !out.file.empty();
}

// ---------------------------------------------------------------------------------------------
// The tables

struct ControlAttributes {
    static bool Control(CControlUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CControlUI> table[] = {
            {L"name", [](CControlUI& c, LPCTSTR v) { c.SetName(v); }},
            {L"text", [](CControlUI& c, LPCTSTR v) { c.SetText(v); }},
            {L"tooltip", [](CControlUI& c, LPCTSTR v) { c.SetToolTip(v); }},
            {L"userdata", [](CControlUI& c, LPCTSTR v) { c.SetUserData(v); }},
            {L"width", [](CControlUI& c, LPCTSTR v) { c.SetFixedWidth(ParseInt(v)); }},
            {L"height", [](CControlUI& c, LPCTSTR v) { c.SetFixedHeight(ParseInt(v)); }},
            {L"minwidth", [](CControlUI& c, LPCTSTR v) { c.SetMinWidth(ParseInt(v)); }},
            {L"maxwidth", [](CControlUI& c, LPCTSTR v) { c.SetMaxWidth(ParseInt(v)); }},
            {L"minheight", [](CControlUI& c, LPCTSTR v) { c.SetMinHeight(ParseInt(v)); }},
            {L"maxheight", [](CControlUI& c, LPCTSTR v) { c.SetMaxHeight(ParseInt(v)); }},
            {L"pos", [](CControlUI& c, LPCTSTR v) {
                 RECT rc = ParseRect(v);
                 c.m_rcFloatPos = rc;
                 c.SetFixedWidth(std::max<LONG>(rc.right - rc.left, 0));
                 c.SetFixedHeight(std::max<LONG>(rc.bottom - rc.top, 0));
                 if (c.m_bFloat && c.m_pWidget && c.m_pWidget->parentWidget())
                     c.m_pWidget->move(rc.left, rc.top);
             }},
            {L"float", [](CControlUI& c, LPCTSTR v) { c.SetFloat(ParseBool(v)); }},
            {L"padding", [](CControlUI& c, LPCTSTR v) { c.SetPadding(ParseRect(v)); }},
            {L"bkcolor", [](CControlUI& c, LPCTSTR v) { c.SetBkColor(ParseColor(v)); }},
            {L"bkcolor1", [](CControlUI& c, LPCTSTR v) { c.SetBkColor(ParseColor(v)); }},
            {L"bkimage", [](CControlUI& c, LPCTSTR v) { c.SetBkImage(v); }},
            {L"bordercolor", [](CControlUI& c, LPCTSTR v) { c.SetBorderColor(ParseColor(v)); }},
            {L"bordersize", [](CControlUI& c, LPCTSTR v) { c.SetBorderSize(ParseInt(v)); }},
            {L"visible", [](CControlUI& c, LPCTSTR v) { c.SetVisible(ParseBool(v)); }},
            {L"enabled", [](CControlUI& c, LPCTSTR v) { c.SetEnabled(ParseBool(v)); }},
        };
        return Apply(table, c, n, v);
    }

    static bool Label(CLabelUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CLabelUI> table[] = {
            {L"textcolor", [](CLabelUI& c, LPCTSTR v) { c.SetTextColor(ParseColor(v)); }},
            {L"disabledtextcolor", [](CLabelUI& c, LPCTSTR v) { c.SetDisabledTextColor(ParseColor(v)); }},
            {L"font", [](CLabelUI& c, LPCTSTR v) { c.SetFont(ParseInt(v)); }},
            {L"textpadding", [](CLabelUI& c, LPCTSTR v) { c.SetTextPadding(ParseRect(v)); }},
            {L"align", [](CLabelUI& c, LPCTSTR v) {
                 std::wstring s = v;
                 UINT style = c.m_uTextStyle & ~(CLabelUI::DT_CENTER | CLabelUI::DT_RIGHT);
                 if (s.find(L"center") != std::wstring::npos)
                     style |= CLabelUI::DT_CENTER;
                 else if (s.find(L"right") != std::wstring::npos)
                     style |= CLabelUI::DT_RIGHT;
                 c.SetTextStyle(style);
             }},
            {L"valign", [](CLabelUI& c, LPCTSTR v) {
                 std::wstring s = v;
                 UINT style = c.m_uTextStyle & ~(CLabelUI::DT_VCENTER | CLabelUI::DT_BOTTOM);
                 if (s.find(L"center") != std::wstring::npos)
                     style |= CLabelUI::DT_VCENTER;
                 else if (s.find(L"bottom") != std::wstring::npos)
                     style |= CLabelUI::DT_BOTTOM;
                 c.SetTextStyle(style);
             }},
            {L"endellipsis", [](CLabelUI& c, LPCTSTR v) {
                 c.SetTextStyle(ParseBool(v) ? (c.m_uTextStyle | CLabelUI::DT_END_ELLIPSIS)
                                             : (c.m_uTextStyle & ~CLabelUI::DT_END_ELLIPSIS));
             }},
            {L"wordbreak", WordBreak},
            {L"multiline", WordBreak},
        };
        return Apply(table, c, n, v);
    }

    static void WordBreak(CLabelUI& c, LPCTSTR v) {
        if (ParseBool(v))
            c.SetTextStyle((c.m_uTextStyle | CLabelUI::DT_WORDBREAK) & ~CLabelUI::DT_SINGLELINE);
        else
            c.SetTextStyle((c.m_uTextStyle & ~CLabelUI::DT_WORDBREAK) | CLabelUI::DT_SINGLELINE);
    }

    static bool Button(CButtonUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CButtonUI> table[] = {
            {L"normalimage", [](CButtonUI& c, LPCTSTR v) { c.SetNormalImage(v); }},
            {L"hotimage", [](CButtonUI& c, LPCTSTR v) { c.SetHotImage(v); }},
            {L"pushedimage", [](CButtonUI& c, LPCTSTR v) { c.SetPushedImage(v); }},
            {L"disabledimage", [](CButtonUI& c, LPCTSTR v) { c.SetDisabledImage(v); }},
            {L"hotbkcolor", [](CButtonUI& c, LPCTSTR v) { c.m_dwHotBkColor = ParseColor(v); }},
            {L"pushedbkcolor", [](CButtonUI& c, LPCTSTR v) { c.m_dwPushedBkColor = ParseColor(v); }},
            {L"hottextcolor", [](CButtonUI& c, LPCTSTR v) { c.m_dwHotTextColor = ParseColor(v); }},
        };
        return Apply(table, c, n, v);
    }

    static bool Option(COptionUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<COptionUI> table[] = {
            {L"group", [](COptionUI& c, LPCTSTR v) { c.SetGroup(v); }},
            {L"selected", [](COptionUI& c, LPCTSTR v) { c.Selected(ParseBool(v), false); }},
            {L"selectedimage", [](COptionUI& c, LPCTSTR v) { c.SetSelectedImage(v); }},
            {L"selectedhotimage", [](COptionUI& c, LPCTSTR v) { c.m_sSelectedHotImage = v; }},
            {L"selectedbkcolor", [](COptionUI& c, LPCTSTR v) { c.m_dwSelectedBkColor = ParseColor(v); }},
            {L"selectedtextcolor", [](COptionUI& c, LPCTSTR v) { c.m_dwSelectedTextColor = ParseColor(v); }},
        };
        return Apply(table, c, n, v);
    }

    // The edit's own, and the label attributes its line edit must follow too.
    static bool Edit(CEditUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CEditUI> table[] = {
            {L"readonly", [](CEditUI& c, LPCTSTR v) { c.SetReadOnly(ParseBool(v)); }},
            {L"password", [](CEditUI& c, LPCTSTR v) { c.SetPasswordMode(ParseBool(v)); }},
            {L"maxchar", [](CEditUI& c, LPCTSTR v) { c.SetMaxChar(static_cast<UINT>(wcstoul(v, nullptr, 10))); }},
            {L"tipvalue", [](CEditUI& c, LPCTSTR v) { c.SetTipValue(v); }},
            {L"numberonly", [](CEditUI& c, LPCTSTR v) {
                 if (ParseBool(v) && c.m_pEdit)
                     c.m_pEdit->setValidator(
                         new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), c.m_pEdit));
             }},
            {L"textcolor", [](CEditUI& c, LPCTSTR v) {
                 Label(c, L"textcolor", v);
                 if (c.m_pEdit) {
                     QPalette p = c.m_pEdit->palette();
                     p.setColor(QPalette::Text, ToQColor(c.m_dwTextColor));
                     c.m_pEdit->setPalette(p);
                 }
             }},
            {L"font", [](CEditUI& c, LPCTSTR v) {
                 Label(c, L"font", v);
                 if (c.m_pEdit && c.m_pManager)
                     c.m_pEdit->setFont(c.m_pManager->GetFont(c.m_iFont));
             }},
            {L"textpadding", [](CEditUI& c, LPCTSTR v) {
                 Label(c, L"textpadding", v);
                 RECT p = c.m_rcTextPadding;
                 if (auto* lay = c.m_pWidget ? c.m_pWidget->layout() : nullptr)
                     lay->setContentsMargins(p.left, p.top, p.right, p.bottom);
             }},
        };
        return Apply(table, c, n, v);
    }

    static bool GifAnim(CGifAnimUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CGifAnimUI> table[] = {
            {L"bkimage", [](CGifAnimUI& c, LPCTSTR v) {
                 if (!c.SetAnimation(v))
                     LogSkinProblem(L"animation not readable", v);
             }},
            {L"autoplay", [](CGifAnimUI& c, LPCTSTR v) { c.SetAutoPlay(ParseBool(v)); }},
        };
        return Apply(table, c, n, v);
    }

    static bool Container(CContainerUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CContainerUI> table[] = {
            {L"inset", [](CContainerUI& c, LPCTSTR v) { c.SetInset(ParseRect(v)); }},
            {L"childpadding", [](CContainerUI& c, LPCTSTR v) { c.SetChildPadding(ParseInt(v)); }},
        };
        return Apply(table, c, n, v);
    }

    static bool TabLayout(CTabLayoutUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CTabLayoutUI> table[] = {
            {L"selectedid", [](CTabLayoutUI& c, LPCTSTR v) {
                 // Skins name the page before its children are read: kept until that page exists.
                 int i = ParseInt(v);
                 if (!c.SelectItem(i))
                     c.m_iPendingSel = i;
             }},
        };
        return Apply(table, c, n, v);
    }

    static bool List(CListUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CListUI> table[] = {
            {L"itemselectedbkcolor", [](CListUI& c, LPCTSTR v) { c.m_dwSelectedBkColor = ParseColor(v); }},
            {L"itemhotbkcolor", [](CListUI& c, LPCTSTR v) { c.m_dwHotBkColor = ParseColor(v); }},
            {L"itembkcolor", [](CListUI& c, LPCTSTR v) { c.m_dwItemBkColor = ParseColor(v); }},
            {L"itemtextcolor", [](CListUI& c, LPCTSTR v) { c.m_dwItemTextColor = ParseColor(v); }},
            {L"itemselectedtextcolor", [](CListUI& c, LPCTSTR v) { c.m_dwItemSelectedTextColor = ParseColor(v); }},
            {L"itemhottextcolor", [](CListUI& c, LPCTSTR v) { c.m_dwItemHotTextColor = ParseColor(v); }},
            {L"itemfont", [](CListUI& c, LPCTSTR v) { c.m_iItemFont = ParseInt(v); }},
        };
        return Apply(table, c, n, v);
    }

    static bool Combo(CComboUI& c, LPCTSTR n, LPCTSTR v) {
        static const Attr<CComboUI> table[] = {
            {L"textcolor", [](CComboUI& c, LPCTSTR v) { c.m_dwTextColor = ParseColor(v); }},
            {L"textpadding", [](CComboUI& c, LPCTSTR v) { c.m_rcTextPadding = ParseRect(v); }},
            {L"normalimage", [](CComboUI& c, LPCTSTR v) { c.m_sNormalImage = v; }},
            {L"arrowimage", [](CComboUI& c, LPCTSTR v) { c.m_sArrowImage = v; }},
        };
        return Apply(table, c, n, v);
    }
};

// ---------------------------------------------------------------------------------------------
// SetAttribute of each kind: its own table, then its base's.

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (!pstrName || !ControlAttributes::Control(*this, pstrName, pstrValue))
        LogUnknownAttribute(pstrName);
}

void CControlUI::LogUnknownAttribute(LPCTSTR name) const {
    LogSkinProblem(L"skin attribute not honoured", GetClass() + L" " + (name ? name : L""));
}

void CControlUI::ApplyAttributeList(LPCTSTR pstrList) {
    // name="value" pairs, the value in double quotes.
    std::wstring s = pstrList ? pstrList : L"";
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && iswspace(s[i]))
            ++i;
        size_t eq = s.find(L'=', i);
        if (eq == std::wstring::npos)
            break;
        std::wstring name = s.substr(i, eq - i);
        while (!name.empty() && iswspace(name.back()))
            name.pop_back();
        size_t q1 = s.find_first_of(L"\"'", eq);
        if (q1 == std::wstring::npos)
            break;
        size_t q2 = s.find(s[q1], q1 + 1);
        if (q2 == std::wstring::npos)
            break;
        SetAttribute(name.c_str(), s.substr(q1 + 1, q2 - q1 - 1).c_str());
        i = q2 + 1;
    }
}

void CLabelUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::Label(*this, n, v))
        CControlUI::SetAttribute(n, v);
}

void CButtonUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::Button(*this, n, v))
        CLabelUI::SetAttribute(n, v);
}

void COptionUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::Option(*this, n, v))
        CButtonUI::SetAttribute(n, v);
}

void CEditUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::Edit(*this, n, v))
        CLabelUI::SetAttribute(n, v);
}

void CGifAnimUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::GifAnim(*this, n, v))
        CControlUI::SetAttribute(n, v);
}

void CContainerUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::Container(*this, n, v))
        CControlUI::SetAttribute(n, v);
}

void CTabLayoutUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::TabLayout(*this, n, v))
        CContainerUI::SetAttribute(n, v);
}

void CListUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::List(*this, n, v))
        CVerticalLayoutUI::SetAttribute(n, v);
}

void CComboUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
    if (!n || !ControlAttributes::Combo(*this, n, v))
        CListUI::SetAttribute(n, v);
}

} // namespace DuiLib
