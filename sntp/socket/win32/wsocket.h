#pragma once
// The event-driven Winsock socket: a non-blocking socket whose readiness
// arrives as window messages to a hidden window it owns, turned into events
// on the thread that created it. Sends go through a queue of chunks, so no
// operation waits on the network (host-name resolution aside).
//
// wsocket.cpp holds the path the library's exchange takes (a UDP socket
// opened, one datagram sent, datagrams read, the socket closed, the window
// and the name lookup); wsocket_stream.cpp the rest of what the component
// offers; socket_layers.cpp the layers above it.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sntp/common/component.h"
#include "sntp/socket/send_buffer.h"
#include "sntp/socket/socket_exception.h"
#include "sntp/win32/message_window.h"

namespace sntp {

// Ordinal values matter: callers compare State with them.
enum TSocketState : uint8_t {
  wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening, wsClosed
};
enum TSocketSendFlags : uint8_t { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff : uint8_t { wsLingerOff, wsLingerOn, wsLingerNoSet };

// Events carrying a Winsock error code, 0 meaning none. Sender is the socket.
using TDataSent = TErrorCodeEvent;
using TSessionClosed = TErrorCodeEvent;
using TSessionAvailable = TErrorCodeEvent;
using TSessionConnected = TErrorCodeEvent;
using TDnsLookupDone = TErrorCodeEvent;
using TChangeState = std::function<void(TComponent* sender, TSocketState oldState, TSocketState newState)>;
// CanClose is true on entry; left true, the socket is aborted afterwards.
using TBgExceptionEvent = std::function<void(TComponent* sender, const std::exception& e, bool& canClose)>;

// Messages posted to a socket's hidden window.
constexpr UINT WM_SOCKET_EVENT = WM_USER + 1;
constexpr UINT WM_HOSTNAME_LOOKUP_DONE = WM_USER + 2;
constexpr UINT WM_HOSTADDR_LOOKUP_DONE = WM_USER + 3;
constexpr UINT WM_LINE_DATA_PENDING = WM_USER + 20;

// Size of the area handed to the asynchronous lookups.
constexpr int kLookupBufferSize = 1025;

// Reads of one FD_READ notification: enough to take a burst in one go, few
// enough that the thread's other messages, and a waiting caller's deadline,
// come between two notifications.
constexpr int kReadsPerNotification = 16;

class TCustomWSocket : public TComponent {
 protected:
  static constexpr long kConnectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;  // 59
  static constexpr long kListenEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;                 // 43
  static constexpr int kSockaddrInSize = sizeof(sockaddr_in);

 public:
  TCustomWSocket();
  ~TCustomWSocket() override;

  // Endpoint properties. A setter given the text already assigned does
  // nothing; otherwise it reports unless the socket is closed.
  const std::string& Addr() const { return addr_; }
  void SetAddr(const std::string& value);
  const std::string& Port() const { return port_; }
  virtual void SetPort(const std::string& value);
  const std::string& Proto() const { return proto_; }
  virtual void SetProto(const std::string& value);
  const std::string& LocalPort() const { return localPort_; }
  void SetLocalPort(const std::string& value);

  TSocketState State() const { return state_; }
  int LastError() const { return lastError_; }
  // What the last report said, as ESocketException would have said it:
  // "Error 10048 in function Bind" CR LF "Address already in use".
  const std::string& LastErrorText() const { return lastErrorText_; }
  int ReadCount() const { return readCount_; }
  // Bytes waiting (FIONREAD), -1 after a report.
  virtual int RcvdCount();
  // "error" unless connected.
  virtual std::string PeerAddr();
  virtual std::string PeerPort();
  TSocketSendFlags SendFlags() const;
  void SetSendFlags(TSocketSendFlags value);
  TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
  void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
  int LingerTimeout() const { return lingerTimeout_; }
  void SetLingerTimeout(int value) { lingerTimeout_ = value; }
  const std::string& DnsResult() const { return dnsResult_; }
  const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
  SOCKET GetSocketHandle() const { return socketHandle_; }
  HWND GetWindowHandle() const { return windowHandle_.get(); }
  // A name lookup was started and has neither completed nor been cancelled.
  bool LookupPending() const { return lookupHandle_ != nullptr; }
  // PumpMessages took a WM_QUIT off the queue.
  bool QuitSeen() const { return quitSeen_; }

