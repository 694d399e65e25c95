#include "TWaveformView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// A click within this many pixels of a suggestion picks it.
constexpr int ProposalReach = 4;
// The finest view: 10 ms across the widget.
constexpr double NarrowestMs = 10;

} // namespace

TWaveformView::TWaveformView(const TMarkerModel& markers, QWidget* parent)
    : QWidget(parent), Markers(markers) {
    setObjectName(QStringLiteral("Waveform"));
    setMinimumHeight(48);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("Click to move the play position, wheel to zoom; a dashed line "
                              "is a suggested point: click it to use it"));
}

void TWaveformView::SetAnalysis(std::optional<TAudioAnalysis> analysis, const QString& note) {
    Analysis = std::move(analysis);
    Note = note;
    Suggested = Analysis ? TCueSuggestions::From(*Analysis, {}) : TCueSuggestions{};
    DetailFrames.clear();
    StartMs = 0;
    EndMs = LengthMs();
    update();
}

void TWaveformView::SetPositionMs(uint32_t ms) {
    if (ms == PositionMs)
        return;
    PositionMs = ms;
    update();
}

double TWaveformView::LengthMs() const {
    if (Analysis && Analysis->SampleRate > 0)
        return static_cast<double>(Analysis->Frames) * 1000.0 / Analysis->SampleRate;
    return Markers.LengthMs;
}

void TWaveformView::ShowRange(double startMs, double endMs) {
    const double length = LengthMs();
    double span = std::clamp(endMs - startMs, std::min(NarrowestMs, length), length);
    startMs = std::clamp(startMs, 0.0, std::max(0.0, length - span));
    StartMs = startMs;
    EndMs = startMs + span;
    DetailFrames.clear();
    if (Analysis && Detail && width() > 0) {
        const double framesPerPixel = span / 1000.0 * Analysis->SampleRate / width();
        if (framesPerPixel < Analysis->Peaks.SamplesPerPixel) {
            DetailFirst = static_cast<uint64_t>(StartMs / 1000.0 * Analysis->SampleRate);
            const auto frames =
                static_cast<size_t>(std::ceil(span / 1000.0 * Analysis->SampleRate));
            DetailFrames = Detail(DetailFirst, frames + 1);
        }
    }
    update();
}

double TWaveformView::MsAt(int x) const {
    return width() > 0 ? StartMs + (EndMs - StartMs) * x / width() : 0;
}

int TWaveformView::XOf(double ms) const {
    return EndMs > StartMs
               ? static_cast<int>(std::lround((ms - StartMs) * width() / (EndMs - StartMs)))
               : 0;
}

void TWaveformView::ColumnRange(int x, int& low, int& high) {
    low = INT16_MAX;
    high = INT16_MIN;
    const TAudioAnalysis& a = *Analysis;
    const int channels = a.Channels;
    const double from = MsAt(x) / 1000.0 * a.SampleRate;
    const double to = MsAt(x + 1) / 1000.0 * a.SampleRate;
    if (!DetailFrames.empty()) {
        const size_t frames = DetailFrames.size() / channels;
        for (auto f = static_cast<size_t>(std::max(0.0, from - DetailFirst));
             f < frames && f + DetailFirst < to + 1; ++f)
            for (int c = 0; c < channels; ++c) {
                low = std::min<int>(low, DetailFrames[f * channels + c]);
                high = std::max<int>(high, DetailFrames[f * channels + c]);
            }
        return;
    }
    const TPeakOverview& peaks = a.Peaks;
    const size_t first = static_cast<size_t>(from) / peaks.SamplesPerPixel;
    const size_t last = std::max(first, static_cast<size_t>(to) / peaks.SamplesPerPixel);
    for (size_t pixel = first; pixel <= last && pixel < peaks.Pixels(); ++pixel)
        for (int c = 0; c < channels; ++c) {
            low = std::min<int>(low, peaks.MinMax[(pixel * channels + c) * 2]);
            high = std::max<int>(high, peaks.MinMax[(pixel * channels + c) * 2 + 1]);
        }
}

void TWaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& p = palette();
    painter.fillRect(rect(), p.color(QPalette::Base));
    const int h = height();
    const int middle = h / 2;
    if (!Analysis) {
        painter.setPen(p.color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, Note);
        return;
    }
    painter.setPen(p.color(QPalette::Mid));
    painter.drawLine(0, middle, width(), middle);
    // The wave between text and base, so the position (text) and the markers stand out in
    // light and dark palettes alike.
    const QColor text = p.color(QPalette::Text);
    const QColor base = p.color(QPalette::Base);
    painter.setPen(QColor((text.red() * 3 + base.red() * 2) / 5,
                          (text.green() * 3 + base.green() * 2) / 5,
                          (text.blue() * 3 + base.blue() * 2) / 5));
    for (int x = 0; x < width(); ++x) {
        int low = 0, high = 0;
        ColumnRange(x, low, high);
        if (low > high)
            continue;
        const int top = middle - high * (h / 2 - 1) / 32768;
        const int bottom = middle - low * (h / 2 - 1) / 32768;
        painter.drawLine(x, top, x, bottom);
    }

    const auto marker = [&](double ms, const QColor& colour, Qt::PenStyle style) {
        if (ms < StartMs || ms > EndMs)
            return;
        painter.setPen(QPen(colour, 1, style));
        const int x = XOf(ms);
        painter.drawLine(x, 0, x, h);
    };
    // Suggestions dashed in the link colour, markers solid in the highlight colour.
    const QColor proposal = p.color(QPalette::Link);
    if (Suggested.SoundStartMs >= 0)
        marker(Suggested.SoundStartMs, proposal, Qt::DashLine);
    if (Suggested.SoundEndMs >= 0)
        marker(Suggested.SoundEndMs, proposal, Qt::DashLine);
    if (Suggested.SegueMs >= 0)
        marker(Suggested.SegueMs, proposal, Qt::DashLine);
    const QColor point = p.color(QPalette::Highlight);
    if (Markers.IntroMs > 0)
        marker(Markers.IntroMs, point, Qt::SolidLine);
    if (Markers.SegueMs > 0)
        marker(static_cast<double>(Markers.LengthMs) - Markers.SegueMs, point, Qt::SolidLine);
    if (Markers.HookStartMs >= 0)
        marker(Markers.HookStartMs, point, Qt::DotLine);
    if (Markers.HookEndMs > 0)
        marker(Markers.HookEndMs, point, Qt::DotLine);
    marker(PositionMs, text, Qt::SolidLine);
}

std::optional<std::pair<TWaveformView::TProposal, uint32_t>>
TWaveformView::ProposalAt(int x) const {
    const std::pair<TProposal, int64_t> points[] = {{TProposal::Segue, Suggested.SegueMs},
                                                    {TProposal::SoundStart, Suggested.SoundStartMs},
                                                    {TProposal::SoundEnd, Suggested.SoundEndMs}};
    for (const auto& [kind, ms] : points)
        if (ms >= 0 && ms >= StartMs && ms <= EndMs && std::abs(XOf(ms) - x) <= ProposalReach)
            return std::make_pair(kind, static_cast<uint32_t>(ms));
    return std::nullopt;
}

void TWaveformView::mousePressEvent(QMouseEvent* event) {
    if (!Analysis || event->button() != Qt::LeftButton)
        return;
    const int x = static_cast<int>(event->position().x());
    if (const auto proposal = ProposalAt(x)) {
        emit ProposalPicked(proposal->first, proposal->second);
        return;
    }
    emit PositionPicked(static_cast<uint32_t>(std::clamp(MsAt(x), 0.0, LengthMs())));
}

void TWaveformView::wheelEvent(QWheelEvent* event) {
    if (!Analysis || event->angleDelta().y() == 0)
        return;
    const double at = MsAt(static_cast<int>(event->position().x()));
    const double factor = event->angleDelta().y() > 0 ? 0.5 : 2.0;
    const double start = at - (at - StartMs) * factor;
    const double end = at + (EndMs - at) * factor;
    ShowRange(start, end);
    event->accept();
}
