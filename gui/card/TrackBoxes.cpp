#include "card/TrackBoxes.h"

#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"

#include <QCheckBox>

namespace gui {

void CTrackBoxes::Bind(QWidget* page, const std::function<void()>& clicked) {
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i] = res::Control<QCheckBox>(page, res::IDC_TRACK[i]);
        QObject::connect(m_boxes[i], &QCheckBox::clicked, page, [clicked] { clicked(); });
    }
}

void CTrackBoxes::Reset() {
    Offer({});
}

void CTrackBoxes::Offer(const Tracks& tracks) {
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i]->setChecked(tracks[i]);
        m_boxes[i]->setEnabled(tracks[i]);
    }
}

void CTrackBoxes::Tick(const Tracks& tracks) {
    for (size_t i = 0; i < m_boxes.size(); ++i)
        m_boxes[i]->setChecked(tracks[i] && m_boxes[i]->isEnabled());
}

CTrackBoxes::Tracks CTrackBoxes::Ticked() const {
    Tracks ticked{};
    for (size_t i = 0; i < m_boxes.size(); ++i)
        ticked[i] = m_boxes[i]->isChecked();
    return ticked;
}

bool CTrackBoxes::AnyTicked() const {
    for (const QCheckBox* box : m_boxes)
        if (box->isChecked())
            return true;
    return false;
}

} // namespace gui
