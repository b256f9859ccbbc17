#include "fuzz/scene_edit_check.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace graftling::fuzzing {

namespace {

constexpr std::size_t kPieceLength = 255;
constexpr std::string_view kReferenceKeywords[] = {"TargetObject", "GoalObject", "MorphTarget"};

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
      // A rewrite keeps a line's text up to its first space, whatever stands there.
      std::size_t space = piece.find(' ');
      if (space != std::string_view::npos && (beginsWith(piece, "ParentObject") || !referenceKeyword(piece).empty()))
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

  // Pushes every inserted piece that may stand at state.at.
  void pushInsertions(const State& state, std::vector<State>& stack) const {
    std::string_view rest = edited_.substr(state.at);
    auto push = [&](std::string_view piece) {
      stack.push_back(State{state.at + piece.size(), state.matched, state.itemInRun || isItemLine(piece)});
    };
    std::size_t lf = rest.find('\n');
    if (lf != std::string_view::npos && lf < kPieceLength) {
      std::string_view line = rest.substr(0, lf + 1);
      if (isBlank(line) || copies_.count(line) != 0 || (state.itemInRun && isNewValueLine(line))) push(line);
    }
    if (rest.size() >= kPieceLength && (lf == std::string_view::npos || lf >= kPieceLength)) {
      std::string_view full = rest.substr(0, kPieceLength);
      if (copies_.count(full) != 0) push(full);
    }
    if (!lastPiece_.empty() && lastPiece_.size() < kPieceLength && beginsWith(rest, lastPiece_))
      push(lastPiece_);
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

  std::string_view edited_;
  std::vector<std::string_view> pieces_;
  std::string_view lastPiece_;
  std::unordered_set<std::string_view> copies_;
  std::unordered_set<std::string_view> valueKeeps_;
};

using Pieces = std::vector<std::string_view>;
constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);

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
  explicit BranchCheck(std::string_view original) : saved_(scenePieces(original)) {
    if (!saved_.empty() && saved_[0].size() >= 2 && saved_[0].substr(saved_[0].size() - 2) == "\r\n")
      lineEnd_ = "\r\n";
    // The second line without its line end, when it is 1 to 9 digits.
    std::string_view format = saved_.size() > 1 ? saved_[1] : "";
    if (!format.empty() && format.back() == '\n') format.remove_suffix(1);
    if (!format.empty() && format.back() == '\r' && saved_[1].back() == '\n') format.remove_suffix(1);
    if (!format.empty() && format.size() <= 9 &&
        std::all_of(format.begin(), format.end(), [](char c) { return c >= '0' && c <= '9'; }))
      for (char digit : format) format_ = format_ * 10 + (digit - '0');
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
                     "\" is neither 1 nor 2, yet a result was loaded");
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
                     where(edited));
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
    std::string why = "the saved lines between the anchors are not all kept" + where(edited);
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
  static EditCheck failure(std::string why) {
    EditCheck check;
    check.why = std::move(why);
    return check;
  }

  // Where edited departs from the saved text, from its start and from its end.
  std::string where(const Pieces& edited) const {
    std::size_t common = std::min(saved_.size(), edited.size());
    std::size_t head = 0, tail = 0;
    while (head < common && saved_[head] == edited[head]) ++head;
    while (head + tail < common && saved_[saved_.size() - 1 - tail] == edited[edited.size() - 1 - tail])
      ++tail;
    return ": the edit stands between saved lines " + std::to_string(head) + " and " +
           std::to_string(saved_.size() - tail + 1) + ", the anchors are saved lines " +
           std::to_string(objectAnchor_ + 1) + " (objects) and " + std::to_string(lightAnchor_ + 1) +
           " (lights)";
  }

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

  static std::string copyName(bool objects, std::size_t index) {
    return (objects ? "object copy " : "light copy ") + std::to_string(index + 1);
  }

  // Whether a copy holds source's lines, save its parent line (when
  // newParent) and reference lines, which may name a copy instead.
  bool sameShape(const Block& source, const Pieces& pieces, const Block& copy, bool newParent) const {
    if (copy.last - copy.first != source.last - source.first) return false;
    for (std::size_t i = 0; i <= source.last - source.first; ++i) {
      std::string_view line = pieces[copy.first + i];
      std::string_view saved = saved_[source.first + i];
      if (line == saved) continue;
      if (newParent && source.first + i == source.parent && rewrittenValue(line, saved, lineEnd_) > 0) continue;
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
  std::string lineEnd_ = "\n";             // of new lines: the first line's
  int format_ = 0;                         // 0 when the second line is no format
  std::vector<Block> blocks_;              // every saved item's block, in order
  std::vector<std::size_t> objectBlocks_;  // the saved objects' blocks, by number
  std::unordered_map<std::string_view, std::vector<std::size_t>> blocksByLine_;  // by item line
  std::size_t objectAnchor_ = kNoPiece;
  std::size_t lightAnchor_ = kNoPiece;
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
