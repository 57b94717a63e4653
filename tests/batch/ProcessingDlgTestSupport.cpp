#include "ProcessingDlgTestSupport.h"
#include "TestMain.h"
#include "TestPictures.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <QRandomGenerator>

namespace progress_test {

BEGIN_MESSAGE_MAP(TestProcessingDlg, CProcessingDlg)
ON_MESSAGE(WM_BATCH_DONE, &TestProcessingDlg::Done)
ON_MESSAGE(WM_BATCH_START, &TestProcessingDlg::Start)
ON_MESSAGE(WM_BATCH_NEXTITEM, &TestProcessingDlg::Next)
ON_MESSAGE(WM_BATCH_ITEMNAME, &TestProcessingDlg::Name)
ON_MESSAGE(WM_BATCH_ITEMSTATUS, &TestProcessingDlg::Status)
END_MESSAGE_MAP()

void ProgressDialogTest::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
    ASSERT_TRUE(RedGreenOverlay(10, 10).save(In("overlay.png"), "PNG"));

    CopyText(job.szOverlayPath, QFile::encodeName(In("overlay.png")).constData());
    CopyText(job.szOutputDir, QFile::encodeName(Out()).constData());
    CopyText(job.szOutputFormat, "image/png");
    job.SetSizeMode(SizeModePixels);
    job.SetOverlayAnchor(9);
    job.nSizeX = 20;
    job.nSizeY = 20;
}

void ProgressDialogTest::TearDown() {
    // The job goes with the fixture: no worker may still read it.
    job.SetRunning(false);
    EXPECT_EQ(WaitForLastWorker(60000), WAIT_OBJECT_0);
}

std::string ProgressDialogTest::AddBackground(const char* name, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 6 + 1, height / 6 + 1, QColor(255, 255, 0));
    painter.end();
    EXPECT_TRUE(image.save(In(name), "PNG"));
    job.AddFile(QFile::encodeName(In(name)).constData());
    return name;
}

std::string ProgressDialogTest::AddSlowBackground(const char* name) {
    // Noise defeats the PNG compressor, so decoding and encoding take their time.
    QImage image(3000, 2000, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    EXPECT_TRUE(image.save(In(name), "PNG"));
    job.AddFile(QFile::encodeName(In(name)).constData());
    return name;
}

std::vector<std::string> ProgressDialogTest::Outputs() const {
    std::vector<std::string> names;
    for (const QString& name : QDir(Out()).entryList(QDir::Files, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}

} // namespace progress_test

// The progress dialog tests drive real widgets and the real worker, with the program's
// templates and pictures.
test_main::Program test_main::ThisProgram() {
    return {.application = &dialog_driving::WidgetApplication,
            // File names in the log are 8-bit text in the locale's encoding.
            .locale = test_main::Locale::Utf8,
            .setUp = [] {
                QApplication::setQuitOnLastWindowClosed(false);
                RegisterProgramResources();
                SetDialogTemplateLookup(&FindDialogTemplate);
            }};
}
