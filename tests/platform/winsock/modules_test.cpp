// The module registry: loading and counting, exports, and the failures a test can ask for.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/Modules.h"
#include "platform/win/Modules.h"
#include "platform/winsock/Winsock.h"

namespace {

class Modules : public ::testing::Test {
 protected:
  void TearDown() override { sim::ResetModuleFaults(); }
};

// The 36 functions of the socket library, WSAIoctl last.
const char* const kWinsockNames[] = {
    "WSAStartup", "WSACleanup", "WSASetLastError", "WSAGetLastError", "WSACancelAsyncRequest",
    "WSAAsyncGetHostByName", "WSAAsyncGetHostByAddr", "WSAAsyncSelect", "getservbyname",
    "getprotobyname", "gethostbyname", "gethostbyaddr", "gethostname", "socket", "shutdown",
    "setsockopt", "getsockopt", "sendto", "send", "recv", "recvfrom", "ntohs", "ntohl", "listen",
    "ioctlsocket", "inet_ntoa", "inet_addr", "htons", "htonl", "getsockname", "getpeername",
    "connect", "closesocket", "bind", "accept", "WSAIoctl",
};

TEST_F(Modules, LoadsAreCountedAndTheLastFreeUnloads) {
  ASSERT_EQ(sim::ModuleLoadCount("wsock32.dll"), 0);
  const int times = sim::ModuleLoadTimes("wsock32.dll");
  const HMODULE first = LoadLibrary("wsock32.dll");
  ASSERT_NE(first, 0u);
  // Names are compared without case, and ".dll" is implied.
  EXPECT_EQ(LoadLibrary("WSOCK32"), first);
  EXPECT_EQ(LoadLibrary("C:\\Windows\\System32\\WSock32.DLL"), first);
  EXPECT_EQ(sim::ModuleLoadCount("wsock32.dll"), 3);
  EXPECT_EQ(sim::ModuleLoadTimes("wsock32.dll"), times + 1);

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(first, "send"), nullptr);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(sim::ModuleLoadCount("wsock32.dll"), 0);

  // Unloaded: the handle names nothing any more.
  EXPECT_EQ(GetProcAddress(first, "send"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  // Loaded again: a new handle.
  const HMODULE second = LoadLibrary("wsock32.dll");
  EXPECT_NE(second, first);
  EXPECT_EQ(sim::ModuleLoadTimes("wsock32.dll"), times + 2);
  EXPECT_TRUE(FreeLibrary(second));
}

TEST_F(Modules, WinsockModulesExportTheFunctionsByName) {
  const HMODULE ws1 = LoadLibrary("wsock32.dll");
  const HMODULE ws2 = LoadLibrary("ws2_32.dll");
  ASSERT_NE(ws1, 0u);
  ASSERT_NE(ws2, 0u);
  EXPECT_NE(ws1, ws2);
  for (const char* name : kWinsockNames) {
    SCOPED_TRACE(name);
    EXPECT_NE(GetProcAddress(ws2, name), nullptr);
    if (std::string(name) != "WSAIoctl") {
      EXPECT_NE(GetProcAddress(ws1, name), nullptr);
    }
  }
  // WSAIoctl is Winsock 2's.
  EXPECT_EQ(GetProcAddress(ws1, "WSAIoctl"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  // Export names are exact.
  EXPECT_EQ(GetProcAddress(ws1, "Send"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  // An address is the function itself.
  using THtons = winsock::u_short (*)(winsock::u_short);
  auto htonsProc = reinterpret_cast<THtons>(GetProcAddress(ws1, "htons"));
  ASSERT_NE(htonsProc, nullptr);
  EXPECT_EQ(htonsProc(0x0102), 0x0201);
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(ws1, "recv")),
            reinterpret_cast<void*>(GetProcAddress(ws2, "recv")));
  EXPECT_TRUE(FreeLibrary(ws1));
  EXPECT_TRUE(FreeLibrary(ws2));
}

TEST_F(Modules, UnknownModulesAndBadArgumentsFail) {
  EXPECT_EQ(LoadLibrary("nosuch.dll"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibrary(""), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetProcAddress(0, "send"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_FALSE(FreeLibrary(0x1234));
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(Modules, ATestCanHideAnExportOrFailALoad) {
  sim::HideExport("WS2_32", "WSAIoctl");
  const HMODULE ws2 = LoadLibrary("ws2_32.dll");
  ASSERT_NE(ws2, 0u);
  EXPECT_EQ(GetProcAddress(ws2, "WSAIoctl"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_NE(GetProcAddress(ws2, "send"), nullptr);
  sim::HideExport("ws2_32.dll", "WSAIoctl", false);
  EXPECT_NE(GetProcAddress(ws2, "WSAIoctl"), nullptr);
  EXPECT_TRUE(FreeLibrary(ws2));

  sim::FailModuleLoad("wsock32.dll");
  EXPECT_EQ(LoadLibrary("wsock32.dll"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(sim::ModuleLoadCount("wsock32.dll"), 0);
  sim::ResetModuleFaults();
  const HMODULE ws1 = LoadLibrary("wsock32.dll");
  EXPECT_NE(ws1, 0u);
  EXPECT_TRUE(FreeLibrary(ws1));
}

TEST_F(Modules, RegisteredTablesCanBeLoaded) {
  static int calls;
  calls = 0;
  struct Local {
    static void Hello() { ++calls; }
  };
  RegisterModuleExports("Greeter.DLL", {{"Hello", &Local::Hello}});
  const HMODULE m = LoadLibrary("greeter");
  ASSERT_NE(m, 0u);
  FARPROC hello = GetProcAddress(m, "Hello");
  ASSERT_NE(hello, nullptr);
  hello();
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(FreeLibrary(m));
}

}  // namespace
