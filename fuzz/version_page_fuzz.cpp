// The version page as any server may serve it, through the real check: the
// page arrives over a stand-in transport, its fields fill the controls, and
// the player is asked exactly when the published version sorts after the
// running one (number by number for dotted numbers, else byte by byte), and,
// for a launcher with a key, only when the page carries a well-formed
// signature.

#include "app/update_window.h"
#include "fuzz/harness.h"
#include "platform/host/host_services.h"
#include "ui/control_names.h"
#include "ui/host/control_model.h"
#include "update/package/release_signature.h"
#include "update/update_flow.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class PageServer final : public platform::HttpTransport {
 public:
  explicit PageServer(base::Bytes page) : page_(std::move(page)) {}
  platform::HttpOutcome perform(const platform::HttpExchange&) override {
    platform::HttpOutcome outcome;
    outcome.opened = true;
    outcome.body = page_;
    return outcome;
  }

 private:
  base::Bytes page_;
};

constexpr char kPage[] = "http://update.example.invalid/launcher/version.html";

// An oracle of its own for the launcher's order: dotted numbers compare run
// by run as numbers of any length (a version that runs out first is older);
// any other text byte by byte, unsigned.
bool publishedIsNewer(const std::string& published, const std::string& local) {
  const auto runsOf = [](const std::string& version, std::vector<std::string>& runs) {
    std::string run;
    for (std::size_t i = 0; i <= version.size(); ++i) {
      if (i < version.size() && version[i] >= '0' && version[i] <= '9') {
        run += version[i];
        continue;
      }
      if (run.empty() || (i < version.size() && version[i] != '.'))
        return false;
      run.erase(0, std::min(run.find_first_not_of('0'), run.size()));
      runs.push_back(run);
      run.clear();
    }
    return true;
  };
  std::vector<std::string> a, b;
  if (!runsOf(published, a) || !runsOf(local, b))
    return published > local;  // std::string compares as unsigned bytes
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i].size() != b[i].size())
      return a[i].size() > b[i].size();
    if (a[i] != b[i])
      return a[i] > b[i];
  }
  return a.size() > b.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PageServer server(base::Bytes(data, data + size));
  platform::host::IconvTextCodec codec;
  platform::host::FakeMessageBoxes messageBoxes;  // answers OK, never Yes: no download
  platform::host::FakePump pump;
  platform::host::BsdSockets sockets;
  platform::host::OpenSslTls tls;
  platform::host::LocalFiles files;
  platform::host::FakeProcess process;
  ui::ControlModel controls;
  update::UpdateState state(sockets, tls, files);
  // Odd-sized pages meet a launcher that has its publisher's key.
  const bool keyed = size % 2 == 1;
  if (keyed)
    state.publicKey = update::toBase64(update::PublicKey{1, 2, 3});

  platform::host::RecordingTrace trace;
  platform::Services os;
  os.http = &server;
  os.codec = &codec;
  os.messageBoxes = &messageBoxes;
  os.pump = &pump;
  os.files = &files;
  os.process = &process;
  os.trace = &trace;
  app::UpdateWindow view(controls);
  update::UpdateFlow flow(os, view, core::ProgramEnd{process}, state);
  flow.onStartClicked(kPage, [] {});

  const std::string& published = state.versionFields[update::kLatestVersion];
  fuzz::require(controls.text(ui::name::kPublishedVersion) == published,
                "the published version is shown as the page has it");
  const bool newer = publishedIsNewer(published, state.localVersion);
  const bool signedPage =
      update::checkAnnouncedRelease({state.publicKey, kPage}, state.versionFields) ==
      update::PackageVerdict::kSigned;
  fuzz::require(messageBoxes.calls.size() == (newer && (!keyed || signedPage) ? 1u : 0u),
                "the player is asked exactly when the published version sorts after 5.0 and, "
                "with a key, the page's release is signed");
  fuzz::require(flow.phase() == update::UpdatePhase::kIdle, "the check ends idle without a Yes");
  return 0;
}
