// Building control trees from skins.
#include "uicontrols.h"
#include "uidlgbuilder.h"
#include "uigifanim.h"
#include "uilog.h"
#include "uimanager.h"
#include "uimenu.h"
#include "uiskin_p.h"

namespace DuiLib {

namespace {

int ToInt(const std::wstring& v, int fallback) {
    wchar_t* end = nullptr;
    long n = wcstol(v.c_str(), &end, 10);
    return end == v.c_str() ? fallback : static_cast<int>(n);
}

void ApplyWindowAttributes(const SkinNode& win, CPaintManagerUI* pm) {
    for (const auto& [n, v] : win.attrs) {
        RECT rc = ParseRect(v.c_str());
        if (n == L"size")
            pm->SetInitSize(rc.left, rc.top);
        else if (n == L"mininfo")
            pm->SetMinInfo(rc.left, rc.top);
        else if (n == L"maxinfo")
            pm->SetMaxInfo(rc.left, rc.top);
        else if (n == L"caption")
            pm->SetCaptionRect(rc);
        else if (n == L"sizebox")
            pm->SetSizeBox(rc);
        else if (n == L"defaultfontcolor")
            pm->SetDefaultFontColor(ParseColor(v.c_str()));
        else
            LogSkinProblem(L"window attribute not honoured", n);
    }
}

std::wstring Attr(const SkinNode& node, const wchar_t* name, const wchar_t* fallback = L"") {
    for (const auto& a : node.attrs)
        if (a.first == name)
            return a.second;
    return fallback;
}

void AddFont(const SkinNode& e, CPaintManagerUI* pm) {
    pm->AddFont(ToInt(Attr(e, L"id", L"0"), 0), Attr(e, L"name").c_str(), ToInt(Attr(e, L"size", L"12"), 12),
                Attr(e, L"bold") == L"true", Attr(e, L"underline") == L"true", Attr(e, L"italic") == L"true",
                Attr(e, L"default") == L"true");
}

class Builder {
public:
    Builder(IDialogBuilderCallback* cb, CPaintManagerUI* pm) : m_cb(cb), m_pm(pm) {}

    CControlUI* Build(const SkinNode& e, CControlUI* parent) {
        CControlUI* c = CDialogBuilder::CreateBuiltinControl(e.tag.c_str());
        if (!c && m_cb)
            c = m_cb->CreateControl(e.tag.c_str());
        if (!c) {
            LogSkinProblem(L"unknown skin control, left out", e.tag);
            return nullptr;
        }
        if (m_pm)
            c->SetManager(m_pm, parent, false);
        else
            c->SetParentInternal(parent);
        if (m_pm) {
            CDuiString defaults = m_pm->GetDefaultAttributeList(e.tag.c_str());
            if (!defaults.empty())
                c->ApplyAttributeList(defaults.c_str());
        }
        // In document order: a later attribute wins over an earlier one, the same in every run.
        for (const auto& [name, value] : e.attrs)
            c->SetAttribute(name.c_str(), value.c_str());
        auto* container = static_cast<CContainerUI*>(c->GetInterface(L"Container"));
        for (const SkinNode& ch : e.children) {
            if (!container) {
                LogSkinProblem(L"children of a control that holds none, left out", ch.tag);
                continue;
            }
            if (CControlUI* child = Build(ch, c))
                container->Add(child);
        }
        return c;
    }

private:
    IDialogBuilderCallback* m_cb;
    CPaintManagerUI* m_pm;
};

std::shared_ptr<SkinDocument> Load(const std::wstring& src) {
    size_t first = src.find_first_not_of(L" \t\r\n");
    if (first != std::wstring::npos && src[first] == L'<')
        return ParseSkinText(src);
    CDuiString file = CResourceManager::GetInstance()->GetXmlPath(src.c_str());
    if (file.empty())
        file = src;
    CDuiString path = CPaintManagerUI::FindResourceFile(file.c_str());
    if (path.empty()) {
        UILog(UILOG_ERROR, L"skin %s not found", src.c_str());
        return nullptr;
    }
    return LoadSkinFile(path, src);
}

} // namespace

CControlUI* CDialogBuilder::CreateBuiltinControl(LPCTSTR pstrClass) {
    std::wstring t = pstrClass ? pstrClass : L"";
    if (t == L"Control") return new CControlUI;
    if (t == L"Label") return new CLabelUI;
    if (t == L"Text") return new CTextUI;
    if (t == L"Button") return new CButtonUI;
    if (t == L"Option") return new COptionUI;
    if (t == L"CheckBox") return new CCheckBoxUI;
    if (t == L"Edit") return new CEditUI;
    if (t == L"GifAnim") return new CGifAnimUI;
    if (t == L"Container") return new CContainerUI;
    if (t == L"VerticalLayout") return new CVerticalLayoutUI;
    if (t == L"HorizontalLayout") return new CHorizontalLayoutUI;
    if (t == L"TabLayout") return new CTabLayoutUI;
    if (t == L"List") return new CListUI;
    if (t == L"ListContainerElement") return new CListContainerElementUI;
    if (t == L"ListLabelElement") return new CListLabelElementUI;
    if (t == L"Combo") return new CComboUI;
    if (t == L"Menu") return new CMenuUI;
    if (t == L"MenuElement") return new CMenuElementUI;
    return nullptr;
}

CControlUI* CDialogBuilder::Create(STRINGorID xml, LPCTSTR, IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager,
                                   CControlUI* pParent) {
    std::shared_ptr<SkinDocument> doc = Load(xml.m_lpstr);
    if (!doc)
        return nullptr;
    SkinLogScope logScope(doc.get());
    const SkinNode& root = doc->root;
    const SkinNode* controlElem = &root;
    if (root.tag == L"Window") {
        if (pManager)
            ApplyWindowAttributes(root, pManager);
        controlElem = nullptr;
        for (const SkinNode& e : root.children) {
            if (e.tag == L"Font") {
                if (pManager)
                    AddFont(e, pManager);
            } else if (e.tag == L"Default") {
                if (pManager)
                    pManager->AddDefaultAttributeList(Attr(e, L"name").c_str(), Attr(e, L"value").c_str());
            } else if (e.tag == L"Image") {
                // Images are found by file name; nothing to preload.
            } else if (!controlElem) {
                controlElem = &e;
            } else {
                LogSkinProblem(L"second root control in a window skin, left out", e.tag);
            }
        }
        if (!controlElem) {
            UILog(UILOG_ERROR, L"skin %s has no control", doc->name.c_str());
            return nullptr;
        }
    }
    CControlUI* c = Builder(pCallback, pManager).Build(*controlElem, pParent);
    if (c && pParent) {
        if (auto* container = static_cast<CContainerUI*>(pParent->GetInterface(L"Container")))
            container->Add(c);
    }
    return c;
}

} // namespace DuiLib
