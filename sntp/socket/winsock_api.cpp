#include "sntp/socket/winsock_api.h"

#include "sntp/socket/socket_exception.h"

namespace sntp {
namespace {

constexpr char kWinsockLibraryName[] = "wsock32.dll";
constexpr WORD kWinsockVersion = 0x0101;

// One typed entry per Winsock function: the compiler checks every stub
// against Winsock's own declaration.
#define WINSOCK_ENTRY(Name) decltype(&::Name) Name = nullptr

struct TWinsockProcTable {
  WINSOCK_ENTRY(WSAStartup);
  WINSOCK_ENTRY(WSACleanup);
  WINSOCK_ENTRY(WSASetLastError);
  WINSOCK_ENTRY(WSAGetLastError);
  WINSOCK_ENTRY(WSACancelAsyncRequest);
  WINSOCK_ENTRY(WSAAsyncGetHostByName);
  WINSOCK_ENTRY(WSAAsyncGetHostByAddr);
  WINSOCK_ENTRY(WSAAsyncSelect);
  WINSOCK_ENTRY(getservbyname);
  WINSOCK_ENTRY(getprotobyname);
  WINSOCK_ENTRY(gethostbyname);
  WINSOCK_ENTRY(gethostname);
  WINSOCK_ENTRY(socket);
  WINSOCK_ENTRY(shutdown);
  WINSOCK_ENTRY(setsockopt);
  WINSOCK_ENTRY(sendto);
  WINSOCK_ENTRY(send);
  WINSOCK_ENTRY(recv);
  WINSOCK_ENTRY(recvfrom);
  WINSOCK_ENTRY(ntohs);
  WINSOCK_ENTRY(listen);
  WINSOCK_ENTRY(ioctlsocket);
  WINSOCK_ENTRY(inet_ntoa);
  WINSOCK_ENTRY(inet_addr);
  WINSOCK_ENTRY(htons);
  WINSOCK_ENTRY(getsockname);
  WINSOCK_ENTRY(getpeername);
  WINSOCK_ENTRY(connect);
  WINSOCK_ENTRY(closesocket);
  WINSOCK_ENTRY(bind);
  WINSOCK_ENTRY(accept);
};

#undef WINSOCK_ENTRY

// Process-wide and unsynchronised: the component is used from one thread.
HMODULE libraryHandle = nullptr;
WSADATA WinsockStartupData;
TWinsockProcTable table;
TWinsockBindingCounts counts = {0, 0};

// The entry, fetched by Name on its first use.
template <class Procedure>
Procedure Bound(Procedure& Entry, const char* Name) {
  // GetProcAddress hands out an untyped address; the entry gives it its type.
  if (Entry == nullptr) Entry = reinterpret_cast<Procedure>(reinterpret_cast<void*>(BindWinsockProc(Name)));
  return Entry;
}

#define CALL_WINSOCK(Name) Bound(table.Name, #Name)

void LoadAndStartWinsock() {
  libraryHandle = LoadLibraryA(kWinsockLibraryName);
  if (libraryHandle == nullptr)
    throw ESocketException(std::string("Unable to load ") + kWinsockLibraryName + " Error #" +
                           std::to_string(GetLastError()));
  // The handle stays set even when the start-up fails: later calls reach
  // Winsock, which then reports WSANOTINITIALISED itself.
  ++counts.Startups;
  const int result = CALL_WINSOCK(WSAStartup)(kWinsockVersion, &WinsockStartupData);
  if (result != 0)
    throw ESocketException(std::string(kWinsockLibraryName) + ": WSAStartup error #" + std::to_string(result));
}

}  // namespace

int& SocketCount() {
  static int count = 0;
  return count;
}

FARPROC BindWinsockProc(const std::string& Name) {
  if (libraryHandle == nullptr) LoadAndStartWinsock();
  if (Name.empty()) return nullptr;
  const FARPROC procedure = GetProcAddress(libraryHandle, Name.c_str());
  if (procedure == nullptr)
    throw ESocketException("Procedure " + Name + " not found in " + kWinsockLibraryName + " Error #" +
                           std::to_string(GetLastError()));
  return procedure;
}

void UnloadWinsock() {
  if (libraryHandle == nullptr) return;
  ++counts.Cleanups;
  try {
    CALL_WINSOCK(WSACleanup)();
  } catch (...) {
    // A library without WSACleanup is still released below.
  }
  FreeLibrary(libraryHandle);
  libraryHandle = nullptr;
  table = TWinsockProcTable{};
}

TWinsockBindingCounts WinsockBindingCounts() { return counts; }

bool WinsockLoaded() { return libraryHandle != nullptr; }

namespace wsapi {

int WSAStartup(WORD VersionRequested, LPWSADATA Data) { return CALL_WINSOCK(WSAStartup)(VersionRequested, Data); }
int WSACleanup() { return CALL_WINSOCK(WSACleanup)(); }
void WSASetLastError(int Error) { CALL_WINSOCK(WSASetLastError)(Error); }
int WSAGetLastError() { return CALL_WINSOCK(WSAGetLastError)(); }
int WSACancelAsyncRequest(HANDLE AsyncTaskHandle) { return CALL_WINSOCK(WSACancelAsyncRequest)(AsyncTaskHandle); }
HANDLE WSAAsyncGetHostByName(HWND Window, u_int Msg, const char* Name, char* Buffer, int BufferLength) {
  return CALL_WINSOCK(WSAAsyncGetHostByName)(Window, Msg, Name, Buffer, BufferLength);
}
HANDLE WSAAsyncGetHostByAddr(HWND Window, u_int Msg, const char* Address, int Length, int Type, char* Buffer,
                             int BufferLength) {
  return CALL_WINSOCK(WSAAsyncGetHostByAddr)(Window, Msg, Address, Length, Type, Buffer, BufferLength);
}
int WSAAsyncSelect(SOCKET Socket, HWND Window, u_int Msg, long Events) {
  return CALL_WINSOCK(WSAAsyncSelect)(Socket, Window, Msg, Events);
}
servent* getservbyname(const char* Name, const char* Proto) { return CALL_WINSOCK(getservbyname)(Name, Proto); }
protoent* getprotobyname(const char* Name) { return CALL_WINSOCK(getprotobyname)(Name); }
hostent* gethostbyname(const char* Name) { return CALL_WINSOCK(gethostbyname)(Name); }
int gethostname(char* Name, int NameLength) { return CALL_WINSOCK(gethostname)(Name, NameLength); }
SOCKET socket(int Family, int Type, int Protocol) { return CALL_WINSOCK(socket)(Family, Type, Protocol); }
int shutdown(SOCKET Socket, int How) { return CALL_WINSOCK(shutdown)(Socket, How); }
int setsockopt(SOCKET Socket, int Level, int Option, const char* Value, int ValueLength) {
  return CALL_WINSOCK(setsockopt)(Socket, Level, Option, Value, ValueLength);
}
int sendto(SOCKET Socket, const char* Data, int Length, int Flags, const sockaddr* To, int ToLength) {
  return CALL_WINSOCK(sendto)(Socket, Data, Length, Flags, To, ToLength);
}
int send(SOCKET Socket, const char* Data, int Length, int Flags) {
  return CALL_WINSOCK(send)(Socket, Data, Length, Flags);
}
int recv(SOCKET Socket, char* Buffer, int Length, int Flags) {
  return CALL_WINSOCK(recv)(Socket, Buffer, Length, Flags);
}
int recvfrom(SOCKET Socket, char* Buffer, int Length, int Flags, sockaddr* From, int* FromLength) {
  return CALL_WINSOCK(recvfrom)(Socket, Buffer, Length, Flags, From, FromLength);
}
u_short ntohs(u_short Value) { return CALL_WINSOCK(ntohs)(Value); }
int listen(SOCKET Socket, int Backlog) { return CALL_WINSOCK(listen)(Socket, Backlog); }
int ioctlsocket(SOCKET Socket, long Command, u_long* Argument) {
  return CALL_WINSOCK(ioctlsocket)(Socket, Command, Argument);
}
char* inet_ntoa(in_addr Address) { return CALL_WINSOCK(inet_ntoa)(Address); }
unsigned long inet_addr(const char* Text) { return CALL_WINSOCK(inet_addr)(Text); }
u_short htons(u_short Value) { return CALL_WINSOCK(htons)(Value); }
int getsockname(SOCKET Socket, sockaddr* Name, int* NameLength) {
  return CALL_WINSOCK(getsockname)(Socket, Name, NameLength);
}
int getpeername(SOCKET Socket, sockaddr* Name, int* NameLength) {
  return CALL_WINSOCK(getpeername)(Socket, Name, NameLength);
}
int connect(SOCKET Socket, const sockaddr* Name, int NameLength) {
  return CALL_WINSOCK(connect)(Socket, Name, NameLength);
}
int closesocket(SOCKET Socket) { return CALL_WINSOCK(closesocket)(Socket); }
int bind(SOCKET Socket, const sockaddr* Name, int NameLength) {
  return CALL_WINSOCK(bind)(Socket, Name, NameLength);
}
SOCKET accept(SOCKET Socket, sockaddr* Address, int* AddressLength) {
  return CALL_WINSOCK(accept)(Socket, Address, AddressLength);
}

}  // namespace wsapi
}  // namespace sntp
