// Names as the user reads them. Layout writes names in the Windows code page
// (Windows-1252 in real scenes); terminals here read UTF-8. Only what is
// shown changes: a scene's bytes are never touched.
#ifndef GRAFTLING_STANDIN_SHOWN_NAMES_H_
#define GRAFTLING_STANDIN_SHOWN_NAMES_H_

#include <string>
#include <string_view>

namespace graftling::standin {

// Whether text is well-formed UTF-8: no overlong forms, surrogates or code
// points past U+10FFFF.
bool isUtf8(std::string_view text);

// text read as Windows-1252, written as UTF-8. The five bytes that code page
// leaves undefined become U+FFFD.
std::string utf8FromWindows1252(std::string_view text);

// text as a UTF-8 terminal shows it the way Layout does: unchanged when it
// is UTF-8 already, else read as Windows-1252.
std::string shownText(std::string_view text);

}  // namespace graftling::standin

#endif  // GRAFTLING_STANDIN_SHOWN_NAMES_H_
