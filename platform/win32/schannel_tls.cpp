#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/schannel_api.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// TLS 1.2 named explicitly: Windows 7 offers only 1.0 by default, which
// hosts no longer accept. The certificate is checked by us, explicitly.
constexpr DWORD kProtocols = SP_PROT_TLS1_2_CLIENT;
constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                  ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
// Handshake messages may exceed a record (long certificate chains), not this.
constexpr std::size_t kLargestHandshakeInput = 256 * 1024;
constexpr std::size_t kFirstHandshakeInput = 16 * 1024;

class SchannelConnection final : public Connection {
 public:
  SchannelConnection(const SchannelApi& api, std::unique_ptr<Connection> plain, std::string host)
      : api_(api), plain_(std::move(plain)), host_(std::move(host)) {}

  bool sendAll(std::string_view data) override {
    if (!ready())
      return false;
    while (!data.empty()) {
      const std::size_t part = std::min<std::size_t>(data.size(), sizes_.cbMaximumMessage);
      char* const record = outgoing_.data();
      std::memcpy(record + sizes_.cbHeader, data.data(), part);
      SecBuffer buffers[4] = {
          {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record},
          {static_cast<unsigned long>(part), SECBUFFER_DATA, record + sizes_.cbHeader},
          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes_.cbHeader + part},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
      CtxtHandle context = context_.get();
      if (api_.EncryptMessage(&context, 0, &message, 0) != SEC_E_OK)
        return false;
      const std::size_t size = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
      if (!plain_->sendAll(std::string_view(record, size)))
        return false;
      data.remove_prefix(part);
    }
    return true;
  }

  // 0 only after the server's close_notify: a connection cut without it
  // may have cut the body short.
  long receive(void* buffer, std::size_t size) override {
    if (!ready())
      return -1;
    while (plaintextSize_ == 0) {
      if (closed_)
        return 0;
      if (!decryptRecord())
        return -1;
    }
    const std::size_t given = std::min(size, plaintextSize_);
    std::memcpy(buffer, plaintext_, given);
    plaintext_ += given;
    plaintextSize_ -= given;
    if (plaintextSize_ == 0)
      keepUnread();
    return static_cast<long>(given);
  }

  void abort() override {
    aborted_ = true;
    plain_->abort();
  }

 private:
  enum class State { kNew, kReady, kFailed };

  // The handshake on first use; once failed, failed for good.
  bool ready() {
    if (state_ == State::kNew)
      state_ = handshake() && streamSizesKnown() ? State::kReady : State::kFailed;
    return state_ == State::kReady;
  }