  virtual void Connect();
  virtual void Close();
  // Drops the queue, turns linger off for a connected stream, closes
  // without the send shutdown.
  virtual void Abort();
  // Pumps messages until the queue has gone out or the socket closed.
  virtual void Flush();
  virtual void WaitForClose();
  virtual void Listen();
  virtual SOCKET Accept();
  virtual int Receive(void* buffer, int bufferSize);
  virtual std::string ReceiveStr();
  virtual int ReceiveFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen);
  // Queues Len bytes and sends what Winsock takes now; returns Len, 0 for a
  // length of 0 or less, -1 when not connected. On a datagram socket the
  // bytes are one datagram, sent whole or reported as failed.
  virtual int Send(const void* data, int len);
  // One sendto to Dest, bypassing the queue; -1 with LastError on failure.
  virtual int SendTo(const sockaddr_in& dest, int destLen, const void* data, int len);
  virtual int SendStr(const std::string& text);
  virtual void DnsLookup(const std::string& hostName);
  virtual void ReverseDnsLookup(const std::string& hostAddr);
  virtual void CancelDnsLookup();
  virtual int GetPeerName(sockaddr_in& name, int nameLen);
  virtual std::string BoundPort();
  virtual bool TimevalIsSet(const timeval& value);
  virtual void TimevalClear(timeval& value);
  virtual bool TimevalCompare(const timeval& a, const timeval& b, bool wantEqual);
  virtual int GetSockName(sockaddr_in& name, int& nameLen);
  // Adopts an accepted socket handle as this object's connection.
  virtual void Dup(SOCKET newHandle);
  virtual void Shutdown(int how);
  virtual int Pause();
  virtual int Resume();
  // Dispatches every queued message of the calling thread; a WM_QUIT is
  // taken off the queue and only remembered (QuitSeen).
  virtual void PumpMessages();

  // Events: empty = not assigned.
  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;
  TChangeState OnChangeState;
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TNotifyEvent OnLineTooLong;
  TDnsLookupDone OnDnsLookupDone;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;

 protected:
  static TWindowHandle CreateNotificationWindow(TCustomWSocket* socket);
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  virtual LRESULT DispatchWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void ResetDefaults();
  virtual void CloseWithError(bool shutdownFirst, uint16_t error);
  // False after a report.
  virtual bool BindLocal();
  virtual int SendRaw(const void* data, int len);
  // Reports Format filled printf-style.
  virtual void ReportErrorFmt(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // OnError when assigned, else ESocketException with Message.
  virtual void ReportError(const std::string& message);
  virtual void HandleBackgroundError(const std::exception& e);
  // Calls OnDataAvailable; false when no handler is assigned.
  virtual bool FireDataAvailable(uint16_t error);
  virtual void FireSessionAvailable(uint16_t error);
  virtual void FireSessionConnected(uint16_t error);
  virtual void FireSessionClosed(uint16_t error);
  virtual void FireDataSent(uint16_t error);
  virtual void FireChangeState(TSocketState oldState, TSocketState newState);
  virtual void FireDnsLookupDone(uint16_t error);
  virtual void FireError();
  virtual int RecvRaw(void* buffer, int bufferSize, int flags);
  virtual int RecvFromRaw(SOCKET handle, void* buffer, int bufferSize, int flags, sockaddr_in& from, int& fromLen);
  virtual int CloseRaw(SOCKET handle);

  // "Error N in function F" CR LF description; 10054 and 10057 also drop
  // the socket.
  void ReportSocketError(const char* functionName);
  // A stream's connect, and its listening for sessions (false after a
  // report), in wsocket_stream.cpp.
  void ConnectStream();
  bool ListenForSessions();
  void SetState(TSocketState newState);
  void SetLinger();
  void TryToSend();
  void ClearSendQueue() { sendQueue_.Clear(); }
  void HandleSelectEvent(WPARAM wParam, LPARAM lParam);
  void DrainReceived(uint16_t error, int limit);
  void HandleHostByNameDone(WPARAM wParam, LPARAM lParam);
  void HandleHostByAddrDone(WPARAM wParam, LPARAM lParam);
  // Common start of both lookups; false when the text was empty.
  bool StartLookup(const std::string& text);
  bool TakeLookupCompletion(WPARAM wParam);
  // Resolves what is not resolved yet; false after a report.
  bool ResolveEndpoint(bool withLocalPort, const char* reportPrefix);
  bool IsStream() const { return socketType_ == SOCK_STREAM; }
  bool PrepareDatagramConnect();
  bool PrepareStreamConnect();
  void ReportInvalidListen(const char* functionName);
  bool CloseSocketHandle();
  DWORD LingerWaitMs() const;
  void SetAbortiveLinger();
  void HandleSendFailure();
  bool TakeSentDatagram(int sent, int32_t length);
  int CountReceived(int result);
  bool DiscardWaitingPiece();
  // Winsock posts every notification to the window: without one, false with
  // WSAEINVAL set, as Winsock answers for a bad window.
  bool HasNotificationWindow();
  int SelectEvents(long events);
  // Hands the pending lookup's area to the record of abandoned lookups, and
  // forgets the lookup.
  void AbandonLookupBuffer();
  bool SetTextProperty(std::string& text, bool& assigned, bool* resolved, const std::string& value,
                       const char* message);

  std::string dnsResult_;
  std::vector<std::string> dnsResultList_;
  SOCKET acceptedHandle_ = INVALID_SOCKET;
  TSendQueue sendQueue_;
  int sendChunkSize_ = kDefaultSendChunkSize;
  int sendFlags_ = 0;
  int lastError_ = 0;
  std::string lastErrorText_;
  TWindowHandle windowHandle_;
  // Winsock writes a lookup's result here from a thread of its own; the area
  // of a cancelled lookup goes to the record of abandoned lookups.
  std::unique_ptr<char[]> lookupBuffer_ = std::make_unique<char[]>(kLookupBufferSize);
  HANDLE lookupHandle_ = nullptr;
  SOCKET socketHandle_ = INVALID_SOCKET;
  std::string addr_;
  bool addrResolved_ = false;
  int addressFamily_ = AF_INET;
  bool addrAssigned_ = false;
  int protoNumber_ = IPPROTO_TCP;
  bool protoAssigned_ = true;
  bool protoResolved_ = false;
  bool localPortResolved_ = false;
  std::string proto_;
  std::string port_;
  bool portAssigned_ = false;
  bool portResolved_ = false;
  int portNumber_ = 0;
  std::string localPort_;
  int localPortNumber_ = 0;
  int socketType_ = SOCK_STREAM;
  TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
  int lingerTimeout_ = 0;
  bool allSent_ = true;
  int readCount_ = 0;
  bool paused_ = false;
  bool closeNotified_ = false;
  TSocketState state_ = wsClosed;
  bool quitSeen_ = false;
  sockaddr_in remoteAddress_ = {};
};

// Proxy negotiation layer: its settings only. The library never sets
// SocksServer, so the layer stays inactive and every operation passes
// straight through; Connect with a SocksServer set reports instead of
// silently bypassing the proxy.
class TCustomSocksWSocket : public TCustomWSocket {
 public:
  TCustomSocksWSocket();

