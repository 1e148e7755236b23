// The control base and the simple controls (label, text, button, option, check box, edit).
#include <QBoxLayout>
#include <cwctype>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpressionValidator>

#include "common/debug.h"
#include "uicontrols.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

// ---------------------------------------------------------------------------------------------
// Helpers

QColor ToQColor(DWORD argb) { return QColor::fromRgba(static_cast<QRgb>(argb)); }

void LogSkinProblem(const wchar_t* text, const wchar_t* detail) {
    DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"%s: %s", text, detail ? detail : L"");
}

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

// ---------------------------------------------------------------------------------------------
// DuiWidget

void DuiWidget::paintEvent(QPaintEvent*) {
    if (!m_owner)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_owner->DoPaint(&painter);
}

void DuiWidget::enterEvent(QEnterEvent* e) {
    if (m_owner && m_owner->IsClickable()) {
        m_owner->SetHotState(true);
        m_owner->OnHover(true);
        update();
    }
    QWidget::enterEvent(e);
}

void DuiWidget::leaveEvent(QEvent* e) {
    if (m_owner && m_owner->IsClickable()) {
        m_owner->SetHotState(false);
        m_owner->OnHover(false);
        update();
    }
    QWidget::leaveEvent(e);
}

void DuiWidget::mousePressEvent(QMouseEvent* e) {
    if (m_owner && m_owner->IsClickable() && m_owner->IsEnabled() && e->button() == Qt::LeftButton) {
        m_owner->SetPushedState(true);
        update();
        e->accept();
        return;
    }
    // Not ours: the parent (a list row, the window's caption) gets it.
    e->ignore();
}

void DuiWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    if (m_owner && m_owner->IsClickable()) {
        mousePressEvent(e);
        return;
    }
    e->ignore();
}

void DuiWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_owner || !m_owner->IsClickable() || !m_owner->IsPushed() || e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    m_owner->SetPushedState(false);
    update();
    e->accept();
    if (rect().contains(e->position().toPoint()) && m_owner->IsEnabled()) {
        // The click may delete the control (and queue this widget's deletion).
        QPointer<DuiWidget> guard(this);
        m_owner->OnClicked();
        (void)guard;
    }
}

// ---------------------------------------------------------------------------------------------
// CControlUI

CControlUI::CControlUI() {
    m_pWidget = new DuiWidget(this);
    m_pWidget->hide();
    m_pWidget->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

CControlUI::~CControlUI() {
    if (ManagerAlive())
        m_pManager->ReapObjects(this);
    if (DuiWidget* w = m_pWidget.data()) {
        w->Detach();
        w->hide();
        // Deferred: the widget may be inside its own event handler right now.
        w->setParent(nullptr);
        w->deleteLater();
    }
}

LPVOID CControlUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Control"))
        return this;
    return nullptr;
}

QWidget* CControlUI::GetWidget() const { return m_pWidget.data(); }
QWidget* CControlUI::GetChildHost() const { return m_pWidget.data(); }

void CControlUI::SetText(LPCTSTR pstrText) {
    m_sText = pstrText;
    Invalidate();
}

void CControlUI::SetToolTip(LPCTSTR pstrText) {
    m_sToolTip = pstrText;
    if (m_pWidget)
        m_pWidget->setToolTip(QString::fromStdWString(m_sToolTip));
}

