#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "host_probe.h"
#include "wsock_fixture.h"

namespace {

// The ordinals of Windows Sockets 1.1, and nothing else.
const std::set<int> kOrdinals = {1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,
                                 13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  51,
                                 52,  53,  54,  55,  56,  57,  101, 102, 103, 104, 105, 106,
                                 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 151};

TEST(Library, ExportsExactlyTheWinsockOrdinalsAndTheirNames) {
  HMODULE m = Ws().module;
  ASSERT_NE(m, nullptr);
  std::set<int> found;
  for (int ord = 1; ord < 400; ++ord) {
    if (GetProcAddress(m, MAKEINTRESOURCEA(ord)) != nullptr) found.insert(ord);
  }
  EXPECT_EQ(found, kOrdinals);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(24)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  // Each name of the list reaches the export of its ordinal, and no two share one.
  std::set<FARPROC> entries;
#define WSOCK_TEST_BY_NAME(ordinal, name, type)                                               \
  EXPECT_EQ(GetProcAddress(m, #name), GetProcAddress(m, MAKEINTRESOURCEA(ordinal))) << #name; \
  entries.insert(GetProcAddress(m, #name));
  WSOCK32_ENTRY_POINTS(WSOCK_TEST_BY_NAME)
#undef WSOCK_TEST_BY_NAME
  EXPECT_EQ(entries.size(), kOrdinals.size());
  EXPECT_EQ(entries.count(nullptr), 0u);
  // Nothing is reachable by symbol that the table does not name.
  EXPECT_EQ(GetProcAddress(m, "Receive"), nullptr);

  char path[PATH_MAX];
  DWORD n = GetModuleFileNameA(m, path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(path[0], '/');
  EXPECT_TRUE(std::string(path).ends_with("/libwsock32.so"));
}

TEST(Library, StartupRecordCountAndCleanup) {
  WSADATA d;
  std::memset(&d, 0xEE, sizeof d);
  EXPECT_EQ(Ws().WSAStartup(0x0001, &d), WSAVERNOTSUPPORTED);  // 1.0 is below us
  EXPECT_EQ(d.wHighVersion, 0x0101);
  EXPECT_EQ(Ws().WSAStartup(0x0101, nullptr), WSAEFAULT);

  // Nothing started: every socket call fails with 10093.
  EXPECT_EQ(Ws().socket(AF_INET, SOCK_DGRAM, 0), INVALID_SOCKET);
  EXPECT_EQ(Ws().WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(Ws().gethostbyname("localhost"), nullptr);
  EXPECT_EQ(Ws().WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(Ws().WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(Ws().WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(Ws().htons(0x1234), 0x3412);  // conversions need no start-up

  std::memset(&d, 0xEE, sizeof d);
  ASSERT_EQ(Ws().WSAStartup(0x0202, &d), 0);  // a later version is answered with ours
  EXPECT_EQ(d.wVersion, 0x0101);
  EXPECT_EQ(d.wHighVersion, 0x0101);
  EXPECT_GT(d.iMaxSockets, 0);
  EXPECT_EQ(d.iMaxUdpDg, 65507);
  EXPECT_EQ(d.lpVendorInfo, nullptr);
  EXPECT_STREQ(d.szDescription, "Corvane Windows Sockets 1.1 on Linux sockets");
  EXPECT_STREQ(d.szSystemStatus, "Running");
  ASSERT_EQ(Ws().WSAStartup(0x0101, &d), 0);

  SOCKET s = Ws().socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(Ws().WSACleanup(), 0);  // one of two: still running
  int type = 0;
  int len = sizeof type;
  EXPECT_EQ(Ws().getsockopt(s, 0xFFFF, SO_TYPE, reinterpret_cast<char*>(&type), &len), 0);
  EXPECT_EQ(Ws().WSACleanup(), 0);  // the last one closes what is left open
  ASSERT_EQ(Ws().WSAStartup(0x0101, &d), 0);
  EXPECT_EQ(Ws().getsockopt(s, 0xFFFF, SO_TYPE, reinterpret_cast<char*>(&type), &len),
            SOCKET_ERROR);
  EXPECT_EQ(Ws().WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(Ws().WSACleanup(), 0);
}

TEST(Library, LastErrorIsPerThreadAndIsTheWindowsError) {
  Ws().WSASetLastError(WSAECONNRESET);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSAECONNRESET));
  int other = -1;
  std::thread([&other] {
    other = Ws().WSAGetLastError();
    Ws().WSASetLastError(WSAEMSGSIZE);
  }).join();
  EXPECT_EQ(other, 0);
  EXPECT_EQ(Ws().WSAGetLastError(), WSAECONNRESET);
}

TEST(Library, AddressTextsAndByteOrder) {
  EXPECT_EQ(Ws().htonl(0x7f000001), 0x0100007fu);
  EXPECT_EQ(Ws().ntohl(0x0100007f), 0x7f000001u);
  EXPECT_EQ(Ws().ntohs(0x3412), 0x1234);
  EXPECT_EQ(Ws().inet_addr("127.0.0.1"), Ws().htonl(0x7f000001));
  EXPECT_EQ(Ws().inet_addr("10.1.2.3 "), Ws().htonl(0x0a010203));  // ends at white space
  EXPECT_EQ(Ws().inet_addr("0x7f.1"), Ws().htonl(0x7f000001));
  EXPECT_EQ(Ws().inet_addr("010.0.0.1"), Ws().htonl(0x08000001));  // octal
  EXPECT_EQ(Ws().inet_addr("1.2.65535"), Ws().htonl(0x0102ffff));
  EXPECT_EQ(Ws().inet_addr("256.1.1.1"), INADDR_NONE);
  EXPECT_EQ(Ws().inet_addr("1.2.3.4.5"), INADDR_NONE);
  EXPECT_EQ(Ws().inet_addr("1.2.3.x"), INADDR_NONE);
  EXPECT_EQ(Ws().inet_addr("09.1.1.1"), INADDR_NONE);
  EXPECT_EQ(Ws().inet_addr(""), INADDR_NONE);
  EXPECT_EQ(Ws().inet_addr(nullptr), INADDR_NONE);

  in_addr a{};
  a.s_addr = Ws().inet_addr("192.168.10.200");
  char* mine = Ws().inet_ntoa(a);
  EXPECT_STREQ(mine, "192.168.10.200");
  std::string theirs;
  std::thread([&theirs] {
    in_addr b{};
    b.s_addr = Ws().inet_addr("1.2.3.4");
    theirs = Ws().inet_ntoa(b);
  }).join();
  EXPECT_EQ(theirs, "1.2.3.4");
  EXPECT_STREQ(mine, "192.168.10.200");  // another thread's call leaves ours alone

  // Every digit count in every place, and the widest text.
  for (const char* text : {"0.0.0.0", "9.10.99.100", "255.255.255.255", "100.9.0.250"}) {
    in_addr c{};
    c.s_addr = Ws().inet_addr(text);
    EXPECT_STREQ(Ws().inet_ntoa(c), text);
  }
}

class Names : public WinsockTest {};

TEST_F(Names, HostLookupsResolveLocalhostAndRefuseBadNames) {
  hostent* h = Ws().gethostbyname("localhost");
  ASSERT_NE(h, nullptr) << Error();
  EXPECT_EQ(h->h_addrtype, AF_INET);
  EXPECT_EQ(h->h_length, 4);
  ASSERT_NE(h->h_addr_list[0], nullptr);
  ULONG first = 0;
  std::memcpy(&first, h->h_addr_list[0], 4);
  EXPECT_EQ(first, Ws().htonl(INADDR_LOOPBACK));
  EXPECT_NE(h->h_aliases, nullptr);

  EXPECT_EQ(Ws().gethostbyname(std::string(64, 'a').append(".example").c_str()), nullptr);
  EXPECT_GE(Error(), WSAHOST_NOT_FOUND);
  EXPECT_LE(Error(), WSANO_DATA);
  EXPECT_EQ(Ws().gethostbyname("no such host"), nullptr);
  EXPECT_GE(Error(), WSAHOST_NOT_FOUND);

  ULONG loop = Ws().htonl(INADDR_LOOPBACK);
  h = Ws().gethostbyaddr(reinterpret_cast<char*>(&loop), 4, AF_INET);
  ASSERT_NE(h, nullptr) << Error();
  EXPECT_STREQ(h->h_name, "localhost");
  EXPECT_EQ(Ws().gethostbyaddr(reinterpret_cast<char*>(&loop), 4, 23), nullptr);
  EXPECT_EQ(Error(), WSAEAFNOSUPPORT);

  char name[256];
  ASSERT_EQ(Ws().gethostname(name, sizeof name), 0);
  EXPECT_STREQ(name, HostMachineName());
  EXPECT_EQ(Ws().gethostname(name, static_cast<int>(std::strlen(name))), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEFAULT);
}

TEST_F(Names, ProtocolAndServiceEntries) {
  protoent* p = Ws().getprotobyname("udp");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->p_proto, 17);
  servent* s = Ws().getservbyname("ftp", "tcp");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->s_port, static_cast<short>(Ws().htons(21)));
  EXPECT_STREQ(s->s_proto, "tcp");
  EXPECT_EQ(Ws().getservbyname("no-such-service", "tcp"), nullptr);
  EXPECT_EQ(Error(), WSANO_DATA);
}

TEST_F(Names, AsynchronousLookupRepliesWithTheRecordInTheBuffer) {
  std::vector<char> buf(MAXGETHOSTSTRUCT);
  HANDLE task = Ws().WSAAsyncGetHostByName(window_, kNotice, "localhost", buf.data(),
                                           static_cast<int>(buf.size()));
  ASSERT_NE(task, nullptr);
  ASSERT_TRUE(PumpUntil([this] { return !notices_.empty(); }));
  EXPECT_EQ(notices_[0].socket, reinterpret_cast<ULONG_PTR>(task));
  EXPECT_EQ(notices_[0].error, 0);
  EXPECT_GT(notices_[0].event, 0);  // the length used
  auto* h = reinterpret_cast<hostent*>(buf.data());
  ULONG first = 0;
  std::memcpy(&first, h->h_addr_list[0], 4);
  EXPECT_EQ(first, Ws().htonl(INADDR_LOOPBACK));
  EXPECT_GE(h->h_name, buf.data());
  EXPECT_LT(h->h_name, buf.data() + buf.size());
  EXPECT_EQ(Ws().WSACancelAsyncRequest(task), SOCKET_ERROR);
  EXPECT_EQ(Error(), WSAEALREADY);

  notices_.clear();
  char tiny[16];
  ASSERT_NE(Ws().WSAAsyncGetHostByName(window_, kNotice, "localhost", tiny, sizeof tiny), nullptr);
  ASSERT_TRUE(PumpUntil([this] { return !notices_.empty(); }));
  EXPECT_EQ(notices_[0].error, WSAENOBUFS);
  EXPECT_GT(notices_[0].event, static_cast<int>(sizeof tiny));  // the length it needs
}

}  // namespace
