#include "standin/shown_names.h"

#include <cstdint>

namespace graftling::standin {

namespace {

// The code points of Windows-1252's bytes 0x80 to 0x9F; 0 where it has none.
constexpr std::uint16_t kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                             0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

bool isUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || text.size() - at < length) return false;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    at += length;
  }
  return true;
}

std::string utf8FromWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    std::uint32_t code = byte;
    if (byte >= 0x80 && byte < 0xA0)
      code = kHighControls[byte - 0x80] != 0 ? kHighControls[byte - 0x80] : 0xFFFD;
    appendUtf8(out, code);
  }
  return out;
}

std::string shownText(std::string_view text) {
  return isUtf8(text) ? std::string(text) : utf8FromWindows1252(text);
}

}  // namespace graftling::standin
