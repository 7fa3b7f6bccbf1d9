// A download that breaks off and goes on: the answers that may continue
// the kept bytes, the note kept for a later run, and the engine against a
// loopback server that breaks, stalls, changes the file or lies about the
// range it sends.

#include "update/download/download_resume.h"
#include "download_engine_fixture.h"
#include "update/download/resume_note.h"
#include "update/download/room.h"

#include <limits>

namespace testing_support {
namespace {

update::ResponseHead headOf(const std::string& text) {
  return update::parseResponseHead(text + "\r\n").value();
}

struct AnswerRow {
  const char* name;
  std::string head;
  update::ResumedAnswer expected;
};

TEST(ResumedAnswerTest, OnlyTheExactRestOfTheSameBodyContinues) {
  // 400 of 1000 bytes kept, asked with an ETag.
  const update::ResumePoint point{400, 1000, "\"v1\""};
  using update::ResumedAnswer;
  const AnswerRow rows[] = {
      {"the rest", "HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/1000\r\nContent-Length: 600\r\n",
       ResumedAnswer::kContinue},
      {"the rest, same tag named",
       "HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/1000\r\nETag: \"v1\"\r\n",
       ResumedAnswer::kContinue},
      {"whole body", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n", ResumedAnswer::kStartOver},
      {"one byte early", "HTTP/1.1 206 P\r\nContent-Range: bytes 399-999/1000\r\n",
       ResumedAnswer::kFail},
      {"one byte late", "HTTP/1.1 206 P\r\nContent-Range: bytes 401-999/1000\r\n",
       ResumedAnswer::kFail},
      {"short of the end", "HTTP/1.1 206 P\r\nContent-Range: bytes 400-998/1000\r\n",
       ResumedAnswer::kFail},
      {"other total", "HTTP/1.1 206 P\r\nContent-Range: bytes 400-1000/1001\r\n",
       ResumedAnswer::kFail},
      {"unknown total", "HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/*\r\n",
       ResumedAnswer::kFail},
      {"no range named", "HTTP/1.1 206 P\r\nContent-Length: 600\r\n", ResumedAnswer::kFail},
      {"length not the range's",
       "HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/1000\r\nContent-Length: 601\r\n",
       ResumedAnswer::kFail},
      {"another file's rest",
       "HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/1000\r\nETag: \"v2\"\r\n",
       ResumedAnswer::kFail},
      {"range not satisfiable", "HTTP/1.1 416 R\r\nContent-Range: bytes */1000\r\n",
       ResumedAnswer::kFail},
      {"other success", "HTTP/1.1 203 N\r\nContent-Length: 1000\r\n", ResumedAnswer::kFail},
  };
  for (const AnswerRow& row : rows)
    EXPECT_EQ(update::judgeResumedAnswer(headOf(row.head), point), row.expected) << row.name;

  // Kept by date: a 206 naming another date is another file.
  const update::ResumePoint dated{400, 1000, "Mon, 07 Dec 2026 10:00:00 GMT"};
  EXPECT_EQ(
      update::judgeResumedAnswer(headOf("HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/1000\r\n"
                                        "Last-Modified: Mon, 07 Dec 2026 11:00:00 GMT\r\n"),
                                 dated),
      ResumedAnswer::kFail);
  EXPECT_EQ(update::judgeResumedAnswer(
                headOf("HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/1000\r\n"
                       "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\nETag: \"x\"\r\n"),
                dated),
            ResumedAnswer::kContinue);
  // Nothing kept, or no validator: no 206 can fit.
  EXPECT_EQ(
      update::judgeResumedAnswer(headOf("HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/1000\r\n"),
                                 update::ResumePoint{0, 1000, "\"v1\""}),
      ResumedAnswer::kFail);
  EXPECT_EQ(
      update::judgeResumedAnswer(headOf("HTTP/1.1 206 P\r\nContent-Range: bytes 400-999/1000\r\n"),
                                 update::ResumePoint{400, 1000, ""}),
      ResumedAnswer::kFail);
}

TEST(ResumedAnswerTest, ValidatorAndRequest) {
  EXPECT_EQ(update::ifRangeValidator(headOf("HTTP/1.1 200 OK\r\nETag: \"a\"\r\n"
                                            "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n")),
            "\"a\"");
  EXPECT_EQ(update::ifRangeValidator(headOf("HTTP/1.1 200 OK\r\nETag: W/\"a\"\r\n"
                                            "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n")),
            "Mon, 07 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(update::ifRangeValidator(headOf("HTTP/1.1 200 OK\r\nETag: W/\"a\"\r\n")), "");

