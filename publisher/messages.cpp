#include "publisher/messages.h"

#include "base/cp936.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

// In the order of Message. No build-system words: a publisher reads these.
// A command's help has no English here: it is the command's own
// description.
struct Entry {
  Message message;
  MessageTexts texts;
};

constexpr std::array<Entry, static_cast<std::size_t>(Message::kCount)> kTexts = {{
    {Message::kHelpIntro,
     {"{1}: publishes signed updates of the launcher.\n\n", "{1}：发布启动器的签名更新。\n\n"}},
    {Message::kExitStatus,
     {"Exit status: 0 done, 1 refused or failed (the reason is printed), 2 bad call.\n",
      "退出码：0 完成；1 被拒绝或失败（会打印原因）；2 用法错误。\n"}},
    {Message::kUsage, {"usage: ", "用法："}},
    {Message::kUnknownCommand, {"unknown command \"{1}\"", "没有命令\"{1}\""}},
    {Message::kFailed, {"failed: {1}", "失败：{1}"}},
    {Message::kWarning, {"warning: ", "注意："}},
    // keygen
    {Message::kHelpKeygen,
     {"",
      "      生成一对密钥：把私钥写入 FILE（FILE 必须还不存在，缺少的文件夹会自动创建），\n"
      "      并打印公钥（一行文字），用于 stamp 的 --public-key 或 --backup-key。\n"}},
    // pubkey
    {Message::kHelpPubkey,
     {"",
      "      打印 keygen 生成的私钥文件 FILE 对应的公钥（一行文字），与 keygen 打印的相同。\n"}},
    // stamp
    {Message::kHelpStamp,
     {"",
      "      写出启动器的一个副本：它读取 URL 处的版本页（http:// 或 https://、主机名、路径，\n"
      "      最多 511 字节）；给出 KEY 时只接受用这个公钥签名的更新包，不给时沿用\n"
      "      LAUNCHER.exe 的公钥。KEY2 是第二个公钥，对应的私钥离线保管：用它签名的发布\n"
      "      同样被接受，供主私钥丢失时使用。V 是副本自己的版本，发布的版本必须排在它之后\n"
      "      （数字逐段比较：5.10 在 5.9 之后）；不给时沿用 LAUNCHER.exe 的版本（出厂为\n"
      "      5.0）。打印副本携带的内容和被替换的内容。LAUNCHER.exe 整个读入，最多 64 MiB。\n"}},
    // show
    {Message::kHelpShow,
     {"",
      "      打印启动器 FILE 携带的版本页地址、公钥和版本，或说明 FILE 不是启动器。\n"
      "      FILE 分块读取：任何大小的文件都只占很少的内存。\n"}},
    // pack
    {Message::kHelpPack,
     {"",
      "      把文件夹 DIR（最上层有新启动器 NAME）打成 ZIP 更新包（文件名用代码页 936），\n"
      "      用私钥对这次发布签名（版本页、版本、启动器名称、包名、大小和摘要），\n"
      "      以 URL 最后一段为名写入 OUTDIR，并写出 OUTDIR\\version.html，在 URL 处发布版本 V。\n"
      "      NAME 是启动器时，包里放的是它带有版本 V 的副本；它必须携带签名私钥的公钥、\n"
      "      您自己的版本页地址，以及排在 V 之前的版本。签名用于 PAGE_URL，否则用 NAME\n"
      "      读取的版本页，否则用 URL 同一目录下的 version.html：读取别的版本页的启动器\n"
      "      会拒绝它。最多六条说明：第一条是更新描述，其余是说明 1-5。\n"
      "      拒绝：符号链接、私钥（私钥文件，或任何文件里的私钥文字）、位于 DIR 里面的\n"
      "      --secret 或 OUTDIR、Windows 视为同名或无法保存的名字、不是 GBK 编码的\n"
      "      tavoro\\tavoroConfig.ini，以及启动器更新时自己要用的名字（tavoro-update.journal、\n"
      "      包名和包名加 .tmp、以 .unpacking 或 .backup 结尾的名字等）。--list 列出每个\n"
      "      打包的名字。每次发布记入发布记录 LEDGER（默认是 OUTDIR 旁边的 release-ledger），\n"
      "      并保存新启动器的副本，即玩家更新后手上的启动器；玩家不会收到的版本、\n"
      "      玩家启动器不接受的密钥、别的发布用过的包地址或包文件，都会被拒绝。\n"}},
    // verify
    {Message::kHelpVerify,
     {"",
      "      像启动器一样检查版本页和更新包，并指出不符合的版本页字段：签名包含版本页、\n"
      "      版本、新启动器名称、包名、大小和摘要。给出 http(s):// 地址时，先下载版本页，\n"
      "      再像启动器一样下载其更新地址处的包；--package FILE 改为检查本地的包（上传之前；\n"
      "      版本页可以是 UTF-8 文件）。密钥取自 --launcher FILE（玩家现在手上的启动器），\n"
      "      发布还必须符合它的版本页地址和版本；或者取 KEY。两者都不给时，用发布记录\n"
      "      LEDGER（默认是当前文件夹下的 release-ledger）里这次发布之前的启动器。\n"
      "      也检查包里的条目清单；--folder DIR 列出游戏文件夹 DIR（旧版本）的启动器\n"
      "      要下载的条目和字节数。退出码 0：玩家会收到这个发布；1：不会，并说明原因。\n"}},
    // serve
    {Message::kHelpServe,
     {"",
      "      在端口 N 上用 http 提供 DIR 里的文件（例如 pack 的输出），用于在本机彩排更新：\n"
      "      只读、不列出目录、不跟随符号链接，只在 127.0.0.1 上，除非 --bind 指定另一个\n"
      "      本机 IPv4 地址。支持单个范围请求（206），并发送 ETag 和 Last-Modified，可以\n"
      "      彩排断点续传。最多同时回答 {1} 个连接；请求 {2} 秒内没有完整到达、或回答中\n"
      "      任何 64 KiB 超过 {3} 秒没有送出的连接会被断开。每个请求都会打印；按 Ctrl+C 结束。\n"}},
    {Message::kPageNotUploaded,
     {"the server at {1} answers {2}: the version page was not uploaded there. Upload "
      "version.html to that address, then verify again",
      "{1} 的服务器回答 {2}：版本页还没有上传到这个地址。请把 version.html 上传到那里，"
      "然后再运行 verify"}},
    {Message::kPackageNotUploaded,
     {"the server answers {1}: the package was not uploaded there. Upload it to that address, "
      "then verify again",
      "服务器回答 {1}：更新包还没有上传到这个地址。请把它上传到那里，然后再运行 verify"}},
    {Message::kWrongKey,
     {"players have {1}, which carries the public key {2}{3}{4}; --secret {5} is the secret key "
      "of {6}, whose releases those players refuse. Sign with the secret key of a key it carries. "
      "When none is left, read the guide's part on a lost key",
      "玩家手上是{1}，它携带的公钥是 {2}{3}{4}；--secret {5} 是公钥 {6} 的私钥，"
      "这些玩家不接受用它签名的发布。请用它携带的公钥所对应的私钥签名；"
      "两把私钥都丢失时，请阅读发布指南中\"私钥丢失\"一节"}},
    {Message::kKeyFileNote, {" (release {1} was signed with {2})", "（发布 {1} 用 {2} 签名）"}},
    {Message::kBackupKeyNote, {" and the backup key {1}", "，备用公钥是 {1}"}},
    {Message::kNotAfterLauncher,
     {"--version {1} does not sort after {2}, the version of {3}, so its players would not be "
      "offered this release",
      "--version {1} 没有排在 {2}（{3}的版本）之后，玩家不会收到这个发布"}},
    {Message::kNotAfterLastPacked,
     {"--version {1} does not sort after {2}, the last release packed",
      "--version {1} 没有排在上一次打包的发布 {2} 之后"}},
    {Message::kVersionsThatWould, {". Versions that would be: {1}", "。可以用的版本：{1}"}},
    {Message::kStranded,
     {"players who still have a launcher of version {1}, which compares versions letter by letter, "
      "will not be offered {2}",
      "仍在使用版本 {1} 的启动器（逐个字符比较版本）的玩家不会收到 {2}"}},
    {Message::kStrandedWould, {"; versions they would be offered: {1}", "；他们会收到的版本：{1}"}},
    {Message::kAddressReused,
     {"the package address {1} was used by release {2}: players who check between the two "
      "uploads would download the new package against the old page and refuse it. Give the "
      "package a new name, such as update-{3}.zip",
      "包的地址 {1} 已被发布 {2} 用过：在两次上传之间检查更新的玩家会按旧的版本页下载到新包，"
      "并拒绝它。请给包起一个新名字，例如 update-{3}.zip"}},
    {Message::kPackageFileTaken,
     {"{1} already holds another package, which players may be downloading now. Give this "
      "release's package a new name in --url, or move the old file away",
      "{1} 里已经是另一个包，玩家可能正在下载它。请在 --url 中给这次的包起一个新名字，"
      "或者把旧文件移走"}},
    {Message::kBlankAroundAddress,
     {"{1} \"{2}\" has a blank at its start or end, which would become part of the address: "
      "give it without",
      "{1} \"{2}\" 的开头或结尾有空格，空格会成为地址的一部分：请去掉它"}},
    {Message::kConfigUtf8WithMark,
     {"{1} is saved as UTF-8 with a byte order mark: the launcher reads it as GBK (code page "
      "936), and players would see garbled names. Open it in Notepad, choose Save As with the "
      "encoding ANSI (on a Chinese Windows), and pack again",
      "{1} 存成了带字节顺序标记的 UTF-8：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
      "请用记事本打开，\"另存为\"选择 ANSI 编码（简体中文 Windows），再重新打包"}},
    {Message::kConfigUtf16,
     {"{1} is saved as Unicode (UTF-16): the launcher reads it as GBK (code page 936), and "
      "players would see garbled names. Open it in Notepad, choose Save As with the encoding "
      "ANSI (on a Chinese Windows), and pack again",
      "{1} 存成了 Unicode（UTF-16）：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
      "请用记事本打开，\"另存为\"选择 ANSI 编码（简体中文 Windows），再重新打包"}},
    {Message::kConfigUtf8,
     {"{1} is saved as UTF-8: the launcher reads it as GBK (code page 936), and players would "
      "see garbled names. Open it in Notepad, choose Save As with the encoding ANSI (on a "
      "Chinese Windows), and pack again",
      "{1} 存成了 UTF-8：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
      "请用记事本打开，\"另存为\"选择 ANSI 编码（简体中文 Windows），再重新打包"}},
    {Message::kConfigNotGbk,
     {"{1} is no GBK text: the launcher reads it as GBK (code page 936), and players would see "
      "garbled names. Save it again as GBK, and pack again",
      "{1} 不是 GBK 文字：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
      "请重新存成 GBK，再重新打包"}},
    {Message::kRecorded, {"recorded in the release ledger {1}\n", "已记入发布记录 {1}\n"}},
    {Message::kPlayersHave,
     {"players have now {1} ({2}, from the release ledger)\n",
      "玩家现在手上是{1}（{2}，取自发布记录）\n"}},
    {Message::kReleaseLauncher, {"the launcher of release {1}", "发布 {1} 的启动器"}},
    {Message::kShippedLauncher,
     {"the launcher shipped with the game (version {1})", "随游戏发出的启动器（版本 {1}）"}},
    {Message::kEntryNameNot936,
     {"{1} holds the name {2}, which code page 936 (Chinese Windows) cannot hold: the launcher "
      "refuses the whole package as damaged. Pack the release with pack, which names such a file "
      "before it packs anything",
      "{1} 里有名字 {2}，代码页 936（简体中文 Windows）写不出这个名字：启动器会把整个更新包"
      "当作损坏的拒绝。请用 pack 打包这次发布，它会在打包之前指出这样的文件"}},
    // the command line
    {Message::kOptionRequired, {"{1} is required", "缺少 {1}"}},
    {Message::kOptionOnce, {"{1} may be given only once", "{1} 只能给一次"}},
    {Message::kOptionTooOften, {"{1} may be given at most {2} times", "{1} 最多只能给 {2} 次"}},
    {Message::kUnknownOption, {"unknown option {1}", "没有选项 {1}"}},
    {Message::kUnexpectedArgument, {"unexpected argument \"{1}\"", "多余的参数\"{1}\""}},
    {Message::kTakesNoValue, {"{1} takes no value", "{1} 后面不带值"}},
    {Message::kNeedsValue, {"{1} needs a value", "{1} 后面要给一个值"}},
    {Message::kForOption, {"{1} ({2})", "{1}（{2}）"}},
    {Message::kInFile, {"{1}: {2}", "{1}：{2}"}},
    {Message::kFileNotFolder,
     {"{1} {2} is a file, not a folder: give a folder",
      "{1} {2} 是文件，不是文件夹：请给一个文件夹"}},
    // files
    {Message::kCannotRead, {"cannot read {1}: {2}", "无法读取 {1}：{2}"}},
    {Message::kCannotBeRead, {"{1} cannot be read", "无法读取 {1}"}},
    {Message::kCannotWrite, {"cannot {1} {2}: {3}", "无法{1} {2}：{3}"}},
    {Message::kActWrite, {"write", "写入"}},
    {Message::kActReplace, {"replace", "替换"}},
    {Message::kActCreateFolder, {"create the folder", "创建文件夹"}},
    {Message::kActCreateBeside, {"create a file beside", "在旁边创建临时文件，目标"}},
    {Message::kFolderBlockedByFile,
     {"cannot create the folder {1}: {2} is a file. Move that file away or choose another folder",
      "无法创建文件夹 {1}：{2} 是一个文件。请把它移走，或者换一个文件夹"}},
    {Message::kCauseNotFound, {"not found", "找不到"}},
    {Message::kCauseAccessDenied, {"access denied", "没有权限"}},
    {Message::kCauseInUse, {"in use by another program", "正被另一个程序使用"}},
    {Message::kCauseNoSpace, {"no space left on the drive", "磁盘已满"}},
    {Message::kCauseNoReason, {"the system gives no reason", "系统没有给出原因"}},
    {Message::kCauseFolderNotFile, {"is a folder, not a file", "这是文件夹，不是文件"}},
    {Message::kCauseEmptyFile, {"the file is empty", "文件是空的"}},
    {Message::kCauseNoFolder, {"the folder {1} does not exist", "文件夹 {1} 不存在"}},
    {Message::kCauseParentIsFile, {"{1} is a file, not a folder", "{1} 是文件，不是文件夹"}},
    {Message::kCauseIsFolder, {"is a folder", "这是一个文件夹"}},
    // keygen and the secret key
    {Message::kKeyFileExists,
     {"{1} exists; keygen never replaces a secret key. Give a new file name",
      "{1} 已经存在；keygen 从不覆盖私钥。请换一个新的文件名"}},
    {Message::kNoKeyPair,
     {"cannot make a key pair: the system gives no random numbers. Try again",
      "无法生成密钥对：系统没有提供随机数。请再试一次"}},
    {Message::kKeyWritten,
     {"secret key written to {1}; keep it private\n",
      "私钥已写入 {1}；请妥善保管，不要给任何人\n"}},
    {Message::kNoSecretKeyFile,
     {"{1} is no secret key file made by keygen: give the file keygen wrote",
      "{1} 不是 keygen 生成的私钥文件：请给出 keygen 写出的文件"}},
    {Message::kSecretKeyDamaged,
     {"{1} is damaged: its public half does not belong to its secret half. Take the file from your "
      "backup",
      "{1} 已损坏：其中的公钥部分与私钥部分不配对。请从备份中取回这个文件"}},
    // stamp and show
    {Message::kStampTooLarge,
     {"{1} has {2} bytes; a launcher has a few MiB, and stamp reads at most {3} MiB: this is no "
      "launcher. Take launcher.exe from the release archive",
      "{1} 有 {2} 字节；启动器只有几 MiB，stamp 最多读取 {3} MiB：这不是启动器。请使用发布包里的 "
      "launcher.exe"}},
    {Message::kStampWrote,
     {"wrote {1}, a copy of {2} that carries\n", "已写出 {1}，它是 {2} 的副本，携带：\n"}},
    {Message::kStampReplaced, {"replaced in the copy:\n", "副本中替换的内容：\n"}},
    {Message::kNoLauncher, {"{1} is no launcher: {2}", "{1} 不是启动器：{2}"}},
    {Message::kNotAProgram,
     {"not a Windows program. Give the launcher.exe of the release archive, or a copy made by "
      "stamp",
      "不是 Windows 程序。请给出发布包里的 launcher.exe，或 stamp 写出的副本"}},
    {Message::kNoSettingsBlock,
     {"it carries no update settings, so it is not a launcher of this kind. Give the launcher.exe "
      "of the release archive, or a copy made by stamp",
      "其中没有更新设置，不是这种启动器。请给出发布包里的 launcher.exe，或 stamp 写出的副本"}},
    {Message::kEarlierLauncher,
     {"a launcher of an earlier release, which cannot carry its version: take launcher.exe of this "
      "release",
      "这是较早发布的启动器，无法携带自己的版本：请使用这次发布包里的 launcher.exe"}},
    {Message::kTwoSettingsBlocks,
     {"it carries its update settings twice, so it cannot be told which it reads. Take "
      "launcher.exe again from the release archive",
      "其中有两份更新设置，无法确定它读取哪一份。请重新使用发布包里的 launcher.exe"}},
    {Message::kSettingsCutShort,
     {"its update settings are cut short. Take launcher.exe again from the release archive",
      "其中的更新设置不完整。请重新使用发布包里的 launcher.exe"}},
    {Message::kProgramCutShort,
     {"the file is cut short: it has {1} bytes, its program's sections reach to byte {2}. Take "
      "launcher.exe again from the release archive",
      "文件不完整：它有 {1} 字节，而程序的各部分要到第 {2} 字节。请重新使用发布包里的 "
      "launcher.exe"}},
    {Message::kSettingsDamaged,
     {"its update settings are damaged. Take launcher.exe again from the release archive",
      "其中的更新设置已损坏。请重新使用发布包里的 launcher.exe"}},
    {Message::kNotAPublicKey,
     {"{1} {2} is no public key of this tool: give the line keygen or pubkey printed",
      "{1} {2} 不是本工具的公钥：请给出 keygen 或 pubkey 打印的那一行"}},
    {Message::kKeyNeverVerifies,
     {"{1} {2} can never verify a signature; take the one keygen printed",
      "{1} {2} 永远无法验证签名；请使用 keygen 打印的公钥"}},
    {Message::kPageNotWeb,
     {"the page address must start with http:// or https://",
      "版本页地址必须以 http:// 或 https:// 开头"}},
    {Message::kPageTooLong,
     {"the page address has {1} bytes; at most {2} fit the launcher. Choose a shorter address",
      "版本页地址有 {1} 字节；启动器最多只能存放 {2} 字节。请换一个较短的地址"}},
    {Message::kPageControl,
     {"the page address holds a control character: type it again",
      "版本页地址里有控制字符：请重新输入"}},
    {Message::kPageUnreadable,
     {"the page address {1} is none the launcher can fetch: it needs a host (letters, digits, "
      "\"-\", \".\"), an optional port from 1 to 65535, then a path starting with \"/\"",
      "启动器无法读取版本页地址 {1}：它需要主机名（字母、数字、\"-\"、\".\"），可选的端口（1 到 "
      "65535），然后是以\"/\"开头的路径"}},
    {Message::kNoBackupInEarlier,
     {"this launcher is of an earlier release and cannot carry a backup key: take launcher.exe of "
      "this release",
      "这是较早发布的启动器，无法携带备用公钥：请使用这次发布包里的 launcher.exe"}},
    {Message::kBackupAlone,
     {"a backup key needs a public key beside it: give --public-key too",
      "备用公钥需要和主公钥一起使用：请同时给出 --public-key"}},
    {Message::kBackupIsMain,
     {"the backup key is the public key itself: make a second key with keygen",
      "备用公钥与主公钥相同：请用 keygen 再生成一对密钥"}},
    {Message::kVersionEmpty,
     {"the version is empty: give --version", "版本是空的：请给出 --version"}},
    {Message::kVersionTooLong,
     {"the version has {1} bytes; at most {2} fit the launcher. Give a shorter version",
      "版本有 {1} 字节；启动器最多只能存放 {2} 字节。请换一个较短的版本"}},
    {Message::kExamplePage,
     {"{1} (the example page, which asks nobody: not stamped yet)",
      "{1}（示例版本页，不会去问任何服务器：还没有用 stamp 写入您的地址）"}},
    {Message::kNoKeyUnsigned, {"none (updates are taken unsigned)", "没有（接受未签名的更新）"}},
    {Message::kFieldPage, {"version page", "版本页"}},
    {Message::kFieldKey, {"public key", "公钥"}},
    {Message::kFieldBackupKey, {"backup key", "备用公钥"}},
    {Message::kFieldVersion, {"version", "版本"}},
    {Message::kFieldOrder, {"version order", "版本比较方式"}},
    {Message::kEarlierOrder,
     {"letter by letter (5.10 before 5.9): a launcher of an earlier release, which carries no "
      "backup key",
      "逐个字符比较（5.10 排在 5.9 之前）：较早发布的启动器，不能携带备用公钥"}},
    {Message::kNone, {"none", "没有"}},
    {Message::kNothingChanged, {"  nothing changed\n", "  没有任何改变\n"}},
    // serve
    {Message::kBadPort,
     {"--port must be a number from 1 to 65535", "--port 必须是 1 到 65535 之间的数字"}},
    {Message::kCannotListen,
     {"cannot listen on {1}: {2}. Is the port in use? Give another --port",
      "无法在 {1} 上监听：{2}。端口是否已被占用？请换一个 --port"}},
    {Message::kServing,
     {"serving {1} read-only at {2} (Ctrl+C ends)", "以只读方式在 {2} 提供 {1}（按 Ctrl+C 结束）"}},
    // verify
    {Message::kPageNoAnswer,
     {"cannot fetch {1}: no answer, or a page over 1 MiB or headers over 64 KiB, which a launcher "
      "reads as no page at all. Check the address, and that the server is running",
      "无法获取 {1}：没有回答，或者版本页超过 1 MiB、响应头超过 64 "
      "KiB，启动器会当作没有版本页。请检查地址，以及服务器是否在运行"}},
    {Message::kPageEmptyAnswer,
     {"cannot fetch {1}: the server answers {2} with no text. Upload version.html to that address, "
      "then verify again",
      "无法获取 {1}：服务器回答 {2}，但没有内容。请把 version.html 上传到这个地址，然后再运行 "
      "verify"}},
    {Message::kPageNoText,
     {"{1} holds no text before its first zero byte: give the version.html pack wrote",
      "{1} 在第一个零字节之前没有文字：请给出 pack 写出的 version.html"}},
    {Message::kKeyNotAKey,
     {"the public key is no public key of this tool: give the line keygen or pubkey printed",
      "公钥不是本工具的公钥：请给出 keygen 或 pubkey 打印的那一行"}},
    {Message::kNoPageSignature,
     {"the page has no signature ({1}), which names the version page: pack the release again with "
      "this tool; a launcher with a key ignores it",
      "版本页没有包含版本页地址的签名（{1}"
      "）：请用本工具重新打包这次发布；带公钥的启动器会忽略这个版本页"}},
    {Message::kNoSignature,
     {"the page has no signature ({1}); a launcher with a key ignores it. Pack the release again "
      "with this tool",
      "版本页没有签名（{1}）；带公钥的启动器会忽略它。请用本工具重新打包这次发布"}},
    {Message::kSignatureNotASignature,
     {"the page's signature ({1}) is no signature of this tool: upload the version.html pack wrote",
      "版本页的签名（{1}）不是本工具的签名：请上传 pack 写出的 version.html"}},
    {Message::kSizeNotANumber,
     {"the page's package size ({1}) is no number of bytes: upload the version.html pack wrote",
      "版本页的包大小（{1}）不是字节数：请上传 pack 写出的 version.html"}},
    {Message::kDigestNotADigest,
     {"the page's package digest ({1}) is no digest of this tool: upload the version.html pack "
      "wrote",
      "版本页的包摘要（{1}）不是本工具的摘要：请上传 pack 写出的 version.html"}},
    {Message::kSizeDiffers,
     {"{1} says {2} bytes, but {3} has {4}: it was changed or cut short, or is another release's "
      "package. Upload the package pack wrote with this page",
      "{1} 写的是 {2} 字节，但 {3} 有 {4} 字节：它被改动或不完整，或者是别的发布的包。请上传 pack "
      "与这个版本页一起写出的包"}},
    {Message::kDigestDiffers,
     {"{1} is not the digest of {2}: it was changed, or is another release's package. Upload the "
      "package pack wrote with this page",
      "{1} 不是 {2} 的摘要：它被改动过，或者是别的发布的包。请上传 pack 与这个版本页一起写出的包"}},
    {Message::kPageNamesNoPackage,
     {"the page names no package ({1})", "版本页没有写明更新包（{1}）"}},
    {Message::kOtherPackageName,
     {"the page's package address ({1}) ends with {2}, not with the name of {3}",
      "版本页的包地址（{1}）以 {2} 结尾，而不是 {3} 的名字"}},
    {Message::kLauncherNotInPackage,
     {"{1} names {2}, which {3} does not hold at its top",
      "{1} 写的是 {2}，但 {3} 的最上层没有这个文件"}},
    {Message::kLauncherVersionDiffers,
     {"{1} says {2}, but {3} in the package carries {4}",
      "{1} 写的是 {2}，但包里的 {3} 携带的版本是 {4}"}},
    {Message::kLedgerEmpty,
     {"the release ledger records no release yet: give --launcher FILE (the launcher players "
      "have), --public-key KEY, or --ledger DIR",
      "发布记录里还没有任何发布：请给出 --launcher FILE（玩家手上的启动器）、--public-key KEY 或 "
      "--ledger DIR"}},
    {Message::kLauncherTakesAny,
     {"{1} carries no public key: its players take any package unchecked. Stamp the launcher you "
      "ship with --public-key",
      "{1} 没有携带公钥：它的玩家会不加检查地接受任何包。请用 stamp --public-key "
      "给您发出的启动器写入公钥"}},
    {Message::kKeyNotCarried,
     {"--public-key {1} is not the key {2} carries ({3})",
      "--public-key {1} 不是 {2} 携带的公钥（{3}）"}},
    {Message::kLauncherReadsOtherPage,
     {"{1} reads its version page at {2}, not at {3}: its players never see this page",
      "{1} 读取的版本页在 {2}，不在 {3}：它的玩家永远看不到这个版本页"}},
    {Message::kLocalPageNeedsPackage,
     {"give --package FILE to check a package before upload, or --page as the page's web address "
      "to check what players download",
      "上传之前请用 --package FILE 检查本地的包；或者把 --page "
      "给成版本页的网址，检查玩家下载到的内容"}},
    {Message::kPageUnchecked,
     {"note: without --launcher the version page the release is signed for is not checked; give "
      "--launcher with the launcher players have to check it too\n",
      "说明：没有 --launcher 时不检查发布签名所针对的版本页；要一起检查，请用 --launcher "
      "给出玩家手上的启动器\n"}},
    {Message::kNotOffered,
     {"{1} says {2}, which does not sort after the version {3} carries ({4}): its players are not "
      "offered this release",
      "{1} 写的是 {2}，没有排在 {3} 携带的版本（{4}）之后：它的玩家不会收到这个发布"}},
    {Message::kPackageAddressBad,
     {"the page's package address ({1}) is none the launcher can download",
      "版本页的包地址（{1}）不是启动器能下载的地址"}},
    {Message::kThePackageAt, {"the package at {1}", "{1} 处的更新包"}},
    {Message::kPackageLonger,
     {"{1} says {2} bytes, but {3} is longer: it was changed, or is another release's package",
      "{1} 写的是 {2} 字节，但 {3} 更长：它被改动过，或者是别的发布的包"}},
    {Message::kOtherNameUnsigned,
     {"{1}, and the signature does not match the page", "{1}，而且签名与版本页不符"}},
    {Message::kSignedForOtherPage,
     {"the signature ({1}) names another version page than {2}, the one players read: the release "
      "was packed for another game's page or with another --page. Pack it again for this page",
      "签名（{1}）针对的版本页不是玩家读取的 {2}：这次发布是为别的游戏的版本页、或用别的 --page "
      "打包的。请为这个版本页重新打包"}},
    {Message::kSignatureMismatch,
     {"the signature ({1}) does not match the page: its version, launcher or package address was "
      "changed after signing, it was signed for another version page, or another key signed it",
      "签名（{1}"
      "）与版本页不符：签名之后版本、启动器或包地址被改动过，或者它是为别的版本页签名的，或者是用别"
      "的私钥签名的"}},
    {Message::kVerifyOk,
     {"OK: {1} is signed for this key; the page announces version {2}",
      "正确：{1} 的签名与这个公钥相符；版本页宣布的版本是 {2}"}},
    {Message::kVerifyOffered,
     {", which players of {1} (version {2}) are offered: they get version {3} now",
      "，{1}（版本 {2}）的玩家会收到它：他们现在会得到版本 {3}"}},
    {Message::kListPlaceMalformed,
     {"the page's entry list ({1}) is not an offset, a length and a digest: pack the release "
      "again and upload its version.html",
      "版本页的条目清单（{1}）不是偏移、长度和摘要：请重新打包这次发布，并上传它的 version.html"}},
    {Message::kListPastEnd,
     {"{1} places the list past the end of the package: upload the package and the version.html "
      "of the same release",
      "{1} 指向的清单超出了更新包的末尾：请上传同一次发布的更新包和 version.html"}},
    {Message::kListDigestDiffers,
     {"{1} is not the digest of the bytes it places: the package was changed, or is another "
      "release's; upload the package and the version.html of the same release",
      "{1} 与它指向的内容的摘要不符：更新包被改动过，或是另一次发布的；请上传同一次发布的"
      "更新包和 version.html"}},
    {Message::kListNotAList,
     {"{1} places no list of entries: pack the release again",
      "{1} 指向的不是条目清单：请重新打包这次发布"}},
    {Message::kListNotAsPacked,
     {"the package's list of its entries ({1}) does not name its entries as they are: pack the "
      "release again",
      "更新包的条目清单（{1}）与包里的条目不符：请重新打包这次发布"}},
    {Message::kNoListForFolder,
     {"the page names no list of entries ({1}): every launcher fetches the whole package",
      "版本页没有条目清单（{1}）：每个启动器都会下载整个更新包"}},
    {Message::kEntryBytes, {"  {1}  ({2} bytes)\n", "  {1}  （{2} 字节）\n"}},
    {Message::kFolderFetches,
     {"a launcher in {1} fetches {2} of {3} entries: {4} bytes of the package's {5}, in {6}",
      "{1} 里的启动器下载 {3} 个条目中的 {2} 个：更新包 {5} 字节中的 {4} 字节，共 {6}"}},
    {Message::kOneRequest, {"1 request", "1 次请求"}},
    {Message::kRequests, {"{1} requests", "{1} 次请求"}},
    {Message::kNothingDiffers,
     {" (nothing differs: it takes the whole package)", "（没有不同：它会下载整个更新包）"}},
    // pack
    {Message::kUrlNotWeb,
     {"--url must start with http:// or https://", "--url 必须以 http:// 或 https:// 开头"}},
    {Message::kUrlNotDownloadable,
     {"--url is no address the launcher can download (a host, then a path)",
      "--url 不是启动器能下载的地址（需要主机名，然后是路径）"}},
    {Message::kUrlNoFileName,
     {"--url must end with the package's file name (after the last \"/\"), such as "
      "update-{1}.zip",
      "--url 必须以更新包的文件名结尾（最后一个\"/\"之后的部分），例如 update-{1}.zip"}},
    {Message::kUrlIsPageName,
     {"--url must not end with {1}, the version page's own name: name the package "
      "update-{2}.zip",
      "--url 不能以版本页自己的名字 {1} 结尾：请把更新包命名为 update-{2}.zip"}},
    {Message::kLauncherInFolder,
     {"--launcher must name a file at the top of --from, without a folder",
      "--launcher 必须是 --from 文件夹最上层的一个文件名，不能带文件夹"}},
    {Message::kPageNotReadable,
     {"--page is no version page address a launcher can read (http:// or https://, a host, then "
      "a path)",
      "--page 不是启动器能读取的版本页地址（http:// 或 https://、主机名，然后是路径）"}},
    {Message::kNewLauncherReadsOtherPage,
     {"the new launcher reads its version page at {1}: after this release its players look for "
      "updates there, not at {2}. If they should look at {2}, stamp the new launcher with --page "
      "{2} first\n",
      "新启动器读取的版本页在 {1}：这次发布之后，它的玩家会在那里查找更新，而不是在 {2}。"
      "如果应该在 {2} 查找，请先用 stamp --page {2} 给新启动器写入这个地址\n"}},
    {Message::kSignedBesidePackage,
     {"note: the release is signed for the version page {1} beside the package; give --page "
      "when players read another\n",
      "说明：这次发布签名针对的是更新包旁边的版本页 {1}；玩家读取的是别的版本页时，请给出 "
      "--page\n"}},
    {Message::kPacking,
     {"packing: {1} of {2} files, {3} of {4} MiB", "正在打包：{1}/{2} 个文件，{3}/{4} MiB"}},
    {Message::kSecretInsideFrom,
     {"--secret {1} lies inside --from {2}: the secret key would be published. Keep it outside "
      "the folder to pack",
      "--secret {1} 在 --from {2} 里面：私钥会被发布出去。请把它放在要打包的文件夹之外"}},
    {Message::kOutInsideFrom,
     {"--out {1} lies inside --from {2}: the next package would hold this one. Choose a folder "
      "outside it",
      "--out {1} 在 --from {2} 里面：下一次的更新包会把这次的包也装进去。请换一个在它外面的"
      "文件夹"}},
    {Message::kCannotReadBack,
     {"cannot read back {1}, just written: check that the drive has room, and pack again",
      "无法读回刚写出的 {1}：请检查磁盘空间是否足够，然后重新打包"}},
    {Message::kKeyFileSignsWrong,
     {"{1} is damaged: what it signs does not check out with its own public key. Take the file "
      "from your backup",
      "{1} 已损坏：用它签名的内容与它自己的公钥不符。请从备份中取回这个文件"}},
    {Message::kOneFile, {"1 file", "1 个文件"}},
    {Message::kFiles, {"{1} files", "{1} 个文件"}},
    {Message::kPacked,
     {"packed {1}, {2} bytes ({3} MiB) into {4}\n", "已把 {1}（{2} 字节，{3} MiB）打包到 {4}\n"}},
    {Message::kPageWritten,
     {"wrote {1}, version {2}, signed for the public key {3} and the version page {4}\n",
      "已写出 {1}：版本 {2}，签名对应的公钥是 {3}，版本页是 {4}\n"}},
    {Message::kHoldsNo936,
     {"{1} holds a character that code page 936 cannot hold (Chinese Windows): write it "
      "without",
      "{1} 里有代码页 936（简体中文 Windows）写不出的字符：请去掉这个字符"}},
    {Message::kHoldsLessThan,
     {"{1} holds \"<\", which would end it early on the launcher's side: write it without",
      "{1} 里有\"<\"，启动器读到它就会认为内容结束了：请去掉它"}},
    {Message::kHoldsMarker,
     {"{1} holds the marker {2}, which the launcher would take for that field: write it "
      "without",
      "{1} 里有标记 {2}，启动器会把它当作那个字段：请去掉它"}},
    // the new launcher
    {Message::kCannotReadWhole,
     {"{1} cannot be read whole: another program may be changing it. Pack again when it is done",
      "无法完整读取 {1}：可能有别的程序正在改动它。请等它完成后再打包"}},
    {Message::kCarriesKey, {"carries the public key {1}", "携带的公钥是 {1}"}},
    {Message::kCarriesNoKey, {"carries no public key", "没有携带公钥"}},
    {Message::kLauncherLacksKey,
     {"{1} {2}, not {3}, the one --secret signs with: after this release its players could take "
      "no update signed with that key. Put a copy of the launcher players have in the folder (the "
      "release ledger keeps one), and sign with the secret key of the key it carries",
      "{1} {2}，不是 --secret 签名所用的公钥 {3}：这次发布之后，它的玩家将不接受用这把私钥签名的"
      "更新。请把玩家手上的启动器的副本放进文件夹（发布记录里保存着一份），并用它携带的公钥"
      "所对应的私钥签名"}},
    {Message::kStillExamplePage,
     {"{1} still reads the example version page {2}: its players would never hear of another "
      "update. Stamp it with --page and your version page's address first",
      "{1} 读取的还是示例版本页 {2}：它的玩家再也不会知道有新的更新。请先用 stamp --page "
      "给它写入您的版本页地址"}},
    {Message::kNotAfterCarried,
     {"--version {1} does not sort after the version {2} carries ({3}), so its players would not "
      "be offered this release. Give a later --version",
      "--version {1} 没有排在 {2} 携带的版本（{3}）之后，它的玩家不会收到这个发布。请给一个更靠后"
      "的 --version"}},
    {Message::kNoLauncherFile,
     {"no file {1} at the top of the folder to pack: put the new launcher there, or give its "
      "name in --launcher",
      "要打包的文件夹最上层没有文件 {1}：请把新启动器放在那里，或者在 --launcher 中给出它的名字"}},
    {Message::kNotThisLauncherKind,
     {"{1} is no launcher of this kind: unless it replaces the launcher, players will be offered "
      "this release again\n",
      "{1} 不是这种启动器：除非它会替换启动器，否则玩家会一再收到这个发布\n"}},
    {Message::kFileNotRead, {"the file could not be read", "无法读取这个文件"}},
    {Message::kFileNotReadAgain, {"the file could not be read again", "无法再次读取这个文件"}},
    {Message::kFileEndedEarly,
     {"the file ended before its {1} bytes", "文件不到 {1} 字节就结束了"}},
    // the folder to pack
    {Message::kCannotListBecause,
     {"cannot list the folder {1}: {2}", "无法列出文件夹 {1} 的内容：{2}"}},
    {Message::kCannotList,
     {"cannot list the folder {1}: check that you may read it",
      "无法列出文件夹 {1} 的内容："
      "请检查您是否有权读取它"}},
    {Message::kNameWithBackslash,
     {"{1}: a name with a backslash would become a folder on Windows. Rename it",
      "{1}：名字里有反斜杠，在 Windows 上会变成文件夹。请给它改名"}},
    {Message::kNameNot936,
     {"{1}: the name has a character that code page 936 cannot hold (Chinese Windows). Rename it",
      "{1}：名字里有代码页 936（简体中文 Windows）写不出的字符。请给它改名"}},
    {Message::kNeitherFileNorFolder,
     {"{1}: neither a file nor a folder. Move it out of the folder to pack",
      "{1}：既不是文件也不是文件夹。请把它移出要打包的文件夹"}},
    {Message::kSymbolicLinks,
     {"{1}: symbolic links are not packed (one could pull in any file, such as the secret key); "
      "put the files themselves in the folder",
      "{1}：符号链接不会被打包（它可能带进任何文件，比如私钥）；请把文件本身放进文件夹"}},
    {Message::kWindowsRefusesName,
     {"{1}: Windows does not allow this name. Rename it",
      "{1}：Windows 不允许这个名字。请给它改名"}},
    {Message::kNameEndsInDotOrSpace,
     {"{1}: the name ends in a dot or a space, which Windows drops (it would become another "
      "name). Rename it",
      "{1}：名字以点或空格结尾，Windows 会去掉它（变成另一个名字）。请给它改名"}},
    {Message::kPathTooLong,
     {"{1}: the path has {2} characters; at most {3} leave room for the game folder's own path "
      "within Windows' limit of 260. Give it a shorter path",
      "{1}：路径有 {2} 个字符；最多 {3} 个，才能给游戏文件夹自己的路径留出空间"
      "（Windows 的上限是 260）。请缩短它的路径"}},
    {Message::kFolderAndFileOneName,
     {"{1} and {2}: a folder and a file of one name; on Windows only one of them can be there. "
      "Rename one",
      "{1} 和 {2}：文件夹和文件同名，在 Windows 上只能有其中一个。请给其中一个改名"}},
    {Message::kDifferInCase,
     {"{1} and {2} differ only in letter case; on Windows one would overwrite the other. Rename "
      "one",
      "{1} 和 {2} 只有大小写不同，在 Windows 上一个会覆盖另一个。请给其中一个改名"}},
    {Message::kNameOfJournal,
     {"{1}: the launcher keeps its update journal under this name; a release may not hold it. "
      "Rename it",
      "{1}：启动器用这个名字保存更新日志，发布里不能有它。请给它改名"}},
    {Message::kNameOfUnreadableJournal,
     {"{1}: the launcher sets an update journal it cannot read aside under this name; a release "
      "may not hold it. Rename it",
      "{1}：启动器把读不了的更新日志改成这个名字放在一边，发布里不能有它。请给它改名"}},
    {Message::kNameOfKeptPackage,
     {"{1}: the launcher keeps its record of a package it could not apply yet under this name; "
      "a release may not hold it. Rename it",
      "{1}：启动器用这个名字记下还没能安装的更新包，发布里不能有它。请给它改名"}},
    {Message::kNameOfFreshRecord,
     {"{1}: the launcher writes its update journal or package record afresh under this name; a "
      "release may not hold it. Rename it",
      "{1}：启动器重新写更新日志或更新包记录时用这个名字，发布里不能有它。请给它改名"}},
    {Message::kNameOfPackage,
     {"{1}: the launcher downloads the package (the last part of --url) under this name; a "
      "release may not hold it. Rename it, or give the package another name in --url",
      "{1}：启动器用这个名字下载更新包（--url 的最后一段），发布里不能有它。请给它改名，"
      "或者在 --url 中给更新包换一个名字"}},
    {Message::kNameOfPartialPackage,
     {"{1}: the launcher downloads the package under this name until it is whole; a release may "
      "not hold it. Rename it, or give the package another name in --url",
      "{1}：启动器在更新包下载完之前用这个名字，发布里不能有它。请给它改名，"
      "或者在 --url 中给更新包换一个名字"}},
    {Message::kNameOfResumeNote,
     {"{1}: the launcher notes where a broken-off download stopped under this name; a release "
      "may not hold it. Rename it",
      "{1}：启动器用这个名字记下中断的下载停在哪里，发布里不能有它。请给它改名"}},
    {Message::kNameOfEntryList,
     {"{1}: the package lists its entries under this name; a release may not hold it. Rename it",
      "{1}：更新包用这个名字列出它的条目，发布里不能有它。请给它改名"}},
    {Message::kNameOfFetchedEntries,
     {"{1}: the launcher gathers the entries it fetches of the package under this name; a "
      "release may not hold it. Rename it",
      "{1}：启动器用这个名字收集它下载的更新包条目，发布里不能有它。请给它改名"}},
    {Message::kNameOfStaging,
     {"{1}: the launcher unpacks each file under its name with {2} first; a release may not hold "
      "it. Rename it",
      "{1}：启动器先把每个文件解压成它的名字加 {2}，发布里不能有它。请给它改名"}},
    {Message::kNameOfBackup,
     {"{1}: the launcher keeps each file it replaces under its name with {2} until the update is "
      "whole; a release may not hold it. Rename it",
      "{1}：启动器在更新完成之前把被替换的文件保存为它的名字加 {2}，发布里不能有它。"
      "请给它改名"}},
    {Message::kNameOfLauncherFile,
     {"{1}: the launcher uses this name for a file of its own; a release may not hold it. Rename "
      "it",
      "{1}：启动器自己的文件用这个名字，发布里不能有它。请给它改名"}},
    {Message::kJournalTooSmall,
     {"{1} files and folders are more than the launcher can list in its update journal (at most "
      "{2} MiB, some 4 times each name's length and 80 bytes a file); pack fewer files, or give "
      "them shorter paths",
      "{1} 个文件和文件夹超出了启动器更新日志能列出的范围（最多 {2} MiB，每个文件约为名字长度的 "
      "4 倍再加 80 字节）；请少打包一些文件，或者缩短它们的路径"}},
    {Message::kCannotOpen,
     {"{1} cannot be opened: close the program that holds it, and pack again",
      "无法打开 {1}：请关闭占用它的程序，然后重新打包"}},
    {Message::kOneSecretKey,
     {"{1} is or holds a secret key: published, it would let anyone sign updates your players' "
      "launchers run. Keep keys out of the folder to pack",
      "{1} 是私钥或含有私钥：一旦发布，任何人都能签名让玩家的启动器运行的更新。请把私钥放在要打包"
      "的文件夹之外"}},
    {Message::kSecretKeys,
     {"{1} are or hold secret keys: published, they would let anyone sign updates your players' "
      "launchers run. Keep keys out of the folder to pack",
      "{1} 是私钥或含有私钥：一旦发布，任何人都能签名让玩家的启动器运行的更新。请把私钥放在要打包"
      "的文件夹之外"}},
    // writing the package
    {Message::kCannotWritePackage,
     {"cannot write {1}: {2}. Check that the drive has room and that no program holds the file",
      "无法写入 {1}：{2}。请检查磁盘空间，以及是否有程序占用这个文件"}},
    {Message::kCannotAdd,
     {"cannot add {1} to the package: {2}. Check that the drive has room, and pack again",
      "无法把 {1} 加入更新包：{2}。请检查磁盘空间，然后重新打包"}},
    {Message::kCannotAddNoMemory,
     {"cannot add {1} to the package: not enough memory. Close other programs and pack again",
      "无法把 {1} 加入更新包：内存不足。请关闭其他程序，然后重新打包"}},
    {Message::kUnreadableNoMemory,
     {"{1} cannot be read: not enough memory. Close other programs and pack again",
      "无法读取 {1}：内存不足。请关闭其他程序，然后重新打包"}},
    {Message::kChangedSize,
     {"{1} changed size while being packed: a program is writing it. Close that program and pack "
      "again",
      "{1} 在打包过程中大小变了：有程序正在写它。请关闭那个程序，然后重新打包"}},
    {Message::kPackageReadsBackWrong,
     {"the package just written does not read back as it was written: pack again; when this "
      "happens again, check the drive",
      "刚写出的更新包读回来与写入的不一致：请重新打包；如果再次发生，请检查磁盘"}},
    {Message::kNamesNotKept,
     {"{1} does not keep its names in code page 936 (Chinese Windows), as launchers read them: "
      "pack again; when this happens again, check the drive",
      "{1} 没有按启动器读取的代码页 936（简体中文 Windows）保存名字：请重新打包；如果再次发生，"
      "请检查磁盘"}},
    // the release ledger
    {Message::kLedgerLineNoRecord,
     {"line {1} of the release ledger is no record", "发布记录的第 {1} 行不是一条记录"}},
    {Message::kLedgerDamaged,
     {"{1}: {2}. Restore the file from your backup; it is written by pack only",
      "{1}：{2}。请从备份中恢复这个文件；它只由 pack 写入"}},
    {Message::kLedgerCopyDamaged,
     {"the release ledger's copy of the launcher players have, {1}: {2}. Restore the ledger "
      "folder from your backup",
      "发布记录里保存的玩家启动器副本 {1}：{2}。请从备份中恢复发布记录文件夹"}},
    {Message::kLauncherCopyAt, {"{1} ({2})", "{1}（{2}）"}},
    // fetching the package
    {Message::kNoTemporaryName,
     {"no free temporary name in {1}: delete the tavoro-verify files there, and verify again",
      "{1} 里没有可用的临时文件名：请删除那里的 tavoro-verify 文件，然后再运行 verify"}},
    {Message::kCannotDownloadPackage,
     {"cannot download the package {1}: {2}", "无法下载更新包 {1}：{2}"}},
    {Message::kPackageNoAnswer,
     {"no answer (unreachable, or the connection broke off). Check the address, and that the "
      "server is running",
      "没有回答（无法连接，或连接中断）。请检查地址，以及服务器是否在运行"}},
    {Message::kTransferBrokeOff,
     {"the transfer broke off before its end (the server answers {1}). Verify again",
      "下载在结束之前中断了（服务器回答 {1}）。请再运行一次 verify"}},
    {Message::kServerAnswers,
     {"the server answers {1}: check the package's address on the page and the upload",
      "服务器回答 {1}：请检查版本页上的包地址，以及包是否已上传"}},
    // lists
    {Message::kListComma, {", ", "、"}},
    {Message::kListOr, {" or ", " 或 "}},
}};

