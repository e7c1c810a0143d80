#include "controls/ftp_session.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "controls/curl_queue.h"
#include "controls/idle_hook.h"
#include "forms/runtime_error.h"
#include "ftp_part_file.h"
#include "notice_window.h"
#include "win32/message.h"

namespace controls {

using Clock = std::chrono::steady_clock;
using forms::RuntimeError;

struct FtpSession::Event {
  enum Kind { kTrail, kProgress, kEntry, kStart, kEnd, kError };
  explicit Event(Kind k) : kind(k) {}
  Kind kind;
  FtpTrail direction = FtpTrail::kInfo;
  std::string text;
  int64_t number = 0;
  FtpListEntry entry;
};

namespace {

constexpr long kBufferSize = 512 * 1024;
// A listing longer than this is not a meter's directory.
constexpr int64_t kMaxListing = 64 * 1024 * 1024;

// Path for the URL: each segment escaped, a leading "/" as %2F so the server gets the
// absolute path itself (no CWD walk; we keep the server's directory where we set it).
std::string UrlPath(CURL* easy, const std::string& path) {
  std::string out;
  size_t start = 0;
  if (!path.empty() && path[0] == '/') {
    out = "%2F";
    start = 1;
  }
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    std::string segment = path.substr(start, slash == std::string::npos ? std::string::npos
                                                                        : slash - start);
    char* escaped = curl_easy_escape(easy, segment.c_str(), static_cast<int>(segment.size()));
    out += escaped ? escaped : "";
    curl_free(escaped);
    if (slash == std::string::npos) break;
    out += '/';
    start = slash + 1;
  }
  return out;
}

// "host", "host:port", "[v6]" or "[v6]:port" -> "host:port" as a URL authority.
std::string Authority(const std::string& host) {
  if (!host.empty() && host[0] == '[') {
    size_t close = host.find(']');
    std::string rest = close == std::string::npos ? "" : host.substr(close + 1);
    return rest.empty() ? host + ":21" : host;
  }
  size_t colon = host.find(':');
  if (colon != std::string::npos && host.find(':', colon + 1) != std::string::npos)
    return "[" + host + "]:21";  // a bare IPv6 address
  return colon == std::string::npos ? host + ":21" : host;
}

bool HasLineBreak(const std::string& s) {
  return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// The directory in a 257 reply: the first quoted text, "" standing for one quote.
std::optional<std::string> QuotedPath(const std::string& reply) {
  size_t i = reply.find('"');
  if (i == std::string::npos) return std::nullopt;
  std::string out;
  for (++i; i < reply.size(); ++i) {
    if (reply[i] != '"') {
      out += reply[i];
    } else if (i + 1 < reply.size() && reply[i + 1] == '"') {
      out += '"';
      ++i;
    } else {
      return out;
    }
  }
  return std::nullopt;
}

unsigned PortOf(const std::string& authority) {
  size_t colon = authority.rfind(':');
  if (colon == std::string::npos || authority.find(']', colon) != std::string::npos) return 21;
  return static_cast<unsigned>(std::strtoul(authority.c_str() + colon + 1, nullptr, 10));
}

unsigned PortOf(const sockaddr_storage& peer) {
  if (peer.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&peer)->sin_port);
  if (peer.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_port);
  return 0;
}

unsigned PeerPort(int fd) {
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0 ? PortOf(peer) : 0;
}

unsigned LocalPort(int fd) {
  sockaddr_storage local{};
  socklen_t len = sizeof local;
  return getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) == 0 ? PortOf(local) : 0;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Live sessions by number: an idle watch's report may come after its session is gone.
thread_local std::unordered_map<ULONG_PTR, FtpSession*> t_sessions;
thread_local ULONG_PTR t_next_session = 1;

}  // namespace

// Marks the session busy for one operation, and hands its events on at the end, whatever
// way it ends.
class FtpSession::Scope {
 public:
  explicit Scope(FtpSession& s) : s_(s) {
    if (s_.busy_) throw RuntimeError(kFtpBusy, "Another FTP operation is in progress");
    s_.busy_ = true;
    s_.interrupt_ = false;
    s_.WatchIdle(false);
  }
  ~Scope() {
    s_.file_ = nullptr;
    s_.listing_.reset();
    s_.DeliverEvents();
    s_.busy_ = false;
    if (s_.connected_) s_.WatchIdle(true);
  }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  FtpSession& s_;
};

