#pragma once

// Why a command stops: one line for the publisher, ending the program with
// exit status 1. Thrown, so that staged outputs are removed on the way out.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "publisher/messages.h"

namespace publisher {

class Refusal : public std::runtime_error {
 public:
  // A text already said in the user's language.
  explicit Refusal(const std::string& said) : std::runtime_error(said) {}
  // A message of the catalogue, said in the user's language where it is
  // shown; what() has its English.
  Refusal(Message message, std::vector<std::string> values);

  // The refusal in the user's language, in local text.
  std::string said(Tools& tools) const;

 private:
  std::optional<Message> message_;
  std::vector<std::string> values_;
};

}  // namespace publisher
