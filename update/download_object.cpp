#include "update/download_object.h"

namespace update {

DownloadObject::~DownloadObject() {
  stopTask();
}

void DownloadObject::stopTask() {
  taskAttached_ = false;
}

}  // namespace update
