#pragma once

// Why a command stops: one line for the publisher, ending the program with
// exit status 1. Thrown, so that staged outputs are removed on the way out.

#include <stdexcept>
#include <string>

namespace publisher {

class Refusal : public std::runtime_error {
 public:
  explicit Refusal(const std::string& why) : std::runtime_error(why) {}
};

}  // namespace publisher
