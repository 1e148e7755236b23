#pragma once
// Learns of the pointer over the tray icon from the icon's own tray window: under an XEmbed
// tray host that is a real X window of ours, and Qt hands its Enter and (the window tracks the
// mouse) its motion to the widget behind it. Nothing polls: while the pointer is elsewhere the
// watcher costs nothing. The window goes and comes back with the tray host; while there is none
// (no host yet, or a host that shows the icon itself, such as a StatusNotifierItem host, which
// reports no pointer over the icon either), the watcher waits for the next such window to be
// shown.
#include <functional>

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

namespace DuiLib {

class CTrayPointerWatch : public QObject {
public:
    // `onPointer` runs on the window thread when the pointer enters the icon or moves over it.
    explicit CTrayPointerWatch(std::function<void()> onPointer, QObject* parent = nullptr);
    ~CTrayPointerWatch() override;

    // Looks for the icon's window now (call after the icon was shown) and follows it from then on.
    void Start();
    void Stop();
    // The icon's window being watched, or none.
    QWidget* IconWindow() const { return m_pWnd; }

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void Follow(QWidget* wnd);
    void Search(bool on);

    std::function<void()> m_onPointer;
    QPointer<QWidget> m_pWnd;
    QPoint m_ptLast{-1, -1};
    bool m_bStarted = false;
    bool m_bSearching = false;
};

} // namespace DuiLib
