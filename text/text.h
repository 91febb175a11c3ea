// text.h: the program's three value types and the operations on them.
//
// Every text the program handles is a byte string in code page 936: a byte of
// 0x80 or above starts a two-byte character together with the byte after it.
// Positions and counts are signed 32-bit integers, positions count bytes from
// 1, and no out-of-range argument is ever an error: each operation says what
// it yields instead.
//
//   pl::Text page = pl::Utf8ToCp936(body);
//   int at = pl::FindText(page, "<strong>");            // -1 when missing
//   pl::Text head = pl::TextLeft(page, at - 1);
//   pl::TextArray lines = pl::SplitText(page, "\r\n");
//   for (const pl::Text& line : lines) { ... }
//
// Narrow string literals in this project are code page 936 (the build passes
// -fexec-charset=CP936), so "没找到！" here is already the program's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pl {

// Storage for Text and Bytes: when memory for a value cannot be obtained the
// program stops through FatalError(0, "分配 %d 字节内存失败!", 0, 0) with the
// number of bytes asked for, rather than throwing.
template <class T>
struct FatalAllocator {
  using value_type = T;
  FatalAllocator() noexcept = default;
  template <class U>
  FatalAllocator(const FatalAllocator<U>&) noexcept {}
  T* allocate(std::size_t n);
  void deallocate(T* p, std::size_t) noexcept { ::operator delete(p); }
  friend bool operator==(const FatalAllocator&, const FatalAllocator&) { return true; }
};

using TextStorage = std::basic_string<char, std::char_traits<char>, FatalAllocator<char>>;
using ByteStorage = std::vector<std::uint8_t, FatalAllocator<std::uint8_t>>;

// A code page 936 string that never holds a zero byte: whatever is built from
// bytes with a zero in them ends just before the first zero. The empty and
// the absent text are one value.
class Text {
 public:
  Text() = default;
  Text(const char* s) : Text(s ? std::string_view(s) : std::string_view()) {}  // NOLINT: literals are texts
  Text(std::string_view bytes);                                                 // NOLINT
  Text(const std::string& bytes) : Text(std::string_view(bytes)) {}            // NOLINT

  // A text of n blanks handed to `fill` to be written in place, as a platform
  // function fills a buffer; the result ends at the first zero byte written.
  template <class Fill>
  static Text Filled(int n, Fill&& fill) {
    Text t;
    if (n <= 0) return t;
    t.s_.assign(static_cast<std::size_t>(n), ' ');
    fill(t.s_.data(), n);
    t.s_.resize(std::strlen(t.s_.c_str()));
    return t;
  }

  int size() const { return static_cast<int>(s_.size()); }
  bool empty() const { return s_.empty(); }
  // The address a platform function reads: null for the empty text.
  const char* CStrOrNull() const { return s_.empty() ? nullptr : s_.c_str(); }
  // Always a valid zero-ended string, "" for the empty text.
  const char* c_str() const { return s_.c_str(); }
  std::string_view view() const { return {s_.data(), s_.size()}; }
  std::string str() const { return std::string(s_.data(), s_.size()); }
  unsigned char operator[](int i) const { return static_cast<unsigned char>(s_[static_cast<std::size_t>(i)]); }

  // Appends in place (amortised); zero bytes in `more` end what is appended.
  Text& operator+=(const Text& more) {
    s_.append(more.s_);
    return *this;
  }

  friend bool operator==(const Text& a, const Text& b) { return a.s_ == b.s_; }

 private:
  TextStorage s_;
};

// A counted byte string; its bytes may include zeros. Empty and absent are one.
class Bytes {
 public:
  Bytes() = default;
  Bytes(std::string_view bytes) : b_(bytes.begin(), bytes.end()) {}  // NOLINT
  // n bytes from p; a null p or n <= 0 gives the empty value.
  Bytes(const std::uint8_t* p, int n) : b_(p, p + (p && n > 0 ? n : 0)) {}

