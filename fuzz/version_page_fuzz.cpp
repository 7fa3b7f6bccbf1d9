// The version page as any server may serve it, through the real check: the
// page arrives over a stand-in transport, its fields fill the controls, and
// the player is asked exactly when the published version sorts after the
// running one, byte by byte, and, for a launcher with a key, only when the
// page carries a well-formed signature.

#include "app/update_window.h"
#include "fuzz/harness.h"
#include "platform/host/host_services.h"
#include "ui/control_names.h"
#include "ui/host/control_model.h"
#include "update/package/release_signature.h"
#include "update/update_flow.h"

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
  // std::string compares as unsigned bytes, shorter prefix first.
  const bool newer = published > state.localVersion;
  const bool signedPage =
      update::checkAnnouncedRelease({state.publicKey, kPage}, state.versionFields) ==
      update::PackageVerdict::kSigned;
  fuzz::require(messageBoxes.calls.size() == (newer && (!keyed || signedPage) ? 1u : 0u),
                "the player is asked exactly when the published version sorts after 5.0 and, "
                "with a key, the page's release is signed");
  fuzz::require(flow.phase() == update::UpdatePhase::kIdle, "the check ends idle without a Yes");
  return 0;
}
