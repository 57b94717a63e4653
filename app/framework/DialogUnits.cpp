#include "app/framework/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include <cstdint>
#include <cstring>

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t num = product < 0 ? -product : product;
    const std::int64_t den = c < 0 ? -static_cast<std::int64_t>(c) : c;
    const std::int64_t q = (num + den / 2) / den;
    return static_cast<int>(negative ? -q : q);
}

QFont DialogFont(const char* fontName, int points) {
    const int size = points > 0 ? points : 8;
    if (fontName == nullptr || std::strcmp(fontName, "MS Shell Dlg") == 0 ||
        std::strcmp(fontName, "MS Shell Dlg 2") == 0 || fontName[0] == '\0') {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPointSize(size);
        return font;
    }
    return QFont(QString::fromUtf8(fontName), size);
}

DialogBaseUnits BaseUnitsOfFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

int DialogUnitsToPixelsX(int x, const DialogBaseUnits& units) {
    return MulDiv(x, units.cx, 4);
}

int DialogUnitsToPixelsY(int y, const DialogBaseUnits& units) {
    return MulDiv(y, units.cy, 8);
}

QRect MapDialogUnits(int x, int y, int cx, int cy, const DialogBaseUnits& units) {
    return QRect(DialogUnitsToPixelsX(x, units), DialogUnitsToPixelsY(y, units),
                 DialogUnitsToPixelsX(cx, units), DialogUnitsToPixelsY(cy, units));
}
