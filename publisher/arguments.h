#pragma once

// A subcommand's options, read from a table: an option takes one value
// ("--from DIR" or "--from=DIR"), or none when the table names no value
// ("--list"), and may be required, optional or repeated. An entry whose
// name does not start with "-" ("FILE") takes a word that is no option.

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "publisher/refusal.h"

namespace publisher {

struct OptionSpec {
  std::string_view name;       // "--from"
  std::string_view valueName;  // "DIR", for the usage line; empty: a switch, no value
  std::size_t minCount;        // 1: required
  std::size_t maxCount;
};

class Arguments {
 public:
  // The value of an option that occurs once (a required one is there).
  const std::string& one(std::string_view option) const;
  std::optional<std::string> optional(std::string_view option) const;
  bool has(std::string_view option) const { return !all(option).empty(); }
  // Every value of a repeatable option, in command-line order.
  const std::vector<std::string>& all(std::string_view option) const;

  void add(std::string_view option, std::string value);

 private:
  std::map<std::string, std::vector<std::string>, std::less<>> values_;
};

struct ParsedArguments {
  Arguments arguments;
  std::optional<Refusal> problem;  // none when the words fit the table
};

ParsedArguments parseArguments(std::span<const std::string> words,
                               std::span<const OptionSpec> options);

// "--from DIR [--note TEXT]..." from the table.
std::string optionSynopsis(std::span<const OptionSpec> options);

}  // namespace publisher