  int size() const { return static_cast<int>(b_.size()); }
  bool empty() const { return b_.empty(); }
  // Null for the empty value, as a platform function expects.
  std::uint8_t* data() { return b_.empty() ? nullptr : b_.data(); }
  const std::uint8_t* data() const { return b_.empty() ? nullptr : b_.data(); }
  std::string_view view() const { return {reinterpret_cast<const char*>(b_.data()), b_.size()}; }
  // Appends in place, without copying what is already held.
  void Append(const std::uint8_t* p, int n) {
    if (p && n > 0) b_.insert(b_.end(), p, p + n);
  }
  void Append(const Bytes& more) {
    if (&more == this) {
      ByteStorage copy = more.b_;
      b_.insert(b_.end(), copy.begin(), copy.end());
    } else {
      b_.insert(b_.end(), more.b_.begin(), more.b_.end());
    }
  }

  friend bool operator==(const Bytes& a, const Bytes& b) { return a.b_ == b.b_; }
  friend Bytes BlankBytes(int n);

 private:
  ByteStorage b_;
};

// Where a TextArray item is read: each place in the program that reads an
// item by index passes its own pair, which FatalError shows when the index
// is out of range.
struct ErrorSpot {
  int routine;
  int place;
};

// An ordered list of texts numbered from 1, owning its items.
class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<Text> items) : items_(items) {}

  // Item i (from 1). Below 1: FatalError code 4; above the size: code 1.
  const Text& Item(int i, ErrorSpot spot) const;

  int size() const { return static_cast<int>(items_.size()); }
  void push_back(const Text& t) { items_.push_back(t); }
  std::vector<Text>::const_iterator begin() const { return items_.begin(); }
  std::vector<Text>::const_iterator end() const { return items_.end(); }
  friend bool operator==(const TextArray& a, const TextArray& b) { return a.items_ == b.items_; }

 private:
  std::vector<Text> items_;
};

// ---- Texts ----------------------------------------------------------------

int TextLength(const Text& t);
// The first n bytes; n <= 0: empty; n >= length: all of t.
Text TextLeft(const Text& t, int n);
// The last n bytes; n <= 0: empty; n >= length: all of t.
Text TextRight(const Text& t, int n);
// n bytes from position start; start < 1, start > length or n <= 0: empty.
Text TextMid(const Text& t, int start, int n);

// First occurrence of sub at or after start (omitted or < 1: 1), stepping by
// character; -1 when none. An empty sub gives 1 when the searched region is
// not empty. ignore_case: ASCII letters match either case.
int FindText(const Text& t, const Text& sub, std::optional<int> start = std::nullopt, bool ignore_case = false);
// Last occurrence of sub lying wholly before start (omitted: the whole text;
// <= 1: none counts); -1 when none.
int FindTextReverse(const Text& t, const Text& sub, std::optional<int> start = std::nullopt,
                    bool ignore_case = false);
// Every non-overlapping occurrence of sub replaced by replacement (empty:
// removed). Note the sense of the flag: respect_case true means the letters
// must match exactly.
Text ReplaceText(const Text& t, const Text& sub, const Text& replacement, bool respect_case);
Text ReplaceText(const Text& t, const Text& sub, bool respect_case);
Text ReplaceText(const Text& t, const Text& sub, const char* replacement) = delete;  // the flag is not optional

// Pieces between occurrences of the delimiter (exact case). Empty t: no items;
// empty delimiter: one item; a delimiter at the very end adds no empty item.
TextArray SplitText(const Text& t, const Text& delimiter);
// Without the blanks (0x20 and the full-width space A1 A1) at both ends.
Text TrimBoth(const Text& t);
Text ToLower(const Text& t);
Text ToUpper(const Text& t);
// The decimal number at the start of t: white space skipped, one sign, digits
// (full-width forms count), wrapping in 32 bits; no digits: 0.
int ToInt(const Text& t);
// The one-byte text holding byte c; 0 gives the empty text.
Text CharFromCode(int c);
// n spaces; n <= 0: empty.
Text BlankText(int n);
// -1, 0 or 1, bytes unsigned, a prefix being smaller.
int CompareText(const Text& a, const Text& b);

