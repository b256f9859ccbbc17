#include "fuzz/scene_edit_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace graftling::fuzzing {

namespace {

using Pieces = std::vector<std::string_view>;
constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);
constexpr std::size_t kPieceLength = 255;
constexpr std::string_view kReferenceKeywords[] = {"TargetObject", "GoalObject", "MorphTarget"};
// Format 3 names items by identifier on these lines, and objects by index plus one on "GoalObject" and
// "MorphTarget".
constexpr std::string_view kIdentifierKeywords[] = {"ParentItem", "TargetItem", "ExcludeLight"};
constexpr std::string_view kNumberKeywords[] = {"GoalObject", "MorphTarget"};
// The line ends a format-3 rewrite keeps from its source line, bit i of a mask standing for the i-th.
constexpr std::string_view kLineEnds[] = {"\r\n", "\n", ""};

bool beginsWith(std::string_view text, std::string_view keyword) {
  return text.substr(0, keyword.size()) == keyword;
}

// Whether text begins with word followed by a space, tab, CR, LF or its end.
bool beginsWithWord(std::string_view text, std::string_view word) {
  if (!beginsWith(text, word)) return false;
  if (text.size() == word.size()) return true;
  char next = text[word.size()];
  return next == ' ' || next == '\t' || next == '\r' || next == '\n';
}

bool isObjectPiece(std::string_view piece) {
  return beginsWith(piece, "AddNullObject") || beginsWith(piece, "LoadObject");
}
bool isLightPiece(std::string_view piece) { return beginsWith(piece, "AddLight"); }
bool isItemLine(std::string_view text) { return isObjectPiece(text) || isLightPiece(text); }
bool isBlank(std::string_view piece) { return piece == "\n" || piece == "\r\n"; }

// The reference keyword a piece begins with as a whole word, or an empty view.
std::string_view referenceKeyword(std::string_view piece) {
  for (std::string_view keyword : kReferenceKeywords) {
    if (beginsWithWord(piece, keyword)) return keyword;
  }
  return {};
}

// The decimal form std::to_chars gives a 32-bit integer.
bool isFormattedInt32(std::string_view digits) {
  bool negative = beginsWith(digits, "-");
  if (negative) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && (digits.size() > 1 || negative)))
    return false;
  std::int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= (negative ? std::int64_t{2147483648} : std::int64_t{2147483647});
}