  const update::HttpAddress address = update::parseHttpAddress("http://h:81/p.zip").value();
  const std::string plain = update::getRequest(address, "agent");
  EXPECT_EQ(update::resumeRequest(address, "agent", {400, 1000, "\"v1\""}),
            plain.substr(0, plain.size() - 2) + "Range: bytes=400-\r\nIf-Range: \"v1\"\r\n\r\n");
  // Nothing kept, all kept, or no validator: the plain request.
  EXPECT_EQ(update::resumeRequest(address, "agent", {0, 1000, "\"v1\""}), plain);
  EXPECT_EQ(update::resumeRequest(address, "agent", {1000, 1000, "\"v1\""}), plain);
  EXPECT_EQ(update::resumeRequest(address, "agent", {400, 1000, ""}), plain);
}

TEST(ResumedAnswerTest, TheLauncherAsksFiveTimesMoreAfterGrowingPauses) {
  EXPECT_EQ(update::DownloadTaskParameters().retryPausesMs,
            (std::vector<std::int32_t>{1000, 2000, 4000, 8000, 16000}));
}

TEST(ContentRangeTest, Forms) {
  struct Row {
    const char* text;
    bool valid;
    std::int64_t first, last, total;
  };
  const Row rows[] = {
      {"bytes 0-0/1", true, 0, 0, 1},    {"BYTES 5-9/10", true, 5, 9, 10},
      {"bytes 5-9/9", false, 0, 0, 0},   {"bytes 9-5/10", false, 0, 0, 0},
      {"bytes 5-9/*", false, 0, 0, 0},   {"bytes */10", false, 0, 0, 0},
      {"bytes -9/10", false, 0, 0, 0},   {"items 5-9/10", false, 0, 0, 0},
      {"bytes 5-9/10x", false, 0, 0, 0},
  };
  for (const Row& row : rows) {
    const auto range = update::parseContentRange(row.text);
    ASSERT_EQ(range.has_value(), row.valid) << row.text;
    if (range) {
      EXPECT_EQ(range->first, row.first);
      EXPECT_EQ(range->last, row.last);
      EXPECT_EQ(range->total, row.total);
    }
  }
}

TEST(ResumeNoteTest, ReadsBackWhatIsWrittenAndNothingElse) {
  const update::ResumeNote note{"http://h/p.zip", "\"v 1\"", 4194304, "4194304 abc="};
  const std::string text = update::resumeNoteText(note);
  EXPECT_EQ(text,
            "tavoro-resume/1\naddress http://h/p.zip\nvalidator \"v 1\"\nsize 4194304\n"
            "tag 4194304 abc=\n");
  const auto back = update::parseResumeNote(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->address, note.address);
  EXPECT_EQ(back->validator, note.validator);
  EXPECT_EQ(back->size, note.size);
  EXPECT_EQ(back->tag, note.tag);
  // An empty tag is a tag (no key).
  EXPECT_TRUE(update::parseResumeNote(update::resumeNoteText({"http://h/p", "\"v\"", 1, ""})));

  for (const std::string& damaged :
       {text.substr(0, text.size() - 1), "tavoro-resume/2" + text.substr(15),
        std::string("tavoro-resume/1\naddress a\nvalidator v\nsize 0\ntag \n"),
        std::string("tavoro-resume/1\naddress a\nvalidator v\nsize 12x\ntag \n"),
        std::string("tavoro-resume/1\naddress a\nvalidator \nsize 12\ntag \n"),
        std::string("tavoro-resume/1\nvalidator v\naddress a\nsize 12\ntag \n"), text + "more\n"}) {
    EXPECT_FALSE(update::parseResumeNote(damaged)) << damaged;
  }
}

// -- the engine --------------------------------------------------------------

std::string head200(std::size_t length, const std::string& validators) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n" + validators +
         "\r\n";
}

std::string head206(std::size_t first, std::size_t total, const std::string& validators) {
  return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
         std::to_string(total - 1) + "/" + std::to_string(total) +
         "\r\nContent-Length: " + std::to_string(total - first) + "\r\n" + validators + "\r\n";
}

const std::string kTag = "ETag: \"v1\"\r\n";
const std::string kBody = patternBytes(100000);
const std::string kOther = patternBytes(100003).substr(3);  // same length, other bytes

