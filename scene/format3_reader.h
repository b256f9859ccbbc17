// The reader of format 3, which every Layout after format 2 writes: objects,
// lights and cameras in sections of their own, bones inside their object's
// block, brace blocks and plug-in bodies nested in items, and references that
// name items by identifiers of 8 hexadecimal digits.
#ifndef GRAFTLING_SCENE_FORMAT3_READER_H_
#define GRAFTLING_SCENE_FORMAT3_READER_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "scene/scene_format.h"

namespace graftling {

class Format3Reader : public SceneReader {
 public:
  Format3Reader() : SceneReader(3) {}

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
};

const Format3Reader& format3Reader();

// An identifier: exactly 8 hexadecimal digits of either case, followed by
// nothing but spaces, tabs and the line end. None for any other value.
std::optional<std::uint32_t> identifierValue(std::string_view value);

}  // namespace graftling

#endif  // GRAFTLING_SCENE_FORMAT3_READER_H_
