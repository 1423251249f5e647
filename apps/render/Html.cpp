#include "Html.h"

#include <cmath>
#include <cstdio>

#include "batchplant/model/Vessel.h"

namespace batchplant::cli {

std::string XmlEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // Control characters other than tab, newline and return are not
            // allowed in XML 1.0 at all.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                out += ' ';
            else
                out += c;
        }
    }
    return out;
}

std::string FormatNumber(double value, int digits)
{
    if (!std::isfinite(value)) return "0";
    if (value == 0.0) return "0"; // also folds -0
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    return buffer;
}

std::string HexColour(int rgb)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%06X", static_cast<unsigned>(rgb) & 0xFFFFFFu);
    return buffer;
}

int BatchColour(long batch)
{
    if (batch <= 0) return 0x909090;
    const auto& c = kBatchPalette[(batch - 1) % 9];
    return (c[0] << 16) | (c[1] << 8) | c[2];
}

int Lighten(int rgb, double amount)
{
    if (!(amount >= 0.0)) amount = 0.0;
    if (amount > 1.0) amount = 1.0;
    auto mix = [amount](int channel) { return static_cast<int>(std::lround(channel + (255 - channel) * amount)); };
    return (mix((rgb >> 16) & 0xFF) << 16) | (mix((rgb >> 8) & 0xFF) << 8) | mix(rgb & 0xFF);
}

std::string FormatRunTime(const COleDateTime& start, long seconds)
{
    if (start.GetStatus() != COleDateTime::valid) return "+" + std::to_string(seconds) + "s";
    COleDateTime t;
    t.m_dt = start.m_dt + static_cast<double>(seconds) / 86400.0;
    t.m_status = COleDateTime::valid;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d", t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(),
                  t.GetMinute());
    return buffer;
}

} // namespace batchplant::cli
