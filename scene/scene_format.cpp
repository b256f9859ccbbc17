#include "scene/scene_format.h"

#include <algorithm>
#include <iterator>

#include "scene/format1_reader.h"
#include "scene/format3_reader.h"

namespace graftling {

namespace {

// The formats graftling edits, each with its reader, in order.
const SceneReader* const kEditedFormats[] = {
    &format1Reader(),        &format2Reader(),        &format3Reader(),        &format3FamilyReader(4),
    &format3FamilyReader(5), &format3FamilyReader(6), &format3FamilyReader(7), &format3FamilyReader(8)};

// The number a format name holds, or -1 when it holds none.
std::int64_t formatNumber(std::string_view formatName) {
  if (formatName.empty() || formatName.size() > 9) return -1;
  std::int64_t number = 0;
  for (char c : formatName) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

std::string_view withoutLineEnd(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

std::string_view lineEndOf(std::string_view text) { return text.substr(withoutLineEnd(text).size()); }

std::string formatNameOf(std::string_view secondLine) {
  std::string_view name = withoutLineEnd(secondLine);
  return formatNumber(name) >= 0 ? std::string(name) : std::string("unknown");
}

std::string formatNameOf(const SceneLines& list) {
  if (list.head == nullptr || list.head->next == nullptr) return "unknown";
  return formatNameOf(list.head->next->text.view());
}

const SceneReader* readerFor(std::string_view formatName) {
  std::int64_t number = formatNumber(formatName);
  for (const SceneReader* reader : kEditedFormats) {
    if (reader->format() == number) return reader;
  }
  return nullptr;
}

const SceneReader& nearestReader(std::string_view formatName) {
  if (const SceneReader* reader = readerFor(formatName)) return *reader;
  // Later formats keep the layout of the latest; anything else is read as format 1.
  if (formatNumber(formatName) > 3) return format3FamilyReader(kLatestFormat);
  return format1Reader();
}

std::string editedFormatsText() {
  std::string text;
  std::size_t count = std::size(kEditedFormats);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += i + 1 == count ? " and " : ", ";
    text += std::to_string(kEditedFormats[i]->format());
  }
  return text;
}

bool beginsWithWord(std::string_view text, std::string_view keyword) {
  if (text.substr(0, keyword.size()) != keyword) return false;
  if (text.size() == keyword.size()) return true;
  char after = text[keyword.size()];
  return after == ' ' || after == '\t' || after == '\r' || after == '\n';
}

std::string referenceValue(Notation notation, std::int32_t index, std::uint32_t identifier) {
  if (notation == Notation::ObjectNumber) return std::to_string(std::int64_t{index} + 1);
  return identifierText(identifier);
}

std::string identifierText(std::uint32_t identifier) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (std::size_t digit = 8; digit-- > 0; identifier >>= 4) text[digit] = kDigits[identifier & 15];
  return text;
}

}  // namespace graftling
