#include "card/SongView.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace gui {
namespace {

constexpr double kKeyZoom = 1.5;
constexpr double kWheelZoom = 1.25;
const QColor kLaneColours[2] = {QColor(246, 247, 249), QColor(236, 238, 241)};
const QColor kChosenLane(222, 233, 250);
const QColor kChosenLabel(52, 110, 205);
const QColor kLocateColours[2] = {QColor(208, 48, 48), QColor(32, 80, 208)};

QColor ColourOf(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

CTimelineArea::CTimelineArea(const wave::SongTimeline& song, const SongPeaks& peaks, QWidget* parent)
    : QAbstractScrollArea(parent), m_song(song) {
    std::unordered_map<std::string, int> sourceIndex;
    for (size_t i = 0; i < song.sources.size(); ++i)
        sourceIndex.emplace(song.sources[i], static_cast<int>(i));
    for (int lane = 0; lane < card::kTrackCount; ++lane) {
        for (const wave::Stretch& s : song.tracks[static_cast<size_t>(lane)].stretches) {
            if (s.kind == wave::StretchKind::Nothing)
                continue;
            Item item{&s, QColor(), nullptr};
            if (s.kind == wave::StretchKind::Audio) {
                item.colour = ColourOf(wave::SourceColour(sourceIndex[s.sourceName]));
                const auto found = peaks.find(s.sourceName);
                item.peaks = found == peaks.end() ? nullptr : &found->second;
            }
            m_items[static_cast<size_t>(lane)].push_back(item);
        }
    }
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(kLaneHeight / 2);
    setMinimumSize(400, kRulerHeight + 4 * kLaneHeight);
}

double CTimelineArea::WidestSamplesPerPixel() const {
    const uint64_t length = std::max<uint64_t>({m_song.length, m_song.locate[0], m_song.locate[1], 1});
    const int room = std::max(50, viewport()->width() - kLabelWidth - 12);
    return std::max(kNarrowestSamplesPerPixel, static_cast<double>(length) / room);
}

void CTimelineArea::UpdateScrollBars() {
    const double length = std::max<double>(
        {static_cast<double>(m_song.length), m_song.locate[0] * 1.0, m_song.locate[1] * 1.0, 1.0});
    const int content = static_cast<int>(std::min(length / m_samplesPerPixel + 12, 2.0e9));
    const int room = std::max(0, viewport()->width() - kLabelWidth);
    horizontalScrollBar()->setRange(0, std::max(0, content - room));
    horizontalScrollBar()->setPageStep(std::max(1, room));
    const int lanesRoom = std::max(0, viewport()->height() - kRulerHeight);
    verticalScrollBar()->setRange(0, std::max(0, card::kTrackCount * kLaneHeight - lanesRoom));
    verticalScrollBar()->setPageStep(std::max(1, lanesRoom));
}

uint64_t CTimelineArea::SampleAt(int x) const {
    const double at = (x - kLabelWidth + horizontalScrollBar()->value()) * m_samplesPerPixel;
    return at <= 0 ? 0 : static_cast<uint64_t>(at);
}

double CTimelineArea::XOf(uint64_t samples) const {
    return kLabelWidth + static_cast<double>(samples) / m_samplesPerPixel - horizontalScrollBar()->value();
}

int CTimelineArea::LaneTop(int lane) const {
    return kRulerHeight + lane * kLaneHeight - verticalScrollBar()->value();
}

QPoint CTimelineArea::PointAt(int track, uint64_t samples) const {
    return {static_cast<int>(std::floor(XOf(samples))), LaneTop(track - 1) + kLaneHeight / 2};
}

CTimelineArea::Hit CTimelineArea::HitTest(const QPoint& point) const {
    Hit hit;
    if (point.y() < kRulerHeight)
        return hit;
    const int lane = (point.y() - LaneTop(0)) / kLaneHeight;
    if (point.y() < LaneTop(0) || lane >= card::kTrackCount)
        return hit;
    hit.track = lane + 1;
    if (point.x() < kLabelWidth)
        return hit;
    const auto& stretches = m_song.tracks[static_cast<size_t>(lane)].stretches;
    const uint64_t at = SampleAt(point.x());
    const auto it = std::upper_bound(stretches.begin(), stretches.end(), at,
                                     [](uint64_t p, const wave::Stretch& s) { return p < s.End(); });
    if (it != stretches.end() && it->start <= at)
        hit.stretch = static_cast<int>(it - stretches.begin());
    return hit;
}

QString CTimelineArea::ToolTipAt(const QPoint& point) const {
    const Hit hit = HitTest(point);
    if (hit.stretch < 0)
        return {};
    const wave::Stretch& s =
        m_song.tracks[static_cast<size_t>(hit.track - 1)].stretches[static_cast<size_t>(hit.stretch)];
    if (s.kind == wave::StretchKind::Nothing)
        return {};
    const QString what =
        s.kind == wave::StretchKind::Audio ? Text(s.sourceName) : QStringLiteral("(silence)");
    return QStringLiteral("TR%1  Entry %2: %3\n%4 - %5")
        .arg(hit.track)
        .arg(s.number)
        .arg(what, Text(m_song.TimeCodeText(s.start)), Text(m_song.TimeCodeText(s.End())));
}

void CTimelineArea::Zoom(double factor, int anchor) {
    const uint64_t at = SampleAt(anchor);
    m_samplesPerPixel =
        std::clamp(m_samplesPerPixel * factor, kNarrowestSamplesPerPixel, WidestSamplesPerPixel());
    UpdateScrollBars();
    horizontalScrollBar()->setValue(static_cast<int>(static_cast<double>(at) / m_samplesPerPixel) -
                                    (anchor - kLabelWidth));
    viewport()->update();
}

void CTimelineArea::ZoomToFit() {
    m_samplesPerPixel = WidestSamplesPerPixel();
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void CTimelineArea::Choose(int track, bool chosen) {
    if (track < 1 || track > card::kTrackCount)
        return;
    m_chosen[static_cast<size_t>(track - 1)] =
        chosen && m_song.tracks[static_cast<size_t>(track - 1)].InUse();
    viewport()->update();
}

void CTimelineArea::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (!m_fitted && viewport()->width() > kLabelWidth) {
        m_fitted = true;
        ZoomToFit();
        return;
    }
    m_samplesPerPixel = std::min(m_samplesPerPixel, WidestSamplesPerPixel());
    UpdateScrollBars();
}

void CTimelineArea::scrollContentsBy(int /*dx*/, int /*dy*/) {
    viewport()->update();
}

void CTimelineArea::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        // With every lane in sight the wheel moves along the song instead.
        if (verticalScrollBar()->maximum() == 0 && event->angleDelta().x() == 0) {
            QScrollBar* along = horizontalScrollBar();
            along->setValue(along->value() - event->angleDelta().y() * along->pageStep() / 960);
            event->accept();
            return;
        }
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta != 0)
        Zoom(delta > 0 ? 1 / kWheelZoom : kWheelZoom, static_cast<int>(event->position().x()));
    event->accept();
}

