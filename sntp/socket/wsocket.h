#pragma once
// The event-driven Winsock socket: a non-blocking socket whose readiness
// arrives as window messages to a hidden window it owns, turned into events
// on the thread that created it. Sends go through a queue of chunks, so no
// operation waits on the network (host-name resolution aside).
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sntp/component.h"
#include "sntp/socket/send_buffer.h"
#include "sntp/socket/socket_exception.h"

namespace sntp {

// Ordinal values matter: callers compare State with them.
enum TSocketState : uint8_t {
  wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening, wsClosed
};
enum TSocketSendFlags : uint8_t { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff : uint8_t { wsLingerOff, wsLingerOn, wsLingerNoSet };

// Events carrying a Winsock error code, 0 meaning none. Sender is the socket.
using TSocketErrorEvent = std::function<void(TComponent* Sender, uint16_t Error)>;
using TDataAvailable = TSocketErrorEvent;
using TDataSent = TSocketErrorEvent;
using TSessionClosed = TSocketErrorEvent;
using TSessionAvailable = TSocketErrorEvent;
using TSessionConnected = TSocketErrorEvent;
using TDnsLookupDone = TSocketErrorEvent;
using TChangeState = std::function<void(TComponent* Sender, TSocketState OldState, TSocketState NewState)>;
// CanClose is true on entry; left true, the socket is aborted afterwards.
using TBgExceptionEvent = std::function<void(TComponent* Sender, const std::exception& E, bool& CanClose)>;

// Messages posted to a socket's hidden window.
constexpr UINT WM_SOCKET_EVENT = WM_USER + 1;
constexpr UINT WM_HOSTNAME_LOOKUP_DONE = WM_USER + 2;
constexpr UINT WM_HOSTADDR_LOOKUP_DONE = WM_USER + 3;
constexpr UINT WM_LINE_DATA_PENDING = WM_USER + 20;

// Size of the area handed to the asynchronous lookups.
constexpr int kLookupBufferSize = 1025;

class TCustomWSocket : public TComponent {
 public:
  explicit TCustomWSocket(TComponent* Owner = nullptr);
  ~TCustomWSocket() override;

  // Endpoint properties. A setter given the text already assigned does
  // nothing; otherwise it reports unless the socket is closed.
  const std::string& Addr() const { return AddrText; }
  void SetAddr(const std::string& Value);
  const std::string& Port() const { return PortText; }
  virtual void SetPort(const std::string& Value);
  const std::string& Proto() const { return ProtoText; }
  virtual void SetProto(const std::string& Value);
  const std::string& LocalPort() const { return LocalPortText; }
  void SetLocalPort(const std::string& Value);

  TSocketState State() const { return StateValue; }
  int LastError() const { return LastErrorValue; }
  int ReadCount() const { return ReadCountValue; }
  // Bytes waiting (FIONREAD), -1 after a report.
  virtual int RcvdCount();
  // "error" unless connected.
  virtual std::string PeerAddr();
  virtual std::string PeerPort();
  TSocketSendFlags SendFlags() const;
  void SetSendFlags(TSocketSendFlags Value);
  TSocketLingerOnOff LingerOnOff() const { return LingerOnOffValue; }
  void SetLingerOnOff(TSocketLingerOnOff Value) { LingerOnOffValue = Value; }
  int LingerTimeout() const { return LingerTimeoutValue; }
  void SetLingerTimeout(int Value) { LingerTimeoutValue = Value; }
  const std::string& DnsResult() const { return DnsResultValue; }
  const std::vector<std::string>& DnsResultList() const { return DnsResultListValue; }
  SOCKET GetSocketHandle() const { return SocketHandle; }
  HWND GetWindowHandle() const { return WindowHandle; }
  // A name lookup was started and has neither completed nor been cancelled.
  bool LookupPending() const { return LookupHandle != nullptr; }
  // PumpMessages took a WM_QUIT off the queue.
  bool QuitSeen() const { return QuitSeenValue; }

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
  virtual int Receive(void* Buffer, int BufferSize);
  virtual std::string ReceiveStr();
  virtual int ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, int& FromLen);
  // Queues Len bytes and sends what Winsock takes now; returns Len, 0 for a
  // length of 0 or less, -1 when not connected.
  virtual int Send(const void* Data, int Len);
  // One sendto to Dest, bypassing the queue.
  virtual int SendTo(const sockaddr_in& Dest, int DestLen, const void* Data, int Len);
  virtual int SendStr(const std::string& Text);
  virtual void DnsLookup(const std::string& HostName);
  virtual void ReverseDnsLookup(const std::string& HostAddr);
  virtual void CancelDnsLookup();
  virtual int GetPeerName(sockaddr_in& Name, int NameLen);
  virtual std::string BoundPort();
  virtual bool TimevalIsSet(const timeval& Value);
  virtual void TimevalClear(timeval& Value);
  virtual bool TimevalCompare(const timeval& A, const timeval& B, bool WantEqual);
  virtual int GetSockName(sockaddr_in& Name, int& NameLen);
  // Adopts an accepted socket handle as this object's connection.
  virtual void Dup(SOCKET NewHandle);
  virtual void Shutdown(int How);
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
  friend class TSocketWindow;

