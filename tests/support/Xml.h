// A strict little XML parser for the pages and drawings the commands write,
// shared by the command tests.

#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace batchplant::test {

// A parsed XML element: name, attributes, direct text and children.
struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::vector<Element> children;
};

// A strict little XML parser: one root, matching tags, quoted and unique
// attributes, known entities only. Throws std::runtime_error on the first
// fault.
class XmlParser {
public:
    explicit XmlParser(std::string text) : s(std::move(text)) {}

    Element parseDocument()
    {
        skipProlog();
        if (!peek("<")) fail("no root element");
        Element root = parseElement();
        skipMisc();
        if (pos != s.size()) fail("content after the root element");
        return root;
    }

private:
    std::string s;
    size_t pos = 0;

    [[noreturn]] void fail(const std::string& why) const
    {
        throw std::runtime_error(why + " at offset " + std::to_string(pos) + ": \"" + s.substr(pos, 40) + "\"");
    }
    bool peek(const char* t) const { return s.compare(pos, std::char_traits<char>::length(t), t) == 0; }
    void skipSpace()
    {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])))
            ++pos;
    }
    void skipPast(const char* end)
    {
        const size_t at = s.find(end, pos);
        if (at == std::string::npos) fail(std::string("unterminated, no ") + end);
        pos = at + std::char_traits<char>::length(end);
    }
    void skipMisc()
    {
        for (;;) {
            skipSpace();
            if (peek("<!--"))
                skipPast("-->");
            else if (peek("<?"))
                skipPast("?>");
            else
                return;
        }
    }
    void skipProlog()
    {
        skipMisc();
        if (peek("<!DOCTYPE")) skipPast(">");
        skipMisc();
    }
    std::string parseName()
    {
        const size_t start = pos;
        while (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])) || s[pos] == '-' || s[pos] == '_' ||
                                  s[pos] == ':' || s[pos] == '.'))
            ++pos;
        if (pos == start) fail("expected a name");
        return s.substr(start, pos - start);
    }
    std::string decode(const std::string& raw)
    {
        std::string out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<') fail("raw < in text or attribute");
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const size_t semi = raw.find(';', i);
            if (semi == std::string::npos) fail("unterminated entity");
            const std::string entity = raw.substr(i + 1, semi - i - 1);
            if (entity == "amp")
                out += '&';
            else if (entity == "lt")
                out += '<';
            else if (entity == "gt")
                out += '>';
            else if (entity == "quot")
                out += '"';
            else if (entity == "apos")
                out += '\'';
            else if (entity.size() > 1 && entity[0] == '#') {
                // A character reference; only ASCII ones are decoded, others stand as '?'.
                const bool isHex = entity[1] == 'x';
                const long code = std::strtol(entity.c_str() + (isHex ? 2 : 1), nullptr, isHex ? 16 : 10);
                out += code > 0 && code < 128 ? static_cast<char>(code) : '?';
            } else
                fail("unknown entity &" + entity + ";");
            i = semi;
        }
        return out;
    }
    Element parseElement()
    {
        ++pos; // '<'
        Element e;
        e.name = parseName();
        for (;;) {
            skipSpace();
            if (peek("/>")) {
                pos += 2;
                return e;
            }
            if (peek(">")) {
                ++pos;
                break;
            }
            const std::string attr = parseName();
            skipSpace();
            if (!peek("=")) fail("attribute without value");
            ++pos;
            skipSpace();
            if (pos >= s.size() || (s[pos] != '"' && s[pos] != '\'')) fail("unquoted attribute");
            const char quote = s[pos++];
            const size_t end = s.find(quote, pos);
            if (end == std::string::npos) fail("unterminated attribute");
            if (e.attributes.count(attr)) fail("repeated attribute " + attr);
            e.attributes[attr] = decode(s.substr(pos, end - pos));
            pos = end + 1;
        }
        for (;;) {
            const size_t lt = s.find('<', pos);
            if (lt == std::string::npos) fail("unterminated element " + e.name);
            e.text += decode(s.substr(pos, lt - pos));
            pos = lt;
            if (peek("</")) {
                pos += 2;
                if (parseName() != e.name) fail("mismatched end tag for " + e.name);
                skipSpace();
                if (!peek(">")) fail("bad end tag");
                ++pos;
                return e;
            }
            if (peek("<!--")) {
                skipPast("-->");
                continue;
            }
            e.children.push_back(parseElement());
        }
    }
};

// Every element named `name` (and of class `cls` when given), in document order.
inline void collect(const Element& e, const std::string& name, const std::string& cls, std::vector<const Element*>& out)
{
    if (e.name == name) {
        auto it = e.attributes.find("class");
        if (cls.empty() || (it != e.attributes.end() && it->second == cls)) out.push_back(&e);
    }
    for (const Element& child : e.children)
        collect(child, name, cls, out);
}

inline std::vector<const Element*> find(const Element& root, const std::string& name, const std::string& cls = "")
{
    std::vector<const Element*> out;
    collect(root, name, cls, out);
    return out;
}

// "" when `text` parses, else what is wrong.
inline std::string xmlProblem(const std::string& text)
{
    try {
        XmlParser(text).parseDocument();
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

} // namespace batchplant::test
