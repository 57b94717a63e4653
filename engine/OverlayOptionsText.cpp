#include "engine/OverlayOptionsText.h"

#include <QString>

#include <cctype>
#include <limits>

namespace {

bool NormalizeSize(const std::string& text, bool percent, std::string& normal) {
    std::string number;
    bool pointTaken = !percent;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            number += c;
        } else if (c == '.' && !pointTaken) {
            number += c;
            pointTaken = true;
        }
    }
    // A size field never ends up empty or holding just "0".
    normal = number.empty() || number == "0" ? std::string(1, '1') : number;
    normal += percent ? "%" : " px";
    return normal != text;
}

// Names are written in many scripts, so a letter is any letter Unicode knows; digits and
// blanks stay the plain ASCII ones, which every file system takes.
bool IsTemplateLetter(char32_t c) {
    return QChar::isLetter(c) || (c >= U'0' && c <= U'9') || c == U' ';
}

// Characters (not bytes) are what the edit's positions count, so the pass works on them; a
// letter outside the Basic Multilingual Plane is two of them, kept or dropped together.
QString FilterPass(const QString& text, int& start, int& end) {
    QString result;
    result.reserve(text.size());
    bool firstRunAllowed = true;
    char32_t previous = 0;
    for (qsizetype at = 0; at < text.size();) {
        const bool pair =
            text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const char32_t c =
            pair ? QChar::surrogateToUcs4(text[at], text[at + 1]) : text[at].unicode();
        bool keep = false;
        if (IsTemplateLetter(c)) {
            keep = true;
        } else if (c == U'#') {
            keep = firstRunAllowed || previous == U'#';
            firstRunAllowed = false;
        }
        if (keep) {
            result += text.mid(at, units);
        } else {
            start = start > units ? start - static_cast<int>(units) : 0;
            end = end > units ? end - static_cast<int>(units) : 0;
        }
        previous = c;
        at += units;
    }
    return result;
}

} // namespace

bool NormalizePixelText(const std::string& text, std::string& normal) {
    return NormalizeSize(text, false, normal);
}

bool NormalizePercentText(const std::string& text, std::string& normal) {
    return NormalizeSize(text, true, normal);
}

std::int32_t SizeFieldValue(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;
    if (at >= text.size() || text[at] < '0' || text[at] > '9')
        return 0;
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > std::numeric_limits<std::int32_t>::max() + std::int64_t{1})
            return 0;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return 0;
    return static_cast<std::int32_t>(value);
}

bool FilterTemplatePass(const std::string& text, std::string& result, int& start, int& end) {
    result = FilterPass(QString::fromLocal8Bit(text), start, end).toLocal8Bit().toStdString();
    return result != text;
}

bool SettleTemplateText(const std::string& text, std::string& result, int& start, int& end) {
    const QString once = FilterPass(QString::fromLocal8Bit(text), start, end);
    // After one pass only letters, digits, blanks and '#' are left, so every later run of '#'
    // follows a kept character and each further pass shortens it by one until it is gone;
    // the first run stays whole. Doing that here at once keeps the nesting of the change
    // notifications at one level whatever was pasted.
    QString settled;
    settled.reserve(once.size());
    bool inFirstRun = false;
    bool firstRunDone = false;
    for (QChar c : once) {
        if (c == u'#') {
            if (!firstRunDone) {
                inFirstRun = true;
                settled += c;
            }
            continue;
        }
        if (inFirstRun)
            firstRunDone = true;
        settled += c;
    }
    result = settled.toLocal8Bit().toStdString();
    return result != text;
}

std::string CompleteTemplateText(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first])) != 0)
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])) != 0)
        --last;
    std::string completed = text.substr(first, last - first);
    if (completed.find('#') == std::string::npos)
        completed += '#';
    return completed;
}

std::string StoredTemplateText(const std::string& text, std::size_t limit) {
    std::string stored = CompleteTemplateText(text);
    if (stored.size() <= limit)
        return stored;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(stored[cut]) & 0xC0) == 0x80)
        --cut;
    stored.resize(cut);
    if (!stored.empty() && stored.find('#') == std::string::npos)
        stored.back() = '#';
    return stored;
}