void CTimelineArea::keyPressEvent(QKeyEvent* event) {
    const int middle = kLabelWidth + (viewport()->width() - kLabelWidth) / 2;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        Zoom(1 / kKeyZoom, middle);
        break;
    case Qt::Key_Minus:
        Zoom(kKeyZoom, middle);
        break;
    case Qt::Key_0:
        ZoomToFit();
        break;
    case Qt::Key_Home:
        horizontalScrollBar()->setValue(0);
        break;
    case Qt::Key_End:
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CTimelineArea::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const Hit hit = HitTest(at);
    if (event->button() == Qt::LeftButton && hit.track > 0 && at.x() < kLabelWidth) {
        Choose(hit.track, !m_chosen[static_cast<size_t>(hit.track - 1)]);
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

bool CTimelineArea::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, viewport());
    return true;
}

void CTimelineArea::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(viewport());
    const int width = viewport()->width();
    p.fillRect(viewport()->rect(), QColor(252, 252, 253));
    for (int lane = 0; lane < card::kTrackCount; ++lane) {
        const int top = LaneTop(lane);
        if (top + kLaneHeight > kRulerHeight && top < viewport()->height())
            PaintLane(p, lane, kLabelWidth, width);
    }
    PaintLocates(p);
    PaintRuler(p);
    PaintLabels(p);
}

