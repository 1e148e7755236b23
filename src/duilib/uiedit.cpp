// Single-line text input on a real line edit (input methods, selection, placeholder).
#include <QBoxLayout>
#include <QLineEdit>

#include "uicontrols.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

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

} // namespace DuiLib
