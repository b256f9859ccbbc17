#include "scene/scene_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <utility>

#include "host/platform.h"
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
  char* storage = new (std::nothrow) char[text.empty() ? 1 : text.size()];
  if (storage == nullptr) return std::nullopt;
  if (!text.empty()) std::memcpy(storage, text.data(), text.size());
  LineText made;
  made.set(storage, text.size(), true);
  return made;
}

LineText LineText::viewing(const char* data, std::size_t size) {
  LineText made;
  made.set(data, size, false);
  return made;
}

std::ostream& operator<<(std::ostream& out, const LineText& text) { return out << text.view(); }

// Walks over the list read every record, so its size sets their cost.
static_assert(sizeof(void*) != 8 || sizeof(SceneLine) == 40,
              "a line record takes 40 bytes on 64-bit systems");

namespace {

// Blocks grow from small to large: a small scene wastes little, and a walk
// over a large one runs through many records in order before it moves to
// the next block. Texts of lines read take at most 255 bytes, so a text
// block wastes at most that at its end.
constexpr std::size_t kFirstRecordsPerBlock = 16;
constexpr std::size_t kMaxRecordsPerBlock = 256;
constexpr std::size_t kFirstTextBlockBytes = 1024;
constexpr std::size_t kMaxTextBlockBytes = 32768;

void releaseBlocks(auto*& chain) {
  while (chain != nullptr) {
    auto* next = chain->next;
    ::operator delete(chain);
    chain = next;
  }
}

}  // namespace

LineStore::LineStore() : recordsPerBlock_(kFirstRecordsPerBlock), textBlockBytes_(kFirstTextBlockBytes) {}

