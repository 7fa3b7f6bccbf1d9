#include "update/version.h"

#include "update/http/http.h"
#include "update/package/release_signature.h"

namespace update {

VersionFields readVersionPage(platform::HttpTransport& http, platform::TextCodec& codec,
                              platform::Pump& pump, const std::string& pageAddress) {
  return versionFieldsOf(pageTextWhileWaiting(http, codec, pump, pageAddress));
}

std::string composeNotes(const VersionFields& fields) {
  std::string notes(22, ' ');
  notes += fields[kProgramTitle];
  for (VersionField field : {kDescription, kNote1, kNote2, kNote3, kNote4, kNote5}) {
    notes += "\r\n";
    notes += fields[field];
  }
  return notes;
}

bool offersRelease(const VersionFields& fields, const std::string& localVersion,
                   const ReleaseTrust& trust) {
  if (!sortsAfter(fields[kLatestVersion], localVersion))
    return false;
  return trust.publicKey.empty() || checkAnnouncedRelease(trust, fields) == PackageVerdict::kSigned;
}

}  // namespace update
