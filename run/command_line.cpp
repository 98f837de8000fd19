// The command line's words and switches, and the usage text; see
// command_line.h.
#include "run/command_line.h"

#include <algorithm>

#include "engine/acad_setup.h"
#include "engine/exit_codes.h"
#include "platform/message_text.h"
#include "platform/text.h"

namespace {

// The words of the line: split at spaces and tabs outside quotes, every
// quote dropped. A pair of quotes with nothing between is a word, an empty
// one, as the user wrote it. `*open` tells of a quote left open: it would
// run to the end of the line, taking every switch after it into a value.
std::vector<std::string> SplitWords(const std::string& line, bool* open) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (std::size_t pos = 0; pos < line.size();) {
    const std::size_t length = platform::CharLength(line, pos);
    const char c = line[pos];
    if (length == 1 && c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (length == 1 && !quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word.append(line, pos, length);
      inWord = true;
    }
    pos += length;
  }
  if (inWord) words.push_back(word);
  *open = quoted;
  return words;
}

enum class Switch { Silent, Folder, Releases, Log, Uninstall, Force, Help, Record, PerUser };

struct SwitchName {
  Switch which;
  const char* name;  // as the program spells it in its texts
  bool takesValue;
};
const SwitchName kSwitches[] = {
    {Switch::Silent, "/S", false},          {Switch::Folder, "/D", true},
    {Switch::Releases, "/R", true},         {Switch::Log, "/LOG", true},
    {Switch::Uninstall, "/uninstall", false}, {Switch::Force, "/FORCE", false},
    {Switch::Help, "/?", false},            {Switch::Record, "/RECORD", true},
    {Switch::PerUser, "/peruser", false},
};

bool Refuse(CommandLineError* error, CommandLineError::Kind kind, const std::string& name,
            const std::string& argument) {
  if (error) *error = {kind, name, argument};
  return false;
}

// "all", or years 2007..2027 separated by commas; `*kind` says what is wrong.
bool ParseYears(const std::string& value, bool* all, std::vector<int>* years, CommandLineError::Kind* kind) {
  if (platform::EqualsNoCase(value, "all")) {
    *all = true;
    years->clear();
    return true;
  }
  std::vector<int> found;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = value.find(',', start);  // ASCII only from here: non-digits are refused
    const std::string piece = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (piece.empty() || !std::all_of(piece.begin(), piece.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      *kind = CommandLineError::BadValue;
      return false;
    }
    // Longer than a year can be: out of range, and no overflow.
    int year = 0;
    if (piece.size() <= 4)
      for (const char c : piece) year = year * 10 + (c - '0');
    if (year < kFirstYear || year > kLastYear) {
      *kind = CommandLineError::YearOutOfRange;
      return false;
    }
    found.push_back(year);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  *all = false;
  *years = found;
  return true;
}

}  // namespace

std::string SkipProgramName(const std::string& commandLine) {
  std::size_t pos = 0;
  const bool quoted = !commandLine.empty() && commandLine[0] == '"';
  if (quoted) pos = 1;
  while (pos < commandLine.size()) {
    const std::size_t length = platform::CharLength(commandLine, pos);
    const char c = commandLine[pos];
    pos += length;
    if (length != 1) continue;
    if (quoted ? c == '"' : (c == ' ' || c == '\t')) break;
  }
  while (pos < commandLine.size() && (commandLine[pos] == ' ' || commandLine[pos] == '\t')) ++pos;
  return commandLine.substr(pos);
}

bool ParseCommandLine(const std::string& arguments, SetupOptions* options, CommandLineError* error) {
  SetupOptions parsed;
  bool releasesGiven = false;
  bool logGiven = false;
  std::string folderWord, releasesWord;
  bool openQuote = false;
  const std::vector<std::string> words = SplitWords(arguments, &openQuote);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::size_t equals = platform::FindChar(word, '=');
    const std::string name = word.substr(0, equals);
    const bool hasValue = equals != platform::npos;
    const std::string value = hasValue ? word.substr(equals + 1) : std::string();
    const SwitchName* known = nullptr;
    for (const SwitchName& candidate : kSwitches)
      if (platform::EqualsNoCase(name, candidate.name)) known = &candidate;
    if (openQuote && i + 1 == words.size())
      return Refuse(error, CommandLineError::OpenQuote, known ? known->name : name, word);
    if (!known) return Refuse(error, CommandLineError::UnknownSwitch, name, word);
    if (!known->takesValue && hasValue) return Refuse(error, CommandLineError::UnexpectedValue, known->name, word);
    if (known->takesValue && value.empty()) return Refuse(error, CommandLineError::MissingValue, known->name, word);
    switch (known->which) {
      case Switch::Silent: parsed.silent = true; break;
      case Switch::Uninstall: parsed.uninstall = true; break;
      case Switch::Force: parsed.force = true; break;
      case Switch::Help: parsed.help = true; break;
      case Switch::PerUser: parsed.perUser = true; break;
      case Switch::Folder:
        if (parsed.folderGiven && !platform::EqualsNoCase(parsed.folder, value))
          return Refuse(error, CommandLineError::GivenTwice, known->name, word);
        parsed.folderGiven = true;
        parsed.folder = value;
        folderWord = word;
        break;
      case Switch::Log:
        if (logGiven && !platform::EqualsNoCase(parsed.logPath, value))
          return Refuse(error, CommandLineError::GivenTwice, known->name, word);
        logGiven = true;
        parsed.logPath = value;
        break;
      case Switch::Record:
        if (!parsed.recordFolder.empty() && !platform::EqualsNoCase(parsed.recordFolder, value))
          return Refuse(error, CommandLineError::GivenTwice, known->name, word);
        parsed.recordFolder = value;
        break;
      case Switch::Releases: {
        bool all = false;
        std::vector<int> years;
        CommandLineError::Kind kind = CommandLineError::None;
        if (!ParseYears(value, &all, &years, &kind)) return Refuse(error, kind, known->name, word);
        if (releasesGiven && (all != parsed.allReleases || years != parsed.years))
          return Refuse(error, CommandLineError::GivenTwice, known->name, word);
        releasesGiven = true;
        parsed.allReleases = all;
        parsed.years = years;
        releasesWord = word;
        break;
      }
    }
  }
  // The uninstall takes out what the record names: a folder or releases
  // beside it would suggest a choice it does not offer.
  if (parsed.uninstall && parsed.folderGiven)
    return Refuse(error, CommandLineError::NotWithUninstall, "/D", folderWord);
  if (parsed.uninstall && releasesGiven)
    return Refuse(error, CommandLineError::NotWithUninstall, "/R", releasesWord);
  // The hand-over's own switch: nothing without the uninstall.
  if (!parsed.recordFolder.empty() && !parsed.uninstall)
    return Refuse(error, CommandLineError::UnknownSwitch, "/RECORD", "/RECORD=" + parsed.recordFolder);
  // The sign-in run serves its account from what the machine's install
  // left for it: nothing else to choose.
  if (parsed.perUser && (parsed.uninstall || parsed.folderGiven || releasesGiven || parsed.force))
    return Refuse(error, CommandLineError::UnknownSwitch, "/peruser", "/peruser");
  if (parsed.perUser) parsed.silent = true;
  if (options) *options = parsed;
  return true;
}

