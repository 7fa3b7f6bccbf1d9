#pragma once

// Schannel through SSPI and the certificate chain functions of CryptoAPI,
// bound at the first https connection (secur32 and crypt32 are then loaded;
// start-up never pays for them), and the owners of what they hand out.

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
// <windows.h> first: the others build on its types.
#include <windows.h>

#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/late_bound_dll.h"

namespace platform::win32 {

struct SchannelApi {
  LateBoundDll secur32{"secur32.dll"};
  LateBoundDll crypt32{"crypt32.dll"};
  TAVORO_LATE_BOUND(secur32, AcquireCredentialsHandleA);
  TAVORO_LATE_BOUND(secur32, FreeCredentialsHandle);
  TAVORO_LATE_BOUND(secur32, InitializeSecurityContextA);
  TAVORO_LATE_BOUND(secur32, DeleteSecurityContext);
  TAVORO_LATE_BOUND(secur32, QueryContextAttributesA);
  TAVORO_LATE_BOUND(secur32, FreeContextBuffer);
  TAVORO_LATE_BOUND(secur32, EncryptMessage);
  TAVORO_LATE_BOUND(secur32, DecryptMessage);
  TAVORO_LATE_BOUND(crypt32, CertGetCertificateChain);
  TAVORO_LATE_BOUND(crypt32, CertVerifyCertificateChainPolicy);
  TAVORO_LATE_BOUND(crypt32, CertFreeCertificateChain);
  TAVORO_LATE_BOUND(crypt32, CertFreeCertificateContext);

  bool complete() const {
    return AcquireCredentialsHandleA && FreeCredentialsHandle && InitializeSecurityContextA &&
           DeleteSecurityContext && QueryContextAttributesA && FreeContextBuffer &&
           EncryptMessage && DecryptMessage && CertGetCertificateChain &&
           CertVerifyCertificateChainPolicy && CertFreeCertificateChain &&
           CertFreeCertificateContext;
  }
};

// Null when either DLL or one of the functions is missing: no https
// connection is then made. Never unloaded, like the other late DLLs.
inline const SchannelApi* schannelApi() {
  return bindOnce<SchannelApi>();
}

// Only handles that the bound functions made exist, so closing through them
// cannot find them unbound.
struct CredentialsTraits {
  using Handle = CredHandle;
  static Handle invalid() { return {static_cast<ULONG_PTR>(-1), static_cast<ULONG_PTR>(-1)}; }
  static bool isLive(const Handle& h) { return SecIsValidHandle(&h); }
  static void close(Handle h) { schannelApi()->FreeCredentialsHandle(&h); }
};
struct SecurityContextTraits {
  using Handle = CtxtHandle;
  static Handle invalid() { return CredentialsTraits::invalid(); }
  static bool isLive(const Handle& h) { return SecIsValidHandle(&h); }
  static void close(Handle h) { schannelApi()->DeleteSecurityContext(&h); }
};
// A buffer SSPI allocated for us (ISC_REQ_ALLOCATE_MEMORY).
struct ContextBufferTraits {
  using Handle = void*;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { schannelApi()->FreeContextBuffer(h); }
};
struct CertificateTraits {
  using Handle = PCCERT_CONTEXT;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { schannelApi()->CertFreeCertificateContext(h); }
};
struct CertificateChainTraits {
  using Handle = PCCERT_CHAIN_CONTEXT;
  static Handle invalid() { return nullptr; }
  static void close(Handle h) { schannelApi()->CertFreeCertificateChain(h); }
};

using CredentialsHandle = UniqueHandle<CredentialsTraits>;
using SecurityContextHandle = UniqueHandle<SecurityContextTraits>;
using ContextBuffer = UniqueHandle<ContextBufferTraits>;
using CertificateHandle = UniqueHandle<CertificateTraits>;
using CertificateChainHandle = UniqueHandle<CertificateChainTraits>;

// True when the server certificate of the finished handshake `context`
// chains to a trusted root, is valid now and names `host`: the system's
// own check for TLS servers (CERT_CHAIN_POLICY_SSL).
bool serverCertificateTrusted(const SchannelApi& api, CtxtHandle& context, const std::string& host);

}  // namespace platform::win32
