#include "events/eventlogmanage.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "common/debug.h"
#include "common/jsonparse.h"
#include "net/httpwork.h"
#include "net/jsonwrite.h"

CEventLogManage g_EventLogManage;

namespace {

const wchar_t* const kTable = L"EventUpFailed";

const wchar_t* const kCreateTable =
    L"create table EventUpFailed(\t\t\tEventID INTEGER primary key autoincrement,\t\t\tevent_time INT64 NOT "
    L"NULL,\t\t\tevent_code CHAR(100) NOT NULL,\t\t\tuid\t\t  CHAR(20)  NOT NULL,\t\t\tlaunch_guid CHAR(40) NOT "
    L"NULL,\t\t\tapp_ver\t\tCHAR(40) NOT NULL,\t\t\tattrStr   NVARCHAR(256) NULL,\t\t\todtCreateTime\t\tDATETIME\t\t\t)";

// SQLite refuses statements with too many placeholders; delete in slices well below that.
const size_t kDeleteSlice = 500;

// The first row of a one-column answer as text; empty when there is none.
std::wstring FirstText(IXDBConnection* conn, const wchar_t* sql) {
    CXDBPtr<IXDBRecordset> rs;
    XVARIANT v;
    if (FAILED(conn->Execute(sql, &rs)) || FAILED(rs->GetFieldValue(0, &v)) || v.vt != VT_BSTR)
        return std::wstring();
    return v.bstrVal;
}

// Keeps an unusable store (and the journal files that belong to it) beside, under a name
// with the time, so nothing in it is destroyed and a fresh store can take its place.
bool MoveStoreAside(const std::wstring& path) {
    std::time_t now = std::time(nullptr);
    std::tm tmv{};
    localtime_r(&now, &tmv);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), ".%Y%m%d-%H%M%S.bad", &tmv);
    std::string from = WideToUtf8(path);
    std::string to = from + stamp;
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return false;
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        std::rename((from + suffix).c_str(), (to + suffix).c_str());
    DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"shopdesk数据库无法使用，已移至%s，并新建数据库", Utf8ToWide(to).c_str());
    return true;
}

std::string TextOf(const XVARIANT& v) { return v.vt == VT_BSTR ? WideToUtf8(v.bstrVal) : std::string(); }

int64_t IntOf(const XVARIANT& v) {
    if (v.vt == VT_I8)
        return v.llVal;
    if (v.vt == VT_I4)
        return v.lVal;
    return 0;
}

// The first row of a one-column answer as a number; 0 when there is none.
int64_t FirstInt(IXDBConnection* conn, const wchar_t* sql) {
    CXDBPtr<IXDBRecordset> rs;
    XVARIANT v;
    if (FAILED(conn->Execute(sql, &rs)) || FAILED(rs->GetFieldValue(0, &v)))
        return 0;
    return IntOf(v);
}

// Under csStore: stores `ev` on the shared connection and gives it its row's EventID, or 0
// when it could not be stored.
bool StoreEvent(SEventShared& s, SEventLogMsgEx& ev) {
    ev.EventID = 0;
    if (!s.pStore || (!s.pStoreAdd && FAILED(s.pStore->CreateRecordsetAdd(kTable, &s.pStoreAdd))) ||
        !CEventLogManage::SaveFailedEvent(s.pStoreAdd.Get(), ev))
        return false;
    ev.EventID = static_cast<int32_t>(s.pStore->GetLastInsertRowId());
    ++s.nUncheckpointed;
    return ev.EventID != 0;
}

// Under csStore: the shared connection and its inserter go, the inserter first.
void CloseStore(SEventShared& s) {
    s.pStoreAdd.Reset();
    s.pStore.Reset();
}

// Under csStore: stores the events of `events`, every one or only those without a row yet, in
// one transaction.
void StoreEvents(SEventShared& s, std::list<SEventLogMsgEx>& events, bool all) {
    if (!s.pStore || events.empty())
        return;
    bool inTrans = events.size() > 1 && SUCCEEDED(s.pStore->BeginTrans());
    for (SEventLogMsgEx& ev : events)
        if ((all || ev.EventID == 0) && !StoreEvent(s, ev))
            DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"SaveFailedEvent failed: event_code(%s)",
                      Utf8ToWide(ev.event_code).c_str());
    if (inTrans)
        s.pStore->CommitTrans();
}

