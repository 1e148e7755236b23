#pragma once
// An animated image (GIF), for waiting rings: tag "GifAnim", the animation in `bkimage`, played
// while the control is visible when `autoplay` is true (the default).
#include <memory>
#include "uicontrols.h"

class QMovie;

namespace DuiLib {

class CGifAnimUI : public CControlUI {
public:
    friend struct ControlAttributes;
    CGifAnimUI();
    ~CGifAnimUI() override;
    CDuiString GetClass() const override { return L"GifAnimUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void PaintBkImage(HDC hDC) override;

    // The animation file; false when it cannot be read as one.
    bool SetAnimation(LPCTSTR pstrFile);
    void SetAutoPlay(bool bAutoPlay);
    void PlayGif();
    void PauseGif();
    void StopGif();
    bool IsPlaying() const;
    int GetFrameCount() const;
    int GetCurrentFrame() const;

private:
    void FollowVisibility();
    std::unique_ptr<QMovie> m_pMovie;
    bool m_bAutoPlay = true;
};

} // namespace DuiLib