// The value of a line that reads saved's text up to its first space, then a
// positive 32-bit decimal and lineEnd: saved rewritten. 0 for any other line.
std::int64_t rewrittenValue(std::string_view line, std::string_view saved, std::string_view lineEnd) {
  std::size_t space = saved.find(' ');
  if (space == std::string_view::npos) return 0;
  std::size_t prefix = space + 1;
  if (line.size() <= prefix + lineEnd.size() || line.substr(0, prefix) != saved.substr(0, prefix) ||
      line.substr(line.size() - lineEnd.size()) != lineEnd)
    return 0;
  std::string_view digits = line.substr(prefix, line.size() - prefix - lineEnd.size());
  if (beginsWith(digits, "-") || !isFormattedInt32(digits)) return 0;
  std::int64_t value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

std::string excerpt(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 60)) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte < 127 && byte != '\\') {
      out += c;
    } else {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

// The length of the piece text begins with: up to and including its first
// LF, at most 255 bytes.
std::size_t pieceLength(std::string_view text) {
  std::size_t lf = text.substr(0, kPieceLength).find('\n');
  return lf == std::string_view::npos ? std::min(text.size(), kPieceLength) : lf + 1;
}
std::string_view firstPiece(std::string_view text) { return text.substr(0, pieceLength(text)); }

// The number on a scene's second line without its line end; 0 unless it is 1 to 9 digits.
int sceneFormat(const Pieces& pieces) {
  std::string_view format = pieces.size() > 1 ? pieces[1] : "";
  if (!format.empty() && format.back() == '\n') format.remove_suffix(1);
  if (!format.empty() && format.back() == '\r' && pieces[1].back() == '\n') format.remove_suffix(1);
  if (format.empty() || format.size() > 9 ||
      !std::all_of(format.begin(), format.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  int number = 0;
  for (char digit : format) number = number * 10 + (digit - '0');
  return number;
}

// The format-3 reference keyword a piece begins with as a whole word, or an empty view.
std::string_view referenceKeyword3(std::string_view piece) {
  for (std::string_view keyword : kIdentifierKeywords) {
    if (beginsWithWord(piece, keyword)) return keyword;
  }
  for (std::string_view keyword : kNumberKeywords) {
    if (beginsWithWord(piece, keyword)) return keyword;
  }
  return {};
}

bool namesByIdentifier(std::string_view keyword) {
  return std::find(std::begin(kIdentifierKeywords), std::end(kIdentifierKeywords), keyword) !=
         std::end(kIdentifierKeywords);
}

bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// How a reference line names an item: by identifier, by an object's index plus one, or not at all.
enum class Notation : std::uint8_t { kNone, kIdentifier, kNumber };

// What a rewrite writes in a notation: 8 lowercase hexadecimal digits for an
// identifier, an object's index plus one in decimal.
bool isWrittenValue(Notation notation, std::string_view value) {
  if (notation == Notation::kIdentifier)
    return value.size() == 8 && std::all_of(value.begin(), value.end(), isLowerHex);
  return notation == Notation::kNumber && !beginsWith(value, "-") && value != "0" && isFormattedInt32(value);
}

// What a format-3 rewrite writes after keyword.
bool isRewrittenValue(std::string_view keyword, std::string_view value) {
  return isWrittenValue(namesByIdentifier(keyword) ? Notation::kIdentifier : Notation::kNumber, value);
}

// The notation of the format-3 reference keyword a piece begins with.
Notation notation3(std::string_view piece) {
  std::string_view keyword = referenceKeyword3(piece);
  if (keyword.empty()) return Notation::kNone;
  return namesByIdentifier(keyword) ? Notation::kIdentifier : Notation::kNumber;
}

// Formats 4 to 8 keep format 3's layout and spell identifiers on item lines.
bool isLaterFormat(int format) { return format >= 4 && format <= 8; }

// The reference keywords of formats 4 to 8 and how format 4, and formats 5 to
// 8, name an item on each; kNone leaves the line as it stands.
struct LaterKeyword {
  std::string_view keyword;
  Notation format4;
  Notation later;
};
constexpr LaterKeyword kLaterKeywords[] = {{"ParentItem", Notation::kIdentifier, Notation::kIdentifier},
                                           {"TargetItem", Notation::kIdentifier, Notation::kIdentifier},
                                           {"ExcludeLight", Notation::kIdentifier, Notation::kIdentifier},
                                           {"GoalObject", Notation::kIdentifier, Notation::kIdentifier},
                                           {"MorphTarget", Notation::kNumber, Notation::kIdentifier},
                                           {"UseBonesFrom", Notation::kNone, Notation::kIdentifier}};

// The reference keyword of a format from 4 to 8 that a piece begins with as a
// whole word, and its notation; an empty keyword for none.
std::pair<std::string_view, Notation> laterReference(int format, std::string_view piece) {
  for (const LaterKeyword& each : kLaterKeywords) {
    if (!beginsWithWord(piece, each.keyword)) continue;
    Notation notation = format == 4 ? each.format4 : each.later;
    if (notation != Notation::kNone) return {each.keyword, notation};
  }
  return {std::string_view{}, Notation::kNone};
}

// Item line keywords from format 3 on, each with its items' first identifier digit.
constexpr std::pair<std::string_view, int> kItemKeywords[] = {{"LoadObjectLayer", 1}, {"LoadObject", 1},
                                                              {"AddNullObject", 1},   {"AddLight", 2},
                                                              {"AddCamera", 3},       {"AddBone", 4}};

// Where a format 4 to 8 item line spells its identifier: the token after its
// keyword and one space (on "LoadObjectLayer", after the layer number and one
// space), up to a space, tab, CR, LF or the piece's end. size 0 for none.
struct IdentifierToken {
  std::size_t at = 0;
  std::size_t size = 0;
  int kind = 0;  // the first digit the keyword calls for
};

IdentifierToken identifierToken(std::string_view piece) {
  for (const auto& [keyword, kind] : kItemKeywords) {
    if (!beginsWithWord(piece, keyword)) continue;
    std::size_t at = keyword.size() + 1;
    if (piece.size() < at || piece[at - 1] != ' ') return {};
    if (keyword == "LoadObjectLayer") {
      std::size_t layerEnd = piece.find_first_of(" \t\r\n", at);
      if (layerEnd == std::string_view::npos || piece[layerEnd] != ' ') return {};
      at = layerEnd + 1;
    }
    std::size_t end = std::min(piece.find_first_of(" \t\r\n", at), piece.size());
    return IdentifierToken{at, end - at, kind};
  }
  return {};
}

// An item line with its identifier's 8 bytes taken out, after their place:
// alike for a line and its copies.
std::string maskedItemLine(std::string_view piece, std::size_t at) {
  return std::to_string(at) + ":" + std::string(piece.substr(0, at)) + std::string(piece.substr(at + 8));
}

// A piece's own line end: CR LF, LF, or none.
std::string_view lineEndOf(std::string_view piece) {
  if (piece.size() >= 2 && piece.substr(piece.size() - 2) == "\r\n") return kLineEnds[0];
  return !piece.empty() && piece.back() == '\n' ? kLineEnds[1] : kLineEnds[2];
}

// The line end of new lines: the first line's when it is CR LF, else LF.
std::string newLineEnd(const Pieces& pieces) {
  bool crLf = !pieces.empty() && lineEndOf(pieces[0]) == kLineEnds[0];
  return crLf ? "\r\n" : "\n";
}

// A piece's text up to and including its first space, which a rewrite
// keeps; empty when it has no space, and so no value to rewrite.
std::string_view keptPrefix(std::string_view piece) {
  std::size_t space = piece.find(' ');
  return space == std::string_view::npos ? std::string_view{} : piece.substr(0, space + 1);
}

// Where the match stands: bytes of edited consumed, pieces of original
// matched, and whether the current inserted run holds an item line yet.
struct State {
  std::size_t at;
  std::size_t matched;
  bool itemInRun;
};

class Matcher {
 public:
  Matcher(std::string_view original, std::string_view edited)
      : edited_(edited),
        pieces_(scenePieces(original)),
        lastPiece_(pieces_.empty() ? "" : pieces_.back()),
        format_(sceneFormat(pieces_)),
        format3_(format_ == 3),
        later_(isLaterFormat(format_)) {
    for (std::string_view piece : pieces_) {
      copies_.insert(piece);
      if (format3_ || later_) {
        noteRewritable(piece);
        continue;
      }
      // A rewrite keeps a line's text up to its first space, whatever stands there.
      std::size_t space = piece.find(' ');
      if (space != std::string_view::npos &&
          (beginsWith(piece, "ParentObject") || !referenceKeyword(piece).empty()))
        valueKeeps_.insert(piece.substr(0, space + 1));
    }
    // Only the file's last piece may be shorter than a full piece without an LF.
    if (!lastPiece_.empty() && lastPiece_.back() == '\n') lastPiece_ = {};
  }

  EditCheck run() {
    std::vector<State> stack{State{0, 0, false}};
    std::unordered_set<std::uint64_t> seen;
    State furthest{0, 0, false};
    while (!stack.empty()) {
      State state = stack.back();
      stack.pop_back();
      if (!seen.insert(key(state)).second) continue;
      if (state.matched > furthest.matched || (state.matched == furthest.matched && state.at > furthest.at)) {
        furthest = state;
      }
      if (state.at == edited_.size() && state.matched == pieces_.size()) return EditCheck{};
      pushInsertions(state, stack);
      std::string_view rest = edited_.substr(state.at);
      if (state.matched < pieces_.size() && beginsWith(rest, pieces_[state.matched])) {
        stack.push_back(State{state.at + pieces_[state.matched].size(), state.matched + 1, false});
      }
    }
    EditCheck failed;
    if (furthest.matched < pieces_.size()) {
      failed.why = "original piece " + std::to_string(furthest.matched + 1) + " \"" +
                   excerpt(pieces_[furthest.matched]) + "\" is not found at edited byte " +
                   std::to_string(furthest.at) + " \"" + excerpt(edited_.substr(furthest.at)) + "\"";
    } else {
      failed.why = "edited text ends with bytes that no allowed insertion explains, at byte " +
                   std::to_string(furthest.at) + " \"" + excerpt(edited_.substr(furthest.at)) + "\"";
    }
    return failed;
  }

 private:
  std::uint64_t key(const State& state) const {
    return ((static_cast<std::uint64_t>(state.at) * (pieces_.size() + 1) + state.matched) << 1) |
           (state.itemInRun ? 1u : 0u);
  }

  // The notation of the reference keyword a piece begins with, in original's format.
  Notation notationOf(std::string_view piece) const {
    return later_ ? laterReference(format_, piece).second : notation3(piece);
  }

  // Notes a reference line of original: what a rewrite keeps of it (its text
  // up to its first space) and its line end. In later formats, notes an item line of an object, light or bone
  // too.
  void noteRewritable(std::string_view piece) {
    std::string_view prefix = keptPrefix(piece);
    if (later_) {
      IdentifierToken token = identifierToken(piece);
      if (token.size == 8 && token.kind != 3) itemLines_.insert(maskedItemLine(piece, token.at));
    }
    if (notationOf(piece) == Notation::kNone || prefix.empty()) return;
    std::string kept(prefix);
    std::string_view end = lineEndOf(piece);
    for (unsigned bit = 0; bit < std::size(kLineEnds); ++bit) {
      if (end == kLineEnds[bit]) rewriteEnds_[kept] |= 1u << bit;
    }
  }

  // Pushes every inserted piece that may stand at state.at.
  void pushInsertions(const State& state, std::vector<State>& stack) const {
    std::string_view rest = edited_.substr(state.at);
    auto push = [&](std::string_view piece) {
      stack.push_back(State{state.at + piece.size(), state.matched, state.itemInRun || isItemLine(piece)});
    };
    std::size_t lf = rest.find('\n');
    if (lf != std::string_view::npos && lf < kPieceLength) {
      std::string_view line = rest.substr(0, lf + 1);
      if (isBlank(line) || copies_.count(line) != 0 ||
          (state.itemInRun && !format3_ && !later_ && isNewValueLine(line)))
        push(line);
    }
    if (rest.size() >= kPieceLength && (lf == std::string_view::npos || lf >= kPieceLength)) {
      std::string_view full = rest.substr(0, kPieceLength);
      if (copies_.count(full) != 0) push(full);
    }
    if (!lastPiece_.empty() && lastPiece_.size() < kPieceLength && beginsWith(rest, lastPiece_))
      push(lastPiece_);
    if (later_) {
      for (std::size_t length : itemRewriteLengths(rest)) push(rest.substr(0, length));
    }
    if (state.itemInRun && (format3_ || later_)) {
      for (std::size_t length : rewriteLengths(rest)) push(rest.substr(0, length));
    }
  }

  // The lengths of the item lines of original with a new identifier, as a
  // later format's copy writes them, that rest may begin with.
  std::vector<std::size_t> itemRewriteLengths(std::string_view rest) const {
    std::vector<std::size_t> lengths;
    IdentifierToken token = identifierToken(firstPiece(rest));
    if (token.size != 8 || !std::all_of(rest.begin() + static_cast<std::ptrdiff_t>(token.at),
                                        rest.begin() + static_cast<std::ptrdiff_t>(token.at + 8), isLowerHex))
      return lengths;
    for (std::size_t length : {pieceLength(rest), lastPiece_.size()}) {
      if (length >= token.at + 8 && length <= rest.size() &&
          itemLines_.count(maskedItemLine(rest.substr(0, length), token.at)) != 0)
        lengths.push_back(length);
    }
    return lengths;
  }

  // A parent or reference line of original, up to its first space, with a new value.
  bool isNewValueLine(std::string_view line) const {
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos || valueKeeps_.count(line.substr(0, space + 1)) == 0) return false;
    std::string_view value = line.substr(space + 1);
    value.remove_suffix(1);  // the LF that ends every line pushed here
    if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
    return isFormattedInt32(value);
  }

  // The lengths of the format 3 to 8 rewrites rest may begin with: the kept
  // prefix of a reference line of original, a value as a rewrite writes it,
  // and a line end that such a line of original has.
  std::vector<std::size_t> rewriteLengths(std::string_view rest) const {
    std::vector<std::size_t> lengths;
    Notation notation = notationOf(rest);
    auto found = rewriteEnds_.find(std::string(keptPrefix(firstPiece(rest))));
    if (notation == Notation::kNone || found == rewriteEnds_.end()) return lengths;
    std::size_t prefix = found->first.size();
    for (std::size_t length = 1; length <= 10 && prefix + length <= rest.size(); ++length) {
      if (!isWrittenValue(notation, rest.substr(prefix, length))) continue;
      for (unsigned bit = 0; bit < std::size(kLineEnds); ++bit) {
        if ((found->second >> bit & 1u) != 0 && beginsWith(rest.substr(prefix + length), kLineEnds[bit]))
          lengths.push_back(prefix + length + kLineEnds[bit].size());
      }
    }
    return lengths;
  }

  std::string_view edited_;
  std::vector<std::string_view> pieces_;
  std::string_view lastPiece_;
  int format_;
  bool format3_;
  bool later_;  // formats 4 to 8
  std::unordered_set<std::string_view> copies_;
  std::unordered_set<std::string_view> valueKeeps_;
  std::unordered_map<std::string, unsigned> rewriteEnds_;  // formats 3 to 8: line ends by kept prefix
  std::unordered_set<std::string> itemLines_;              // formats 4 to 8: item lines, masked
};

EditCheck failure(std::string why) {
  EditCheck check;
  check.why = std::move(why);
  return check;
}

std::string copyName(bool objects, std::size_t index) {
  return (objects ? "object copy " : "light copy ") + std::to_string(index + 1);
}

// How many pieces edited shares with saved from its start, and then from its end.
std::pair<std::size_t, std::size_t> agreement(const Pieces& saved, const Pieces& edited) {
  std::size_t common = std::min(saved.size(), edited.size());
  std::size_t head = 0, tail = 0;
  while (head < common && saved[head] == edited[head]) ++head;
  while (head + tail < common && saved[saved.size() - 1 - tail] == edited[edited.size() - 1 - tail]) ++tail;
  return {head, tail};
}

// Where edited departs from the saved text, from its start and from its end.
std::string where(const Pieces& saved, const Pieces& edited, std::size_t objectAnchor,
                  std::size_t lightAnchor) {
  auto [head, tail] = agreement(saved, edited);
  return ": the edit stands between saved lines " + std::to_string(head) + " and " +
         std::to_string(saved.size() - tail + 1) + ", the anchors are saved lines " +
         std::to_string(objectAnchor + 1) + " (objects) and " + std::to_string(lightAnchor + 1) + " (lights)";
}

// Lines that end the block before them: the ambient, camera, backdrop,
// render and view sections.
bool isSectionLine(std::string_view piece) {
  for (std::string_view word : {"AmbientColor", "AmbIntensity", "AddCamera"}) {
    if (beginsWithWord(piece, word)) return true;
  }
  for (std::string_view keyword : {"ShowCamera", "SolidBackdrop", "RenderMode", "ViewMode"}) {
    if (beginsWith(piece, keyword)) return true;
  }
  return false;
}

// Whether a piece begins with a keyword that gives a line a kind of its own.
bool hasOwnKind(std::string_view piece) {
  for (std::string_view keyword : {"LWSC", "AddNullObject", "LoadObject", "AddLight", "ShowCamera",
                                   "SolidBackdrop", "RenderMode", "ViewMode"}) {
    if (beginsWith(piece, keyword)) return true;
  }
  return false;
}

// The value after a piece's first space, read as the C library reads an
// integer, saturating at 32 bits; none without a space.
bool valueAfterSpace(std::string_view piece, std::int64_t& value) {
  std::size_t space = piece.find(' ');
  if (space == std::string_view::npos) return false;
  std::string_view text = piece.substr(space + 1);
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = std::min<std::int64_t>(value * 10 + (text[at] - '0'), std::int64_t{1} << 31);
  value = negative ? -value : std::min<std::int64_t>(value, 2147483647);
  return true;
}

// One item's block: its pieces first..last, its parent piece (the first
// "ParentObject" piece after first, or kNoPiece) and its reference pieces.
struct Block {
  std::size_t first;
  std::size_t last;
  std::size_t parent;
  std::vector<std::size_t> references;
};

// The block of the item piece at first. Only the first `classified` pieces
// have a kind: the list's last piece has none, the pieces of a run all have one.
Block readBlock(const Pieces& pieces, std::size_t first, std::size_t classified) {
  bool light = isLightPiece(pieces[first]);
  std::size_t next = first + 1;  // the next item or section line, or the end
  while (next < classified && !isItemLine(pieces[next]) && !isSectionLine(pieces[next])) ++next;
  if (next >= classified) next = pieces.size();
  std::string_view endKeyword = light ? "ShadowType" : "ShadowOptions";
  std::size_t last = first + 1;
  while (last < next && !beginsWith(pieces[last], endKeyword)) ++last;
  if (last < next) {
    while (light && last + 1 < next && last + 1 < classified && !isBlank(pieces[last + 1]) &&
           !hasOwnKind(pieces[last + 1]))
      ++last;
  } else {
    last = first;
    while (last + 1 < next && !isBlank(pieces[last + 1])) ++last;
  }
  Block block{first, last, kNoPiece, {}};
  for (std::size_t at = first + 1; at <= last; ++at) {
    if (block.parent == kNoPiece && beginsWith(pieces[at], "ParentObject")) block.parent = at;
    if (!referenceKeyword(pieces[at]).empty()) block.references.push_back(at);
  }
  return block;
}

// Whether count pieces of a from aFirst on equal those of b from bFirst on.
bool matches(const Pieces& a, std::size_t aFirst, const Pieces& b, std::size_t bFirst, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (a[aFirst + i] != b[bFirst + i]) return false;
  }
  return true;
}

Pieces slice(const Pieces& pieces, std::size_t first, std::size_t end) {
  return Pieces(pieces.begin() + static_cast<std::ptrdiff_t>(first),
                pieces.begin() + static_cast<std::ptrdiff_t>(end));
}

std::size_t firstWhere(const Pieces& pieces, bool (*test)(std::string_view)) {
  std::size_t at = 0;
  while (at < pieces.size() && !test(pieces[at])) ++at;
  return at;
}

// An inserted run read as copies: its pieces and each copy's block in them.
struct Run {
  const Pieces& pieces;
  std::vector<Block> copies;
};

class BranchCheck {
 public:
  explicit BranchCheck(std::string_view original)
      : saved_(scenePieces(original)), lineEnd_(newLineEnd(saved_)), format_(sceneFormat(saved_)) {
    std::size_t classified = saved_.empty() ? 0 : saved_.size() - 1;
    std::size_t firstLight = kNoPiece, firstCamera = kNoPiece;
    for (std::size_t at = 0; at < classified; ++at) {
      std::string_view piece = saved_[at];
      if (isItemLine(piece)) {
        if (isObjectPiece(piece)) objectBlocks_.push_back(blocks_.size());
        blocksByLine_[piece].push_back(blocks_.size());
        blocks_.push_back(readBlock(saved_, at, classified));
      }
      if (firstLight == kNoPiece && isLightPiece(piece)) firstLight = at;
      if (firstCamera == kNoPiece && (beginsWith(piece, "ShowCamera") || beginsWithWord(piece, "AddCamera")))
        firstCamera = at;
    }
    // After the last object before the first light, and its blank line.
    const Block* lastObject = nullptr;
    for (std::size_t index : objectBlocks_) {
      if (blocks_[index].first < firstLight) lastObject = &blocks_[index];
    }
    if (firstLight != kNoPiece && lastObject != nullptr)
      objectAnchor_ = afterBlank(lastObject->last, kNoPiece);
    // After the last light before the first camera line and its blank line, else before that camera line.
    const Block* lastLight = nullptr;
    for (const Block& block : blocks_) {
      if (isLightPiece(saved_[block.first]) && block.first < firstCamera) lastLight = &block;
    }
    if (firstCamera == kNoPiece) {
      lightAnchor_ = kNoPiece;
    } else if (lastLight != nullptr) {
      lightAnchor_ = afterBlank(lastLight->last, firstCamera);
    } else if (firstCamera != 0) {
      lightAnchor_ = firstCamera - 1;
    }
  }

  EditCheck run(std::string_view editedText) const {
    if (format_ != 1 && format_ != 2)
      return failure("the original's format \"" + excerpt(saved_.size() > 1 ? saved_[1] : "") +
                     "\" is none of 1 to 8, yet a result was loaded");
    if (objectAnchor_ == kNoPiece)
      return failure("the original has no object line before a light line, yet a result was loaded");
    if (lightAnchor_ == kNoPiece)
      return failure("the original has no camera line below its first line, yet a result was loaded");
    for (const Block& block : blocks_) {
      if (isObjectPiece(saved_[block.first]) && block.first > objectAnchor_)
        return failure("saved object line " + std::to_string(block.first + 1) + " \"" +
                       excerpt(saved_[block.first]) + "\" after the object copies is renumbered");
    }
    std::size_t low = std::min(objectAnchor_, lightAnchor_);
    std::size_t high = std::max(objectAnchor_, lightAnchor_);
    Pieces edited = scenePieces(editedText);
    std::size_t after = saved_.size() - 1 - high;
    if (edited.size() < saved_.size() || !matches(saved_, 0, edited, 0, low + 1) ||
        !matches(saved_, high + 1, edited, edited.size() - after, after)) {
      return failure("the saved lines before the first anchor or after the last are not all kept" +
                     where(saved_, edited, objectAnchor_, lightAnchor_));
    }
    Pieces middle = slice(edited, low + 1, edited.size() - after);
    if (low == high) {
      // Both runs follow one line, in either order; a light line ends the object copies, and back.
      std::size_t split = firstWhere(middle, isLightPiece);
      EditCheck check = runs(slice(middle, 0, split), slice(middle, split, middle.size()));
      split = firstWhere(middle, isObjectPiece);
      if (!check.ok() && runs(slice(middle, split, middle.size()), slice(middle, 0, split)).ok())
        return EditCheck{};
      return check;
    }
    Pieces between = slice(saved_, low + 1, high + 1);
    std::string why = "the saved lines between the anchors are not all kept" +
                      where(saved_, edited, objectAnchor_, lightAnchor_);
    for (std::size_t split = 0; split + between.size() <= middle.size(); ++split) {
      if (!matches(between, 0, middle, split, between.size())) continue;
      Pieces first = slice(middle, 0, split);
      Pieces second = slice(middle, split + between.size(), middle.size());
      EditCheck check = objectAnchor_ < lightAnchor_ ? runs(first, second) : runs(second, first);
      if (check.ok()) return check;
      why = check.why;
    }
    return failure(why);
  }

 private:
  // The line after end when it is blank and not stop, else end.
  std::size_t afterBlank(std::size_t end, std::size_t stop) const {
    return end + 1 < saved_.size() && end + 1 != stop && isBlank(saved_[end + 1]) ? end + 1 : end;
  }

  // Why a run inserted after anchor stands inside an envelope: before an
  // indented saved line or the "EndBehavior" line that closes it.
  std::string insideEnvelope(std::size_t anchor, const char* copies) const {
    if (anchor + 1 == saved_.size()) return "";
    std::string_view next = saved_[anchor + 1];
    if (!beginsWith(next, " ") && !beginsWithWord(next, "EndBehavior")) return "";
    return std::string("the ") + copies + " copies stand inside an envelope, before saved line " +
           std::to_string(anchor + 2) + " \"" + excerpt(next) + "\"";
  }

  // Reads a run as whole copies of one kind of item, each with the blank
  // lines after it that the format has: none after an object copy in format 2
  // or after the picked object's in format 1, one after every other copy.
  std::string readCopies(Run& run, bool objects) const {
    const Pieces& pieces = run.pieces;
    for (std::size_t at = 0; at < pieces.size();) {
      if (!(objects ? isObjectPiece(pieces[at]) : isLightPiece(pieces[at])))
        return std::string("an inserted line begins no ") + (objects ? "object" : "light") + " copy: \"" +
               excerpt(pieces[at]) + "\"";
      run.copies.push_back(readBlock(pieces, at, pieces.size()));
      at = run.copies.back().last + 1;
      std::string name = copyName(objects, run.copies.size() - 1);
      if (!objects || (format_ == 1 && run.copies.size() > 1)) {
        if (at == pieces.size() || pieces[at] != lineEnd_)
          return name + " is not followed by one blank line \"" + excerpt(lineEnd_) + "\"";
        ++at;
      } else if (at < pieces.size() && isBlank(pieces[at])) {
        return name + " is followed by a blank line, which format " + std::to_string(format_) +
               " puts after no " + (format_ == 1 ? "picked object's copy" : "object copy");
      }
    }
    return "";
  }

  // Whether a copy holds source's lines, save its parent line (when
  // newParent) and reference lines, which may name a copy instead.
  bool sameShape(const Block& source, const Pieces& pieces, const Block& copy, bool newParent) const {
    if (copy.last - copy.first != source.last - source.first) return false;
    for (std::size_t i = 0; i <= source.last - source.first; ++i) {
      std::string_view line = pieces[copy.first + i];
      std::string_view saved = saved_[source.first + i];
      if (line == saved) continue;
      if (newParent && source.first + i == source.parent && rewrittenValue(line, saved, lineEnd_) > 0)
        continue;
      if (referenceKeyword(saved).empty() || rewrittenValue(line, saved, lineEnd_) <= 0) return false;
    }
    return true;
  }

  // Whether object copy number copy of the object run copies saved object number object.
  bool copiesObject(const Run& objects, std::int64_t copy, std::int64_t object) const {
    std::int64_t saved = static_cast<std::int64_t>(objectBlocks_.size());
    if (object < 1 || object > saved || copy <= saved ||
        copy > saved + static_cast<std::int64_t>(objects.copies.size()))
      return false;
    std::size_t index = static_cast<std::size_t>(copy - saved - 1);
    return sameShape(blocks_[objectBlocks_[static_cast<std::size_t>(object - 1)]], objects.pieces,
                     objects.copies[index], index != 0);
  }

  // Why copy (a copy of source in shape) does not hang on a copy of source's
  // parent, or a rewritten reference line names no copy of source's object.
  std::string namesCopies(const Block& source, const Run& run, const Block& copy, const std::string& name,
                          bool root, const Run& objects) const {
    std::int64_t value = 0;
    if (!root && source.parent == kNoPiece) return name + " copies a block without a parent line";
    if (!root) {
      std::string_view line = run.pieces[copy.first + source.parent - source.first];
      if (!valueAfterSpace(saved_[source.parent], value) ||
          !copiesObject(objects, rewrittenValue(line, saved_[source.parent], lineEnd_), value))
        return name + " does not name the copy of its parent: \"" + excerpt(line) + "\"";
    }
    for (std::size_t reference : source.references) {
      std::string_view line = run.pieces[copy.first + reference - source.first];
      if (line == saved_[reference]) continue;
      if (!valueAfterSpace(saved_[reference], value) ||
          !copiesObject(objects, rewrittenValue(line, saved_[reference], lineEnd_), value))
        return name + "'s \"" + excerpt(line) + "\" names no copy of what \"" + excerpt(saved_[reference]) +
               "\" names";
    }
    return "";
  }

  // Why the copy at index of run copies no saved block as it should.
  std::string checkCopy(const Run& run, std::size_t index, bool objects, const Run& objectRun) const {
    const Block& copy = run.copies[index];
    std::string name = copyName(objects, index);
    bool root = objects && index == 0;
    std::string why = name + (root ? " is not an exact copy of an object's block" : " copies no saved block");
    auto found = blocksByLine_.find(run.pieces[copy.first]);
    if (found == blocksByLine_.end()) return why;
    bool shaped = false;
    for (std::size_t candidate : found->second) {
      const Block& source = blocks_[candidate];
      if (!sameShape(source, run.pieces, copy, !root)) continue;
      std::string failed = namesCopies(source, run, copy, name, root, objectRun);
      if (failed.empty()) return "";
      if (!shaped) why = failed;
      shaped = true;
    }
    return why;
  }

  EditCheck runs(const Pieces& objectPieces, const Pieces& lightPieces) const {
    if (objectPieces.empty()) return failure("no copy of the picked object was inserted");
    std::string why = insideEnvelope(objectAnchor_, "object");
    if (why.empty() && !lightPieces.empty()) why = insideEnvelope(lightAnchor_, "light");
    Run objects{objectPieces, {}}, lights{lightPieces, {}};
    if (why.empty()) why = readCopies(objects, true);
    if (why.empty()) why = readCopies(lights, false);
    for (std::size_t i = 0; why.empty() && i < objects.copies.size(); ++i)
      why = checkCopy(objects, i, true, objects);
    for (std::size_t i = 0; why.empty() && i < lights.copies.size(); ++i)
      why = checkCopy(lights, i, false, objects);
    return failure(why);
  }

  Pieces saved_;
  std::string lineEnd_;                    // of new lines
  int format_;                             // 0 when the second line is no format
  std::vector<Block> blocks_;              // every saved item's block, in order
  std::vector<std::size_t> objectBlocks_;  // the saved objects' blocks, by number
  std::unordered_map<std::string_view, std::vector<std::size_t>> blocksByLine_;  // by item line
  std::size_t objectAnchor_ = kNoPiece;
  std::size_t lightAnchor_ = kNoPiece;
};

// The kinds of format-3 item lines.
enum class Kind { kNone, kObject, kLight, kCamera, kBone };

// The kind of item a format-3 line begins, by its keyword as a word.
Kind itemKind(std::string_view text) {
  for (std::string_view word : {"LoadObjectLayer", "LoadObject", "AddNullObject"}) {
    if (beginsWithWord(text, word)) return Kind::kObject;
  }
  if (beginsWithWord(text, "AddLight")) return Kind::kLight;
  if (beginsWithWord(text, "AddCamera")) return Kind::kCamera;
  return beginsWithWord(text, "AddBone") ? Kind::kBone : Kind::kNone;
}

std::string_view indentless(std::string_view piece) {
  std::size_t at = piece.find_first_not_of(" \t");
  return at == std::string_view::npos ? std::string_view{} : piece.substr(at);
}
bool opensBraces(std::string_view piece) { return beginsWith(indentless(piece), "{"); }
// "}" followed only by spaces, tabs, CR and LF.
bool closesBraces(std::string_view piece) {
  std::string_view text = indentless(piece);
  return beginsWith(text, "}") && text.find_first_not_of(" \t\r\n", 1) == std::string_view::npos;
}

// Which pieces are nested: read while a brace block or a plug-in body was
// open. stray is the first "}" at top level; open, whether the text ends inside one.
struct Nesting {
  std::vector<bool> nested;
  std::size_t stray = kNoPiece;
  bool open = false;
};

// Braces inside a plug-in body do not count: only its "EndPlugin" line does.
Nesting readNesting(const Pieces& pieces) {
  Nesting nesting;
  std::size_t depth = 0;
  bool plugin = false;
  for (std::size_t at = 0; at < pieces.size(); ++at) {
    std::string_view text = indentless(pieces[at]);
    nesting.nested.push_back(depth > 0 || plugin);
    if (plugin) {
      plugin = !beginsWithWord(text, "EndPlugin");
    } else if (opensBraces(text)) {
      ++depth;
    } else if (closesBraces(text)) {
      if (depth == 0 && nesting.stray == kNoPiece) nesting.stray = at;
      if (depth > 0) --depth;
    } else {
      plugin = beginsWithWord(text, "Plugin");
    }
  }
  nesting.open = depth > 0 || plugin;
  return nesting;
}

// The first line of the scene-level group after the object at lastObject:
// the first top-level "AmbientColor" line after it, else the last run of lines
// before end that no top-level blank line breaks.
std::size_t sceneGroupStart(const Pieces& pieces, const Nesting& nesting, std::size_t lastObject,
                            std::size_t end) {
  for (std::size_t at = lastObject + 1; at < end; ++at) {
    if (!nesting.nested[at] && beginsWithWord(pieces[at], "AmbientColor")) return at;
  }
  std::size_t at = end;
  while (at > 0 && isBlank(pieces[at - 1])) --at;
  while (at > 0 && (!isBlank(pieces[at - 1]) || nesting.nested[at - 1])) --at;
  return at;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// An identifier as a value holds it: 8 hexadecimal digits of either case,
// then only spaces, tabs, CR and LF.
bool readIdentifier(std::string_view value, std::uint32_t& identifier) {
  if (value.size() < 8 || value.find_first_not_of(" \t\r\n", 8) != std::string_view::npos) return false;
  identifier = 0;
  for (char c : value.substr(0, 8)) {
    int digit = hexDigit(c);
    if (digit < 0) return false;
    identifier = identifier * 16 + static_cast<std::uint32_t>(digit);
  }
  return true;
}

// value in lowercase hexadecimal, zeros in front to fill digits.
std::string hex(std::size_t value, std::size_t digits) {
  std::string out(digits, '0');
  for (std::size_t at = digits; at > 0; --at, value >>= 4) out[at - 1] = "0123456789abcdef"[value & 15];
  return out;
}

// The length of a rewrite of the format-3 reference line saved that text
// begins with: saved's kept prefix, a value as a rewrite writes it (all the
// digits there for a number), saved's line end. 0 when text begins with none.
std::size_t rewriteLength(std::string_view saved, std::string_view text) {
  std::string_view keyword = referenceKeyword3(saved), prefix = keptPrefix(saved), end = lineEndOf(saved);
  if (keyword.empty() || prefix.empty() || !beginsWith(text, prefix)) return 0;
  std::size_t valueEnd = prefix.size() + 8;
  if (!namesByIdentifier(keyword)) {
    valueEnd = prefix.size();
    while (valueEnd < text.size() && text[valueEnd] >= '0' && text[valueEnd] <= '9') ++valueEnd;
  }
  if (valueEnd > text.size() ||
      !isRewrittenValue(keyword, text.substr(prefix.size(), valueEnd - prefix.size())) ||
      !beginsWith(text.substr(valueEnd), end))
    return 0;
  return valueEnd + end.size();
}

// An item a format-3 reference names: its kind, its index among items of its
// kind (a bone's is its object's) and a bone's index within its object.
struct Named {
  Kind kind = Kind::kNone;
  std::size_t index = 0;
  std::size_t bone = 0;
  bool operator==(const Named&) const = default;
};

// A saved format-3 item: its block first..last, its parent line (the first
// "ParentItem" line before any bone, or kNoPiece) and its bones.
struct Item3 {
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t parent = kNoPiece;
  std::size_t bones = 0;
};

// The saved items of one kind in file order, their indices by item line.
struct Section {
  std::vector<Item3> items;
  std::unordered_map<std::string_view, std::vector<std::size_t>> byLine;
};

// A saved item a copy may copy, with the copy's text cut as that item's lines.
using Candidate = std::pair<std::size_t, Pieces>;

// A run of copies of one kind: the candidates of each copy and, once
// settled, which of them each copies and which copy each saved item has.
struct Run3 {
  bool objects;
  std::vector<std::vector<Candidate>> candidates;
  std::vector<std::size_t> chosen;
  std::vector<std::size_t> copyOf;
};
constexpr std::size_t kObjects = 0, kLights = 1;
using Runs = std::array<Run3, 2>;

class Format3Check {
 public:
  explicit Format3Check(std::string_view original)
      : original_(original),
        saved_(scenePieces(original)),
        lineEnd_(newLineEnd(saved_)),
        nesting_(readNesting(saved_)) {
    refusal_ = readItems();
  }

  // The edited text is the saved one with a run of object copies after
  // objectAnchor_ and one of light copies after lightAnchor_, cut as bytes:
  // a rewritten line ends as its source line did, which may be without an LF.
  EditCheck run(std::string_view edited) const {
    if (!refusal_.empty())
      return failure("the original would be refused: " + refusal_ + ", yet a result was loaded");
    std::string_view head = original_.substr(0, offsetOf(objectAnchor_ + 1));
    std::string_view tail = original_.substr(offsetOf(lightAnchor_ + 1));
    std::string_view between = original_.substr(head.size(), original_.size() - head.size() - tail.size());
    if (edited.size() < original_.size() || !beginsWith(edited, head) ||
        edited.substr(edited.size() - tail.size()) != tail)
      return failure(departure(edited));
    std::string_view middle = edited.substr(head.size(), edited.size() - head.size() - tail.size());
    std::string why;
    for (std::size_t split = middle.find(between); split != std::string_view::npos;
         split = middle.find(between, split + 1)) {
      why = runs(middle.substr(0, split), middle.substr(split + between.size()));
      if (why.empty()) return EditCheck{};
    }
    return failure(why.empty() ? departure(edited) : why);
  }

 private:
  std::size_t offsetOf(std::size_t piece) const {
    return piece < saved_.size() ? static_cast<std::size_t>(saved_[piece].data() - original_.data())
                                 : original_.size();
  }

  std::string lineName(std::size_t at) const {
    return "saved line " + std::to_string(at + 1) + " \"" + excerpt(saved_[at]) + "\"";
  }

  // Reads the items and their blocks; why the copy refuses the original, or "".
  std::string readItems() {
    if (nesting_.stray != kNoPiece) return lineName(nesting_.stray) + " closes no brace block";
    if (nesting_.open) return "a brace block or plug-in body is still open at its end";
    std::array<std::vector<std::size_t>, 5> lines;  // top-level item lines by kind
    for (std::size_t at = 0; at < saved_.size(); ++at) {
      if (!nesting_.nested[at]) lines[static_cast<std::size_t>(itemKind(saved_[at]))].push_back(at);
    }
    const auto& objects = lines[static_cast<std::size_t>(Kind::kObject)];
    const auto& lights = lines[static_cast<std::size_t>(Kind::kLight)];
    const auto& cameras = lines[static_cast<std::size_t>(Kind::kCamera)];
    if (objects.empty()) return "it has no object line";
    if (cameras.empty()) return "it has no camera line";
    std::size_t sectionEnd = lights.empty() ? cameras.front() : lights.front();
    if (sectionEnd < objects.back() || (!lights.empty() && cameras.front() < lights.back()))
      return "its objects, lights and cameras do not stand in that order";
    std::size_t group = groupStart(objects.back(), sectionEnd);
    if (group <= objects.back()) return "no scene-level group follows its last object";
    objects_ = readSection(objects, group);
    lights_ = readSection(lights, cameras.front());
    cameras_ = cameras.size();
    objectAnchor_ = objects_.items.back().last;
    lightAnchor_ = lights_.items.empty() ? saved_.size() - 1 : lights_.items.back().last;
    for (std::size_t bone : lines[static_cast<std::size_t>(Kind::kBone)]) {
      if (bone < objects.front() || bone > objectAnchor_)
        return lineName(bone) + " begins a bone in no object block";
    }
    return "";
  }

  std::size_t groupStart(std::size_t lastObject, std::size_t end) const {
    return sceneGroupStart(saved_, nesting_, lastObject, end);
  }

  // The blocks of the items at lines: each to the last non-blank line before
  // the next item line, the last one's before end.
  Section readSection(const std::vector<std::size_t>& lines, std::size_t end) const {
    Section read;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::size_t last = i + 1 < lines.size() ? lines[i + 1] : end;
      do --last;
      while (isBlank(saved_[last]));
      read.byLine[saved_[lines[i]]].push_back(read.items.size());
      read.items.push_back(readItem(lines[i], last));
    }
    return read;
  }

  Item3 readItem(std::size_t first, std::size_t last) const {
    Item3 item{first, last};
    for (std::size_t at = first + 1; at <= last; ++at) {
      if (nesting_.nested[at]) continue;
      if (itemKind(saved_[at]) == Kind::kBone) {
        ++item.bones;
      } else if (item.bones == 0 && item.parent == kNoPiece && beginsWithWord(saved_[at], "ParentItem")) {
        item.parent = at;
      }
    }
    return item;
  }

  // The item a saved top-level reference line names, if any.
  Named named(std::string_view piece) const {
    std::string_view keyword = referenceKeyword3(piece), prefix = keptPrefix(piece);
    std::int64_t number = 0;
    std::uint32_t identifier = 0;
    if (keyword.empty() || prefix.empty()) return {};
    if (!namesByIdentifier(keyword)) {
      valueAfterSpace(piece, number);
      return number >= 1 && static_cast<std::size_t>(number) <= objects_.items.size()
                 ? Named{Kind::kObject, static_cast<std::size_t>(number - 1)}
                 : Named{};
    }
    if (!readIdentifier(piece.substr(prefix.size()), identifier)) return {};
    // Radiosity and caustics have identifiers of lights that are none.
    if (keyword == "ExcludeLight" &&
        (identifier >> 28 != 2 || identifier == 0x21000000u || identifier == 0x22000000u))
      return {};
    return namedItem(identifier);
  }

  Named namedItem(std::uint32_t identifier) const {
    std::size_t index = identifier & 0xfffffffu;
    std::size_t object = identifier & 0xffffu, bone = identifier >> 16 & 0xfffu;
    switch (identifier >> 28) {
      case 1:
        return index < objects_.items.size() ? Named{Kind::kObject, index} : Named{};
      case 2:
        return index < lights_.items.size() ? Named{Kind::kLight, index} : Named{};
      case 3:
        return index < cameras_ ? Named{Kind::kCamera, index} : Named{};
      case 4:
        return object < objects_.items.size() && bone < objects_.items[object].bones
                   ? Named{Kind::kBone, object, bone}
                   : Named{};
      default:
        return {};
    }
  }

  // Why the edit does not keep the saved lines around its runs, told at the
  // saved line where it departs from them, from the start (and, past the
  // object anchor, from the end) when that line is nested or opens a brace block.
  std::string departure(std::string_view editedText) const {
    Pieces edited = scenePieces(editedText);
    auto [head, tail] = agreement(saved_, edited);
    std::vector<std::size_t> spots{head};
    if (head > objectAnchor_) spots.push_back(saved_.size() - tail);
    for (std::size_t at : spots) {
      if (at >= saved_.size()) continue;
      if (nesting_.nested[at]) return "the edit reaches into nested content at " + lineName(at);
      if (opensBraces(saved_[at]))
        return "the edit stands before " + lineName(at) + ", whose brace block continues the line above it";
    }
    return "the saved lines around the copies are not all kept" +
           where(saved_, edited, objectAnchor_, lightAnchor_);
  }

  std::string runs(std::string_view objectText, std::string_view lightText) const {
    if (objectText.empty()) return "no copy of the picked object was inserted";
    Runs runs{Run3{true, {}, {}, {}}, Run3{false, {}, {}, {}}};
    std::string why = readRun(objectText, runs[kObjects]);
    if (why.empty()) why = readRun(lightText, runs[kLights]);
    return why.empty() ? settleFromRoot(runs) : why;
  }

  const Section& section(const Run3& run) const { return run.objects ? objects_ : lights_; }
  static Kind kindOf(const Run3& run) { return run.objects ? Kind::kObject : Kind::kLight; }
  static const char* word(const Run3& run) { return run.objects ? "object" : "light"; }

  // Reads text as copies of the run's kind, each after one blank line.
  std::string readRun(std::string_view text, Run3& run) const {
    for (std::size_t at = 0; at < text.size();) {
      std::string why = copyStart(text.substr(at), run);
      if (!why.empty()) return why;
      at = readCopy(text, at + lineEnd_.size(), run);
      if (at == kNoPiece) {
        bool root = run.objects && run.candidates.empty();
        return copyName(run.objects, run.candidates.size()) +
               (root ? " is not an exact copy of an object's block" : " copies no saved block");
      }
    }
    return "";
  }

  // Why rest does not begin the run's next copy: one blank line, then an
  // item line of the run's kind.
  std::string copyStart(std::string_view rest, const Run3& run) const {
    std::string name = copyName(run.objects, run.candidates.size());
    if (!beginsWith(rest, lineEnd_))
      return name + " is not preceded by one blank line \"" + excerpt(lineEnd_) + "\"";
    rest.remove_prefix(lineEnd_.size());
    if (rest.empty()) return std::string("an inserted blank line follows the last ") + word(run) + " copy";
    if (isBlank(firstPiece(rest))) return name + " is preceded by more than one blank line";
    if (itemKind(rest) != kindOf(run))
      return std::string("an inserted line begins no ") + word(run) + " copy: \"" +
             excerpt(firstPiece(rest)) + "\"";
    return "";
  }

  // Reads the copy whose item line stands at `at`: its candidates, those that
  // the run's end or one blank line and another item line follow (else the
  // first that text holds, so that the next copy tells what is wrong). Where
  // the copy ends, or kNoPiece when it holds no saved item's lines.
  std::size_t readCopy(std::string_view text, std::size_t at, Run3& run) const {
    auto found = section(run).byLine.find(firstPiece(text.substr(at)));
    if (found == section(run).byLine.end()) return kNoPiece;
    std::vector<Candidate> ending, holding;
    std::size_t end = kNoPiece, holdingEnd = kNoPiece;
    for (std::size_t source : found->second) {
      Pieces lines;
      std::size_t after = cutAsCopy(section(run).items[source], text, at, lines);
      if (after == kNoPiece) continue;
      if (endsCopy(text, after, run) && (end == kNoPiece || after == end)) {
        end = after;
        ending.emplace_back(source, std::move(lines));
      } else if (holding.empty()) {
        holdingEnd = after;
        holding.emplace_back(source, std::move(lines));
      }
    }
    if (ending.empty() && holding.empty()) return kNoPiece;
    bool ends = !ending.empty();
    run.candidates.push_back(ends ? std::move(ending) : std::move(holding));
    return ends ? end : holdingEnd;
  }

  bool endsCopy(std::string_view text, std::size_t after, const Run3& run) const {
    return after == text.size() || (beginsWith(text.substr(after), lineEnd_) &&
                                    itemKind(text.substr(after + lineEnd_.size())) == kindOf(run));
  }

  // Cuts text from `at` as a copy of item: each line the saved one or, on a
  // top-level reference line, a rewrite of it. Where the copy ends, or kNoPiece.
  std::size_t cutAsCopy(const Item3& item, std::string_view text, std::size_t at, Pieces& lines) const {
    for (std::size_t line = item.first; line <= item.last; ++line) {
      std::string_view rest = text.substr(at);
      std::size_t length = beginsWith(rest, saved_[line]) ? saved_[line].size()
                           : nesting_.nested[line]        ? 0
                                                          : rewriteLength(saved_[line], rest);
      if (length == 0) return kNoPiece;
      lines.push_back(rest.substr(0, length));
      at += length;
    }
    return at;
  }

  // Tries each candidate of the first object copy that keeps its own parent
  // line as the picked object; why none gives a sound branch.
  std::string settleFromRoot(Runs& runs) const {
    std::string why;
    const std::vector<Candidate>& roots = runs[kObjects].candidates[0];
    for (std::size_t root = 0; root < roots.size(); ++root) {
      const Item3& item = objects_.items[roots[root].first];
      if (item.parent != kNoPiece && roots[root].second[item.parent - item.first] != saved_[item.parent])
        continue;
      std::string failed = settle(runs, root);
      if (failed.empty()) failed = fits(runs);
      if (failed.empty()) failed = checkLines(runs);
      if (failed.empty()) return "";
      if (why.empty()) why = failed;
    }
    return why.empty() ? "object copy 1 is not an exact copy of an object's block" : why;
  }

  static void choose(Run3& run, std::size_t copy, std::size_t candidate) {
    run.chosen[copy] = candidate;
    run.copyOf[run.candidates[copy][candidate].first] = copy;
  }

  static std::size_t sourceOf(const Run3& run, std::size_t copy) {
    return run.chosen[copy] == kNoPiece ? kNoPiece : run.candidates[copy][run.chosen[copy]].first;
  }

  // Settles which candidate every copy copies, from the first object copy
  // (its candidate root) down along the copies' parent lines, until none
  // settles any more; why one cannot be settled.
  std::string settle(Runs& runs, std::size_t root) const {
    for (Run3& each : runs) {
      each.chosen.assign(each.candidates.size(), kNoPiece);
      each.copyOf.assign(section(each).items.size(), kNoPiece);
    }
    choose(runs[kObjects], 0, root);
    for (bool settling = true; settling;) {
      settling = false;
      for (Run3& each : runs) {
        for (std::size_t copy = 0; copy < each.candidates.size(); ++copy) {
          if (each.chosen[copy] != kNoPiece) continue;
          std::string why = hang(runs, each, copy);
          if (!why.empty()) return why;
          settling = settling || each.chosen[copy] != kNoPiece;
        }
      }
    }
    for (const Run3& each : runs) {
      for (std::size_t copy = 0; copy < each.candidates.size(); ++copy) {
        if (each.chosen[copy] == kNoPiece)
          return copyName(each.objects, copy) + " does not hang below the copy of the picked object";
      }
    }
    return "";
  }

  // Settles a copy on its first candidate that fits, in file order: the
  // first of identical siblings is copied first. Waits, returning "", while
  // none fits yet but one may, once the copy its parent line names is settled.
  std::string hang(Runs& runs, Run3& run, std::size_t copy) const {
    std::string why;
    bool waits = false;
    for (std::size_t at = 0; at < run.candidates[copy].size(); ++at) {
      bool unsettled = false;
      std::string failed = misfit(runs, run, copy, run.candidates[copy][at], unsettled);
      if (failed.empty() && !unsettled) {
        choose(run, copy, at);
        return "";
      }
      waits = waits || unsettled;
      if (why.empty()) why = failed;
    }
    return waits ? "" : why;
  }

  // Why a copy does not copy candidate: another copy copies it, or its parent
  // line does not name the source of the copy that the copy's parent line
  // names (or the same bone of it). unsettled: that copy is not settled yet.
  std::string misfit(const Runs& runs, const Run3& run, std::size_t copy, const Candidate& candidate,
                     bool& unsettled) const {
    const auto& [source, lines] = candidate;
    const Item3& item = section(run).items[source];
    std::string name = copyName(run.objects, copy);
    if (run.copyOf[source] != kNoPiece) return name + " copies a saved block that another copy copies";
    if (item.parent == kNoPiece) return name + " copies a block without a parent line";
    std::string_view line = lines[item.parent - item.first];
    Named parent = namedCopy(line, runs);
    if (parent.kind == Kind::kNone) return name + " does not hang on a copy: \"" + excerpt(line) + "\"";
    std::size_t parentSource = sourceOf(runs[parent.kind == Kind::kLight ? kLights : kObjects], parent.index);
    unsettled = parentSource == kNoPiece;
    if (unsettled || named(saved_[item.parent]) == Named{parent.kind, parentSource, parent.bone}) return "";
    return name + " does not hang on the copy of its source's parent: \"" + excerpt(line) + "\"";
  }

  // The copy a copy's parent line names: the kind of what it names, its
  // place in its run and, for a bone, the bone's index. kNone for no copy.
  Named namedCopy(std::string_view line, const Runs& runs) const {
    std::uint32_t identifier = 0;
    std::string_view prefix = keptPrefix(line);
    if (prefix.empty() || !readIdentifier(line.substr(prefix.size()), identifier)) return {};
    std::uint32_t kind = identifier >> 28;
    std::size_t index = kind == 4 ? identifier & 0xffffu : identifier & 0xfffffffu;
    std::size_t count = kind == 2 ? lights_.items.size() : objects_.items.size();
    std::size_t copies = runs[kind == 2 ? kLights : kObjects].candidates.size();
    if ((kind != 1 && kind != 2 && kind != 4) || index < count || index - count >= copies) return {};
    Kind kindNamed = kind == 1 ? Kind::kObject : kind == 2 ? Kind::kLight : Kind::kBone;
    return Named{kindNamed, index - count, kind == 4 ? identifier >> 16 & 0xfffu : 0};
  }

  // Why a copy's index does not fit its identifier: 7 hexadecimal digits,
  // and 4 for an object with bones, whose bones' identifiers hold it.
  std::string fits(const Runs& runs) const {
    for (const Run3& each : runs) {
      for (std::size_t copy = 0; copy < each.candidates.size(); ++copy) {
        std::size_t index = section(each).items.size() + copy;
        bool bones = section(each).items[sourceOf(each, copy)].bones > 0;
        if (index > 0xfffffff || (bones && index > 0xffff))
          return copyName(each.objects, copy) + "'s index " + std::to_string(index) + " does not fit " +
                 (bones ? "its bones' identifiers" : "an identifier");
      }
    }
    return "";
  }

  // Why a settled copy's line is not the one its source's line calls for.
  std::string checkLines(const Runs& runs) const {
    for (const Run3& each : runs) {
      for (std::size_t copy = 0; copy < each.candidates.size(); ++copy) {
        std::string why = checkCopy(runs, each, copy);
        if (!why.empty()) return why;
      }
    }
    return "";
  }

  std::string checkCopy(const Runs& runs, const Run3& run, std::size_t copy) const {
    const auto& [source, lines] = run.candidates[copy][run.chosen[copy]];
    const Item3& item = section(run).items[source];
    std::string name = copyName(run.objects, copy);
    for (std::size_t at = item.first; at <= item.last; ++at) {
      std::string_view line = lines[at - item.first], saved = saved_[at];
      // The picked object's copy hangs where the picked object hangs.
      bool ownParent = run.objects && copy == 0 && at == item.parent;
      std::string expected = ownParent ? std::string(saved) : expectedLine(at, runs);
      if (line == expected) continue;
      if (line == saved) return name + "'s \"" + excerpt(line) + "\" names the original, not its copy";
      if (expected == saved)
        return name + "'s \"" + excerpt(line) + "\" does not keep \"" + excerpt(saved) + "\"";
      return name + "'s \"" + excerpt(line) + "\" names no copy of what \"" + excerpt(saved) + "\" names";
    }
    return "";
  }

  // Saved line `at` as a copy holds it: a top-level reference line that
  // names a copied item (or a bone of one) rewritten to name its copy.
  std::string expectedLine(std::size_t at, const Runs& runs) const {
    std::string_view saved = saved_[at];
    Named target = nesting_.nested[at] ? Named{} : named(saved);
    std::size_t copy = kNoPiece;
    if (target.kind == Kind::kObject || target.kind == Kind::kBone)
      copy = runs[kObjects].copyOf[target.index];
    if (target.kind == Kind::kLight) copy = runs[kLights].copyOf[target.index];
    if (copy == kNoPiece) return std::string(saved);
    return std::string(keptPrefix(saved)) + copyValue(referenceKeyword3(saved), target, copy) +
           std::string(lineEndOf(saved));
  }

  std::string copyValue(std::string_view keyword, const Named& target, std::size_t copy) const {
    std::size_t objectIndex = objects_.items.size() + copy;
    if (!namesByIdentifier(keyword)) return std::to_string(objectIndex + 1);
    if (target.kind == Kind::kLight) return "2" + hex(lights_.items.size() + copy, 7);
    if (target.kind == Kind::kBone) return "4" + hex(target.bone, 3) + hex(objectIndex, 4);
    return "1" + hex(objectIndex, 7);
  }

  std::string_view original_;
  Pieces saved_;
  std::string lineEnd_;  // of new lines
  Nesting nesting_;
  std::string refusal_;  // why the copy refuses the original, or ""
  Section objects_;
  Section lights_;
  std::size_t cameras_ = 0;
  std::size_t objectAnchor_ = 0;  // the last object block's last line
  std::size_t lightAnchor_ = 0;   // the last light block's last line, or the last line
};

// The messages of refusals that formats 4 to 8 foretell, each under "Graftling:".
constexpr char kDamageMessage[] = "The copy would damage this scene; nothing was changed";
constexpr char kNoCameraMessage[] = "No camera found in the saved scene";
constexpr char kIdentifiersMessage[] =
    "The saved scene's item identifiers are missing or repeated; nothing was changed";
constexpr char kNoObjectIdentifierMessage[] =
    "No object identifier below 20000000 is free for this copy; nothing was changed";
constexpr char kNoLightIdentifierMessage[] =
    "No light identifier below 21000000 is free for this copy; nothing was changed";
constexpr char kSharedBonesMessage[] =
    "This copy's bones would share identifiers with other bones; nothing was changed";

// The highest identifiers an object copy and a light copy may take.
constexpr std::uint64_t kLastObjectCopy = 0x1fffffffu;
constexpr std::uint64_t kLastLightCopy = 0x20ffffffu;

// The identifier a token of an item line spells: 8 hexadecimal digits of
// either case, the first the one its keyword calls for.
bool tokenIdentifier(std::string_view piece, const IdentifierToken& token, std::uint32_t& identifier) {
  if (token.size != 8) return false;
  identifier = 0;
  for (char c : piece.substr(token.at, 8)) {
    int digit = hexDigit(c);
    if (digit < 0) return false;
    identifier = identifier * 16 + static_cast<std::uint32_t>(digit);
  }
  return static_cast<int>(identifier >> 28) == token.kind;
}

// A copied bone's identifier: its source's bone number, its object copy's last 4 digits.
std::uint32_t copiedBone(std::uint32_t bone, std::uint64_t object) {
  return 0x40000000u | (bone & 0x0fff0000u) | static_cast<std::uint32_t>(object & 0xffffu);
}

// An item of formats 4 to 8: its block first..last, its parent line (the
// first "ParentItem" among its own lines), a bone's object, an object's bones
// (the items right after it) and its identifier.
struct LaterItem {
  Kind kind = Kind::kNone;
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t parent = kNoPiece;
  std::size_t object = kNoPiece;
  std::size_t bones = 0;
  IdentifierToken token;
  std::uint32_t identifier = 0;
};

// A top-level reference line within an item's block, and the item it names.
struct LaterReferenceLine {
  std::size_t piece;
  std::string_view keyword;
  Notation notation;
  std::size_t target = kNoPiece;
};

// A scene of formats 4 to 8 read as format 3 is, its item lines spelling
// identifiers: its items, blocks and references, and why a copy refuses it.
class LaterScene {
 public:
  LaterScene(Pieces read, int sceneFormat) : pieces(std::move(read)), format(sceneFormat) {
    nesting = readNesting(pieces);
    refusal = readAll();
  }

  Pieces pieces;
  int format;
  Nesting nesting;
  std::string refusal;                   // the refusal every pick meets, or ""
  std::vector<std::size_t> objectLines;  // top-level object lines, as the host lists objects
  std::size_t sectionEnd = kNoPiece;     // the first light or camera line
  std::vector<LaterItem> items;          // in file order, bones right after their object
  std::vector<std::size_t> objects;      // the items of objects, by index
  std::vector<std::size_t> lights;
  std::vector<std::size_t> itemAt;  // per piece, the item whose line it is, or kNoPiece
  std::vector<LaterReferenceLine> references;
  std::vector<std::size_t> referenceAt;  // per piece, its reference, or kNoPiece
  std::unordered_map<std::uint32_t, std::size_t> byIdentifier;
  std::uint32_t maxObject = 0;
  std::uint32_t maxLight = 0;
  std::unordered_set<std::uint32_t> boneDigits;    // last 4 digits of bones and of objects with bones
  std::vector<std::vector<std::size_t>> children;  // per item, the items hung on it, in file order

 private:
  std::size_t lastNonBlankBefore(std::size_t end) const {
    std::size_t last = end;
    do --last;
    while (isBlank(pieces[last]));
    return last;
  }

  // Damage and a missing camera come first, in the order a format-3 reading
  // meets them; then the identifiers.
  std::string readAll() {
    std::vector<std::size_t> lines;  // top-level item lines
    for (std::size_t at = 0; at < pieces.size(); ++at) {
      if (nesting.nested[at] || itemKind(pieces[at]) == Kind::kNone) continue;
      lines.push_back(at);
      if (itemKind(pieces[at]) == Kind::kObject) objectLines.push_back(at);
    }
    std::string problem = readOrder(lines);
    if (!problem.empty() || objectLines.empty()) return problem;
    readBlocks(lines);
    for (const LaterItem& item : items) {
      if (item.kind == Kind::kBone && item.first > items[item.object].last) return kDamageMessage;
    }
    readReferences();
    return readIdentifiers() ? "" : kIdentifiersMessage;
  }

  // Damage met while reading line by line (a stray "}", items out of order, no
  // scene-level group before the first light or camera) or at the end (an
  // open block), then a missing camera.
  std::string readOrder(const std::vector<std::size_t>& lines) {
    bool damaged = nesting.stray != kNoPiece || nesting.open;
    Kind section = Kind::kObject;  // the section being read
    std::size_t lastObject = kNoPiece, cameras = 0;
    auto endObjects = [&](std::size_t end) {
      sectionEnd = end;
      if (lastObject != kNoPiece && sceneGroupStart(pieces, nesting, lastObject, end) <= lastObject)
        damaged = true;
    };
    for (std::size_t at : lines) {
      switch (itemKind(pieces[at])) {
        case Kind::kObject:
          damaged = damaged || section != Kind::kObject;
          lastObject = at;
          break;
        case Kind::kBone:
          damaged = damaged || section != Kind::kObject || lastObject == kNoPiece;
          break;
        case Kind::kLight:
          damaged = damaged || section == Kind::kCamera;
          if (section == Kind::kObject) endObjects(at);
          section = Kind::kLight;
          break;
        case Kind::kCamera:
          if (section == Kind::kObject) endObjects(at);
          section = Kind::kCamera;
          ++cameras;
          break;
        case Kind::kNone:
          break;
      }
    }
    if (damaged) return kDamageMessage;
    return cameras == 0 ? kNoCameraMessage : "";
  }

  // Each block runs to the last non-blank line before the line that ends it:
  // an object's at the next object line or the scene-level group, a bone's
  // at the next bone or object line or that group, a light's at the next
  // light or the first camera line, a camera's at the next camera or the end.
  void readBlocks(const std::vector<std::size_t>& lines) {
    std::size_t group = sceneGroupStart(pieces, nesting, objectLines.back(), sectionEnd);
    std::size_t object = kNoPiece;
    itemAt.assign(pieces.size(), kNoPiece);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      LaterItem item;
      item.kind = itemKind(pieces[lines[i]]);
      item.first = lines[i];
      std::size_t end = kNoPiece;
      for (std::size_t next = i + 1; next < lines.size() && end == kNoPiece; ++next) {
        Kind kind = itemKind(pieces[lines[next]]);
        bool ends = item.kind == Kind::kObject  ? kind == Kind::kObject
                    : item.kind == Kind::kBone  ? kind == Kind::kObject || kind == Kind::kBone
                    : item.kind == Kind::kLight ? kind == Kind::kLight || kind == Kind::kCamera
                                                : kind == Kind::kCamera;
        if (ends) end = lines[next];
      }
      if (item.kind == Kind::kObject || item.kind == Kind::kBone) end = std::min(end, group);
      item.last = lastNonBlankBefore(end == kNoPiece ? pieces.size() : end);
      if (item.kind == Kind::kObject) {
        object = items.size();
        objects.push_back(object);
      } else if (item.kind == Kind::kBone) {
        item.object = object;
        ++items[object].bones;
      } else if (item.kind == Kind::kLight) {
        lights.push_back(items.size());
      }
      itemAt[item.first] = items.size();
      items.push_back(item);
    }
  }

  // Each top-level reference line belongs to the item line above it, when it
  // stands within that item's block; the first "ParentItem" is its parent line.
  void readReferences() {
    referenceAt.assign(pieces.size(), kNoPiece);
    std::size_t owner = kNoPiece;
    for (std::size_t at = 0; at < pieces.size(); ++at) {
      if (nesting.nested[at]) continue;
      if (itemAt[at] != kNoPiece) {
        owner = itemAt[at];
        continue;
      }
      auto [keyword, notation] = laterReference(format, pieces[at]);
      if (notation == Notation::kNone || owner == kNoPiece || at > items[owner].last) continue;
      referenceAt[at] = references.size();
      references.push_back(LaterReferenceLine{at, keyword, notation});
      if (items[owner].parent == kNoPiece && keyword == "ParentItem") items[owner].parent = at;
    }
  }

  // Whether every item line spells an identifier of its kind that no other
  // item's line spells. Resolves the references and the hierarchy once so.
  bool readIdentifiers() {
    for (std::size_t i = 0; i < items.size(); ++i) {
      LaterItem& item = items[i];
      item.token = identifierToken(pieces[item.first]);
      if (!tokenIdentifier(pieces[item.first], item.token, item.identifier) ||
          !byIdentifier.emplace(item.identifier, i).second)
        return false;
      if (item.kind == Kind::kObject) maxObject = std::max(maxObject, item.identifier);
      if (item.kind == Kind::kLight) maxLight = std::max(maxLight, item.identifier);
      if (item.kind == Kind::kBone) {
        boneDigits.insert(item.identifier & 0xffffu);
        boneDigits.insert(items[item.object].identifier & 0xffffu);
      }
    }
    for (LaterReferenceLine& reference : references) reference.target = named(reference);
    children.assign(items.size(), {});
    for (std::size_t i = 0; i < items.size(); ++i) {
      std::size_t parent = parentOf(items[i]);
      if (parent != kNoPiece) children[parent].push_back(i);
    }
    return true;
  }

  // The item a reference line names: by identifier, any item's (a light's
  // alone for "ExcludeLight", radiosity's and caustics' excepted), or by an
  // object's index plus one.
  std::size_t named(const LaterReferenceLine& reference) const {
    std::string_view piece = pieces[reference.piece];
    std::size_t space = piece.find(' ');
    if (space == std::string_view::npos) return kNoPiece;
    if (reference.notation == Notation::kNumber) {
      std::int64_t number = 0;
      valueAfterSpace(piece, number);
      return number >= 1 && static_cast<std::size_t>(number) <= objects.size()
                 ? objects[static_cast<std::size_t>(number - 1)]
                 : kNoPiece;
    }
    std::uint32_t identifier = 0;
    if (!readIdentifier(piece.substr(space + 1), identifier)) return kNoPiece;
    auto found = byIdentifier.find(identifier);
    if (found == byIdentifier.end()) return kNoPiece;
    bool light = items[found->second].kind == Kind::kLight;
    if (reference.keyword == "ExcludeLight" &&
        (!light || identifier == 0x21000000u || identifier == 0x22000000u))
      return kNoPiece;
    return found->second;
  }

  // The object or light an object or light hangs on (a bone's object for a
  // bone), or kNoPiece.
  std::size_t parentOf(const LaterItem& item) const {
    if ((item.kind != Kind::kObject && item.kind != Kind::kLight) || item.parent == kNoPiece) return kNoPiece;
    std::size_t parent = references[referenceAt[item.parent]].target;
    if (parent != kNoPiece && items[parent].kind == Kind::kBone) parent = items[parent].object;
    if (parent == kNoPiece || (items[parent].kind != Kind::kObject && items[parent].kind != Kind::kLight))
      return kNoPiece;
    return parent;
  }
};

