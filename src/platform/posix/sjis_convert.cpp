// Shift_JIS <-> UTF-8 on iconv's CP932 tables.
#include <cerrno>
#include <iconv.h>

#include "platform/sjis.h"

namespace quorvel::sjis {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts the whole input; calls onBad(position) for an invalid or
  // unconvertible sequence, which returns how many input bytes to skip
  // (0 aborts the conversion with failure).
  template <typename OnBad>
  bool Run(std::string_view in, std::string& out, OnBad onBad) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::size_t pos = 0;
    char buf[1024];
    while (pos < in.size()) {
      char* src = const_cast<char*>(in.data() + pos);
      std::size_t srcLeft = in.size() - pos;
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      pos = in.size() - srcLeft;
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        std::size_t skip = onBad(pos, out);
        if (skip == 0) return false;
        pos += skip;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string ToUtf8(std::string_view text) {
  std::string out;
  Converter c("UTF-8", "CP932");
  c.Run(text, out, [&](std::size_t pos, std::string& o) -> std::size_t {
    o += "\xEF\xBF\xBD";
    unsigned char b = static_cast<unsigned char>(text[pos]);
    return (IsLeadByte(b) && pos + 1 < text.size()) ? 2 : 1;
  });
  return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  std::string out;
  Converter c("CP932", "UTF-8");
  if (!c.Run(utf8, out, [](std::size_t, std::string&) -> std::size_t { return 0; }))
    return std::nullopt;
  return out;
}

std::string FromUtf8Lossy(std::string_view utf8) {
  std::string out;
  Converter c("CP932", "UTF-8");
  c.Run(utf8, out, [&](std::size_t pos, std::string&) -> std::size_t {
    return Utf8SequenceLength(utf8, pos);
  });
  return out;
}

}  // namespace quorvel::sjis
