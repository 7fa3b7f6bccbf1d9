#include <string>

#include "platform/win32/schannel_api.h"

namespace platform::win32 {

bool serverCertificateTrusted(const SchannelApi& api, CtxtHandle& context,
                              const std::string& host) {
  PCCERT_CONTEXT received = nullptr;
  if (api.QueryContextAttributesA(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received) !=
      SEC_E_OK) {
    return false;
  }
  const CertificateHandle certificate(received);
  if (!certificate)
    return false;

  // The chain up to a root of the user's and the machine's stores, through
  // the intermediates the server sent, for server authentication.
  LPSTR serverAuthentication[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof(chainPara);
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuthentication;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!api.CertGetCertificateChain(nullptr, certificate.get(), nullptr,
                                   certificate.get()->hCertStore, &chainPara, 0, nullptr, &built)) {
    return false;
  }
  const CertificateChainHandle chain(built);
  // The chain's own verdict as well: Wine's SSL policy passes a chain that
  // stops short of any root (an authority nobody trusts). Time nesting is
  // no fault of the server's.
  if ((chain.get()->TrustStatus.dwErrorStatus & ~CERT_TRUST_IS_NOT_TIME_NESTED) !=
      CERT_TRUST_NO_ERROR) {
    return false;
  }

  // Host names are ASCII (see update/http/http_address.h): widening is exact.
  std::wstring serverName(host.begin(), host.end());
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA sslPara{};
  sslPara.cbSize = sizeof(sslPara);
  sslPara.dwAuthType = AUTHTYPE_SERVER;
  sslPara.pwszServerName = serverName.data();
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof(policyPara);
  policyPara.pvExtraPolicyPara = &sslPara;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof(status);
  return api.CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara,
                                              &status) &&
         status.dwError == 0;
}

}  // namespace platform::win32