// The copies of one run in the order they are made: each one's source item,
// identifier and, for an object, its index among the objects of the result.
struct CopyPlan {
  std::vector<std::size_t> sources;
  std::vector<std::uint64_t> identifiers;
  std::vector<std::size_t> objectIndex;
  std::vector<std::size_t> copyOf;  // per item, its copy's place in sources, or kNoPiece
  std::size_t objectCopies = 0;
};

// A saved scene of formats 4 to 8: what a run must do with each pick, and
// whether an edited text is that.
class LaterFormatRun {
 public:
  LaterFormatRun(std::string_view original, int format)
      : original_(original), saved_(scenePieces(original), format), lineEnd_(newLineEnd(saved_.pieces)) {}

  std::size_t objectCount() const { return saved_.objectLines.size(); }
  std::string_view objectLine(std::size_t pick) const { return saved_.pieces[saved_.objectLines[pick]]; }

  // The run when object pick (from 0) is picked and found.
  ExpectedRun expect(std::size_t pick) const {
    ExpectedRun run;
    run.objects = saved_.objectLines.size();
    run.outcome = ExpectedRun::Outcome::kRefused;
    run.message = saved_.refusal;
    if (!run.message.empty()) return run;
    CopyPlan plan = planCopies(saved_.objects[pick]);
    run.message = misfit(plan);
    if (!run.message.empty()) return run;
    std::vector<std::vector<std::string>> copies;
    for (std::size_t copy = 0; copy < plan.sources.size(); ++copy) copies.push_back(copyLines(plan, copy));
    if (!readsAsMeant(plan, copies)) {
      run.message = kDamageMessage;
      return run;
    }
    std::string objectCopies, lightCopies;
    for (std::size_t copy = 0; copy < copies.size(); ++copy) {
      std::string& text = saved_.items[plan.sources[copy]].kind == Kind::kObject ? objectCopies : lightCopies;
      for (const std::string& line : copies[copy]) text += line;
    }
    std::size_t objectEnd = offsetOf(objectAnchor() + 1), lightEnd = offsetOf(lightAnchor() + 1);
    run.outcome = ExpectedRun::Outcome::kLoaded;
    run.text = std::string(original_.substr(0, objectEnd)) + objectCopies +
               std::string(original_.substr(objectEnd, lightEnd - objectEnd)) + lightCopies +
               std::string(original_.substr(lightEnd));
    return run;
  }

