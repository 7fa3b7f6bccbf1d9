#include "publisher/arguments.h"

#include <algorithm>

namespace publisher {
namespace {

const std::vector<std::string> kNoValues;

const OptionSpec* findOption(std::span<const OptionSpec> options, std::string_view name) {
  const auto found = std::find_if(options.begin(), options.end(),
                                  [&](const OptionSpec& option) { return option.name == name; });
  return found == options.end() ? nullptr : &*found;
}

std::optional<Refusal> countProblem(const OptionSpec& option, std::size_t count) {
  const std::string name(option.name);
  if (count < option.minCount)
    return Refusal(
        Message::kOptionRequired,
        {option.name.starts_with("-") ? name + " " + std::string(option.valueName) : name});
  if (count > option.maxCount)
    return option.maxCount == 1
               ? Refusal(Message::kOptionOnce, {name})
               : Refusal(Message::kOptionTooOften, {name, std::to_string(option.maxCount)});
  return std::nullopt;
}

}  // namespace

const std::string& Arguments::one(std::string_view option) const {
  return all(option).front();
}

std::optional<std::string> Arguments::optional(std::string_view option) const {
  const std::vector<std::string>& values = all(option);
  if (values.empty())
    return std::nullopt;
  return values.front();
}

const std::vector<std::string>& Arguments::all(std::string_view option) const {
  const auto found = values_.find(option);
  return found == values_.end() ? kNoValues : found->second;
}

void Arguments::add(std::string_view option, std::string value) {
  values_[std::string(option)].push_back(std::move(value));
}

ParsedArguments parseArguments(std::span<const std::string> words,
                               std::span<const OptionSpec> options) {
  ParsedArguments parsed;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::size_t equals = word.find('=');
    const std::string_view name = std::string_view(word).substr(0, equals);
    const OptionSpec* option = word.starts_with("--") ? findOption(options, name) : nullptr;
    if (!word.starts_with("-")) {
      const auto free = std::find_if(options.begin(), options.end(), [&](const OptionSpec& o) {
        return !o.name.starts_with("-") && parsed.arguments.all(o.name).size() < o.maxCount;
      });
      if (free != options.end()) {
        parsed.arguments.add(free->name, word);
        continue;
      }
    }
    if (option == nullptr) {
      parsed.problem = word.starts_with("-") ? Refusal(Message::kUnknownOption, {std::string(name)})
                                             : Refusal(Message::kUnexpectedArgument, {word});
      return parsed;
    }
    if (option->valueName.empty()) {
      if (equals != std::string::npos) {
        parsed.problem = Refusal(Message::kTakesNoValue, {std::string(name)});
        return parsed;
      }
      parsed.arguments.add(name, "");
    } else if (equals != std::string::npos) {
      parsed.arguments.add(name, word.substr(equals + 1));
    } else if (i + 1 < words.size()) {
      parsed.arguments.add(name, words[++i]);
    } else {
      parsed.problem = Refusal(Message::kNeedsValue, {std::string(name)});
      return parsed;
    }
  }
  for (const OptionSpec& option : options) {
    parsed.problem = countProblem(option, parsed.arguments.all(option.name).size());
    if (parsed.problem)
      return parsed;
  }
  return parsed;
}

std::string optionSynopsis(std::span<const OptionSpec> options) {
  std::string synopsis;
  for (const OptionSpec& option : options) {
    const std::string usage = option.valueName.empty()
                                  ? std::string(option.name)
                                  : std::string(option.name) + " " + std::string(option.valueName);
    if (!synopsis.empty())
      synopsis += ' ';
    synopsis += option.minCount > 0 ? usage : "[" + usage + "]";
    if (option.maxCount > 1)
      synopsis += "...";
  }
  return synopsis;
}

}  // namespace publisher
