// The about box: its version line and logo, the ways it closes, the logo's link when no
// browser can be started, and the main window's "About..." button.

#include "PreviewTestSupport.h"

#include "ui/AboutDlg.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace preview_test;

namespace {

struct Seen {
    QString version;
    QSize logoIconSize;
    bool logoShown = false;
};

Seen Look(CAboutDlg& about) {
    Seen seen;
    if (CWnd* version = about.GetDlgItem(IDC_ABOUT_VERSION))
        seen.version = QString::fromStdString(version->GetWindowTextString());
    if (auto* logo =
            qobject_cast<QAbstractButton*>(about.GetDlgItem(IDC_ABOUT_LOGO)->GetWidget())) {
        seen.logoShown = !logo->icon().isNull();
        seen.logoIconSize = logo->iconSize();
    }
    return seen;
}

} // namespace

struct CloseCase {
    const char* name;
    enum { CloseButton, EscapeKey, Logo } how;
    INT_PTR result;
};
void PrintTo(const CloseCase& c, std::ostream* os) {
    *os << c.name;
}

class AboutBoxCloses : public ::testing::TestWithParam<CloseCase> {
  protected:
    void SetUp() override {
        UseProgramTemplates();
        ASSERT_TRUE(m_emptyFolder.isValid());
    }
    QTemporaryDir m_emptyFolder;
};

TEST_P(AboutBoxCloses, ShowsTheVersionAndClosesWithTheRightResult) {
    const CloseCase& c = GetParam();
    // No desktop opener can be found: a logo click must close the box all the same.
    NoOpenerOnPath noOpener(m_emptyFolder.path());
    CAboutDlg about;
    Seen seen;
    QString said; // the message after a logo click
    QElapsedTimer clock;
    const INT_PTR result = dialog_driving::RunModal(about, [&](QWidget* window) {
        seen = Look(about);
        clock.start();
        switch (c.how) {
        case CloseCase::CloseButton:
            Click(ControlIn(window, IDOK));
            break;
        case CloseCase::EscapeKey:
            PressKey(window, Qt::Key_Escape);
            break;
        case CloseCase::Logo:
            // The box that says no browser could be started comes up inside the click.
            QTimer::singleShot(0, [&] {
                WaitFor([] {
                    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr;
                });
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    said = box->text();
                    Click(box->button(QMessageBox::Ok));
                }
            });
            Click(ControlIn(window, IDC_ABOUT_LOGO));
            break;
        }
    });
    if (c.how == CloseCase::Logo) {
        EXPECT_TRUE(said.contains(QStringLiteral("No web browser")) &&
                    said.contains(QString::fromLatin1(CAboutDlg::kMakerWebSite)))
            << said.toStdString();
    }
    EXPECT_EQ(result, c.result);
    EXPECT_LT(clock.elapsed(), 5000) << "closed by the watchdog, not by the action";
    EXPECT_EQ(seen.version, QStringLiteral("Version 1.2.109.143"));
    EXPECT_TRUE(seen.logoShown);
    EXPECT_EQ(seen.logoIconSize, QSize(200, 100));
    EXPECT_EQ(about.GetWidget(), nullptr) << "the window is gone after the modal run";
}

INSTANTIATE_TEST_SUITE_P(AboutDlg, AboutBoxCloses,
                         ::testing::Values(CloseCase{"CloseButton", CloseCase::CloseButton, IDOK},
                                           CloseCase{"Escape", CloseCase::EscapeKey, IDCANCEL},
                                           CloseCase{"LogoWithoutABrowser", CloseCase::Logo, IDOK}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) {
                             return std::string(info.param.name);
                         });

// Each opening loads its own logo and each closing deletes it (the sanitizer build reports a
// bitmap left behind); an object opened again shows everything again.
TEST(AboutDlg, OpensAgainWithItsLogoAndVersion) {
    UseProgramTemplates();
    CAboutDlg about;
    for (int round = 0; round < 3; ++round) {
        Seen seen;
        const INT_PTR result = dialog_driving::RunModal(about, [&](QWidget* window) {
            seen = Look(about);
            Click(ControlIn(window, IDOK));
        });
        EXPECT_EQ(result, IDOK) << "round " << round;
        EXPECT_TRUE(seen.logoShown) << "round " << round;
        EXPECT_EQ(seen.version, QStringLiteral("Version 1.2.109.143")) << "round " << round;
    }
}

TEST(AboutDlg, MainWindowButtonShowsTheBoxAndLeavesThePreviewAlone) {
    UseProgramTemplates();
    PreviewProbe dialog;
    const ImageRecord* before = nullptr;
    const ImageRecord* after = nullptr;
    QString version;
    ModalScript script;
    script
        .OnMain(dialog, "about",
                [&] {
                    before = dialog.Preview();
                    EXPECT_FALSE(dialog.GetWidget()->testAttribute(Qt::WA_Moved)); // by the WM
                    dialog.GetWidget()->move(40, 30);
                    ClickControl(dialog, IDC_ABOUT);
                })
        .Then("about box", IsAboutBox,
              [&](QWidget* modal) {
                  EXPECT_EQ(modal->frameGeometry().center(),
                            dialog.GetWidget()->frameGeometry().center());
                  if (auto* label = qobject_cast<QLabel*>(ControlIn(modal, IDC_ABOUT_VERSION)))
                      version = label->text();
                  Click(ControlIn(modal, IDOK));
              })
        .OnMain(dialog, "back", [&] {
            after = dialog.Preview();
            ClickControl(dialog, IDC_EXIT);
        });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_EQ(version, QStringLiteral("Version 1.2.109.143"));
    EXPECT_EQ(after, before) << "the about box must not rebuild the preview";
}
