#include "msgcenter/cframesubscribesetui.h"

#include "common/custommsg.h"
#include "common/debug.h"
#include "duilib/uidlgbuilder.h"

using namespace DuiLib;

namespace {

const wchar_t* const kSubscribedOptions[kCategoryCount] = {
    L"op_order_subscribed", L"op_business_subscribed", L"op_goods_subscribed",
    L"op_interaction_subscribed", L"op_sys_notice", L"op_refund_notice"};
const wchar_t* const kNotSubscribedOptions[kCategoryCount] = {
    L"op_order_not", L"op_business_not", L"op_goods_not",
    L"op_interaction_not", L"op_sys_notice_not", L"op_refund_notice_not"};

const wchar_t kOpenImage[] = L"res='imgs\\new\\down_triangle.png' dest='12,19,24,31'";
const wchar_t kClosedImage[] = L"res='imgs\\new\\right_triangle.png' dest='12,19,24,31'";
const wchar_t kTipNotSubscribed[] = L"开启订阅您将在“消息中心”收到消息提醒且您的更改会同步到其他设备上。";
const wchar_t kTipSubscribed[] =
    L"关闭订阅，您将无法在“消息中心”收到该分类下的所有消息，且您的更改会同步到 其他设备上。";
const wchar_t kParseFailed[] = L"reader.parse(_strSubscribe, root) failed";


template <class T>
T* As(CControlUI* c, const wchar_t* kind) {
    return c ? static_cast<T*>(c->GetInterface(kind)) : nullptr;
}

} // namespace

CFrameSubscribeSetUI::CFrameSubscribeSetUI() {
    for (const SCategory& c : kCategories)
        m_mapPer[c.type] = STRUCT_Per();
}

CFrameSubscribeSetUI::~CFrameSubscribeSetUI() {
    m_workers.Close(5000);
    ClearSettingList();
}

void CFrameSubscribeSetUI::OnReleaseWindow() {
    ClearSettingList();
    m_pBtnHide = m_pShopRow = m_pTip = m_pSettingPane = m_pRingWait = m_pLoadFailed = nullptr;
    m_pSetSelectedLabel = m_pBtnBatchSet = m_pBtnQuitBatch = nullptr;
    m_pShopCombo = m_pBatchCombo = nullptr;
    m_pSubscribedHeader = m_pNotSubscribedHeader = nullptr;
    m_pStatusSwitch = m_pSelectAll = nullptr;
    m_pSettingList = nullptr;
    for (int i = 0; i < kCategoryCount; ++i) {
        m_pSubscribedOptions[i] = nullptr;
        m_pNotSubscribedOptions[i] = nullptr;
    }
    WindowImplBase::OnReleaseWindow();
}

void CFrameSubscribeSetUI::InitWindow() {
    CPaintManagerUI& pm = m_PaintManager;
    m_pBtnHide = pm.FindControl(L"hidebtn");
    m_pShopRow = pm.FindControl(L"layout_otaselect");
    m_pShopCombo = As<CComboUI>(pm.FindControl(L"cbo_otaselect"), L"Combo");
    m_pSubscribedHeader = As<CButtonUI>(pm.FindControl(L"subscribedbtn"), L"Button");
    m_pNotSubscribedHeader = As<CButtonUI>(pm.FindControl(L"notsubscribedbtn"), L"Button");
    for (int i = 0; i < kCategoryCount; ++i) {
        m_pSubscribedOptions[i] = As<COptionUI>(pm.FindControl(kSubscribedOptions[i]), L"Option");
        m_pNotSubscribedOptions[i] = As<COptionUI>(pm.FindControl(kNotSubscribedOptions[i]), L"Option");
    }
    m_pStatusSwitch = As<COptionUI>(pm.FindControl(L"op_subscription_status"), L"Option");
    m_pTip = pm.FindControl(L"label_tip");
    m_pSettingPane = pm.FindControl(L"horizon_setting");
    m_pSettingList = As<CListUI>(pm.FindControl(L"listsetting"), L"List");
    m_pRingWait = pm.FindControl(L"ring_wait_container");
    m_pLoadFailed = pm.FindControl(L"load_failed");
    m_pSelectAll = As<COptionUI>(pm.FindControl(L"op_selectall"), L"Option");
    m_pSetSelectedLabel = pm.FindControl(L"label_setselected");
    m_pBatchCombo = As<CComboUI>(pm.FindControl(L"cbo_remind_set"), L"Combo");
    m_pBtnBatchSet = pm.FindControl(L"btn_batchset");
    m_pBtnQuitBatch = pm.FindControl(L"btn_quitbatch");
}

