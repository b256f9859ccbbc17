// graftling-bench: how long the parts of a run take on generated scenes, and
// how that grows with the scene and the branch. Besides Google Benchmark's own
// flags it takes --markdown=FILE, which writes the median figures as a table.
// Exits with 1 when any benchmark stopped with an error.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/heap_meter.h"
#include "bench/scene_generator.h"
#include "copy/hierarchy_copy.h"
#include "host/platform.h"
#include "host/service_slots.h"
#include "scene/scene_lines.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"

namespace graftling::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBranchDepth = 4;
constexpr int kSceneLines[] = {2000, 20000, 200000};
constexpr int kBranchItems[] = {10, 100, 1000};
const char kSceneName[] = "Scenes/bench.lws";

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int countPrefix(const std::string& text, const char* keyword) {
  int count = 0;
  std::size_t length = std::strlen(keyword);
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, length, keyword) == 0) ++count;
    if (text.find('\n', at) == std::string::npos) break;
  }
  return count;
}

// One generated scene with its files, and what a correct run makes of it.
struct Case {
  int requestedLines;
  SceneShape shape;
  GeneratedScene scene;
  std::string savedPath;  // the scene as the host saves it
  std::string outPath;    // where the benchmarks write
  std::map<std::string, double> peakPerLine;
  SceneLinesPtr edited;  // the list after one run, made when first needed

  int lines() const { return scene.lines; }
  double fileBytes() const { return static_cast<double>(scene.text.size()); }
  int branchObjects() const { return shape.branchItems - shape.branchLights; }

  // Whether text holds exactly one copy of every branch item more than the scene.
  bool isEdited(const std::string& text) const {
    return countPrefix(text, "LoadObject") + countPrefix(text, "AddNullObject") ==
               shape.objects + branchObjects() &&
           countPrefix(text, "AddLight") == shape.lights + shape.branchLights;
  }
};

std::vector<std::unique_ptr<Case>> gCases;

// Runs copyHierarchy on list with a stand-in host's services in the slots.
int copyWithHost(SceneLines& list, const standin::StandInHost& host, int pickedObject) {
  standin::StandInHost::Services services = host.services();
  gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
  return copyHierarchy(list, host.objectHandle(pickedObject));
}

// Heap held at the peak of work beyond what it held before, less the scene
// file's size when work holds the scene, per scene line. Measured once per
// case, as it is the same on every run.
template <typename Work>
void reportPeak(benchmark::State& state, Case& c, const std::string& part, bool holdsScene, Work work) {
  auto found = c.peakPerLine.find(part);
  if (found == c.peakPerLine.end()) {
    long long peak = 0;
    {
      HeapMeter meter;
      work();
      peak = meter.peakBytes();
    }
    double beyond = static_cast<double>(peak) - (holdsScene ? c.fileBytes() : 0);
    found = c.peakPerLine.emplace(part, beyond / c.lines()).first;
  }
  state.counters["peakB/line"] = found->second;
}

void setRates(benchmark::State& state, const Case& c, double visitsPerRun, double timedSeconds) {
  state.counters["lines"] = benchmark::Counter(c.lines());
  double runs = static_cast<double>(state.iterations());
  if (timedSeconds > 0) state.counters["visits/s"] = benchmark::Counter(visitsPerRun * runs / timedSeconds);
}

const char* check(Case& c) {
  if (c.edited == nullptr) {
    standin::StandInHost host(c.scene.text, kSceneName);
    SceneLinesPtr list = parseSceneLines(c.scene.text);
    if (list == nullptr || copyWithHost(*list, host, c.scene.pickedObject) != 1) return "the run failed";
    if (!c.isEdited(sceneText(*list))) return "the run did not copy the whole branch";
    c.edited = std::move(list);
  }
  return nullptr;
}

void loadScene(benchmark::State& state, Case* c) {
  double timed = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    SceneLinesPtr list = loadSceneLines(c->savedPath.c_str());
    double seconds = secondsSince(start);
    if (list == nullptr) return state.SkipWithError("the scene could not be loaded");
    state.SetIterationTime(seconds);
    timed += seconds;
    releaseSceneLines(std::move(list));
  }
  setRates(state, *c, c->lines(), timed);
  reportPeak(state, *c, "load", true, [&] { releaseSceneLines(loadSceneLines(c->savedPath.c_str())); });
}

