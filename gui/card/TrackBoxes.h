#pragma once
// The sixteen track boxes TR1 ... TR16 that both transfer pages carry, found by their ids.

#include "card/CardRules.h"

#include <array>
#include <functional>

class QCheckBox;
class QWidget;

namespace gui {

class CTrackBoxes {
public:
    using Tracks = std::array<bool, card::kTrackCount>;

    // Finds the boxes below `page`; `clicked` runs after the user ticks or unticks one.
    void Bind(QWidget* page, const std::function<void()>& clicked);
    // Every box unticked and greyed.
    void Reset();
    // The given tracks enabled and ticked; the others unticked and greyed.
    void Offer(const Tracks& tracks);
    // Exactly the given tracks ticked, among the enabled boxes.
    void Tick(const Tracks& tracks);
    Tracks Ticked() const;
    bool AnyTicked() const;

private:
    std::array<QCheckBox*, card::kTrackCount> m_boxes{};
};

} // namespace gui
