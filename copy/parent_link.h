// Points a copied block at its new parent object.
#ifndef GRAFTLING_COPY_PARENT_LINK_H_
#define GRAFTLING_COPY_PARENT_LINK_H_

#include <cstdint>
#include <string_view>

#include "copy/copy_log.h"
#include "scene/format1_reader.h"
#include "scene/scene_lines.h"

namespace graftling {

// Rewrites the parent line, as format reads it, of the block that starts at
// copyLine (an object block when copyLine is an object line, a light block
// otherwise) to read newParent. False only when storage ran out; the line is
// then as it was. A block without a parent line is left alone.
bool setParentNumber(SceneLine* copyLine, std::int32_t newParent, std::string_view lineEnd = "\n",
                     const Format1Reader& format = format1Reader());

// Keeps the text up to and including its first space and puts number in
// decimal and lineEnd after it. A text without a space is left alone. False
// only when storage ran out; the line then keeps its old text.
bool replaceLineValue(SceneLine* line, std::int32_t number, std::string_view lineEnd = "\n");
bool replaceLineValue(SceneLine* line, std::string_view value, std::string_view lineEnd);

// Spells identifier, as 8 lowercase hexadecimal digits, over the 8
// characters at position at of the line's text. False only when storage ran
// out; the line then keeps its old text.
bool replaceIdentifier(SceneLine* line, std::size_t at, std::uint32_t identifier);

// Points the reference lines of the copies in log (log.references, the
// picked object's copy included) that name an object the run copied at that
// object's copy, in the form of a rewritten parent line. Every other line
// stays as it was. False only when storage ran out.
bool retargetReferences(const CopyLog& log, std::string_view lineEnd);

}  // namespace graftling

#endif  // GRAFTLING_COPY_PARENT_LINK_H_
