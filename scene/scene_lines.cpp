#include "scene/scene_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <new>
#include <ostream>
#include <utility>

#include "scene/line_kind.h"
#include "scene/scene_queries.h"

namespace graftling {

void LineText::release() {
  if ((flags_ & kOwned) != 0) delete[] data_;
  data_ = kEmpty;
  number_ = 0;
  size_ = 0;
  keyword_ = Keyword::None;
  flags_ = 0;
}

void LineText::set(const char* data, std::size_t size, bool owned) {
  data_ = data;
  size_ = static_cast<std::uint16_t>(size);
  keyword_ = keywordOf(view());
  flags_ = owned ? kOwned : 0;
  number_ = 0;
  if (keyword_ == Keyword::ParentObject) {
    std::size_t space = view().find(' ');
    if (space != std::string_view::npos) {
      flags_ |= kHasNumber;
      number_ = decimalValue(view().substr(space + 1));
    }
  }
}

std::optional<LineText> LineText::copyOf(std::string_view text) {
  if (text.size() > kMaxTextLength) return std::nullopt;
  char* storage = new (std::nothrow) char[text.size() + 1];
  if (storage == nullptr) return std::nullopt;
  if (!text.empty()) std::memcpy(storage, text.data(), text.size());
  storage[text.size()] = '\0';
  LineText made;
  made.set(storage, text.size(), true);
  return made;
}

std::ostream& operator<<(std::ostream& out, const LineText& text) { return out << text.view(); }

// Walks over the list read every record, so its size sets their cost.
static_assert(sizeof(void*) != 8 || sizeof(SceneLine) == 40,
              "a line record takes 40 bytes on 64-bit systems");

namespace {

// Small enough that an unused tail costs little, large enough that a walk
// runs through many records in order before it moves to the next block.
constexpr std::size_t kRecordsPerBlock = 256;

}  // namespace

LineStore::~LineStore() {
  while (recordBlocks_ != nullptr) {
    Block* next = recordBlocks_->next;
    ::operator delete(recordBlocks_);
    recordBlocks_ = next;
  }
}

void* LineStore::addBlock(Block*& chain, std::size_t bytes) {
  // The header takes a whole alignment unit, so the bytes suit any record.
  constexpr std::size_t kHeader = alignof(std::max_align_t);
  static_assert(sizeof(Block) <= kHeader);
  void* raw = ::operator new(kHeader + bytes, std::nothrow);
  if (raw == nullptr) return nullptr;
  Block* block = static_cast<Block*>(raw);
  block->next = chain;
  chain = block;
  return static_cast<char*>(raw) + kHeader;
}

SceneLine* LineStore::make(std::string_view text) {
  // The text takes storage of its own, as every text does; only records,
  // which every walk reads, are kept together.
  std::optional<LineText> copy = copyText(text);
  if (!copy) return nullptr;
  if (nextRecord_ == recordsEnd_) {
    void* block = addBlock(recordBlocks_, kRecordsPerBlock * sizeof(SceneLine));
    if (block == nullptr) return nullptr;
    nextRecord_ = static_cast<SceneLine*>(block);
    recordsEnd_ = nextRecord_ + kRecordsPerBlock;
  }
  SceneLine* line = new (nextRecord_++) SceneLine;
  line->stored = true;
  line->text = std::move(*copy);
  return line;
}

SceneLines::~SceneLines() {
  SceneLine* line = head;
  while (line != nullptr) {
    SceneLine* next = line->next;
    // A stored record's memory goes with the store; its text may not.
    if (line->stored) {
      line->~SceneLine();
    } else {
      delete line;
    }
    line = next;
  }
}

void SceneLines::append(LinePtr line) { append(line.release()); }

void SceneLines::append(SceneLine* raw) {
  raw->next = nullptr;
  raw->prev = tail;
  if (tail == nullptr) {
    head = raw;
  } else {
    tail->next = raw;
  }
  tail = raw;
}

namespace {

struct FileSource {
  std::FILE* stream;
  int get() { return std::getc(stream); }
  bool failed() const { return std::ferror(stream) != 0; }
};

// Reads the file in large blocks and hands out its bytes one at a time,
// without the stream's lock and call for every byte.
class BufferedFileSource {
 public:
  explicit BufferedFileSource(std::FILE* stream) : stream_(stream) {}
  int get() {
    if (at_ == size_ && !refill()) return EOF;
    return static_cast<unsigned char>(buffer_[at_++]);
  }
  bool failed() const { return std::ferror(stream_) != 0; }