FtpSession::FtpSession(FtpSink& sink)
    : sink_(sink),
      queue_(std::make_unique<CurlQueue>()),
      window_(std::make_unique<NoticeWindow>([](UINT, WPARAM, LPARAM) {})),
      id_(t_next_session++) {
  easy_ = curl_easy_init();
  if (!easy_) throw RuntimeError(forms::kErrOutOfMemory, "Out of memory");
  t_sessions[id_] = this;
}

FtpSession::~FtpSession() {
  silent_ = true;
  t_sessions.erase(id_);
  WatchIdle(false);
  if (connected_ && !busy_) {
    try {
      LogOff();
    } catch (...) {
    }
  }
  queue_->Remove(easy_);
  curl_slist_free_all(quote_);
  curl_slist_free_all(prequote_);
  queue_.reset();
  curl_easy_cleanup(easy_);
}

std::string FtpSession::JoinRemote(const std::string& dir, const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

void FtpSession::Prepare(const std::string& remote_path) {
  curl_easy_reset(easy_);
  curl_slist_free_all(quote_);
  curl_slist_free_all(prequote_);
  quote_ = prequote_ = nullptr;
  const std::string url = base_url_ + UrlPath(easy_, remote_path);
  curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(easy_, CURLOPT_USERNAME, account_.user.c_str());
  curl_easy_setopt(easy_, CURLOPT_PASSWORD, account_.password.c_str());
  curl_easy_setopt(easy_, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(easy_, CURLOPT_DEBUGFUNCTION, &FtpSession::OnDebug);
  curl_easy_setopt(easy_, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &FtpSession::OnProgress);
  curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, error_);
  curl_easy_setopt(easy_, CURLOPT_OPENSOCKETFUNCTION, &FtpSession::OnOpenSocket);
  curl_easy_setopt(easy_, CURLOPT_OPENSOCKETDATA, this);
  opened_.clear();
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, account_.timeout_s);
  curl_easy_setopt(easy_, CURLOPT_SERVER_RESPONSE_TIMEOUT, account_.timeout_s);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, account_.timeout_s);
  // Extended passive first, plain passive as fallback (libcurl's own order); the address
  // in a passive reply is replaced by the control connection's, which is right behind NAT
  // and for servers that name 0.0.0.0 or a private address.
  curl_easy_setopt(easy_, CURLOPT_FTP_USE_EPSV, 1L);
  curl_easy_setopt(easy_, CURLOPT_FTP_SKIP_PASV_IP, 1L);
  if (!account_.passive) curl_easy_setopt(easy_, CURLOPT_FTPPORT, "-");
  curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kBufferSize);
  curl_easy_setopt(easy_, CURLOPT_UPLOAD_BUFFERSIZE, kBufferSize);
  error_[0] = '\0';
  last_reply_.clear();
  file_errno_ = 0;
  reported_ = -1;
  quiet_ = false;
}

void FtpSession::Run(Op op) {
  op_ = op;
  quote_failure_.clear();
  done_ = false;
  result_ = CURLE_OK;
  last_activity_ = Clock::now();
  queue_->Add(easy_, [this](CURLcode rc) {
    result_ = rc;
    done_ = true;
  });
  // libcurl's own timers end a silent server; this bound only guards against a missed one.
  const auto stall = std::chrono::seconds(account_.timeout_s + 5);
  while (!done_) {
    DeliverEvents();
    if (interrupt_ || Clock::now() - last_activity_ > stall) {
      queue_->Remove(easy_);
      result_ = interrupt_ ? CURLE_ABORTED_BY_CALLBACK : CURLE_OPERATION_TIMEDOUT;
      break;
    }
    bool hooked = RunIdleHook();
    if (!done_) PumpQueue(hooked ? 5 : 50);
  }
  Finish(op, result_);
}

