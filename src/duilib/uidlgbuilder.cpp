// Skin parsing.
#include <QDomDocument>
#include <QFile>

#include "common/debug.h"
#include "uicontrols.h"
#include "uidlgbuilder.h"
#include "uimanager.h"
#include "uimenu.h"
#include "uiwidget_p.h"

namespace DuiLib {

namespace {

std::wstring W(const QString& s) { return s.toStdWString(); }

void ApplyWindowAttributes(const QDomElement& win, CPaintManagerUI* pm) {
    QDomNamedNodeMap attrs = win.attributes();
    for (int i = 0; i < attrs.count(); ++i) {
        QDomAttr a = attrs.item(i).toAttr();
        std::wstring n = W(a.name()), v = W(a.value());
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
        else if (n == L"roundcorner" || n == L"bktrans" || n == L"showdirty" || n == L"layered" || n == L"shadow")
            ;
        else
            LogSkinProblem(L"unknown window attribute", n.c_str());
    }
}

class Parser {
public:
    Parser(IDialogBuilderCallback* cb, CPaintManagerUI* pm) : m_cb(cb), m_pm(pm) {}

    CControlUI* Build(const QDomElement& e, CControlUI* parent) {
        std::wstring tag = W(e.tagName());
        CControlUI* c = CDialogBuilder::CreateBuiltinControl(tag.c_str());
        if (!c && m_cb)
            c = m_cb->CreateControl(tag.c_str());
        if (!c) {
            LogSkinProblem(L"unknown skin control, left out", tag.c_str());
            return nullptr;
        }
        if (m_pm)
            c->SetManager(m_pm, parent, false);
        else
            c->SetParentInternal(parent);
        if (m_pm) {
            CDuiString defaults = m_pm->GetDefaultAttributeList(tag.c_str());
            if (!defaults.empty())
                c->ApplyAttributeList(defaults.c_str());
        }
        QDomNamedNodeMap attrs = e.attributes();
        // "float" first: it decides how "pos" is read.
        if (e.hasAttribute(QStringLiteral("float")))
            c->SetAttribute(L"float", W(e.attribute(QStringLiteral("float"))).c_str());
        for (int i = 0; i < attrs.count(); ++i) {
            QDomAttr a = attrs.item(i).toAttr();
            if (a.name() == QLatin1String("float"))
                continue;
            c->SetAttribute(W(a.name()).c_str(), W(a.value()).c_str());
        }
        auto* container = static_cast<CContainerUI*>(c->GetInterface(L"Container"));
        for (QDomElement ch = e.firstChildElement(); !ch.isNull(); ch = ch.nextSiblingElement()) {
            if (!container) {
                LogSkinProblem(L"children of a control that holds none, left out", W(ch.tagName()).c_str());
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
    std::wstring src = xml.m_lpstr;
    QByteArray bytes;
    size_t first = src.find_first_not_of(L" \t\r\n");
    if (first != std::wstring::npos && src[first] == L'<') {
        bytes = QString::fromStdWString(src).toUtf8();
    } else {
        CDuiString file = CResourceManager::GetInstance()->GetXmlPath(src.c_str());
        if (file.empty())
            file = src;
        CDuiString path = CPaintManagerUI::FindResourceFile(file.c_str());
        QFile f(QString::fromStdWString(path));
        if (path.empty() || !f.open(QIODevice::ReadOnly)) {
            DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"skin %s not found", src.c_str());
            return nullptr;
        }
        bytes = f.readAll();
    }
    QDomDocument doc;
    QString err;
    int line = 0;
    if (!doc.setContent(bytes, &err, &line)) {
        std::wstring detail = src.size() > 200 ? src.substr(0, 200) : src;
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"skin %s is not XML (line %d: %s)", detail.c_str(), line,
                  err.toStdWString().c_str());
        return nullptr;
    }
    QDomElement root = doc.documentElement();
    Parser parser(pCallback, pManager);
    QDomElement controlElem = root;
    if (root.tagName() == QLatin1String("Window")) {
        if (pManager)
            ApplyWindowAttributes(root, pManager);
        controlElem = QDomElement();
        for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
            QString tag = e.tagName();
            if (tag == QLatin1String("Font")) {
                if (pManager)
                    pManager->AddFont(e.attribute(QStringLiteral("id"), QStringLiteral("0")).toInt(),
                                      W(e.attribute(QStringLiteral("name"))).c_str(),
                                      e.attribute(QStringLiteral("size"), QStringLiteral("12")).toInt(),
                                      e.attribute(QStringLiteral("bold")) == QLatin1String("true"),
                                      e.attribute(QStringLiteral("underline")) == QLatin1String("true"),
                                      e.attribute(QStringLiteral("italic")) == QLatin1String("true"),
                                      e.attribute(QStringLiteral("default")) == QLatin1String("true"));
            } else if (tag == QLatin1String("Default")) {
                if (pManager)
                    pManager->AddDefaultAttributeList(W(e.attribute(QStringLiteral("name"))).c_str(),
                                                      W(e.attribute(QStringLiteral("value"))).c_str());
            } else if (tag == QLatin1String("Image")) {
                // Images are found by file name; nothing to preload.
            } else if (controlElem.isNull()) {
                controlElem = e;
            } else {
                LogSkinProblem(L"second root control in a window skin, left out", W(tag).c_str());
            }
        }
        if (controlElem.isNull()) {
            DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"skin %s has no control", src.c_str());
            return nullptr;
        }
    }
    CControlUI* c = parser.Build(controlElem, pParent);
    if (c && pParent) {
        if (auto* container = static_cast<CContainerUI*>(pParent->GetInterface(L"Container")))
            container->Add(c);
    }
    return c;
}

} // namespace DuiLib
