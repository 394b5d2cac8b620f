// Each example task file, run by the built program, gives exactly its
// expected result (examples/<name>.expected.json and .expected.ini), after
// the normalisation that tools/update-goldens.sh applies.
#ifdef T2D_HOST_PROGRAM

#include <gtest/gtest.h>

#include <algorithm>

#include "host_program.h"

namespace {

namespace fs = std::filesystem;
using hosttest::TempDir;

std::vector<std::string> ExampleNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(T2D_SOURCE_DIR) / "examples")) {
    const std::string file = entry.path().filename().string();
    if (entry.path().extension() == ".json" && file.find(".expected.") == std::string::npos)
      names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Golden {
  std::string example;
  std::string format;
};

void PrintTo(const Golden& golden, std::ostream* os) { *os << golden.example << "." << golden.format; }

class GoldenTest : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenTest, ResultMatchesExpectedFile) {
  const Golden& golden = GetParam();
  const fs::path examples = fs::path(T2D_SOURCE_DIR) / "examples";
  const fs::path expectedPath = examples / (golden.example + ".expected." + golden.format);
  ASSERT_TRUE(fs::exists(expectedPath)) << expectedPath << " is missing; run tools/update-goldens.sh";

  // The example runs on a copy, with its data folders, so that the CIP3
  // copies beside the templates do not land in the tree.
  TempDir work;
  fs::copy_file(examples / (golden.example + ".json"), fs::path(work.Path()) / (golden.example + ".json"));
  for (const auto& entry : fs::directory_iterator(examples))
    if (entry.is_directory() && entry.path().filename().string().rfind(golden.example + "-", 0) == 0)
      fs::copy(entry.path(), fs::path(work.Path()) / entry.path().filename(), fs::copy_options::recursive);

  const std::string result = work.File("result." + golden.format);
  const auto run = hosttest::Run({"run", work.File(golden.example + ".json"), "--format", golden.format, "-o", result});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(hosttest::Normalise(hosttest::ReadFile(result), work.Path()), hosttest::ReadFile(expectedPath.string()))
      << "the result of examples/" << golden.example << ".json changed; review it and run tools/update-goldens.sh";
}

std::vector<Golden> Goldens() {
  std::vector<Golden> all;
  for (const std::string& name : ExampleNames())
    for (const char* format : {"json", "ini"}) all.push_back(Golden{name, format});
  return all;
}

std::string GoldenName(const ::testing::TestParamInfo<Golden>& info) {
  std::string name = info.param.example + "_" + info.param.format;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenTest, ::testing::ValuesIn(Goldens()), GoldenName);

TEST(GoldenExamples, TheThreeExamplesArePresent) {
  EXPECT_EQ(ExampleNames(), (std::vector<std::string>{"cip3", "multi-job", "typical"}));
}

}  // namespace

#endif  // T2D_HOST_PROGRAM
