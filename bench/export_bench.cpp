// The export of synthetic schools at scales 1, 10 and 100, against a bare
// libxml2 parse of the same files measured in the same run. Prints the ratios
// the export is held to:
//   export at scale 100 / bare parse at scale 100   (target: at most 3)
//   export at scale 100 / export at scale 1         (target: at most 120, i.e. linear)
// Run: build/native/bench/export_bench
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "access/env.h"
#include "export/course_levels.h"
#include "export/export_run.h"
#include "export/user_interaction.h"
#include "school.h"

namespace {

namespace fs = std::filesystem;
using pontevia::Status;

constexpr int kScales[] = {1, 10, 100};

// Answers the export as a user with a complete levels file would.
class BenchUser : public pontevia::exporter::UserInteraction {
 public:
  explicit BenchUser(const std::map<std::string, std::pair<std::string, std::string>>* levels)
      : levels_(levels) {}
  Status ShowCoursesDialog(const std::string& folder, bool,
                           pontevia::exporter::CoursesDialogOutcome*) override {
    auto* env = pontevia::access::Env::Default();
    std::vector<pontevia::exporter::CourseRow> rows;
    PONTEVIA_RETURN_IF_ERROR(pontevia::exporter::ReadCourses(env, folder, &rows));
    for (auto& row : rows) {
      auto found = levels_->find(row.codi);
      if (found == levels_->end()) continue;
      row.nivel = found->second.first;
      row.curso = found->second.second;
    }
    return pontevia::exporter::WriteCourseLevels(env, folder, rows);
  }
  bool ConfirmAssignmentLines() override { return true; }
  void Warn(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }

 private:
  const std::map<std::string, std::pair<std::string, std::string>>* levels_;
};

struct School {
  std::string xml_path;
  std::string workdir;
  std::map<std::string, std::pair<std::string, std::string>> levels;
};

fs::path BenchFolder() {
  static const fs::path folder = fs::temp_directory_path() / "pontevia-export-bench";
  return folder;
}

const School& SchoolAt(int scale) {
  static std::map<int, School> schools;
  auto found = schools.find(scale);
  if (found != schools.end()) return found->second;
  School school;
  const fs::path folder = BenchFolder() / ("escala" + std::to_string(scale));
  fs::remove_all(folder);
  fs::create_directories(folder / "HTEMP");
  pontevia::tools::SchoolOptions options;
  options.scale = scale;
  school.xml_path = (folder / "centre.xml").string();
  std::ofstream(school.xml_path, std::ios::binary) << pontevia::tools::GenerateSchoolXml(options);
  school.workdir = (folder / "HTEMP").string();
  // codi,nivel,curso lines; all ASCII, so no conversion is needed.
  const std::string csv = pontevia::tools::GenerateLevelsCsv(options);
  size_t pos = csv.find('\n') + 1;
  while (pos < csv.size()) {
    size_t end = csv.find('\n', pos);
    std::string line = csv.substr(pos, end - pos);
    size_t a = line.find(','), b = line.find(',', a + 1);
    school.levels[line.substr(0, a)] = {line.substr(a + 1, b - a - 1), line.substr(b + 1)};
    pos = end + 1;
  }
  return schools.emplace(scale, std::move(school)).first->second;
}

void BM_BareParse(benchmark::State& state) {
  const School& school = SchoolAt(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadFile(school.xml_path.c_str(), nullptr, XML_PARSE_NONET);
    if (doc == nullptr) state.SkipWithError("libxml2 could not parse the school");
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
}

void BM_Export(benchmark::State& state) {
  const School& school = SchoolAt(static_cast<int>(state.range(0)));
  BenchUser user(&school.levels);
  for (auto _ : state) {
    // Every run starts from an empty working folder, as a first export does.
    state.PauseTiming();
    for (const auto& entry : fs::directory_iterator(school.workdir)) fs::remove_all(entry.path());
    state.ResumeTiming();
    pontevia::exporter::ExportSummary summary;
    Status s = pontevia::exporter::RunExport(pontevia::access::Env::Default(),
                                             {school.xml_path, school.workdir}, &user, &summary);
    if (!s.ok()) state.SkipWithError(s.message().c_str());
  }
}

BENCHMARK(BM_BareParse)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration, to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        const double n = static_cast<double>(run.iterations);
        seconds_[run.benchmark_name()] = run.real_accumulated_time / n;
        cpu_seconds_[run.benchmark_name()] = run.cpu_accumulated_time / n;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Wall-clock seconds per iteration (cpu = false) or processor seconds.
  double Seconds(const std::string& name, bool cpu = false) const {
    const auto& times = cpu ? cpu_seconds_ : seconds_;
    auto found = times.find(name);
    return found == times.end() ? 0 : found->second;
  }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::string, double> cpu_seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (bool cpu : {false, true}) {
    const double parse100 = reporter.Seconds("BM_BareParse/100", cpu);
    const double export1 = reporter.Seconds("BM_Export/1", cpu);
    const double export100 = reporter.Seconds("BM_Export/100", cpu);
    if (parse100 <= 0 || export1 <= 0 || export100 <= 0) continue;
    std::printf("\n%s time:\n", cpu ? "processor" : "wall-clock");
    std::printf("  export(100) / bare parse(100) = %.2f   (target: at most 3)\n", export100 / parse100);
    std::printf("  export(100) / export(1)       = %.1f   (target: at most 120)\n", export100 / export1);
  }
  std::error_code ignored;
  fs::remove_all(BenchFolder(), ignored);
  benchmark::Shutdown();
  return 0;
}