LRESULT CFrameSubscribeSetUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCLBUTTONDBLCLK)
        return 0;
    if (uMsg == WM_MSG_REQUEST_DONE)
        OnRequestDone(wParam);
    else if (uMsg == WM_SHOWWINDOW)
        m_pageView.OnShowWindow(wParam != 0);
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

const STRUCT_Per* CFrameSubscribeSetUI::GetCategoryState(const std::string& type) const {
    auto it = m_mapPer.find(type);
    return it == m_mapPer.end() ? nullptr : &it->second;
}

void CFrameSubscribeSetUI::SetViewState(int flags) {
    if (m_pSettingPane)
        m_pSettingPane->SetVisible((flags & kViewSettings) != 0);
    if (m_pRingWait)
        m_pRingWait->SetVisible((flags & kViewWaiting) != 0);
    if (m_pLoadFailed)
        m_pLoadFailed->SetVisible((flags & kViewFailed) != 0);
}

bool CFrameSubscribeSetUI::InitDlg(const std::string& cookies, int32_t otaId) {
    if (cookies.empty()) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"_strCookies.empty() CFrameSubscribeSetUI::InitDlg(string _strCookies) failed");
        return false;
    }
    m_strCookies = cookies;
    m_strCurType.clear();
    m_nOtaId = otaId;
    m_bPermissionLoaded = false;
    ++m_nGeneration;
    SetViewState(kViewWaiting);
    // The shop list may correct the shop, so the permissions are asked for after it.
    StartTask(kKindShopList);
    return true;
}

void CFrameSubscribeSetUI::StartTask(int kind, std::vector<std::string> msgTypes, int value) {
    auto task = std::make_unique<SubscribeTask>();
    task->hTarget = m_hWnd;
    task->strCookies = m_strCookies;
    task->nKind = kind;
    task->strCategory = m_strCurType;
    task->nGeneration = m_nGeneration;
    task->nOtaId = m_nOtaId;
    task->vecMsgTypes = std::move(msgTypes);
    task->nValue = value;
    m_workers.Start(std::move(task), [](SRequestTask& base) {
        auto& t = static_cast<SubscribeTask&>(base);
        CHttpWork* http = CHttpWork::GetInstance();
        switch (t.nKind) {
        case kKindShopList:
            t.bSuccess = http->Subscription_GetShopList(t.strCookies, t.strResponse);
            t.nResponseCode = t.bSuccess ? 200 : 0;
            break;
        case kKindPermission:
            t.bSuccess = http->Subscription_GetPermission(t.strCookies, t.nOtaId, t.strResponse);
            t.nResponseCode = t.bSuccess ? 200 : 0;
            break;
        case kKindSettings:
            http->Subscription_GetSubPermission(t.strCookies, t.strCategory, t.nOtaId, t);
            break;
        case kKindSubscribe:
            http->Subscription_SetSubscribe(t.strCookies, t.nOtaId, t.strCategory, t.nValue, t);
            break;
        case kKindNotice:
            http->Subscription_SetNotice(t.strCookies, t.nOtaId, t.vecMsgTypes.empty() ? "" : t.vecMsgTypes[0],
                                         t.nValue, t);
            break;
        case kKindNoticeBatch:
            http->Subscription_SetNoticeBatch(t.strCookies, t.nOtaId, t.vecMsgTypes, t.nValue, t);
            break;
        }
    });
}

void CFrameSubscribeSetUI::OnRequestDone(WPARAM wParam) {
    std::unique_ptr<SRequestTask> task = m_workers.Take(wParam);
    if (!task)
        return;
    const auto& t = static_cast<const SubscribeTask&>(*task);
    // Answers of an earlier opening (another shop) never reach this one's view.
    if (t.nGeneration != m_nGeneration)
        return;
    switch (t.nKind) {
    case kKindShopList:
        OnShopListDone(t);
        break;
    case kKindPermission:
        OnPermissionDone(t);
        break;
    case kKindSettings:
        OnSettingsDone(t);
        break;
    case kKindSubscribe:
        OnSubscribeDone(t);
        break;
    case kKindNotice:
        if (IsAnswered(t) && ParseCodeAnswer(t.strResponse) != EAnswer::Ok)
            DEBUG_LOG(LOG_LEVEL_INFO, L"警告", kParseFailed);
        break;
    case kKindNoticeBatch:
        OnBatchDone(t);
        break;
    }
}

