#include "publisher/messages.h"

#include "base/cp936.h"

namespace publisher {
namespace {

// In the order of Message. No build-system words: a publisher reads these.
// A command's help has no English here: it is the command's own
// description.
constexpr std::array<MessageTexts, static_cast<std::size_t>(Message::kCount)> kTexts = {{
    {"{1}: publishes signed updates of the launcher.\n\n", "{1}：发布启动器的签名更新。\n\n"},
    {"Exit status: 0 done, 1 refused or failed (the reason is printed), 2 bad call.\n",
     "退出码：0 完成；1 被拒绝或失败（会打印原因）；2 用法错误。\n"},
    {"usage: ", "用法："},
    {"unknown command \"{1}\"", "没有命令\"{1}\""},
    {"failed: {1}", "失败：{1}"},
    {"warning: ", "注意："},
    // keygen
    {"",
     "      生成一对密钥：把私钥写入 FILE（FILE 必须还不存在，缺少的文件夹会自动创建），\n"
     "      并打印公钥（一行文字），用于 stamp 的 --public-key 或 --backup-key。\n"},
    // pubkey
    {"", "      打印 keygen 生成的私钥文件 FILE 对应的公钥（一行文字），与 keygen 打印的相同。\n"},
    // stamp
    {"",
     "      写出启动器的一个副本：它读取 URL 处的版本页（http:// 或 https://、主机名、路径，\n"
     "      最多 511 字节）；给出 KEY 时只接受用这个公钥签名的更新包，不给时沿用\n"
     "      LAUNCHER.exe 的公钥。KEY2 是第二个公钥，对应的私钥离线保管：用它签名的发布\n"
     "      同样被接受，供主私钥丢失时使用。V 是副本自己的版本，发布的版本必须排在它之后\n"
     "      （数字逐段比较：5.10 在 5.9 之后）；不给时沿用 LAUNCHER.exe 的版本（出厂为\n"
     "      5.0）。打印副本携带的内容和被替换的内容。LAUNCHER.exe 整个读入，最多 64 MiB。\n"},
    // show
    {"",
     "      打印启动器 FILE 携带的版本页地址、公钥和版本，或说明 FILE 不是启动器。\n"
     "      FILE 分块读取：任何大小的文件都只占很少的内存。\n"},
    // pack
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
     "      玩家启动器不接受的密钥、别的发布用过的包地址或包文件，都会被拒绝。\n"},
    // verify
    {"",
     "      像启动器一样检查版本页和更新包，并指出不符合的版本页字段：签名包含版本页、\n"
     "      版本、新启动器名称、包名、大小和摘要。给出 http(s):// 地址时，先下载版本页，\n"
     "      再像启动器一样下载其更新地址处的包；--package FILE 改为检查本地的包（上传之前；\n"
     "      版本页可以是 UTF-8 文件）。密钥取自 --launcher FILE（玩家现在手上的启动器），\n"
     "      发布还必须符合它的版本页地址和版本；或者取 KEY。两者都不给时，用发布记录\n"
     "      LEDGER（默认是当前文件夹下的 release-ledger）里这次发布之前的启动器。\n"
     "      退出码 0：玩家会收到这个发布；1：不会，并说明原因。\n"},
    // serve
    {"",
     "      在端口 N 上用 http 提供 DIR 里的文件（例如 pack 的输出），用于在本机彩排更新：\n"
     "      只读、不列出目录、不跟随符号链接，只在 127.0.0.1 上，除非 --bind 指定另一个\n"
     "      本机 IPv4 地址。支持单个范围请求（206），并发送 ETag 和 Last-Modified，可以\n"
     "      彩排断点续传。最多同时回答 {1} 个连接；请求 {2} 秒内没有完整到达、或回答中\n"
     "      任何 64 KiB 超过 {3} 秒没有送出的连接会被断开。每个请求都会打印；按 Ctrl+C 结束。\n"},
    {"the server at {1} answers {2}: the version page was not uploaded there. Upload "
     "version.html to that address, then verify again",
     "{1} 的服务器回答 {2}：版本页还没有上传到这个地址。请把 version.html 上传到那里，"
     "然后再运行 verify"},
    {"the server answers {1}: the package was not uploaded there. Upload it to that address, "
     "then verify again",
     "服务器回答 {1}：更新包还没有上传到这个地址。请把它上传到那里，然后再运行 verify"},
    {"players have {1}, which carries the public key {2}{3}{4}; --secret {5} is the secret key "
     "of {6}, whose releases those players refuse. Sign with the secret key of a key it carries. "
     "When none is left, read the guide's part on a lost key",
     "玩家手上是{1}，它携带的公钥是 {2}{3}{4}；--secret {5} 是公钥 {6} 的私钥，"
     "这些玩家不接受用它签名的发布。请用它携带的公钥所对应的私钥签名；"
     "两把私钥都丢失时，请阅读发布指南中\"私钥丢失\"一节"},
    {" (release {1} was signed with {2})", "（发布 {1} 用 {2} 签名）"},
    {" and the backup key {1}", "，备用公钥是 {1}"},
    {"--version {1} does not sort after {2}, the version of {3}, so its players would not be "
     "offered this release",
     "--version {1} 没有排在 {2}（{3}的版本）之后，玩家不会收到这个发布"},
    {"--version {1} does not sort after {2}, the last release packed",
     "--version {1} 没有排在上一次打包的发布 {2} 之后"},
    {". Versions that would be: {1}", "。可以用的版本：{1}"},
    {"players who still have a launcher of version {1}, which compares versions as text, will "
     "not be offered {2}",
     "仍在使用版本 {1} 的启动器（按文字比较版本）的玩家不会收到 {2}"},
    {"; versions they would be offered: {1}", "；他们会收到的版本：{1}"},
    {"the package address {1} was used by release {2}: players who check between the two "
     "uploads would download the new package against the old page and refuse it. Give the "
     "package a new name, such as update-{3}.zip",
     "包的地址 {1} 已被发布 {2} 用过：在两次上传之间检查更新的玩家会按旧的版本页下载到新包，"
     "并拒绝它。请给包起一个新名字，例如 update-{3}.zip"},
    {"{1} already holds another package, which players may be downloading now. Give this "
     "release's package a new name in --url, or move the old file away",
     "{1} 里已经是另一个包，玩家可能正在下载它。请在 --url 中给这次的包起一个新名字，"
     "或者把旧文件移走"},
    {"{1} \"{2}\" has a blank at its start or end, which would become part of the address: "
     "give it without",
     "{1} \"{2}\" 的开头或结尾有空格，空格会成为地址的一部分：请去掉它"},
    {"{1} is saved as UTF-8 with a byte order mark: the launcher reads it as GBK (code page "
     "936), and players would see garbled names. Open it in Notepad, choose Save As with the "
     "encoding ANSI (on a Chinese Windows), and pack again",
     "{1} 存成了带字节顺序标记的 UTF-8：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
     "请用记事本打开，\"另存为\"选择 ANSI 编码（简体中文 Windows），再重新打包"},
    {"{1} is saved as Unicode (UTF-16): the launcher reads it as GBK (code page 936), and "
     "players would see garbled names. Open it in Notepad, choose Save As with the encoding "
     "ANSI (on a Chinese Windows), and pack again",
     "{1} 存成了 Unicode（UTF-16）：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
     "请用记事本打开，\"另存为\"选择 ANSI 编码（简体中文 Windows），再重新打包"},
    {"{1} is saved as UTF-8: the launcher reads it as GBK (code page 936), and players would "
     "see garbled names. Open it in Notepad, choose Save As with the encoding ANSI (on a "
     "Chinese Windows), and pack again",
     "{1} 存成了 UTF-8：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
     "请用记事本打开，\"另存为\"选择 ANSI 编码（简体中文 Windows），再重新打包"},
    {"{1} is no GBK text: the launcher reads it as GBK (code page 936), and players would see "
     "garbled names. Save it again as GBK, and pack again",
     "{1} 不是 GBK 文字：启动器按 GBK（代码页 936）读取，玩家会看到乱码。"
     "请重新存成 GBK，再重新打包"},
    {"recorded in the release ledger {1}\n", "已记入发布记录 {1}\n"},
    {"players have now {1} ({2}, from the release ledger)\n",
     "玩家现在手上是{1}（{2}，取自发布记录）\n"},
    {"the launcher of release {1}", "发布 {1} 的启动器"},
    {"the launcher shipped with the game (version {1})", "随游戏发出的启动器（版本 {1}）"},
    {"{1} holds the name {2}, which code page 936 (Chinese Windows) cannot hold: the launcher "
     "refuses the whole package as damaged. Pack the release with pack, which names such a file "
     "before it packs anything",
     "{1} 里有名字 {2}，代码页 936（简体中文 Windows）写不出这个名字：启动器会把整个更新包"
     "当作损坏的拒绝。请用 pack 打包这次发布，它会在打包之前指出这样的文件"},
    {", ", "、"},
    {" or ", " 或 "},
}};

}  // namespace

