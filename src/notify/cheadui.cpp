#include "cheadui.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <QPainter>
#include <QPainterPath>
#include <cwchar>
#include <cwctype>

#include "common/sysutils.h"
#include "duilib/uimanager.h"
#include "platform/knownfolders.h"

CHeadUI::CHeadUI() = default;
CHeadUI::~CHeadUI() = default;

DuiLib::LPVOID CHeadUI::GetInterface(DuiLib::LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"HeadIcon") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

void CHeadUI::SetAttribute(DuiLib::LPCTSTR pstrName, DuiLib::LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    const wchar_t* value = pstrValue ? pstrValue : L"";
    if (name == L"defaultbkimage") {
        m_sDefaultBkImage = value;
    } else if (name == L"bkimage") {
        SetHeadImage(value);
    } else if (name == L"pencolor") {
        while (*value && *value <= L' ')
            ++value;
        if (*value == L'#')
            ++value;
        m_dwPenColor = static_cast<DWORD>(wcstoul(value, nullptr, 16));
    } else if (name == L"autopencolor") {
        m_bAutoPenColor = wcscmp(value, L"true") == 0;
    } else if (name == L"penwidth") {
        m_nPenWidth = static_cast<int>(wcstol(value, nullptr, 10));
    } else {
        CLabelUI::SetAttribute(pstrName, pstrValue);
    }
}

void CHeadUI::SetHeadImage(const wchar_t* path) {
    std::wstring p = path ? path : L"";
    std::wstring chosen = p;
    if (!platform::FileExists(WideToAnsi(p))) {
        std::wstring beside = DuiLib::CPaintManagerUI::GetInstancePath() + p;
        if (platform::FileExists(WideToAnsi(beside)))
            chosen = beside;
    }
    SetBkImage(chosen.c_str());
    Invalidate();
}

DWORD CHeadUI::GetPenColor(DuiLib::HDC hDC) const {
    if (!m_bAutoPenColor)
        return m_dwPenColor;
    // Take the colour just outside the circle, so the ring hides the circle's jagged edge.
    if (hDC && hDC->device() && hDC->device()->devType() == QInternal::Image) {
        const QImage* image = static_cast<const QImage*>(hDC->device());
        QPoint at(1, 1);
        if (image->rect().contains(at))
            return 0xFF000000 | (image->pixel(at) & 0x00FFFFFF);
    }
    for (const DuiLib::CControlUI* c = GetParent(); c; c = c->GetParent())
        if (c->GetBkColor() >> 24)
            return 0xFF000000 | (c->GetBkColor() & 0x00FFFFFF);
    return 0xFFFFFFFF;
}

void CHeadUI::PaintBkImage(DuiLib::HDC hDC) {
    QWidget* widget = GetWidget();
    if (!hDC || !widget)
        return;
    // Controls paint in their own widget's coordinates.
    QRectF box(widget->rect());
    if (box.isEmpty())
        return;
    std::wstring file = DuiLib::CPaintManagerUI::FindResourceFile(GetBkImage().c_str());
    QPixmap image = file.empty() ? QPixmap() : DuiLib::CPaintManagerUI::GetImage(file);
    if (image.isNull())
        return;
    hDC->save();
    hDC->setRenderHint(QPainter::Antialiasing, true);
    hDC->setRenderHint(QPainter::SmoothPixmapTransform, true);
    QPainterPath circle;
    circle.addEllipse(box);
    hDC->setClipPath(circle);
    hDC->drawPixmap(box, image, QRectF(image.rect()));
    QPen pen(QColor::fromRgba(GetPenColor(hDC)), m_nPenWidth);
    hDC->setPen(pen);
    hDC->setBrush(Qt::NoBrush);
    hDC->drawEllipse(box);
    hDC->restore();
}
