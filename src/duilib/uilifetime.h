#pragma once
// The lifetime rule for controls during notifications. A control removed or deleted while a
// notification runs (a list emptied from its own "itemselect", an option group rebuilt from its
// own "selectchanged", a combo refilled while its drop-down is open) is detached at once: out of
// its parent, its window and its option group, receiving and sending nothing more. It is deleted
// only after the outermost notification of the thread has returned, so code further down the
// stack may still touch it.
//
// Every toolkit path that notifies and then goes on using the control opens a scope; window code
// has nothing to do but remove controls through their container.
namespace DuiLib {

class CControlUI;

class CNotifyScope {
public:
    CNotifyScope();
    ~CNotifyScope();
    CNotifyScope(const CNotifyScope&) = delete;
    CNotifyScope& operator=(const CNotifyScope&) = delete;
    // True while a scope is open on the calling thread.
    static bool IsOpen();
};

// Detaches `pControl` (already taken out of its parent's items) and deletes it now, or when the
// outermost scope closes if one is open.
void ReleaseControl(CControlUI* pControl);

} // namespace DuiLib
