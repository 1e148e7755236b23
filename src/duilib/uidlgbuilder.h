#pragma once
// Builds a control tree from one of our XML skins (format: README.md in this folder).
#include "uibase.h"

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

class CDialogBuilder {
public:
    // `xml` is a file in the resource folder, a res.xml id or XML text. A <Window> root sets the
    // manager's window sizes, fonts and defaults; its first control element becomes the root
    // control. Tags the toolkit does not know go to `pCallback`; what neither knows is logged and
    // left out with its children. Returns none (logged) for a missing file or text that is not
    // XML. With `pParent`, the built root is added to it.
    CControlUI* Create(STRINGorID xml, LPCTSTR type = nullptr, IDialogBuilderCallback* pCallback = nullptr,
                       CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);

    // The toolkit's own control for a skin tag, or none.
    static CControlUI* CreateBuiltinControl(LPCTSTR pstrClass);
};

} // namespace DuiLib