void CFrameSubscribeSetUI::OnShopListDone(const SubscribeTask& t) {
    std::vector<SShop> shops;
    EAnswer r = EAnswer::NotJson;
    if (!t.bSuccess)
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"CHttpWork::GetInstance()->Subscription_GetShopList(m_strCookies, shoplistret) failed");
    else if ((r = ParseShopListAnswer(t.strResponse, shops, kMaxRows)) == EAnswer::Refused)
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"reader.parse(shoplistret, root) failed");
    else if (r == EAnswer::WrongPayload)
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", kParseFailed);
    if (r == EAnswer::Ok && shops.size() == 1) {
        if (m_pShopRow)
            m_pShopRow->SetVisible(false);
    } else if (r == EAnswer::Ok && m_pShopCombo) {
        m_pShopCombo->RemoveAll();
        if (m_pShopRow)
            m_pShopRow->SetVisible(true);
        int chosen = -1;
        for (size_t i = 0; i < shops.size(); ++i) {
            auto* item = new CListLabelElementUI();
            item->SetText(shops[i].name.c_str());
            item->SetToolTip(shops[i].name.c_str());
            item->SetFixedHeight(40);
            item->SetTag(static_cast<UINT_PTR>(static_cast<uint32_t>(shops[i].otaId)));
            m_pShopCombo->Add(item);
            if (chosen < 0 && shops[i].otaId == m_nOtaId)
                chosen = static_cast<int>(i);
        }
        if (chosen < 0 && !shops.empty() && shops[0].otaId != 0) {
            m_nOtaId = shops[0].otaId;
            chosen = 0;
        }
        if (chosen >= 0)
            m_pShopCombo->SelectItem(chosen, false, false);
    }
    // The opening goes on whatever the shop list said.
    StartTask(kKindPermission);
}

void CFrameSubscribeSetUI::OnPermissionDone(const SubscribeTask& t) {
    if (!t.bSuccess) {
        SetViewState(kViewFailed);
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"CHttpWork::GetInstance()->MsgCenter_GetSubscribe(m_strCookies, response) failed");
        return;
    }
    std::string firstType;
    bool firstSubscribed = false;
    // An answer that cannot be read leaves nothing to show; the refresh opens again.
    if (!ParseSubscribe(t.strResponse, firstType, firstSubscribed)) {
        SetViewState(kViewFailed);
        return;
    }
    m_bPermissionLoaded = true;
    m_bSubscribedOpen = m_bNotSubscribedOpen = true;
    UpdateSubscribeGroups();
    m_strCurType = firstType;
    m_bCurSubscribed = firstSubscribed;
    SelectCurrentTypeOption();
    ShowSubscribeDetail(true);
    SetBatchMode(false);
}

bool CFrameSubscribeSetUI::ParseSubscribe(const std::string& answer, std::string& firstType, bool& firstSubscribed) {
    firstType.clear();
    firstSubscribed = false;
    std::vector<SPermission> items;
    EAnswer r = ParsePermissionAnswer(answer, items);
    if (r != EAnswer::Ok) {
        if (r != EAnswer::NotJson)
            DEBUG_LOG(LOG_LEVEL_INFO, L"警告", kParseFailed);
        return false;
    }
    // Each shop answers for itself: what the last shop allowed is forgotten.
    for (auto& kv : m_mapPer)
        kv.second = STRUCT_Per();
    for (const SPermission& p : items)
        m_mapPer[p.type] = STRUCT_Per{p.permitted, p.subscribed, WideToUtf8(p.name)};
    for (const SCategory& c : kCategories) {
        const STRUCT_Per& per = m_mapPer[c.type];
        if (per.bHavePermission && per.bSubscribed) {
            firstType = c.type;
            firstSubscribed = true;
            return true;
        }
    }
    for (const SCategory& c : kCategories) {
        if (m_mapPer[c.type].bHavePermission) {
            firstType = c.type;
            return true;
        }
    }
    DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"FirstNotSubscribed.empty()");
    return true;
}

