#include "controls/inet.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>

#include "forms/runtime_error.h"
#include "controls/curl_queue.h"
#include "notice_window.h"

namespace controls {
namespace {

constexpr unsigned kStateMsg = WM_USER + 1;
constexpr unsigned kFinishedMsg = WM_USER + 2;
constexpr std::size_t kListingCap = 8u << 20;

// Failures before or outside a server's reply are reported with the numbers and texts of the
// platform's Internet layer.
constexpr long kTimedOut = 12002;
constexpr long kNameNotResolved = 12007;
constexpr long kCannotConnect = 12029;
constexpr long kConnectionAborted = 12030;

std::string TextOf(long code) {
  switch (code) {
    case kTimedOut:
      return "The operation timed out";
    case kNameNotResolved:
      return "The server name or address could not be resolved";
    case kCannotConnect:
      return "A connection with the server could not be established";
    default:
      return "The connection with the server was terminated abnormally";
  }
}

// A host name or address that can go into a URL as it is; anything else cannot name a host.
bool PlainHost(const std::string& host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
    return std::isalnum(c) != 0 || c == '.' || c == '-' || c == '_' || c == ':';
  });
}

[[noreturn]] void InvalidValue() { throw forms::RuntimeError(380, "Invalid property value"); }

}  // namespace

struct Inet::Callbacks {
  static int Trail(CURL* easy, curl_infotype type, char* data, std::size_t size, void* self);
  static std::size_t Write(char* data, std::size_t size, std::size_t count, void* self);
  static curl_socket_t OpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
};

// One logged-on FTP session: its own multi handle, so its control connection is its own.
struct Inet::Session {
  CurlQueue queue;
  CURL* easy = curl_easy_init();
  curl_slist* quote = nullptr;
  bool socket_opened = false;
  bool connected = false;
  bool in_reply = false;
  bool quitting = false;
  bool failed = false;
  long last_code = 0;
  std::string last_text;

  ~Session() {
    queue.Remove(easy);
    curl_easy_cleanup(easy);
    curl_slist_free_all(quote);
  }
};

Inet::Inet()
    : window_(std::make_unique<NoticeWindow>(
          [this](UINT msg, WPARAM w, LPARAM) { OnMessage(msg, w); })) {}

Inet::~Inet() {
  *alive_ = false;
  session_.reset();
}

void Inet::SetProtocol(int protocol) {
  if (protocol < icUnknown || protocol > icHTTPS) InvalidValue();
  protocol_ = protocol;
}

void Inet::SetRemotePort(long port) {
  if (port < 0 || port > 65535) InvalidValue();
  port_ = port;
}

void Inet::SetRequestTimeout(long seconds) {
  if (seconds < 0) InvalidValue();
  timeout_s_ = seconds;
}

std::string Inet::URL() const {
  std::string url = "ftp://" + host_;
  if (port_ != 21) url += ":" + std::to_string(port_);
  return url + "/" + path_;
}

void Inet::SetURL(const std::string& url) {
  std::string rest = url;
  const std::string scheme = "ftp://";
  if (rest.size() >= scheme.size() &&
      std::equal(scheme.begin(), scheme.end(), rest.begin(),
                 [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
    rest.erase(0, scheme.size());
  } else if (rest.find("://") != std::string::npos) {
    throw forms::RuntimeError(35751, "URL is malformed");
  }
  std::string path;
  if (auto slash = rest.find('/'); slash != std::string::npos) {
    path = rest.substr(slash + 1);
    rest.erase(slash);
  }
  if (auto at = rest.rfind('@'); at != std::string::npos) {
    std::string account = rest.substr(0, at);
    rest.erase(0, at + 1);
    auto colon = account.find(':');
    user_ = account.substr(0, colon);
    password_ = colon == std::string::npos ? "" : account.substr(colon + 1);
  }
  long port = 21;
  if (auto colon = rest.rfind(':'); colon != std::string::npos && rest.find(':') == colon) {
    std::string digits = rest.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }) ||
        std::stol(digits) > 65535) {
      throw forms::RuntimeError(35751, "URL is malformed");
    }
    port = std::stol(digits);
    rest.erase(colon);
  }
  host_ = rest;
  port_ = port;
  path_ = path;
  protocol_ = icFTP;
}