void CControlUI::UpdateSizeConstraints() {
    QWidget* w = GetWidget();
    if (!w)
        return;
    if (m_cxyFixed.cx > 0)
        w->setFixedWidth(m_cxyFixed.cx);
    else {
        w->setMinimumWidth(m_cxyMin.cx);
        w->setMaximumWidth(m_cxyMax.cx >= 9999 ? QWIDGETSIZE_MAX : m_cxyMax.cx);
    }
    if (m_cxyFixed.cy > 0)
        w->setFixedHeight(m_cxyFixed.cy);
    else {
        w->setMinimumHeight(m_cxyMin.cy);
        w->setMaximumHeight(m_cxyMax.cy >= 9999 ? QWIDGETSIZE_MAX : m_cxyMax.cy);
    }
    w->setSizePolicy(m_cxyFixed.cx > 0 ? QSizePolicy::Fixed : QSizePolicy::Ignored,
                     m_cxyFixed.cy > 0 ? QSizePolicy::Fixed : QSizePolicy::Ignored);
    if (m_pParent) {
        if (auto* c = static_cast<CContainerUI*>(m_pParent->GetInterface(L"Container")))
            c->OnChildSizeChanged(this);
    }
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    UpdateSizeConstraints();
}
void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    UpdateSizeConstraints();
}
void CControlUI::SetMinWidth(int cx) { m_cxyMin.cx = std::max(cx, 0); UpdateSizeConstraints(); }
void CControlUI::SetMaxWidth(int cx) { m_cxyMax.cx = std::max(cx, 0); UpdateSizeConstraints(); }
void CControlUI::SetMinHeight(int cy) { m_cxyMin.cy = std::max(cy, 0); UpdateSizeConstraints(); }
void CControlUI::SetMaxHeight(int cy) { m_cxyMax.cy = std::max(cy, 0); UpdateSizeConstraints(); }

void CControlUI::SetPadding(RECT rc) {
    m_rcPadding = rc;
    if (m_pParent) {
        if (auto* c = static_cast<CContainerUI*>(m_pParent->GetInterface(L"Container")))
            c->OnChildSizeChanged(this);
    }
}

void CControlUI::ApplyParentedVisibility() {
    QWidget* w = GetWidget();
    // A widget without a parent would become a window of its own: it stays hidden until placed.
    if (w && w->parentWidget())
        w->setVisible(m_bVisible);
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible)
        return;
    m_bVisible = bVisible;
    ApplyParentedVisibility();
}

void CControlUI::SetInternVisible(bool bVisible) { m_bInternVisible = bVisible; }

void CControlUI::SetEnabled(bool bEnable) {
    m_bEnabled = bEnable;
    if (m_pWidget)
        m_pWidget->setEnabled(bEnable);
    Invalidate();
}

void CControlUI::SetFloat(bool bFloat) { m_bFloat = bFloat; }

bool CControlUI::IsFocused() const { return m_pWidget && m_pWidget->hasFocus(); }
void CControlUI::SetFocus() {
    if (m_pWidget) {
        m_pWidget->setFocusPolicy(Qt::StrongFocus);
        m_pWidget->setFocus();
    }
}

RECT CControlUI::GetPos() const {
    QWidget* w = GetWidget();
    if (!w)
        return RECT{0, 0, 0, 0};
    QPoint tl = w->parentWidget() ? w->mapTo(w->window(), QPoint(0, 0)) : w->pos();
    return RECT{tl.x(), tl.y(), tl.x() + w->width(), tl.y() + w->height()};
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
    QWidget* w = GetWidget();
    if (!w)
        return;
    QPoint tl(rc.left, rc.top);
    if (QWidget* p = w->parentWidget())
        tl = p->mapFrom(w->window(), tl);
    w->setGeometry(tl.x(), tl.y(), std::max<LONG>(rc.right - rc.left, 0), std::max<LONG>(rc.bottom - rc.top, 0));
    if (bNeedInvalidate)
        Invalidate();
}

void CControlUI::SetBkImage(LPCTSTR pStrImage) {
    m_sBkImage = pStrImage;
    Invalidate();
}
void CControlUI::SetBkColor(DWORD dwBackColor) {
    m_dwBackColor = dwBackColor;
    Invalidate();
}
void CControlUI::SetBorderColor(DWORD dwColor) {
    m_dwBorderColor = dwColor;
    Invalidate();
}
void CControlUI::SetBorderSize(int n) {
    m_nBorderSize = std::max(n, 0);
    Invalidate();
}