  // Whether edited is the run of an object whose line, identifier aside, the
  // first object copy's line is.
  EditCheck checkLoaded(std::string_view edited) const {
    if (!saved_.refusal.empty())
      return failure("the original would be refused: \"" + saved_.refusal + "\", yet a result was loaded");
    if (saved_.objects.empty()) return failure("the original has no object to pick, yet a result was loaded");
    std::size_t anchor = offsetOf(objectAnchor() + 1);
    if (edited.substr(0, anchor) != original_.substr(0, anchor) ||
        edited.substr(anchor, lineEnd_.size()) != lineEnd_)
      return failure("no object copy stands after the last object block: " +
                     firstDifference(original_, edited));
    std::string_view line = firstPiece(edited.substr(anchor + lineEnd_.size()));
    IdentifierToken token = identifierToken(line);
    std::string why =
        "object copy 1 is no saved object's line with a new identifier: \"" + excerpt(line) + "\"";
    bool tried = false;
    for (std::size_t pick = 0; token.size == 8 && pick < saved_.objects.size(); ++pick) {
      std::string_view saved = saved_.pieces[saved_.items[saved_.objects[pick]].first];
      IdentifierToken own = identifierToken(saved);
      if (own.at != token.at || maskedItemLine(saved, own.at) != maskedItemLine(line, token.at)) continue;
      ExpectedRun run = expect(pick);
      if (run.outcome == ExpectedRun::Outcome::kLoaded && run.text == edited) return EditCheck{};
      if (tried) continue;
      tried = true;
      std::string name = "picking saved object " + std::to_string(pick + 1);
      why = run.outcome == ExpectedRun::Outcome::kRefused
                ? name + " is refused: \"" + run.message + "\", yet a result was loaded"
                : name + ", the copy departs from its expected text at " + firstDifference(run.text, edited);
    }
    return failure(why);
  }

