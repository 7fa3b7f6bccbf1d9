#pragma once

// The note kept beside a partial download so that a later run can continue
// it: which body the file holds the start of, and what else must match.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"

namespace update {

struct ResumeNote {
  std::string address;    // as the task was given it
  std::string validator;  // the If-Range value of the body
  std::int64_t size = 0;  // the whole body's length
  std::string tag;        // the caller's own condition (a signed size and digest)
};

// The note's place: beside the partial file.
std::string resumeNotePath(const std::string& localPath);

std::string resumeNoteText(const ResumeNote& note);
// Null for anything resumeNoteText did not write.
std::optional<ResumeNote> parseResumeNote(std::string_view text);

bool writeResumeNote(platform::Files& files, const std::string& localPath, const ResumeNote& note);
std::optional<ResumeNote> readResumeNote(platform::Files& files, const std::string& localPath);

}  // namespace update
