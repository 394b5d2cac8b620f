// The cost of a conversion, side by side with what bounds it:
//  - Floor: the items of the typical task, already formatted, written
//    straight into the output dictionary of a plain CTicket2Dict;
//  - Typical: the typical task converted in-process (services offered,
//    SetupDict, AddJob), as the host runs it;
//  - Jobs/N: a ticket with N jobs on one master (each with four inks, a page
//    range, margins and a rotation), the whole conversion, per job;
//  - HostEndToEnd/1000: the host's work on a 1,000-job task file (read,
//    convert, write the JSON result) next to ParseOnly/1000, parsing the same
//    file with nlohmann-json alone.
//
// `t2d_bench --write-task=N:FILE` writes the N-job task file instead of
// running the benchmarks (tools/bench.sh measures the host's memory on it);
// `--write-compact-task=N:FILE` writes it without indentation, as a server
// writes a task file (bench/ratios.py measures on it).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "conversion.h"
#include "result_writer.h"
#include "task_file.h"
#include "ticket2dict.h"
#include "ticket2dict_msbasetask.h"

#ifndef T2D_EXAMPLES_DIR
#error "T2D_EXAMPLES_DIR names the folder of the example task files"
#endif

namespace {

using t2dhost::Json;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("can't read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("can't write " + path);
}

const std::string& ExamplesDir() {
  static const std::string dir = T2D_EXAMPLES_DIR;
  return dir;
}

// The typical task with its one job repeated `jobs` times on the master
// ("JobName" numbered so the jobs differ) and one AddJob call per job;
// `indent` as nlohmann-json's dump takes it (-1: compact).
std::string TaskWithJobs(int jobs, int indent = 2) {
  Json task = Json::parse(ReadText(ExamplesDir() + "/typical.json"));
  Json& master = task["ticket"]["configuration"]["Masters"]["M1"];
  const Json job = master["Jobs"][0];
  const Json call = task["jobs"][0];
  Json masterJobs = Json::array();
  Json calls = Json::array();
  for (int i = 0; i < jobs; ++i) {
    Json j = job;
    j["JobName"] = "brochure-" + std::to_string(i + 1) + ".pdf";
    masterJobs.push_back(std::move(j));
    Json c = call;
    c["index"] = i;
    calls.push_back(std::move(c));
  }
  master["Jobs"] = std::move(masterJobs);
  task["jobs"] = std::move(calls);
  return task.dump(indent);
}

t2dhost::TaskFile ReadTask(const std::string& text) {
  return t2dhost::ReadTaskFileText(text, "bench.json", ExamplesDir());
}

// One item of the typical task's parameter dictionary, as the golden result
// has it: job 0 for a named section.
struct FloorItem {
  std::string section;
  int job = 0;
  std::string key;
  CUnivType value;
  bool hasComment = false;
  std::string comment;
};

std::vector<FloorItem> TypicalItems() {
  const Json result = Json::parse(ReadText(ExamplesDir() + "/typical.expected.json"));
  const Json& dictionary = result.at("dictionary");
  std::vector<FloorItem> items;
  auto add = [&items](const std::string& section, int job, const Json& entries) {
    for (const Json& entry : entries) {
      FloorItem item;
      item.section = section;
      item.job = job;
      item.key = entry.at("key").get<std::string>();
      item.value = entry.at("value").get<std::string>();
      if (entry.contains("comment")) {
        item.hasComment = true;
        item.comment = entry.at("comment").get<std::string>();
      }
      items.push_back(std::move(item));
    }
  };
  for (const char* section : {"task", "setup", "environment"})
    if (dictionary.contains(section)) add(section, 0, dictionary.at(section));
  for (const auto& job : dictionary.at("jobs").items()) add("", std::stoi(job.key()), job.value());
  return items;
}

void BM_Floor(benchmark::State& state) {
  const std::vector<FloorItem> items = TypicalItems();
  for (auto _ : state) {
    TW_TTask task;
    CTicket2Dict dict(task);
    for (const FloorItem& item : items) {
      const char* comment = item.hasComment ? item.comment.c_str() : nullptr;
      if (item.job > 0)
        dict.SetValue4Job(item.job, item.key.c_str(), item.value, comment);
      else
        dict.SetValue(item.section.c_str(), item.key.c_str(), item.value, comment);
    }
    benchmark::DoNotOptimize(dict.Dictionary());
  }
  state.counters["items"] = static_cast<double>(items.size());
}
BENCHMARK(BM_Floor);

void BM_Typical(benchmark::State& state) {
  const t2dhost::TaskFile file = t2dhost::ReadTaskFile(ExamplesDir() + "/typical.json");
  for (auto _ : state) {
    t2dhost::Conversion conversion(file);
    conversion.Run();
    benchmark::DoNotOptimize(conversion.Converter().Dictionary());
  }
}
BENCHMARK(BM_Typical);

void BM_Jobs(benchmark::State& state) {
  const int jobs = static_cast<int>(state.range(0));
  const t2dhost::TaskFile file = ReadTask(TaskWithJobs(jobs));
  for (auto _ : state) {
    t2dhost::Conversion conversion(file);
    conversion.Run();
    benchmark::DoNotOptimize(conversion.Converter().Dictionary());
  }
  state.counters["per_job"] = benchmark::Counter(static_cast<double>(jobs),
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_Jobs)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The 1,000-job task file, written once into a temporary folder.
class TaskFileOnDisk {
 public:
  explicit TaskFileOnDisk(int jobs) {
    char folder[] = "/tmp/t2d_bench_XXXXXX";
    if (!mkdtemp(folder)) throw std::runtime_error("can't make a temporary folder");
    folder_ = folder;
    path_ = folder_ + "/task.json";
    result_ = folder_ + "/result.json";
    WriteText(path_, TaskWithJobs(jobs));
  }
  ~TaskFileOnDisk() {
    std::remove(path_.c_str());
    std::remove(result_.c_str());
    rmdir(folder_.c_str());
  }
  const std::string& Path() const { return path_; }
  const std::string& Result() const { return result_; }

 private:
  std::string folder_, path_, result_;
};

void BM_HostEndToEnd(benchmark::State& state) {
  const TaskFileOnDisk disk(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const t2dhost::TaskFile file = t2dhost::ReadTaskFile(disk.Path());
    t2dhost::Conversion conversion(file);
    conversion.Run();
    // As the host program writes it: in pieces, as the result is written.
    std::ofstream out(disk.Result(), std::ios::binary | std::ios::trunc);
    t2dhost::WriteResult(conversion, [&out](const std::string& piece) { out << piece; });
    if (!out.flush()) throw std::runtime_error("can't write " + disk.Result());
  }
}
BENCHMARK(BM_HostEndToEnd)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state) {
  const TaskFileOnDisk disk(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Json json = Json::parse(ReadText(disk.Path()));
    benchmark::DoNotOptimize(json);
  }
}
BENCHMARK(BM_ParseOnly)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) {
    std::cerr << "t2d_bench: the framework libraries do not initialize\n";
    return 1;
  }
  const bool indented = argc == 2 && std::strncmp(argv[1], "--write-task=", 13) == 0;
  const bool compact = argc == 2 && std::strncmp(argv[1], "--write-compact-task=", 21) == 0;
  if (indented || compact) {
    const std::string request = std::strchr(argv[1], '=') + 1;
    const size_t colon = request.find(':');
    if (colon == std::string::npos) {
      std::cerr << "t2d_bench: --write-task=JOBS:FILE or --write-compact-task=JOBS:FILE\n";
      return 2;
    }
    try {
      WriteText(request.substr(colon + 1),
                TaskWithJobs(std::stoi(request.substr(0, colon)), compact ? -1 : 2));
    } catch (const std::exception& e) {
      std::cerr << "t2d_bench: " << e.what() << "\n";
      return 1;
    }
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