// Opens the store at `path` in WAL mode with its table in place.
bool OpenStore(CXDBPtr<IXDBConnection>& conn, const std::wstring& path) {
    std::wstring fallback = L"PRAGMA wal_autocheckpoint=" + std::to_wstring(CEventLogManage::kFallbackCheckpointPages);
    if (CEventLogManage::OpenStoreConnection(conn, path) &&
        FirstText(conn.Get(), L"PRAGMA journal_mode=WAL") == L"wal" &&
        SUCCEEDED(conn->Execute(fallback.c_str())) &&
        (conn->IsTableExist(kTable) || SUCCEEDED(conn->Execute(kCreateTable))))
        return true;
    conn.Reset();
    return false;
}

// Under csStore: the connection is closed before the store moves, so nothing is written into
// the file that was kept aside. The queued events' rows went with it; they are stored again.
bool ReplaceStore(SEventShared& s) {
    CloseStore(s);
    if (!MoveStoreAside(s.strDbPath) || !OpenStore(s.pStore, s.strDbPath))
        return false;
    s.nEarlierUpTo = 0;
    std::lock_guard<std::mutex> lock(s.csEvents);
    ++s.nStoreGen;
    StoreEvents(s, s.lstEvents, true);
    return true;
}

// Deletes the rows of delivered events, unless the store they were in has since been replaced.
void DeleteDelivered(SEventShared& s, std::vector<int32_t>& ids, unsigned gen) {
    if (ids.empty())
        return;
    ++s.nStoreWanted;
    std::unique_lock<std::mutex> lock(s.csStore);
    --s.nStoreWanted;
    if (gen == s.nStoreGen && SUCCEEDED(CEventLogManage::DeleteEvents(s.pStore.Get(), ids)))
        ++s.nUncheckpointed;
    ids.clear();
    lock.unlock();
    s.cvStoreTurn.notify_all();
}

// The keeper's copies of the write-ahead log into the store, on a connection of its own.
// While events flow they run outside every lock: a passive copy never waits for the writers,
// nor they for it, but one made while writes go on leaves the newest of them in the log, which
// then cannot start again from its beginning. When a queue has run dry, the copy holds the
// store's lock, so it takes everything and the next write starts the log anew; a write that
// comes meanwhile waits for it, at a quiet moment.
struct SCheckpointer {
    CXDBPtr<IXDBConnection> conn;
    unsigned gen = 0;
    bool partial = false; // the last copy was made while events flowed

    void IfDue(SEventShared& s, bool idle) {
        unsigned writes = s.nUncheckpointed;
        bool due = writes >= CEventLogManage::kCheckpointEveryWrites ||
                   (idle && (partial || writes >= CEventLogManage::kCheckpointIdleWrites));
        if (!due)
            return;
        s.nUncheckpointed = 0;
        partial = !idle;
        std::unique_lock<std::mutex> lock(s.csStore);
        if (s.nStoreGen != gen) // a store kept aside is not written to again
            conn.Reset();
        gen = s.nStoreGen;
        if (!idle)
            lock.unlock();
        if (conn || CEventLogManage::OpenStoreConnection(conn, s.strDbPath))
            conn->Execute(L"PRAGMA wal_checkpoint(PASSIVE)");
    }
};

// When a queue has run dry: the pages the connections cached of the rows just written and
// deleted go back, since an event's row can be megabytes (a page's text).
void ReleaseCacheMemory(SEventShared& s, SCheckpointer& checkpoints) {
    std::lock_guard<std::mutex> lock(s.csStore);
    if (s.pStore)
        s.pStore->Execute(L"PRAGMA shrink_memory");
    if (checkpoints.conn)
        checkpoints.conn->Execute(L"PRAGMA shrink_memory");
}

void ThreadFinished(SEventShared& shared) {
    std::lock_guard<std::mutex> lock(shared.csDone);
    --shared.nRunning;
    shared.cvDone.notify_all();
}

