// graftling-bench: how long the parts of a run take on generated scenes, and
// how that grows with the scene and the branch: the copy step by step (the
// reference) beside the one-pass copy, and the whole command for the branch
// beside the same command for an object without children. Besides Google
// Benchmark's own flags it takes --markdown=FILE, which writes the median
// figures as tables with the goals they meet. Exits with 1 when any benchmark
// stopped with an error, such as the two copies writing different texts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/heap_meter.h"
#include "bench/scene_generator.h"
#include "copy/edit_check.h"
#include "copy/hierarchy_copy.h"
#include "copy/one_pass_copy.h"
#include "copy/parent_link.h"
#include "host/platform.h"
#include "host/service_slots.h"
#include "scene/scene_format.h"
#include "scene/scene_lines.h"
#include "scene/scene_queries.h"
#include "standin/module_loader.h"
#include "standin/session.h"
#include "standin/stand_in_host.h"

namespace graftling::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBranchDepth = 4;
// Every pair of these where the branch fits, then the large cases.
constexpr int kSceneLines[] = {2000, 20000, 200000};
constexpr int kBranchItems[] = {10, 100, 1000};
constexpr std::pair<int, int> kLargeCases[] = {{400000, 2000}, {2000000, 10000}};
// A step-by-step copy of more line visits (lines × items) than this takes
// minutes: it is timed in one iteration, once.
constexpr double kOnceVisits = 1e9;
const char kSceneName[] = "Scenes/bench.lws";
// The same shapes in format 2, in format 1 with envelopes and reference
// lines, and in formats 3 and 5 with bones, envelopes, references and two
// cameras: the copy must grow with them as it grows with Layout's usual layout.
const char kFormat2[] = "format2";
const char kReferences[] = "references";
const char kFormat3[] = "format3";
const char kFormat5[] = "format5";

int countPrefix(const std::string& text, const char* keyword) {
  int count = 0;
  std::size_t length = std::strlen(keyword);
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, length, keyword) == 0) ++count;
    if (text.find('\n', at) == std::string::npos) break;
  }
  return count;
}

int countObjects(const std::string& text) {
  return countPrefix(text, "LoadObject") + countPrefix(text, "AddNullObject");
}

// Wall-clock and CPU time (user and system, of the whole process) of the
// timed stretches of a benchmark. The wall time is the benchmark's own; the
// CPU time per iteration is its counter "CPU_ms".
class Stopwatch {
 public:
  void start() {
    wall_ = Clock::now();
    cpu_ = std::clock();
  }
  void stop(benchmark::State& state) {
    double cpu = static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC;
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - wall_).count());
    cpuSeconds_ += cpu;
  }
  void report(benchmark::State& state) const {
    state.counters["CPU_ms"] = benchmark::Counter(cpuSeconds_ * 1e3, benchmark::Counter::kAvgIterations);
  }

 private:
  Clock::time_point wall_;
  std::clock_t cpu_ = 0;
  double cpuSeconds_ = 0;
};

// One generated scene with its files, and what a correct run makes of it.
// The scene is made when its first benchmark runs, and dropped when the
// next case's is made, so a run holds one large scene at a time.
struct Case {
  int requestedLines;
  SceneShape shape;
  std::string variant;            // "" for format 1 as Layout writes it; see kVariants
  bool ready = false;             // the members below are made
  const char* problem = nullptr;  // why they cannot be
  GeneratedScene scene;
  std::string savedPath;                    // the scene as the host saves it
  std::string outPath;                      // where the benchmarks write
  std::string branchCopied;                 // the scene after the one-pass copy of the branch
  std::string childlessCopied;              // the scene after the copy of the object without children
  std::map<std::string, double> peakBytes;  // by part
  int lines = 0;                            // the scene's, kept for the tables when it is dropped
  int editedLines = 0;                      // the scene's after the copy of the branch
  double fileBytes = 0;

  int branchObjects() const { return shape.branchItems - shape.branchLights; }
  double visits() const { return static_cast<double>(requestedLines) * shape.branchItems; }

  void release() {
    ready = false;
    if (!savedPath.empty()) platform::removeFile(savedPath);
    if (!outPath.empty()) platform::removeFile(outPath);
    scene = GeneratedScene{};
    savedPath.clear();
    outPath.clear();
    branchCopied.clear();
    childlessCopied.clear();
  }
};

std::vector<std::unique_ptr<Case>> gCases;
Case* gPrepared = nullptr;

