#pragma once

// The check for a newer launcher, run after the game has been started: read
// the version page, show its fields, ask when the published version is newer.

#include <array>
#include <string>
#include <string_view>

#include "platform/http_transport.h"
#include "platform/pump.h"
#include "platform/text_codec.h"
#include "ui/controls.h"
#include "update/download.h"
#include "update/update_state.h"
#include "update/version_page.h"

namespace update {

inline constexpr char kUpdateQuestion[] = "发现新版本,请问是否更新？";
inline constexpr char kUpdateTitle[] = " 软件更新提示";

// Signed packages only, for a launcher that has its publisher's key.
inline constexpr char kPackageRefused[] = "更新包校验失败,已取消本次更新.";

// Reads the version page, shows its fields and, when it announces a newer
// launcher and the player agrees, starts the download.
// What the check uses: the page's reading, the question, and the download
// it may start.
struct VersionCheck {
  DownloadStart download;
  platform::HttpTransport& http;
  platform::TextCodec& codec;
  platform::Pump& pump;
};

void runVersionCheck(const VersionCheck& use, UpdateState& state, const std::string& pageAddress);

// Shows the progress panel and turns the start button off, as when the
// player has agreed to an update.
void showUpdatePanel(ui::Controls& controls);

}  // namespace update
