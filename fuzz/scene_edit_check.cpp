#include "fuzz/scene_edit_check.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

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

EditCheck checkInsertionsOnly(std::string_view original, std::string_view edited) {
  if (original == edited) return EditCheck{};
  return Matcher(original, edited).run();
}

}  // namespace graftling::fuzzing