void CControlUI::Invalidate() {
    if (m_pWidget)
        m_pWidget->update();
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager = pManager;
    m_managerAlive = pManager ? pManager->AliveToken() : std::weak_ptr<bool>();
    m_pParent = pParent;
    if (bInit && pManager)
        DoInit();
}

bool CControlUI::ForEach(const std::function<bool(CControlUI*)>& fn) { return fn(this); }

void CControlUI::LogUnknownAttribute(LPCTSTR name, LPCTSTR value) const {
    std::wstring detail = GetClass() + L" " + (name ? name : L"") + L"=\"" + (value ? value : L"") + L"\"";
    LogSkinProblem(L"unknown skin attribute", detail.c_str());
}

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = pstrName ? pstrName : L"";
    if (n == L"name")
        SetName(pstrValue);
    else if (n == L"text")
        SetText(pstrValue);
    else if (n == L"tooltip")
        SetToolTip(pstrValue);
    else if (n == L"userdata")
        SetUserData(pstrValue);
    else if (n == L"width")
        SetFixedWidth(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"height")
        SetFixedHeight(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"minwidth")
        SetMinWidth(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"maxwidth")
        SetMaxWidth(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"minheight")
        SetMinHeight(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"maxheight")
        SetMaxHeight(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"pos") {
        RECT rc = ParseRect(pstrValue);
        m_rcFloatPos = rc;
        SetFixedWidth(std::max<LONG>(rc.right - rc.left, 0));
        SetFixedHeight(std::max<LONG>(rc.bottom - rc.top, 0));
        if (m_bFloat && m_pWidget && m_pWidget->parentWidget())
            m_pWidget->move(rc.left, rc.top);
    } else if (n == L"float")
        SetFloat(ParseBool(pstrValue));
    else if (n == L"padding")
        SetPadding(ParseRect(pstrValue));
    else if (n == L"bkcolor" || n == L"bkcolor1")
        SetBkColor(ParseColor(pstrValue));
    else if (n == L"bkimage")
        SetBkImage(pstrValue);
    else if (n == L"bordercolor")
        SetBorderColor(ParseColor(pstrValue));
    else if (n == L"bordersize")
        SetBorderSize(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"visible")
        SetVisible(ParseBool(pstrValue));
    else if (n == L"enabled")
        SetEnabled(ParseBool(pstrValue));
    else if (n == L"mouse" || n == L"keyboard" || n == L"cursor" || n == L"virtualwnd" || n == L"menu" ||
             n == L"focusbordercolor" || n == L"bkcolor2" || n == L"bkcolor3")
        ;  // accepted, no meaning here
    else
        LogUnknownAttribute(pstrName, pstrValue);
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

void CControlUI::DoPaint(HDC hDC) {
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
}

void CControlUI::PaintBkColor(HDC hDC) {
    if (m_dwBackColor >> 24)
        hDC->fillRect(m_pWidget->rect(), ToQColor(m_dwBackColor));
}