 private:
  std::size_t offsetOf(std::size_t piece) const {
    return piece < saved_.pieces.size()
               ? static_cast<std::size_t>(saved_.pieces[piece].data() - original_.data())
               : original_.size();
  }

  // Object copies go after the last object block, light copies after the last light block.
  std::size_t objectAnchor() const { return saved_.items[saved_.objects.back()].last; }
  std::size_t lightAnchor() const {
    return saved_.lights.empty() ? saved_.pieces.size() - 1 : saved_.items[saved_.lights.back()].last;
  }

  // The copies of root's branch: root first, then depth first, the children
  // of each item in file order, each item once; identifiers after the highest
  // saved ones of their kind, in that order.
  CopyPlan planCopies(std::size_t root) const {
    CopyPlan plan;
    plan.copyOf.assign(saved_.items.size(), kNoPiece);
    std::size_t lightCopies = 0;
    auto add = [&](std::size_t item) {
      plan.copyOf[item] = plan.sources.size();
      plan.sources.push_back(item);
      bool object = saved_.items[item].kind == Kind::kObject;
      plan.identifiers.push_back(object ? std::uint64_t{saved_.maxObject} + 1 + plan.objectCopies
                                        : std::uint64_t{saved_.maxLight} + 1 + lightCopies);
      plan.objectIndex.push_back(object ? saved_.objects.size() + plan.objectCopies : kNoPiece);
      ++(object ? plan.objectCopies : lightCopies);
    };
    add(root);
    std::vector<std::pair<std::size_t, std::size_t>> stack{{root, 0}};  // an item, its next child
    while (!stack.empty()) {
      std::size_t item = stack.back().first, next = stack.back().second++;
      if (next == saved_.children[item].size()) {
        stack.pop_back();
        continue;
      }
      std::size_t child = saved_.children[item][next];
      if (plan.copyOf[child] != kNoPiece) continue;
      add(child);
      stack.emplace_back(child, 0);
    }
    return plan;
  }

