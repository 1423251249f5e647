#include "batchplant/platform/CString.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace batchplant {

namespace detail {
std::string vformat(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, ap2);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(ap2);
    return out;
}
} // namespace detail

namespace {

// Decodes one code point at i (advancing i). Malformed bytes decode as
// U+FFFD so that no input text can make the walk leave the buffer.
char32_t decodeUtf8(const std::string& s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size()) return 0xFFFD;
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (b & 0x3F);
        ++i;
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

void encodeUtf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isAscii(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

CString::CString(std::u16string_view utf16)
{
    text_.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD; // unpaired surrogate
        }
        encodeUtf8(cp, text_);
    }
}

std::u16string CString::ToUtf16() const
{
    std::u16string out;
    out.reserve(text_.size());
    for (std::size_t i = 0; i < text_.size();) {
        const char32_t cp = decodeUtf8(text_, i);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

int CString::GetLength() const noexcept
{
    int n = 0;
    for (std::size_t i = 0; i < text_.size();) {
        const auto b = static_cast<unsigned char>(text_[i]);
        if (b < 0x80) {
            ++i;
            ++n;
            continue;
        }
        const char32_t cp = decodeUtf8(text_, i);
        n += cp >= 0x10000 ? 2 : 1;
    }
    return n;
}

char16_t CString::GetAt(int i) const
{
    if (i < 0) return 0;
    if (isAscii(text_)) return static_cast<std::size_t>(i) < text_.size() ? static_cast<char16_t>(text_[i]) : 0;
    const std::u16string u = ToUtf16();
    return static_cast<std::size_t>(i) < u.size() ? u[i] : 0;
}

std::size_t CString::byteOffset(int utf16Pos) const
{
    if (utf16Pos <= 0) return 0;
    int n = 0;
    std::size_t i = 0;
    while (i < text_.size() && n < utf16Pos) {
        const char32_t cp = decodeUtf8(text_, i);
        n += cp >= 0x10000 ? 2 : 1;
    }
    return i;
}

int CString::Compare(const CString& o) const noexcept
{
    const int c = text_.compare(o.text_);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

namespace {
int compareNoCase(std::string_view x, std::string_view y) noexcept
{
    const std::size_t n = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(asciiUpper(x[i]));
        const auto b = static_cast<unsigned char>(asciiUpper(y[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (x.size() == y.size()) return 0;
    return x.size() < y.size() ? -1 : 1;
}
} // namespace

int CString::CompareNoCase(const CString& o) const noexcept { return compareNoCase(text_, o.text_); }

int CString::CompareNoCase(const char* o) const noexcept { return compareNoCase(text_, o ? o : ""); }

int CString::Find(const CString& sub, int start) const
{
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    const std::size_t from = byteOffset(start);
    const std::size_t at = text_.find(sub.text_, from);
    if (at == std::string::npos) return -1;
    return CString(text_.substr(0, at)).GetLength();
}

CString CString::Left(int count) const { return CString(text_.substr(0, byteOffset(count))); }

CString CString::Mid(int first) const { return CString(text_.substr(byteOffset(first))); }

CString CString::Mid(int first, int count) const
{
    if (count <= 0) return {};
    const std::size_t a = byteOffset(first);
    const std::size_t b = byteOffset(std::max(first, 0) + count);
    return CString(text_.substr(a, b - a));
}

CString CString::Right(int count) const
{
    const int len = GetLength();
    if (count >= len) return *this;
    return Mid(len - std::max(count, 0));
}

CString& CString::MakeUpper()
{
    std::transform(text_.begin(), text_.end(), text_.begin(), asciiUpper);
    return *this;
}

CString& CString::MakeLower()
{
    std::transform(text_.begin(), text_.end(), text_.begin(), asciiLower);
    return *this;
}

CString& CString::Trim()
{
    const auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    std::size_t b = 0, e = text_.size();
    while (b < e && ws(text_[b]))
        ++b;
    while (e > b && ws(text_[e - 1]))
        --e;
    text_ = text_.substr(b, e - b);
    return *this;
}

unsigned int HashKey(const CString& s) noexcept
{
    unsigned int h = 0;
    for (char16_t u : s.ToUtf16())
        h = h * 33u + u;
    return h;
}

} // namespace batchplant