// Runs copyHierarchy on list with a stand-in host's services in the slots.
int copyWithHost(SceneLines& list, const standin::StandInHost& host, int object,
                 CopyMethod method = CopyMethod::Fastest, CopyMethod* used = nullptr) {
  standin::StandInHost::Services services = host.services();
  gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
  return copyHierarchy(list, host.objectHandle(object), method, used);
}

// The scene after the fastest copy of object, which must be the one-pass
// copy; empty after a problem, which is then set.
std::string copiedText(const Case& c, int object, const char*& problem) {
  standin::StandInHost host(c.scene.text, kSceneName);
  SceneLinesPtr list = parseSceneLines(c.scene.text);
  CopyMethod used = CopyMethod::StepByStep;
  if (list == nullptr || copyWithHost(*list, host, object, CopyMethod::Fastest, &used) != 1 ||
      !host.messages().empty()) {
    problem = "the copy failed";
    return std::string();
  }
  if (used != CopyMethod::Fastest) {
    problem = "the copy did not take the one-pass method";
    return std::string();
  }
  return sceneText(*list);
}

// Makes c's scene, its files and the texts that correct runs give, unless
// they are there; null, or why they cannot be made.
const char* prepare(Case& c) {
  if (c.ready || c.problem != nullptr) return c.problem;
  if (gPrepared != nullptr) gPrepared->release();
  gPrepared = &c;
  c.scene = generateScene(c.shape);
  c.lines = c.scene.lines;
  c.fileBytes = static_cast<double>(c.scene.text.size());
  c.savedPath = platform::createUniqueFile();
  c.outPath = platform::createUniqueFile();
  const char* problem = nullptr;
  if (c.savedPath.empty() || c.outPath.empty() || !standin::writeFileBytes(c.savedPath, c.scene.text)) {
    problem = "cannot write temporary files";
  }
  if (problem == nullptr) c.branchCopied = copiedText(c, c.scene.pickedObject, problem);
  c.editedLines = static_cast<int>(std::count(c.branchCopied.begin(), c.branchCopied.end(), '\n'));
  if (problem == nullptr && c.scene.childlessObject == 0)
    problem = "the scene has no object without children";
  if (problem == nullptr) c.childlessCopied = copiedText(c, c.scene.childlessObject, problem);
  if (problem == nullptr &&
      (countObjects(c.branchCopied) != c.shape.objects + c.branchObjects() ||
       countPrefix(c.branchCopied, "AddLight") != c.shape.lights + c.shape.branchLights)) {
    problem = "the copy did not copy the whole branch";
  }
  if (problem == nullptr && (countObjects(c.childlessCopied) != c.shape.objects + 1 ||
                             countPrefix(c.childlessCopied, "AddLight") != c.shape.lights)) {
    problem = "the copy of the object without children copied more than the object";
  }
  c.ready = problem == nullptr;
  c.problem = problem;
  if (problem != nullptr) c.release();
  return problem;
}

// Heap held at the peak of work beyond what it held before, per scene line,
// less the scene file's size when work holds the scene; as counter
// "peakB/line". Measured once per case, as it is the same on every run.
// When work also holds the edited scene, counter "peakB/edited line" is its
// peak beyond the edited file per line of the edited scene.
template <typename Work>
void reportPeak(benchmark::State& state, Case& c, const std::string& part, bool holdsScene, Work work,
                bool holdsEdited = false) {
  auto found = c.peakBytes.find(part);
  if (found == c.peakBytes.end()) {
    HeapMeter meter;
    work();
    found = c.peakBytes.emplace(part, static_cast<double>(meter.peakBytes())).first;
  }
  state.counters["peakB/line"] = (found->second - (holdsScene ? c.fileBytes : 0)) / c.lines;
  if (holdsEdited) {
    double editedLines = static_cast<double>(std::count(c.branchCopied.begin(), c.branchCopied.end(), '\n'));
    state.counters["peakB/edited line"] =
        (found->second - static_cast<double>(c.branchCopied.size())) / editedLines;
  }
}

void loadScene(benchmark::State& state, Case* c) {
  if (const char* problem = prepare(*c)) return state.SkipWithError(problem);
  Stopwatch watch;
  for (auto _ : state) {
    watch.start();
    SceneLinesPtr list = loadSceneLines(c->savedPath.c_str());
    watch.stop(state);
    if (list == nullptr) return state.SkipWithError("the scene could not be loaded");
    releaseSceneLines(std::move(list));
  }
  watch.report(state);
  reportPeak(state, *c, "load", true, [&] { releaseSceneLines(loadSceneLines(c->savedPath.c_str())); });
}

