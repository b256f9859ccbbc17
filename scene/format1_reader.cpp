#include "scene/format1_reader.h"

#include <limits>
#include <optional>

#include "scene/scene_queries.h"

namespace graftling {

bool isItemLine(const SceneLine* line) { return line->kind == KindObject || line->kind == KindLight; }

bool isSectionLine(const SceneLine* line) {
  switch (line->kind) {
    case KindCamera:
    case KindBackdrop:
    case KindRenderMode:
    case KindViewMode:
      return true;
    default:
      break;
  }
  // Like every kind, these count only on classified lines: never on the last.
  std::string_view text = line->text.view();
  if (line->kind != KindOther || text.empty() || text[0] != 'A') return false;
  return beginsWithWord(text, "AmbientColor") || beginsWithWord(text, "AmbIntensity") ||
         beginsWithWord(text, "AddCamera");
}

bool beginsCameraSection(const SceneLine* line) {
  if (line->kind == KindCamera) return true;
  std::string_view text = line->text.view();
  return line->kind == KindOther && !text.empty() && text[0] == 'A' && beginsWithWord(text, "AddCamera");
}

bool isSettingsLine(const SceneLine* line) {
  return line->kind == KindOther && !isBlankText(line->text.view()) && !isSectionLine(line);
}

bool isReferenceLine(const SceneLine* line) {
  std::string_view text = line->text.view();
  if (text.empty()) return false;
  switch (text[0]) {
    case 'T':
      return beginsWithWord(text, "TargetObject");
    case 'G':
      return beginsWithWord(text, "GoalObject");
    case 'M':
      return beginsWithWord(text, "MorphTarget");
    default:
      return false;
  }
}

bool continuesAValue(const SceneLine* line) {
  std::string_view text = line->text.view();
  return !text.empty() && (text[0] == ' ' || beginsWithWord(text, "EndBehavior"));
}

namespace {

// A camera's own lines: from its line to the last before a blank line or the
// next camera. "AddCamera" always begins a camera; a "ShowCamera" line begins
// one only where no camera's lines are open, as in format 1.
bool beginsCamera(const SceneLine* line, bool cameraOpen) {
  if (line->kind == KindCamera) return !cameraOpen;
  return beginsCameraSection(line);
}

// Reads the lines walked with next from first, in one pass: each item's block
// is read ahead with blockLastLine, its lines then walked as the pass reaches them.
template <typename Next>
SceneDescription readWalk(const Format1Reader& reader, SceneLine* first, Next next) {
  SceneDescription scene;
  std::size_t open = kNone;  // the object or light whose block the pass is in
  SceneLine* openParent = nullptr;
  std::size_t camera = kNone;  // the camera whose own lines the pass is in
  std::size_t lastObjectBeforeLight = kNone;
  std::size_t lastLightBeforeCamera = kNone;
  bool lightSeen = false;
  SceneLine* cameraSection = nullptr;
  std::size_t cameraSectionAt = kNone;
  SceneLine* previous = nullptr;
  SceneLine* beforeCameraSection = nullptr;
  std::size_t at = 0;
  for (SceneLine* line = first; line != nullptr; previous = line, line = next(line), ++at) {
    if (camera != kNone && (isBlankText(line->text.view()) || isItemLine(line) || beginsCamera(line, true))) {
      scene.items[camera].last = previous;
      scene.items[camera].lastAt = at - 1;
      scene.items[camera].endReference = scene.references.size();
      camera = kNone;
    }
    if (cameraSection == nullptr && beginsCameraSection(line)) {
      cameraSection = line;
      cameraSectionAt = at;
      beforeCameraSection = previous;
    }
    if (isItemLine(line)) {
      SceneItem item;
      item.line = line;
      item.at = at;
      item.last = blockLastLine(line, next);
      item.firstReference = scene.references.size();
      if (line->kind == KindObject) {
        item.kind = ItemKind::Object;
        item.index = static_cast<std::int32_t>(scene.objects.size());
        scene.objects.push_back(scene.items.size());
        if (!lightSeen) lastObjectBeforeLight = scene.items.size();
      } else {
        item.kind = ItemKind::Light;
        item.index = static_cast<std::int32_t>(scene.lights.size());
        scene.lights.push_back(scene.items.size());
        lightSeen = true;
        if (cameraSection == nullptr) lastLightBeforeCamera = scene.items.size();
      }
      openParent = reader.blockParentLine(line, item.last, next);
      open = scene.items.size();
      scene.items.push_back(item);
    } else if (beginsCamera(line, camera != kNone)) {
      SceneItem item;
      item.kind = ItemKind::Camera;
      item.line = line;
      item.at = at;
      item.firstReference = scene.references.size();
      camera = scene.items.size();
      scene.items.push_back(item);
    } else if (open != kNone && (line == openParent || isReferenceLine(line))) {
      if (line == openParent) scene.items[open].parent = scene.references.size();
      scene.references.push_back(SceneReference{line, at});
    } else if (camera != kNone && scene.items[camera].parent == kNone &&
               line->text.keyword() == Keyword::ParentObject) {
      scene.items[camera].parent = scene.references.size();
      scene.references.push_back(SceneReference{line, at});
    }
    if (open != kNone && line == scene.items[open].last) {
      scene.items[open].lastAt = at;
      scene.items[open].endReference = scene.references.size();
      open = kNone;
    }
  }
  if (camera != kNone) {
    scene.items[camera].last = previous;
    scene.items[camera].lastAt = at - 1;
    scene.items[camera].endReference = scene.references.size();
  }
  scene.lineCount = at;

  // Every reference names an object by number: its value read as a decimal.
  for (SceneReference& reference : scene.references) {
    std::optional<std::string_view> value = lineValue(reference.line);
    std::int32_t number = value ? decimalValue(*value) : 0;
    if (number >= 1 && static_cast<std::size_t>(number) <= scene.objects.size())
      reference.target = scene.objects[static_cast<std::size_t>(number) - 1];
  }

  // Copies follow the last block of their section, and the blank line after it.
  auto after = [&](std::size_t item, const SceneLine* sectionEnd, SceneLine*& place, std::size_t& placeAt) {
    SceneLine* last = scene.items[item].last;
    SceneLine* following = next(last);
    bool blank = following != nullptr && following != sectionEnd && isBlankText(following->text.view());
    place = blank ? following : last;
    placeAt = scene.items[item].lastAt + (blank ? 1 : 0);
  };
  if (lightSeen && lastObjectBeforeLight != kNone) {
    const SceneLine* firstLight = scene.items[scene.lights.front()].line;
    after(lastObjectBeforeLight, firstLight, scene.objectPlace, scene.objectPlaceAt);
  }
  if (cameraSection == nullptr) {
    scene.problem = SceneProblem::NoCamera;
  } else if (lastLightBeforeCamera != kNone) {
    after(lastLightBeforeCamera, cameraSection, scene.lightPlace, scene.lightPlaceAt);
  } else if (beforeCameraSection != nullptr) {
    scene.lightPlace = beforeCameraSection;
    scene.lightPlaceAt = cameraSectionAt - 1;
  }
  scene.copyableEnd = scene.lightPlaceAt;
  return scene;
}

SceneLine* nextLine(SceneLine* line) { return line->next; }

}  // namespace

SceneLine* Format1Reader::blockParentLine(SceneLine* item, SceneLine* last) const {
  return findParentLine(item, parentSearchEnd(item, last, nextLine));
}

SceneDescription Format1Reader::read(const SceneLines& lines, Reading reading) const {
  return readLines(lines, reading,
                   [this](SceneLine* first, auto next) { return readWalk(*this, first, next); });
}

SceneLine* Format1Reader::findObjectLine(const SceneLines& lines, std::string_view fileName,
                                         std::int32_t n) const {
  return graftling::findObjectLine(lines, fileName, n);
}

std::string_view Format1Reader::objectFileName(const SceneLine* line) const {
  std::optional<std::string_view> value = lineValue(line);
  return value ? withoutLineEnd(*value) : std::string_view();
}

std::string_view Format1Reader::itemName(const SceneItem& item) const {
  std::string_view keyword = item.kind == ItemKind::Light ? "LightName" : "CameraName";
  for (const SceneLine* line = item.line; line != nullptr; line = line->next) {
    if (beginsWithWord(line->text.view(), keyword)) return withoutLineEnd(lineValue(line).value_or(""));
    if (line == item.last) break;
  }
  return {};
}

bool Format1Reader::mayInsertBefore(const SceneDescription&, const SceneLine* previous, const SceneLine* line,
                                    std::size_t) const {
  if (continuesAValue(line)) return false;
  // Lines right after a block's last line may still be the block's.
  bool beginsAPart = isBlankText(line->text.view()) || isItemLine(line) || isSectionLine(line);
  return beginsAPart || (previous != nullptr && isBlankText(previous->text.view()));
}

CopyLayout Format1Reader::copyLayout() const {
  return CopyLayout{false, false, blankLineAfterObjectBlock_, true, false};
}

std::int32_t Format1Reader::maxCopyIndex(ItemKind, bool) const {
  // Object numbers are 32-bit values; the number is the index plus one.
  return std::numeric_limits<std::int32_t>::max() - 1;
}

const Format1Reader& format1Reader() {
  static const Format1Reader reader(1, true, false);
  return reader;
}

const Format1Reader& format2Reader() {
  static const Format1Reader reader(2, false, true);
  return reader;
}

const Format1Reader* format1ReaderFor(const SceneLines& lines) {
  const SceneReader* reader = readerFor(formatNameOf(lines));
  if (reader == &format1Reader()) return &format1Reader();
  if (reader == &format2Reader()) return &format2Reader();
  return nullptr;
}

}  // namespace graftling
