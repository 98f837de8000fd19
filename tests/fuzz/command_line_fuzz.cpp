// The command line: any line is parsed or refused without harm. A refusal
// names its kind and leaves the options as they were; an accepted line
// gives options that keep the rules (years ascending, each once, in range;
// no folder or years beside /uninstall; no quote character left in a
// value); and the whole line with a program's name before it reads the
// same.
#include <cstdint>
#include <string>

#include "platform/text.h"
#include "run/command_line.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool Same(const SetupOptions& a, const SetupOptions& b) {
  return a.silent == b.silent && a.uninstall == b.uninstall && a.force == b.force && a.help == b.help &&
         a.folderGiven == b.folderGiven && a.folder == b.folder && a.allReleases == b.allReleases &&
         a.years == b.years && a.logPath == b.logPath && a.recordFolder == b.recordFolder;
}

SetupOptions Sentinel() {
  SetupOptions options;
  options.folder = "sentinel";
  options.logPath = "sentinel.log";
  options.years = {1999};
  options.allReleases = false;
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  SetupOptions options = Sentinel();
  CommandLineError error;
  const bool accepted = ParseCommandLine(line, &options, &error);
  if (!accepted) {
    FUZZ_CHECK(error.kind != CommandLineError::None, "a refusal names its kind");
    FUZZ_CHECK(Same(options, Sentinel()), "a refusal leaves the options as they were");
    FUZZ_CHECK(!DescribeCommandLineError(error).empty(), "a refusal is described");
  } else {
    FUZZ_CHECK(options.allReleases == options.years.empty(), "all releases exactly when no years are listed");
    for (std::size_t i = 0; i < options.years.size(); ++i) {
      FUZZ_CHECK(options.years[i] >= 2007 && options.years[i] <= 2027, "a year in range");
      FUZZ_CHECK(i == 0 || options.years[i - 1] < options.years[i], "years ascending, each once");
    }
    FUZZ_CHECK(!options.uninstall || (!options.folderGiven && options.allReleases), "nothing to install beside /uninstall");
    FUZZ_CHECK(options.folderGiven == !options.folder.empty(), "a folder given is never empty");
    // By characters: a byte 0x22 after a lead byte is that character's
    // trail byte, as the system's narrow calls walk the line, not a quote.
    for (const std::string* value : {&options.folder, &options.logPath, &options.recordFolder}) {
      FUZZ_CHECK(platform::FindChar(*value, '"') == platform::npos, "no quote left in a value");
    }
  }

  // The same arguments after a program's name, quoted as Windows starts it.
  SetupOptions whole = Sentinel();
  CommandLineError wholeError;
  const bool wholeAccepted = ParseProgramCommandLine("\"C:\\Setup\\SetUp.exe\" " + line, &whole, &wholeError);
  FUZZ_CHECK(wholeAccepted == accepted, "the whole line is accepted as its arguments are");
  FUZZ_CHECK(Same(whole, options), "the whole line gives the same options");
  FUZZ_CHECK(wholeError.kind == error.kind && wholeError.argument == error.argument, "the same refusal");
  return 0;
}
