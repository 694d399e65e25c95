#pragma once

#include "TAudioAnalysis.h"
#include "TCueSuggestions.h"
#include "TMarkerModel.h"

#include <QWidget>

#include <functional>
#include <optional>

// The auditioned file's waveform above the track bar: the peak overview with the intro,
// segue and hook markers, the play position and the suggested points drawn on it. A click
// asks for that position (PositionPicked), a click on a suggestion asks for it
// (ProposalPicked), and the mouse wheel zooms around the cursor. At a zoom finer than the
// overview (fewer frames per pixel than it holds) the visible stretch is decoded anew at
// full detail. Colours come from the palette.
class TWaveformView : public QWidget {
    Q_OBJECT

public:
    enum class TProposal { SoundStart, SoundEnd, Segue };

    explicit TWaveformView(const TMarkerModel& markers, QWidget* parent = nullptr);

    // The file's analysis (none: an empty view saying why, e.g. "Measuring...").
    void SetAnalysis(std::optional<TAudioAnalysis> analysis, const QString& note = QString());
    bool HasAnalysis() const { return Analysis.has_value(); }
    const TCueSuggestions& Proposals() const { return Suggested; }
    void SetPositionMs(uint32_t ms);
    // Decodes [firstFrame, firstFrame + frames) of the file at full detail, interleaved.
    using TDetailSource = std::function<std::vector<int16_t>(uint64_t firstFrame, size_t frames)>;
    void SetDetailSource(TDetailSource source) { Detail = std::move(source); }

    // The visible stretch in ms.
    double ViewStartMs() const { return StartMs; }
    double ViewEndMs() const { return EndMs; }
    // A stretch of the file in view, clamped to the file (tests and the wheel).
    void ShowRange(double startMs, double endMs);
    // Whether the view draws a stretch decoded at full detail (a zoom finer than the overview).
    bool ShowsDetail() const { return !DetailFrames.empty(); }
    // The ms at a horizontal pixel, and back.
    double MsAt(int x) const;
    int XOf(double ms) const;

    QSize sizeHint() const override { return {400, 64}; }

signals:
    void PositionPicked(uint32_t ms);
    void ProposalPicked(TProposal proposal, uint32_t ms);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    double LengthMs() const;
    // Min and max of every channel together over the frames a pixel column covers.
    void ColumnRange(int x, int& low, int& high);
    std::optional<std::pair<TProposal, uint32_t>> ProposalAt(int x) const;

    const TMarkerModel& Markers;
    std::optional<TAudioAnalysis> Analysis;
    TCueSuggestions Suggested;
    QString Note;
    uint32_t PositionMs = 0;
    double StartMs = 0;
    double EndMs = 0;
    TDetailSource Detail;
    // The stretch decoded at full detail for the current view (empty when not zoomed in).
    std::vector<int16_t> DetailFrames;
    uint64_t DetailFirst = 0;
};
