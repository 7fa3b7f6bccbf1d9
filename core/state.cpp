#include "core/state.h"

namespace core {
namespace {

std::unique_ptr<ProgramState> g_state;

}  // namespace

ProgramState& programState() {
  return *g_state;
}

bool hasProgramState() {
  return g_state != nullptr;
}

ProgramState& createProgramState() {
  g_state = std::make_unique<ProgramState>();
  g_state->taskParameters = std::make_unique<DownloadTaskParameters>();
  g_state->downloadObject = std::make_unique<update::DownloadObject>();
  return *g_state;
}

void releaseProgramState(ProgramState& state) {
  for (std::string& field : state.versionFields)
    std::string().swap(field);

  if (DownloadTaskParameters* p = state.taskParameters.get()) {
    for (std::string* text :
         {&p->sourceAddress, &p->localFilePath, &p->userName, &p->password, &p->textSetting16,
          &p->acceptedFileTypes, &p->textSetting19, &p->textSetting20}) {
      std::string().swap(*text);
    }
  }
  state.taskParameters.reset();

  // The engine keeps its own copies of a running task's parameters, so the
  // record may go first.
  if (state.downloadObject)
    state.downloadObject->stopTask();
  state.downloadObject.reset();

  std::vector<Bytes>().swap(state.slideshowPictures);
}

}  // namespace core
