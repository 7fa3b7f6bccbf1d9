#include <vector>

#include "base/path.h"
#include "platform/win32/handles.h"
#include "publisher/win32/win32_tools.h"

namespace publisher {
namespace {

constexpr int kStagingNameTries = 100;

// The current user's SID, in the buffer that holds it.
std::vector<unsigned char> currentUser() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
    return {};
  const platform::win32::KernelHandle token(opened);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size))
    return {};
  return user;
}

// A protected DACL with one entry: full access for `sid`, no one else.
bool ownerOnly(PSID sid, std::vector<unsigned char>& aclBuffer, SECURITY_DESCRIPTOR& descriptor) {
  const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
  aclBuffer.assign(aclSize, 0);
  auto* acl = reinterpret_cast<PACL>(aclBuffer.data());
  return InitializeAcl(acl, aclSize, ACL_REVISION) &&
         AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
         InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
         SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

bool writeAll(HANDLE file, std::string_view content) {
  DWORD written = 0;
  return WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size() && FlushFileBuffers(file);
}

}  // namespace

// A security descriptor that lets only the current user in, not inheriting
// the folder's entries; MoveFileEx without replacing puts it in place.
SecretFiles::Outcome OwnerOnlySecretFiles::writeNew(const std::string& path,
                                                    std::string_view content) {
  const std::vector<unsigned char> user = currentUser();
  std::vector<unsigned char> aclBuffer;
  SECURITY_DESCRIPTOR descriptor;
  if (user.empty() ||
      !ownerOnly(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, aclBuffer, descriptor))
    return Outcome::kFailed;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};

  const std::string plain = path + ".partial";
  std::string staging;
  platform::win32::FileHandle file;
  for (int number = 0; number < kStagingNameTries && !file; ++number) {
    staging = number == 0 ? plain : base::numberedFileName(plain, number);
    file.reset(CreateFileA(staging.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!file)
    return Outcome::kFailed;
  const bool written = writeAll(file.get(), content);
  file.reset();
  if (written && MoveFileExA(staging.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH))
    return Outcome::kWritten;
  const DWORD error = GetLastError();
  DeleteFileA(staging.c_str());
  return written && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
             ? Outcome::kExists
             : Outcome::kFailed;
}

}  // namespace publisher