// A sender's word to the keeper after each event: the row of a delivered one (0 for none) in
// store generation `gen`, and whether the sender's queue has run dry. The keeper is woken only
// when there is work worth a wake-up: a batch of rows, a due log copy, or a sender gone idle
// with anything left.
void AfterEvent(SEventShared& s, int32_t deliveredId, unsigned gen, bool idle) {
    const size_t batch = CEventLogManage::kDeliveredDeleteBatch;
    std::unique_lock<std::mutex> lock(s.csDelivered);
    if (deliveredId != 0 && gen >= s.nDeliveredGen) { // a row of an older store is gone with it
        if (gen != s.nDeliveredGen) {
            s.vecDelivered.clear(); // ... and so are those waiting
            s.nDeliveredGen = gen;
        }
        s.cvRoom.wait(lock, [&] { return s.vecDelivered.size() < 2 * batch; });
        s.vecDelivered.push_back(deliveredId);
    }
    unsigned writes = s.nUncheckpointed;
    bool wake = s.vecDelivered.size() >= batch || writes >= CEventLogManage::kCheckpointEveryWrites;
    bool idleWork = idle && (!s.vecDelivered.empty() || writes > 0);
    if (!wake && !idleWork)
        return;
    s.bKeeperWake = true;
    s.bSenderIdle = s.bSenderIdle || idleWork;
    lock.unlock();
    s.cvKeeper.notify_one();
}

// An event the upload thread took from the queue, with the store generation it was taken in
// and, once built, its request.
struct SQueuedEvent {
    SEventLogMsgEx ev;
    unsigned gen = 0;
    std::string form;
};

// The next queued event, waiting for one when `wait`; false when stopping, or without `wait`
// when there is none.
bool TakeEvent(SEventShared& s, SQueuedEvent& out, bool wait) {
    std::unique_lock<std::mutex> lock(s.csEvents);
    for (;;) {
        if (wait)
            s.cvWake.wait(lock, [&] { return s.bStop != 0 || s.bWake; });
        if (s.bStop)
            return false;
        if (!s.lstEvents.empty())
            break;
        if (!wait)
            return false;
        // Cleared only here, under the queue lock with the queue empty, so no wake-up is lost.
        s.bWake = false;
    }
    out.ev = std::move(s.lstEvents.front());
    s.lstEvents.pop_front();
    out.gen = s.nStoreGen;
    return true;
}

bool QueueEmpty(SEventShared& s) {
    std::lock_guard<std::mutex> lock(s.csEvents);
    return s.lstEvents.empty();
}

// An event not delivered stays in the store for the next start; stored now if it has no row
// there (none when it came, or its store has since been replaced).
void KeepForNextStart(SEventShared& s, SQueuedEvent& q) {
    std::lock_guard<std::mutex> lock(s.csStore);
    if ((q.ev.EventID == 0 || q.gen != s.nStoreGen) && !StoreEvent(s, q.ev))
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"SaveFailedEvent failed: event_code(%s)", Utf8ToWide(q.ev.event_code).c_str());
}

void SenderFinished(SEventShared& s) {
    {
        std::lock_guard<std::mutex> lock(s.csDelivered);
        --s.nSenders;
    }
    s.cvKeeper.notify_one();
}

} // namespace

void AttrToJson(std::map<std::string, std::string>& attr, std::string& text, bool toJson) {
    if (toJson) {
        Json::Value root(Json::objectValue);
        for (const auto& kv : attr)
            root[kv.first] = kv.second;
        text = JsonCompact(root, false);
        return;
    }
    attr.clear();
    Json::Value root;
    if (!JsonParse(text, root) || !root.isObject())
        return;
    for (const std::string& name : root.getMemberNames()) {
        // Members that are not scalars have no text form; they read as empty text.
        std::string text;
        JsonScalarText(root[name], text);
        attr[name] = text;
    }
}

CEventLogManage::CEventLogManage() : m_pShared(std::make_shared<SEventShared>()) {}

