// The reader of format 3, which the Layouts after format 2 write, and of the
// later formats that keep its layout: objects, lights and cameras in sections
// of their own, bones inside their object's block, brace blocks and plug-in
// bodies nested in items, and references that name items by identifiers of 8
// hexadecimal digits. From format 4 on, each item line spells its identifier.
#ifndef GRAFTLING_SCENE_FORMAT3_READER_H_
#define GRAFTLING_SCENE_FORMAT3_READER_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "scene/scene_format.h"

namespace graftling {

// The latest format graftling edits.
constexpr std::int32_t kLatestFormat = 8;

class Format3Reader : public SceneReader {
 public:
  explicit Format3Reader(std::int32_t format) : SceneReader(format) {}

  SceneDescription read(const SceneLines& lines, Reading reading) const override;
  SceneLine* findObjectLine(const SceneLines& lines, std::string_view fileName,
                            std::int32_t n) const override;
  std::string_view objectFileName(const SceneLine* line) const override;
  std::string_view itemName(const SceneItem& item) const override;
  bool mayInsertBefore(const SceneDescription& description, const SceneLine* previous, const SceneLine* line,
                       std::size_t at) const override;
  CopyLayout copyLayout() const override;
  bool readsLineKinds() const override { return false; }
  std::int32_t maxCopyIndex(ItemKind kind, bool withBones) const override;
  std::uint32_t maxCopyIdentifier(ItemKind kind) const override;
  bool itemLinesCarryIdentifiers() const override { return format() >= 4; }
};

const Format3Reader& format3Reader();

// The reader of format 3 or of a later format up to kLatestFormat.
const Format3Reader& format3FamilyReader(std::int32_t format);

// An identifier: exactly 8 hexadecimal digits of either case, followed by
// nothing but spaces, tabs and the line end. None for any other value.
std::optional<std::uint32_t> identifierValue(std::string_view value);

}  // namespace graftling

#endif  // GRAFTLING_SCENE_FORMAT3_READER_H_