// copyHierarchy by method on a freshly read list. The result must be the
// one-pass copy's text, and the fastest method must be the one-pass copy.
void copyBranch(benchmark::State& state, Case* c, CopyMethod method) {
  if (const char* problem = prepare(*c)) return state.SkipWithError(problem);
  standin::StandInHost host(c->scene.text, kSceneName);
  // The host lists its items once, untimed: a copy asks it for the picked one.
  host.items();
  Stopwatch watch;
  bool compared = false;
  for (auto _ : state) {
    SceneLinesPtr list = parseSceneLines(c->scene.text);
    if (list == nullptr) return state.SkipWithError("the scene could not be parsed");
    CopyMethod used = CopyMethod::StepByStep;
    watch.start();
    int result = copyWithHost(*list, host, c->scene.pickedObject, method, &used);
    watch.stop(state);
    if (result != 1) return state.SkipWithError("the copy failed");
    if (used != method) return state.SkipWithError("the copy did not take the method asked for");
    if (!compared && sceneText(*list) != c->branchCopied) {
      return state.SkipWithError("the step-by-step and one-pass copies wrote different texts");
    }
    compared = true;
    releaseSceneLines(std::move(list));
  }
  watch.report(state);
  // A step-by-step copy that runs once takes too long to run again for this.
  if (method == CopyMethod::Fastest || c->visits() <= kOnceVisits) {
    SceneLinesPtr list = parseSceneLines(c->scene.text);
    reportPeak(state, *c, method == CopyMethod::Fastest ? "copy" : "stepByStep", false,
               [&] { copyWithHost(*list, host, c->scene.pickedObject, method); });
  }
}

void copyStepByStep(benchmark::State& state, Case* c) { copyBranch(state, c, CopyMethod::StepByStep); }
void copyOnePass(benchmark::State& state, Case* c) { copyBranch(state, c, CopyMethod::Fastest); }

// The edit check alone (checkCopiedScene), timed after one untimed one-pass
// copy, with the copy's reading of the saved scene as copyHierarchy gives
// it. It only reads the list, so it is repeated on the same copy.
void editCheck(benchmark::State& state, Case* c) {
  if (const char* problem = prepare(*c)) return state.SkipWithError(problem);
  standin::StandInHost host(c->scene.text, kSceneName);
  standin::StandInHost::Services services = host.services();
  gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
  SceneLinesPtr list = parseSceneLines(c->scene.text);
  if (list == nullptr) return state.SkipWithError("the scene could not be parsed");
  const SceneReader* reader = readerFor(formatNameOf(*list));
  if (reader == nullptr) return state.SkipWithError("the scene's format is not edited");
  SceneDescription scene = reader->read(*list);
  SceneLine* rootLine = reader->findObjectLine(*list, c->scene.pickedFileName, 1);
  std::size_t root = 0;
  while (root < scene.items.size() && scene.items[root].line != rootLine) ++root;
  CopyLog log;
  log.root = rootLine;
  if (root == scene.items.size() || copyInOnePass(*list, *reader, scene, root, log) != 1)
    return state.SkipWithError("the copy failed");
  Stopwatch watch;
  for (auto _ : state) {
    watch.start();
    bool whole = checkCopiedScene(*list, *reader, log, &scene);
    watch.stop(state);
    if (!whole) return state.SkipWithError("the copy fails the edit check");
  }
  watch.report(state);
}

void writeScene(benchmark::State& state, Case* c) {
  if (const char* problem = prepare(*c)) return state.SkipWithError(problem);
  SceneLinesPtr edited = parseSceneLines(c->branchCopied);
  if (edited == nullptr) return state.SkipWithError("the copied scene could not be parsed");
  Stopwatch watch;
  for (auto _ : state) {
    watch.start();
    int written = writeSceneLines(*edited, c->outPath.c_str());
    watch.stop(state);
    if (written != 1) return state.SkipWithError("the scene could not be written");
  }
  watch.report(state);
}

// Reading the saved scene and writing it back unchanged: what any run costs.
void floorRun(benchmark::State& state, Case* c) {
  if (const char* problem = prepare(*c)) return state.SkipWithError(problem);
  auto once = [&] {
    SceneLinesPtr list = loadSceneLines(c->savedPath.c_str());
    int written = list != nullptr ? writeSceneLines(*list, c->outPath.c_str()) : 0;
    releaseSceneLines(std::move(list));
    return written == 1;
  };
  Stopwatch watch;
  for (auto _ : state) {
    watch.start();
    bool done = once();
    watch.stop(state);
    if (!done) return state.SkipWithError("the scene could not be read and written");
  }
  watch.report(state);
  reportPeak(state, *c, "floor", true, once);
}

