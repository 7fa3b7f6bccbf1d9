#pragma once

// Named markers that other processes can see.

#include <string>

namespace platform {

class NamedEvents {
 public:
  enum class Marker { kCreated, kAlreadyExisted, kFailed };
  virtual ~NamedEvents() = default;
  // Creates the instance marker and holds it until the process ends,
  // learning in the same step whether another copy holds it already: two
  // copies started in the same instant cannot both see it missing.
  virtual Marker createMarker(const std::string& name) = 0;
  // Lets go of a marker this process created; it exists no longer unless
  // another process holds it too.
  virtual void releaseMarker(const std::string& name) = 0;
  // True when some process holds a marker of that name.
  virtual bool markerExists(const std::string& name) = 0;
};

}  // namespace platform
