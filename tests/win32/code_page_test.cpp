// The launcher's texts are code page 936 whatever the system's code page:
// the conversions at the edge, and files, profiles and named objects with
// Chinese names. Run once on 936 and once on 1252.

#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "core/config.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace {

using platform::win32::exactly936;
using platform::win32::narrow;
using platform::win32::widen;

// 说明 and 塔沃 in code page 936.
const std::string kShuoMing = "\xCB\xB5\xC3\xF7";
const std::string kTaWo = "\xCB\xFE\xCE\xD6";

TEST(CodePage, TheRunIsOnTheCodePageItAskedFor) {
  const char* expected = std::getenv("TAVORO_EXPECTED_ACP");
  ASSERT_NE(expected, nullptr);
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}

TEST(CodePage, TextsConvertFrom936WhateverTheSystemsCodePage) {
  const std::pair<std::string, std::wstring> rows[] = {
      {"", L""},
      {"launcher.exe", L"launcher.exe"},
      {kShuoMing + ".txt", L"\u8BF4\u660E.txt"},
      {kTaWo + "VR", L"\u5854\u6C83VR"},
      // A second byte that looks like a backslash is part of its character.
      {"\x81\x5C", L"\u4E57"},
      // The euro sign is 936's single byte 0x80.
      {"\x80", L"\u20AC"},
  };
  for (const auto& [cp936, wide] : rows) {
    EXPECT_EQ(widen(cp936), wide) << cp936;
    EXPECT_EQ(narrow(wide), cp936) << cp936;
  }
  // A lone lead byte at the end takes nothing after it, and stays one
  // character.
  EXPECT_EQ(widen("a\xCB").size(), 2u);
  EXPECT_EQ(widen("a\xCB").front(), L'a');
  // What 936 lacks comes back as "?".
  EXPECT_EQ(narrow(L"x\uD55C"), "x?");
}

TEST(CodePage, NamesConvertExactlyOrNotAtAll) {
  const std::pair<std::string, std::optional<std::string>> rows[] = {
      {"", ""},
      {"\xE8\xAF\xB4\xE6\x98\x8E.txt", kShuoMing + ".txt"},
      {"\xE2\x82\xAC", "\x80"},            // the euro sign is 936's 0x80
      {"\xC3\x80.txt", std::nullopt},      // À: no best fit to "A"
      {"\xED\x95\x9C", std::nullopt},      // 한: no Korean in 936
      {"\xF0\x9F\x98\x80", std::nullopt},  // outside what 936 holds
      {"a\xE6", std::nullopt},             // a lone lead byte at the end
      {"\xC0\xAF", std::nullopt},          // an overlong "/"
  };
  for (const auto& [utf8, cp936] : rows)
    EXPECT_EQ(exactly936(CP_UTF8, utf8), cp936) << utf8;
  EXPECT_EQ(exactly936(936, kTaWo), kTaWo);
}

class ChineseNames : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = narrow(temp) + kTaWo + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(platform::win32::files().createDirectory(dir_));
  }
  void TearDown() override {
    auto& files = platform::win32::files();
    for (const std::string& name : files.findFiles(dir_ + "\\", "*"))
      files.remove(dir_ + "\\" + name);
    files.removeDirectory(dir_);
  }

  void write(const std::string& path, const std::string& bytes) {
    auto file = platform::win32::files().create(path);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write(bytes.data(), bytes.size()));
    ASSERT_TRUE(file->close());
  }

  std::string dir_;
};

TEST_F(ChineseNames, FilesKeepTheirChineseNames) {
  auto& files = platform::win32::files();
  const std::string path = dir_ + "\\" + kShuoMing + ".txt";
  write(path, "text");
  // The name Windows holds is the character, not the 936 bytes.
  EXPECT_NE(GetFileAttributesW(widen(path).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(files.findFiles(dir_ + "\\", "*.txt"), std::vector<std::string>{kShuoMing + ".txt"});
  EXPECT_EQ(files.readAll(path), (base::Bytes{'t', 'e', 'x', 't'}));
  EXPECT_EQ(files.size(path), 4);
  EXPECT_TRUE(files.move(path, dir_ + "\\" + kTaWo));
  EXPECT_TRUE(files.exists(dir_ + "\\" + kTaWo));
  EXPECT_FALSE(files.exists(path));
}

TEST_F(ChineseNames, ProfilesAreRead936OrUtf8WithAMark) {
  const std::string gbk = dir_ + "\\gbk.ini";
  const std::string utf8 = dir_ + "\\" + kShuoMing + ".ini";
  write(gbk, "[name]\r\nname1=" + kTaWo + "\r\n");
  write(utf8, "\xEF\xBB\xBF[NAME]\r\nName1 = \"\xE5\xA1\x94\xE6\xB2\x83\"\r\n");
  // Notepad's "Unicode": UTF-16, little-endian, after its mark.
  const std::string utf16 = dir_ + "\\utf16.ini";
  const std::wstring text = L"\uFEFF[name]\r\nname1=\u5854\u6C83\r\n";
  write(utf16, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  for (const std::string& path : {gbk, utf8, utf16}) {
    EXPECT_EQ(core::readProfileValue(platform::win32::profileReader(), path, "name", "name1"),
              kTaWo)
        << path;
  }
}

TEST_F(ChineseNames, NamedEventsWithChineseNamesAreOneObject) {
  auto& events = platform::win32::namedEvents();
  const std::string name = "Local\\" + kTaWo + std::to_string(GetCurrentProcessId());
  using Marker = platform::NamedEvents::Marker;
  EXPECT_EQ(events.createMarker(name), Marker::kCreated);
  EXPECT_TRUE(events.markerExists(name));
  HANDLE wide = OpenEventW(SYNCHRONIZE, FALSE, widen(name).c_str());
  EXPECT_NE(wide, nullptr);
  if (wide != nullptr)
    CloseHandle(wide);
  events.releaseMarker(name);
  EXPECT_FALSE(events.markerExists(name));
}

// The request line a page address with Chinese bytes puts on the wire: its
// own bytes on 936, as the launcher always sent them; escaped elsewhere,
// where the system's code page could not carry them.
TEST(CodePage, AChinesePageAddressIsRequestedAsOn936) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(listener, INVALID_SOCKET);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  std::string received;
  std::thread server([&] {
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET)
      return;
    char buffer[4096];
    while (received.find("\r\n\r\n") == std::string::npos) {
      const int got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0)
        break;
      received.append(buffer, got);
    }
    const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    send(client, answer, sizeof answer - 1, 0);
    closesocket(client);
  });
  platform::HttpExchange exchange;
  exchange.agent = "code page test";
  exchange.host = "127.0.0.1";
  exchange.port = ntohs(address.sin_port);
  exchange.verb = "GET";
  exchange.path = "/" + kShuoMing + ".html";
  const platform::HttpOutcome outcome = platform::win32::httpTransport().perform(exchange);
  server.join();
  closesocket(listener);
  WSACleanup();
  EXPECT_EQ(std::string(outcome.body.begin(), outcome.body.end()), "ok");
  const std::string path = GetACP() == 936 ? "/" + kShuoMing + ".html" : "/%CB%B5%C3%F7.html";
  EXPECT_EQ(received.substr(0, received.find("\r\n")), "GET " + path + " HTTP/1.1");
}

}  // namespace
