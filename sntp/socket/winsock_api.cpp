#include "sntp/socket/winsock_api.h"

namespace sntp {
namespace {

bool started = false;

// Winsock 1.1 is all the component needs.
void EnsureStarted() {
  if (started) return;
  WSADATA data;
  started = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

}  // namespace

int& SocketCount() {
  static int count = 0;
  return count;
}

void UnloadWinsock() {
  if (!started) return;
  ::WSACleanup();
  started = false;
}

namespace wsapi {

int WSAStartup(WORD VersionRequested, LPWSADATA Data) { return ::WSAStartup(VersionRequested, Data); }
int WSACleanup() { return ::WSACleanup(); }
void WSASetLastError(int Error) { EnsureStarted(); ::WSASetLastError(Error); }
int WSAGetLastError() { return ::WSAGetLastError(); }
int WSACancelAsyncRequest(HANDLE AsyncTaskHandle) { EnsureStarted(); return ::WSACancelAsyncRequest(AsyncTaskHandle); }
HANDLE WSAAsyncGetHostByName(HWND Window, u_int Msg, const char* Name, char* Buffer, int BufferLength) {
  EnsureStarted();
  return ::WSAAsyncGetHostByName(Window, Msg, Name, Buffer, BufferLength);
}
HANDLE WSAAsyncGetHostByAddr(HWND Window, u_int Msg, const char* Address, int Length, int Type, char* Buffer,
                             int BufferLength) {
  EnsureStarted();
  return ::WSAAsyncGetHostByAddr(Window, Msg, Address, Length, Type, Buffer, BufferLength);
}
int WSAAsyncSelect(SOCKET Socket, HWND Window, u_int Msg, long Events) {
  EnsureStarted();
  return ::WSAAsyncSelect(Socket, Window, Msg, Events);
}
servent* getservbyname(const char* Name, const char* Proto) { EnsureStarted(); return ::getservbyname(Name, Proto); }
protoent* getprotobyname(const char* Name) { EnsureStarted(); return ::getprotobyname(Name); }
hostent* gethostbyname(const char* Name) { EnsureStarted(); return ::gethostbyname(Name); }
int gethostname(char* Name, int NameLength) { EnsureStarted(); return ::gethostname(Name, NameLength); }
SOCKET socket(int Family, int Type, int Protocol) { EnsureStarted(); return ::socket(Family, Type, Protocol); }
int shutdown(SOCKET Socket, int How) { EnsureStarted(); return ::shutdown(Socket, How); }
int setsockopt(SOCKET Socket, int Level, int Option, const char* Value, int ValueLength) {
  EnsureStarted();
  return ::setsockopt(Socket, Level, Option, Value, ValueLength);
}
int sendto(SOCKET Socket, const char* Data, int Length, int Flags, const sockaddr* To, int ToLength) {
  EnsureStarted();
  return ::sendto(Socket, Data, Length, Flags, To, ToLength);
}
int send(SOCKET Socket, const char* Data, int Length, int Flags) {
  EnsureStarted();
  return ::send(Socket, Data, Length, Flags);
}
int recv(SOCKET Socket, char* Buffer, int Length, int Flags) {
  EnsureStarted();
  return ::recv(Socket, Buffer, Length, Flags);
}
int recvfrom(SOCKET Socket, char* Buffer, int Length, int Flags, sockaddr* From, int* FromLength) {
  EnsureStarted();
  return ::recvfrom(Socket, Buffer, Length, Flags, From, FromLength);
}
u_short ntohs(u_short Value) { return ::ntohs(Value); }
int listen(SOCKET Socket, int Backlog) { EnsureStarted(); return ::listen(Socket, Backlog); }
int ioctlsocket(SOCKET Socket, long Command, u_long* Argument) {
  EnsureStarted();
  return ::ioctlsocket(Socket, Command, Argument);
}
char* inet_ntoa(in_addr Address) { EnsureStarted(); return ::inet_ntoa(Address); }
unsigned long inet_addr(const char* Text) { EnsureStarted(); return ::inet_addr(Text); }
u_short htons(u_short Value) { return ::htons(Value); }
int getsockname(SOCKET Socket, sockaddr* Name, int* NameLength) {
  EnsureStarted();
  return ::getsockname(Socket, Name, NameLength);
}
int getpeername(SOCKET Socket, sockaddr* Name, int* NameLength) {
  EnsureStarted();
  return ::getpeername(Socket, Name, NameLength);
}
int connect(SOCKET Socket, const sockaddr* Name, int NameLength) {
  EnsureStarted();
  return ::connect(Socket, Name, NameLength);
}
int closesocket(SOCKET Socket) { EnsureStarted(); return ::closesocket(Socket); }
int bind(SOCKET Socket, const sockaddr* Name, int NameLength) {
  EnsureStarted();
  return ::bind(Socket, Name, NameLength);
}
SOCKET accept(SOCKET Socket, sockaddr* Address, int* AddressLength) {
  EnsureStarted();
  return ::accept(Socket, Address, AddressLength);
}

}  // namespace wsapi
}  // namespace sntp