void copyBranch(benchmark::State& state, Case* c) {
  if (const char* problem = check(*c)) return state.SkipWithError(problem);
  standin::StandInHost host(c->scene.text, kSceneName);
  double timed = 0;
  for (auto _ : state) {
    SceneLinesPtr list = parseSceneLines(c->scene.text);
    if (list == nullptr) return state.SkipWithError("the scene could not be parsed");
    Clock::time_point start = Clock::now();
    int result = copyWithHost(*list, host, c->scene.pickedObject);
    double seconds = secondsSince(start);
    if (result != 1) return state.SkipWithError("the run failed");
    state.SetIterationTime(seconds);
    timed += seconds;
    releaseSceneLines(std::move(list));
  }
  // One line visit per line of the scene and item copied: the run's unit of cost.
  setRates(state, *c, static_cast<double>(c->lines()) * c->shape.branchItems, timed);
  SceneLinesPtr list = parseSceneLines(c->scene.text);
  reportPeak(state, *c, "copy", false, [&] { copyWithHost(*list, host, c->scene.pickedObject); });
}

void writeScene(benchmark::State& state, Case* c) {
  if (const char* problem = check(*c)) return state.SkipWithError(problem);
  double timed = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    int written = writeSceneLines(*c->edited, c->outPath.c_str());
    double seconds = secondsSince(start);
    if (written != 1) return state.SkipWithError("the scene could not be written");
    state.SetIterationTime(seconds);
    timed += seconds;
  }
  setRates(state, *c, c->lines(), timed);
}

// Reading the saved scene and writing it back unchanged: what any run costs.
void floorRun(benchmark::State& state, Case* c) {
  auto once = [&] {
    SceneLinesPtr list = loadSceneLines(c->savedPath.c_str());
    int written = list != nullptr ? writeSceneLines(*list, c->outPath.c_str()) : 0;
    releaseSceneLines(std::move(list));
    return written == 1;
  };
  double timed = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    bool done = once();
    double seconds = secondsSince(start);
    if (!done) return state.SkipWithError("the scene could not be read and written");
    state.SetIterationTime(seconds);
    timed += seconds;
  }
  setRates(state, *c, c->lines(), timed);
  reportPeak(state, *c, "floor", true, once);
}

const standin::LoadedModule& module() {
  static standin::LoadedModule loaded(GRAFTLING_MODULE_PATH);
  return loaded;
}

// A whole activation of graftling.p in the stand-in host: the panel, the
// save, the run, the write and the host's load of the result.
void activation(benchmark::State& state, Case* c) {
  if (!module().ok()) return state.SkipWithError(module().error().c_str());
  standin::StandInHost host(c->scene.text, kSceneName);
  host.setPanelUser([&](const standin::PanelView&) {
    return standin::PanelAnswer{host.objectHandle(c->scene.pickedObject), true};
  });
  auto once = [&] {
    module().activate(host);
    return host.messages().empty() && c->isEdited(host.sceneText());
  };
  if (!once()) return state.SkipWithError("the activation did not copy the whole branch");
  double timed = 0;
  for (auto _ : state) {
    host.setScene(c->scene.text, kSceneName);
    Clock::time_point start = Clock::now();
    module().activate(host);
    double seconds = secondsSince(start);
    state.SetIterationTime(seconds);
    timed += seconds;
  }
  setRates(state, *c, static_cast<double>(c->lines()) * c->shape.branchItems, timed);
  host.setScene(c->scene.text, kSceneName);
  reportPeak(state, *c, "activation", true, [&] { module().activate(host); });
}

// Collects the median of every benchmark for the table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      bool wanted = run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : !sawAggregates_;
      if (run.run_type == Run::RT_Aggregate && !sawAggregates_) {
        sawAggregates_ = true;
        medians_.clear();
      }
      if (run.error_occurred) failed_ = true;
      if (wanted && !run.error_occurred) medians_[run.run_name.function_name] = run;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Whether any benchmark stopped with an error, such as a run that went wrong.
  bool failed() const { return failed_; }

  const Run* find(const std::string& name) const {
    auto found = medians_.find(name);
    return found != medians_.end() ? &found->second : nullptr;
  }

 private:
  std::map<std::string, Run> medians_;
  bool sawAggregates_ = false;
  bool failed_ = false;
};

