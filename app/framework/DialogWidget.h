#pragma once
// The Qt window of a CDialog (Dialog.h). Every way of closing it goes through the dialog's
// commands, so only EndDialog ends it.

#include "app/framework/DialogNavigation.h"
#include "app/framework/DialogUnits.h"
#include "app/framework/WinUser.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <map>
#include <optional>
#include <vector>

class DialogWidget : public QDialog {
  public:
    // What the window hands on to the dialog that owns it: the commands of its keys and close
    // requests, the Enter key, and its window messages (WM_CLOSE, WM_DROPFILES).
    struct Owner {
        std::function<void(int id, UINT code)> command;
        std::function<void()> enterKey;
        std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)> windowProc;
    };

    DialogWidget(Owner owner, QWidget* parent, Qt::WindowFlags flags)
        : QDialog(parent, flags), m_owner(std::move(owner)) {}

    void Finish(int result) { QDialog::done(result); }
    void Orphan() { m_owner.reset(); }

    std::map<int, QPointer<QWidget>> m_controls;
    std::vector<QPointer<QWidget>> m_tabStops;
    DialogNavigation m_navigation;
    // The template's size, which the window keeps.
    QSize m_fixedSize;
    DialogBaseUnits m_units{1, 1};
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;

    // A Wayland compositor may maximize any window, and a window that then commits another
    // size than the one it was given is a protocol error that ends the program. There the
    // size is held only from below, and the window asks to return from maximized or full
    // screen to its own size; elsewhere it is fixed, so that window managers offer no
    // maximize.
    void HoldSize(const QSize& size);
    // Set by a maximized or full-screen state, cleared once the request to leave it is sent.
    bool m_leaveLarge = false;
    // A compositor that insists (a kiosk shell keeps every window full screen) is asked a
    // few times, not for ever.
    int m_leaveRequests = 0;

  protected:
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void accept() override;
    void reject() override;
    void done(int result) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    std::optional<Owner> m_owner;
};
