#include "bench/Workload.h"

#include "tests/common/TestPictures.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

struct Size {
    int width;
    int height;
    const char* tag;
};
constexpr Size kSizes[] = {{4000, 3000, "12mp"}, {6000, 4000, "24mp"}};

// A small deterministic generator (xorshift); the standard engines differ in distribution
// between library versions.
class Random {
  public:
    explicit Random(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return std::uint32_t(m_state >> 32);
    }
    double unit() { return next() / 4294967296.0; }

  private:
    std::uint64_t m_state;
};

// Value noise: random values on a square lattice, blended with a smooth step between them.
class ValueNoise {
  public:
    ValueNoise(int width, int height, int cell, Random& random)
        : m_cell(cell), m_columns(width / cell + 2), m_rows(height / cell + 2),
          m_values(std::size_t(m_columns) * std::size_t(m_rows)) {
        for (float& v : m_values)
            v = float(random.unit() * 2.0 - 1.0);
    }
    float at(int x, int y) const {
        const int cx = x / m_cell;
        const int cy = y / m_cell;
        const float fx = smooth(float(x % m_cell) / float(m_cell));
        const float fy = smooth(float(y % m_cell) / float(m_cell));
        const float* row0 = &m_values[std::size_t(cy) * std::size_t(m_columns)];
        const float* row1 = row0 + m_columns;
        const float top = row0[cx] + (row0[cx + 1] - row0[cx]) * fx;
        const float bottom = row1[cx] + (row1[cx + 1] - row1[cx]) * fx;
        return top + (bottom - top) * fy;
    }

  private:
    static float smooth(float t) { return t * t * (3.0f - 2.0f * t); }
    int m_cell;
    int m_columns;
    int m_rows;
    std::vector<float> m_values;
};

std::uint8_t Clamp(float value) {
    return std::uint8_t(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

QImage DrawBackground(int width, int height, std::uint64_t seed) {
    Random random(seed);
    QImage image(width, height, QImage::Format_RGB32);

    // Light: a sky-to-ground gradient with a warm and a cool side.
    {
        QPainter painter(&image);
        QLinearGradient light(0, 0, width * 0.3, height);
        light.setColorAt(0.0, QColor::fromHsv(int(random.next() % 360), 90, 235));
        light.setColorAt(0.45, QColor::fromHsv(int(random.next() % 360), 60, 190));
        light.setColorAt(1.0, QColor::fromHsv(int(random.next() % 360), 120, 80));
        painter.fillRect(image.rect(), light);
    }

    // Texture at four scales, per channel slightly different, plus grain.
    const int cells[] = {width / 6, 173, 41, 9};
    const float amplitude[] = {38.0f, 22.0f, 12.0f, 7.0f};
    std::vector<ValueNoise> luminance;
    for (int cell : cells)
        luminance.emplace_back(width, height, cell, random);
    const ValueNoise tint(width, height, 97, random);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            float detail = 0;
            for (std::size_t i = 0; i < luminance.size(); ++i)
                detail += luminance[i].at(x, y) * amplitude[i];
            const float hue = tint.at(x, y) * 14.0f;
            const float grain = float(int(random.next() % 9) - 4);
            const QRgb old = line[x];
            line[x] = qRgb(Clamp(float(qRed(old)) + detail + hue + grain),
                           Clamp(float(qGreen(old)) + detail + grain),
                           Clamp(float(qBlue(old)) + detail - hue + grain));
        }
    }

    // Objects with hard edges: buildings, poles, a round shape, their shading kept simple.
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 14; ++i) {
        const double w = width * (0.03 + random.unit() * 0.12);
        const double h = height * (0.1 + random.unit() * 0.5);
        const double x = random.unit() * (width - w);
        const QRectF box(x, height - h - random.unit() * height * 0.1, w, h);
        QLinearGradient shade(box.topLeft(), box.topRight());
        const QColor base = QColor::fromHsv(int(random.next() % 360), int(random.next() % 120),
                                            60 + int(random.next() % 150), 200);
        shade.setColorAt(0, base.lighter(130));
        shade.setColorAt(1, base.darker(140));
        painter.setBrush(shade);
        painter.drawRect(box);
    }
    for (int i = 0; i < 5; ++i) {
        const double r = height * (0.03 + random.unit() * 0.1);
        const QPointF centre(random.unit() * width, random.unit() * height * 0.6);
        QRadialGradient glow(centre, r);
        glow.setColorAt(0, QColor(255, 250, 220, 230));
        glow.setColorAt(1, QColor(250, 200, 120, 160));
        painter.setBrush(glow);
        painter.drawEllipse(centre, r, r);
    }
    painter.setPen(QPen(QColor(30, 30, 35), width / 900.0));
    for (int i = 0; i < 8; ++i) {
        const double x = random.unit() * width;
        painter.drawLine(QPointF(x, height * random.unit() * 0.5),
                         QPointF(x + width * 0.01, height));
    }
    painter.end();
    return image;
}

