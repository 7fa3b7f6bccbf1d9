#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>

#include "platform/host/host_services.h"

namespace platform::host {

struct OpenSslTls::Context {
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> ssl{nullptr, &SSL_CTX_free};
};

namespace {

// OpenSSL reads and writes through the plain Connection, so its time limits
// and its abort hold for the handshake and the records alike.
BIO_METHOD* connectionBio() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "connection");
    BIO_meth_set_write(m, [](BIO* bio, const char* data, int size) -> int {
      auto* plain = static_cast<Connection*>(BIO_get_data(bio));
      return plain->sendAll(std::string_view(data, static_cast<std::size_t>(size))) ? size : -1;
    });
    BIO_meth_set_read(m, [](BIO* bio, char* buffer, int size) -> int {
      auto* plain = static_cast<Connection*>(BIO_get_data(bio));
      return static_cast<int>(plain->receive(buffer, static_cast<std::size_t>(size)));
    });
    BIO_meth_set_ctrl(m, [](BIO*, int command, long, void*) -> long {
      return command == BIO_CTRL_FLUSH ? 1 : 0;
    });
    BIO_meth_set_create(m, [](BIO* bio) -> int {
      BIO_set_init(bio, 1);
      return 1;
    });
    return m;
  }();
  return method;
}

// SNI carries names only, never an address literal.
bool isAddressLiteral(const std::string& host) {
  return std::all_of(host.begin(), host.end(),
                     [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

class OpenSslConnection final : public Connection {
 public:
  OpenSslConnection(SSL_CTX* context, std::unique_ptr<Connection> plain, std::string host)
      : context_(context), plain_(std::move(plain)), host_(std::move(host)) {}

  bool sendAll(std::string_view data) override {
    if (!ready())
      return false;
    while (!data.empty()) {
      ERR_clear_error();
      std::size_t written = 0;
      if (SSL_write_ex(ssl_.get(), data.data(), data.size(), &written) != 1)
        return false;
      data.remove_prefix(written);
    }
    return true;
  }

  // 0 only after the server's close_notify: a connection cut without it
  // may have cut the body short.
  long receive(void* buffer, std::size_t size) override {
    if (!ready())
      return -1;
    ERR_clear_error();
    std::size_t got = 0;
    if (SSL_read_ex(ssl_.get(), buffer, size, &got) == 1)
      return static_cast<long>(got);
    return SSL_get_error(ssl_.get(), 0) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
  }

  void abort() override { plain_->abort(); }

 private:
  enum class State { kNew, kReady, kFailed };

  // The handshake on first use; once failed, failed for good.
  bool ready() {
    if (state_ == State::kNew)
      state_ = handshake() ? State::kReady : State::kFailed;
    return state_ == State::kReady;
  }

  bool handshake() {
    ERR_clear_error();
    ssl_.reset(SSL_new(context_));
    BIO* const bio = ssl_ ? BIO_new(connectionBio()) : nullptr;
    if (bio == nullptr)
      return false;
    BIO_set_data(bio, plain_.get());
    SSL_set_bio(ssl_.get(), bio, bio);
    if (!isAddressLiteral(host_) && SSL_set_tlsext_host_name(ssl_.get(), host_.c_str()) != 1)
      return false;
    // The certificate must name the host (an address literal: hold it).
    return SSL_set1_host(ssl_.get(), host_.c_str()) == 1 && SSL_connect(ssl_.get()) == 1;
  }

  SSL_CTX* const context_;
  const std::unique_ptr<Connection> plain_;
  const std::string host_;
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl_{nullptr, &SSL_free};
  State state_ = State::kNew;
};

}  // namespace

OpenSslTls::OpenSslTls(std::string caFile) : caFile_(std::move(caFile)) {}

OpenSslTls::~OpenSslTls() = default;

OpenSslTls::Context* OpenSslTls::context() {
  std::call_once(made_, [this] {
    auto made = std::make_unique<Context>();
    made->ssl.reset(SSL_CTX_new(TLS_client_method()));
    SSL_CTX* const ssl = made->ssl.get();
    if (ssl == nullptr || SSL_CTX_set_min_proto_version(ssl, TLS1_2_VERSION) != 1)
      return;
    SSL_CTX_set_verify(ssl, SSL_VERIFY_PEER, nullptr);
    const bool trusts = caFile_.empty()
                            ? SSL_CTX_set_default_verify_paths(ssl) == 1
                            : SSL_CTX_load_verify_locations(ssl, caFile_.c_str(), nullptr) == 1;
    if (trusts)
      context_ = std::move(made);
  });
  return context_.get();
}

std::unique_ptr<Connection> OpenSslTls::secure(std::unique_ptr<Connection> plain,
                                               const std::string& host) {
  Context* const made = context();
  if (made == nullptr || !plain)
    return nullptr;
  return std::make_unique<OpenSslConnection>(made->ssl.get(), std::move(plain), host);
}

}  // namespace platform::host