const MessageTexts& textsOf(Message message) {
  return kTexts[static_cast<std::size_t>(message)];
}

Language languageOfLocale(std::string_view locale) {
  return locale.starts_with("zh") ? Language::kChinese : Language::kEnglish;
}

Language languageOfLangId(std::uint16_t langId) {
  constexpr std::uint16_t kPrimaryMask = 0x3FF;
  constexpr std::uint16_t kChinesePrimary = 0x04;
  return (langId & kPrimaryMask) == kChinesePrimary ? Language::kChinese : Language::kEnglish;
}

std::string say(Tools& tools, Message message, std::initializer_list<std::string> values) {
  const MessageTexts& texts = textsOf(message);
  const bool chinese = tools.system.userLanguage() == Language::kChinese;
  const std::string_view text = chinese ? texts.chinese : texts.english;
  std::string said;
  std::size_t segment = 0;
  // Placeholders only at a character's start: a trail byte may be "{".
  for (std::size_t i = 0; i < text.size(); i += base::characterWidth(text, i)) {
    const bool placeholder = text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' &&
                             text[i + 1] >= '1' &&
                             static_cast<std::size_t>(text[i + 1] - '1') < values.size();
    if (!placeholder)
      continue;
    said += tools.text.cp936ToLocal(text.substr(segment, i - segment));
    said += values.begin()[text[i + 1] - '1'];
    segment = i + 3;
    i += 2;  // and the step over "}"
  }
  return said + tools.text.cp936ToLocal(text.substr(segment));
}

}  // namespace publisher