struct BreakRow {
  const char* name;
  std::vector<std::vector<ServerStep>> turns;
  std::string expected;                  // the file's bytes; empty: a failed transfer, no file
  std::vector<std::string> rangesAsked;  // the Range line of each request, "" none
};

void PrintTo(const BreakRow& row, std::ostream* out) {
  *out << row.name;
}

class BrokenDownloadTest : public DownloadEngineTest,
                           public ::testing::WithParamInterface<BreakRow> {};

TEST_P(BrokenDownloadTest, EndsWithTheRightBytesOrNone) {
  const BreakRow& row = GetParam();
  server.onTurns("/pkg.zip", row.turns);
  auto parameters = parametersFor(server.url("/pkg.zip"));
  parameters.receiveTimeoutMs = 300;  // a stall is a break soon
  runToEnd(parameters);

  if (row.expected.empty()) {
    EXPECT_FALSE(std::filesystem::exists(localFile())) << "a failed transfer leaves no file";
    EXPECT_EQ(recorder.events().back().code, 4);
  } else {
    EXPECT_EQ(readLocal(), row.expected);
  }
  EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.tmp.resume")));
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), row.rangesAsked.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const std::size_t at = requests[i].find("\r\nRange: ");
    const std::string range =
        at == std::string::npos
            ? ""
            : requests[i].substr(at + 2, requests[i].find("\r\n", at + 2) - at - 2);
    EXPECT_EQ(range, row.rangesAsked[i]) << "request " << i;
    // If-Range goes with every Range, never alone.
    EXPECT_EQ(requests[i].find("If-Range: ") != std::string::npos, !range.empty());
  }
  EXPECT_EQ(requests.front(),
            update::getRequest(update::parseHttpAddress(server.url("/pkg.zip")).value(),
                               "Mozilla/4.0 (compatible; TavoroUpdate 5.0; Windows NT 6.1)"))
      << "the first request is the plain one";
}

const std::string kDate = "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n";
// The first turn of most rows: the whole body announced with the tag, the
// connection reset after 60,000 bytes.
const std::vector<ServerStep> kBrokenAt60000 = {
    sendBytes(head200(100000, kTag) + kBody.substr(0, 60000)), resetConnection()};

