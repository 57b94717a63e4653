#include "cli/CliOptions.h"

#include "engine/OutputFormat.h"
#include "engine/OverlayOptionsText.h"
#include "engine/TextHelpers.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace {

constexpr const char* kAnchorNames[9] = {"top-left",    "top",    "top-right",
                                         "left",        "center", "right",
                                         "bottom-left", "bottom", "bottom-right"};

// One side of a size: digits, and for percent one '.', or nothing at all.
std::optional<std::int32_t> ParseSide(std::string side, bool percent) {
    if (percent)
        side.pop_back();
    const bool plain = std::all_of(side.begin(), side.end(), [&](char c) {
        return (c >= '0' && c <= '9') || (percent && c == '.');
    });
    if (!plain || std::count(side.begin(), side.end(), '.') > 1)
        return std::nullopt;
    std::string normal;
    if (percent)
        NormalizePercentText(side, normal);
    else
        NormalizePixelText(side, normal);
    // As in the dialog, "0.5%" stores 0; but where the dialog stores 0 for a number beyond
    // 32 bits, that is refused here.
    const std::int32_t value = SizeFieldValue(normal);
    const std::size_t digits = normal.find_first_not_of("0123456789");
    if (value == 0 && normal.find_first_not_of('0') < digits)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::uint64_t> ParseByteSize(const std::string& text) {
    // Read alike in every locale (std::stod took a German "1,5G" and refused "1.5G" there) and
    // in decimal only (it read "0x10M" as 16 MiB).
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || !(number > 0))
        return std::nullopt;
    const auto used = std::size_t(end - text.data());
    std::string unit = QString::fromStdString(text.substr(used)).toUpper().toStdString();
    for (const char* suffix : {"IB", "B"})
        if (unit.size() > 1 && unit.size() >= std::strlen(suffix) &&
            unit.compare(unit.size() - std::strlen(suffix), std::string::npos, suffix) == 0) {
            unit.resize(unit.size() - std::strlen(suffix));
            break;
        }
    const std::string units = "KMGT";
    double scale = 1;
    if (unit.size() == 1 && units.find(unit[0]) != std::string::npos)
        scale = std::pow(1024.0, double(units.find(unit[0]) + 1));
    else if (!unit.empty() && unit != "B")
        return std::nullopt;
    const double bytes = number * scale;
    if (bytes < 1 || bytes > 1.8e19)
        return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

std::optional<SizeSpec> ParseSize(const std::string& given) {
    const std::string text = Lower(given);
    const std::size_t x = text.find('x');
    if (x == std::string::npos || text.find('x', x + 1) != std::string::npos)
        return std::nullopt;
    const std::string width = text.substr(0, x);
    const std::string height = text.substr(x + 1);
    const bool percentX = !width.empty() && width.back() == '%';
    const bool percentY = !height.empty() && height.back() == '%';
    // "20%x" keeps the side that is left empty in the unit of the other.
    const bool percent = percentX || percentY;
    if ((percentX != percentY) && !width.empty() && !height.empty())
        return std::nullopt;
    const auto sizeX = ParseSide(width.empty() && percent ? "%" : width, percent);
    const auto sizeY = ParseSide(height.empty() && percent ? "%" : height, percent);
    if (!sizeX || !sizeY)
        return std::nullopt;
    return SizeSpec{percent, *sizeX, *sizeY};
}

std::optional<Anchor> ParseAnchor(const std::string& text) {
    const std::string name = Lower(text);
    for (int k = 0; k < 9; ++k) {
        if (name == kAnchorNames[k] || name == std::to_string(k + 1))
            return Anchor(k + 1);
    }
    if (name == "centre")
        return Anchor::Centre;
    return std::nullopt;
}

std::optional<std::string> ParseFormat(const std::string& text) {
    const OutputFormat* format = OutputFormat::Named(text);
    if (format == nullptr)
        return std::nullopt;
    return format->Mime();
}

std::string InstalledFormats() {
    std::string known;
    for (const OutputFormat& format : OutputFormat::Installed())
        if (format.HasMime())
            known += (known.empty() ? "" : ", ") + format.Mime();
    return known;
}

std::optional<std::string> NormalizeTemplate(const std::string& text) {
    std::string settled;
    int start = 0;
    int end = 0;
    SettleTemplateText(text, settled, start, end);
    const std::string completed = CompleteTemplateText(settled);
    if (completed.size() > kTemplateLimit)
        return std::nullopt;
    return completed;
}

std::string Printable(const std::string& bytes) {
    return EscapedForLog(bytes);
}
