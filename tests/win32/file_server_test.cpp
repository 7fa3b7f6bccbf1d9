// tavoro-publish serve on Winsock, the sockets the tool listens with on
// Windows: a client that trickles its request holds up no other, and the
// time limits cut off one that trickles or reads too slowly.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>

#include "platform/win32/win32_services.h"
#include "publisher/file_server.h"
#include "publisher/win32/win32_tools.h"
#include "tests/win32/scratch_folder.h"

namespace {

using namespace std::chrono_literals;

void write(const std::string& path, const std::string& bytes) {
  auto file = platform::win32::files().create(path);
  ASSERT_NE(file, nullptr) << path;
  ASSERT_TRUE(file->write(bytes.data(), bytes.size()));
}

std::unique_ptr<platform::Connection> client(int port) {
  return platform::win32::sockets().connect("127.0.0.1", port, 2000, 5000);
}

// What the server sends until it closes, fails or falls silent for 5 s.
std::string rest(platform::Connection& connection) {
  std::string answer;
  char buffer[65536];
  for (long got = 0; (got = connection.receive(buffer, sizeof(buffer))) > 0;)
    answer.append(buffer, static_cast<std::size_t>(got));
  return answer;
}

TEST(FileServer, ATricklerHoldsUpNoOtherAndTheLimitsCutOffSlowClients) {
  const test::ScratchFolder folder("tavoro-serve");
  const std::size_t bigSize = 64 << 20;
  write(folder.make("version.html"), "page");
  write(folder.make("big.bin"), std::string(bigSize, 'b'));
  publisher::win32::Win32Tools win32;
  std::ostringstream log;
  publisher::Tools tools = win32.tools(log, log);
  const std::unique_ptr<publisher::Listener> listener = win32.servers.listen("127.0.0.1", 0);
  ASSERT_NE(listener, nullptr);
  const int port = listener->port();
  std::thread server([&] {
    publisher::serveFolder(tools, *listener, folder.path(), {500ms, 500ms, 4});
  });
  const std::string request = "GET /version.html HTTP/1.1\r\n\r\n";

  std::unique_ptr<platform::Connection> trickler = client(port);
  ASSERT_TRUE(trickler && trickler->sendAll(request.substr(0, 20)));
  std::unique_ptr<platform::Connection> other = client(port);
  ASSERT_TRUE(other && other->sendAll(request));
  EXPECT_EQ(rest(*other).substr(0, 17), "HTTP/1.1 200 OK\r\n");
  // Past its limit the trickler's request is never answered.
  std::this_thread::sleep_for(1500ms);
  trickler->sendAll(request.substr(20));
  EXPECT_EQ(rest(*trickler), "");

  std::unique_ptr<platform::Connection> reader = client(port);
  ASSERT_TRUE(reader && reader->sendAll("GET /big.bin HTTP/1.1\r\n\r\n"));
  std::this_thread::sleep_for(3s);
  const std::string received = rest(*reader);
  EXPECT_EQ(received.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_LT(received.size(), bigSize);

  listener->stop();
  server.join();
  // One answer: the other client's.
  const std::string answered = "GET /version.html HTTP/1.1 -> 200, 4 bytes";
  EXPECT_NE(log.str().find(answered), std::string::npos) << log.str();
  EXPECT_EQ(log.str().find(answered), log.str().rfind(answered)) << log.str();
  EXPECT_NE(log.str().find("GET /big.bin HTTP/1.1 -> 200, "), std::string::npos) << log.str();
}

}  // namespace
