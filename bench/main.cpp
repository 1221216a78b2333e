// Runs the benchmarks, then prints each registered ratio of medians. Exits non-zero when a ratio
// with a limit is over it (except with --smoke).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/ratios.h"

namespace sonaro::bench {

std::vector<Ratio>& MutableRatios() {
  static std::vector<Ratio> ratios;
  return ratios;
}

bool AddRatio(Ratio ratio) {
  MutableRatios().push_back(std::move(ratio));
  return true;
}

const std::vector<Ratio>& Ratios() { return MutableRatios(); }

namespace {

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  // Keeps each benchmark's median CPU time over the repetitions (its only time without
  // repetitions); CPU time, as other work on the machine stretches wall time unevenly.
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        seconds_[name] = run.GetAdjustedCPUTime();
        medians_.insert(name);
      } else if (run.run_type == Run::RT_Iteration && !medians_.count(name)) {
        seconds_[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& Times() const { return seconds_; }

 private:
  std::map<std::string, double> seconds_;
  std::set<std::string> medians_;
};

}  // namespace
}  // namespace sonaro::bench

int main(int argc, char** argv) {
  // Keep freed memory in the process: otherwise whichever benchmark happens to free the top of
  // the heap pays for the kernel handing the pages back again, and that decides the ratios.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  // A shared machine is noisy: by default every benchmark runs five times and the ratios use the
  // medians. Flags given on the command line come later and win. --smoke (CI) runs each once,
  // briefly, to show that it still runs: its ratios are printed and no limit fails it.
  char repetitions[] = "--benchmark_repetitions=5";
  char aggregates[] = "--benchmark_report_aggregates_only=true";
  char once[] = "--benchmark_repetitions=1";
  char brief[] = "--benchmark_min_time=0.01";
  std::vector<char*> args{argv[0], repetitions, aggregates};
  bool smoke = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--smoke") {
      smoke = true;
      args.insert(args.begin() + 3, {once, brief});
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = int(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  sonaro::bench::RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  int status = 0;
  std::printf("\nRatios of median CPU times (measured / reference, same run):\n");
  for (const auto& ratio : sonaro::bench::Ratios()) {
    auto measured = reporter.Times().find(ratio.measured);
    auto reference = reporter.Times().find(ratio.reference);
    if (measured == reporter.Times().end() || reference == reporter.Times().end()) continue;
    double value = measured->second / reference->second;
    bool over = ratio.limit > 0 && value > ratio.limit;
    if (over) status = 1;
    std::printf("  %-40s / %-32s = %6.2f", ratio.measured.c_str(), ratio.reference.c_str(), value);
    if (ratio.limit > 0) std::printf("  (limit %.2f%s)", ratio.limit, over ? ", OVER" : "");
    std::printf("\n");
  }
  return smoke ? 0 : status;
}
