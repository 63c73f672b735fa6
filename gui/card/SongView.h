#pragma once
// The song view: the sixteen tracks of a song side by side in time, as the import will write them.
// Each lane shows its audible stretches in the colour of their source file with the file's waveform,
// Silence entries hatched, and locate points A and B as lines over every lane; the ruler counts in
// the song's own time code. Ctrl + wheel and the + and - keys zoom (0 shows the whole song); the
// wheel and the scroll bars move. Clicking the number of a lane in use chooses it; "Tick on page"
// hands the chosen tracks to the page.

#include "card/CardRules.h"
#include "wave/Peaks.h"
#include "wave/Timeline.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QDialog>
#include <array>
#include <map>
#include <string>
#include <vector>

namespace gui {

using SongPeaks = std::map<std::string, wave::Peaks>;
using TrackChoice = std::array<bool, card::kTrackCount>;

// The painted lanes. Geometry is in the viewport's pixels.
class CTimelineArea : public QAbstractScrollArea {
public:
    static constexpr int kLabelWidth = 52;
    static constexpr int kRulerHeight = 34;
    static constexpr int kLaneHeight = 36;

    CTimelineArea(const wave::SongTimeline& song, const SongPeaks& peaks, QWidget* parent = nullptr);

    // What lies under a point of the viewport: the track (1..16, 0 for the ruler or below the lanes)
    // and the stretch (index in that track's list, -1 for none: the lane's label or past its end).
    struct Hit {
        int track = 0;
        int stretch = -1;
    };
    Hit HitTest(const QPoint& point) const;
    // The text of the tooltip at a point: the entry number, the file and the stretch's time codes;
    // empty where no entry lies.
    QString ToolTipAt(const QPoint& point) const;
    // The viewport point at a track position, for tests and for keeping a place while zooming.
    QPoint PointAt(int track, uint64_t samples) const;

    double SamplesPerPixel() const { return m_samplesPerPixel; }
    // Zooms by `factor` (above 1 shows more of the song) keeping the position at viewport x `anchor`.
    void Zoom(double factor, int anchor);
    void ZoomToFit();
    double WidestSamplesPerPixel() const;
    static constexpr double kNarrowestSamplesPerPixel = 1.0;

    const TrackChoice& Chosen() const { return m_chosen; }
    // Lanes of tracks not in use cannot be chosen.
    void Choose(int track, bool chosen);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Item {
        const wave::Stretch* stretch;
        QColor colour;
        const wave::Peaks* peaks; // null when the file has none
    };
    void UpdateScrollBars();
    uint64_t SampleAt(int x) const;
    double XOf(uint64_t samples) const;
    int LaneTop(int lane) const;
    void PaintRuler(QPainter& p) const;
    void PaintLane(QPainter& p, int lane, int left, int right) const;
    void PaintWave(QPainter& p, const Item& item, int top, int left, int right) const;
    void PaintLabels(QPainter& p) const;
    void PaintLocates(QPainter& p) const;

    const wave::SongTimeline& m_song;
    std::array<std::vector<Item>, card::kTrackCount> m_items;
    double m_samplesPerPixel = 1.0;
    TrackChoice m_chosen{};
    bool m_fitted = false; // the first size shows the whole song
};

class CSongView : public QDialog {
public:
    // `title` names the song; `chosen` are the tracks first chosen (those not in use are left out).
    CSongView(wave::SongTimeline song, SongPeaks peaks, const QString& title, const TrackChoice& chosen,
              QWidget* parent = nullptr);

    CTimelineArea* Area() const { return m_area; }
    const wave::SongTimeline& Song() const { return m_song; }
    TrackChoice ChosenTracks() const { return m_area->Chosen(); }

private:
    wave::SongTimeline m_song;
    SongPeaks m_peaks;
    CTimelineArea* m_area = nullptr;
};

} // namespace gui