void FtpSession::Finish(Op op, int rc) {
  // libcurl keeps a connection whose last reply failed to arrive as if it were fine.
  const bool alive = socket_ >= 0 && op != Op::kLogOff && !PeekClosed();
  if (op == Op::kLogOn && alive && rc == CURLE_OK) {
    connected_ = true;
  } else if (connected_ && !alive) {
    LostConnection();
  } else if (op == Op::kLogOn && greeted_) {
    Trail(FtpTrail::kInfo, "Disconnected");
  }
  if (rc != CURLE_OK && op != Op::kLogOff) Fail(rc, op);
}

void FtpSession::Fail(int rc, Op op) {
  std::string reply = last_reply_.empty() ? std::string(error_) : last_reply_;
  if (rc == CURLE_ABORTED_BY_CALLBACK && interrupt_)
    throw RuntimeError(kFtpCancelled, "The operation was interrupted");
  if ((rc == CURLE_WRITE_ERROR || rc == CURLE_READ_ERROR) && file_errno_ != 0) {
    if (file_errno_ == EFBIG) throw RuntimeError(forms::kErrDiskFull, "Disk full");
    throw forms::ErrorFromErrno(file_errno_);
  }
  if (rc == CURLE_WRITE_ERROR && op == Op::kList)
    throw RuntimeError(kFtpServerRefused, "The directory listing is too long");
  if (rc == CURLE_OPERATION_TIMEDOUT)
    throw RuntimeError(kFtpTimeout, "Timeout: the server did not answer within " +
                                        std::to_string(account_.timeout_s) + " seconds");
  if (rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_URL_MALFORMAT)
    throw RuntimeError(kFtpNameNotResolved, "Server not found: " + account_.host);
  if (rc == CURLE_COULDNT_CONNECT)
    throw RuntimeError(kFtpCannotConnect, "Cannot connect to " + account_.host);
  if (rc == CURLE_LOGIN_DENIED) throw RuntimeError(kFtpLoginFailure, "Log-in refused: " + reply);
  if (!connected_ && op != Op::kLogOn)
    throw RuntimeError(kFtpConnectionAborted, "Disconnected: the connection to the server was lost");
  if (!last_reply_.empty() && (last_reply_[0] == '4' || last_reply_[0] == '5'))
    throw RuntimeError(kFtpServerRefused, last_reply_);
  throw RuntimeError(kFtpServerRefused,
                     std::string("FTP failure: ") + curl_easy_strerror(static_cast<CURLcode>(rc)) +
                         (error_[0] ? std::string(" (") + error_ + ")" : std::string()));
}

void FtpSession::Post(Event e) {
  if (silent_) return;
  if (e.kind == Event::kProgress && !events_.empty() && events_.back().kind == Event::kProgress) {
    events_.back().number = e.number;
    return;
  }
  events_.push_back(std::move(e));
}

void FtpSession::DeliverEvents() {
  if (delivering_) return;
  delivering_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{delivering_};
  // Bounded: events that handlers cause meanwhile are delivered too, but not forever.
  for (size_t n = 0; n < 100000 && !events_.empty(); ++n) {
    Event e = std::move(events_.front());
    events_.pop_front();
    switch (e.kind) {
      case Event::kTrail: sink_.OnTrail(e.direction, e.text); break;
      case Event::kProgress: sink_.OnProgress(e.number); break;
      case Event::kEntry: sink_.OnEntry(e.entry); break;
      case Event::kStart: sink_.OnTransferStart(); break;
      case Event::kEnd: sink_.OnTransferEnd(); break;
      case Event::kError: sink_.OnError(static_cast<int>(e.number), e.text); break;
    }
  }
}

void FtpSession::Trail(FtpTrail direction, std::string line) {
  Event e(Event::kTrail);
  e.direction = direction;
  e.text = std::move(line);
  Post(std::move(e));
}

void FtpSession::LostConnection() {
  connected_ = false;
  socket_ = -1;
  Trail(FtpTrail::kInfo, "Disconnected");
}

void FtpSession::WatchIdle(bool on) {
  if (idle_watch_) {
    Win32CloseWatch(idle_watch_);
    idle_watch_ = nullptr;
  }
  if (!on || socket_ < 0) return;
  idle_watch_ = Win32CreateWatch(window_->hwnd(), socket_, &FtpSession::OnIdleReady, id_);
  if (idle_watch_) Win32ArmWatch(idle_watch_, POLLRDHUP | POLLHUP);
}