void CControlUI::PaintBkImage(HDC hDC) {
    if (!m_sBkImage.empty())
        DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintBorder(HDC hDC) {
    if (m_nBorderSize > 0 && (m_dwBorderColor >> 24)) {
        QPen pen(ToQColor(m_dwBorderColor));
        pen.setWidth(m_nBorderSize);
        hDC->setPen(pen);
        hDC->setBrush(Qt::NoBrush);
        int h = m_nBorderSize / 2;
        hDC->drawRect(m_pWidget->rect().adjusted(h, h, -h - (m_nBorderSize % 2 ? 1 : 0), -h - (m_nBorderSize % 2 ? 1 : 0)));
    }
}

bool CControlUI::DrawImage(HDC hDC, const CDuiString& image) {
    if (image.empty() || !m_pWidget)
        return false;
    std::wstring file = image;
    RECT dest{0, 0, 0, 0}, source{0, 0, 0, 0};
    bool hasDest = false, hasSource = false;
    int fade = 255;
    if (image.find(L'=') != std::wstring::npos) {
        file.clear();
        size_t i = 0;
        const std::wstring& s = image;
        while (i < s.size()) {
            size_t eq = s.find(L'=', i);
            if (eq == std::wstring::npos)
                break;
            std::wstring key = s.substr(i, eq - i);
            key.erase(0, key.find_first_not_of(L" "));
            size_t q1 = eq + 1;
            if (q1 >= s.size() || s[q1] != L'\'')
                break;
            size_t q2 = s.find(L'\'', q1 + 1);
            if (q2 == std::wstring::npos)
                break;
            std::wstring value = s.substr(q1 + 1, q2 - q1 - 1);
            if (key == L"file" || key == L"res")
                file = value;
            else if (key == L"dest") {
                dest = ParseRect(value.c_str());
                hasDest = true;
            } else if (key == L"source") {
                source = ParseRect(value.c_str());
                hasSource = true;
            } else if (key == L"fade")
                fade = static_cast<int>(wcstol(value.c_str(), nullptr, 10));
            i = q2 + 1;
        }
    }
    CDuiString path = CPaintManagerUI::FindResourceFile(file.c_str());
    if (path.empty())
        return false;
    QPixmap pm = CPaintManagerUI::GetImage(path);
    if (pm.isNull())
        return false;
    QRect target = hasDest ? QRect(dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top) : m_pWidget->rect();
    QRect src = hasSource ? QRect(source.left, source.top, source.right - source.left, source.bottom - source.top) : pm.rect();
    hDC->save();
    hDC->setOpacity(std::clamp(fade, 0, 255) / 255.0);
    hDC->drawPixmap(target, pm, src);
    hDC->restore();
    return true;
}

// ---------------------------------------------------------------------------------------------
// CLabelUI / CTextUI

LPVOID CLabelUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Label"))
        return this;
    return CControlUI::GetInterface(pstrName);
}

LPVOID CTextUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Text"))
        return this;
    return CLabelUI::GetInterface(pstrName);
}

void CLabelUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = pstrName ? pstrName : L"";
    std::wstring v = pstrValue ? pstrValue : L"";
    if (n == L"textcolor")
        SetTextColor(ParseColor(pstrValue));
    else if (n == L"disabledtextcolor")
        SetDisabledTextColor(ParseColor(pstrValue));
    else if (n == L"font")
        SetFont(static_cast<int>(wcstol(pstrValue, nullptr, 10)));
    else if (n == L"textpadding")
        SetTextPadding(ParseRect(pstrValue));
    else if (n == L"align") {
        m_uTextStyle &= ~(DT_CENTER | DT_RIGHT);
        if (v.find(L"center") != std::wstring::npos)
            m_uTextStyle |= DT_CENTER;
        else if (v.find(L"right") != std::wstring::npos)
            m_uTextStyle |= DT_RIGHT;
        Invalidate();
    } else if (n == L"valign") {
        m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
        if (v.find(L"center") != std::wstring::npos || v.find(L"vcenter") != std::wstring::npos)
            m_uTextStyle |= DT_VCENTER;
        else if (v.find(L"bottom") != std::wstring::npos)
            m_uTextStyle |= DT_BOTTOM;
        Invalidate();
    } else if (n == L"endellipsis") {
        m_uTextStyle = ParseBool(pstrValue) ? (m_uTextStyle | DT_END_ELLIPSIS) : (m_uTextStyle & ~DT_END_ELLIPSIS);
    } else if (n == L"wordbreak" || n == L"multiline") {
        if (ParseBool(pstrValue)) {
            m_uTextStyle |= DT_WORDBREAK;
            m_uTextStyle &= ~DT_SINGLELINE;
        } else {
            m_uTextStyle &= ~DT_WORDBREAK;
            m_uTextStyle |= DT_SINGLELINE;
        }
    } else if (n == L"showhtml" || n == L"autocalcwidth")
        ;
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

