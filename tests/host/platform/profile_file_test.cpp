#include <gtest/gtest.h>

#include <string>

#include "platform/host/host_services.h"
#include "platform/profile_file.h"

namespace {

using namespace std::string_literals;

// What the file's bytes read as, in code page 936.
TEST(ProfileText, ByteOrderMarksDecideTheDecoding) {
  const std::pair<std::string, std::string> rows[] = {
      {"a=\xD7\xEE", "a=\xD7\xEE"},
      {"\xEF\xBB\xBF"
       "a=\xE6\x9C\x80",
       "a=\xD7\xEE"},
      // UTF-16 little and big endian: 最 (U+6700), é (U+00E9, two UTF-8
      // bytes on the way), an ASCII letter.
      {"\xFF\xFE"
       "a\0=\0\x00\x67\xE9\x00"s,
       "a=\xD7\xEE\xA8\xA6"},
      {"\xFE\xFF"
       "\0a\0=\x67\x00\x00\xE9"s,
       "a=\xD7\xEE\xA8\xA6"},
      // An odd last byte is no character.
      {"\xFF\xFE"
       "a\0b"s,
       "a"},
      // A surrogate pair is one character 936 lacks, and so is a lone
      // surrogate; a high one before another high one takes nothing along.
      {"\xFF\xFE"
       "\x3D\xD8\x00\xDE"s,
       "?"},
      {"\xFF\xFE"
       "\x00\xD8\xFF\xDF"s,
       "?"},
      {"\xFF\xFE"
       "\x00\xD8"
       "a\0"s,
       "?a"},
      {"\xFF\xFE"
       "\x00\xDC"
       "a\0"s,
       "?a"},
      {"\xFF\xFE"
       "\x00\xD8\x00\xD8\x00\xDC"s,
       "??"},
      {"\xFF\xFE", ""},
  };
  platform::host::IconvTextCodec codec;
  for (const auto& [file, text] : rows)
    EXPECT_EQ(platform::profileText(base::Bytes(file.begin(), file.end()), codec), text) << file;
}

// Which line answers: the first section of the name, the first key in it,
// names whole and blanks around them dropped.
TEST(ProfileValue, OnlyTheFirstSectionOfANameAndItsFirstKeyCount) {
  const std::pair<std::string, std::string> rows[] = {
      {"[a]\nK = v \n", "v"},
      {"[A]\n\tk\t=\t'v'\t", "v"},
      {"[A]\r\n k = a=b ", "a=b"},
      {"k=v\n[A]\nk=w", "w"},
      {"[A]\nk=1\nk=2", "1"},
      {"[A]\nk=1\n[A]\nk=2", "1"},
      {"[A]\nx=1\n[A]\nk=2", ""},
      {"[A]\nx=1\n[B]\nk=2", ""},
      {"[B]\nk=1\n[A]\nk=2", "2"},
      {"[A]\nkk=1\nk=2", "2"},
      {"[AB]\nk=v", ""},
      {"[A\nk=v", "v"},
      {"", ""},
  };
  for (const auto& [text, value] : rows)
    EXPECT_EQ(platform::profileValue(text, "A", "k", 64), value) << text;
}

}  // namespace