void CALLBACK FtpSession::OnIdleReady(ULONG_PTR context, DWORD) {
  auto it = t_sessions.find(context);
  if (it == t_sessions.end()) return;
  FtpSession* self = it->second;
  if (self->busy_ || !self->connected_) return;
  if (!self->PeekClosed()) {
    if (self->idle_watch_) Win32ArmWatch(self->idle_watch_, POLLRDHUP | POLLHUP);
    return;
  }
  self->WatchIdle(false);
  self->LostConnection();
  self->DeliverEvents();
}

bool FtpSession::PeekClosed() const {
  // libcurl closes its sockets itself: the number may be gone, or taken by another socket.
  if (socket_ < 0 || LocalPort(socket_) != local_port_ || PeerPort(socket_) != control_port_)
    return true;
  char c;
  ssize_t n = recv(socket_, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

bool FtpSession::Connected() {
  if (connected_ && !busy_ && PeekClosed()) LostConnection();
  return connected_;
}

void FtpSession::RequireConnected() const {
  if (!connected_) throw RuntimeError(kFtpNotConnected, "Not connected to an FTP server");
}

void FtpSession::ServerLine(const std::string& line) {
  Trail(FtpTrail::kServer, line);
  greeted_ = true;
  if (quitting_ && line.starts_with("221")) quiet_ = true;
  const bool final_line = line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                          line[3] == ' ';
  if (in_feat_) {
    std::string feature = Upper(line.substr(0, 6));
    if (feature == " MLST " || feature == " MLSD" || feature.starts_with(" MLST"))
      mlsd_ = true;
    if (final_line) in_feat_ = false;
  }
  if (!final_line) return;
  last_reply_ = line;
  if (op_ == Op::kQuote && quote_failure_.empty() && (line[0] == '4' || line[0] == '5'))
    quote_failure_ = line;
  if (line.starts_with("220")) {
    for (int fd : opened_) {
      if (PeerPort(fd) != control_port_) continue;
      socket_ = fd;
      local_port_ = LocalPort(fd);
    }
  }
  if (line.starts_with("230") && !logged_in_) {
    logged_in_ = true;
    Trail(FtpTrail::kInfo, "User " + account_.user + " logged in");
  }
  if (want_pwd_ && line.starts_with("257")) {
    want_pwd_ = false;
    if (auto path = QuotedPath(line)) pwd_reply_ = *path;
  }
}

int FtpSession::OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self_ptr) {
  auto* self = static_cast<FtpSession*>(self_ptr);
  if (self->quiet_) return 0;
  if (type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT) {
    self->last_activity_ = Clock::now();
    std::string_view text(data, size);
    while (!text.empty()) {
      size_t end = text.find('\n');
      std::string line(text.substr(0, end));
      text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (type == CURLINFO_HEADER_IN) {
        self->ServerLine(line);
      } else {
        std::string command = Upper(line.substr(0, 5));
        if (command == "PASS ") line = "PASS ********";
        if (command.starts_with("PWD")) self->want_pwd_ = true;
        if (command.starts_with("FEAT")) self->in_feat_ = true;
        self->Trail(FtpTrail::kClient, std::move(line));
      }
    }
  }
  return 0;
}

curl_socket_t FtpSession::OnOpenSocket(void* self_ptr, curlsocktype, curl_sockaddr* address) {
  auto* self = static_cast<FtpSession*>(self_ptr);
  int fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd < 0) return CURL_SOCKET_BAD;
  self->opened_.push_back(fd);
  return fd;
}

int FtpSession::OnProgress(void* self_ptr, curl_off_t, curl_off_t dlnow, curl_off_t,
                           curl_off_t ulnow) {
  auto* self = static_cast<FtpSession*>(self_ptr);
  int64_t bytes = dlnow > ulnow ? dlnow : ulnow;
  if (self->file_ && bytes != self->reported_) {
    self->reported_ = bytes;
    self->last_activity_ = Clock::now();
    Event e(Event::kProgress);
    e.number = bytes;
    self->Post(std::move(e));
  }
  return self->interrupt_ ? 1 : 0;
}

