// Read-only queries over a classified scene list of format 1 or 2: blocks,
// anchors, values.
#ifndef GRAFTLING_SCENE_SCENE_QUERIES_H_
#define GRAFTLING_SCENE_SCENE_QUERIES_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "scene/format1_reader.h"
#include "scene/scene_lines.h"

namespace graftling {

// The first line from start on (start included) that begins with keyword.
SceneLine* findLine(SceneLine* start, std::string_view keyword);

// The first light line ("AddLight") from start on, start included.
SceneLine* findLightLine(SceneLine* start);

// The last line of the object or light block that starts at line, read as
// blockLastLine reads it.
SceneLine* objectBlockEnd(SceneLine* line);
SceneLine* lightBlockEnd(SceneLine* line);

// The first "ParentObject" line from start up to, not including, stop.
// A null stop searches to the end of the list.
SceneLine* findParentLine(SceneLine* start, const SceneLine* stop);

// The text after the line's first space, line end included; none when the
// text holds no space. The view lives as long as the line's text.
std::optional<std::string_view> lineValue(const SceneLine* line);

// A value read as the C library reads a decimal integer: leading white space,
// an optional sign, digits up to the first other byte; 0 without digits.
// Values beyond 32 bits saturate, so every platform reads the same number.
std::int32_t decimalValue(std::string_view value);

// The n-th object line whose value is exactly fileName, followed by nothing,
// LF or CR LF. Object lines without a value are passed over.
SceneLine* findObjectLine(const SceneLines& list, std::string_view fileName, std::int32_t n);

// Where object copies go: after the last object block before the first light
// line, and after the blank line that follows it when there is one. None
// without a light line or an object before it.
SceneLine* objectSectionEnd(const SceneLines& list);

// Where light copies go: after the last light block before the camera's
// section, and after the blank line that follows it when there is one; with
// no light there, the line before that section. None without a camera.
SceneLine* lightSectionEnd(const SceneLines& list);

// The first object or light line from start on whose block's parent line, as
// format reads it, holds the value wanted. start is always examined; the walk
// ends before stop.
SceneLine* findChildItem(SceneLine* start, std::int32_t wanted, const SceneLine* stop,
                         const Format1Reader& format = format1Reader());

// The line end of lines made anew in this scene: CR LF when its first line
// ends with CR LF, LF otherwise.
std::string_view sceneLineEnd(const SceneLines& list);

}  // namespace graftling

#endif  // GRAFTLING_SCENE_SCENE_QUERIES_H_
