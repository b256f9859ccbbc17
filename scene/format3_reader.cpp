#include "scene/format3_reader.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <vector>

#include "scene/scene_queries.h"

namespace graftling {

namespace {

// What a top-level line of format 3 is to the reader.
enum class LineRole : std::uint8_t { Other, Object, Light, Camera, Bone, Ambient, Reference };

// The keyword of a reference line, and how its value names an item.
struct ReferenceKeyword {
  std::string_view keyword;
  Notation notation;
  bool namesOnlyLights;
};

constexpr ReferenceKeyword kParentItem{"ParentItem", Notation::Identifier, false};
constexpr ReferenceKeyword kTargetItem{"TargetItem", Notation::Identifier, false};
constexpr ReferenceKeyword kExcludeLight{"ExcludeLight", Notation::Identifier, true};
// Format 3 names goals and morph targets by object number; format 4 goals and
// format 5 the rest by identifier, and format 5 adds "UseBonesFrom".
constexpr ReferenceKeyword kGoalObjectNumber{"GoalObject", Notation::ObjectNumber, false};
constexpr ReferenceKeyword kGoalObjectIdentifier{"GoalObject", Notation::Identifier, false};
constexpr ReferenceKeyword kMorphTargetNumber{"MorphTarget", Notation::ObjectNumber, false};
constexpr ReferenceKeyword kMorphTargetIdentifier{"MorphTarget", Notation::Identifier, false};
constexpr ReferenceKeyword kUseBonesFrom{"UseBonesFrom", Notation::Identifier, false};

// The reference keywords of a format.
struct ReferenceKeywords {
  const ReferenceKeyword* goalObject;
  const ReferenceKeyword* morphTarget;
  const ReferenceKeyword* useBonesFrom;  // null before format 5

