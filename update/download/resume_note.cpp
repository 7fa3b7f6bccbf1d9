#include "update/download/resume_note.h"

#include <charconv>
#include <string_view>
#include <vector>

#include "update/record_names.h"

namespace update {
namespace {

constexpr std::string_view kFirstLine = "tavoro-resume/1";
// A note is a few hundred bytes; anything larger is not one.
constexpr std::int64_t kMaxNoteBytes = 16 * 1024;

// The value of "name value" on `line`; null when the line names another.
std::optional<std::string_view> valueOf(std::string_view line, std::string_view name) {
  if (line.size() < name.size() + 1 || line.substr(0, name.size()) != name ||
      line[name.size()] != ' ')
    return std::nullopt;
  return line.substr(name.size() + 1);
}

}  // namespace

std::string resumeNotePath(const std::string& localPath) {
  return localPath + kResumeNoteSuffix;
}

std::string resumeNoteText(const ResumeNote& note) {
  return std::string(kFirstLine) + "\naddress " + note.address + "\nvalidator " + note.validator +
         "\nsize " + std::to_string(note.size) + "\ntag " + note.tag + "\n";
}

std::optional<ResumeNote> parseResumeNote(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos)
      return std::nullopt;  // every line ends in LF, the last too
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  if (lines.size() != 5 || lines[0] != kFirstLine)
    return std::nullopt;
  const auto address = valueOf(lines[1], "address");
  const auto validator = valueOf(lines[2], "validator");
  const auto size = valueOf(lines[3], "size");
  const auto tag = valueOf(lines[4], "tag");
  if (!address || !validator || !size || !tag || address->empty() || validator->empty())
    return std::nullopt;
  ResumeNote note{std::string(*address), std::string(*validator), 0, std::string(*tag)};
  const char* end = size->data() + size->size();
  const auto parsed = std::from_chars(size->data(), end, note.size);
  if (parsed.ec != std::errc() || parsed.ptr != end || note.size <= 0)
    return std::nullopt;
  return note;
}

bool writeResumeNote(platform::Files& files, const std::string& localPath, const ResumeNote& note) {
  // A line break inside a value would not read back as written.
  for (const std::string* value : {&note.address, &note.validator, &note.tag}) {
    if (value->find('\n') != std::string::npos)
      return false;
  }
  const std::unique_ptr<platform::OutputFile> out = files.create(resumeNotePath(localPath));
  const std::string text = resumeNoteText(note);
  return out && out->write(text.data(), text.size()) && out->close();
}

std::optional<ResumeNote> readResumeNote(platform::Files& files, const std::string& localPath) {
  const std::string path = resumeNotePath(localPath);
  const std::int64_t size = files.size(path);
  if (size <= 0 || size > kMaxNoteBytes)
    return std::nullopt;
  const base::Bytes bytes = files.readAll(path);
  return parseResumeNote(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace update
