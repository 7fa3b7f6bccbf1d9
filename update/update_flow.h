#pragma once

// The update from the start click to the hand-over, as one flow through
// named phases (update_state.h): the page is read and the player asked,
// the package downloaded, checked and applied, and the new launcher
// started and waited for, or the update taken back. Everything runs on the
// window's thread; the download's reports reach it as notices posted there.

#include <functional>
#include <string>

#include "core/program.h"
#include "platform/services.h"
#include "update/download/download_events.h"
#include "update/package/apply_package.h"
#include "update/update_state.h"
#include "update/update_view.h"

namespace update {

// Before the download starts, once the player has agreed.
inline constexpr int kBeforeDownloadMs = 500;

class UpdateFlow {
 public:
  // The services, the view and the state outlive the flow.
  UpdateFlow(const platform::Services& os, UpdateView& view, core::ProgramEnd end,
             UpdateState& state);

  UpdatePhase phase() const { return state_.phase; }

  // The start button: `startGame` runs, then the page at `pageAddress` is
  // read and, when it offers a newer release and the player agrees, its
  // package downloaded. A click while the update is under way does
  // nothing: a check, a question or a download runs once.
  void onStartClicked(const std::string& pageAddress, const std::function<void()>& startGame);

  // The player's Yes to the release in the state's fields: the panel
  // shows, the start button rests and, after a short wait, the download
  // starts.
  void acceptRelease();

  // A notice the download posted, on the window's thread.
  void onNotice(DownloadNotice notice);

  // Every 800 ms: the panel's speed and sizes.
  void onProgressTick();

  // Once the window shows: a package kept from an earlier run, which the
  // game held then, is checked again and applied.
  void onWindowShown();

  // A close request: true when it must wait, because the folder is being
  // changed; the program ends once the outcome is known.
  bool deferClose();

 private:
  void enter(UpdatePhase phase);
  void note(const std::string& text);
  void checkVersion(const std::string& pageAddress);
  void finishDownload();
  // The whole package, as every launcher fetched it.
  void startWholePackage();
  // A task of the update that fetches only what the folder lacks ended.
  void finishPartialStep();
  // The download ended for want of room on the disk: the player is told.
  void endShortOfRoom(const RoomShortfall& shortfall);
  void applyAndHandOver(const std::string& package);
  // `unpacked`: the package's files went in (no new launcher among them
  // is then asked about twice, as ever).
  void handOver(const std::string& package, bool unpacked);
  // The update changed nothing, or was taken back: says why, hides the
  // panel and the start button works again; ends the program when a close
  // was asked for meanwhile.
  void endUnapplied(UpdatePhase next, const char* message, unsigned flags);
  void endUnapplied(UpdatePhase next, const std::string& message, unsigned flags);
  // The disk short of room for the package's files unpacked: nothing is
  // staged, the package goes and the player is told. False when there is
  // room, or the archive or the disk does not tell.
  bool refusedForRoom(const std::string& package);
  // Where this launcher's running file is once the apply stands: its
  // backup name when the package brought a file of its name.
  std::string ownFileNow() const;
  // That backup's name in the run directory; empty when there is none.
  std::string ownBackupName() const;

  const platform::Services os_;
  UpdateView& view_;
  const core::ProgramEnd end_;
  UpdateState& state_;
};

}  // namespace update
