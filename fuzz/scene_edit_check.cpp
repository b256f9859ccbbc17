#include "fuzz/scene_edit_check.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace graftling::fuzzing {

namespace {

constexpr std::size_t kPieceLength = 255;

bool beginsWith(std::string_view text, std::string_view keyword) {
  return text.substr(0, keyword.size()) == keyword;
}

bool isItemLine(std::string_view text) {
  return beginsWith(text, "AddNullObject") || beginsWith(text, "LoadObject") || beginsWith(text, "AddLight");
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
      : edited_(edited), pieces_(scenePieces(original)), lastPiece_(pieces_.empty() ? "" : pieces_.back()) {
    for (std::string_view piece : pieces_) {
      copies_.insert(piece);
      std::size_t space = piece.find(' ');
      if (beginsWith(piece, "ParentObject") && space != std::string_view::npos) {
        parentKeeps_.insert(piece.substr(0, space + 1));
      }
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

  // Pushes every inserted piece that may stand at state.at.
  void pushInsertions(const State& state, std::vector<State>& stack) const {
    std::string_view rest = edited_.substr(state.at);
    auto push = [&](std::string_view piece) {
      stack.push_back(State{state.at + piece.size(), state.matched, state.itemInRun || isItemLine(piece)});
    };
    std::size_t lf = rest.find('\n');
    if (lf != std::string_view::npos && lf < kPieceLength) {
      std::string_view line = rest.substr(0, lf + 1);
      if (line == "\n" || line == "\r\n" || copies_.count(line) != 0 ||
          (state.itemInRun && isNewParentLine(line))) {
        push(line);
      }
    }
    if (rest.size() >= kPieceLength && (lf == std::string_view::npos || lf >= kPieceLength)) {
      std::string_view full = rest.substr(0, kPieceLength);
      if (copies_.count(full) != 0) push(full);
    }
    if (!lastPiece_.empty() && lastPiece_.size() < kPieceLength && beginsWith(rest, lastPiece_))
      push(lastPiece_);
  }

  bool isNewParentLine(std::string_view line) const {
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos || parentKeeps_.count(line.substr(0, space + 1)) == 0) return false;
    std::string_view value = line.substr(space + 1);
    value.remove_suffix(1);  // the LF that ends every line pushed here
    if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
    return isFormattedInt32(value);
  }

  std::string_view edited_;
  std::vector<std::string_view> pieces_;
  std::string_view lastPiece_;
  std::unordered_set<std::string_view> copies_;
  std::unordered_set<std::string_view> parentKeeps_;
};

using Pieces = std::vector<std::string_view>;
constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);

bool isObjectPiece(std::string_view piece) {
  return beginsWith(piece, "AddNullObject") || beginsWith(piece, "LoadObject");
}
bool isLightPiece(std::string_view piece) { return beginsWith(piece, "AddLight"); }
bool isBlank(std::string_view piece) { return piece == "\n" || piece == "\r\n"; }

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
bool parentValue(std::string_view piece, std::int64_t& value) {
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

// One item's block: its pieces first..last, and its parent piece (the first
// "ParentObject" piece before the "ShadowOptions" or "ShadowType" piece that
// ends it), or kNoPiece.
struct Block {
  std::size_t first;
  std::size_t last;
  std::size_t parent;
};

// The block that starts at an item piece, read as the copy reads it; kNoPiece
// as last when it has no end line. Pieces from settledEnd on have no kind, as
// the last line of a list has none, and end a light's settings.
Block readBlock(const Pieces& pieces, std::size_t first, std::size_t settledEnd) {
  bool light = isLightPiece(pieces[first]);
  std::string_view endKeyword = light ? "ShadowType" : "ShadowOptions";
  Block block{first, kNoPiece, kNoPiece};
  std::size_t at = first + 1;
  for (; at < pieces.size() && !beginsWith(pieces[at], endKeyword); ++at) {
    if (block.parent == kNoPiece && beginsWith(pieces[at], "ParentObject")) block.parent = at;
  }
  if (at == pieces.size()) return block;
  while (light && at + 1 < settledEnd && !hasOwnKind(pieces[at + 1]) && !isBlank(pieces[at + 1])) ++at;
  block.last = at;
  return block;
}

// Whether two blocks are copies of each other, their parent pieces' values aside.
bool sameBlock(const Pieces& a, const Block& blockA, const Pieces& b, const Block& blockB, bool valuesToo) {
  if (blockA.last - blockA.first != blockB.last - blockB.first) return false;
  if ((blockA.parent == kNoPiece) != (blockB.parent == kNoPiece)) return false;
  if (blockA.parent != kNoPiece && blockA.parent - blockA.first != blockB.parent - blockB.first) return false;
  for (std::size_t i = 0; i <= blockA.last - blockA.first; ++i) {
    std::string_view pieceA = a[blockA.first + i];
    std::string_view pieceB = b[blockB.first + i];
    if (!valuesToo && blockA.first + i == blockA.parent) {
      pieceA = pieceA.substr(0, pieceA.find(' ') + 1);
      pieceB = pieceB.substr(0, pieceB.find(' ') + 1);
    }
    if (pieceA != pieceB) return false;
  }
  return true;
}

// Reads an inserted run as whole copies: object copies (the first, the
// picked object's, without a blank line after it) or light copies, each
// holding one item line, its first, and followed by one blank line.
bool readCopies(const Pieces& run, bool objects, std::vector<Block>& copies, std::string& why) {
  for (std::size_t at = 0; at < run.size();) {
    if (!(objects ? isObjectPiece(run[at]) : isLightPiece(run[at]))) {
      why = "an inserted line begins no copy: \"" + excerpt(run[at]) + "\"";
      return false;
    }
    Block copy = readBlock(run, at, run.size());
    for (std::size_t i = at + 1; i < run.size() && (copy.last == kNoPiece || i <= copy.last); ++i) {
      if (isObjectPiece(run[i]) || isLightPiece(run[i]) || beginsWith(run[i], "ShowCamera")) {
        why = "a copy holds a second item line: \"" + excerpt(run[i]) + "\"";
        return false;
      }
    }
    if (copy.last == kNoPiece) {
      why = "a copy has no end line";
      return false;
    }
    copies.push_back(copy);
    at = copy.last + 1;
    if (objects && copies.size() == 1) continue;
    if (at == run.size() || !isBlank(run[at])) {
      why = "a copy is not followed by one blank line";
      return false;
    }
    ++at;
  }
  return true;
}

// Whether count pieces of a from aFirst on equal those of b from bFirst on.
bool matches(const Pieces& a, std::size_t aFirst, const Pieces& b, std::size_t bFirst, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (a[aFirst + i] != b[bFirst + i]) return false;
  }
  return true;
}

Pieces slice(const Pieces& pieces, std::size_t first, std::size_t end) {
  Pieces part;
  for (std::size_t at = first; at < end; ++at) part.push_back(pieces[at]);
  return part;
}

class BranchCheck {
 public:
  explicit BranchCheck(std::string_view original) : saved_(scenePieces(original)) {
    std::size_t settled = saved_.empty() ? 0 : saved_.size() - 1;
    for (std::size_t at = 0; at < settled; ++at) {
      if (isObjectPiece(saved_[at])) objects_.push_back(at);
      if (isObjectPiece(saved_[at]) || isLightPiece(saved_[at]))
        blocks_.push_back(readBlock(saved_, at, settled));
      if (firstLight_ == kNoPiece && isLightPiece(saved_[at])) firstLight_ = at;
      if (firstCamera_ == kNoPiece && beginsWith(saved_[at], "ShowCamera")) firstCamera_ = at;
    }
  }