template <class... More>
Text Concat(const Text& first, const More&... more) {
  Text result = first;
  ((result += Text(more)), ...);
  return result;
}

// ---- Bytes ----------------------------------------------------------------

int BytesLength(const Bytes& b);
Bytes BytesLeft(const Bytes& b, int n);
// n zero bytes; n <= 0: empty.
Bytes BlankBytes(int n);
// 0 when equal; 1 when the lengths differ; else -1/1 by the first differing byte.
int CompareBytes(const Bytes& a, const Bytes& b);
Bytes ToBytes(const Text& t);
Bytes ToBytes(const Bytes& b);
Text ToText(const Text& t);

template <class... More>
Bytes ConcatBytes(const Bytes& first, const More&... more) {
  Bytes result = first;
  (result.Append(more), ...);
  return result;
}

template <class... More>
int BitOr(int x, int y, More... more) {
  return ((x | y) | ... | static_cast<int>(more));
}

// ---- Arrays ---------------------------------------------------------------

int ArraySize(const TextArray& a);
void ArrayAppend(TextArray& a, const Text& t);

// ---- Fatal stop -----------------------------------------------------------

// The box text: "运行时出错!" CR LF, then the code, the message and the
// routine/place lines as the program shows them.
Text FatalErrorText(int code, const Text& message, int routine, int place);

// Shows FatalErrorText through the installed message box (standard error,
// readable on a terminal, when no window back end installed one) and ends the
// process with exit code -1.
[[noreturn]] void FatalError(int code, const Text& message, int routine, int place);

// The window back end installs its message box here at start-up; it is
// handed the box text in code page 936 and the caption "错误".
using MessageBoxFn = void (*)(const Text& text, const Text& caption);
void SetFatalMessageBox(MessageBoxFn show);

// Stops the program because `bytes` bytes of storage could not be obtained.
[[noreturn]] void FatalOutOfMemory(std::size_t bytes);

template <class T>
T* FatalAllocator<T>::allocate(std::size_t n) {
  // A count whose byte size does not fit in size_t cannot be obtained either.
  if (n > static_cast<std::size_t>(-1) / sizeof(T)) FatalOutOfMemory(static_cast<std::size_t>(-1));
  void* p = ::operator new(n * sizeof(T), std::nothrow);
  if (!p) FatalOutOfMemory(n * sizeof(T));
  return static_cast<T*>(p);
}

// ---- Extraction between markers -------------------------------------------

// What stands between the first left marker at or after start and the next
// right marker after it; empty when either is missing. "#引号" in a marker
// stands for a double quote.
Text TextBetween(const Text& text, const Text& left, const Text& right, int start = 0, bool ignore_case = false);
// The part before the delimiter: searched forwards from start (0 means 1), or
// backwards from the end for a negative start; empty when not found.
Text TextBefore(const Text& text, const Text& delimiter, int start = 0, bool ignore_case = false);

// ---- Code pages -----------------------------------------------------------

// UTF-8 bytes to a code page 936 text. Empty input: empty text, no conversion
// call; a zero byte ends the result; a byte order mark is converted like any
// other character. Characters code page 936 lacks come out as "?" for each
// of their UTF-16 units (so "??" beyond U+FFFF), and each invalid sequence
// (its longest valid beginning, or one stray byte) as one "?".
Text Utf8ToCp936(const Bytes& utf8);

// A code page 936 text as UTF-8, for a terminal or a user interface that
// speaks UTF-8. Bytes that do not form a code page 936 character (a lone
// lead byte, 0xFF, a lead byte with an unfit second byte) each come out as
// "?"; the euro sign 0x80 becomes U+20AC.
std::string Cp936ToUtf8(const Text& text);

}  // namespace pl