  bool acquireCredentials() {
    SCHANNEL_CRED settings{};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    settings.grbitEnabledProtocols = kProtocols;
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    CredHandle acquired = CredentialsTraits::invalid();
    TimeStamp expiry;
    if (api_.AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A),
                                       SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr, nullptr,
                                       &acquired, &expiry) != SEC_E_OK) {
      return false;
    }
    credentials_.reset(acquired);
    return true;
  }

  bool handshake() {
    if (!acquireCredentials())
      return false;
    incoming_.resize(kFirstHandshakeInput);
    for (;;) {
      // A stop aborts the socket; this notices it between the steps too.
      if (aborted_)
        return false;
      const bool first = !context_;
      SecBuffer input[2] = {
          {static_cast<unsigned long>(received_), SECBUFFER_TOKEN, incoming_.data()},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inputs{SECBUFFER_VERSION, 2, input};
      SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
      SecBufferDesc outputs{SECBUFFER_VERSION, 1, &output};
      CredHandle credentials = credentials_.get();
      CtxtHandle context = context_.get();
      CtxtHandle made = SecurityContextTraits::invalid();
      ULONG granted = 0;
      const SECURITY_STATUS status = api_.InitializeSecurityContextA(
          &credentials, first ? nullptr : &context, const_cast<char*>(host_.c_str()),
          kContextRequest, 0, 0, first ? nullptr : &inputs, 0, first ? &made : nullptr, &outputs,
          &granted, nullptr);
      const ContextBuffer token(output.pvBuffer);
      if (first && SecIsValidHandle(&made))
        context_.reset(made);
      if (status == SEC_E_INCOMPLETE_MESSAGE) {
        if (!receiveHandshakeInput())
          return false;
        continue;
      }
      if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
        return false;
      if (output.cbBuffer > 0 && token &&
          !plain_->sendAll(
              std::string_view(static_cast<const char*>(token.get()), output.cbBuffer))) {
        return false;
      }
      // What the step did not read belongs to the next one (or, at the
      // end, is the first application data).
      const std::size_t unread = input[1].BufferType == SECBUFFER_EXTRA ? input[1].cbBuffer : 0;
      if (!first) {
        std::memmove(incoming_.data(), incoming_.data() + received_ - unread, unread);
        received_ = unread;
      }
      if (status == SEC_E_OK) {
        CtxtHandle finished = context_.get();
        return serverCertificateTrusted(api_, finished, host_);
      }
      if (received_ == 0 && !receiveHandshakeInput())
        return false;
    }
  }

  bool receiveHandshakeInput() {
    if (received_ == incoming_.size()) {
      if (incoming_.size() >= kLargestHandshakeInput)
        return false;
      incoming_.resize(incoming_.size() * 2);
    }
    const long got = plain_->receive(incoming_.data() + received_, incoming_.size() - received_);
    if (got <= 0)
      return false;
    received_ += static_cast<std::size_t>(got);
    return true;
  }

  bool streamSizesKnown() {
    CtxtHandle context = context_.get();
    if (api_.QueryContextAttributesA(&context, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
        sizes_.cbMaximumMessage == 0) {
      return false;
    }
    const std::size_t record = sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer;
    outgoing_.resize(record);
    incoming_.resize(std::max(incoming_.size(), record));
    return true;
  }

  // Decrypts the next record in place, reading until one is whole; false on
  // trouble. Leaves its plaintext to hand out, or marks the close.
  bool decryptRecord() {
    for (;;) {
      if (received_ > 0) {
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(received_), SECBUFFER_DATA, incoming_.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
        CtxtHandle context = context_.get();
        const SECURITY_STATUS status = api_.DecryptMessage(&context, &message, 0, nullptr);
        if (status == SEC_I_CONTEXT_EXPIRED) {
          closed_ = true;
          return true;
        }
        if (status == SEC_E_OK) {
          unreadSize_ = 0;
          for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA) {
              plaintext_ = static_cast<char*>(b.pvBuffer);
              plaintextSize_ = b.cbBuffer;
            } else if (b.BufferType == SECBUFFER_EXTRA) {
              unreadSize_ = b.cbBuffer;
            }
          }
          // A record without data (an empty one) is simply passed over.
          if (plaintextSize_ == 0)
            keepUnread();
          return true;
        }
        // Renegotiation and everything else end the connection.
        if (status != SEC_E_INCOMPLETE_MESSAGE)
          return false;
      }
      if (received_ == incoming_.size())
        return false;  // no record is larger than the stream sizes allow
      const long got = plain_->receive(incoming_.data() + received_, incoming_.size() - received_);
      if (got <= 0)
        return false;
      received_ += static_cast<std::size_t>(got);
    }
  }

  // Moves the bytes after the last decrypted record to the front.
  void keepUnread() {
    std::memmove(incoming_.data(), incoming_.data() + received_ - unreadSize_, unreadSize_);
    received_ = unreadSize_;
    unreadSize_ = 0;
  }

  const SchannelApi& api_;
  const std::unique_ptr<Connection> plain_;
  const std::string host_;
  std::atomic<bool> aborted_{false};
  State state_ = State::kNew;
  CredentialsHandle credentials_;
  SecurityContextHandle context_;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<char> outgoing_;
  // Encrypted bytes from the server, [0, received_); after a decryption the
  // plaintext lies within them and the last unreadSize_ bytes are the next
  // record's.
  std::vector<char> incoming_;
  std::size_t received_ = 0;
  char* plaintext_ = nullptr;
  std::size_t plaintextSize_ = 0;
  std::size_t unreadSize_ = 0;
  bool closed_ = false;
};

class SchannelTls final : public Tls {
 public:
  std::unique_ptr<Connection> secure(std::unique_ptr<Connection> plain,
                                     const std::string& host) override {
    const SchannelApi* const api = schannelApi();
    if (api == nullptr || !plain)
      return nullptr;
    return std::make_unique<SchannelConnection>(*api, std::move(plain), host);
  }
};

}  // namespace

Tls& tls() {
  static SchannelTls instance;
  return instance;
}

}  // namespace platform::win32