CEventLogManage::~CEventLogManage() {
    Stop();
    std::lock_guard<std::mutex> lock(m_pShared->csStore);
    CloseStore(*m_pShared);
}

void CEventLogManage::Stop() {
    SEventShared& s = *m_pShared;
    s.bStop = 1;
    std::list<SEventLogMsgEx> left;
    {
        // The upload thread takes nothing from the queue once it sees the stop under this lock,
        // so what is left here is ours to store.
        std::lock_guard<std::mutex> lock(s.csEvents);
        left.swap(s.lstEvents);
        s.bWake = true;
    }
    s.cvWake.notify_all();
    s.cvReupload.notify_all();
    StoreUnstored(left);
    bool ended;
    {
        std::unique_lock<std::mutex> lock(s.csDone);
        ended = s.cvDone.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [&] { return s.nRunning == 0; });
    }
    for (std::thread& t : m_hThreads) {
        // A thread still inside a transfer keeps the shared state alive and ends on its own.
        if (ended)
            t.join();
        else
            t.detach();
    }
    m_hThreads.clear();
}

void CEventLogManage::SetUid(const std::string& uid) {
    std::lock_guard<std::mutex> lock(m_csIds);
    m_strUid = uid;
}

void CEventLogManage::SetLaunchGuid(const std::string& guid) {
    std::lock_guard<std::mutex> lock(m_csIds);
    m_strLaunchGuid = guid;
}

std::string CEventLogManage::GetLaunchGuid() const {
    std::lock_guard<std::mutex> lock(m_csIds);
    return m_strLaunchGuid;
}

void CEventLogManage::AddEvent(const std::string& eventCode, const std::map<std::string, std::string>& attr) {
    SEventLogMsgEx ev;
    ev.event_time = static_cast<int64_t>(std::time(nullptr));
    {
        std::lock_guard<std::mutex> lock(m_csIds);
        ev.uid = m_strUid;
        ev.launch_guid = m_strLaunchGuid;
    }
    ev.event_code = eventCode;
    ev.attr = attr;
    ev.app_ver = kShopdeskAppVersion;

    SEventShared& s = *m_pShared;
    int n;
    bool stored;
    {
        // Stored and queued under the store's lock, so a replacement of the store finds the
        // event either in neither or in both.
        std::unique_lock<std::mutex> storeLock(s.csStore);
        s.cvStoreTurn.wait(storeLock, [&] { return s.nStoreWanted == 0; });
        stored = StoreEvent(s, ev);
        std::unique_lock<std::mutex> lock(s.csEvents);
        if (!s.bStop && s.lstEvents.size() <= kMaxQueued) {
            s.lstEvents.push_back(std::move(ev));
            s.bWake = true;
            lock.unlock();
            s.cvWake.notify_all();
            return;
        }
        n = s.bStop ? -1 : static_cast<int>(s.lstEvents.size());
    }
    if (n >= 0)
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"CEventLogManage的缓存过大了，达到%d个！！", n);
    if (!stored)
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"SaveFailedEvent failed: event_code(%s)", Utf8ToWide(eventCode).c_str());
}

void CEventLogManage::StoreUnstored(std::list<SEventLogMsgEx>& events) {
    std::lock_guard<std::mutex> lock(m_pShared->csStore);
    StoreEvents(*m_pShared, events, false);
}

bool CEventLogManage::PopEvent(SEventLogMsgEx& event) {
    SEventShared& s = *m_pShared;
    std::lock_guard<std::mutex> lock(s.csEvents);
    if (s.lstEvents.empty())
        return false;
    event = std::move(s.lstEvents.front());
    s.lstEvents.pop_front();
    return true;
}

size_t CEventLogManage::QueuedCount() {
    std::lock_guard<std::mutex> lock(m_pShared->csEvents);
    return m_pShared->lstEvents.size();
}

bool CEventLogManage::OpenStoreConnection(CXDBPtr<IXDBConnection>& conn, const std::wstring& path) {
    if (FAILED(CreateSQLiteConnection(&conn)))
        return false;
    // WAL with synchronous=NORMAL keeps every committed row through a killed process while
    // sparing each stored event its own flush to disk.
    if (FAILED(conn->Open(path.c_str())) || FAILED(conn->Execute(L"PRAGMA synchronous=NORMAL"))) {
        conn.Reset();
        return false;
    }
    return true;
}