void Inet::Execute(const std::string& url, const std::string& operation) {
  if (executing_) throw forms::RuntimeError(35764, "Still executing last request");
  if (!url.empty()) SetURL(url);
  if (protocol_ != icFTP) InvalidValue();
  std::string op = operation;
  op.erase(0, op.find_first_not_of(' '));
  std::string verb = op.substr(0, op.find(' '));
  std::string argument = verb.size() < op.size() ? op.substr(verb.size() + 1) : "";
  std::transform(verb.begin(), verb.end(), verb.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (verb == "DIR" || verb == "LS") {
    StartList(argument, verb == "LS");
  } else if (verb == "QUIT" || verb == "CLOSE") {
    StartQuit();
  } else {
    InvalidValue();
  }
}

void Inet::Post(int state) {
  window_->Post(kStateMsg, (static_cast<WPARAM>(generation_) << 8) | static_cast<WPARAM>(state));
}

void Inet::OnMessage(unsigned msg, std::uint64_t wparam) {
  if ((wparam >> 8) != generation_) return;
  if (msg == kStateMsg) {
    if (OnStateChanged) OnStateChanged(static_cast<int>(wparam & 0xff));
  } else if (msg == kFinishedMsg) {
    executing_ = false;
  }
}

void Inet::StartList(const std::string& path, bool names_only) {
  response_code_ = 0;
  response_info_.clear();
  listing_.clear();
  listing_read_ = 0;
  if (session_ && session_->failed) session_.reset();
  executing_ = true;
  if (!session_) {
    session_ = std::make_unique<Session>();
    if (session_->easy == nullptr) {
      session_.reset();
      executing_ = false;
      throw forms::RuntimeError(7, "Out of memory");
    }
    Post(icHostResolvingHost);
  }
  if (!PlainHost(host_)) {
    session_->failed = true;
    Fail(kNameNotResolved, TextOf(kNameNotResolved));
    return;
  }
  CURL* easy = session_->easy;
  curl_easy_reset(easy);
  std::string target = path.empty() ? path_ : path;
  while (!target.empty() && target.front() == '/') target.erase(0, 1);
  if (!target.empty() && target.back() != '/') target += '/';
  std::string escaped;
  for (std::size_t start = 0; start < target.size();) {
    std::size_t end = target.find('/', start);
    char* part = curl_easy_escape(easy, target.data() + start, static_cast<int>(end - start));
    escaped += std::string(part != nullptr ? part : "") + "/";
    curl_free(part);
    start = end + 1;
  }
  std::string host = host_.find(':') != std::string::npos ? "[" + host_ + "]" : host_;
  std::string address = "ftp://" + host + ":" + std::to_string(port_) + "/" + escaped;
  curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
  if (!user_.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, user_.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, password_.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_DIRLISTONLY, names_only ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Callbacks::Write);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &Callbacks::Trail);
  curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Callbacks::OpenSocket);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // A passive reply naming an unroutable address means the server's own: use the control
  // connection's.
  curl_easy_setopt(easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
  if (timeout_s_ > 0) {
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, timeout_s_);
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout_s_);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, timeout_s_);
  }
  if (session_->quitting) {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_QUOTE, session_->quote);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  }
  std::weak_ptr<bool> alive = alive_;
  session_->queue.Add(easy, [this, alive](CURLcode rc) {
    if (!alive.expired()) Done(rc);
  });
}

// QUIT goes as a command of its own on the logged-on connection, which then closes.
void Inet::StartQuit() {
  response_code_ = 0;
  response_info_.clear();
  if (!session_ || !session_->connected || session_->failed) {
    session_.reset();
    executing_ = true;
    window_->Post(kFinishedMsg, static_cast<WPARAM>(generation_) << 8);
    return;
  }
  session_->quitting = true;
  session_->quote = curl_slist_append(nullptr, "QUIT");
  StartList("", false);
}