const standin::LoadedModule& module() {
  static standin::LoadedModule loaded(GRAFTLING_MODULE_PATH);
  return loaded;
}

// A whole activation of graftling.p in the stand-in host: the panel, the
// save, the run, the write and the host's load of the result.
void activation(benchmark::State& state, Case* c) {
  if (const char* problem = prepare(*c)) return state.SkipWithError(problem);
  if (!module().ok()) return state.SkipWithError(module().error().c_str());
  standin::StandInHost host(c->scene.text, kSceneName);
  host.setPanelUser([&](const standin::PanelView&) {
    return standin::PanelAnswer{host.objectHandle(c->scene.pickedObject), true};
  });
  module().activate(host);
  if (!host.messages().empty() || host.sceneText() != c->branchCopied) {
    return state.SkipWithError("the activation did not write the one-pass copy's text");
  }
  // Layout holds its items before a run: the stand-in lists them untimed.
  Stopwatch watch;
  for (auto _ : state) {
    host.setScene(c->scene.text, kSceneName);
    host.items();
    watch.start();
    module().activate(host);
    watch.stop(state);
  }
  watch.report(state);
  host.setScene(c->scene.text, kSceneName);
  host.items();
  reportPeak(
      state, *c, "activation", true, [&] { module().activate(host); }, true);
}

// The whole of "graftling copy SCENE --pick N -o OUT" (standin::runCopy, the
// call behind the command): reading the scene, loading graftling.p, the
// activation and writing OUT. Its output must be expected, byte for byte.
void command(benchmark::State& state, Case* c, bool branch) {
  if (const char* problem = prepare(*c)) return state.SkipWithError(problem);
  int object = branch ? c->scene.pickedObject : c->scene.childlessObject;
  const std::string& expected = branch ? c->branchCopied : c->childlessCopied;
  standin::CopyRequest request{c->savedPath, std::to_string(object), c->outPath, GRAFTLING_MODULE_PATH};
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> err(std::tmpfile(), &std::fclose);
  if (err == nullptr) return state.SkipWithError("cannot make a temporary file");
  standin::Streams streams{stdin, stdout, err.get()};
  auto once = [&] { return standin::runCopy(request, streams); };
  std::string written;
  if (once() != standin::kExitOk || std::ftell(err.get()) != 0 ||
      !standin::readFileBytes(c->outPath, written) || written != expected) {
    return state.SkipWithError("graftling copy did not write the one-pass copy's text");
  }
  Stopwatch watch;
  for (auto _ : state) {
    watch.start();
    int status = once();
    watch.stop(state);
    if (status != standin::kExitOk) return state.SkipWithError("graftling copy failed");
  }
  watch.report(state);
}

void commandBranch(benchmark::State& state, Case* c) { command(state, c, true); }
void commandChildless(benchmark::State& state, Case* c) { command(state, c, false); }

// Collects for every benchmark its median, or its only run when it ran once.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string& key = run.run_name.function_name;
      if (run.error_occurred) {
        failed_ = true;
        continue;
      }
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name != "median") continue;
        hasMedian_[key] = true;
      } else if (hasMedian_[key]) {
        continue;
      }
      runs_[key] = run;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Whether any benchmark stopped with an error, such as a run that went wrong.
  bool failed() const { return failed_; }

  const Run* find(const std::string& name) const {
    auto found = runs_.find(name);
    return found != runs_.end() ? &found->second : nullptr;
  }

 private:
  std::map<std::string, Run> runs_;
  std::map<std::string, bool> hasMedian_;
  bool failed_ = false;
};

std::string name(const char* part, const Case& c) {
  return std::string(part) + (c.variant.empty() ? "" : "/" + c.variant) + "/" +
         std::to_string(c.requestedLines) + "/" + std::to_string(c.shape.branchItems);
}

// A figure to three digits, in whole units with thousands separated from 1,000 on.
std::string figure(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value < 1000 ? "%.3g" : "%.0f", value);
  if (value < 1000) return text;
  std::string digits = text;
  std::string grouped;
  for (std::size_t at = 0; at < digits.size(); ++at) {
    if (at != 0 && (digits.size() - at) % 3 == 0) grouped += ',';
    grouped += digits[at];
  }
  return grouped;
}

using Run = benchmark::BenchmarkReporter::Run;

double wallMs(const Run& run) { return run.GetAdjustedRealTime(); }
double cpuMs(const Run& run) { return run.counters.count("CPU_ms") ? run.counters.at("CPU_ms").value : 0; }

