#include "app/framework/DialogWidget.h"

#include "app/framework/DropFiles.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include <string>
#include <vector>

namespace {
constexpr Qt::WindowStates kLarge = Qt::WindowMaximized | Qt::WindowFullScreen;

std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        // The path's own bytes: a name that is not UTF-8 (Latin-1 from an old archive) comes
        // percent-encoded, and decoding it as text would name a file that does not exist.
        if (url.isLocalFile())
            paths.push_back(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
                                .toStdString());
    }
    return paths;
}
} // namespace

void DialogWidget::HoldSize(const QSize& size) {
    m_fixedSize = size;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        setMinimumSize(size);
        resize(size);
    } else {
        setFixedSize(size);
    }
}

bool DialogWidget::focusNextPrevChild(bool next) {
    if (m_navigation.Tab(QApplication::focusWidget(), next))
        return true;
    return QDialog::focusNextPrevChild(next);
}

bool DialogWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            m_navigation.Arrow(qobject_cast<QWidget*>(watched), key->key()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void DialogWidget::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The focus is shown from the start, as on Windows, not only once Tab was pressed: a
    // keyboard user must see where Enter and Space go. (Showing a window clears the mark,
    // so it is set here.)
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void DialogWidget::changeEvent(QEvent* event) {
    constexpr int kMostLeaveRequests = 3;
    if (event->type() == QEvent::WindowStateChange && m_fixedSize.isValid())
        m_leaveLarge = (windowState() & kLarge) != 0 && m_leaveRequests < kMostLeaveRequests;
    QDialog::changeEvent(event);
}

void DialogWidget::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!m_leaveLarge)
        return;
    m_leaveLarge = false;
    ++m_leaveRequests;
    // Asked only after the large frame is committed (this paint's flush commits it): weston
    // drops a request to leave a state that arrives between the acknowledgement and the
    // commit of that state, and the window then stays large, its controls in one corner.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if ((windowState() & kLarge) != 0)
                setWindowState(windowState() & ~kLarge);
        },
        Qt::QueuedConnection);
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (m_owner && modifiers == Qt::NoModifier) {
        if (event->key() == Qt::Key_Escape) {
            m_owner->command(IDCANCEL, BN_CLICKED);
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_owner->enterKey();
            return;
        }
    }
    event->ignore();
}

void DialogWidget::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_owner)
        m_owner->windowProc(WM_CLOSE, 0, 0);
}

void DialogWidget::accept() {
    if (m_owner)
        m_owner->command(IDOK, BN_CLICKED);
}

void DialogWidget::reject() {
    if (m_owner)
        m_owner->command(IDCANCEL, BN_CLICKED);
}

void DialogWidget::done(int result) {
    if (m_owner)
        m_owner->command(result == QDialog::Accepted ? IDOK : IDCANCEL, BN_CLICKED);
    else
        QDialog::done(result);
}

void DialogWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DialogWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DialogWidget::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = LocalFiles(event->mimeData());
    if (paths.empty() || !m_owner) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Qt has mapped the position to this widget on the way up from the child it was let go on.
    const QPoint at = event->position().toPoint();
    HDROP drop = CreateDrop(std::move(paths), POINT{at.x(), at.y()}, rect().contains(at));
    m_owner->windowProc(WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    ReleaseDrop(drop);
}
