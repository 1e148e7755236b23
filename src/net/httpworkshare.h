#pragma once
// Connections kept open between requests of one kind, on any thread.
typedef void CURL;
typedef void CURLM;

// Lets the handle take an open connection an earlier request left and leave its own open for
// the next one. Nothing the handle sends changes; only the connection under it is reused.
void ReuseConnections(CURL* handle);

// The calling thread's own handle, reset to the library's defaults and joined to the share
// above; null when the library gives none. It is kept from one request to the next, so neither
// its buffers nor its internal wake-up pipe are made anew each time, and it goes with the thread.
// The caller never destroys it.
CURL* ThreadKeptHandle();

// The calling thread's own multi handle, for transfers of its kept handle that run while the
// thread does other work; made on first use, kept and gone with the thread like the handle;
// null when the library gives none.
CURLM* ThreadKeptMulti();
// Drives the transfer of `handle`, already added to `multi`, to its end; its result code.
int WaitForTransfer(CURLM* multi, CURL* handle);