// "wall (CPU)" in milliseconds, marked when the benchmark ran only once.
std::string times(const Run* run) {
  if (run == nullptr) return "–";
  std::string once = run->repetitions <= 1 && run->iterations == 1 ? " ¹" : "";
  return figure(wallMs(*run)) + " (" + figure(cpuMs(*run)) + ")" + once;
}

std::string wholeNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

std::string peak(const Run* run) {
  if (run == nullptr || run->counters.count("peakB/line") == 0) return "–";
  return wholeNumber(run->counters.at("peakB/line").value);
}

std::string ratio(double over, double under) {
  char text[32];
  std::snprintf(text, sizeof text, under > 0 ? "%.2f" : "–", over / under);
  return text;
}

// "met", "not met", or met by the CPU time alone, of a goal on a wall and a CPU figure.
std::string verdict(bool wallMet, bool cpuMet) {
  if (wallMet && cpuMet) return "met";
  return cpuMet ? "met in CPU time, not in wall-clock time" : "**not met**";
}

// The largest value of a counter of part over the cases, and the case.
struct Worst {
  double value = 0;
  std::string where;
};

Worst worstCounter(const TableReporter& reporter, const char* part, const char* counter) {
  Worst worst;
  for (const std::unique_ptr<Case>& c : gCases) {
    const Run* run = reporter.find(name(part, *c));
    if (run == nullptr || run->counters.count(counter) == 0) continue;
    double value = run->counters.at(counter).value;
    if (worst.where.empty() || value > worst.value) {
      worst.value = value;
      worst.where = figure(c->lines) + " lines, " + figure(c->shape.branchItems) + " items" +
                    (c->variant.empty() ? "" : ", " + c->variant);
    }
  }
  return worst;
}

// The case of variant with c's lines and branch; null when there is none.
const Case* variantOf(const Case& c, const char* variant) {
  for (const std::unique_ptr<Case>& other : gCases) {
    if (other->variant == variant && other->requestedLines == c.requestedLines &&
        other->shape.branchItems == c.shape.branchItems)
      return other.get();
  }
  return nullptr;
}

const Run* findIn(const TableReporter& reporter, const char* part, const Case* c) {
  return c != nullptr ? reporter.find(name(part, *c)) : nullptr;
}

// CPU milliseconds per line of the case of variant beside c: per line of
// the saved scene, or of the edited scene, which adds the copied lines. A
// scene of format 3 or later holds more lines than asked for, as its options
// add them, and its branch of as many items copies several times the lines.
double perLine(const Run& run, const Case& c, const char* variant, bool edited) {
  const Case* of = variant[0] == '\0' ? &c : variantOf(c, variant);
  int lines = of == nullptr ? 0 : edited ? of->editedLines : of->lines;
  return lines > 0 ? cpuMs(run) / lines : 0;
}

// The case of variant (format 3 or later) ÷ format 1, one-pass CPU per line, of c's shapes.
double laterRatio(const Run& later, const Run& format1, const Case& c, const char* variant, bool edited) {
  double base = perLine(format1, c, "", edited);
  return base > 0 ? perLine(later, c, variant, edited) / base : 0;
}

// The share of the one-pass copy that the edit check takes, in CPU time.
double checkShare(const Run& check, const Run& copy) {
  return cpuMs(copy) > 0 ? cpuMs(check) / cpuMs(copy) : 0;
}

// The goal of a later format's copy against format 1, or nothing when no case
// of it ran. Its branch of as many items copies several times the lines of a
// format-1 branch, so the copies' lines are counted with the scene's.
std::string laterGoal(const TableReporter& reporter, const char* variant, const std::string& format) {
  double worst = 0, worstEdited = 0;
  std::string worstCase, worstEditedCase;
  for (const std::unique_ptr<Case>& c : gCases) {
    if (!c->variant.empty()) continue;
    std::string label = figure(c->lines) + " lines, " + figure(c->shape.branchItems) + " items";
    const Run* format1 = reporter.find(name("copyOnePass", *c));
    const Run* later = findIn(reporter, "copyOnePass", variantOf(*c, variant));
    if (format1 == nullptr || later == nullptr) continue;
    if (laterRatio(*later, *format1, *c, variant, false) >= worst) {
      worst = laterRatio(*later, *format1, *c, variant, false);
      worstCase = label;
    }
    if (laterRatio(*later, *format1, *c, variant, true) >= worstEdited) {
      worstEdited = laterRatio(*later, *format1, *c, variant, true);
      worstEditedCase = label;
    }
  }
  if (worstCase.empty()) return std::string();
  return "| a format-" + format +
         " copy costs at most 1.5 times a format-1 copy of as many lines (the scene's and the copies') | "
         "format " +
         format + " ÷ format 1, one-pass CPU per line of the edited scene, at most " + ratio(worstEdited, 1) +
         " (" + worstEditedCase + "); per line of the saved scene alone, at most " + ratio(worst, 1) + " (" +
         worstCase + ") | " + (worstEdited <= 1.5 ? "met" : "**not met**") + " |\n";
}