static void DrawControlText(HDC hDC, QWidget* w, CPaintManagerUI* pm, const CDuiString& text, DWORD color,
                            int font, UINT style, RECT pad) {
    if (text.empty())
        return;
    QRect r = w->rect().adjusted(pad.left, pad.top, -pad.right, -pad.bottom);
    if (pm)
        hDC->setFont(pm->GetFont(font));
    hDC->setPen(ToQColor(color));
    int flags = 0;
    flags |= (style & CLabelUI::DT_CENTER) ? Qt::AlignHCenter : (style & CLabelUI::DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    flags |= (style & CLabelUI::DT_BOTTOM) ? Qt::AlignBottom : (style & CLabelUI::DT_VCENTER) ? Qt::AlignVCenter : Qt::AlignTop;
    QString s = QString::fromStdWString(text);
    if (style & CLabelUI::DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    else {
        s.replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (style & CLabelUI::DT_END_ELLIPSIS)
            s = hDC->fontMetrics().elidedText(s, Qt::ElideRight, r.width());
    }
    hDC->drawText(r, flags, s);
}

void CLabelUI::PaintText(HDC hDC) {
    DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    DrawControlText(hDC, m_pWidget, m_pManager, m_sText, color, m_iFont, m_uTextStyle, m_rcTextPadding);
}

// ---------------------------------------------------------------------------------------------
// CButtonUI

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

LPVOID CButtonUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Button"))
        return this;
    return CLabelUI::GetInterface(pstrName);
}

void CButtonUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = pstrName ? pstrName : L"";
    if (n == L"normalimage")
        SetNormalImage(pstrValue);
    else if (n == L"hotimage")
        SetHotImage(pstrValue);
    else if (n == L"pushedimage")
        SetPushedImage(pstrValue);
    else if (n == L"disabledimage")
        SetDisabledImage(pstrValue);
    else if (n == L"focusedimage" || n == L"foreimage" || n == L"hotforeimage")
        ;
    else if (n == L"hotbkcolor")
        m_dwHotBkColor = ParseColor(pstrValue);
    else if (n == L"pushedbkcolor")
        m_dwPushedBkColor = ParseColor(pstrValue);
    else if (n == L"hottextcolor")
        m_dwHotTextColor = ParseColor(pstrValue);
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CButtonUI::PaintBkColor(HDC hDC) {
    DWORD c = m_dwBackColor;
    if (IsEnabled() && m_bPushed && (m_dwPushedBkColor >> 24))
        c = m_dwPushedBkColor;
    else if (IsEnabled() && (m_bHot || m_bPushed) && (m_dwHotBkColor >> 24))
        c = m_dwHotBkColor;
    if (c >> 24)
        hDC->fillRect(m_pWidget->rect(), ToQColor(c));
}

void CButtonUI::PaintStatusImage(HDC hDC) {
    if (!IsEnabled() && !m_sDisabledImage.empty() && DrawImage(hDC, m_sDisabledImage))
        return;
    if (m_bPushed && !m_sPushedImage.empty() && DrawImage(hDC, m_sPushedImage))
        return;
    if (m_bHot && !m_sHotImage.empty() && DrawImage(hDC, m_sHotImage))
        return;
    if (!m_sNormalImage.empty())
        DrawImage(hDC, m_sNormalImage);
}

void CButtonUI::PaintText(HDC hDC) {
    DWORD color = !IsEnabled() ? m_dwDisabledTextColor : (m_bHot && (m_dwHotTextColor >> 24)) ? m_dwHotTextColor : m_dwTextColor;
    DrawControlText(hDC, m_pWidget, m_pManager, m_sText, color, m_iFont, m_uTextStyle, m_rcTextPadding);
}

void CButtonUI::OnClicked() { Activate(); }

bool CButtonUI::Activate() {
    if (!IsEnabled() || !IsVisible())
        return false;
    if (m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

// ---------------------------------------------------------------------------------------------
// COptionUI / CCheckBoxUI

COptionUI::~COptionUI() {
    if (ManagerAlive() && !m_sGroupName.empty())
        m_pManager->RemoveOptionGroup(m_sGroupName.c_str(), this);
}

LPVOID COptionUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Option"))
        return this;
    return CButtonUI::GetInterface(pstrName);
}

LPVOID CCheckBoxUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"CheckBox"))
        return this;
    return COptionUI::GetInterface(pstrName);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    CButtonUI::SetManager(pManager, pParent, bInit);
    if (pManager && !m_sGroupName.empty())
        pManager->AddOptionGroup(m_sGroupName.c_str(), this);
}

