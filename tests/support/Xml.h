// A strict little XML reader for the pages and drawings the commands write:
// one root, matching tags, quoted unique attributes, known entities only.

#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace batchplant::test {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text; // the direct text, decoded
    std::vector<Element> children;
};

// Throws std::runtime_error at the first fault.
inline Element ParseXml(const std::string& s)
{
    std::size_t pos = 0;
    auto fail = [&](const std::string& why) { throw std::runtime_error(why + " at offset " + std::to_string(pos)); };
    auto decode = [&](const std::string& raw) {
        static const std::map<std::string, char> named = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        std::string out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<') fail("raw < in text or attribute");
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const std::size_t semi = raw.find(';', i);
            if (semi == std::string::npos) fail("unterminated entity");
            const std::string e = raw.substr(i + 1, semi - i - 1);
            if (named.count(e))
                out += named.at(e);
            else if (e.size() > 1 && e[0] == '#') { // only ASCII references decoded, others stand as '?'
                const long code = std::strtol(e.c_str() + (e[1] == 'x' ? 2 : 1), nullptr, e[1] == 'x' ? 16 : 10);
                out += code > 0 && code < 128 ? static_cast<char>(code) : '?';
            } else
                fail("unknown entity &" + e + ";");
            i = semi;
        }
        return out;
    };
    auto space = [&] {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])))
            ++pos;
    };
    auto name = [&] {
        const std::size_t start = pos;
        while (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])) || std::strchr("-_:.", s[pos])))
            ++pos;
        if (pos == start) fail("expected a name");
        return s.substr(start, pos - start);
    };
    using Skip = std::pair<const char*, const char*>;
    std::vector<Element> open(1); // the document, then the elements not yet closed
    for (;;) {
        const std::size_t lt = s.find('<', pos);
        const std::string text = s.substr(pos, lt - pos);
        if (open.size() == 1 && text.find_first_not_of(" \t\r\n") != std::string::npos) fail("text outside the root");
        open.back().text += decode(text);
        if (lt == std::string::npos) break;
        pos = lt;
        for (const auto& [start, end] : {Skip{"<!--", "-->"}, Skip{"<?", "?>"}, Skip{"<!DOCTYPE", ">"}})
            if (s.compare(pos, std::strlen(start), start) == 0) {
                if (s.find(end, pos) == std::string::npos) fail(std::string("unterminated, no ") + end);
                pos = s.find(end, pos) + std::strlen(end);
                break;
            }
        if (pos != lt) continue;
        const bool closing = s.compare(++pos, 1, "/") == 0;
        pos += closing;
        Element e{name(), {}, {}, {}};
        for (space(); !closing && pos < s.size() && s[pos] != '>' && s[pos] != '/'; space()) {
            const std::string attribute = name();
            space();
            if (s.compare(pos, 1, "=") != 0) fail("attribute without value");
            ++pos;
            space();
            const std::size_t end = pos < s.size() && (s[pos] == '"' || s[pos] == '\'') ? s.find(s[pos], pos + 1) : pos;
            if (end == pos || end == std::string::npos) fail("unquoted or unterminated attribute");
            if (!e.attributes.emplace(attribute, decode(s.substr(pos + 1, end - pos - 1))).second)
                fail("repeated attribute " + attribute);
            pos = end + 1;
        }
        const bool empty = !closing && s.compare(pos, 2, "/>") == 0;
        if (!empty && s.compare(pos, 1, ">") != 0) fail("bad tag");
        pos += empty ? 2 : 1;
        if (closing) {
            if (open.size() < 2 || open.back().name != e.name) fail("mismatched end tag " + e.name);
            e = std::move(open.back());
            open.pop_back();
        }
        if (closing || empty)
            open.back().children.push_back(std::move(e));
        else
            open.push_back(std::move(e));
    }
    if (open.size() != 1) fail("unterminated element " + open.back().name);
    if (open[0].children.size() != 1) fail("not one root element");
    return std::move(open[0].children[0]);
}

// Every element named `name` (and of class `cls` when given), in document order.
inline void collect(const Element& e, const std::string& name, const std::string& cls, std::vector<const Element*>& out)
{
    const auto it = e.attributes.find("class");
    if (e.name == name && (cls.empty() || (it != e.attributes.end() && it->second == cls))) out.push_back(&e);
    for (const Element& child : e.children)
        collect(child, name, cls, out);
}

inline std::vector<const Element*> find(const Element& root, const std::string& name, const std::string& cls = "")
{
    std::vector<const Element*> out;
    collect(root, name, cls, out);
    return out;
}

} // namespace batchplant::test