std::string goals(const TableReporter& reporter) {
  std::string out = "| goal | measured | |\n|---|---|---|\n";
  // The branch against the object without children, end to end.
  double worstWall = 0, worstCpu = 0;
  std::string worstWallCase, worstCpuCase;
  int cases = 0;
  bool all = true;
  for (const std::unique_ptr<Case>& c : gCases) {
    if (!c->variant.empty()) continue;
    const Run* branch = reporter.find(name("commandBranch", *c));
    const Run* childless = reporter.find(name("commandChildless", *c));
    if (branch == nullptr || childless == nullptr) {
      all = false;
      continue;
    }
    ++cases;
    std::string label = figure(c->lines) + " lines, " + figure(c->shape.branchItems) + " items";
    double wall = wallMs(*branch) / wallMs(*childless), cpu = cpuMs(*branch) / cpuMs(*childless);
    if (wall > worstWall) {
      worstWall = wall;
      worstWallCase = label;
    }
    if (cpu > worstCpu) {
      worstCpu = cpu;
      worstCpuCase = label;
    }
  }
  if (cases > 0) {
    out +=
        "| `graftling copy` of the branch at most 2 × the same command for an object without children, on "
        "every case | largest ratio " +
        ratio(worstWall, 1) + " wall-clock (" + worstWallCase + "), " + ratio(worstCpu, 1) + " CPU (" +
        worstCpuCase + ")" + (all ? "" : "; some cases were not run") + " | " +
        verdict(worstWall <= 2, worstCpu <= 2) + " |\n";
  }
  for (const std::unique_ptr<Case>& c : gCases) {
    if (c->requestedLines != kLargeCases[1].first || !c->variant.empty()) continue;
    std::string where = figure(c->shape.branchItems) + "-item branch, " + figure(c->lines) + " lines: ";
    if (const Run* copy = reporter.find(name("copyOnePass", *c))) {
      out += "| " + where + "copyHierarchy under 1 s | " + figure(wallMs(*copy)) + " ms wall-clock, " +
             figure(cpuMs(*copy)) + " ms CPU | " + verdict(wallMs(*copy) < 1000, cpuMs(*copy) < 1000) +
             " |\n";
    }
    if (const Run* whole = reporter.find(name("commandBranch", *c))) {
      out += "| " + where + "the whole `graftling copy` under 1 s | " + figure(wallMs(*whole)) +
             " ms wall-clock, " + figure(cpuMs(*whole)) + " ms CPU | " +
             verdict(wallMs(*whole) < 1000, cpuMs(*whole) < 1000) + " |\n";
    }
  }
  double worstActivation = 0;
  double worstActivationCpu = 0;
  std::string activationCase;
  for (const std::unique_ptr<Case>& c : gCases) {
    if (!c->variant.empty()) continue;
    const Run* active = reporter.find(name("activation", *c));
    const Run* floor = reporter.find(name("floor", *c));
    if (active == nullptr || floor == nullptr) continue;
    worstActivationCpu = std::max(worstActivationCpu, cpuMs(*active) / cpuMs(*floor));
    if (wallMs(*active) / wallMs(*floor) >= worstActivation) {
      worstActivation = wallMs(*active) / wallMs(*floor);
      activationCase = figure(c->lines) + " lines, " + figure(c->shape.branchItems) + " items";
    }
  }
  if (!activationCase.empty()) {
    out += "| one activation within 2.5 × the floor, on every case | largest ratio " +
           ratio(worstActivation, 1) + " wall-clock (" + activationCase + "), " +
           ratio(worstActivationCpu, 1) + " CPU | " +
           verdict(worstActivation <= 2.5, worstActivationCpu <= 2.5) + " |\n";
  }
  double worstFormat2 = 0;
  std::string format2Case;
  for (const std::unique_ptr<Case>& c : gCases) {
    if (!c->variant.empty()) continue;
    std::string label = figure(c->lines) + " lines, " + figure(c->shape.branchItems) + " items";
    const Run* format1 = reporter.find(name("copyOnePass", *c));
    const Run* format2 = findIn(reporter, "copyOnePass", variantOf(*c, kFormat2));
    if (format1 != nullptr && format2 != nullptr && cpuMs(*format2) / cpuMs(*format1) >= worstFormat2) {
      worstFormat2 = cpuMs(*format2) / cpuMs(*format1);
      format2Case = label;
    }
  }
  if (!format2Case.empty()) {
    out += "| format-2 copies grow as format-1 copies do | format 2 ÷ format 1, one-pass CPU, at most " +
           ratio(worstFormat2, 1) + " (" + format2Case + ") | " + (worstFormat2 < 2 ? "met" : "**not met**") +
           " |\n";
  }
  for (const auto& [variant, format] : {std::pair{kFormat3, "3"}, std::pair{kFormat5, "5"}}) {
    out += laterGoal(reporter, variant, format);
  }
  Worst growth = worstCounter(reporter, "copyOnePass", "peakB/line");
  if (!growth.where.empty()) {
    out += "| peak memory under 100 B per line: the one-pass copy's growth | at most " +
           wholeNumber(growth.value) + " B/line (" + growth.where + ") | " +
           (growth.value < 100 ? "met" : "**not met**") + " |\n";
  }
  Worst saved = worstCounter(reporter, "activation", "peakB/line");
  Worst edited = worstCounter(reporter, "activation", "peakB/edited line");
  if (!saved.where.empty()) {
    std::string met = saved.value < 100    ? "met"
                      : edited.value < 100 ? "met per line of the edited scene; **not met** per saved line"
                                           : "**not met**";
    out += "| peak memory under 100 B per line beyond the file: the whole activation | at most " +
           wholeNumber(saved.value) + " B per saved line beyond the saved file (" + saved.where +
           "); at most " + wholeNumber(edited.value) +
           " B per line of the edited scene beyond the edited file (" + edited.where + ") | " + met + " |\n";
  }
  return out;
}