void CFrameSubscribeSetUI::UpdateSubscribeGroups() {
    if (m_pSubscribedHeader)
        m_pSubscribedHeader->SetNormalImage(m_bSubscribedOpen ? kOpenImage : kClosedImage);
    if (m_pNotSubscribedHeader)
        m_pNotSubscribedHeader->SetNormalImage(m_bNotSubscribedOpen ? kOpenImage : kClosedImage);
    for (int i = 0; i < kCategoryCount; ++i) {
        const STRUCT_Per& per = m_mapPer[kCategories[i].type];
        std::wstring name = Utf8ToWide(per.strName);
        for (COptionUI* o : {m_pSubscribedOptions[i], m_pNotSubscribedOptions[i]}) {
            if (o) {
                o->SetText(name.c_str());
                o->SetVisible(false);
            }
        }
        if (!per.bHavePermission)
            continue;
        if (per.bSubscribed && m_bSubscribedOpen && m_pSubscribedOptions[i])
            m_pSubscribedOptions[i]->SetVisible(true);
        if (!per.bSubscribed && m_bNotSubscribedOpen && m_pNotSubscribedOptions[i])
            m_pNotSubscribedOptions[i]->SetVisible(true);
    }
}

void CFrameSubscribeSetUI::SelectCurrentTypeOption() {
    int i = FindCategory(m_strCurType);
    if (i < 0)
        return;
    COptionUI* o = m_bCurSubscribed ? m_pSubscribedOptions[i] : m_pNotSubscribedOptions[i];
    if (o)
        o->Selected(true);
}

void CFrameSubscribeSetUI::ShowSubscribeDetail(bool selectOption) {
    if (!m_bCurSubscribed) {
        SetViewState(0);
        if (m_pStatusSwitch) {
            m_pStatusSwitch->SetText(L"未订阅");
            if (selectOption)
                m_pStatusSwitch->Selected(false);
        }
        if (m_pTip)
            m_pTip->SetText(kTipNotSubscribed);
        return;
    }
    if (m_pStatusSwitch) {
        m_pStatusSwitch->SetText(L"已订阅");
        if (selectOption)
            m_pStatusSwitch->Selected(true);
    }
    if (m_pTip)
        m_pTip->SetText(kTipSubscribed);
    SetViewState(kViewWaiting);
    StartTask(kKindSettings);
    SetBatchMode(false);
}

CControlUI* CFrameSubscribeSetUI::RowPart(int row, const wchar_t* name) const {
    CControlUI* item = m_pSettingList ? m_pSettingList->GetItemAt(row) : nullptr;
    return item ? const_cast<CPaintManagerUI&>(m_PaintManager).FindSubControlByName(item, name) : nullptr;
}

void CFrameSubscribeSetUI::SetBatchMode(bool on) {
    m_bBatchMode = on;
    if (m_pSelectAll) {
        if (on)
            m_pSelectAll->Selected(false, false);
        m_pSelectAll->SetVisible(on);
    }
    if (m_pSetSelectedLabel)
        m_pSetSelectedLabel->SetVisible(on);
    if (m_pBatchCombo) {
        if (on)
            m_pBatchCombo->SelectItem(-1, false, false);
        m_pBatchCombo->SetVisible(on);
    }
    if (m_pBtnBatchSet)
        m_pBtnBatchSet->SetVisible(!on);
    if (m_pBtnQuitBatch)
        m_pBtnQuitBatch->SetVisible(on);
    int rows = m_pSettingList ? m_pSettingList->GetCount() : 0;
    for (int i = 0; i < rows; ++i) {
        if (CControlUI* label = RowPart(i, L"label_sub_type"))
            label->SetVisible(!on);
        if (auto* check = As<COptionUI>(RowPart(i, L"op_sub_type"), L"Option")) {
            if (on)
                check->Selected(false, false);
            check->SetVisible(on);
        }
        if (CControlUI* combo = RowPart(i, L"cbo_lst_remind_set"))
            combo->SetEnabled(!on);
    }
}

void CFrameSubscribeSetUI::SelectAllSubTypes(bool on) {
    int rows = m_pSettingList ? m_pSettingList->GetCount() : 0;
    for (int i = 0; i < rows; ++i)
        if (auto* check = As<COptionUI>(RowPart(i, L"op_sub_type"), L"Option"))
            check->Selected(on, false);
}

