#pragma once
// Usage events: an in-memory queue drained by an upload thread, a local SQLite store of the
// events whose upload failed, and a one-shot thread that re-sends stored events at start.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/sqlitesupport.h"
#include "platform/wintypes.h"

struct SEventLogMsgEx {
    int64_t event_time = 0;
    std::string event_code;
    std::string uid;
    std::map<std::string, std::string> attr;
    int32_t EventID = 0;
    std::string app_ver;
    std::string launch_guid;
};

// The map as compact JSON (sorted keys, no line feed) when `toJson`; otherwise the map is
// cleared and filled from the members of the JSON object in `text` (empty on a parse failure).
void AttrToJson(std::map<std::string, std::string>& attr, std::string& text, bool toJson);

// The pieces of an upload request, separated so that tests and the server side can check them.
extern const char* const kEventSignSalt;
extern const char* const kEventAppCode; // "win.qdx.tsclient"
// The "data" text: a JSON array holding the single event object.
std::string BuildEventDataText(const SEventLogMsgEx& event, const std::string& eventGuid, const std::string& sysVer,
                               const std::string& osBits, const std::string& openUdid);
// base64 of the lower-case hex MD5 of salt + decimal event time + data text (44 characters).
std::string SignEventData(int64_t eventTime, const std::string& dataText);
// The "jsondata" envelope around a data text.
std::string BuildEventEnvelope(int64_t eventTime, const std::string& dataText);

// The state the worker threads share with the manager. Kept apart so that a thread still
// busy when the manager gives up waiting for it never touches freed memory.
struct SEventShared {
    std::atomic<int> bStop{0};
    std::mutex csEvents;
    std::condition_variable cvWake;
    bool bWake = false; // the manual-reset wake-up event, guarded by csEvents
    std::list<SEventLogMsgEx> lstEvents;
    std::wstring strDbPath;
    std::mutex csDone;
    std::condition_variable cvDone;
    int nRunning = 0; // worker threads not yet finished, guarded by csDone
    // The re-upload pass waits while this is set (guarded by csEvents), woken by cvReupload.
    bool bReuploadHeld = false;
    std::condition_variable cvReupload;
    // Guards the two connections below and the store file itself while it is replaced.
    std::mutex csStore;
    CXDBPtr<IXDBConnection> pStore;       // the manager's: events past the limit and at quit
    CXDBPtr<IXDBConnection> pUploadStore; // the upload thread's, opened at its first failure
};

class CEventLogManage {
public:
    CEventLogManage();
    ~CEventLogManage();
    CEventLogManage(const CEventLogManage&) = delete;
    CEventLogManage& operator=(const CEventLogManage&) = delete;

    static constexpr size_t kMaxQueued = 1000;
    static constexpr int kExpireDays = 3;
    static constexpr DWORD kStopWaitMs = 5000;
    // Rows the re-upload pass has delivered are deleted this many at a time, so a killed pass
    // sends again at most this many.
    static constexpr size_t kReuploadDeleteBatch = 10;
    // The longest a held re-upload pass waits to be released.
    static constexpr DWORD kReuploadHoldMs = 15000;

    // Queues the event for upload. Past the queue limit, and once stopping, the event goes to
    // the store instead, to be sent at the next start.
    void AddEvent(const std::string& eventCode, const std::map<std::string, std::string>& attr);
    void SetUid(const std::string& uid);
    void SetLaunchGuid(const std::string& guid);
    std::string GetLaunchGuid() const;

    // Opens (creating when needed) "shopdesk.db" in `cacheDir` (which ends in "/") in WAL mode
    // and makes sure the failed-event table exists. A store that cannot be opened is kept
    // beside as "shopdesk.db.<time>.bad" and a fresh one takes its place. Its pages are checked
    // by the re-upload thread, off the caller's thread, and a damaged store is replaced the
    // same way before anything is sent from it.
    bool InitDB(const std::wstring& cacheDir);
    // Before Start: the re-upload pass waits for ReleaseReupload (at most kReuploadHoldMs), so
    // that a store full of events never competes with the console's own start. New events are
    // sent as they come meanwhile.
    void HoldReupload();
    void ReleaseReupload();
    void Start();
    // Asks both threads to end, stores the events still queued, and waits for the threads, at
    // most kStopWaitMs in all. Called by the destructor; safe to call more than once.
    void Stop();

    bool PopEvent(SEventLogMsgEx& event);
    size_t QueuedCount();
    const std::wstring& GetDbPath() const { return m_pShared->strDbPath; }

    // Store steps, each on a connection owned by the calling thread.
    static bool SaveFailedEvent(IXDBConnection* conn, const SEventLogMsgEx& event);
    static HRESULT DeleteExpired(IXDBConnection* conn, int days);
    static HRESULT LoadFailedEvents(IXDBConnection* conn, std::list<SEventLogMsgEx>& events);
    static HRESULT DeleteEvents(IXDBConnection* conn, const std::vector<int32_t>& ids);
    // A connection to the store at `path` with the settings every user of it shares.
    static bool OpenStoreConnection(CXDBPtr<IXDBConnection>& conn, const std::wstring& path);

private:
    // Stores on the manager's own connection, in one transaction.
    void StoreNow(const std::list<SEventLogMsgEx>& events);

    static void UploadThreadProc(std::shared_ptr<SEventShared> shared);
    static void ReUploadThreadProc(std::shared_ptr<SEventShared> shared);

    std::shared_ptr<SEventShared> m_pShared;
    mutable std::mutex m_csIds;
    std::string m_strUid;
    std::string m_strLaunchGuid;
    std::vector<std::thread> m_hThreads;
};

extern CEventLogManage g_EventLogManage;
