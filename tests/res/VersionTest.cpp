// The one version number reaches the code and the desktop metadata unchanged.

#include "res/Version.h"

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <string>

namespace {

QString ReadBuildFile(const char* name) {
    QFile file(QStringLiteral(PICTORUM_RES_BUILD_DIR "/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.fileName());
    return QString::fromUtf8(file.readAll());
}

TEST(Version, IsTheProductVersion) {
    EXPECT_STREQ(PICTORUM_VERSION_STRING, "1.2.109.143");
    const std::string joined =
        std::to_string(PICTORUM_VERSION_MAJOR) + "." + std::to_string(PICTORUM_VERSION_MINOR) +
        "." + std::to_string(PICTORUM_VERSION_PATCH) + "." + std::to_string(PICTORUM_VERSION_TWEAK);
    EXPECT_EQ(joined, PICTORUM_VERSION_STRING);
}

TEST(Version, AppearsInTheAppStreamRelease) {
    const QString metainfo = ReadBuildFile("com.tollerby.pictorum.metainfo.xml");
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<release version=\"1.2.109.143\"")));
    EXPECT_FALSE(metainfo.contains(QLatin1Char('@'))) << "an unconfigured placeholder is left";
    EXPECT_TRUE(metainfo.contains(
        QStringLiteral("<launchable type=\"desktop-id\">com.tollerby.pictorum.desktop<")));
}

TEST(DesktopEntry, StartsThePictorumProgramWithItsIcon) {
    const QStringList lines =
        ReadBuildFile("com.tollerby.pictorum.desktop").split(QLatin1Char('\n'));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("[Desktop Entry]"));
    for (const char* line : {"Type=Application", "Name=Pictorum", "Exec=pictorum %F",
                             "Icon=pictorum", "Terminal=false"}) {
        EXPECT_TRUE(lines.contains(QString::fromLatin1(line))) << line;
    }
}

} // namespace
