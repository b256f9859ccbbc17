// The scene file as a doubly linked list of lines, in file order.
#ifndef GRAFTLING_SCENE_SCENE_LINES_H_
#define GRAFTLING_SCENE_SCENE_LINES_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace graftling {

// The kind of a line, taken from the keyword it begins with. 0 is also the
// kind of a line that no classification has reached yet.
enum LineKind : std::int8_t {
  KindHeader = 0,
  KindObject = 1,
  KindLight = 2,
  KindCamera = 3,
  KindBackdrop = 4,
  KindRenderMode = 5,
  KindViewMode = 6,
  KindOther = 7,
};

// A piece of scene text of at most 255 bytes, its line end included when it
// has one. NUL bytes are ordinary bytes of the text.
struct SceneLine {
  std::string text;
  SceneLine* prev = nullptr;
  SceneLine* next = nullptr;
  LineKind kind = KindHeader;
  std::int32_t objectNumber = 0;
};

using LinePtr = std::unique_ptr<SceneLine>;

// Owns every line linked into it; released without recursion.
struct SceneLines {
  SceneLine* head = nullptr;
  SceneLine* tail = nullptr;  // last line appended while loading
  std::int32_t nextObjectNumber = 0;

  SceneLines() = default;
  SceneLines(const SceneLines&) = delete;
  SceneLines& operator=(const SceneLines&) = delete;
  ~SceneLines();

  // Appends at the end; only loading and tests build lists this way.
  void append(LinePtr line);
};

using SceneLinesPtr = std::unique_ptr<SceneLines>;

// Longest piece of text one SceneLine holds when read from a file.
constexpr std::size_t kMaxPieceLength = 255;

enum class ReadStatus { Text, End, Failed };

// Reads the next piece: bytes up to and including the next LF, at most 255.
// End when nothing is left; Failed on a read error or lack of storage.
ReadStatus readLineText(std::FILE* stream, std::string& text);

// Reads a whole file, byte for byte, into a classified list. None when the
// file cannot be opened or read, or storage runs out: never a partial list.
SceneLinesPtr loadSceneLines(const char* fileName);

// Parses scene bytes held in memory exactly as loadSceneLines parses a file.
SceneLinesPtr parseSceneLines(std::string_view bytes);

// Writes every text in order, nothing between or after. 1 when the whole file
// was written, flushed and closed; 0 otherwise.
int writeSceneLines(const SceneLines& list, const char* fileName);

// The list's texts joined, exactly as writeSceneLines would write them.
std::string sceneText(const SceneLines& list);

void releaseSceneLines(SceneLinesPtr list);

// Line and text makers: none when storage cannot be had. A new line is
// unlinked, KindHeader, object number 0, and belongs to the caller.
std::optional<std::string> copyText(std::string_view text);
LinePtr newLineRecord();
LinePtr makeLine(std::string_view text);
LinePtr duplicateLine(const SceneLine& line);

// Links newLine directly after line; the list takes ownership of it.
void insertAfter(SceneLine* line, LinePtr newLine);

}  // namespace graftling

#endif  // GRAFTLING_SCENE_SCENE_LINES_H_
