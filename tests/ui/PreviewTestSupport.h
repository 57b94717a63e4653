#pragma once
// Looking at the sample preview and the about box: the composed preview image read back 1:1,
// the preview box rendered as the screen would show it, and colours compared with a tolerance.

#include "MainDlgTestSupport.h"

#include "app/framework/ControlWidgets.h"
#include "engine/DrawingSurface.h"
#include "res/Resource.h"

#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include <cstdlib>
#include <functional>

namespace preview_test {

using namespace maindlg_test;

// The main window with its preview image in view, once the one requested last is complete.
class PreviewProbe : public CMainDlg {
  public:
    const ImageRecord* Preview() {
        FinishPreview(20000);
        return m_preview.Image();
    }
};

// The preview image as it is, drawn 1:1 into a picture of its own size (null without one).
inline QImage PreviewPixels(PreviewProbe& dialog) {
    const ImageRecord* preview = dialog.Preview();
    if (preview == nullptr || preview->hImage == nullptr)
        return QImage();
    QImage image(static_cast<int>(preview->Width()), static_cast<int>(preview->Height()),
                 QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    DrawingSurface surface = DrawingSurface::OnDeviceContext(reinterpret_cast<HDC>(&painter));
    surface.DrawImage(preview->hImage, 0, 0, image.width(), image.height());
    surface.Close();
    painter.end();
    return image;
}

// The preview box painted as on the screen. The box has no background of its own: what its
// owner does not paint shows the dialog's background (WindowColour).
inline QImage GrabPreviewBox(CMainDlg& dialog) {
    dialog.FinishPreview(20000);
    return Control(dialog, IDC_PREVIEW)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}
inline QColor WindowColour(CMainDlg& dialog) {
    return Control(dialog, IDC_PREVIEW)->palette().color(QPalette::Window);
}

inline bool Near(QRgb got, const QColor& want, int tolerance = 8) {
    return qAlpha(got) == 255 && std::abs(qRed(got) - want.red()) <= tolerance &&
           std::abs(qGreen(got) - want.green()) <= tolerance &&
           std::abs(qBlue(got) - want.blue()) <= tolerance;
}
inline bool Unpainted(QRgb got, const QColor& window) {
    return Near(got, window, 0);
}

// Files dragged from a file manager onto a widget: the drag enters, then drops, at its centre.
inline void DropOn(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPointF at(target->rect().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}
inline void DropOnList(CMainDlg& dialog, const QStringList& paths) {
    DropOn(List(dialog)->viewport(), paths);
}

// A control of a dialog that the test has no object for, by its control id.
inline QWidget* ControlIn(QWidget* window, int id) {
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children)
        if (const ControlBase* control = ControlOf(child); control && control->ControlId() == id)
            return child;
    return nullptr;
}

inline bool IsOptionsDialog(QWidget* modal) {
    return modal->windowTitle() == QStringLiteral("Options");
}
inline bool IsAboutBox(QWidget* modal) {
    return modal->windowTitle() == QStringLiteral("About Pictorum");
}

// PATH pointing at an empty folder for the life of the object, so that no desktop opener can
// be found and started.
class NoOpenerOnPath {
  public:
    explicit NoOpenerOnPath(const QString& emptyFolder) : m_saved(qgetenv("PATH")) {
        qputenv("PATH", emptyFolder.toLocal8Bit());
    }
    ~NoOpenerOnPath() { qputenv("PATH", m_saved); }
    NoOpenerOnPath(const NoOpenerOnPath&) = delete;
    NoOpenerOnPath& operator=(const NoOpenerOnPath&) = delete;

  private:
    QByteArray m_saved;
};

} // namespace preview_test