std::string name(const char* part, const Case& c) {
  return std::string(part) + "/" + std::to_string(c.requestedLines) + "/" +
         std::to_string(c.shape.branchItems);
}

std::string milliseconds(const benchmark::BenchmarkReporter::Run* run) {
  if (run == nullptr) return "–";
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", run->GetAdjustedRealTime());
  return text;
}

std::string counter(const benchmark::BenchmarkReporter::Run* run, const char* key, const char* format) {
  if (run == nullptr || run->counters.count(key) == 0) return "–";
  char text[32];
  std::snprintf(text, sizeof text, format, run->counters.at(key).value);
  return text;
}

bool writeTable(const TableReporter& reporter, const char* path) {
  std::string table =
      "| scene lines | branch items | load ms | copyHierarchy ms | write ms | floor ms | activation ms | "
      "activation ÷ "
      "floor | copy line visits/s | copy growth B/line | floor peak B/line | peak B/line, activation |\n"
      "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const std::unique_ptr<Case>& c : gCases) {
    const auto* load = reporter.find(name("load", *c));
    const auto* copy = reporter.find(name("copyHierarchy", *c));
    const auto* write = reporter.find(name("write", *c));
    const auto* floor = reporter.find(name("floor", *c));
    const auto* whole = reporter.find(name("activation", *c));
    if (!load && !copy && !write && !floor && !whole) continue;
    std::string ratio = "–";
    if (floor != nullptr && whole != nullptr) {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f", whole->GetAdjustedRealTime() / floor->GetAdjustedRealTime());
      ratio = text;
    }
    table += "| " + std::to_string(c->lines()) + " | " + std::to_string(c->shape.branchItems) + " | " +
             milliseconds(load) + " | " + milliseconds(copy) + " | " + milliseconds(write) + " | " +
             milliseconds(floor) + " | " + milliseconds(whole) + " | " + ratio + " | " +
             counter(copy, "visits/s", "%.3g") + " | " + counter(copy, "peakB/line", "%.0f") + " | " +
             counter(floor, "peakB/line", "%.0f") + " | " + counter(whole, "peakB/line", "%.0f") + " |\n";
  }
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  bool written = std::fwrite(table.data(), 1, table.size(), out) == table.size();
  return std::fclose(out) == 0 && written;
}

void registerCases() {
  using Part = void (*)(benchmark::State&, Case*);
  const std::pair<const char*, Part> parts[] = {{"load", loadScene},
                                                {"copyHierarchy", copyBranch},
                                                {"write", writeScene},
                                                {"floor", floorRun},
                                                {"activation", activation}};
  for (int lines : kSceneLines) {
    for (int branch : kBranchItems) {
      std::optional<SceneShape> shape = shapeForLines(lines, branch, kBranchDepth);
      if (!shape) continue;
      auto c = std::make_unique<Case>();
      c->requestedLines = lines;
      c->shape = *shape;
      c->scene = generateScene(*shape);
      c->savedPath = platform::createUniqueFile();
      c->outPath = platform::createUniqueFile();
      if (c->savedPath.empty() || c->outPath.empty() ||
          !standin::writeFileBytes(c->savedPath, c->scene.text)) {
        std::fprintf(stderr, "graftling-bench: cannot write temporary files\n");
        std::exit(1);
      }
      for (const auto& [part, function] : parts) {
        benchmark::RegisterBenchmark(name(part, *c).c_str(), function, c.get())
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
      }
      gCases.push_back(std::move(c));
    }
  }
}

}  // namespace
}  // namespace graftling::bench

int main(int argc, char** argv) {
  using namespace graftling::bench;
  const char* markdown = nullptr;
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--markdown=", 11) == 0) {
      markdown = argv[i] + 11;
    } else {
      arguments.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
  registerCases();
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  int status = reporter.failed() ? 1 : 0;
  if (markdown != nullptr && !writeTable(reporter, markdown)) {
    std::fprintf(stderr, "graftling-bench: cannot write %s\n", markdown);
    status = 1;
  }
  for (const std::unique_ptr<Case>& c : gCases) {
    graftling::platform::removeFile(c->savedPath);
    graftling::platform::removeFile(c->outPath);
  }
  return status;
}