bool CEventLogManage::InitDB(const std::wstring& cacheDir) {
    SEventShared& s = *m_pShared;
    std::lock_guard<std::mutex> lock(s.csStore);
    s.strDbPath = cacheDir + L"shopdesk.db";
    CloseStore(s);
    if (OpenStore(s.pStore, s.strDbPath))
        s.nEarlierUpTo = FirstInt(s.pStore.Get(), L"select ifnull(max(EventID), 0) from EventUpFailed");
    else if (!ReplaceStore(s)) // an unusable store would keep every upload from starting
        return false;
    // What was added before the store opened.
    std::lock_guard<std::mutex> queueLock(s.csEvents);
    StoreEvents(s, s.lstEvents, false);
    return true;
}

void CEventLogManage::HoldReupload() {
    std::lock_guard<std::mutex> lock(m_pShared->csEvents);
    m_pShared->bReuploadHeld = true;
}

void CEventLogManage::ReleaseReupload() {
    SEventShared& s = *m_pShared;
    {
        std::lock_guard<std::mutex> lock(s.csEvents);
        if (!s.bReuploadHeld)
            return;
        s.bReuploadHeld = false;
    }
    s.cvReupload.notify_all();
}

void CEventLogManage::Start() {
    if (!m_hThreads.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_pShared->csDone);
        m_pShared->nRunning = 3;
    }
    {
        std::lock_guard<std::mutex> lock(m_pShared->csDelivered);
        m_pShared->nSenders = 2;
    }
    m_hThreads.emplace_back(&CEventLogManage::UploadThreadProc, m_pShared);
    m_hThreads.emplace_back(&CEventLogManage::ReUploadThreadProc, m_pShared);
    m_hThreads.emplace_back(&CEventLogManage::StoreKeeperThreadProc, m_pShared);
}

namespace {

// Every value is bound, so quotes and any other bytes arrive as they are.
bool SetEventFields(IXDBRecordsetAdd* add, const SEventLogMsgEx& event) {
    std::string attrJson;
    std::map<std::string, std::string> attr = event.attr;
    AttrToJson(attr, attrJson, true);
    return SUCCEEDED(add->SetFieldValue(L"event_time", XVARIANT::FromI8(event.event_time))) &&
           SUCCEEDED(add->SetFieldValue(L"event_code", XVARIANT::FromText(Utf8ToWide(event.event_code)))) &&
           SUCCEEDED(add->SetFieldValue(L"uid", XVARIANT::FromText(Utf8ToWide(event.uid)))) &&
           SUCCEEDED(add->SetFieldValue(L"launch_guid", XVARIANT::FromText(Utf8ToWide(event.launch_guid)))) &&
           SUCCEEDED(add->SetFieldValue(L"app_ver", XVARIANT::FromText(Utf8ToWide(kShopdeskAppVersion)))) &&
           SUCCEEDED(add->SetFieldValue(L"attrStr", XVARIANT::FromText(Utf8ToWide(attrJson)))) &&
           SUCCEEDED(add->SetFieldValue(L"odtCreateTime", XVARIANT::FromText(GetTimeString(false))));
}

} // namespace

bool CEventLogManage::SaveFailedEvent(IXDBConnection* conn, const SEventLogMsgEx& event) {
    CXDBPtr<IXDBRecordsetAdd> add;
    if (!conn || FAILED(conn->CreateRecordsetAdd(kTable, &add)))
        return false;
    // A row whose values did not all bind is not written at all.
    return SetEventFields(add.Get(), event) && SUCCEEDED(add->EndAdd());
}

bool CEventLogManage::SaveFailedEvent(IXDBRecordsetAdd* add, const SEventLogMsgEx& event) {
    return add && SetEventFields(add, event) && SUCCEEDED(add->Update());
}