bool writeTable(const TableReporter& reporter, const char* path) {
  // Each time is "wall-clock (CPU)" in milliseconds.
  std::string copies =
      "| scene lines | branch items | step-by-step ms | one-pass ms | step-by-step ÷ one-pass, CPU "
      "| growth B/line, step-by-step | growth B/line, one-pass |\n"
      "|---:|---:|---:|---:|---:|---:|---:|\n";
  std::string whole =
      "| scene lines | branch items | load ms | write ms | floor ms | activation ms | activation peak B/line "
      "| command, branch ms | command, childless ms | branch ÷ childless |\n"
      "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  std::string formats =
      "| scene lines | branch items | one-pass ms, format 1 | one-pass ms, format 2 | format 2 ÷ format 1, "
      "CPU "
      "| format-3 lines, saved → edited | one-pass ms, format 3 | format 3 ÷ format 1, CPU per saved line "
      "| per edited line | one-pass ms, envelopes and references "
      "| edit check ms, format 1 | edit check ÷ copy, CPU | edit check ms, format 3 "
      "| format-5 lines, saved → edited | one-pass ms, format 5 | format 5 ÷ format 1, CPU per saved line "
      "| per edited line | edit check ms, format 5 |\n"
      "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const std::unique_ptr<Case>& c : gCases) {
    if (c->lines == 0 || !c->variant.empty()) continue;
    std::string row = "| " + figure(c->lines) + " | " + figure(c->shape.branchItems) + " | ";
    const Run* format1 = reporter.find(name("copyOnePass", *c));
    const Run* format2 = findIn(reporter, "copyOnePass", variantOf(*c, kFormat2));
    const Run* referencesCopy = findIn(reporter, "copyOnePass", variantOf(*c, kReferences));
    const Run* check1 = reporter.find(name("editCheck", *c));
    // A later format's lines before and after the copy, its copy, its ratios to format 1 and its check.
    auto laterColumns = [&](const char* variant) {
      const Case* later = variantOf(*c, variant);
      const Run* copy = findIn(reporter, "copyOnePass", later);
      std::string lines = later != nullptr && later->lines > 0
                              ? figure(later->lines) + " → " + figure(later->editedLines)
                              : std::string("–");
      return lines + " | " + times(copy) + " | " +
             (format1 && copy ? ratio(laterRatio(*copy, *format1, *c, variant, false), 1) : "–") + " | " +
             (format1 && copy ? ratio(laterRatio(*copy, *format1, *c, variant, true), 1) : "–");
    };
    formats += row + times(format1) + " | " + times(format2) + " | " +
               (format1 && format2 ? ratio(cpuMs(*format2), cpuMs(*format1)) : "–") + " | " +
               laterColumns(kFormat3) + " | " + times(referencesCopy) + " | " + times(check1) + " | " +
               (check1 && format1 ? ratio(checkShare(*check1, *format1) * 100, 1) + "%" : "–") + " | " +
               times(findIn(reporter, "editCheck", variantOf(*c, kFormat3))) + " | " +
               laterColumns(kFormat5) + " | " +
               times(findIn(reporter, "editCheck", variantOf(*c, kFormat5))) + " |\n";
    const Run* before = reporter.find(name("copyStepByStep", *c));
    const Run* after = reporter.find(name("copyOnePass", *c));
    copies += row + times(before) + " | " + times(after) + " | " +
              (before && after ? ratio(cpuMs(*before), cpuMs(*after)) : "–") + " | " + peak(before) + " | " +
              peak(after) + " |\n";
    const Run* active = reporter.find(name("activation", *c));
    const Run* branch = reporter.find(name("commandBranch", *c));
    const Run* childless = reporter.find(name("commandChildless", *c));
    whole += row + times(reporter.find(name("load", *c))) + " | " + times(reporter.find(name("write", *c))) +
             " | " + times(reporter.find(name("floor", *c))) + " | " + times(active) + " | " + peak(active) +
             " | " + times(branch) + " | " + times(childless) + " | " +
             (branch && childless ? ratio(wallMs(*branch), wallMs(*childless)) + " (" +
                                        ratio(cpuMs(*branch), cpuMs(*childless)) + ")"
                                  : "–") +
             " |\n";
  }
  std::string text =
      "Times are wall-clock medians with the CPU time (user and system) in brackets; ¹ marks a single run of "
      "one iteration.\n\ncopyHierarchy, before (step by step) and after (one pass):\n\n" +
      copies + "\nEnd to end:\n\n" + whole +
      "\nThe one-pass copy by format, and the edit check within it:\n\n" + formats + "\nGoals:\n\n" +
      goals(reporter);
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && written;
}