  virtual LRESULT DispatchWindowMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
  virtual void ResetDefaults();
  virtual void CloseWithError(bool ShutdownFirst, uint16_t Error);
  virtual void BindLocal();
  virtual int SendRaw(const void* Data, int Len);
  // Reports Format filled printf-style.
  virtual void ReportErrorFmt(const char* Format, ...) __attribute__((format(printf, 2, 3)));
  // OnError when assigned, else ESocketException with Message.
  virtual void ReportError(const std::string& Message);
  virtual void HandleBackgroundError(const std::exception& E);
  // Calls OnDataAvailable; false when no handler is assigned.
  virtual bool FireDataAvailable(uint16_t Error);
  virtual void FireSessionAvailable(uint16_t Error);
  virtual void FireSessionConnected(uint16_t Error);
  virtual void FireSessionClosed(uint16_t Error);
  virtual void FireDataSent(uint16_t Error);
  virtual void FireChangeState(TSocketState OldState, TSocketState NewState);
  virtual void FireDnsLookupDone(uint16_t Error);
  virtual void FireError();
  virtual int RecvRaw(void* Buffer, int BufferSize, int Flags);
  virtual int RecvFromRaw(SOCKET Handle, void* Buffer, int BufferSize, int Flags, sockaddr_in& From, int& FromLen);

  // "Error N in function F" CR LF description; 10054 and 10057 also drop
  // the socket.
  void ReportSocketError(const char* FunctionName);
  void SetState(TSocketState NewState);
  void SetLinger();
  void TryToSend();
  void ClearSendQueue() { SendQueue.Clear(); }
  void HandleSelectEvent(WPARAM WParam, LPARAM LParam);
  void DrainReceived(uint16_t Error);
  void HandleHostByNameDone(WPARAM WParam, LPARAM LParam);
  void HandleHostByAddrDone(WPARAM WParam, LPARAM LParam);
  // Common start of both lookups; false when the text was empty.
  bool StartLookup(const std::string& Text);
  bool TakeLookupCompletion(WPARAM WParam);
  // Resolves what is not resolved yet; false after a report.
  bool ResolveEndpoint(bool WithLocalPort, const char* ReportPrefix);
  bool IsStream() const { return SocketType == SOCK_STREAM; }
  bool PrepareDatagramConnect();
  bool PrepareStreamConnect();
  void ReportInvalidListen(const char* FunctionName);
  bool CloseSocketHandle();
  void HandleSendFailure();
  int CountReceived(int Result);
  bool DiscardWaitingPiece();
  // Waits briefly for the next message of this thread instead of spinning.
  void WaitForMessages();
  // Winsock posts every notification to the window: without one, false with
  // WSAEINVAL set, as Winsock answers for a bad window.
  bool HasNotificationWindow();
  int SelectEvents(long Events);
  // Forgets the pending lookup's buffer: see LookupBuffer.
  void AbandonLookupBuffer();
  bool SetTextProperty(std::string& Text, bool& Assigned, bool* Resolved, const std::string& Value,
                       const char* Message);

