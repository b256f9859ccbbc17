#include "scene/scene_format.h"

#include <algorithm>
#include <iterator>

namespace graftling {

namespace {

// The formats graftling edits. Format 2 (Layout 5.6) numbers objects and
// names parents, targets and goals as format 1 does; it writes object blocks
// without "ShadowOptions" and without blank lines between them.
constexpr SceneFormat kEditedFormats[] = {
    {1, true},
    {2, false},
};

std::string_view withoutLineEnd(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

}  // namespace

std::string formatNameOf(std::string_view secondLine) {
  std::string_view name = withoutLineEnd(secondLine);
  bool digits = !name.empty() && name.size() <= 9 &&
                std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits ? std::string(name) : std::string("unknown");
}

std::string formatNameOf(const SceneLines& list) {
  if (list.head == nullptr || list.head->next == nullptr) return "unknown";
  return formatNameOf(list.head->next->text.view());
}

const SceneFormat* editedFormat(std::string_view formatName) {
  if (formatName.empty() || formatName.size() > 9) return nullptr;
  std::int32_t number = 0;
  for (char c : formatName) {
    if (c < '0' || c > '9') return nullptr;
    number = number * 10 + (c - '0');
  }
  for (const SceneFormat& format : kEditedFormats) {
    if (format.number == number) return &format;
  }
  return nullptr;
}

std::string editedFormatsText() {
  std::string text;
  std::size_t count = std::size(kEditedFormats);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += i + 1 == count ? " and " : ", ";
    text += std::to_string(kEditedFormats[i].number);
  }
  return text;
}

bool beginsWithWord(std::string_view text, std::string_view keyword) {
  if (text.substr(0, keyword.size()) != keyword) return false;
  if (text.size() == keyword.size()) return true;
  char after = text[keyword.size()];
  return after == ' ' || after == '\t' || after == '\r' || after == '\n';
}

bool isBlankText(std::string_view text) { return text == "\n" || text == "\r\n"; }

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
  return line->kind == KindCamera ||
         (line->kind == KindOther && beginsWithWord(line->text.view(), "AddCamera"));
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

}  // namespace graftling