void CTimelineArea::PaintLane(QPainter& p, int lane, int left, int right) const {
    const int top = LaneTop(lane);
    const bool chosen = m_chosen[static_cast<size_t>(lane)];
    p.fillRect(left, top, right - left, kLaneHeight, chosen ? kChosenLane : kLaneColours[lane % 2]);
    const auto& items = m_items[static_cast<size_t>(lane)];
    const uint64_t from = SampleAt(left), to = SampleAt(right) + 1;
    auto it = std::upper_bound(items.begin(), items.end(), from,
                               [](uint64_t at, const Item& item) { return at < item.stretch->End(); });
    const QBrush hatch(QColor(150, 150, 150), Qt::BDiagPattern);
    for (; it != items.end() && it->stretch->start < to; ++it) {
        const double x0 = std::max<double>(left, XOf(it->stretch->start));
        const double x1 = std::min<double>(right, XOf(it->stretch->End()));
        const QRectF box(x0, top + 2, std::max(1.0, x1 - x0), kLaneHeight - 4);
        if (it->stretch->kind == wave::StretchKind::Silence) {
            p.fillRect(box, QColor(222, 222, 222));
            p.fillRect(box, hatch);
            continue;
        }
        p.fillRect(box, it->colour);
        if (it->peaks)
            PaintWave(p, *it, top, static_cast<int>(x0), static_cast<int>(std::ceil(x1)));
        if (box.width() > 3) { // an edge, so that neighbouring stretches of one file stay apart
            p.setPen(QColor(0, 0, 0, 60));
            p.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
}

// One vertical line per pixel column from the smallest to the largest sample under it.
void CTimelineArea::PaintWave(QPainter& p, const Item& item, int top, int left, int right) const {
    const wave::Stretch& s = *item.stretch;
    const double middle = top + kLaneHeight / 2.0, half = kLaneHeight / 2.0 - 4;
    QVector<QLineF> lines;
    lines.reserve(right - left + 1);
    for (int x = left; x < right; ++x) {
        const uint64_t a = std::max(SampleAt(x), s.start), b = std::min(SampleAt(x + 1) + 1, s.End());
        int16_t lo = 0, hi = 0;
        if (b <= a ||
            !item.peaks->Range(s.sourceOffset + (a - s.start), s.sourceOffset + (b - s.start), &lo, &hi))
            continue;
        lines.append(
            QLineF(x + 0.5, middle - half * hi / 32768.0, x + 0.5, middle - half * lo / 32768.0 + 1));
    }
    p.setPen(item.colour.darker(260));
    p.drawLines(lines);
}

void CTimelineArea::PaintRuler(QPainter& p) const {
    const int width = viewport()->width();
    p.fillRect(0, 0, width, kRulerHeight, QColor(240, 241, 244));
    p.setPen(QColor(90, 90, 90));
    p.drawLine(0, kRulerHeight - 1, width, kRulerHeight - 1);
    const uint64_t step = wave::RulerStep(m_samplesPerPixel, m_song.sampleRate, 130);
    QFont font = p.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    p.setFont(font);
    for (uint64_t at = SampleAt(kLabelWidth) / step * step; XOf(at) < width; at += step) {
        const double x = XOf(at);
        if (x < kLabelWidth)
            continue;
        p.drawLine(QPointF(x, kRulerHeight - 8), QPointF(x, kRulerHeight - 1));
        const QString text = Text(m_song.TimeCodeText(at));
        if (x + 3 + p.fontMetrics().horizontalAdvance(text) < width)
            p.drawText(QPointF(x + 3, kRulerHeight - 6), text);
    }
    for (int n = 0; n < 2; ++n) {
        const double x = XOf(m_song.locate[n]);
        if (!m_song.hasLocate[n] || x < kLabelWidth || x > width)
            continue;
        // A tag above the time codes, left of its line.
        const QRectF tag(x - 12, 0, 12, 12);
        p.fillRect(tag, kLocateColours[n]);
        p.setPen(Qt::white);
        p.drawText(tag, Qt::AlignCenter, n == 0 ? QStringLiteral("A") : QStringLiteral("B"));
        p.setPen(kLocateColours[n]);
        p.drawLine(QPointF(x, 0), QPointF(x, kRulerHeight));
    }
}

void CTimelineArea::PaintLocates(QPainter& p) const {
    const int bottom = LaneTop(card::kTrackCount);
    for (int n = 0; n < 2; ++n) {
        const double x = XOf(m_song.locate[n]);
        if (!m_song.hasLocate[n] || x < kLabelWidth)
            continue;
        p.setPen(QPen(kLocateColours[n], 1.5));
        p.drawLine(QPointF(x, kRulerHeight), QPointF(x, bottom));
    }
}

void CTimelineArea::PaintLabels(QPainter& p) const {
    p.fillRect(0, 0, kLabelWidth, kRulerHeight, QColor(240, 241, 244));
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    for (int lane = 0; lane < card::kTrackCount; ++lane) {
        const QRect box(0, LaneTop(lane), kLabelWidth, kLaneHeight);
        if (box.bottom() < kRulerHeight)
            continue;
        const bool chosen = m_chosen[static_cast<size_t>(lane)];
        const bool inUse = m_song.tracks[static_cast<size_t>(lane)].InUse();
        p.fillRect(box, chosen ? kChosenLabel : kLaneColours[lane % 2].darker(104));
        p.setPen(chosen ? QColor(Qt::white) : inUse ? QColor(34, 34, 34) : QColor(160, 160, 160));
        p.drawText(box.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("TR%1").arg(lane + 1));
    }
    p.setPen(QColor(200, 200, 205));
    p.drawLine(kLabelWidth - 1, kRulerHeight, kLabelWidth - 1, viewport()->height());
}

CSongView::CSongView(wave::SongTimeline song, SongPeaks peaks, const QString& title,
                     const TrackChoice& chosen, QWidget* parent)
    : QDialog(parent), m_song(std::move(song)), m_peaks(std::move(peaks)) {
    setWindowTitle(QStringLiteral("Song view - %1").arg(title));
    m_area = new CTimelineArea(m_song, m_peaks, this);
    for (int t = 1; t <= card::kTrackCount; ++t)
        m_area->Choose(t, chosen[static_cast<size_t>(t - 1)]);

    auto* facts = new QLabel(
        QStringLiteral("Length %1    A %2    B %3")
            .arg(Text(m_song.TimeCodeText(m_song.length)),
                 m_song.hasLocate[0] ? Text(m_song.TimeCodeText(m_song.locate[0])) : QStringLiteral("-"),
                 m_song.hasLocate[1] ? Text(m_song.TimeCodeText(m_song.locate[1])) : QStringLiteral("-")),
        this);
    auto* hint = new QLabel(QStringLiteral("Click a track number to choose it."), this);
    auto* tick = new QPushButton(QStringLiteral("Tick on page"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    tick->setObjectName(QStringLiteral("tickOnPage"));
    close->setObjectName(QStringLiteral("close"));
    tick->setAutoDefault(false);
    close->setAutoDefault(false);
    connect(tick, &QPushButton::clicked, this, &QDialog::accept);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(facts);
    buttons->addStretch();
    buttons->addWidget(hint);
    buttons->addWidget(tick);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_area, 1);
    layout->addLayout(buttons);
    resize(1000, CTimelineArea::kRulerHeight + card::kTrackCount * CTimelineArea::kLaneHeight + 56);
    m_area->setFocus();
}

} // namespace gui