void CFrameSubscribeSetUI::OnSubTypeClicked(CControlUI* option) {
    auto* check = As<COptionUI>(option, L"Option");
    if (!check) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"_pOp == NULL");
        return;
    }
    CControlUI* item = check->GetParent();
    if (!item) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"pItem == NULL");
        return;
    }
    item = item->GetParent();
    if (!item) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"pItem = pItem->GetParent(); pItem == NULL");
        return;
    }
    if (!m_pSelectAll)
        return;
    // The click has not toggled the box yet: a ticked box is about to be cleared.
    if (check->IsSelected()) {
        m_pSelectAll->Selected(false, false);
        return;
    }
    int rows = m_pSettingList ? m_pSettingList->GetCount() : 0;
    for (int i = 0; i < rows; ++i) {
        auto* other = As<COptionUI>(RowPart(i, L"op_sub_type"), L"Option");
        if (other && other != check && !other->IsSelected())
            return;
    }
    m_pSelectAll->Selected(true, false);
}

void CFrameSubscribeSetUI::SetSubscribe(int value) { StartTask(kKindSubscribe, {}, value); }

void CFrameSubscribeSetUI::BatchSetNotice(int status) {
    std::vector<std::string> types;
    int rows = m_pSettingList ? m_pSettingList->GetCount() : 0;
    for (int i = 0; i < rows; ++i) {
        auto* check = As<COptionUI>(RowPart(i, L"op_sub_type"), L"Option");
        auto* per = reinterpret_cast<STRUCT_SubPer*>(m_pSettingList->GetItemAt(i)->GetTag());
        if (check && check->IsSelected() && per)
            types.push_back(per->strMsgType);
    }
    StartTask(kKindNoticeBatch, std::move(types), status);
}

void CFrameSubscribeSetUI::OnSubscribeDone(const SubscribeTask& t) {
    bool confirmed = IsAnswered(t) && t.strCategory == m_strCurType;
    EAnswer r = confirmed ? ParseCodeAnswer(t.strResponse) : EAnswer::NotJson;
    if (confirmed && r != EAnswer::Ok)
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", kParseFailed);
    if (r != EAnswer::Ok) {
        // Not changed on the server: the switch goes back to what is true.
        if (m_pStatusSwitch && t.strCategory == m_strCurType)
            m_pStatusSwitch->Selected(m_bCurSubscribed, false);
        return;
    }
    m_bCurSubscribed = t.nValue == 1;
    m_mapPer[m_strCurType].bSubscribed = m_bCurSubscribed;
    UpdateSubscribeGroups();
    ShowSubscribeDetail(false);
    SelectCurrentTypeOption();
}

void CFrameSubscribeSetUI::OnBatchDone(const SubscribeTask& t) {
    if (!IsAnswered(t) || t.strCategory != m_strCurType)
        return;
    if (ParseCodeAnswer(t.strResponse) != EAnswer::Ok) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", kParseFailed);
        return;
    }
    int rows = m_pSettingList ? m_pSettingList->GetCount() : 0;
    for (int i = 0; i < rows; ++i) {
        auto* check = As<COptionUI>(RowPart(i, L"op_sub_type"), L"Option");
        auto* per = reinterpret_cast<STRUCT_SubPer*>(m_pSettingList->GetItemAt(i)->GetTag());
        auto* combo = As<CComboUI>(RowPart(i, L"cbo_lst_remind_set"), L"Combo");
        if (!check || !check->IsSelected() || !per)
            continue;
        per->nStatus = t.nValue;
        if (combo) {
            combo->SetEnabled(true);
            combo->SelectItem(t.nValue - 1, false, false);
            combo->SetEnabled(false);
        }
    }
}

void CFrameSubscribeSetUI::OnSettingsDone(const SubscribeTask& t) {
    if (t.strCategory != m_strCurType)
        return;
    if (!IsAnswered(t)) {
        SetViewState(kViewFailed);
        return;
    }
    // A refused or malformed answer leaves nothing true to show; its refresh asks again.
    SetViewState(DisplaySubSetting(t.strResponse) ? kViewSettings : kViewFailed);
}

void CFrameSubscribeSetUI::ClearSettingList() {
    if (!m_pSettingList)
        return;
    for (int i = 0; i < m_pSettingList->GetCount(); ++i)
        if (CControlUI* row = m_pSettingList->GetItemAt(i)) {
            delete reinterpret_cast<STRUCT_SubPer*>(row->GetTag());
            row->SetTag(0);
        }
    m_pSettingList->RemoveAll();
}