  // The refusal at the first copy that does not fit, or "".
  std::string misfit(const CopyPlan& plan) const {
    std::unordered_set<std::uint32_t> boneDigits = saved_.boneDigits;
    for (std::size_t copy = 0; copy < plan.sources.size(); ++copy) {
      const LaterItem& source = saved_.items[plan.sources[copy]];
      std::uint64_t identifier = plan.identifiers[copy];
      if (source.kind == Kind::kLight) {
        if (identifier > kLastLightCopy) return kNoLightIdentifierMessage;
        continue;
      }
      if (identifier > kLastObjectCopy) return kNoObjectIdentifierMessage;
      if (source.bones > 0 && !boneDigits.insert(static_cast<std::uint32_t>(identifier & 0xffffu)).second)
        return kSharedBonesMessage;
    }
    return "";
  }

  // Whether the edited scene, as pieces, reads as the run meant: without a
  // refusal of its own, every saved item as before (its block, parent line,
  // references and what they name), every copy a block as long as its source's.
  bool readsAsMeant(const CopyPlan& plan, const std::vector<std::vector<std::string>>& copies) const {
    Pieces edited;
    std::vector<std::size_t> savedAt(saved_.pieces.size()), copyAt(copies.size());
    auto addCopies = [&](Kind kind) {
      for (std::size_t copy = 0; copy < copies.size(); ++copy) {
        if (saved_.items[plan.sources[copy]].kind != kind) continue;
        copyAt[copy] = edited.size() + 1;  // after its blank line
        edited.insert(edited.end(), copies[copy].begin(), copies[copy].end());
      }
    };
    for (std::size_t at = 0; at < saved_.pieces.size(); ++at) {
      savedAt[at] = edited.size();
      edited.push_back(saved_.pieces[at]);
      if (at == objectAnchor()) addCopies(Kind::kObject);
      if (at == lightAnchor()) addCopies(Kind::kLight);
    }
    LaterScene result(std::move(edited), saved_.format);
    if (!result.refusal.empty()) return false;
    auto same = [&](std::size_t savedItem, std::size_t resultItem) {
      return savedItem == kNoPiece ? resultItem == kNoPiece
                                   : resultItem == result.itemAt[savedAt[saved_.items[savedItem].first]];
    };
    for (const LaterItem& item : saved_.items) {
      std::size_t now = result.itemAt[savedAt[item.first]];
      if (now == kNoPiece || result.items[now].kind != item.kind ||
          result.items[now].last != savedAt[item.last])
        return false;
      for (std::size_t at = item.first; at <= item.last; ++at) {
        std::size_t was = saved_.referenceAt[at], is = result.referenceAt[savedAt[at]];
        if ((was == kNoPiece) != (is == kNoPiece)) return false;
        if (was != kNoPiece && !same(saved_.references[was].target, result.references[is].target))
          return false;
      }
    }
    for (std::size_t copy = 0; copy < copies.size(); ++copy) {
      const LaterItem& source = saved_.items[plan.sources[copy]];
      std::size_t now = result.itemAt[copyAt[copy]];
      if (now == kNoPiece || result.items[now].last != copyAt[copy] + (source.last - source.first))
        return false;
    }
    return true;
  }