INSTANTIATE_TEST_SUITE_P(
    Loopback, BrokenDownloadTest,
    ::testing::Values(
        BreakRow{"BreakThenRest",
                 {kBrokenAt60000, {sendBytes(head206(60000, 100000, kTag) + kBody.substr(60000))}},
                 kBody,
                 {"", "Range: bytes=60000-"}},
        BreakRow{"ThreeBreaks",
                 {{sendBytes(head200(100000, kTag) + kBody.substr(0, 1)), resetConnection()},
                  {sendBytes(head206(1, 100000, kTag) + kBody.substr(1, 49999)), resetConnection()},
                  {sendBytes(head206(50000, 100000, kTag) + kBody.substr(50000, 49999)),
                   resetConnection()},
                  {sendBytes(head206(99999, 100000, kTag) + kBody.substr(99999))}},
                 kBody,
                 {"", "Range: bytes=1-", "Range: bytes=50000-", "Range: bytes=99999-"}},
        BreakRow{"StallThenRestByDate",
                 {{sendBytes(head200(100000, kDate) + kBody.substr(0, 30000)), stall()},
                  {sendBytes(head206(30000, 100000, kDate) + kBody.substr(30000))}},
                 kBody,
                 {"", "Range: bytes=30000-"}},
        BreakRow{"ServerWithoutRangesStartsOver",
                 {kBrokenAt60000, {sendBytes(head200(100000, kTag) + kBody)}},
                 kBody,
                 {"", "Range: bytes=60000-"}},
        BreakRow{"NoValidatorAsksForTheWhole",
                 {{sendBytes(head200(100000, "ETag: W/\"v1\"\r\n") + kBody.substr(0, 60000)),
                   resetConnection()},
                  {sendBytes(head200(100000, "") + kBody)}},
                 kBody,
                 {"", ""}},
        BreakRow{"ChangedFileIsTakenWholeNotStitched",
                 {kBrokenAt60000, {sendBytes(head200(100000, "ETag: \"v2\"\r\n") + kOther)}},
                 kOther,
                 {"", "Range: bytes=60000-"}},
        BreakRow{"ChangedFileAfterAStartOverIsContinuedByItsOwnTag",
                 {kBrokenAt60000,
                  {sendBytes(head200(100000, "ETag: \"v2\"\r\n") + kOther.substr(0, 100)),
                   resetConnection()},
                  {sendBytes(head206(100, 100000, "ETag: \"v2\"\r\n") + kOther.substr(100))}},
                 kOther,
                 {"", "Range: bytes=60000-", "Range: bytes=100-"}},
        BreakRow{"RestOfAChangedFileIsRefused",
                 {kBrokenAt60000,
                  {sendBytes(head206(60000, 100000, "ETag: \"v2\"\r\n") + kOther.substr(60000))}},
                 "",
                 {"", "Range: bytes=60000-"}},
        BreakRow{"WrongContentRangeFails",
                 {kBrokenAt60000, {sendBytes(head206(50000, 100000, kTag) + kBody.substr(50000))}},
                 "",
                 {"", "Range: bytes=60000-"}},
        BreakRow{"NotSatisfiableFails",
                 {kBrokenAt60000, {sendBytes("HTTP/1.1 416 No\r\nContent-Length: 0\r\n\r\n")}},
                 "",
                 {"", "Range: bytes=60000-"}},
        BreakRow{"MissingOnTheWayFails",
                 {kBrokenAt60000, {sendBytes("HTTP/1.1 404 Gone\r\nContent-Length: 0\r\n\r\n")}},
                 "",
                 {"", "Range: bytes=60000-"}},
        BreakRow{"FiveRetriesThenFailure",
                 {{sendBytes(head200(100000, kTag) + kBody.substr(0, 10)), resetConnection()},
                  {sendBytes(head206(10, 100000, kTag) + kBody.substr(10, 10)), resetConnection()},
                  {sendBytes(head206(20, 100000, kTag) + kBody.substr(20, 10)), resetConnection()},
                  {sendBytes(head206(30, 100000, kTag) + kBody.substr(30, 10)), resetConnection()},
                  {sendBytes(head206(40, 100000, kTag) + kBody.substr(40, 10)), resetConnection()},
                  {sendBytes(head206(50, 100000, kTag) + kBody.substr(50, 10)), resetConnection()},
                  {sendBytes(head206(60, 100000, kTag) + kBody.substr(60))}},
                 "",
                 {"", "Range: bytes=10-", "Range: bytes=20-", "Range: bytes=30-",
                  "Range: bytes=40-", "Range: bytes=50-"}},
        BreakRow{"CutShortChunkedStartsOver",
                 {{sendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n" + kTag +
                             "\r\n10\r\n" + kBody.substr(0, 16))},
                  {sendBytes(head200(100000, kTag) + kBody)}},
                 kBody,
                 {"", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

// A partial file of an earlier task and its note: continued only when the
// note fits this task and the server answers with exactly the rest; else
// both go and the body is fetched whole, or the transfer fails.
struct KeptRow {
  const char* name;
  std::size_t kept;        // bytes of kBody in the file; 0: no file
  std::string note;        // "@" stands for this task's address
  std::string answer;      // the server's whole answer
  std::string expected;    // the file afterwards; empty: none
  std::string rangeAsked;  // the first request's Range line
  std::int64_t bound = 0;  // the task's most bytes
  bool emptyFile = false;  // with kept 0: a file without bytes rather than none
};

void PrintTo(const KeptRow& row, std::ostream* out) {
  *out << row.name;
}

class KeptFileTest : public DownloadEngineTest, public ::testing::WithParamInterface<KeptRow> {};

const std::string kNote = "tavoro-resume/1\naddress @\nvalidator \"v1\"\nsize 100000\ntag t\n";

TEST_P(KeptFileTest, IsContinuedOnlyWhenEverythingFits) {
  const KeptRow& row = GetParam();
  if (row.kept > 0 || row.emptyFile)
    writeFile("pkg.zip.tmp", kBody.substr(0, row.kept));
  std::string note = row.note;
  if (const std::size_t at = note.find('@'); at != std::string::npos)
    note.replace(at, 1, server.url("/pkg.zip"));
  writeFile("pkg.zip.tmp.resume", note);
  server.respond("/pkg.zip", row.answer);
  auto parameters = parametersFor(server.url("/pkg.zip"));
  parameters.keepPartial = true;
  parameters.resumeTag = "t";
  parameters.maxBytes = row.bound;
  runToEnd(parameters);

  if (row.expected.empty())
    EXPECT_FALSE(std::filesystem::exists(localFile()));
  else
    EXPECT_EQ(readLocal(), row.expected);
  EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.tmp.resume")));
  const auto requests = server.requests();
  ASSERT_FALSE(requests.empty());
  const std::size_t at = requests[0].find("\r\nRange: ");
  EXPECT_EQ(at == std::string::npos
                ? std::string()
                : requests[0].substr(at + 2, requests[0].find("\r\n", at + 2) - at - 2),
            row.rangeAsked);
}

INSTANTIATE_TEST_SUITE_P(
    EarlierRun, KeptFileTest,
    ::testing::Values(
        KeptRow{"Fits", 40000, kNote, head206(40000, 100000, kTag) + kBody.substr(40000), kBody,
                "Range: bytes=40000-"},
        KeptRow{"FitsButTheServerSendsAnotherRange", 40000, kNote,
                head206(30000, 100000, kTag) + kBody.substr(30000), "", "Range: bytes=40000-"},
        KeptRow{"FitsButTheFileChanged", 40000, kNote, head200(100000, "ETag: \"v2\"\r\n") + kOther,
                kOther, "Range: bytes=40000-"},
        KeptRow{"OtherAddress", 40000,
                "tavoro-resume/1\naddress http://other/pkg.zip\nvalidator \"v1\"\nsize "
                "100000\ntag t\n",
                head200(100000, kTag) + kBody, kBody, ""},
        KeptRow{"OtherTag", 40000,
                "tavoro-resume/1\naddress @\nvalidator \"v1\"\nsize 100000\ntag u\n",
                head200(100000, kTag) + kBody, kBody, ""},
        KeptRow{"AFinishedFileIsNotTrusted", 100000, kNote, head200(100000, kTag) + kBody, kBody,
                ""},
        KeptRow{"DamagedNote", 40000, "tavoro-resume/1\naddress @\n", head200(100000, kTag) + kBody,
                kBody, ""},
        KeptRow{"NoteWithoutFile", 0, kNote, head200(100000, kTag) + kBody, kBody, ""},
        KeptRow{"OneByteKept", 1, kNote, head206(1, 100000, kTag) + kBody.substr(1), kBody,
                "Range: bytes=1-"},
        KeptRow{"EmptyFileIsNoStart", 0, kNote, head200(100000, kTag) + kBody, kBody, "", 0, true},
        KeptRow{"FitsTheBoundExactly", 40000, kNote,
                head206(40000, 100000, kTag) + kBody.substr(40000), kBody, "Range: bytes=40000-",
                100000},
        // Another release's file by now: it goes, and the new body is held
        // to the new bound.
        KeptRow{"LongerThanTheBound", 40000, kNote, head200(99999, kTag) + kBody.substr(1),
                kBody.substr(1), "", 99999}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a task bound, a game's package of 20 GiB is continued past
// 16 GiB: its declared length is its bound. (The kept part is sparse.)
TEST_F(DownloadEngineTest, ABodyOfDeclaredLengthIsContinuedPast16GiB) {
  constexpr std::size_t kTotal = std::size_t{20} << 30;
  constexpr std::size_t kKept = (std::size_t{16} << 30) - 1000;
  writeFile("pkg.zip.tmp", "");
  std::filesystem::resize_file(localFile(), kKept);
  writeFile("pkg.zip.tmp.resume", "tavoro-resume/1\naddress " + server.url("/pkg.zip") +
                                      "\nvalidator \"v1\"\nsize " + std::to_string(kTotal) +
                                      "\ntag t\n");
  server.on("/pkg.zip", {sendBytes(head206(kKept, kTotal, kTag) + kBody), resetConnection()});
  auto parameters = parametersFor(server.url("/pkg.zip"));
  parameters.keepPartial = true;
  parameters.resumeTag = "t";
  parameters.retryPausesMs = {};
  runToEnd(parameters);
  ASSERT_TRUE(std::filesystem::exists(localFile()));
  EXPECT_EQ(std::filesystem::file_size(localFile()), kKept + kBody.size());
  EXPECT_NE(server.requests().at(0).find("Range: bytes=" + std::to_string(kKept) + "-"),
            std::string::npos);
}

// A server that starts over with a body longer than the bound: refused
// before a byte of it is written, and nothing kept to continue.
TEST_F(DownloadEngineTest, AStartOverPastTheBoundIsRefusedUnread) {
  server.onTurns("/pkg.zip", {kBrokenAt60000, {sendBytes(head200(100001, kTag) + kBody + "x")}});
  auto parameters = parametersFor(server.url("/pkg.zip"));
  parameters.maxBytes = 100000;
  parameters.keepPartial = true;
  runToEnd(parameters);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
  EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.tmp.resume")));
  EXPECT_EQ(recorder.blockTotal(), 60000);
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(DownloadEngineTest, ProgressCountsKeptBytesAndRestartsFromZero) {
  // Broken at 60000, continued, then a start-over at the third request.
  server.onTurns("/pkg.zip", {kBrokenAt60000,
                              {sendBytes(head206(60000, 100000, kTag) + kBody.substr(60000, 20000)),
                               resetConnection()},
                              {sendBytes(head200(100000, kTag) + kBody)}});
  runToEnd(server.url("/pkg.zip"));
  expectEnded(100000);
  EXPECT_EQ(readLocal(), kBody);
  // The blocks of the whole last body count again from 0; before it, 80000
  // arrived over two bodies.
  std::int64_t blocks = 0;
  for (const auto& event : recorder.events()) {
    if (event.code == 16)
      blocks += event.value;
  }
  EXPECT_EQ(blocks, 180000);
}

// -- room on the disk ----------------------------------------------------------

struct RoomReports : update::DownloadObserver {
  void roomShort(const update::RoomShortfall& shortfall) override {
    shortfalls.push_back(shortfall);
  }
  std::vector<update::RoomShortfall> shortfalls;
};

class RoomDownloadTest : public DownloadEngineTest {
 protected:
  // The launcher's check, the body's size known before asking or not.
  update::DownloadSettings settingsFor(std::int64_t expected) {
    update::DownloadSettings settings;
    settings.address = update::parseHttpAddress(server.url("/pkg.zip")).value();
    settings.localPath = runDir().string() + "\\pkg.zip.tmp";
    settings.connectTimeoutMs = 2000;
    settings.receiveTimeoutMs = 2000;
    settings.keepPartial = true;
    settings.resumeTag = "t";
    settings.checkRoom = true;
    settings.expectedBytes = expected;
    return settings;
  }

  update::DownloadResult run(const update::DownloadSettings& settings) {
    update::DownloadStop stop;
    return update::runDownload(settings, os.sockets, os.tls, os.files, stop, reports);
  }

  // A partial file of 40000 bytes with a note that fits.
  void keepEarlierRun() {
    writeFile("pkg.zip.tmp", kBody.substr(0, 40000));
    std::string note = kNote;
    note.replace(note.find('@'), 1, server.url("/pkg.zip"));
    writeFile("pkg.zip.tmp.resume", note);
  }

  bool leftNothing() const {
    return !std::filesystem::exists(localFile()) &&
           !std::filesystem::exists(localFile("pkg.zip.tmp.resume"));
  }

  RoomReports reports;
};

// Short of room by one byte, or not: the body's size from the page, the
// declared length, a kept file's note; the unpacked size counts too.
TEST_F(RoomDownloadTest, ABodyIsNotFetchedWithoutRoomForIt) {
  const std::int64_t margin = update::kRoomMargin;
  struct Row {
    const char* name;
    std::int64_t expected;
    std::int64_t unpacked;
    std::int64_t needed;
    std::size_t requestsWhenShort;  // 0: refused before asking
  };
  const Row rows[] = {
      {"size from the page", 100000, -1, 100000 + margin, 0},
      {"size from the page, unpacked known", 100000, 30000, 130000 + margin, 0},
      {"declared length only", 0, -1, 100000 + margin, 1},
      {"declared length, unpacked known", 0, 5, 100005 + margin, 1},
  };
  for (const Row& row : rows) {
    for (const bool shortByOne : {true, false}) {
      SCOPED_TRACE(std::string(row.name) + (shortByOne ? ", one byte short" : ", room enough"));
      std::filesystem::remove(localFile());
      reports.shortfalls.clear();
      server.respond("/pkg.zip", head200(100000, kTag) + kBody);
      auto settings = settingsFor(row.expected);
      settings.unpackedBytes = row.unpacked;
      os.files.spaceFigure = row.needed - (shortByOne ? 1 : 0);
      const std::size_t asked = server.requests().size();
      const update::DownloadResult result = run(settings);
      if (!shortByOne) {
        EXPECT_EQ(result, update::DownloadResult::kComplete);
        EXPECT_EQ(readLocal(), kBody);
        EXPECT_TRUE(reports.shortfalls.empty());
        continue;
      }
      EXPECT_EQ(result, update::DownloadResult::kNoRoom);
      EXPECT_TRUE(leftNothing());
      EXPECT_EQ(server.requests().size() - asked, row.requestsWhenShort);
      ASSERT_EQ(reports.shortfalls.size(), 1u);
      EXPECT_FALSE(reports.shortfalls[0].diskFilled);
      EXPECT_EQ(reports.shortfalls[0].needed, row.needed);
      EXPECT_EQ(reports.shortfalls[0].available, row.needed - 1);
    }
  }
}

TEST_F(RoomDownloadTest, KeptBytesNeedNoRoomAgainAndStayWhenTheRestHasNone) {
  server.respond("/pkg.zip", head206(40000, 100000, kTag) + kBody.substr(40000));
  // The rest of the note's 100000 bytes: 60000.
  keepEarlierRun();
  os.files.spaceFigure = 60000 + update::kRoomMargin - 1;
  EXPECT_EQ(run(settingsFor(0)), update::DownloadResult::kNoRoom);
  EXPECT_TRUE(server.requests().empty());
  EXPECT_EQ(readLocal(), kBody.substr(0, 40000)) << "kept as it was, for a later run";
  EXPECT_TRUE(std::filesystem::exists(localFile("pkg.zip.tmp.resume")));
  ASSERT_EQ(reports.shortfalls.size(), 1u);
  EXPECT_EQ(reports.shortfalls[0].needed, 60000 + update::kRoomMargin);

  os.files.spaceFigure = 60000 + update::kRoomMargin;
  EXPECT_EQ(run(settingsFor(100000)), update::DownloadResult::kComplete);
  EXPECT_EQ(readLocal(), kBody);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_NE(server.requests()[0].find("Range: bytes=40000-"), std::string::npos);
}

// A query that fails, or a task that asks for no check (the publisher's
// verify): the body is fetched.
TEST_F(RoomDownloadTest, UnknownFreeSpaceOrNoCheckRefusesNothing) {
  server.respond("/pkg.zip", head200(100000, kTag) + kBody);
  os.files.spaceFigure = -1;
  EXPECT_EQ(run(settingsFor(100000)), update::DownloadResult::kComplete);
  std::filesystem::remove(localFile());
  os.files.spaceFigure = 0;
  auto unchecked = settingsFor(100000);
  unchecked.checkRoom = false;
  EXPECT_EQ(run(unchecked), update::DownloadResult::kComplete);
  EXPECT_EQ(readLocal(), kBody);
  EXPECT_TRUE(reports.shortfalls.empty());
}

// Another program fills the disk while the body arrives: the write fails
// with "no space", and nothing is kept to continue, a continued file
// neither.
TEST_F(RoomDownloadTest, ADiskThatFillsMidwayLeavesNeitherFileNorNote) {
  struct Row {
    const char* name;
    std::string answer;
    bool earlierRun;
  };
  const Row rows[] = {
      {"whole body", head200(100000, kTag) + kBody, false},
      {"chunked body",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n186a0\r\n" + kBody + "\r\n0\r\n\r\n",
       false},
      {"continued body", head206(40000, 100000, kTag) + kBody.substr(40000), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    reports.shortfalls.clear();
    server.respond("/pkg.zip", row.answer);
    if (row.earlierRun)
      keepEarlierRun();
    os.files.fillDiskAfter(30000);
    EXPECT_EQ(run(settingsFor(0)), update::DownloadResult::kDiskFull);
    EXPECT_TRUE(leftNothing());
    ASSERT_EQ(reports.shortfalls.size(), 1u);
    EXPECT_TRUE(reports.shortfalls[0].diskFilled);
    os.files.fillDiskAfter(std::numeric_limits<std::int64_t>::max() / 2);
  }
  // A failure of another kind is no full disk: a body past its bound.
  reports.shortfalls.clear();
  server.respond("/pkg.zip", head200(100000, kTag) + kBody);
  auto bounded = settingsFor(0);
  bounded.maxBytes = 99999;
  EXPECT_EQ(run(bounded), update::DownloadResult::kFailed);
  EXPECT_TRUE(reports.shortfalls.empty());
}

}  // namespace
}  // namespace testing_support