void Inet::Done(int curl_result) {
  Session& s = *session_;
  const auto rc = static_cast<CURLcode>(curl_result);
  if (s.quitting && s.last_code == 221) {
    s.failed = true;  // the connection is gone: the next operation logs on afresh
    Post(icDisconnecting);
    Post(icDisconnected);
    Post(icResponseCompleted);
    window_->Post(kFinishedMsg, static_cast<WPARAM>(generation_) << 8);
    return;
  }
  if (rc == CURLE_OK) {
    Post(icResponseCompleted);
    window_->Post(kFinishedMsg, static_cast<WPARAM>(generation_) << 8);
    return;
  }
  long code = kConnectionAborted;
  std::string info;
  if (rc == CURLE_COULDNT_RESOLVE_HOST) {
    code = kNameNotResolved;
  } else if (rc == CURLE_COULDNT_CONNECT) {
    code = kCannotConnect;
  } else if (rc == CURLE_OPERATION_TIMEDOUT) {
    code = kTimedOut;
  } else if (s.last_code >= 400) {
    code = s.last_code;
    info = s.last_text;
  }
  if (info.empty()) info = TextOf(code);
  s.failed = true;
  if (s.connected) {
    Post(icDisconnecting);
    Post(icDisconnected);
  }
  Fail(code, info);
}

void Inet::Fail(long code, const std::string& info) {
  response_code_ = code;
  response_info_ = info;
  Post(icError);
  window_->Post(kFinishedMsg, static_cast<WPARAM>(generation_) << 8);
}

void Inet::Cancel() {
  ++generation_;
  executing_ = false;
  session_.reset();
}

std::string Inet::GetChunk(long size) {
  if (size <= 0) return {};
  std::string part = listing_.substr(listing_read_, static_cast<std::size_t>(size));
  listing_read_ += part.size();
  return part;
}

int Inet::Callbacks::Trail(CURL* /*easy*/, curl_infotype type, char* data, std::size_t size,
                           void* self_ptr) {
  auto* self = static_cast<Inet*>(self_ptr);
  if (!self->session_) return 0;
  Session& s = *self->session_;
  if (s.quitting && s.last_code == 221) return 0;  // what libcurl says to a closed connection
  if (type == CURLINFO_HEADER_OUT) {
    self->Post(icRequesting);
    self->Post(icRequestSent);
  } else if (type == CURLINFO_HEADER_IN) {
    std::string line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!s.connected) {
      s.connected = true;  // the server's greeting
      self->Post(icConnected);
    }
    if (!s.in_reply) {
      s.in_reply = true;
      self->Post(icReceivingResponse);
    }
    bool last_line = line.size() >= 4 && line[3] == ' ' &&
                     std::all_of(line.begin(), line.begin() + 3,
                                 [](unsigned char c) { return std::isdigit(c) != 0; });
    if (last_line) {
      s.in_reply = false;
      s.last_code = std::stol(line.substr(0, 3));
      s.last_text = line.substr(4);
      self->Post(icResponseReceived);
    }
  }
  return 0;
}

std::size_t Inet::Callbacks::Write(char* data, std::size_t size, std::size_t count, void* self_ptr) {
  auto* self = static_cast<Inet*>(self_ptr);
  std::size_t n = size * count;
  if (self->listing_.size() + n > kListingCap) return 0;  // ends the transfer with an error
  self->listing_.append(data, n);
  return n;
}

curl_socket_t Inet::Callbacks::OpenSocket(void* self_ptr, curlsocktype purpose,
                                          curl_sockaddr* a) {
  auto* self = static_cast<Inet*>(self_ptr);
  if (purpose == CURLSOCKTYPE_IPCXN && self->session_ && !self->session_->socket_opened) {
    self->session_->socket_opened = true;
    self->Post(icHostResolved);
    self->Post(icConnecting);
  }
  return socket(a->family, a->socktype | SOCK_CLOEXEC, a->protocol);
}

}  // namespace controls
