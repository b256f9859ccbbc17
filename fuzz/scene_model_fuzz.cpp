// Any bytes as a scene file: loading and writing give the bytes back, and
// classification and every query on the loaded list stay within it.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "scene/format1_reader.h"
#include "scene/format3_reader.h"
#include "scene/line_kind.h"
#include "scene/scene_format.h"
#include "scene/scene_lines.h"
#include "scene/scene_queries.h"
#include "standin/stand_in_host.h"

namespace graftling {
namespace {

std::string gScratch;

constexpr std::array<std::string_view, 11> kKeywords = {
    "LWSC",       "AddNullObject", "LoadObject",    "AddLight",   "ShowCamera",  "SolidBackdrop",
    "RenderMode", "ViewMode",      "ShadowOptions", "ShadowType", "ParentObject"};

bool begins(std::string_view text, std::string_view keyword) {
  return text.substr(0, keyword.size()) == keyword;
}

// The kind a line must have, told apart by a second reading of the table.
LineKind expectedKind(std::string_view text) {
  if (begins(text, "LWSC")) return KindHeader;
  if (begins(text, "AddNullObject") || begins(text, "LoadObject")) return KindObject;
  if (begins(text, "AddLight")) return KindLight;
  if (begins(text, "ShowCamera")) return KindCamera;
  if (begins(text, "SolidBackdrop")) return KindBackdrop;
  if (begins(text, "RenderMode")) return KindRenderMode;
  if (begins(text, "ViewMode")) return KindViewMode;
  return KindOther;
}

// The C library's reading of the same value, clamped to 32 bits.
std::int32_t libraryValue(std::string_view value) {
  std::string terminated(value);
  errno = 0;
  long long read = std::strtoll(terminated.c_str(), nullptr, 10);
  if (read > INT32_MAX) return INT32_MAX;
  if (read < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(read);
}

// Links, piece lengths and the text of the whole list.
std::vector<SceneLine*> checkShape(const SceneLines& list, std::string_view bytes) {
  std::vector<SceneLine*> lines;
  SceneLine* previous = nullptr;
  for (SceneLine* line = list.head; line != nullptr; line = line->next) {
    FUZZ_CHECK(line->prev == previous);
    FUZZ_CHECK(!line->text.empty() && line->text.size() <= kMaxPieceLength);
    FUZZ_CHECK(line->text.back() == '\n' || line->text.size() == kMaxPieceLength || line->next == nullptr);
    lines.push_back(line);
    previous = line;
  }
  FUZZ_CHECK(list.tail == previous);
  FUZZ_CHECK(sceneText(list) == bytes);
  return lines;
}

void checkClassification(SceneLines& list, const std::vector<SceneLine*>& lines) {
  std::int32_t objects = 0;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    FUZZ_CHECK(lines[i]->kind == expectedKind(lines[i]->text.view()));
    if (lines[i]->kind == KindObject) FUZZ_CHECK(lines[i]->objectNumber == ++objects);
  }
  if (!lines.empty()) FUZZ_CHECK(lines.back()->kind == KindHeader && lines.back()->objectNumber == 0);
  FUZZ_CHECK(list.nextObjectNumber == objects + 1);
  FUZZ_CHECK(classifyLines(list) == objects + 1);
}

// The first line from index on that begins with keyword, found by index.
std::size_t firstFrom(const std::vector<SceneLine*>& lines, std::size_t index, std::string_view keyword) {
  while (index < lines.size() && !begins(lines[index]->text.view(), keyword)) ++index;
  return index;
}

bool isItem(const SceneLine* line) { return line->kind == KindObject || line->kind == KindLight; }

bool isWord(std::string_view text, std::string_view keyword) {
  return begins(text, keyword) &&
         (text.size() == keyword.size() || text[keyword.size()] == ' ' || text[keyword.size()] == '\t' ||
          text[keyword.size()] == '\r' || text[keyword.size()] == '\n');
}

bool isBlank(const SceneLine* line) { return line->text.view() == "\n" || line->text.view() == "\r\n"; }

bool isSection(const SceneLine* line) {
  std::string_view text = line->text.view();
  bool other = line->kind == KindOther;
  return line->kind == KindCamera || line->kind == KindBackdrop || line->kind == KindRenderMode ||
         line->kind == KindViewMode ||
         (other &&
          (isWord(text, "AmbientColor") || isWord(text, "AmbIntensity") || isWord(text, "AddCamera")));
}

// An item's block read by index: its last line, and where its parent search
// ends (its end keyword line, or past its last line).
struct IndexBlock {
  std::size_t last;
  std::size_t parentLimit;
};

IndexBlock blockAt(const std::vector<SceneLine*>& lines, std::size_t item) {
  bool object = lines[item]->kind == KindObject;
  std::string_view endKeyword = object ? "ShadowOptions" : "ShadowType";
  std::size_t next = item + 1;
  while (next < lines.size() && !isItem(lines[next]) && !isSection(lines[next])) ++next;
  std::size_t end = item + 1;
  while (end < next && !begins(lines[end]->text.view(), endKeyword)) ++end;
  if (end < next) {
    std::size_t last = end;
    while (!object && last + 1 < next && lines[last + 1]->kind == KindOther && !isBlank(lines[last + 1]))
      ++last;
    return IndexBlock{last, end};
  }
  std::size_t blank = item + 1;
  while (blank < next && !isBlank(lines[blank])) ++blank;
  return IndexBlock{blank - 1, blank};
}

// Where a section's copies go, by index: after the last block of kind before
// sectionEnd and its blank line; else the line before sectionEnd.
SceneLine* placeAt(const std::vector<SceneLine*>& lines, LineKind kind, std::size_t sectionEnd) {
  if (sectionEnd >= lines.size()) return nullptr;
  std::size_t lastItem = lines.size();
  for (std::size_t i = 0; i < sectionEnd; ++i) {
    if (lines[i]->kind == kind) lastItem = i;
  }
  if (lastItem == lines.size())
    return kind == KindObject || sectionEnd == 0 ? nullptr : lines[sectionEnd - 1];
  std::size_t last = blockAt(lines, lastItem).last;
  return last + 1 < sectionEnd && isBlank(lines[last + 1]) ? lines[last + 1] : lines[last];
}

void checkQueries(const SceneLines& list, const std::vector<SceneLine*>& lines) {
  auto at = [&](std::size_t index) { return index < lines.size() ? lines[index] : nullptr; };
  for (std::string_view keyword : kKeywords)
    FUZZ_CHECK(findLine(list.head, keyword) == at(firstFrom(lines, 0, keyword)));

  std::size_t firstLight = lines.size();
  std::size_t firstCamera = firstLight;
  for (std::size_t i = lines.size(); i-- > 0;) {
    if (lines[i]->kind == KindLight) firstLight = i;
    bool addCamera = lines[i]->kind == KindOther && isWord(lines[i]->text.view(), "AddCamera");
    if (lines[i]->kind == KindCamera || addCamera) firstCamera = i;
  }
  FUZZ_CHECK(objectSectionEnd(list) == placeAt(lines, KindObject, firstLight));
  FUZZ_CHECK(lightSectionEnd(list) == placeAt(lines, KindLight, firstCamera));
  std::string_view lineEnd = sceneLineEnd(list);
  FUZZ_CHECK(lineEnd == (!lines.empty() && lines[0]->text.size() >= 2 &&
                                 lines[0]->text.view().substr(lines[0]->text.size() - 2) == "\r\n"
                             ? "\r\n"
                             : "\n"));

  std::set<std::int32_t> wanted = {0, 1, -1, INT32_MAX};
  int items = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SceneLine* line = lines[i];
    std::string_view text = line->text.view();
    std::optional<std::string_view> value = lineValue(line);
    std::size_t space = text.find(' ');
    FUZZ_CHECK(value.has_value() == (space != std::string_view::npos));
    if (value) {
      FUZZ_CHECK(value->data() == text.data() + space + 1 && value->size() == text.size() - space - 1);
      FUZZ_CHECK(decimalValue(*value) == libraryValue(*value));
    }
    if (line->kind != KindObject && line->kind != KindLight) continue;
    // Block ends and parent lines of the first items; every line would cost
    // the square of the input.
    if (++items > 64) continue;
    IndexBlock block = blockAt(lines, i);
    FUZZ_CHECK(objectBlockEnd(line) == lines[block.last]);
    FUZZ_CHECK(lightBlockEnd(line) == lines[block.last]);
    std::size_t parent = firstFrom(lines, i + 1, "ParentObject");
    bool ownParent = parent < block.parentLimit && parent <= block.last;
    FUZZ_CHECK(format1Reader().blockParentLine(line, lines[block.last]) ==
               (ownParent ? lines[parent] : nullptr));
    if (ownParent) {
      std::optional<std::string_view> parentValue = lineValue(lines[parent]);
      if (parentValue && wanted.size() < 16) wanted.insert(decimalValue(*parentValue));
    }
    if (line->kind == KindObject && value) {
      std::string_view name = *value;
      if (begins(name.substr(name.size() - std::min<std::size_t>(2, name.size())), "\r\n")) {
        name.remove_suffix(2);
      } else if (!name.empty() && name.back() == '\n') {
        name.remove_suffix(1);
      }
      for (std::int32_t n : {1, 2, 3}) {
        SceneLine* found = findObjectLine(list, name, n);
        if (found == nullptr) continue;
        FUZZ_CHECK(found->kind == KindObject);
        std::optional<std::string_view> foundValue = lineValue(found);
        FUZZ_CHECK(foundValue && begins(*foundValue, name));
      }
      FUZZ_CHECK(findObjectLine(list, name, 1) != nullptr);
    }
  }
  for (std::int32_t number : wanted) {
    SceneLine* child = findChildItem(list.head, number, nullptr);
    FUZZ_CHECK(child == nullptr || child->kind == KindObject || child->kind == KindLight);
    SceneLine* bounded = findChildItem(list.head, number, lightSectionEnd(list));
    FUZZ_CHECK(bounded == nullptr || bounded->kind == KindObject || bounded->kind == KindLight);
  }
}

// Two readings of one scene by one reader: the same items, blocks, parent
// lines, references and places.
void checkSameReading(const SceneDescription& a, const SceneDescription& b) {
  FUZZ_CHECK(a.items.size() == b.items.size() && a.references.size() == b.references.size());
  for (std::size_t i = 0; i < a.items.size(); ++i) {
    FUZZ_CHECK(a.items[i].line == b.items[i].line && a.items[i].last == b.items[i].last);
    FUZZ_CHECK(a.items[i].parent == b.items[i].parent && a.items[i].kind == b.items[i].kind);
  }
  for (std::size_t r = 0; r < a.references.size(); ++r)
    FUZZ_CHECK(a.references[r].line == b.references[r].line &&
               a.references[r].target == b.references[r].target);
  FUZZ_CHECK(a.objectPlace == b.objectPlace && a.lightPlace == b.lightPlace && a.problem == b.problem);
}

// What every reading promises: items in order within the list, each block
// from its line to its last line, references within their item's block (in
// a scene read without problems),
// parent lines among them, targets among the items, sealed spans in order.
void checkReading(const SceneDescription& scene, const std::vector<SceneLine*>& lines) {
  FUZZ_CHECK(scene.lineCount == lines.size());
  std::size_t reference = 0;
  for (std::size_t i = 0; i < scene.items.size(); ++i) {
    const SceneItem& item = scene.items[i];
    FUZZ_CHECK(item.at <= item.lastAt && item.lastAt < lines.size());
    FUZZ_CHECK(lines[item.at] == item.line && lines[item.lastAt] == item.last);
    if (i > 0) FUZZ_CHECK(scene.items[i - 1].at < item.at);
    if (item.kind == ItemKind::Bone) {
      FUZZ_CHECK(item.object < i && scene.items[item.object].kind == ItemKind::Object);
      FUZZ_CHECK(item.object + static_cast<std::size_t>(item.index) + 1 == i);
      FUZZ_CHECK(scene.problem != SceneProblem::None || item.lastAt <= scene.items[item.object].lastAt);
    }
    FUZZ_CHECK(item.firstReference <= item.endReference && item.endReference <= scene.references.size());
    FUZZ_CHECK(item.parent == kNone ||
               (item.parent >= item.firstReference && item.parent < item.endReference));
    if (item.kind != ItemKind::Bone) {
      FUZZ_CHECK(item.firstReference == reference);
      reference = item.endReference;
    }
    for (std::size_t r = item.firstReference; r < item.endReference; ++r) {
      const SceneReference& each = scene.references[r];
      FUZZ_CHECK(each.at > item.at && lines[each.at] == each.line);
      // A scene read out of order may leave a bone's lines past its object's.
      FUZZ_CHECK(each.at <= item.lastAt || scene.problem != SceneProblem::None);
      FUZZ_CHECK(each.target == kNone || each.target < scene.items.size());
    }
  }
  for (std::size_t k = 0; k < scene.objects.size(); ++k) {
    FUZZ_CHECK(scene.items[scene.objects[k]].kind == ItemKind::Object);
    FUZZ_CHECK(scene.items[scene.objects[k]].index == static_cast<std::int32_t>(k));
  }
  for (std::size_t k = 1; k < scene.sealed.size(); ++k)
    FUZZ_CHECK(scene.sealed[k - 1].second < scene.sealed[k].first);
  if (scene.objectPlace != nullptr) FUZZ_CHECK(lines[scene.objectPlaceAt] == scene.objectPlace);
  if (scene.lightPlace != nullptr) FUZZ_CHECK(lines[scene.lightPlaceAt] == scene.lightPlace);
}

// The readers of format 3 and of the later formats that keep its layout and
// differ from it: format 4 spells identifiers on item lines, format 5 names
// morph targets and bone sources by them, format 8 is the latest. Those that
// graftling does not edit yet are left out.
std::vector<const SceneReader*> format3Readers() {
  std::vector<const SceneReader*> readers{&format3Reader()};
  for (std::string_view format : {"4", "5", "8"}) {
    if (const SceneReader* reader = readerFor(format)) readers.push_back(reader);
  }
  return readers;
}

// Items of a reading without problems stand in sections of whole blocks: each
// block after the one before it, kinds in order, none ending on a blank line.
void checkSections(const SceneDescription& scene) {
  if (scene.problem != SceneProblem::None) return;
  std::size_t previous = kNone;
  for (std::size_t i = 0; i < scene.items.size(); ++i) {
    const SceneItem& item = scene.items[i];
    if (item.kind == ItemKind::Bone) continue;
    if (previous != kNone) {
      FUZZ_CHECK(scene.items[previous].lastAt < item.at);
      FUZZ_CHECK(static_cast<int>(scene.items[previous].kind) <= static_cast<int>(item.kind));
    }
    previous = i;
    FUZZ_CHECK(!isBlank(item.last));
  }
}

void checkReaders(const SceneLines& list, const std::vector<SceneLine*>& lines) {
  static const std::vector<const SceneReader*> kLaterReaders = format3Readers();
  std::vector<const SceneReader*> readers{&format1Reader(), &format2Reader()};
  readers.insert(readers.end(), kLaterReaders.begin(), kLaterReaders.end());
  for (const SceneReader* reader : readers) {
    SceneDescription scene = reader->read(list, Reading::AllLines);
    checkReading(scene, lines);
    // With no line inserted, the saved scene is the whole list.
    checkSameReading(scene, reader->read(list, Reading::SavedLines));
  }
  // The places the step-by-step copy's queries find are the reader's.
  SceneDescription format1 = format1Reader().read(list, Reading::AllLines);
  FUZZ_CHECK(format1.objectPlace == objectSectionEnd(list));
  FUZZ_CHECK(format1.lightPlace == lightSectionEnd(list));
  for (const SceneItem& item : format1.items) {
    if (item.kind == ItemKind::Object || item.kind == ItemKind::Light)
      FUZZ_CHECK(item.last == blockLastLine(item.line));
  }
  // Format 3 and the later formats read a scene without problems as sections of whole blocks.
  for (const SceneReader* reader : kLaterReaders) checkSections(reader->read(list, Reading::AllLines));
}

}  // namespace
}  // namespace graftling

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("TMPDIR");
  std::filesystem::path base = dir != nullptr && *dir != '\0' ? dir : std::filesystem::temp_directory_path();
  graftling::gScratch = (base / ("graftling-fuzz-model-" + std::to_string(getpid()) + ".lws")).string();
  std::atexit([] { std::remove(graftling::gScratch.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace graftling;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  SceneLinesPtr list = parseSceneLines(bytes);
  FUZZ_CHECK(list != nullptr);
  std::vector<SceneLine*> lines = checkShape(*list, bytes);
  checkClassification(*list, lines);
  checkQueries(*list, lines);
  checkReaders(*list, lines);

  // The same through files: loading the bytes and writing the list back.
  FUZZ_CHECK(standin::writeFileBytes(gScratch, std::string(bytes)));
  SceneLinesPtr loaded = loadSceneLines(gScratch.c_str());
  FUZZ_CHECK(loaded != nullptr);
  FUZZ_CHECK(sceneText(*loaded) == bytes);
  std::remove(gScratch.c_str());
  FUZZ_CHECK(writeSceneLines(*list, gScratch.c_str()) == 1);
  std::string written;
  FUZZ_CHECK(standin::readFileBytes(gScratch, written));
  FUZZ_CHECK(written == bytes);
  releaseSceneLines(std::move(list));
  return 0;
}
