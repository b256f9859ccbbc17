// The scene file as a doubly linked list of lines, in file order.
#ifndef GRAFTLING_SCENE_SCENE_LINES_H_
#define GRAFTLING_SCENE_SCENE_LINES_H_

#include <cstdint>
#include <cstdio>
#include <iosfwd>
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

// The keyword a text begins with, among those that classification and the
// block queries test; None for any other text. No keyword begins another, so
// a text begins with at most one of them.
enum class Keyword : std::int8_t {
  None,
  LWSC,
  AddNullObject,
  LoadObject,
  AddLight,
  ShowCamera,
  SolidBackdrop,
  RenderMode,
  ViewMode,
  ParentObject,
  ShadowOptions,
  ShadowType,
};

Keyword keywordOf(std::string_view text);

// The bytes of one line, NUL bytes included.
// Notes its keyword when it is set, so walks over the list need not read it.
// Moves but does not copy: a copy needs storage, which copyText makes.
class LineText {
 public:
  LineText() = default;
  LineText(LineText&& other) noexcept { take(other); }
  LineText& operator=(LineText&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~LineText() { release(); }

  // A copy of text in storage of its own; empty when it cannot be had or
  // the text is longer than kMaxTextLength.
  static std::optional<LineText> copyOf(std::string_view text);
  // The size bytes at data, which their owner keeps unchanged for as long as
  // the text lives. size is at most kMaxTextLength.
  static LineText viewing(const char* data, std::size_t size);
  static constexpr std::size_t kMaxTextLength = 65535;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* data() const { return data_; }
  const char* begin() const { return data_; }
  const char* end() const { return data_ + size_; }
  char front() const { return data_[0]; }
  char back() const { return data_[size_ - 1]; }
  char operator[](std::size_t at) const { return data_[at]; }
  std::string_view view() const { return std::string_view(data_, size_); }
  Keyword keyword() const { return keyword_; }
  // For a "ParentObject" text, whether it has a space and the decimal value
  // after it (see decimalValue), read once when the text was set.
  bool hasNumber() const { return (flags_ & kHasNumber) != 0; }
  std::int32_t number() const { return number_; }

  void swap(LineText& other) noexcept {
    LineText held(std::move(other));
    other = std::move(*this);
    *this = std::move(held);
  }

  friend bool operator==(const LineText& a, const LineText& b) { return a.view() == b.view(); }
  friend bool operator==(const LineText& a, std::string_view b) { return a.view() == b; }

 private:
  void release();
  void take(LineText& other) noexcept {
    data_ = other.data_;
    number_ = other.number_;
    size_ = other.size_;
    keyword_ = other.keyword_;
    flags_ = other.flags_;
    other.data_ = kEmpty;
    other.number_ = 0;
    other.size_ = 0;
    other.keyword_ = Keyword::None;
    other.flags_ = 0;
  }

  // Sets data and size and notes what the text begins with.
  void set(const char* data, std::size_t size, bool owned);

  static constexpr const char* kEmpty = "";
  static constexpr std::uint8_t kOwned = 1;
  static constexpr std::uint8_t kHasNumber = 2;
  // Sixteen bytes in all, so a SceneLine takes forty.
  const char* data_ = kEmpty;
  std::int32_t number_ = 0;
  std::uint16_t size_ = 0;
  Keyword keyword_ = Keyword::None;
  std::uint8_t flags_ = 0;
};

std::ostream& operator<<(std::ostream& out, const LineText& text);

// A piece of scene text of at most 255 bytes, its line end included when it
// has one.
struct SceneLine {
  LineText text;
  SceneLine* prev = nullptr;
  SceneLine* next = nullptr;
  LineKind kind = KindHeader;
  bool stored = false;    // the record lies in its list's LineStore
  bool inserted = false;  // linked in by a copy, not read from the scene file
  std::int32_t objectNumber = 0;
};

// The records of a list's lines and their texts, made in large blocks in the
// order they are made (file order for the lines read), so that walks over the
// list go through memory in order and no line costs a heap block of its own.
// The blocks belong to the list and go with it.
class LineStore {
 public:
  LineStore();
  LineStore(const LineStore&) = delete;
  LineStore& operator=(const LineStore&) = delete;
  ~LineStore();

  // A new, unlinked record that holds a copy of text, kept in the store;
  // null when storage cannot be had or text is longer than kMaxTextLength.
  SceneLine* make(std::string_view text);
  // A new, unlinked record whose text views text itself: bytes of the store's
  // own, or bytes that outlive the list unchanged. Null as make.
  SceneLine* makeViewing(std::string_view text);
  // size bytes of the store's own for the caller to fill, in a block of
  // their own; null when storage cannot be had.
  char* bytes(std::size_t size);

 private:
  struct Block {
    Block* next;
  };
  // A new block of bytes after its header, chained to chain; null on failure.
  static void* addBlock(Block*& chain, std::size_t bytes);
  // A copy of text in the text blocks; null on failure.
  const char* keep(std::string_view text);

  Block* recordBlocks_ = nullptr;
  SceneLine* nextRecord_ = nullptr;
  SceneLine* recordsEnd_ = nullptr;
  std::size_t recordsPerBlock_;  // of the next record block
  Block* textBlocks_ = nullptr;
  char* nextText_ = nullptr;
  char* textsEnd_ = nullptr;
  std::size_t textBlockBytes_;  // of the next text block
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
  void append(SceneLine* stored);

  LineStore store;  // holds the records of lines read or copied, and their texts
};

using SceneLinesPtr = std::unique_ptr<SceneLines>;

// Longest piece of text one SceneLine holds when read from a file.
constexpr std::size_t kMaxPieceLength = 255;

// How a load ended: with a list, or why without one.
enum class LoadStatus : std::int8_t { Loaded, Unreadable, OutOfStorage };

// Reads a whole file, byte for byte, into a classified list. None when the
// file cannot be opened or read, or storage runs out: never a partial list.
// status tells which of these it was.
SceneLinesPtr loadSceneLines(const char* fileName, LoadStatus& status);
SceneLinesPtr loadSceneLines(const char* fileName);

// Parses scene bytes held in memory exactly as loadSceneLines parses a file.
SceneLinesPtr parseSceneLines(std::string_view bytes);
// The same, but the lines view bytes, which must outlive the list unchanged:
// for a list that is only read.
SceneLinesPtr viewSceneLines(std::string_view bytes);

// Writes every text in order, nothing between or after. 1 when the whole file
// was written, flushed and closed; 0 otherwise.
int writeSceneLines(const SceneLines& list, const char* fileName);

// The list's texts joined, exactly as writeSceneLines would write them.
std::string sceneText(const SceneLines& list);

void releaseSceneLines(SceneLinesPtr list);

// Line and text makers: none when storage cannot be had. A new line is
// unlinked, KindHeader, object number 0, and belongs to the caller.
std::optional<LineText> copyText(std::string_view text);
LinePtr newLineRecord();
LinePtr makeLine(std::string_view text);
LinePtr duplicateLine(const SceneLine& line);

// The line after line that the saved scene holds: the next one not inserted
// by a copy; null at the end.
inline SceneLine* nextSavedLine(const SceneLine* line) {
  SceneLine* next = line->next;
  while (next != nullptr && next->inserted) next = next->next;
  return next;
}

// Links newLine directly after line; the list takes ownership of it.
void insertAfter(SceneLine* line, LinePtr newLine);

}  // namespace graftling

#endif  // GRAFTLING_SCENE_SCENE_LINES_H_
