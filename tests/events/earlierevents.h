#pragma once
// Events an earlier run could not send, left in the store as that run leaves them.
#include <string>

#include "common/sysutils.h"
#include "events/eventlogmanage.h"

// `n` failed events in "shopdesk.db" of `cacheDir` (ending in "/"); false when they could not
// all be stored.
inline bool StoreEarlierEvents(const std::string& cacheDir, int n) {
    CEventLogManage earlier;
    CXDBPtr<IXDBConnection> conn;
    if (!earlier.InitDB(Utf8ToWide(cacheDir)) ||
        !CEventLogManage::OpenStoreConnection(conn, Utf8ToWide(cacheDir + "shopdesk.db")))
        return false;
    SEventLogMsgEx ev;
    ev.event_code = "sales_tessaril_receive_msg";
    ev.uid = "u1";
    ev.launch_guid = "EARLIER";
    ev.app_ver = "2.1.4";
    for (int i = 0; i < n; ++i) {
        ev.event_time = 1718000000 + i;
        if (!CEventLogManage::SaveFailedEvent(conn.Get(), ev))
            return false;
    }
    return true;
}
