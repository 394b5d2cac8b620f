// A whole conversion from the bytes of a task file: the reader, every step
// against the simulated services, the result as JSON and as INI text, and
// the cleanup of the temporary files. A malformed task file is refused with
// TaskFileError; anything else that escapes is a fault.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "conversion.h"
#include "result_document.h"
#include "result_writer.h"
#include "task_file.h"
#include "ticket2dict_msbasetask.h"

namespace {

// Relative paths of the task file resolve here, and the process works in
// it, so files the conversion writes stay in a temporary folder.
std::string WorkFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/t2dfuzz.XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
    // The IPL data folder of the CIP3 example, so its seed writes the
    // parameter files.
    std::filesystem::copy(T2D_SOURCE_DIR "/examples/cip3-ipl", std::string(pattern) + "/cip3-ipl");
    return std::string(pattern);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) std::abort();
  WorkFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(text, "fuzz.json", WorkFolder());
    t2dhost::Conversion conversion(file);
    conversion.Run();
    const std::string json = t2dhost::ResultText(conversion);
    // The result written directly is the result document's text.
    if (json != t2dhost::FormatJson(resulttest::ResultJson(conversion))) std::abort();
    const std::string ini = t2dhost::IniText(conversion.Converter().Dictionary());
    if (json.empty() || json.back() != '\n') std::abort();
    (void)ini;
    t2dhost::CleanupTempFiles(conversion.Task());
  } catch (const t2dhost::TaskFileError&) {
    // A malformed task file: the program's exit status 2.
  }
  return 0;
}
