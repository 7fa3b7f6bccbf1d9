#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <memory>

#include "base/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/late_bound_dll.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// WinINet, bound at the first exchange: only the version check uses it.
struct WinInet {
  LateBoundDll dll{"wininet.dll"};
  TAVORO_LATE_BOUND(dll, InternetOpenW);
  TAVORO_LATE_BOUND(dll, InternetConnectW);
  TAVORO_LATE_BOUND(dll, HttpOpenRequestW);
  TAVORO_LATE_BOUND(dll, HttpSendRequestW);
  TAVORO_LATE_BOUND(dll, InternetReadFile);
  TAVORO_LATE_BOUND(dll, HttpQueryInfoA);
  TAVORO_LATE_BOUND(dll, InternetCloseHandle);

  bool complete() const {
    return InternetOpenW && InternetConnectW && HttpOpenRequestW && HttpSendRequestW &&
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

// WinINet puts the path on the request line in the system's code page. On
// 936 that is the page address's own bytes, as ever; elsewhere its Chinese
// bytes would become "?", so they go escaped, as the download requests them.
std::string requestPath(const std::string& path) {
  if (GetACP() == kTextCodePage)
    return path;
  std::string escaped;
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x80)
      escaped += c;
    else
      base::appendPercentEscape(escaped, static_cast<unsigned char>(c));
  }
  return escaped;
}

class WinInetTransport final : public HttpTransport {
 public:
  HttpOutcome perform(const HttpExchange& x) override {
    HttpOutcome outcome;
    const WinInet* const net = winInet();
    if (net == nullptr)
      return outcome;
    // The request's texts are code page 936 whatever the system's code page:
    // converted here, as the A functions would on a 936 system.
    const std::wstring agent = widen(x.agent);
    const std::wstring proxyList = widen("http=" + x.proxy);
    const std::wstring host = widen(x.host);
    const std::wstring verb = widen(x.verb);
    const std::wstring path = widen(requestPath(x.path));
    const std::wstring headers = widen(x.headers);
    // Declared in opening order, so they close request, connection, internet.
    InternetHandle internet(
        x.proxy.empty()
            ? net->InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
            : net->InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyList.c_str(), L"",
                                 0));
    if (!internet)
      return outcome;
    InternetHandle connection(net->InternetConnectW(internet.get(), host.c_str(),
                                                    static_cast<INTERNET_PORT>(x.port), nullptr,
                                                    nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
      return outcome;
    InternetHandle request(net->HttpOpenRequestW(connection.get(), verb.c_str(), path.c_str(),
                                                 L"HTTP/1.1", nullptr, nullptr, x.flags, 0));
    if (!request)
      return outcome;
    outcome.opened = true;

    // The result is not examined: a failed send shows as no body and no headers.
    net->HttpSendRequestW(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
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
