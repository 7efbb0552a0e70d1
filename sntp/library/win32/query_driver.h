#pragma once
// The library behind SNTP.dll's exports: one SNTP client, created by the
// first query and freed by the clean-up, and the blocking query that pumps
// the calling thread's messages until the client reports or the deadline
// passes. Any thread may call any of them, one query at a time; none of
// them throws.
#include <cstdint>

namespace sntp {

// Asks Server (dotted address or host name; null counts as empty) for the
// time. Writes the offset in days (server UTC minus local now, or -1000.0
// on failure) through Offset unless it is null; returns the result code,
// by the deadline whatever the calling thread's messages and the network
// do. Called while another query runs (from another thread, or from a
// window procedure of the caller during the wait), it logs the refusal and
// returns qrWinsockError and -1000.0 at once, and leaves the running query
// alone.
uint16_t RunQuery(const char* server, double* offset) noexcept;

// Frees the client. During a query (of any thread) the query ends at once
// with qrTimeout, and its thread frees the client as it returns.
void CleanUp() noexcept;

// Whether this host has a network address.
bool IsConnected() noexcept;

// Keeps the caller's pointer; nothing calls it.
void SetLoopFunction(void* function) noexcept;

// Load into a process (false: the library cannot work and refuses to load)
// and unload from it. ProcessEnding: the process is exiting, its other
// threads are gone and nothing may be torn down.
bool LibraryLoaded() noexcept;
void LibraryUnloading(bool processEnding) noexcept;

}  // namespace sntp