using Part = void (*)(benchmark::State&, Case*);
using Parts = std::vector<std::pair<const char*, Part>>;

void registerCase(int lines, int branch, const char* variant = "") {
  const Parts all = {{"load", loadScene},
                     {"copyStepByStep", copyStepByStep},
                     {"copyOnePass", copyOnePass},
                     {"write", writeScene},
                     {"floor", floorRun},
                     {"activation", activation},
                     {"commandBranch", commandBranch},
                     {"commandChildless", commandChildless},
                     {"editCheck", editCheck}};
  const Parts copies = {{"copyStepByStep", copyStepByStep}, {"copyOnePass", copyOnePass}};
  const Parts onePass = {{"copyOnePass", copyOnePass}, {"editCheck", editCheck}};
  std::string kind = variant;
  const Parts& parts = kind.empty() ? all : kind == kFormat2 ? copies : onePass;
  int format = kind == kFormat2 ? 2 : kind == kFormat3 ? 3 : kind == kFormat5 ? 5 : 1;
  std::optional<SceneShape> shape = shapeForLines(lines, branch, kBranchDepth, 1, format);
  if (!shape) return;
  shape->envelopes = shape->references = kind == kReferences || format >= 3;
  if (format >= 3) {
    shape->bones = 4;
    shape->cameras = 2;
  }
  auto c = std::make_unique<Case>();
  c->requestedLines = lines;
  c->shape = *shape;
  c->variant = kind;
  for (const auto& [part, function] : parts) {
    // The step-by-step reference takes minutes on the largest cases: once is enough.
    if (!kind.empty() && function == copyStepByStep && c->visits() > kOnceVisits) continue;
    benchmark::internal::Benchmark* b =
        benchmark::RegisterBenchmark(name(part, *c).c_str(), function, c.get());
    b->UseManualTime()->Unit(benchmark::kMillisecond);
    if (function == copyStepByStep && c->visits() > kOnceVisits) b->Iterations(1)->Repetitions(1);
  }
  gCases.push_back(std::move(c));
}

// Each size's variants run one after another, so that the formats compared
// are timed with the heap in the same state, not after every larger case.
void registerCases() {
  const char* const variants[] = {"", kFormat2, kReferences, kFormat3, kFormat5};
  for (int lines : kSceneLines) {
    for (int branch : kBranchItems) {
      for (const char* variant : variants) registerCase(lines, branch, variant);
    }
  }
  for (const auto& [lines, branch] : kLargeCases) {
    for (const char* variant : variants) registerCase(lines, branch, variant);
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
  for (const std::unique_ptr<Case>& c : gCases) c->release();
  return status;
}
