#pragma once

// The check for a newer launcher: the page read while the window goes on,
// the notes the window shows, and whether the page offers this launcher a
// release.

#include <string>

#include "platform/http_transport.h"
#include "platform/pump.h"
#include "platform/text_codec.h"
#include "update/package/release_signature.h"
#include "update/version_page.h"

namespace update {

inline constexpr char kUpdateQuestion[] = "发现新版本,请问是否更新？";
inline constexpr char kUpdateTitle[] = " 软件更新提示";

// Signed packages only, for a launcher that has its publisher's key.
inline constexpr char kPackageRefused[] = "更新包校验失败,已取消本次更新.";

// The page's fields; all empty when it cannot be read.
VersionFields readVersionPage(platform::HttpTransport& http, platform::TextCodec& codec,
                              platform::Pump& pump, const std::string& pageAddress);

// 22 spaces, the title, then the description and the five notes, each after
// a CR LF.
std::string composeNotes(const VersionFields& fields);

// True when the page's version sorts after `localVersion` and, for a
// launcher with a key (`trust.publicKey` not empty), the release is the one
// its publisher signed for this page: a page relabelled on the way, or
// another game's release, offers nothing.
bool offersRelease(const VersionFields& fields, const std::string& localVersion,
                   const ReleaseTrust& trust);

}  // namespace update
