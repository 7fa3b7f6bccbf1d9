#include "publisher/client_threads.h"

#include <system_error>

namespace publisher {

void ClientThreads::waitForRoom() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return running_ < most_; });
  }
  joinDone();
}

void ClientThreads::start(std::unique_ptr<ClientConnection> connection,
                          std::function<void(ClientConnection&)> answer) {
  std::list<Client>::iterator client;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    client = clients_.insert(clients_.end(), Client{std::move(connection), {}, false});
    ++running_;
  }
  try {
    client->thread = std::thread([this, client, answer = std::move(answer)] {
      answer(*client->connection);
      const std::lock_guard<std::mutex> lock(mutex_);
      // Closed now: the client learns the answer is whole.
      client->connection.reset();
      client->done = true;
      --running_;
      changed_.notify_all();
    });
  } catch (const std::system_error&) {
    // No thread to be had: this client goes unanswered, the next may not.
    const std::lock_guard<std::mutex> lock(mutex_);
    clients_.erase(client);
    --running_;
  }
}

void ClientThreads::joinDone() {
  std::list<Client> done;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      const auto next = std::next(it);
      if (it->done)
        done.splice(done.end(), clients_, it);
      it = next;
    }
  }
  for (Client& client : done)
    client.thread.join();
}

void ClientThreads::stopAll() {
  std::list<Client> all;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Client& client : clients_) {
      if (!client.done)
        client.connection->abort();
    }
    all.splice(all.end(), clients_);
  }
  for (Client& client : all)
    client.thread.join();
}

}  // namespace publisher