HRESULT CEventLogManage::DeleteExpired(IXDBConnection* conn, int days) {
    if (days < 1 || !conn)
        return E_FAIL;
    std::time_t t = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    std::tm tmv{};
    localtime_r(&t, &tmv);
    char buf[32];
    std::strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S", &tmv);
    return conn->ExecuteBound(L"delete from EventUpFailed where odtCreateTime < ?",
                              {XVARIANT::FromText(Utf8ToWide(buf))});
}

HRESULT CEventLogManage::LoadFailedEvents(IXDBConnection* conn, std::list<SEventLogMsgEx>& events, int64_t upToId) {
    if (!conn)
        return E_FAIL;
    CXDBPtr<IXDBRecordset> rs;
    HRESULT hr = conn->ExecuteBound(L"select EventID,event_time,event_code,uid,launch_guid,app_ver,attrStr,odtCreateTime "
                                    L"from EventUpFailed where EventID <= ?",
                                    {XVARIANT::FromI8(upToId)}, &rs);
    if (FAILED(hr))
        return hr;
    if (rs->GetFieldCount() == 0)
        return S_OK;
    do {
        SEventLogMsgEx ev;
        XVARIANT v;
        if (SUCCEEDED(rs->GetFieldValue(0, &v)))
            ev.EventID = static_cast<int32_t>(IntOf(v));
        if (SUCCEEDED(rs->GetFieldValue(1, &v)))
            ev.event_time = IntOf(v);
        if (SUCCEEDED(rs->GetFieldValue(2, &v)))
            ev.event_code = TextOf(v);
        if (SUCCEEDED(rs->GetFieldValue(3, &v)))
            ev.uid = TextOf(v);
        if (SUCCEEDED(rs->GetFieldValue(4, &v)))
            ev.launch_guid = TextOf(v);
        if (SUCCEEDED(rs->GetFieldValue(5, &v)))
            ev.app_ver = TextOf(v);
        if (SUCCEEDED(rs->GetFieldValueByName(L"attrStr", &v))) {
            std::string json = TextOf(v);
            AttrToJson(ev.attr, json, false);
        }
        // A fresh recordset stands on its first row; an empty table has none to read.
        if (ev.EventID != 0 || !ev.event_code.empty())
            events.push_back(std::move(ev));
    } while (SUCCEEDED(rs->MoveNext()));
    return S_OK;
}

HRESULT CEventLogManage::DeleteEvents(IXDBConnection* conn, const std::vector<int32_t>& ids) {
    if (!conn)
        return E_FAIL;
    HRESULT result = S_OK;
    for (size_t start = 0; start < ids.size(); start += kDeleteSlice) {
        size_t end = std::min(ids.size(), start + kDeleteSlice);
        std::wstring sql = L"DELETE FROM EventUpFailed where EventID in (";
        std::vector<XVARIANT> params;
        for (size_t i = start; i < end; ++i) {
            sql += i == start ? L"?" : L",?";
            params.push_back(XVARIANT::FromI4(ids[i]));
        }
        sql += L")";
        if (FAILED(conn->ExecuteBound(sql.c_str(), params)))
            result = E_FAIL;
    }
    return result;
}

void CEventLogManage::UploadThreadProc(std::shared_ptr<SEventShared> shared) {
    SEventShared& s = *shared;
    CHttpWork* http = CHttpWork::GetInstance();
    SQueuedEvent ev, next;
    bool haveNext = false;
    for (;;) {
        if (haveNext)
            ev = std::move(next);
        else if (TakeEvent(s, ev, true))
            ev.form = http->BuildEventForm(ev.ev);
        else
            break;
        bool started = http->StartUpload(std::move(ev.form));
        // While the request is out, the next one is made ready.
        haveNext = TakeEvent(s, next, false);
        if (haveNext)
            next.form = http->BuildEventForm(next.ev);
        SHttpResult result;
        bool ok = started && http->FinishUpload(result);
        if (!ok) // it stays in the store for the next start; a delivered one leaves through the keeper
            KeepForNextStart(s, ev);
        bool idle = !haveNext && QueueEmpty(s);
        AfterEvent(s, ok ? ev.ev.EventID : 0, ev.gen, idle);
        if (g_iDebugLevel & LOG_LEVEL_INFO) {
            auto it = ev.ev.attr.find("msg_content");
            std::string content = it == ev.ev.attr.end() ? std::string() : it->second;
            DEBUG_LOG(LOG_LEVEL_INFO, L"提示", L"UploadEvent:event_code(%s)%s，bret：%d",
                      Utf8ToWide(ev.ev.event_code).c_str(), Utf8ToWide(content).c_str(), ok ? 1 : 0);
        }
        if (haveNext && s.bStop) {
            // Taken from the queue after Stop emptied it: it is the thread's to keep.
            KeepForNextStart(s, next);
            break;
        }
        // Done with: an event can carry megabytes of a page's text, and the wait for the next
        // one may last all day.
        ev = SQueuedEvent();
    }
    SenderFinished(s);
    ThreadFinished(s);
}

