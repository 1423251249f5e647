#pragma once
// The library's text type. Text is held as UTF-8; lengths, positions and the
// hash that identifiers are made from count UTF-16 code units, as the
// desktop hosts that read our results always did.

#include <compare>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace batchplant {

class CString;

namespace detail {
// Turns a Format argument into something printf understands. Text arguments
// become UTF-8 `const char*`; everything else passes through unchanged.
template <typename T> decltype(auto) formatArg(const T& v)
{
    if constexpr (std::is_same_v<T, CString>) {
        return v.c_str();
    } else if constexpr (std::is_same_v<T, std::string>) {
        return v.c_str();
    } else {
        return v;
    }
}
std::string vformat(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
} // namespace detail

// Text held as UTF-8, measured and indexed in UTF-16 code units.
class CString {
public:
    CString() = default;
    CString(const char* utf8) : text_(utf8 ? utf8 : "") {}
    CString(std::string utf8) : text_(std::move(utf8)) {}
    CString(std::string_view utf8) : text_(utf8) {}
    CString(const char* utf8, std::size_t bytes) : text_(utf8 ? std::string(utf8, bytes) : std::string()) {}
    CString(char16_t unit) : CString(std::u16string_view(&unit, 1)) {}
    explicit CString(std::u16string_view utf16);

    static CString FromUtf16(std::u16string_view utf16) { return CString(utf16); }

    // UTF-8 access for I/O, SQLite and printf.
    const std::string& str() const noexcept { return text_; }
    const char* c_str() const noexcept { return text_.c_str(); }
    std::u16string ToUtf16() const;

    // Length in UTF-16 code units.
    int GetLength() const noexcept;
    bool IsEmpty() const noexcept { return text_.empty(); }
    // Replaces the text with `bytes` bytes of UTF-8 at `utf8`, reusing the
    // storage already held (row readers call this once per column and row).
    void SetString(const char* utf8, std::size_t bytes)
    {
        if (utf8)
            text_.assign(utf8, bytes);
        else
            text_.clear();
    }
    void Empty() noexcept { text_.clear(); }

    // UTF-16 code unit at a position; 0 for a position outside the text.
    char16_t GetAt(int i) const;

    // printf-style formatting; CString and std::string arguments may be passed
    // for %s directly.
    template <typename... A> void Format(const char* fmt, const A&... args)
    {
        text_ = formatImpl(fmt, detail::formatArg(args)...);
    }
    template <typename... A> void AppendFormat(const char* fmt, const A&... args)
    {
        text_ += formatImpl(fmt, detail::formatArg(args)...);
    }
    template <typename... A> static CString Formatted(const char* fmt, const A&... args)
    {
        return CString(formatImpl(fmt, detail::formatArg(args)...));
    }

    CString& operator+=(const CString& o)
    {
        text_ += o.text_;
        return *this;
    }
    CString& operator+=(const char* o)
    {
        if (o) text_ += o;
        return *this;
    }
    CString& operator+=(char c)
    {
        text_ += c;
        return *this;
    }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, const char* b) { return a += b; }
    friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }

    friend bool operator==(const CString& a, const CString& b) noexcept { return a.text_ == b.text_; }
    friend std::strong_ordering operator<=>(const CString& a, const CString& b) noexcept
    {
        return a.text_.compare(b.text_) <=> 0;
    }
    friend bool operator==(const CString& a, const char* b) noexcept { return a.text_ == (b ? b : ""); }

    // <0, 0, >0 like strcmp; CompareNoCase folds ASCII letters only.
    int Compare(const CString& o) const noexcept;
    int CompareNoCase(const CString& o) const noexcept;
    // The same against UTF-8 text (null as empty), without building a CString:
    // loaders compare names of every row with constants.
    int CompareNoCase(const char* o) const noexcept;

    // Position (UTF-16 units) of the first occurrence at or after start, or -1.
    int Find(const CString& sub, int start = 0) const;
    int Find(char16_t unit, int start = 0) const { return Find(CString(unit), start); }

    // Substrings by UTF-16 positions; out-of-range counts are clamped.
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& Trim();

private:
    template <typename... A> static std::string formatImpl(const char* fmt, A... args)
    {
        if (!fmt) return {};
        if constexpr (sizeof...(A) == 0) {
            return detail::vformat("%s", fmt);
        } else {
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif
            const int n = std::snprintf(nullptr, 0, fmt, args...);
            if (n <= 0) return {};
            std::string out(static_cast<std::size_t>(n) + 1, '\0');
            std::snprintf(out.data(), out.size(), fmt, args...);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
            out.resize(static_cast<std::size_t>(n));
            return out;
        }
    }

    // Byte offset of a UTF-16 position (clamped to the text).
    std::size_t byteOffset(int utf16Pos) const;

    std::string text_;
};

// MFC's HashKey of a wide string: hash = hash * 33 + code unit over the
// UTF-16 code units, modulo 2^32.
unsigned int HashKey(const CString& s) noexcept;

} // namespace batchplant

// Hashes the UTF-8 bytes, for the standard unordered containers.
template <> struct std::hash<batchplant::CString> {
    std::size_t operator()(const batchplant::CString& s) const noexcept { return std::hash<std::string>()(s.str()); }
};
