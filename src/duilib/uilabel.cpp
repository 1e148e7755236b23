// Labels and word-wrapping texts.
#include <QPainter>

#include "uicontrols.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

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

void DrawControlText(HDC hDC, QWidget* w, CPaintManagerUI* pm, const CDuiString& text, DWORD color,
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

} // namespace DuiLib