  std::string DnsResultValue;
  std::vector<std::string> DnsResultListValue;
  SOCKET AcceptedHandle = INVALID_SOCKET;
  TSendQueue SendQueue;
  int SendChunkSize = kDefaultSendChunkSize;
  int SendFlagsValue = 0;
  int LastErrorValue = 0;
  HWND WindowHandle = nullptr;
  // Winsock writes a lookup's result here from a thread of its own, and a
  // cancelled lookup that is already under way may still write it, so the
  // buffer of a cancelled lookup is left to Winsock for good.
  std::unique_ptr<char[]> LookupBuffer = std::make_unique<char[]>(kLookupBufferSize);
  HANDLE LookupHandle = nullptr;
  SOCKET SocketHandle = INVALID_SOCKET;
  std::string AddrText;
  bool AddrResolved = false;
  int AddressFamily = AF_INET;
  bool AddrAssigned = false;
  int ProtoNumber = IPPROTO_TCP;
  bool ProtoAssigned = true;
  bool ProtoResolved = false;
  bool LocalPortResolved = false;
  std::string ProtoText = "tcp";
  std::string PortText;
  bool PortAssigned = false;
  bool PortResolved = false;
  int PortNumber = 0;
  std::string LocalPortText = "0";
  int LocalPortNumber = 0;
  int SocketType = SOCK_STREAM;
  TSocketLingerOnOff LingerOnOffValue = wsLingerOn;
  int LingerTimeoutValue = 0;
  bool AllSent = true;
  int ReadCountValue = 0;
  bool Paused = false;
  bool CloseNotified = false;
  TSocketState StateValue = wsClosed;
  bool QuitSeenValue = false;
  sockaddr_in RemoteAddress = {};
};

// Proxy negotiation layer: its settings only. The library never sets
// SocksServer, so the layer stays inactive and every operation passes
// straight through; Connect with a SocksServer set reports instead of
// silently bypassing the proxy.
class TCustomSocksWSocket : public TCustomWSocket {
 public:
  explicit TCustomSocksWSocket(TComponent* Owner = nullptr);

  const std::string& SocksServer() const { return SocksServerText; }
  void SetSocksServer(const std::string& Value) { SocksServerText = Value; }
  const std::string& SocksPort() const { return SocksPortText; }
  void SetSocksPort(const std::string& Value) { SocksPortText = Value; }
  const std::string& SocksLevel() const { return SocksLevelText; }
  void SetSocksLevel(const std::string& Value) { SocksLevelText = Value; }
  const std::string& SocksUsercode() const { return SocksUsercodeText; }
  void SetSocksUsercode(const std::string& Value) { SocksUsercodeText = Value; }
  const std::string& SocksPassword() const { return SocksPasswordText; }
  void SetSocksPassword(const std::string& Value) { SocksPasswordText = Value; }
  bool SocksAuthentication() const { return SocksAuthenticationValue; }
  void SetSocksAuthentication(bool Value) { SocksAuthenticationValue = Value; }

  void Connect() override;
  void Listen() override;

  TSessionConnected OnSocksConnected;
  std::function<void(TComponent* Sender, uint16_t Error, const std::string& Message)> OnSocksError;
  std::function<void(TComponent* Sender, int AuthState)> OnSocksAuthState;

 protected:
  void ResetDefaults() override;
  bool SocksActive() const { return !SocksServerText.empty(); }
  void ResetSocksDefaults();

  std::string SocksServerText;
  std::string SocksPortText;
  std::string SocksLevelText = "5";
  std::string SocksUsercodeText;
  std::string SocksPasswordText;
  bool SocksAuthenticationValue = false;
};

// Line mode layer: its settings only; line mode stays off in the library,
// and with it off every byte passes through untouched.
class TCustomLineWSocket : public TCustomSocksWSocket {
 public:
  explicit TCustomLineWSocket(TComponent* Owner = nullptr);

  bool LineMode() const { return LineModeValue; }
  void SetLineMode(bool Value) { LineModeValue = Value; }
  const std::string& LineEnd() const { return LineEndText; }
  void SetLineEnd(const std::string& Value) { LineEndText = Value; }
  bool LineEcho() const { return LineEchoValue; }
  void SetLineEcho(bool Value) { LineEchoValue = Value; }
  bool LineEdit() const { return LineEditValue; }
  void SetLineEdit(bool Value) { LineEditValue = Value; }

 protected:
  LRESULT DispatchWindowMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;

  bool LineModeValue = false;
  std::string LineEndText = "\r\n";
  bool LineEchoValue = false;
  bool LineEditValue = false;
};

// Blocking-wait layer: pumps messages until a flag turns true or a
// time-out passes.
class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  using TCustomLineWSocket::TCustomLineWSocket;

  // True when Flag turned true; false after TimeoutMs or a WM_QUIT.
  bool WaitUntilSet(const bool& Flag, unsigned TimeoutMs);
};

class TWSocket : public TCustomSyncWSocket {
 public:
  using TCustomSyncWSocket::TCustomSyncWSocket;
};

}  // namespace sntp
