#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <memory>

#include "platform/win32/handles.h"
#include "platform/win32/late_bound_dll.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// WinINet, bound at the first exchange: only the version check uses it.
struct WinInet {
  LateBoundDll dll{"wininet.dll"};
  TAVORO_LATE_BOUND(dll, InternetOpenA);
  TAVORO_LATE_BOUND(dll, InternetConnectA);
  TAVORO_LATE_BOUND(dll, HttpOpenRequestA);
  TAVORO_LATE_BOUND(dll, HttpSendRequestA);
  TAVORO_LATE_BOUND(dll, InternetReadFile);
  TAVORO_LATE_BOUND(dll, HttpQueryInfoA);
  TAVORO_LATE_BOUND(dll, InternetCloseHandle);

  bool complete() const {
    return InternetOpenA && InternetConnectA && HttpOpenRequestA && HttpSendRequestA &&
           InternetReadFile && HttpQueryInfoA && InternetCloseHandle;
  }
};

// Null without a complete WinINet: the exchange then fails as when
// InternetOpenA does. Never unloaded: a handle may still close while the
// process ends.
const WinInet* winInet() {
  return bindOnce<WinInet>();
}

struct InternetTraits {
  using Handle = HINTERNET;
  static Handle invalid() { return nullptr; }
  // Only handles that the bound functions opened exist.
  static void close(Handle h) { winInet()->InternetCloseHandle(h); }
};
using InternetHandle = UniqueHandle<InternetTraits>;

constexpr DWORD kReadChunk = 1024;
constexpr DWORD kHeaderBuffer = 5000;

// Past a limit the response reads as none: the request was made, nothing came.
HttpOutcome tooLarge() {
  HttpOutcome outcome;
  outcome.opened = true;
  return outcome;
}

class WinInetTransport final : public HttpTransport {
 public:
  HttpOutcome perform(const HttpExchange& x) override {
    HttpOutcome outcome;
    const WinInet* const net = winInet();
    if (net == nullptr)
      return outcome;
    const std::string proxyList = "http=" + x.proxy;
    // Declared in opening order, so they close request, connection, internet.
    InternetHandle internet(
        x.proxy.empty()
            ? net->InternetOpenA(x.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
            : net->InternetOpenA(x.agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyList.c_str(), "",
                                 0));
    if (!internet)
      return outcome;
    InternetHandle connection(net->InternetConnectA(internet.get(), x.host.c_str(),
                                                    static_cast<INTERNET_PORT>(x.port), nullptr,
                                                    nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
      return outcome;
    InternetHandle request(net->HttpOpenRequestA(connection.get(), x.verb.c_str(), x.path.c_str(),
                                                 "HTTP/1.1", nullptr, nullptr, x.flags, 0));
    if (!request)
      return outcome;
    outcome.opened = true;

    // The result is not examined: a failed send shows as no body and no headers.
    net->HttpSendRequestA(request.get(), x.headers.c_str(), static_cast<DWORD>(x.headers.size()),
                          x.body.empty() ? nullptr : const_cast<std::uint8_t*>(x.body.data()),
                          static_cast<DWORD>(x.body.size()));
    for (;;) {
      std::uint8_t chunk[kReadChunk] = {};
      DWORD read = 0;
      if (!net->InternetReadFile(request.get(), chunk, kReadChunk, &read) || read == 0)
        break;
      // An endless body would grow past what a 32-bit process can hold.
      if (outcome.body.size() + read > kMaxHttpBodyBytes)
        return tooLarge();
      outcome.body.insert(outcome.body.end(), chunk, chunk + read);
    }
    DWORD headerSize = 0;
    if (!net->HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &headerSize,
                             nullptr) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER && headerSize > kMaxHttpHeaderBytes)
      return tooLarge();
    std::string block(kHeaderBuffer, ' ');
    DWORD length = kHeaderBuffer;
    if (net->HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &length,
                            nullptr)) {
      outcome.headersRead = true;
      outcome.rawHeaders.assign(block.data(), std::min<DWORD>(length, kHeaderBuffer));
    }
    return outcome;
  }
};

}  // namespace

HttpTransport& httpTransport() {
  static WinInetTransport instance;
  return instance;
}

}  // namespace platform::win32