  // A copy's lines, after its blank line: its item line and its bones' with
  // their new identifiers, its references to items of the branch naming their
  // copies (the picked object's own parent line aside), every other line as it stands.
  std::vector<std::string> copyLines(const CopyPlan& plan, std::size_t copy) const {
    std::size_t item = plan.sources[copy];
    const LaterItem& source = saved_.items[item];
    std::uint64_t identifier = plan.identifiers[copy];
    std::vector<std::string> lines{lineEnd_};
    for (std::size_t at = source.first; at <= source.last; ++at) {
      std::string_view piece = saved_.pieces[at];
      std::size_t bone = saved_.itemAt[at], reference = saved_.referenceAt[at];
      if (at == source.first) {
        lines.push_back(withIdentifier(piece, source.token, hex(identifier, 8)));
      } else if (bone != kNoPiece) {
        const LaterItem& each = saved_.items[bone];
        lines.push_back(withIdentifier(piece, each.token, hex(copiedBone(each.identifier, identifier), 8)));
      } else if (reference != kNoPiece && !(copy == 0 && at == source.parent)) {
        lines.push_back(rewritten(saved_.references[reference], plan));
      } else {
        lines.emplace_back(piece);
      }
    }
    return lines;
  }

  static std::string withIdentifier(std::string_view piece, const IdentifierToken& token,
                                    const std::string& identifier) {
    return std::string(piece.substr(0, token.at)) + identifier + std::string(piece.substr(token.at + 8));
  }