void COptionUI::SetGroup(LPCTSTR pStrGroupName) {
    CDuiString group = pStrGroupName;
    if (group == m_sGroupName)
        return;
    if (m_pManager && !m_sGroupName.empty())
        m_pManager->RemoveOptionGroup(m_sGroupName.c_str(), this);
    m_sGroupName = group;
    if (m_pManager && !m_sGroupName.empty())
        m_pManager->AddOptionGroup(m_sGroupName.c_str(), this);
    Selected(m_bSelected, false);
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
    if (m_bSelected == bSelected)
        return;
    m_bSelected = bSelected;
    Invalidate();
    std::vector<COptionUI*> others;
    if (m_bSelected && m_pManager && !m_sGroupName.empty()) {
        if (const auto* group = m_pManager->GetOptionGroup(m_sGroupName.c_str()))
            for (CControlUI* c : *group)
                if (c != this)
                    others.push_back(static_cast<COptionUI*>(c));
    }
    if (bTriggerEvent && m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
    for (COptionUI* o : others)
        o->Selected(false, bTriggerEvent);
}

bool COptionUI::Activate() {
    std::weak_ptr<bool> alive = AliveToken();
    if (!CButtonUI::Activate())
        return false;
    // The click handler may have deleted this option.
    if (alive.expired())
        return true;
    if (!m_sGroupName.empty())
        Selected(true);
    else
        Selected(!m_bSelected);
    return true;
}

void COptionUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = pstrName ? pstrName : L"";
    if (n == L"group")
        SetGroup(pstrValue);
    else if (n == L"selected")
        Selected(ParseBool(pstrValue), false);
    else if (n == L"selectedimage")
        SetSelectedImage(pstrValue);
    else if (n == L"selectedhotimage")
        m_sSelectedHotImage = pstrValue;
    else if (n == L"selectedbkcolor")
        m_dwSelectedBkColor = ParseColor(pstrValue);
    else if (n == L"selectedtextcolor")
        m_dwSelectedTextColor = ParseColor(pstrValue);
    else
        CButtonUI::SetAttribute(pstrName, pstrValue);
}

void COptionUI::PaintBkColor(HDC hDC) {
    if (m_bSelected && (m_dwSelectedBkColor >> 24))
        hDC->fillRect(m_pWidget->rect(), ToQColor(m_dwSelectedBkColor));
    else
        CButtonUI::PaintBkColor(hDC);
}

void COptionUI::PaintStatusImage(HDC hDC) {
    if (m_bSelected) {
        if (m_bHot && !m_sSelectedHotImage.empty() && DrawImage(hDC, m_sSelectedHotImage))
            return;
        if (!m_sSelectedImage.empty() && DrawImage(hDC, m_sSelectedImage))
            return;
    }
    CButtonUI::PaintStatusImage(hDC);
}

// ---------------------------------------------------------------------------------------------
// CEditUI

CEditUI::CEditUI() {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER;
    m_dwBackColor = 0xFFFFFFFF;
    auto* lay = new QHBoxLayout(m_pWidget);
    lay->setContentsMargins(4, 0, 4, 0);
    m_pEdit = new QLineEdit(m_pWidget);
    m_pEdit->setFrame(false);
    m_pEdit->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;}"));
    lay->addWidget(m_pEdit);
    QObject::connect(m_pEdit, &QLineEdit::returnPressed, m_pEdit, [this] {
        if (m_pManager)
            m_pManager->SendNotify(this, DUI_MSGTYPE_RETURN);
    });
    QObject::connect(m_pEdit, &QLineEdit::textEdited, m_pEdit, [this] {
        if (m_pManager)
            m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
    });
}

