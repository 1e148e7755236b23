#pragma once
// A round avatar: the background image drawn inside an ellipse with a ring around it. Skins
// create it for the tag "HeadIcon".
#include "duilib/uicontrols.h"

class CHeadUI : public DuiLib::CLabelUI {
public:
    CHeadUI();
    ~CHeadUI() override;

    DuiLib::CDuiString GetClass() const override { return L"HeadIconUI"; }
    DuiLib::LPVOID GetInterface(DuiLib::LPCTSTR pstrName) override;
    // "defaultbkimage", "bkimage", "pencolor" (#AARRGGBB as written: six digits give alpha 0),
    // "autopencolor" ("true" samples the ring colour from the background), "penwidth".
    void SetAttribute(DuiLib::LPCTSTR pstrName, DuiLib::LPCTSTR pstrValue) override;
    void PaintBkImage(DuiLib::HDC hDC) override;

    // The image to show: `path` when something exists there, else the executable's folder +
    // `path` when that exists, else `path` unchanged (which then draws nothing).
    void SetHeadImage(const wchar_t* path);
    // ARGB of the ring.
    DWORD GetPenColor(DuiLib::HDC hDC) const;

    DWORD GetFixedPenColor() const { return m_dwPenColor; }
    int GetPenWidth() const { return m_nPenWidth; }
    bool IsAutoPenColor() const { return m_bAutoPenColor; }

private:
    DuiLib::CDuiString m_sDefaultBkImage = L"Head/100_1.png";
    bool m_bAutoPenColor = false;
    DWORD m_dwPenColor = 0xFFFFFFFF;
    int m_nPenWidth = 2;
};