bool ParseProgramCommandLine(const std::string& commandLine, SetupOptions* options, CommandLineError* error) {
  return ParseCommandLine(SkipProgramName(commandLine), options, error);
}

std::string DescribeCommandLineError(const CommandLineError& error) {
  std::string chinese, english;
  switch (error.kind) {
    case CommandLineError::None: return std::string();
    case CommandLineError::OpenQuote:
      chinese = "引号未闭合";
      english = "a quote is left open";
      break;
    case CommandLineError::UnknownSwitch:
      chinese = "未知的参数";
      english = "unknown switch";
      break;
    case CommandLineError::MissingValue:
      chinese = "缺少值（应写作 " + error.name + "=...）";
      english = "a value is missing (" + error.name + "=...)";
      break;
    case CommandLineError::UnexpectedValue:
      chinese = error.name + " 不带值";
      english = error.name + " takes no value";
      break;
    case CommandLineError::BadValue:
      chinese = "年份应为以逗号分隔的四位数字（如 2008,2010），或 all";
      english = "years are four digits separated by commas (2008,2010), or all";
      break;
    case CommandLineError::YearOutOfRange:
      chinese = "年份必须在 2007 到 2027 之间";
      english = "a year must lie between 2007 and 2027";
      break;
    case CommandLineError::GivenTwice:
      chinese = error.name + " 给出了两次，且值不同";
      english = error.name + " is given twice with different values";
      break;
    case CommandLineError::NotWithUninstall:
      chinese = error.name + " 不能与 /uninstall 同时使用";
      english = error.name + " does not go with /uninstall";
      break;
  }
  const std::string word = platform::SystemText(error.argument);
  return "命令行参数错误：" + word + "\r\n" + chinese + "。\r\n\r\nBad command line: " + word + ": " + english +
         ".\r\n\r\nSetUp.exe /? 显示用法 / shows the usage.";
}