  // A reference line of a copy: its text up to its first space (the keyword
  // and one space, as Layout writes it), the copy's value and the line's own
  // end when it names an item of the branch; else as it stands.
  std::string rewritten(const LaterReferenceLine& reference, const CopyPlan& plan) const {
    std::string_view piece = saved_.pieces[reference.piece];
    if (reference.target == kNoPiece) return std::string(piece);
    const LaterItem& target = saved_.items[reference.target];
    std::size_t copied = target.kind == Kind::kBone ? target.object : reference.target;
    std::size_t copy = plan.copyOf[copied];
    if (copy == kNoPiece) return std::string(piece);
    std::string value = reference.notation == Notation::kNumber ? std::to_string(plan.objectIndex[copy] + 1)
                        : target.kind == Kind::kBone
                            ? hex(copiedBone(target.identifier, plan.identifiers[copy]), 8)
                            : hex(plan.identifiers[copy], 8);
    return std::string(piece.substr(0, piece.find(' ') + 1)) + value + std::string(lineEndOf(piece));
  }

  std::string_view original_;
  LaterScene saved_;
  std::string lineEnd_;  // of new lines
};

// The name of a scene's format: its second piece without its line end when
// that is 1 to 9 decimal digits, else "unknown"; number is its value, or -1.
std::string formatName(const Pieces& pieces, int& number) {
  std::string_view name = pieces.size() > 1 ? pieces[1] : "";
  if (!name.empty() && name.back() == '\n') name.remove_suffix(1);
  if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
  number = -1;
  if (name.empty() || name.size() > 9 ||
      !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return "unknown";
  number = 0;
  for (char digit : name) number = number * 10 + (digit - '0');
  return std::string(name);
}

}  // namespace

std::vector<std::string_view> scenePieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    std::size_t length = pieceLength(text);
    pieces.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return pieces;
}

EditCheck checkCopiedBranch(std::string_view original, std::string_view edited) {
  int format = sceneFormat(scenePieces(original));
  if (format == 3) return Format3Check(original).run(edited);
  if (isLaterFormat(format)) return LaterFormatRun(original, format).checkLoaded(edited);
  return BranchCheck(original).run(edited);
}

ExpectedRun expectRun(std::string_view saved, std::size_t pick) {
  ExpectedRun run;
  Pieces pieces = scenePieces(saved);
  int format = -1;
  std::string name = formatName(pieces, format);
  run.outcome = ExpectedRun::Outcome::kRefused;
  if (pieces.empty() || !beginsWith(pieces[0], "LWSC")) {
    run.message = "Unable to read the saved scene";
  } else if (format < 1 || format > 8) {
    run.message = "Scene format " + name + " is not one graftling edits; nothing was changed";
  } else if (format <= 3) {
    run.outcome = ExpectedRun::Outcome::kUnknown;
    run.why = "formats 1 to 3 are checked from the edited text";
  } else {
    LaterFormatRun scene(saved, format);
    if (pick < scene.objectCount() && scene.objectLine(pick).find('\0') == std::string_view::npos)
      return scene.expect(pick);
    run.outcome = ExpectedRun::Outcome::kUnknown;
    run.why = pick < scene.objectCount() ? "the picked object's line holds a NUL byte" : "no such object";
    run.objects = scene.objectCount();
  }
  return run;
}

std::string firstDifference(std::string_view expected, std::string_view actual) {
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  if (at == expected.size() && at == actual.size()) return "";
  std::size_t lineStart = expected.substr(0, at).rfind('\n');
  lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
  auto lines = std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(lineStart), '\n');
  return "byte " + std::to_string(at) + " (line " + std::to_string(lines + 1) + "): expected \"" +
         excerpt(expected.substr(lineStart)) + "\", found \"" + excerpt(actual.substr(lineStart)) + "\"";
}

EditCheck checkInsertionsOnly(std::string_view original, std::string_view edited) {
  if (original == edited) return EditCheck{};
  return Matcher(original, edited).run();
}

}  // namespace graftling::fuzzing
