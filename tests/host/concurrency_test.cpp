// Conversions side by side: several threads of one process, each converting
// its own example task (traced or not) again and again, give byte for byte
// the result each gives alone. The thread-sanitizer build runs it too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "conversion.h"
#include "host_program.h"
#include "result_writer.h"
#include "task_file.h"

namespace {

namespace fs = std::filesystem;

struct Task {
  std::string example;
  bool trace;
};

std::string Convert(const t2dhost::TaskFile& file, bool trace) {
  t2dhost::ConversionOptions options;
  options.trace = trace;
  t2dhost::Conversion conversion(file, nullptr, options);
  conversion.Run();
  return t2dhost::ResultText(conversion);
}

TEST(Concurrency, ConversionsSideBySideGiveTheirSingleResults) {
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  // T2D_CONCURRENCY_REPETITIONS sets how often each thread converts (100).
  const char* setting = std::getenv("T2D_CONCURRENCY_REPETITIONS");
  const int repetitions = setting != nullptr ? std::max(1, std::atoi(setting)) : 100;

  // The examples run on copies: the CIP3 example writes beside its templates.
  hosttest::TempDir dir;
  const fs::path examples = fs::path(T2D_SOURCE_DIR) / "examples";
  hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
  const Task tasks[] = {{"typical", false}, {"multi-job", false}, {"cip3", false}, {"typical", true},
                        {"multi-job", true}};
  std::vector<t2dhost::TaskFile> files;
  std::vector<std::string> alone;
  testing::internal::CaptureStdout();  // the IPL proxy's connection lines
  for (const Task& task : tasks) {
    fs::copy_file(examples / (task.example + ".json"), dir.File(task.example + ".json"),
                  fs::copy_options::skip_existing);
    files.push_back(t2dhost::ReadTaskFile(dir.File(task.example + ".json")));
    alone.push_back(Convert(files.back(), task.trace));
  }

  std::vector<int> differing(std::size(tasks), 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < std::size(tasks); ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < repetitions; ++i)
        if (Convert(files[t], tasks[t].trace) != alone[t]) ++differing[t];
    });
  for (std::thread& thread : threads) thread.join();
  testing::internal::GetCapturedStdout();
  for (size_t t = 0; t < std::size(tasks); ++t)
    EXPECT_EQ(differing[t], 0) << tasks[t].example << (tasks[t].trace ? " (traced)" : "");
}

}  // namespace