  explicit ReferenceKeywords(std::int32_t format)
      : goalObject(format >= 4 ? &kGoalObjectIdentifier : &kGoalObjectNumber),
        morphTarget(format >= 5 ? &kMorphTargetIdentifier : &kMorphTargetNumber),
        useBonesFrom(format >= 5 ? &kUseBonesFrom : nullptr) {}
};

// "ExcludeLight" values that stand for radiosity and caustics, not for lights.
constexpr std::uint32_t kNotLights[] = {0x21000000u, 0x22000000u};

// Every line is read here, so white space is skipped byte by byte rather
// than through a search for each byte among the characters of a set.
std::string_view withoutIndent(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  return text.substr(at);
}

bool onlySpaceAfter(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

LineRole referenceRole(std::string_view text, const ReferenceKeyword* candidate,
                       const ReferenceKeyword*& reference) {
  if (candidate == nullptr || !beginsWithWord(text, candidate->keyword)) return LineRole::Other;
  reference = candidate;
  return LineRole::Reference;
}

// Each reference keyword begins with a letter of its own, so the first
// letter of a line names the one keyword it may begin with.
LineRole roleOf(std::string_view text, const ReferenceKeywords& keywords,
                const ReferenceKeyword*& reference) {
  if (text.empty()) return LineRole::Other;
  switch (text[0]) {
    case 'L':
      if (beginsWithWord(text, "LoadObjectLayer") || beginsWithWord(text, "LoadObject"))
        return LineRole::Object;
      return LineRole::Other;
    case 'A':
      if (beginsWithWord(text, "AddNullObject")) return LineRole::Object;
      if (beginsWithWord(text, "AddLight")) return LineRole::Light;
      if (beginsWithWord(text, "AddCamera")) return LineRole::Camera;
      if (beginsWithWord(text, "AddBone")) return LineRole::Bone;
      if (beginsWithWord(text, "AmbientColor")) return LineRole::Ambient;
      return LineRole::Other;
    case 'P':
      return referenceRole(text, &kParentItem, reference);
    case 'T':
      return referenceRole(text, &kTargetItem, reference);
    case 'E':
      return referenceRole(text, &kExcludeLight, reference);
    case 'G':
      return referenceRole(text, keywords.goalObject, reference);
    case 'M':
      return referenceRole(text, keywords.morphTarget, reference);
    case 'U':
      return referenceRole(text, keywords.useBonesFrom, reference);
    default:
      return LineRole::Other;
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The first digit of the identifiers of each kind of item.
std::uint32_t kindDigit(ItemKind kind) {
  switch (kind) {
    case ItemKind::Object:
      return 1;
    case ItemKind::Light:
      return 2;
    case ItemKind::Camera:
      return 3;
    case ItemKind::Bone:
      return 4;
  }
  return 0;
}

// Where an item line of a format from 4 on spells its identifier: after its
// keyword and one space, and for "LoadObjectLayer" after the layer and one
// space too. Fields end at white space: a keyword or a layer that ends in any
// but a space leaves the line no identifier.
std::size_t identifierPosition(std::string_view text) {
  std::size_t at = 0;
  for (int field = beginsWithWord(text, "LoadObjectLayer") ? 2 : 1; field > 0; --field) {
    at = text.find_first_of(" \t\r\n", at);
    if (at == std::string_view::npos || text[at] != ' ') return std::string_view::npos;
    ++at;
  }
  return at;
}

// The identifier spelled at position at of text: 8 hexadecimal digits that
// end the text or stand before white space.
std::optional<std::uint32_t> identifierAt(std::string_view text, std::size_t at) {
  if (at == std::string_view::npos || text.size() < at + 8) return std::nullopt;
  std::uint32_t identifier = 0;
  for (char c : text.substr(at, 8)) {
    int digit = hexDigit(c);
    if (digit < 0) return std::nullopt;
    identifier = identifier << 4 | static_cast<std::uint32_t>(digit);
  }
  if (text.size() > at + 8) {
    char after = text[at + 8];
    if (after != ' ' && after != '\t' && after != '\r' && after != '\n') return std::nullopt;
  }
  return identifier;
}

// A line and its position in the reading.
struct Placed {
  SceneLine* line = nullptr;
  std::size_t at = kNone;
};

// The reading in progress: one pass over the lines, then the block ends,
// references and places settled from what the pass noted.
class Reader {
 public:
  explicit Reader(std::int32_t format) : keywords_(format), carried_(format >= 4) {}

  template <typename Next>
  SceneDescription read(SceneLine* first, Next next) {
    for (SceneLine* line = first; line != nullptr; line = next(line), ++at_) take(line);
    scene_.lineCount = at_;
    if (depth_ > 0 || inPlugin_) fail(SceneProblem::Unbalanced);
    finish();
    return std::move(scene_);
  }

 private:
  void fail(SceneProblem problem) {
    if (scene_.problem == SceneProblem::None) scene_.problem = problem;
  }

  void take(SceneLine* line) {
    std::string_view text = line->text.view();
    bool blank = isBlankText(text);
    bool nested = depth_ > 0 || inPlugin_;
    if (!nested) takeTopLevel(line, blank);
    followNesting(withoutIndent(text));
    if (!nested && blank) inRun_ = false;
    if (!blank) {
      if (!inRun_) {
        run_ = Placed{line, at_};
        beforeRun_ = lastNonBlank_;
        inRun_ = true;
      }
      lastNonBlank_ = Placed{line, at_};
    }
  }

  // Braces and plug-in bodies: nothing inside them is an item or reference
  // line, and nothing may be inserted among their lines.
  void followNesting(std::string_view text) {
    bool wasTopLevel = depth_ == 0 && !inPlugin_;
    char first = text.empty() ? '\0' : text[0];
    if (inPlugin_) {
      if (first == 'E' && beginsWithWord(text, "EndPlugin")) inPlugin_ = false;
    } else if (first == '{') {
      ++depth_;
    } else if (first == '}' && onlySpaceAfter(text.substr(1))) {
      if (depth_ == 0) {
        fail(SceneProblem::Unbalanced);
      } else {
        --depth_;
      }
    } else if (first == 'P' && beginsWithWord(text, "Plugin")) {
      inPlugin_ = true;
    }
    bool topLevel = depth_ == 0 && !inPlugin_;
    // A brace block seals its own first line too: it continues the value above it.
    if (wasTopLevel && !topLevel) sealedFrom_ = inPlugin_ ? at_ + 1 : at_;
    if (!wasTopLevel && topLevel) scene_.sealed.emplace_back(sealedFrom_, at_);
  }

  void takeTopLevel(SceneLine* line, bool blank) {
    if (blank) return;
    const ReferenceKeyword* reference = nullptr;
    switch (roleOf(line->text.view(), keywords_, reference)) {
      case LineRole::Object:
        if (section_ != Section::Objects) fail(SceneProblem::OutOfOrder);
        endBlock(lastBone_);
        endBlock(lastObject_);
        lastObject_ = addItem(line, ItemKind::Object, static_cast<std::int32_t>(scene_.objects.size()));
        scene_.objects.push_back(lastObject_);
        lastBone_ = kNone;
        ambient_ = Placed{};
        break;
      case LineRole::Bone:
        if (section_ != Section::Objects || lastObject_ == kNone) {
          fail(SceneProblem::OutOfOrder);
          break;
        }
        endBlock(lastBone_);
        lastBone_ = addItem(line, ItemKind::Bone, scene_.items[lastObject_].bones++, lastObject_);
        break;
      case LineRole::Light:
        if (section_ == Section::Cameras) fail(SceneProblem::OutOfOrder);
        if (section_ == Section::Objects) endObjects();
        section_ = Section::Lights;
        endBlock(lastLight_);
        lastLight_ = addItem(line, ItemKind::Light, static_cast<std::int32_t>(scene_.lights.size()));
        scene_.lights.push_back(lastLight_);
        break;
      case LineRole::Camera:
        if (section_ == Section::Objects) endObjects();
        if (section_ == Section::Lights) endBlock(lastLight_);
        if (section_ != Section::Cameras) firstCamera_ = at_;
        section_ = Section::Cameras;
        endBlock(lastCamera_);
        lastCamera_ = addItem(line, ItemKind::Camera, static_cast<std::int32_t>(cameras_.size()));
        cameras_.push_back(lastCamera_);
        break;
      case LineRole::Ambient:
        if (section_ == Section::Objects && lastObject_ != kNone && ambient_.line == nullptr) {
          ambient_ = Placed{line, at_};
          beforeAmbient_ = lastNonBlank_;
        }
        break;
      case LineRole::Reference:
        if (!scene_.items.empty()) {
          scene_.references.push_back(SceneReference{line, at_, kNone, reference->notation});
          owners_.push_back(scene_.items.size() - 1);
          onlyLights_.push_back(reference->namesOnlyLights);
        }
        break;
      case LineRole::Other:
        break;
    }
  }

  std::size_t addItem(SceneLine* line, ItemKind kind, std::int32_t index, std::size_t object = kNone) {
    SceneItem item;
    item.line = line;
    item.at = at_;
    item.kind = kind;
    item.index = index;
    item.object = object;
    if (carried_) {
      readIdentifier(item);
    } else {
      // Format 3 names an item by its index among its kind, a bone by its
      // index among its object's bones and the last 4 digits of its object's.
      auto position = static_cast<std::uint32_t>(index) & 0x0FFFFFFFu;
      item.identifier = kind == ItemKind::Bone
                            ? boneIdentifier(position << 16, scene_.items[object].identifier)
                            : kindDigit(kind) << 28 | position;
    }
    scene_.items.push_back(item);
    return scene_.items.size() - 1;
  }

  // The identifier an item line spells; notes a line without an identifier
  // of its item's kind, or with one that an earlier item has.
  void readIdentifier(SceneItem& item) {
    std::string_view text = item.line->text.view();
    std::size_t at = identifierPosition(text);
    std::optional<std::uint32_t> identifier = identifierAt(text, at);
    if (!identifier || *identifier >> 28 != kindDigit(item.kind) ||
        !identified_.emplace(*identifier, scene_.items.size()).second) {
      identifiersRepeat_ = true;
      return;
    }
    item.identifier = *identifier;
    item.identifierAt = static_cast<std::uint32_t>(at);
    if (item.kind == ItemKind::Object) highestObject_ = std::max(highestObject_, *identifier);
    if (item.kind == ItemKind::Light) highestLight_ = std::max(highestLight_, *identifier);
  }

  // An item's block ends at the last non-blank line before the line now read.
  void endBlock(std::size_t item) {
    if (item == kNone) return;
    scene_.items[item].last = lastNonBlank_.line;
    scene_.items[item].lastAt = lastNonBlank_.at;
  }

  // The object section ends where the scene-level group begins: at the first
  // "AmbientColor" line after the objects, or else at the last run of
  // non-blank lines before the line now read.
  void endObjects() {
    section_ = Section::Lights;
    if (lastObject_ == kNone) return;
    Placed group = ambient_.line != nullptr ? ambient_ : run_;
    Placed before = ambient_.line != nullptr ? beforeAmbient_ : beforeRun_;
    if (group.line == nullptr || group.at <= scene_.items[lastObject_].at || before.line == nullptr) {
      fail(SceneProblem::OutOfOrder);
      before = lastNonBlank_;
    }
    SceneItem& object = scene_.items[lastObject_];
    object.last = before.line;
    object.lastAt = before.at;
    if (lastBone_ != kNone) {
      scene_.items[lastBone_].last = object.last;
      scene_.items[lastBone_].lastAt = object.lastAt;
    }
  }

  void finish() {
    if (section_ == Section::Objects) {
      // No light and no camera: the objects have no end, and copies no place.
      fail(SceneProblem::NoCamera);
      endObjects();
    }
    endBlock(lastLight_ != kNone && section_ == Section::Lights ? lastLight_ : kNone);
    endBlock(lastCamera_);
    if (section_ != Section::Cameras) fail(SceneProblem::NoCamera);
    // A bone past its object's end stands outside every object's block; in a
    // scene out of order, an item that nothing ended ends at its own line.
    for (SceneItem& item : scene_.items) {
      if (item.last == nullptr || item.lastAt < item.at) {
        fail(SceneProblem::OutOfOrder);
        item.last = item.line;
        item.lastAt = item.at;
      }
      if (item.kind == ItemKind::Bone && item.at > scene_.items[item.object].lastAt) {
        fail(SceneProblem::OutOfOrder);
        item.last = item.line;
        item.lastAt = item.at;
      }
    }
    settleReferences();
    if (lastObject_ != kNone) {
      scene_.objectPlace = scene_.items[lastObject_].last;
      scene_.objectPlaceAt = scene_.items[lastObject_].lastAt;
    }
    if (lastLight_ != kNone) {
      scene_.lightPlace = scene_.items[lastLight_].last;
      scene_.lightPlaceAt = scene_.items[lastLight_].lastAt;
    }
    scene_.copyableEnd = firstCamera_;
    if (carried_) {
      scene_.nextObjectIdentifier = highestObject_ + 1;
      scene_.nextLightIdentifier = highestLight_ + 1;
    } else {
      scene_.nextObjectIdentifier = 0x10000000u | static_cast<std::uint32_t>(scene_.objects.size());
      scene_.nextLightIdentifier = 0x20000000u | static_cast<std::uint32_t>(scene_.lights.size());
    }
    if (identifiersRepeat_) fail(SceneProblem::Identifiers);
  }

  // Keeps the references that stand within their item's block, gives each
  // item its range and parent line, and resolves what each names.
  void settleReferences() {
    std::vector<SceneReference> kept;
    std::vector<std::size_t> keptOwners;
    std::vector<bool> keptOnlyLights;
    for (std::size_t i = 0; i < scene_.references.size(); ++i) {
      const SceneItem& owner = scene_.items[owners_[i]];
      if (owner.last == nullptr || scene_.references[i].at > owner.lastAt) continue;
      kept.push_back(scene_.references[i]);
      keptOwners.push_back(owners_[i]);
      keptOnlyLights.push_back(onlyLights_[i]);
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < scene_.items.size(); ++i) {
      SceneItem& item = scene_.items[i];
      item.firstReference = next;
      while (next < kept.size() && keptOwners[next] == i) {
        if (item.parent == kNone && beginsWithWord(kept[next].line->text.view(), "ParentItem"))
          item.parent = next;
        ++next;
      }
      item.endReference = next;
    }
    // An object's range takes in its bones'.
    for (std::size_t i = 0; i < scene_.items.size(); ++i) {
      SceneItem& item = scene_.items[i];
      if (item.kind == ItemKind::Object && item.bones > 0)
        item.endReference = scene_.items[i + static_cast<std::size_t>(item.bones)].endReference;
    }
    for (std::size_t i = 0; i < kept.size(); ++i) kept[i].target = targetOf(kept[i], keptOnlyLights[i]);
    scene_.references = std::move(kept);
  }

  std::size_t targetOf(const SceneReference& reference, bool onlyLights) const {
    std::optional<std::string_view> value = lineValue(reference.line);
    if (!value) return kNone;
    if (reference.notation == Notation::ObjectNumber) {
      std::int32_t number = decimalValue(*value);
      if (number < 1 || static_cast<std::size_t>(number) > scene_.objects.size()) return kNone;
      return scene_.objects[static_cast<std::size_t>(number) - 1];
    }
    std::optional<std::uint32_t> identifier = identifierValue(*value);
    if (!identifier) return kNone;
    std::uint32_t kind = *identifier >> 28;
    if (onlyLights &&
        (kind != 2 || std::count(std::begin(kNotLights), std::end(kNotLights), *identifier) != 0))
      return kNone;
    if (carried_) {
      auto found = identified_.find(*identifier);
      return found == identified_.end() ? kNone : found->second;
    }
    std::uint32_t index = *identifier & 0x0FFFFFFFu;
    switch (kind) {
      case 1:
        return index < scene_.objects.size() ? scene_.objects[index] : kNone;
      case 2:
        return index < scene_.lights.size() ? scene_.lights[index] : kNone;
      case 3:
        return index < cameras_.size() ? cameras_[index] : kNone;
      case 4: {
        std::uint32_t object = *identifier & 0xFFFFu;
        std::uint32_t bone = (*identifier >> 16) & 0xFFFu;
        if (object >= scene_.objects.size()) return kNone;
        std::size_t owner = scene_.objects[object];
        if (bone >= static_cast<std::uint32_t>(scene_.items[owner].bones)) return kNone;
        return owner + 1 + bone;
      }
      default:
        return kNone;
    }
  }

  enum class Section : std::uint8_t { Objects, Lights, Cameras };

  ReferenceKeywords keywords_;
  bool carried_;  // item lines spell identifiers, and references name items by them
  std::unordered_map<std::uint32_t, std::size_t> identified_;  // the item each spelled identifier names
  bool identifiersRepeat_ = false;  // an item line spells no identifier of its kind, or a repeated one
  std::uint32_t highestObject_ = 0x0FFFFFFFu;  // the highest object and light identifiers spelled
  std::uint32_t highestLight_ = 0x1FFFFFFFu;
  SceneDescription scene_;
  std::vector<std::size_t> owners_;  // per noted reference, the item whose lines it stands in
  std::vector<bool> onlyLights_;     // per noted reference, whether it names lights only
  std::size_t at_ = 0;
  int depth_ = 0;
  bool inPlugin_ = false;
  std::size_t sealedFrom_ = 0;
  Section section_ = Section::Objects;
  std::size_t lastObject_ = kNone;
  std::size_t lastBone_ = kNone;
  std::size_t lastLight_ = kNone;
  std::size_t lastCamera_ = kNone;
  std::vector<std::size_t> cameras_;  // the item of each camera index
  std::size_t firstCamera_ = kNone;
  Placed lastNonBlank_;
  Placed run_;        // the first line of the latest run of non-blank lines
  Placed beforeRun_;  // the last non-blank line before it
  bool inRun_ = false;
  Placed ambient_;  // the first "AmbientColor" line after the latest object
  Placed beforeAmbient_;
};

}  // namespace

std::optional<std::uint32_t> identifierValue(std::string_view value) {
  if (value.size() < 8 || !onlySpaceAfter(value.substr(8))) return std::nullopt;
  std::uint32_t identifier = 0;
  for (char c : value.substr(0, 8)) {
    int digit = hexDigit(c);
    if (digit < 0) return std::nullopt;
    identifier = identifier << 4 | static_cast<std::uint32_t>(digit);
  }
  return identifier;
}

SceneDescription Format3Reader::read(const SceneLines& lines, Reading reading) const {
  return readLines(lines, reading,
                   [this](SceneLine* first, auto next) { return Reader(format()).read(first, next); });
}

SceneLine* Format3Reader::findObjectLine(const SceneLines& lines, std::string_view fileName,
                                         std::int32_t n) const {
  SceneDescription scene = read(lines, Reading::AllLines);
  std::int32_t count = 0;
  for (std::size_t object : scene.objects) {
    SceneLine* line = scene.items[object].line;
    if (objectFileName(line) == fileName && ++count == n) return line;
  }
  return nullptr;
}

std::string_view Format3Reader::objectFileName(const SceneLine* line) const {
  std::optional<std::string_view> value = lineValue(line);
  if (!value) return {};
  // The layer number, then from format 4 on the identifier, then the name.
  int before =
      (beginsWithWord(line->text.view(), "LoadObjectLayer") ? 1 : 0) + (itemLinesCarryIdentifiers() ? 1 : 0);
  for (; before > 0; --before) {
    std::size_t space = value->find(' ');
    if (space == std::string_view::npos) return {};
    value = value->substr(space + 1);
  }
  return withoutLineEnd(*value);
}

std::string_view Format3Reader::itemName(const SceneItem& item) const {
  std::string_view keyword = item.kind == ItemKind::Light    ? "LightName"
                             : item.kind == ItemKind::Camera ? "CameraName"
                                                             : "BoneName";
  for (const SceneLine* line = item.line; line != nullptr; line = line->next) {
    if (beginsWithWord(line->text.view(), keyword)) return withoutLineEnd(lineValue(line).value_or(""));
    if (line == item.last) break;
  }
  return {};
}

bool Format3Reader::mayInsertBefore(const SceneDescription& description, const SceneLine*, const SceneLine*,
                                    std::size_t at) const {
  const auto& sealed = description.sealed;
  auto span = std::upper_bound(sealed.begin(), sealed.end(), at,
                               [](std::size_t position, const auto& each) { return position < each.first; });
  return span == sealed.begin() || at > std::prev(span)->second;
}

CopyLayout Format3Reader::copyLayout() const { return CopyLayout{true, false, false, false, true}; }

std::int32_t Format3Reader::maxCopyIndex(ItemKind kind, bool withBones) const {
  // From format 4 on, identifiers do not hold positions: object numbers, 32-bit
  // values, are the index plus one.
  if (itemLinesCarryIdentifiers()) return std::numeric_limits<std::int32_t>::max() - 1;
  // Format 3: bones name their object in 4 hexadecimal digits; items in 7.
  return kind == ItemKind::Object && withBones ? 0xFFFF : 0x0FFFFFFF;
}

std::uint32_t Format3Reader::maxCopyIdentifier(ItemKind kind) const {
  if (kind == ItemKind::Object) return 0x1FFFFFFFu;
  // From format 4 on, no light copy takes "21000000", which names radiosity.
  return itemLinesCarryIdentifiers() ? 0x20FFFFFFu : 0x2FFFFFFFu;
}

const Format3Reader& format3Reader() { return format3FamilyReader(3); }

const Format3Reader& format3FamilyReader(std::int32_t format) {
  static const Format3Reader readers[] = {Format3Reader(3), Format3Reader(4), Format3Reader(5),
                                          Format3Reader(6), Format3Reader(7), Format3Reader(8)};
  return readers[std::clamp(format, 3, kLatestFormat) - 3];
}

}  // namespace graftling
