// The animated image control.
#include "uigifanim.h"

#include <QMovie>
#include <QPainter>

#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

CGifAnimUI::CGifAnimUI() = default;
CGifAnimUI::~CGifAnimUI() = default;

LPVOID CGifAnimUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"GifAnim"))
        return this;
    return CControlUI::GetInterface(pstrName);
}

bool CGifAnimUI::SetAnimation(LPCTSTR pstrFile) {
    m_sBkImage = pstrFile ? pstrFile : L"";
    m_pMovie.reset();
    CDuiString path = CPaintManagerUI::FindResourceFile(m_sBkImage.c_str());
    if (path.empty())
        return false;
    auto movie = std::make_unique<QMovie>(QString::fromStdWString(path));
    if (!movie->isValid())
        return false;
    movie->setCacheMode(QMovie::CacheAll);
    QObject::connect(movie.get(), &QMovie::frameChanged, movie.get(), [this](int) { Invalidate(); });
    m_pMovie = std::move(movie);
    m_pMovie->jumpToFrame(0);
    FollowVisibility();
    return true;
}

void CGifAnimUI::SetAutoPlay(bool bAutoPlay) {
    m_bAutoPlay = bAutoPlay;
    FollowVisibility();
}

void CGifAnimUI::FollowVisibility() {
    // A hidden ring costs nothing: it only runs while it can be seen.
    if (!m_pMovie)
        return;
    if (m_bAutoPlay && IsVisible())
        PlayGif();
    else
        PauseGif();
}

void CGifAnimUI::SetVisible(bool bVisible) {
    CControlUI::SetVisible(bVisible);
    FollowVisibility();
}

void CGifAnimUI::SetInternVisible(bool bVisible) {
    CControlUI::SetInternVisible(bVisible);
    FollowVisibility();
}

void CGifAnimUI::PlayGif() {
    if (!m_pMovie)
        return;
    if (m_pMovie->state() == QMovie::Paused)
        m_pMovie->setPaused(false);
    else if (m_pMovie->state() == QMovie::NotRunning)
        m_pMovie->start();
}

void CGifAnimUI::PauseGif() {
    if (m_pMovie && m_pMovie->state() == QMovie::Running)
        m_pMovie->setPaused(true);
}

void CGifAnimUI::StopGif() {
    if (!m_pMovie)
        return;
    m_pMovie->stop();
    m_pMovie->jumpToFrame(0);
    Invalidate();
}

bool CGifAnimUI::IsPlaying() const { return m_pMovie && m_pMovie->state() == QMovie::Running; }
int CGifAnimUI::GetFrameCount() const { return m_pMovie ? m_pMovie->frameCount() : 0; }
int CGifAnimUI::GetCurrentFrame() const { return m_pMovie ? m_pMovie->currentFrameNumber() : -1; }

void CGifAnimUI::PaintBkImage(HDC hDC) {
    if (!m_pMovie || !m_pWidget)
        return;
    QPixmap frame = m_pMovie->currentPixmap();
    if (frame.isNull())
        return;
    // Centred at its own size, shrunk to fit a smaller control.
    QSize s = frame.size().scaled(m_pWidget->size().boundedTo(frame.size()), Qt::KeepAspectRatio);
    QRect r(QPoint(0, 0), s);
    r.moveCenter(m_pWidget->rect().center());
    hDC->drawPixmap(r, frame);
}

} // namespace DuiLib
