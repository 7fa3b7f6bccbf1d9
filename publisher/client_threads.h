#pragma once

// The web server's clients, each answered on a thread of its own, at most
// so many at once: one slow client never holds up another.

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "publisher/tools.h"

namespace publisher {

class ClientThreads {
 public:
  explicit ClientThreads(int most) : most_(most < 1 ? 1 : most) {}
  ClientThreads(const ClientThreads&) = delete;
  ClientThreads& operator=(const ClientThreads&) = delete;
  ~ClientThreads() { stopAll(); }

  // Returns once fewer than the most are being answered.
  void waitForRoom();
  // Answers `connection` with `answer` on a thread of its own.
  void start(std::unique_ptr<ClientConnection> connection,
             std::function<void(ClientConnection&)> answer);
  // Cuts off every client still being answered and waits for its thread.
  void stopAll();

 private:
  struct Client {
    std::unique_ptr<ClientConnection> connection;
    std::thread thread;
    bool done = false;
  };
  // Joins the threads of the clients answered.
  void joinDone();

  const int most_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::list<Client> clients_;
  int running_ = 0;
};

}  // namespace publisher
