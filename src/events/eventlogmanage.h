#pragma once
// Usage events: an in-memory queue drained by an upload thread, a local SQLite store of the
// events not yet delivered, a one-shot thread that re-sends at start what earlier runs left in
// the store, and a store keeper that deletes the rows of delivered events and copies the
// store's write-ahead log into it, so that neither waits in the way of the next upload.
//
// Every event is in the store before its first upload attempt and leaves it once the server
// has taken it, so a process killed at any moment loses none of them: whatever had not gone
// out is sent by the next start.
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
    // The keeper's deletes waiting for csStore. A burst of added events would otherwise take the
    // lock back after each insert before the keeper ever gets it, and the senders would stop at
    // their bound of delivered rows not yet deleted; so an event about to be stored lets a
    // waiting delete go first, woken by cvStoreTurn.
    std::atomic<int> nStoreWanted{0};
    std::condition_variable cvStoreTurn;
    // Guards the connection below, the two counters after it and the store file itself while
    // it is replaced. Taken before csEvents when both are needed.
    std::mutex csStore;
    // The one connection every write goes through, so no writer ever waits on SQLite's own
    // lock (its busy handler sleeps in whole milliseconds, too long for the window thread).
    CXDBPtr<IXDBConnection> pStore;
    // The failed-event inserter on pStore, kept so its statement is prepared once; released
    // before pStore whenever that is replaced.
    CXDBPtr<IXDBRecordsetAdd> pStoreAdd;
    // Rows up to this EventID were left by earlier runs: the re-upload pass sends only those,
    // the rest belong to events of this run still queued or in flight.
    int64_t nEarlierUpTo = 0;
    // Counts replacements of the store; an event taken from the queue before one no longer has
    // its row here. Changed with csEvents held too.
    unsigned nStoreGen = 0;
    // Writes to the store since the keeper last copied its write-ahead log into it.
    std::atomic<unsigned> nUncheckpointed{0};

    // The two sending threads hand the rows of delivered events to the store keeper here.
    std::mutex csDelivered;
    std::condition_variable cvKeeper; // the keeper's wake-up
    std::condition_variable cvRoom;   // a sender waiting for the keeper to catch up
    std::vector<int32_t> vecDelivered; // rows of store generation nDeliveredGen, not deleted yet
    unsigned nDeliveredGen = 0;
    bool bKeeperWake = false; // a batch waits, a queue ran dry, or a log copy is due
    bool bSenderIdle = false; // ... the queue ran dry: everything waiting goes, the log is copied
    int nSenders = 0;         // sending threads not yet finished
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
    // The keeper deletes the rows of delivered events once this many wait (and at once when a
    // queue runs dry); a sender waits while twice as many do, so a process killed at any moment
    // leaves only a few batches of delivered events in the store, to be sent again.
    static constexpr size_t kDeliveredDeleteBatch = 10;
    // The longest a held re-upload pass waits to be released.
    static constexpr DWORD kReuploadHoldMs = 15000;
    // The keeper copies the write-ahead log into the store after this many writes, so that the
    // copy and its flushes to disk fall neither to the window thread's insert nor between two
    // uploads. The store's own automatic copy is left only as a far-off fallback.
    static constexpr unsigned kCheckpointEveryWrites = 250;
    // ... and when a queue runs dry, after at least this many or after a copy made while
    // events flowed, which may have left some behind.
    static constexpr unsigned kCheckpointIdleWrites = 10;
    static constexpr int kFallbackCheckpointPages = 10000;

    // Stores the event and queues it for upload. Past the queue limit, and once stopping, it is
    // only stored, to be sent at the next start. Before InitDB, or without a usable store, the
    // event is only queued (InitDB stores what it finds queued).
    void AddEvent(const std::string& eventCode, const std::map<std::string, std::string>& attr);
    void SetUid(const std::string& uid);
    void SetLaunchGuid(const std::string& guid);
    std::string GetLaunchGuid() const;

    // Opens (creating when needed) "shopdesk.db" in `cacheDir` (which ends in "/") in WAL mode,
    // makes sure the failed-event table exists, and stores the events already queued. A store that cannot be opened is kept
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
    // Asks the threads to end, stores the queued events not stored yet, and waits for the
    // threads, at most kStopWaitMs in all. Called by the destructor; safe to call more than once.
    void Stop();

    bool PopEvent(SEventLogMsgEx& event);
    size_t QueuedCount();
    const std::wstring& GetDbPath() const { return m_pShared->strDbPath; }

    // Store steps, each on a connection owned by the calling thread.
    static bool SaveFailedEvent(IXDBConnection* conn, const SEventLogMsgEx& event);
    // One row more through an inserter of the failed-event table kept for the next one.
    static bool SaveFailedEvent(IXDBRecordsetAdd* add, const SEventLogMsgEx& event);
    static HRESULT DeleteExpired(IXDBConnection* conn, int days);
    // The rows whose EventID is at most `upToId`.
    static HRESULT LoadFailedEvents(IXDBConnection* conn, std::list<SEventLogMsgEx>& events,
                                    int64_t upToId = INT64_MAX);
    static HRESULT DeleteEvents(IXDBConnection* conn, const std::vector<int32_t>& ids);
    // A connection to the store at `path` with the settings every user of it shares.
    static bool OpenStoreConnection(CXDBPtr<IXDBConnection>& conn, const std::wstring& path);

private:
    // The queued events not stored yet, on the shared connection, in one transaction.
    void StoreUnstored(std::list<SEventLogMsgEx>& events);

    static void UploadThreadProc(std::shared_ptr<SEventShared> shared);
    static void ReUploadThreadProc(std::shared_ptr<SEventShared> shared);
    static void StoreKeeperThreadProc(std::shared_ptr<SEventShared> shared);

    std::shared_ptr<SEventShared> m_pShared;
    mutable std::mutex m_csIds;
    std::string m_strUid;
    std::string m_strLaunchGuid;
    std::vector<std::thread> m_hThreads;
};

extern CEventLogManage g_EventLogManage;