 private:
  bool refill() {
    size_ = std::fread(buffer_, 1, sizeof buffer_, stream_);
    at_ = 0;
    return size_ != 0;
  }
  std::FILE* stream_;
  std::size_t at_ = 0;
  std::size_t size_ = 0;
  char buffer_[16384];
};

struct MemorySource {
  std::string_view bytes;
  std::size_t at = 0;
  int get() { return at < bytes.size() ? static_cast<unsigned char>(bytes[at++]) : EOF; }
  static bool failed() { return false; }
};

// Takes bytes up to and including the next LF, at most kMaxPieceLength of
// them, into buffer: the cut of a line read with a limit of 256, without
// losing NULs.
template <typename Source>
ReadStatus readPiece(Source& source, char (&buffer)[kMaxPieceLength], std::string_view& piece) {
  std::size_t length = 0;
  while (length < kMaxPieceLength) {
    int c = source.get();
    if (c == EOF) break;
    buffer[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (source.failed()) return ReadStatus::Failed;
  if (length == 0) return ReadStatus::End;
  piece = std::string_view(buffer, length);
  return ReadStatus::Text;
}

// Reads every piece of source into a new classified list, made in made only
// when the whole source was read.
template <typename Source>
LoadStatus buildList(Source& source, SceneLinesPtr& made) {
  SceneLinesPtr list(new (std::nothrow) SceneLines);
  if (!list) return LoadStatus::OutOfStorage;
  char buffer[kMaxPieceLength];
  std::string_view piece;
  for (;;) {
    ReadStatus status = readPiece(source, buffer, piece);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Failed) return LoadStatus::Unreadable;
    SceneLine* line = list->store.make(piece);
    if (line == nullptr) return LoadStatus::OutOfStorage;
    list->append(line);
  }
  classifyLines(*list);
  made = std::move(list);
  return LoadStatus::Loaded;
}

// Closes the stream when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

ReadStatus readLineText(std::FILE* stream, std::string& text) {
  FileSource source{stream};
  char buffer[kMaxPieceLength];
  std::string_view piece;
  ReadStatus status = readPiece(source, buffer, piece);
  if (status != ReadStatus::Text) return status;
  try {
    text.assign(piece);
  } catch (const std::bad_alloc&) {
    return ReadStatus::Failed;
  }
  return ReadStatus::Text;
}

SceneLinesPtr loadSceneLines(const char* fileName, LoadStatus& status) {
  errno = 0;
  FileHandle file(std::fopen(fileName, "rb"));
  if (!file) {
    // The stream's own buffer or record may be what could not be had.
    status = errno == ENOMEM ? LoadStatus::OutOfStorage : LoadStatus::Unreadable;
    return nullptr;
  }
  BufferedFileSource source(file.get());
  SceneLinesPtr list;
  status = buildList(source, list);
  return list;
}

SceneLinesPtr loadSceneLines(const char* fileName) {
  LoadStatus status = LoadStatus::Loaded;
  return loadSceneLines(fileName, status);
}

SceneLinesPtr parseSceneLines(std::string_view bytes) {
  MemorySource source{bytes};
  SceneLinesPtr list;
  buildList(source, list);
  return list;
}

int writeSceneLines(const SceneLines& list, const char* fileName) {
  std::FILE* raw = std::fopen(fileName, "wb");
  if (raw == nullptr) return 0;
  FileHandle file(raw);
  // Texts are gathered into large blocks: one write call per block, not per line.
  char buffer[16384];
  std::size_t used = 0;
  for (const SceneLine* line = list.head; line != nullptr; line = line->next) {
    std::string_view text = line->text.view();
    if (used + text.size() > sizeof buffer) {
      if (std::fwrite(buffer, 1, used, raw) != used) return 0;
      used = 0;
    }
    if (text.size() > sizeof buffer) {
      if (std::fwrite(text.data(), 1, text.size(), raw) != text.size()) return 0;
      continue;
    }
    if (!text.empty()) std::memcpy(buffer + used, text.data(), text.size());
    used += text.size();
  }
  if (used != 0 && std::fwrite(buffer, 1, used, raw) != used) return 0;
  if (std::fflush(raw) != 0) return 0;
  return std::fclose(file.release()) == 0 ? 1 : 0;
}

std::string sceneText(const SceneLines& list) {
  std::string all;
  for (const SceneLine* line = list.head; line != nullptr; line = line->next) all += line->text.view();
  return all;
}

void releaseSceneLines(SceneLinesPtr list) { list.reset(); }

std::optional<LineText> copyText(std::string_view text) { return LineText::copyOf(text); }

LinePtr newLineRecord() { return LinePtr(new (std::nothrow) SceneLine); }

LinePtr makeLine(std::string_view text) {
  std::optional<LineText> copy = copyText(text);
  if (!copy) return nullptr;
  LinePtr line = newLineRecord();
  if (!line) return nullptr;
  line->text = std::move(*copy);
  return line;
}

LinePtr duplicateLine(const SceneLine& line) { return makeLine(line.text.view()); }

void insertAfter(SceneLine* line, LinePtr newLine) {
  SceneLine* added = newLine.release();
  SceneLine* following = line->next;
  line->next = added;
  added->prev = line;
  added->next = following;
  if (following != nullptr) following->prev = added;
}

}  // namespace graftling
