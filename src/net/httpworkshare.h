#pragma once
// Connections kept open between requests of one kind, on any thread.
typedef void CURL;

// Lets the handle take an open connection an earlier request left and leave its own open for
// the next one. Nothing the handle sends changes; only the connection under it is reused.
void ReuseConnections(CURL* handle);

// The calling thread's own handle, reset to the library's defaults and joined to the share
// above; null when the library gives none. It is kept from one request to the next, so neither
// its buffers nor its internal wake-up pipe are made anew each time, and it goes with the thread.
// The caller never destroys it.
CURL* ThreadKeptHandle();