  const std::string& SocksServer() const { return socksServer_; }
  void SetSocksServer(const std::string& value) { socksServer_ = value; }
  const std::string& SocksPort() const { return socksPort_; }
  void SetSocksPort(const std::string& value) { socksPort_ = value; }
  const std::string& SocksLevel() const { return socksLevel_; }
  void SetSocksLevel(const std::string& value) { socksLevel_ = value; }
  const std::string& SocksUsercode() const { return socksUsercode_; }
  void SetSocksUsercode(const std::string& value) { socksUsercode_ = value; }
  const std::string& SocksPassword() const { return socksPassword_; }
  void SetSocksPassword(const std::string& value) { socksPassword_ = value; }
  bool SocksAuthentication() const { return socksAuthentication_; }
  void SetSocksAuthentication(bool value) { socksAuthentication_ = value; }

  void Connect() override;
  void Listen() override;

  TSessionConnected OnSocksConnected;
  std::function<void(TComponent* sender, uint16_t error, const std::string& message)> OnSocksError;
  std::function<void(TComponent* sender, int authState)> OnSocksAuthState;

 protected:
  void ResetDefaults() override;
  bool SocksActive() const { return !socksServer_.empty(); }
  void ResetSocksDefaults();

  std::string socksServer_;
  std::string socksPort_;
  std::string socksLevel_;
  std::string socksUsercode_;
  std::string socksPassword_;
  bool socksAuthentication_ = false;
};

// Line mode layer: its settings only; line mode stays off in the library,
// and with it off every byte passes through untouched.
class TCustomLineWSocket : public TCustomSocksWSocket {
 public:
  TCustomLineWSocket();

  bool LineMode() const { return lineMode_; }
  void SetLineMode(bool value) { lineMode_ = value; }
  const std::string& LineEnd() const { return lineEnd_; }
  void SetLineEnd(const std::string& value) { lineEnd_ = value; }
  bool LineEcho() const { return lineEcho_; }
  void SetLineEcho(bool value) { lineEcho_ = value; }
  bool LineEdit() const { return lineEdit_; }
  void SetLineEdit(bool value) { lineEdit_ = value; }

 protected:
  LRESULT DispatchWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  bool lineMode_ = false;
  std::string lineEnd_;
  bool lineEcho_ = false;
  bool lineEdit_ = false;
};

// Blocking-wait layer: pumps messages until a flag turns true or a
// time-out passes.
class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  using TCustomLineWSocket::TCustomLineWSocket;

  // True when Flag turned true; false after TimeoutMs or a WM_QUIT.
  bool WaitUntilSet(const bool& flag, unsigned timeoutMs);
};

class TWSocket : public TCustomSyncWSocket {
 public:
  using TCustomSyncWSocket::TCustomSyncWSocket;
};

}  // namespace sntp
