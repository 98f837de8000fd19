// The install record's parser and serialiser: any bytes are parsed or
// refused without harm; a parsed record serialises, and parses back to the
// same items (a round trip); and a serialised record cut at any byte, as a
// power loss cuts a journal, is still read, losing no more than the lines
// the cut reached.
#include <cstdint>
#include <string>

#include "platform/memory/memory_files.h"
#include "record/install_record.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool SameItems(const CInstallRecord& a, const CInstallRecord& b) {
  if (a.files.size() != b.files.size() || a.backups.size() != b.backups.size() ||
      a.loaders.size() != b.loaders.size() || a.trusted.size() != b.trusted.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.files.size(); ++i) {
    const auto &x = a.files[i], &y = b.files[i];
    if (x.path != y.path || x.size != y.size || x.hash != y.hash) return false;
  }
  for (std::size_t i = 0; i < a.backups.size(); ++i) {
    const auto &x = a.backups[i], &y = b.backups[i];
    if (x.original != y.original || x.kept != y.kept || x.size != y.size || x.hash != y.hash) return false;
  }
  for (std::size_t i = 0; i < a.loaders.size(); ++i) {
    const auto &x = a.loaders[i], &y = b.loaders[i];
    if (x.productKey != y.productKey || x.subKey != y.subKey || x.loader != y.loader) return false;
  }
  for (std::size_t i = 0; i < a.trusted.size(); ++i) {
    const auto &x = a.trusted[i], &y = b.trusted[i];
    if (x.profile != y.profile || x.beforeAbsent != y.beforeAbsent || x.beforeType != y.beforeType ||
        x.beforeData != y.beforeData || x.variablesExisted != y.variablesExisted ||
        x.writtenType != y.writtenType || x.written != y.written) {
      return false;
    }
  }
  return a.installFolder == b.installFolder && a.madeFolders == b.madeFolders && a.entryRoot == b.entryRoot &&
         a.entryKey == b.entryKey && a.createdKeys == b.createdKeys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::MemoryFileSystem files;
  CInstallRecord record(files);
  if (!record.Parse(text)) return 0;

  std::string serialised;
  FUZZ_CHECK(record.Serialise(&serialised), "a parsed record serialises");
  CInstallRecord again(files);
  FUZZ_CHECK(again.Parse(serialised), "a serialised record parses");
  FUZZ_CHECK(!again.TornTail(), "a serialised record has no torn tail");
  FUZZ_CHECK(SameItems(record, again), "the round trip gives the same items");
  std::string twice;
  FUZZ_CHECK(again.Serialise(&twice) && twice == serialised, "the round trip gives the same text");

  // Cut where the input says: the whole lines before the cut are read,
  // the line it reached is dropped, and nothing else is lost or added.
  const std::size_t cut = static_cast<std::size_t>(Fnv1a64(text) % (serialised.size() + 1));
  const std::string prefix = serialised.substr(0, cut);
  CInstallRecord torn(files);
  FUZZ_CHECK(torn.Parse(prefix), "a cut record is still read");
  const std::size_t header = serialised.find('\n') + 1;
  const std::size_t lastBreak = prefix.rfind('\n');
  const std::string whole = cut < header ? serialised.substr(0, header) : prefix.substr(0, lastBreak + 1);
  std::string kept;
  FUZZ_CHECK(torn.Serialise(&kept), "a cut record serialises");
  FUZZ_CHECK(kept == whole, "a cut record keeps exactly its whole lines");
  FUZZ_CHECK(torn.TornTail() == (cut != lastBreak + 1 && cut != 0), "a cut inside a line is told as torn");
  return 0;
}
