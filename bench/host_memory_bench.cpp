// Memory of the huevane-host command over long runs: the peak resident size
// of the process (the kernel's high-water mark, read when it exits) for
// scripts of growing length. The host keeps counts, not calls, so the peak
// should not grow with the run; what does grow with the script is the
// parsed script itself (about 100 bytes an action). Each case runs the
// release host once on the real plug-in:
//
//   drags/N         N lines `drag field X1 Y1 X2 Y2` (8 moves each), then ok
//   drags_trace/N   the same with --trace (the calls streamed to a file)
//   sampling/H      a sampling run held open for H hours of virtual time
//                   (36,000 magnifier ticks an hour), then a right click
//
// Counters: peak_MiB, the process's peak; MiB_per_1k_lines, what each
// thousand lines cost over the 1,000-line run (near zero when flat).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;

fs::path work_dir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("huevane-bench-" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

// Runs the host with args; returns its peak resident size in bytes, or -1.
double run_host(const std::vector<std::string> &args) {
  std::vector<std::string> all = {HUEVANE_HOST_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return static_cast<double>(usage.ru_maxrss) * 1024.0;  // ru_maxrss is in KiB
}

std::string drag_script(int lines) {
  const fs::path path = work_dir() / ("drags-" + std::to_string(lines) + ".txt");
  std::mt19937 random(1);
  std::ofstream out(path);
  for (int i = 0; i < lines; ++i)
    out << "drag field " << random() % 256 << ' ' << random() % 256 << ' ' << random() % 256 << ' '
        << random() % 256 << '\n';
  out << "ok\n";
  return path.string();
}

std::string sampling_script(int hours) {
  const fs::path path = work_dir() / ("sampling-" + std::to_string(hours) + ".txt");
  std::ofstream out(path);
  out << "key S\n";
  for (int i = 0; i < hours; ++i) out << "wait 3600000\n";
  out << "desktop press right\ndesktop release right\nok\n";
  return path.string();
}

// Peak of the 1,000-line run of each kind, for the per-1k-lines slope.
std::map<std::string, double> g_baseline;

void report(benchmark::State &state, const std::string &kind, int lines, double peak) {
  if (peak < 0) {
    state.SkipWithError("huevane-host failed");
    return;
  }
  state.counters["peak_MiB"] = peak / (1 << 20);
  if (lines == 1000) g_baseline[kind] = peak;
  if (lines > 1000 && g_baseline.count(kind))
    state.counters["MiB_per_1k_lines"] =
        (peak - g_baseline[kind]) / (1 << 20) / ((lines - 1000) / 1000.0);
}

void BM_Drags(benchmark::State &state) {
  const int lines = static_cast<int>(state.range(0));
  const std::string script = drag_script(lines);
  for (auto _ : state) report(state, "drags", lines, run_host({"--script", script}));
}
BENCHMARK(BM_Drags)->Name("drags")->Arg(1000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);

void BM_DragsTrace(benchmark::State &state) {
  const int lines = static_cast<int>(state.range(0));
  const std::string script = drag_script(lines);
  const std::string trace = (work_dir() / "trace.txt").string();
  for (auto _ : state)
    report(state, "trace", lines, run_host({"--script", script, "--trace", trace}));
  state.counters["trace_MiB"] = static_cast<double>(fs::file_size(trace)) / (1 << 20);
  fs::remove(trace);
}
BENCHMARK(BM_DragsTrace)
    ->Name("drags_trace")
    ->Arg(1000)
    ->Arg(4000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void BM_Sampling(benchmark::State &state) {
  const int hours = static_cast<int>(state.range(0));
  const std::string script = sampling_script(hours);
  for (auto _ : state) {
    const double peak = run_host({"--script", script});
    if (peak < 0) state.SkipWithError("huevane-host failed");
    state.counters["peak_MiB"] = peak / (1 << 20);
  }
}
BENCHMARK(BM_Sampling)->Name("sampling")->Arg(1)->Arg(4)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(work_dir(), ec);
  return 0;
}