size_t FtpSession::OnWrite(char* data, size_t size, size_t n, void* self_ptr) {
  auto* self = static_cast<FtpSession*>(self_ptr);
  const size_t bytes = size * n;
  self->last_activity_ = Clock::now();
  if (self->listing_) {
    self->reported_ += static_cast<int64_t>(bytes);
    if (self->reported_ > kMaxListing) return 0;
    self->listing_->Feed(std::string_view(data, bytes), [self](const FtpListEntry& entry) {
      Event e(Event::kEntry);
      e.entry = entry;
      self->Post(std::move(e));
    });
    return bytes;
  }
  if (fwrite(data, 1, bytes, self->file_) != bytes) {
    self->file_errno_ = errno ? errno : EIO;
    return 0;
  }
  return bytes;
}

size_t FtpSession::OnRead(char* data, size_t size, size_t n, void* self_ptr) {
  auto* self = static_cast<FtpSession*>(self_ptr);
  size_t got = fread(data, 1, size * n, self->file_);
  if (got == 0 && ferror(self->file_)) {
    self->file_errno_ = errno ? errno : EIO;
    return CURL_READFUNC_ABORT;
  }
  return got;
}

void FtpSession::LogOn(const FtpLogOn& account) {
  if (connected_ && !busy_) LogOff();
  Scope scope(*this);
  account_ = account;
  if (account_.timeout_s <= 0) account_.timeout_s = 30;
  if (account_.host.empty() || HasLineBreak(account_.host) ||
      account_.host.find_first_of(" /@?#") != std::string::npos)
    throw RuntimeError(kFtpNameNotResolved, "Server not found: " + account_.host);
  if (HasLineBreak(account_.user) || HasLineBreak(account_.password))
    throw RuntimeError(kFtpInvalidArgument, "Invalid property value");
  base_url_ = "ftp://" + Authority(account_.host) + "/";
  control_port_ = PortOf(Authority(account_.host));
  logged_in_ = false;
  greeted_ = false;
  mlsd_ = false;
  pwd_reply_.clear();
  Trail(FtpTrail::kInfo, "Connecting to " + account_.host);
  Prepare("");
  curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(easy_, CURLOPT_FRESH_CONNECT, 1L);
  // Whether the server lists with MLSD; a server without FEAT is no failure.
  quote_ = curl_slist_append(nullptr, "*FEAT");
  curl_easy_setopt(easy_, CURLOPT_QUOTE, quote_);
  Run(Op::kLogOn);
  remote_path_ = pwd_reply_.empty() ? "/" : pwd_reply_;
}

void FtpSession::LogOff() {
  if (busy_) {
    Interrupt();
    return;
  }
  if (!connected_) return;
  Scope scope(*this);
  if (PeekClosed()) {
    LostConnection();
    return;
  }
  Prepare("");
  curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
  quote_ = curl_slist_append(nullptr, "QUIT");
  curl_easy_setopt(easy_, CURLOPT_QUOTE, quote_);
  quitting_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{quitting_};
  Run(Op::kLogOff);
}

void FtpSession::Quote(const std::vector<std::string>& commands) {
  RequireConnected();
  for (const auto& c : commands)
    if (HasLineBreak(c)) throw RuntimeError(kFtpInvalidArgument, "Invalid property value");
  if (PeekClosed()) {
    LostConnection();
    RequireConnected();
  }
  Prepare("");
  curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
  // "*": libcurl goes on after a failure reply and keeps the connection; we judge the replies.
  for (const auto& c : commands) quote_ = curl_slist_append(quote_, ("*" + c).c_str());
  curl_easy_setopt(easy_, CURLOPT_QUOTE, quote_);
  Run(Op::kQuote);
  if (!quote_failure_.empty()) throw RuntimeError(kFtpServerRefused, quote_failure_);
}

void FtpSession::ChangeDir(const std::string& path) {
  Scope scope(*this);
  pwd_reply_.clear();
  const std::string target = JoinRemote(remote_path_, path);
  Quote({"CWD " + target, "PWD"});
  remote_path_ = pwd_reply_.empty() ? target : pwd_reply_;
}