// Each entry at its message's place, so that no text is said for another.
constexpr bool inMessageOrder() {
  for (std::size_t i = 0; i < kTexts.size(); ++i) {
    if (kTexts[i].message != static_cast<Message>(i))
      return false;
  }
  return true;
}
static_assert(inMessageOrder(), "kTexts lists a message out of its order");

}  // namespace

const MessageTexts& textsOf(Message message) {
  return kTexts[static_cast<std::size_t>(message)].texts;
}

Language languageOfLocale(std::string_view locale) {
  return locale.starts_with("zh") ? Language::kChinese : Language::kEnglish;
}

Language languageOfLangId(std::uint16_t langId) {
  constexpr std::uint16_t kPrimaryMask = 0x3FF;
  constexpr std::uint16_t kChinesePrimary = 0x04;
  return (langId & kPrimaryMask) == kChinesePrimary ? Language::kChinese : Language::kEnglish;
}

std::string filledIn(std::string_view text, std::span<const std::string> values,
                     const std::function<std::string(std::string_view)>& local) {
  std::string said;
  std::size_t segment = 0;
  // Placeholders only at a character's start: a trail byte may be "{".
  for (std::size_t i = 0; i < text.size(); i += base::characterWidth(text, i)) {
    const bool placeholder = text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' &&
                             text[i + 1] >= '1' &&
                             static_cast<std::size_t>(text[i + 1] - '1') < values.size();
    if (!placeholder)
      continue;
    said += local(text.substr(segment, i - segment));
    said += values[text[i + 1] - '1'];
    segment = i + 3;
    i += 2;  // and the step over "}"
  }
  return said + local(text.substr(segment));
}

std::string say(Tools& tools, Message message, std::span<const std::string> values) {
  const MessageTexts& texts = textsOf(message);
  const bool chinese = tools.system.userLanguage() == Language::kChinese;
  return filledIn(chinese ? texts.chinese : texts.english, values,
                  [&](std::string_view part) { return tools.text.cp936ToLocal(part); });
}

std::string say(Tools& tools, Message message, std::initializer_list<std::string> values) {
  return say(tools, message, std::span<const std::string>(values.begin(), values.size()));
}

Refusal::Refusal(Message message, std::vector<std::string> values)
    : std::runtime_error(filledIn(textsOf(message).english, values,
                                  [](std::string_view part) { return std::string(part); })),
      message_(message),
      values_(std::move(values)) {}

std::string Refusal::said(Tools& tools) const {
  return message_ ? say(tools, *message_, values_) : std::string(what());
}

}  // namespace publisher