std::string UsageText(int bits) {
  const std::string lastServed = std::to_string(EditionServes(bits, kLastYear) ? kLastYear : 2016);
  const std::string years = std::to_string(kFirstYear) + ".." + lastServed;
  std::string text =
      "用法 / Usage:\r\n"
      "  SetUp.exe [/S] [/D=<folder>] [/R=<years>|all] [/LOG=<file>] [/FORCE]\r\n"
      "  SetUp.exe /uninstall [/S] [/LOG=<file>] [/FORCE]\r\n"
      "\r\n"
      "  /S              静默运行：不显示窗口和任何提示框\r\n"
      "                  silent: no window and no message box\r\n"
      "  /D=<folder>     安装路径，与对话框中输入的相同，程序会在其后加上 \\V-VidudOvev；\r\n"
      "                  含空格时加引号\r\n"
      "                  the install folder, as typed in the dialog; \\V-VidudOvev is appended;\r\n"
      "                  put it in quotes when it holds spaces: /D=\"C:\\Program Files\\Tools\"\r\n"
      "  /R=<years>|all  要安装的AutoCAD版本，如 /R=2008,2010,2014；\r\n"
      "                  默认 all：本版本支持的所有已安装版本（" + years + "）\r\n"
      "                  the AutoCAD releases to serve, as /R=2008,2010,2014; all (the default):\r\n"
      "                  every release found that this " + std::to_string(bits) + "-bit edition serves (" + years +
      ")\r\n"
      "  /LOG=<file>     日志文件，默认 %TEMP%\\V-VidudOvev-setup.log\r\n"
      "                  the log file, %TEMP%\\V-VidudOvev-setup.log by default\r\n"
      "  /uninstall      卸载；可与 /S、/LOG=、/FORCE 同用\r\n"
      "                  the uninstall; goes with /S, /LOG= and /FORCE\r\n"
      "  /FORCE          AutoCAD正在运行时仍然继续\r\n"
      "                  go on while AutoCAD runs\r\n"
      "  /?              显示本说明 / shows this text\r\n"
      "\r\n"
      "参数不区分大小写。/ Switches may be written in any letter case.\r\n"
      "\r\n"
      "退出代码 / Exit codes:\r\n";
  for (const SetupExit::Meaning& meaning : SetupExit::kMeanings) {
    std::string code = std::to_string(meaning.code);
    code.insert(0, code.size() < 2 ? 3 : 2, ' ');
    text += code + "  " + meaning.chinese + "\r\n      " + meaning.english + "\r\n";
  }
  return text;
}
