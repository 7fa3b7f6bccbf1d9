#pragma once

// The decisions of a web request that do not depend on how the bytes travel:
// the user agent, the request flags, the completed header text, and what
// the response's header block says (redirect target, cookies).

#include <cstdint>
#include <string>
#include <string_view>

namespace update {

inline constexpr char kDefaultUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 4Kix; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
inline constexpr std::size_t kRawHeaderBufferSize = 5000;

inline constexpr std::uint32_t kFlagReload = 0x80000000;
inline constexpr std::uint32_t kFlagNeedFile = 0x00000010;
inline constexpr std::uint32_t kFlagNoCookies = 0x00080000;
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000;
inline constexpr std::uint32_t kFlagSecure = 0x00800000;
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x00004000;

// The agent a User-Agent line of `headers` names, else the default one.
std::string userAgentFor(std::string_view headers);

std::uint32_t requestFlags(std::string_view url, bool noRedirect);

// `headers` with the browser-like defaults added where their names are
// missing (Referer, Accept, Accept-Language, Content-Type) and the cookies.
std::string completeHeaders(std::string_view headers, std::string_view url,
                            std::string_view cookies);

// What the response's raw header block says: every line containing
// "Location:" sets `location` (an earlier value stays when none does, an
// empty one becomes the whole block); Set-Cookie lines give the cookies.
void scanResponseHeaders(std::string_view rawHeaders, std::string& location,
                         std::string& returnedCookies);

// The header block as the 5000-byte buffer holds it: the block itself when
// it fits with its terminating zero, else the 5000 spaces it was filled with.
std::string headerBufferText(std::string_view block, bool queried);

}  // namespace update