void CEventLogManage::ReUploadThreadProc(std::shared_ptr<SEventShared> shared) {
    SEventShared& s = *shared;
    {
        std::unique_lock<std::mutex> lock(s.csEvents);
        s.cvReupload.wait_for(lock, std::chrono::milliseconds(kReuploadHoldMs),
                              [&] { return !s.bReuploadHeld || s.bStop; });
    }
    if (s.bStop) {
        SenderFinished(s);
        ThreadFinished(s);
        return;
    }
    CXDBPtr<IXDBConnection> conn;
    bool sound = OpenStoreConnection(conn, s.strDbPath) && FirstText(conn.Get(), L"PRAGMA quick_check") == L"ok";
    if (!sound && conn) {
        // Damaged pages: kept aside like a store that does not open; nothing in it is sent.
        conn.Reset();
        std::lock_guard<std::mutex> lock(s.csStore);
        ReplaceStore(s);
    }
    if (sound) {
        // Writes go through the shared connection; this one only reads what earlier runs left.
        int64_t upTo;
        unsigned gen;
        {
            std::lock_guard<std::mutex> lock(s.csStore);
            DeleteExpired(s.pStore.Get(), kExpireDays);
            upTo = s.nEarlierUpTo;
            gen = s.nStoreGen;
        }
        std::list<SEventLogMsgEx> events;
        LoadFailedEvents(conn.Get(), events, upTo);
        conn.Reset();
        CHttpWork* http = CHttpWork::GetInstance();
        auto build = [&](SEventLogMsgEx& ev) {
            ev.attr["is_reupload"] = "1";
            return http->BuildEventForm(ev);
        };
        std::string form = events.empty() ? std::string() : build(events.front());
        for (auto it = events.begin(); it != events.end() && !s.bStop; ++it) {
            bool started = http->StartUpload(std::move(form));
            // While the request is out, the next one is made ready.
            if (std::next(it) != events.end())
                form = build(*std::next(it));
            SHttpResult result;
            bool ok = started && http->FinishUpload(result);
            AfterEvent(s, ok ? it->EventID : 0, gen, false);
        }
        AfterEvent(s, 0, gen, true);
    }
    SenderFinished(s);
    ThreadFinished(s);
}

void CEventLogManage::StoreKeeperThreadProc(std::shared_ptr<SEventShared> shared) {
    SEventShared& s = *shared;
    SCheckpointer checkpoints;
    for (;;) {
        std::vector<int32_t> ids;
        unsigned gen;
        bool idle, last;
        {
            std::unique_lock<std::mutex> lock(s.csDelivered);
            s.cvKeeper.wait(lock, [&] { return s.bKeeperWake || s.nSenders == 0; });
            ids.swap(s.vecDelivered);
            gen = s.nDeliveredGen;
            idle = s.bSenderIdle;
            last = s.nSenders == 0;
            s.bKeeperWake = s.bSenderIdle = false;
        }
        s.cvRoom.notify_all();
        DeleteDelivered(s, ids, gen);
        // The log left at the end is copied when the store's last connection closes.
        if (last)
            break;
        checkpoints.IfDue(s, idle);
        if (idle)
            ReleaseCacheMemory(s, checkpoints);
    }
    ThreadFinished(s);
}