// A logo-like stamp: a soft-edged plate, a ring and a word, with alpha from fully clear to
// almost opaque.
QImage DrawOverlay() {
    QImage image(800, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QRadialGradient plate(QPointF(400, 150), 420);
    plate.setColorAt(0.0, QColor(20, 40, 90, 170));
    plate.setColorAt(0.6, QColor(20, 40, 90, 110));
    plate.setColorAt(1.0, QColor(20, 40, 90, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(plate);
    painter.drawRoundedRect(QRectF(10, 10, 780, 280), 60, 60);
    painter.setPen(QPen(QColor(255, 210, 90, 220), 14));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(150, 150), 95, 95);
    QFont font;
    font.setPixelSize(120);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, 200));
    painter.drawText(QRectF(260, 40, 520, 220), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Stamp"));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool Save(const QImage& image, const QString& path, const char* format, int quality) {
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(image);
}

} // namespace

Workload MakeWorkload(const QString& folder, int perSize) {
    QDir().mkpath(folder);
    Workload workload;
    std::uint64_t seed = 1;
    for (const Size& size : kSizes) {
        for (int i = 0; i < perSize; ++i, ++seed) {
            const QString path = QDir(folder).filePath(
                QStringLiteral("bg-%1-%2.jpg").arg(QLatin1String(size.tag)).arg(i + 1));
            if (!QFileInfo::exists(path)) {
                std::fprintf(stderr, "drawing %s\n", qPrintable(path));
                if (!Save(DrawBackground(size.width, size.height, seed * 7919), path, "jpeg", 90))
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            }
            workload.backgrounds << path;
        }
    }
    workload.overlay = QDir(folder).filePath(QStringLiteral("overlay.png"));
    if (!QFileInfo::exists(workload.overlay))
        Save(DrawOverlay(), workload.overlay, "png", -1);
    return workload;
}

QStringList MakePortraits(const QString& folder) {
    QDir().mkpath(folder);
    QStringList portraits;
    const Size sizes[] = {{4032, 3024, "12mp"}, {6000, 4000, "24mp"}};
    std::uint64_t seed = 101;
    for (const Size& size : sizes) {
        ++seed;
        const QString path =
            QDir(folder).filePath(QStringLiteral("portrait-%1.jpg").arg(QLatin1String(size.tag)));
        if (!QFileInfo::exists(path)) {
            std::fprintf(stderr, "drawing %s\n", qPrintable(path));
            QByteArray stored;
            QBuffer buffer(&stored);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(90);
            const bool drawn = writer.write(DrawBackground(size.width, size.height, seed * 7919));
            if (!drawn || !WriteBytes(path, JpegWithExifOrientation(stored, 6)))
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        }
        portraits << path;
    }
    return portraits;
}

QStringList MakeRestartPictures(const QString& folder) {
    QDir().mkpath(folder);
    QStringList pictures;
    const Size sizes[] = {{4000, 3000, "12mp"}, {6000, 4000, "24mp"}};
    std::uint64_t seed = 211;
    for (const Size& size : sizes) {
        ++seed;
        const QString path =
            QDir(folder).filePath(QStringLiteral("restarts-%1.jpg").arg(QLatin1String(size.tag)));
        if (!QFileInfo::exists(path)) {
            std::fprintf(stderr, "drawing %s\n", qPrintable(path));
            const QImage drawn = DrawBackground(size.width, size.height, seed * 7919);
            if (!WriteBytes(path, ShapedJpeg(drawn, {2, 2, false, false, 1, 90})))
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        }
        pictures << path;
    }
    return pictures;
}