LineStore::~LineStore() {
  releaseBlocks(recordBlocks_);
  releaseBlocks(textBlocks_);
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

char* LineStore::bytes(std::size_t size) { return static_cast<char*>(addBlock(textBlocks_, size)); }

const char* LineStore::keep(std::string_view text) {
  // An empty text needs no bytes, but a pointer that is not null.
  if (text.empty()) return "";
  std::size_t size = text.size();
  char* kept = nullptr;
  if (size > kMaxTextBlockBytes / 8) {
    // A long text takes a block of its own; the block in use stays in use.
    kept = bytes(size);
    if (kept == nullptr) return nullptr;
  } else {
    if (size > static_cast<std::size_t>(textsEnd_ - nextText_)) {
      std::size_t blockBytes = std::max(size, textBlockBytes_);
      void* block = addBlock(textBlocks_, blockBytes);
      if (block == nullptr) return nullptr;
      nextText_ = static_cast<char*>(block);
      textsEnd_ = nextText_ + blockBytes;
      textBlockBytes_ = std::min(2 * textBlockBytes_, kMaxTextBlockBytes);
    }
    kept = nextText_;
    nextText_ += size;
  }
  std::memcpy(kept, text.data(), size);
  return kept;
}

SceneLine* LineStore::make(std::string_view text) {
  if (text.size() > LineText::kMaxTextLength) return nullptr;
  const char* kept = keep(text);
  if (kept == nullptr) return nullptr;
  return makeViewing(std::string_view(kept, text.size()));
}

SceneLine* LineStore::makeViewing(std::string_view text) {
  if (text.size() > LineText::kMaxTextLength) return nullptr;
  if (nextRecord_ == recordsEnd_) {
    void* block = addBlock(recordBlocks_, recordsPerBlock_ * sizeof(SceneLine));
    if (block == nullptr) return nullptr;
    nextRecord_ = static_cast<SceneLine*>(block);
    recordsEnd_ = nextRecord_ + recordsPerBlock_;
    recordsPerBlock_ = std::min(2 * recordsPerBlock_, kMaxRecordsPerBlock);
  }
  SceneLine* line = new (nextRecord_++) SceneLine;
  line->stored = true;
  line->text = LineText::viewing(text.data(), text.size());
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

enum class ReadStatus { Text, End, Failed, OutOfStorage };

// The next piece of bytes: up to and including its first LF, at most
// kMaxPieceLength bytes; the cut of a line read with a limit of 256,
// without losing NULs.
std::string_view firstPiece(std::string_view bytes) {
  std::size_t limit = std::min(bytes.size(), kMaxPieceLength);
  const void* end = std::memchr(bytes.data(), '\n', limit);
  return bytes.substr(0, end == nullptr ? limit : static_cast<const char*>(end) - bytes.data() + 1);
}

// Reads a file into blocks of the list's store and hands out its pieces
// where they lie, so no text is copied again. The first block holds the
// whole file when its size is known; a piece that a block's end cuts short
// moves to the next block.
class FilePieces {
 public:
  FilePieces(std::FILE* stream, LineStore& store) : stream_(stream), store_(store) {
    // One byte more than the file holds: reading it tells the file has ended.
    std::optional<std::uint64_t> size = platform::regularFileSize(stream);
    if (size && *size < std::numeric_limits<std::size_t>::max())
      blockBytes_ = static_cast<std::size_t>(*size) + 1;
  }
  ReadStatus next(std::string_view& piece) {
    if (size_ - at_ < kMaxPieceLength && !ended_) {
      ReadStatus read = refill();
      if (read != ReadStatus::Text) return read;
    }
    if (at_ == size_) return ReadStatus::End;
    piece = firstPiece(std::string_view(block_ + at_, size_ - at_));
    at_ += piece.size();
    return ReadStatus::Text;
  }

 private:
  static constexpr std::size_t kBlockBytes = 65536;

  ReadStatus refill() {
    std::size_t carried = size_ - at_;
    std::size_t bytes = std::max(blockBytes_, carried + kMaxPieceLength);
    char* block = store_.bytes(bytes);
    if (block == nullptr) return ReadStatus::OutOfStorage;
    if (carried != 0) std::memcpy(block, block_ + at_, carried);
    block_ = block;
    at_ = 0;
    std::size_t wanted = bytes - carried;
    std::size_t got = std::fread(block + carried, 1, wanted, stream_);
    size_ = carried + got;
    ended_ = got < wanted;
    blockBytes_ = kBlockBytes;
    return std::ferror(stream_) != 0 ? ReadStatus::Failed : ReadStatus::Text;
  }

  std::FILE* stream_;
  LineStore& store_;
  std::size_t blockBytes_ = kBlockBytes;  // of the next block
  char* block_ = nullptr;
  std::size_t at_ = 0;
  std::size_t size_ = 0;
  bool ended_ = false;
};

struct MemoryPieces {
  std::string_view rest;
  ReadStatus next(std::string_view& piece) {
    if (rest.empty()) return ReadStatus::End;
    piece = firstPiece(rest);
    rest.remove_prefix(piece.size());
    return ReadStatus::Text;
  }
};

// Whether a list's lines copy their pieces or view them where they lie.
enum class Texts : std::uint8_t { Copied, Viewed };

// Reads every piece into list, classified as classifyLines classifies it
// but in the same pass. Anything but Loaded leaves a partial list, which
// the caller drops.
template <typename Pieces>
LoadStatus buildList(Pieces& pieces, Texts texts, SceneLines& list) {
  std::string_view piece;
  std::int32_t nextObjectNumber = 1;
  for (;;) {
    ReadStatus status = pieces.next(piece);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Failed) return LoadStatus::Unreadable;
    if (status == ReadStatus::OutOfStorage) return LoadStatus::OutOfStorage;
    SceneLine* line = texts == Texts::Copied ? list.store.make(piece) : list.store.makeViewing(piece);
    if (line == nullptr) return LoadStatus::OutOfStorage;
    // A line is classified once a line follows it: the last stays unclassified.
    if (list.tail != nullptr) classifyLine(*list.tail, nextObjectNumber);
    list.append(line);
  }
  list.nextObjectNumber = nextObjectNumber;
  return LoadStatus::Loaded;
}

SceneLinesPtr memoryList(std::string_view bytes, Texts texts) {
  SceneLinesPtr list(new (std::nothrow) SceneLines);
  MemoryPieces pieces{bytes};
  if (list == nullptr || buildList(pieces, texts, *list) != LoadStatus::Loaded) return nullptr;
  return list;
}

}  // namespace

SceneLinesPtr loadSceneLines(const char* fileName, LoadStatus& status) {
  errno = 0;
  platform::Stream file(std::fopen(fileName, "rb"));
  if (!file) {
    // The stream's own buffer or record may be what could not be had.
    status = errno == ENOMEM ? LoadStatus::OutOfStorage : LoadStatus::Unreadable;
    return nullptr;
  }
  SceneLinesPtr list(new (std::nothrow) SceneLines);
  if (list == nullptr) {
    status = LoadStatus::OutOfStorage;
    return nullptr;
  }
  FilePieces pieces(file.get(), list->store);
  status = buildList(pieces, Texts::Viewed, *list);
  if (status != LoadStatus::Loaded) list.reset();
  return list;
}

SceneLinesPtr loadSceneLines(const char* fileName) {
  LoadStatus status = LoadStatus::Loaded;
  return loadSceneLines(fileName, status);
}

SceneLinesPtr parseSceneLines(std::string_view bytes) { return memoryList(bytes, Texts::Copied); }

SceneLinesPtr viewSceneLines(std::string_view bytes) { return memoryList(bytes, Texts::Viewed); }

int writeSceneLines(const SceneLines& list, const char* fileName) {
  std::FILE* raw = std::fopen(fileName, "wb");
  if (raw == nullptr) return 0;
  platform::Stream file(raw);
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