  EditCheck run(std::string_view editedText) const {
    if (firstLight_ == kNoPiece || firstLight_ < 4 || firstCamera_ == kNoPiece || firstCamera_ == 0)
      return failure("the original has no anchors, yet a result was loaded");
    std::size_t objectAnchor = firstLight_ - 4;
    std::size_t lightAnchor = firstCamera_ - 1;
    std::size_t low = std::min(objectAnchor, lightAnchor);
    std::size_t high = std::max(objectAnchor, lightAnchor);
    Pieces edited = scenePieces(editedText);
    std::size_t after = saved_.size() - 1 - high;
    if (edited.size() < saved_.size() || !matches(saved_, 0, edited, 0, low + 1) ||
        !matches(saved_, high + 1, edited, edited.size() - after, after)) {
      return failure("the saved lines before the first anchor or after the last are not all kept");
    }
    Pieces middle = slice(edited, low + 1, edited.size() - after);
    Pieces between = slice(saved_, low + 1, high + 1);
    std::string why = "the saved lines between the anchors are not all kept";
    for (std::size_t split = 0; split + between.size() <= middle.size(); ++split) {
      if (!matches(between, 0, middle, split, between.size())) continue;
      Pieces first = slice(middle, 0, split);
      Pieces second = slice(middle, split + between.size(), middle.size());
      bool objectsFirst = objectAnchor <= lightAnchor;
      EditCheck check =
          runs(objectsFirst ? first : second, objectsFirst ? second : first, objectAnchor, lightAnchor);
      if (check.ok()) return check;
      why = check.why;
    }
    return failure(why);
  }