void FtpSession::Delete(const std::string& remote) {
  Scope scope(*this);
  Quote({"DELE " + JoinRemote(remote_path_, remote)});
}

void FtpSession::MakeDir(const std::string& remote) {
  Scope scope(*this);
  Quote({"MKD " + JoinRemote(remote_path_, remote)});
}

void FtpSession::Rename(const std::string& from, const std::string& to) {
  Scope scope(*this);
  Quote({"RNFR " + JoinRemote(remote_path_, from), "RNTO " + JoinRemote(remote_path_, to)});
}

void FtpSession::List() {
  Scope scope(*this);
  RequireConnected();
  if (HasLineBreak(remote_path_)) throw RuntimeError(kFtpInvalidArgument, "Invalid property value");
  const std::string dir = remote_path_.ends_with('/') ? remote_path_ : remote_path_ + "/";
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool mlsd = mlsd_;
    listing_.emplace(mlsd ? FtpListFormat::kMlsd : FtpListFormat::kList);
    Prepare(dir);
    reported_ = 0;
    if (mlsd) curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, "MLSD");
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &FtpSession::OnWrite);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    try {
      Run(Op::kList);
    } catch (const RuntimeError&) {
      // A server that offers MLSD in FEAT but refuses the command itself: LIST once more.
      if (!mlsd || !connected_ || !last_reply_.starts_with("50")) throw;
      mlsd_ = false;
      continue;
    }
    listing_->Finish([this](const FtpListEntry& entry) {
      Event e(Event::kEntry);
      e.entry = entry;
      Post(std::move(e));
    });
    return;
  }
}

void FtpSession::Download(const std::string& remote, const std::string& local, FtpType type) {
  Scope scope(*this);
  RequireConnected();
  const std::string path = JoinRemote(remote_path_, remote);
  if (HasLineBreak(path) || remote.empty())
    throw RuntimeError(kFtpInvalidArgument, "Invalid property value");
  PartFile part;
  if (int err = part.Open(local)) throw forms::ErrorFromErrno(err);
  Prepare(path);
  file_ = part.file();
  // Our own TYPE before each transfer: libcurl's ASCII mode would also turn CRLF into LF,
  // and the local file keeps what the server sends.
  prequote_ = curl_slist_append(nullptr, type == FtpType::kAscii ? "TYPE A" : "TYPE I");
  curl_easy_setopt(easy_, CURLOPT_PREQUOTE, prequote_);
  curl_easy_setopt(easy_, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &FtpSession::OnWrite);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  Post(Event(Event::kStart));
  struct End {
    FtpSession& s;
    ~End() { s.Post(Event(Event::kEnd)); }
  } end{*this};
  Run(Op::kDownload);
  if (int err = part.Commit()) throw forms::ErrorFromErrno(err);
}

void FtpSession::Upload(const std::string& local, const std::string& remote, FtpType type) {
  Scope scope(*this);
  RequireConnected();
  const std::string path = JoinRemote(remote_path_, remote);
  if (HasLineBreak(path) || remote.empty())
    throw RuntimeError(kFtpInvalidArgument, "Invalid property value");
  FILE* in = fopen(local.c_str(), "rbe");
  if (!in) throw forms::ErrorFromErrno(errno);
  std::unique_ptr<FILE, int (*)(FILE*)> closer(in, &fclose);
  struct stat st {};
  if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) throw forms::ErrorFromErrno(EISDIR);
  Prepare(path);
  file_ = in;
  prequote_ = curl_slist_append(nullptr, type == FtpType::kAscii ? "TYPE A" : "TYPE I");
  curl_easy_setopt(easy_, CURLOPT_PREQUOTE, prequote_);
  curl_easy_setopt(easy_, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(easy_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
  curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &FtpSession::OnRead);
  curl_easy_setopt(easy_, CURLOPT_READDATA, this);
  Post(Event(Event::kStart));
  struct End {
    FtpSession& s;
    ~End() { s.Post(Event(Event::kEnd)); }
  } end{*this};
  Run(Op::kUpload);
}

}  // namespace controls
