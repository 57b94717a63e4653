#include "app/framework/DlgProgressBar.h"

#include <algorithm>

DlgProgressBar::DlgProgressBar(int id, DWORD style, QWidget* parent)
    : QProgressBar(parent), ControlBase(id, style) {
    setTextVisible(false);
    QProgressBar::setRange(0, 100);
    QProgressBar::setValue(0);
}

void DlgProgressBar::SetRange32(int low, int high) {
    m_low = low;
    m_high = high;
    m_pos = std::clamp(m_pos, std::min(low, high), std::max(low, high));
    if (low == high) {
        QProgressBar::setRange(0, 1);
        QProgressBar::setValue(0);
    } else {
        QProgressBar::setRange(std::min(low, high), std::max(low, high));
        QProgressBar::setValue(m_pos);
    }
}

void DlgProgressBar::GetRange32(int& low, int& high) const {
    low = m_low;
    high = m_high;
}

int DlgProgressBar::SetPos(int pos) {
    const int previous = m_pos;
    m_pos = std::clamp(pos, std::min(m_low, m_high), std::max(m_low, m_high));
    if (m_low != m_high)
        QProgressBar::setValue(m_pos);
    return previous;
}