 private:
  static EditCheck failure(std::string why) {
    EditCheck check;
    check.why = std::move(why);
    return check;
  }

  // Whether a run inserted after the piece at anchor stands inside a block.
  bool insideABlock(std::size_t anchor) const {
    for (const Block& block : blocks_) {
      if (block.first <= anchor && (block.last == kNoPiece || anchor < block.last)) return true;
    }
    return false;
  }

  // Whether a copy names a copy of the parent of a saved block it copies.
  bool namesItsParentsCopy(const Pieces& run, const Block& copy, const Pieces& objectRun,
                           const std::vector<Block>& objectCopies, std::size_t numberBase) const {
    std::int64_t named = 0;
    if (copy.parent == kNoPiece || !parentValue(run[copy.parent], named)) return false;
    if (named <= static_cast<std::int64_t>(numberBase) ||
        named > static_cast<std::int64_t>(numberBase + objectCopies.size()))
      return false;
    const Block& parentCopy = objectCopies[static_cast<std::size_t>(named) - numberBase - 1];
    for (const Block& source : blocks_) {
      std::int64_t parent = 0;
      if (source.last == kNoPiece || source.parent == kNoPiece ||
          !sameBlock(saved_, source, run, copy, false) || !parentValue(saved_[source.parent], parent) ||
          parent < 1 || parent > static_cast<std::int64_t>(objects_.size()))
        continue;
      std::size_t parentLine = objects_[static_cast<std::size_t>(parent) - 1];
      for (const Block& parentBlock : blocks_) {
        if (parentBlock.first == parentLine && parentBlock.last != kNoPiece &&
            sameBlock(saved_, parentBlock, objectRun, parentCopy, &parentCopy == &objectCopies[0]))
          return true;
      }
    }
    return false;
  }

  EditCheck runs(const Pieces& objectRun, const Pieces& lightRun, std::size_t objectAnchor,
                 std::size_t lightAnchor) const {
    if (objectRun.empty()) return failure("no copy of the picked object was inserted");
    if (insideABlock(objectAnchor) || (!lightRun.empty() && insideABlock(lightAnchor)))
      return failure("copies stand inside a saved item's block");
    std::size_t numberBase = 0;
    for (std::size_t object : objects_) numberBase += object <= objectAnchor ? 1 : 0;
    for (std::size_t at = objectAnchor + 1; at < saved_.size(); ++at) {
      if (isObjectPiece(saved_[at])) return failure("a saved object after the object copies is renumbered");
    }
    std::vector<Block> objectCopies, lightCopies;
    std::string why;
    if (!readCopies(objectRun, true, objectCopies, why) || !readCopies(lightRun, false, lightCopies, why))
      return failure(why);
    bool rootIsACopy = false;
    for (const Block& block : blocks_) {
      rootIsACopy = rootIsACopy || (isObjectPiece(saved_[block.first]) && block.last != kNoPiece &&
                                    sameBlock(saved_, block, objectRun, objectCopies[0], true));
    }
    if (!rootIsACopy) return failure("the first copy is not an exact copy of an object's block");
    for (std::size_t i = 1; i < objectCopies.size(); ++i) {
      if (!namesItsParentsCopy(objectRun, objectCopies[i], objectRun, objectCopies, numberBase))
        return failure("object copy " + std::to_string(i + 1) + " does not name the copy of its parent");
    }
    for (std::size_t i = 0; i < lightCopies.size(); ++i) {
      if (!namesItsParentsCopy(lightRun, lightCopies[i], objectRun, objectCopies, numberBase))
        return failure("light copy " + std::to_string(i + 1) + " does not name the copy of its parent");
    }
    return EditCheck{};
  }

  Pieces saved_;
  std::vector<std::size_t> objects_;  // the saved object pieces, by number
  std::vector<Block> blocks_;         // every saved item's block
  std::size_t firstLight_ = kNoPiece;
  std::size_t firstCamera_ = kNoPiece;
};

}  // namespace

std::vector<std::string_view> scenePieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    std::size_t lf = text.substr(0, kPieceLength).find('\n');
    std::size_t length = lf == std::string_view::npos ? std::min(text.size(), kPieceLength) : lf + 1;
    pieces.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return pieces;
}

EditCheck checkCopiedBranch(std::string_view original, std::string_view edited) {
  return BranchCheck(original).run(edited);
}

EditCheck checkInsertionsOnly(std::string_view original, std::string_view edited) {
  if (original == edited) return EditCheck{};
  return Matcher(original, edited).run();
}

}  // namespace graftling::fuzzing
