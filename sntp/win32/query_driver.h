#pragma once
// The library behind SNTP.dll's exports: one SNTP client, created by the
// first query and freed by the clean-up, and the blocking query that pumps
// the calling thread's messages until the client reports or the deadline
// passes. Every function here is called from the one thread that calls the
// exports; none of them throws.
#include <cstdint>

namespace sntp {

// Asks Server (dotted address or host name; null counts as empty) for the
// time. Writes the offset in days (server UTC minus local now, or -1000.0
// on failure) through Offset unless it is null; returns the result code.
// Called again while a query waits (from a window procedure of the caller),
// it returns qrWinsockError and -1000.0 at once and leaves the running
// query alone.
uint16_t RunQuery(const char* server, double* offset) noexcept;

// Releases the client's sockets and timer and frees it.
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
