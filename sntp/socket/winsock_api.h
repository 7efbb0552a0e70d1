#pragma once
// Every Winsock call of the socket component and the resolvers goes through
// these stubs, named and typed exactly as Winsock's own. Each stub calls
// through a table entry filled on its first call: the first call of any of
// them loads "wsock32.dll" and starts Winsock 1.1; UnloadWinsock, run when
// the last socket object goes, stops and releases it again.
#include <winsock2.h>
#include <windows.h>

#include <string>

namespace sntp {

// Number of live socket objects; the last one to go unloads Winsock.
int& SocketCount();

// Loads and starts Winsock when needed, then fetches Name; nullptr for an
// empty name. Raises ESocketException when the library, its start-up or
// the procedure fails.
FARPROC BindWinsockProc(const std::string& Name);

// WSACleanup and release of the library when it is held; every table entry
// is emptied, so the next call loads and starts Winsock again.
void UnloadWinsock();

// What the binding has done so far in this process, for tests.
struct TWinsockBindingCounts {
  int Startups;  // WSAStartup calls made by BindWinsockProc
  int Cleanups;  // WSACleanup calls made by UnloadWinsock
};
TWinsockBindingCounts WinsockBindingCounts();
bool WinsockLoaded();

namespace wsapi {

int WSAStartup(WORD VersionRequested, LPWSADATA Data);
int WSACleanup();
void WSASetLastError(int Error);
int WSAGetLastError();
int WSACancelAsyncRequest(HANDLE AsyncTaskHandle);
HANDLE WSAAsyncGetHostByName(HWND Window, u_int Msg, const char* Name, char* Buffer, int BufferLength);
HANDLE WSAAsyncGetHostByAddr(HWND Window, u_int Msg, const char* Address, int Length, int Type, char* Buffer,
                             int BufferLength);
int WSAAsyncSelect(SOCKET Socket, HWND Window, u_int Msg, long Events);
servent* getservbyname(const char* Name, const char* Proto);
protoent* getprotobyname(const char* Name);
hostent* gethostbyname(const char* Name);
int gethostname(char* Name, int NameLength);
SOCKET socket(int Family, int Type, int Protocol);
int shutdown(SOCKET Socket, int How);
int setsockopt(SOCKET Socket, int Level, int Option, const char* Value, int ValueLength);
int sendto(SOCKET Socket, const char* Data, int Length, int Flags, const sockaddr* To, int ToLength);
int send(SOCKET Socket, const char* Data, int Length, int Flags);
int recv(SOCKET Socket, char* Buffer, int Length, int Flags);
int recvfrom(SOCKET Socket, char* Buffer, int Length, int Flags, sockaddr* From, int* FromLength);
u_short ntohs(u_short Value);
int listen(SOCKET Socket, int Backlog);
int ioctlsocket(SOCKET Socket, long Command, u_long* Argument);
char* inet_ntoa(in_addr Address);
unsigned long inet_addr(const char* Text);
u_short htons(u_short Value);
int getsockname(SOCKET Socket, sockaddr* Name, int* NameLength);
int getpeername(SOCKET Socket, sockaddr* Name, int* NameLength);
int connect(SOCKET Socket, const sockaddr* Name, int NameLength);
int closesocket(SOCKET Socket);
int bind(SOCKET Socket, const sockaddr* Name, int NameLength);
SOCKET accept(SOCKET Socket, sockaddr* Address, int* AddressLength);

}  // namespace wsapi
}  // namespace sntp