bool CFrameSubscribeSetUI::DisplaySubSetting(const std::string& answer) {
    std::vector<SNoticeSetting> settings;
    if (ParseNoticeSettingsAnswer(answer, settings, kMaxRows) != EAnswer::Ok) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", kParseFailed);
        return false;
    }
    ClearSettingList();
    for (const SNoticeSetting& s : settings) {
        CDialogBuilder builder;
        CControlUI* row = builder.Create(L"listitem_subscribeset.xml", nullptr, this, &m_PaintManager);
        if (!row)
            continue;
        row->SetTag(reinterpret_cast<UINT_PTR>(new STRUCT_SubPer{s.title, s.msgType, s.status}));
        if (m_pSettingList)
            m_pSettingList->Add(row);
        std::wstring title = Utf8ToWide(s.title);
        if (CControlUI* label = m_PaintManager.FindSubControlByName(row, L"label_sub_type"))
            label->SetText(title.c_str());
        if (CControlUI* check = m_PaintManager.FindSubControlByName(row, L"op_sub_type"))
            check->SetText(title.c_str());
        if (auto* combo = As<CComboUI>(m_PaintManager.FindSubControlByName(row, L"cbo_lst_remind_set"), L"Combo"))
            combo->SelectItem(s.status - 1, false, false);
    }
    SetBatchMode(m_bBatchMode);
    return true;
}

int CFrameSubscribeSetUI::CategoryOfOption(CControlUI* control, bool& subscribedGroup) const {
    for (int i = 0; i < kCategoryCount; ++i) {
        if (control && control == m_pSubscribedOptions[i]) {
            subscribedGroup = true;
            return i;
        }
        if (control && control == m_pNotSubscribedOptions[i]) {
            subscribedGroup = false;
            return i;
        }
    }
    return -1;
}

void CFrameSubscribeSetUI::OnClick(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    CDuiString name = sender->GetName();
    bool subscribedGroup = false;
    int category = CategoryOfOption(sender, subscribedGroup);
    if (sender == m_pBtnHide) {
        ShowWindow(false, false);
    } else if (sender == m_pSubscribedHeader) {
        m_bSubscribedOpen = !m_bSubscribedOpen;
        UpdateSubscribeGroups();
    } else if (sender == m_pNotSubscribedHeader) {
        m_bNotSubscribedOpen = !m_bNotSubscribedOpen;
        UpdateSubscribeGroups();
    } else if (category >= 0) {
        m_strCurType = kCategories[category].type;
        m_bCurSubscribed = subscribedGroup;
        ShowSubscribeDetail(true);
    } else if (sender == m_pBtnBatchSet) {
        SetBatchMode(true);
    } else if (sender == m_pBtnQuitBatch) {
        SetBatchMode(false);
    } else if (sender == m_pStatusSwitch) {
        SetSubscribe(m_pStatusSwitch->IsSelected() ? 0 : 1);
    } else if (sender == m_pSelectAll) {
        SelectAllSubTypes(!m_pSelectAll->IsSelected());
    } else if (name == L"op_sub_type") {
        OnSubTypeClicked(sender);
    } else if (name == L"load_failed_refresh") {
        if (m_bPermissionLoaded)
            ShowSubscribeDetail(true);
        else
            InitDlg(m_strCookies, m_nOtaId);
    }
    WindowImplBase::OnClick(msg);
}

void CFrameSubscribeSetUI::OnRowSelectorChosen(CControlUI* combo) {
    CControlUI* row = combo->GetParent() ? combo->GetParent()->GetParent() : nullptr;
    auto* per = row ? reinterpret_cast<STRUCT_SubPer*>(row->GetTag()) : nullptr;
    auto* box = As<CComboUI>(combo, L"Combo");
    if (!per || !box)
        return;
    int status = box->GetCurSel() + 1;
    if (status == per->nStatus)
        return;
    StartTask(kKindNotice, {per->strMsgType}, status);
    per->nStatus = status;
}

void CFrameSubscribeSetUI::OnShopChosen() {
    CControlUI* item = m_pShopCombo->GetItemAt(m_pShopCombo->GetCurSel());
    if (!item)
        return;
    auto shop = static_cast<int32_t>(static_cast<uint32_t>(item->GetTag()));
    if (shop != m_nOtaId)
        InitDlg(m_strCookies, shop);
}

void CFrameSubscribeSetUI::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_ITEMSELECT && msg.pSender) {
        if (msg.pSender->GetName() == L"cbo_lst_remind_set")
            OnRowSelectorChosen(msg.pSender);
        else if (msg.pSender == m_pBatchCombo && m_pBatchCombo->GetCurSel() >= 0)
            BatchSetNotice(m_pBatchCombo->GetCurSel() + 1);
        else if (msg.pSender == m_pShopCombo)
            OnShopChosen();
    }
    WindowImplBase::Notify(msg);
}