LPVOID CEditUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Edit"))
        return this;
    return CLabelUI::GetInterface(pstrName);
}

CDuiString CEditUI::GetText() const { return m_pEdit ? CDuiString(m_pEdit->text().toStdWString()) : m_sText; }

void CEditUI::SetText(LPCTSTR pstrText) {
    m_sText = pstrText;
    if (m_pEdit)
        m_pEdit->setText(QString::fromStdWString(m_sText));
}

void CEditUI::SetEnabled(bool bEnable) {
    CLabelUI::SetEnabled(bEnable);
    if (m_pEdit)
        m_pEdit->setEnabled(bEnable);
}

void CEditUI::SetFocus() {
    if (m_pEdit)
        m_pEdit->setFocus();
}
bool CEditUI::IsFocused() const { return m_pEdit && m_pEdit->hasFocus(); }
void CEditUI::SetMaxChar(UINT uMax) {
    if (m_pEdit)
        m_pEdit->setMaxLength(static_cast<int>(std::min<UINT>(uMax, 32767)));
}
void CEditUI::SetReadOnly(bool b) {
    if (m_pEdit)
        m_pEdit->setReadOnly(b);
}
bool CEditUI::IsReadOnly() const { return m_pEdit && m_pEdit->isReadOnly(); }
void CEditUI::SetPasswordMode(bool b) {
    if (m_pEdit)
        m_pEdit->setEchoMode(b ? QLineEdit::Password : QLineEdit::Normal);
}
void CEditUI::SetTipValue(LPCTSTR s) {
    if (m_pEdit)
        m_pEdit->setPlaceholderText(QString::fromStdWString(s ? s : L""));
}
void CEditUI::SetSel(long nStart, long nEnd) {
    if (!m_pEdit)
        return;
    if (nEnd < 0)
        nEnd = m_pEdit->text().size();
    m_pEdit->setSelection(static_cast<int>(nStart), static_cast<int>(nEnd - nStart));
}

void CEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = pstrName ? pstrName : L"";
    if (n == L"readonly")
        SetReadOnly(ParseBool(pstrValue));
    else if (n == L"password")
        SetPasswordMode(ParseBool(pstrValue));
    else if (n == L"maxchar")
        SetMaxChar(static_cast<UINT>(wcstoul(pstrValue, nullptr, 10)));
    else if (n == L"tipvalue")
        SetTipValue(pstrValue);
    else if (n == L"numberonly") {
        if (ParseBool(pstrValue) && m_pEdit)
            m_pEdit->setInputMask(QString());
        if (ParseBool(pstrValue) && m_pEdit)
            m_pEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pEdit));
    } else if (n == L"textcolor") {
        CLabelUI::SetAttribute(pstrName, pstrValue);
        if (m_pEdit) {
            QPalette p = m_pEdit->palette();
            p.setColor(QPalette::Text, ToQColor(m_dwTextColor));
            m_pEdit->setPalette(p);
        }
    } else if (n == L"font") {
        CLabelUI::SetAttribute(pstrName, pstrValue);
        if (m_pEdit && m_pManager)
            m_pEdit->setFont(m_pManager->GetFont(m_iFont));
    } else if (n == L"textpadding") {
        CLabelUI::SetAttribute(pstrName, pstrValue);
        if (auto* lay = m_pWidget ? m_pWidget->layout() : nullptr)
            lay->setContentsMargins(m_rcTextPadding.left, m_rcTextPadding.top, m_rcTextPadding.right, m_rcTextPadding.bottom);
    } else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

} // namespace DuiLib
