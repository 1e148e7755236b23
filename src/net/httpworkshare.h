#pragma once
// Connections kept open between requests of one kind, on any thread.
typedef void CURL;

// Lets the handle take an open connection an earlier request left and leave its own open for
// the next one. Nothing the handle sends changes; only the connection under it is reused.
void ReuseConnections(CURL* handle);
