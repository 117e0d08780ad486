#pragma once
// The document window's drawing area: corner box, horizontal and vertical rulers,
// the label canvas with its field boxes, handles and guide lines, and scroll bars.
// It edits the Document it is given (drag, resize, Delete) through the undo bracket
// and tells its owner what happened through signals.
#include "model/document.h"
#include "model/sampledata.h"
#include <QVector>
#include <QWidget>

namespace quillon {

// What a palette item carries when it is dragged onto the canvas: the field index.
inline constexpr char kFieldMimeType[] = "application/x-quillon-field";

// What does not fit in a field, in the user's language ("Fits 13 of 22 characters").
QString FitText(const FieldFit& fit, bool barcode);

class LabelView : public QWidget {
    Q_OBJECT
public:
    explicit LabelView(Document& doc, QWidget* parent = nullptr);
    ~LabelView() override;

    Document& document() { return m_doc; }

    // Zoom 0.5..5.0 (screen mm per label mm); other values are ignored.
    void ApplyLabelScale(float sngScale);
    float m_sngLabelScale() const;

    // Re-place field i from its record (normalised into the label, snapped to dots).
    void AdjustLabel(int iIndex);
    void AdjustAllLabels();
    // -1 or a hidden field selects nothing. The selected field keeps the fields
    // selected with it; any other becomes the only one.
    void SelectField(int iSelectedControl);
    // The selected fields, the label's selected one last.
    QList<int> selection() const { return m_doc.selection(); }
    void SetSelection(const QList<int>& fields);
    // The placed field after (or before) the selected one, wrapping round.
    void SelectNextField(bool forward);
    // Takes the selected fields off the label as one undo step (not during a drag).
    void DeleteSelection();
    // A mouse drag is under way: other edits wait for its end.
    bool isDragging() const;

    // The largest zoom, in whole per cent, at which the rulers and the label fit
    // the window.
    float FitScale() const;

    // The visible grid and what snaps while dragging and resizing.
    struct GridOptions {
        bool visible = false;
        bool snapToGrid = false;
        float stepMM = 1.0f;
    };
    void SetGrid(const GridOptions& grid);
    GridOptions grid() const;
    // The sample item that marks fields without room (red outline, tool tip), and
    // whether the fields are drawn as they print with it.
    void SetSample(const SampleItem& item, bool preview);
    bool isPreview() const;
    std::optional<SampleItem> sample() const;

    // Lines the last drag step snapped to (label mm), for the guides; empty when none.
    QVector<float> snapGuidesX() const;
    QVector<float> snapGuidesY() const;

    void HoriRulerHotTrack(float position);   // label mm from the left, -1 removes the mark
    void VertRulerHotTrack(float position);   // label mm from the top, -1 removes the mark

    // Lays out the scroll bars for the current window and canvas size.
    void Form_Resize();
    // Twips one label millimetre occupies on the screen (valid after the first zoom).
    float m_sngXTwipsPerMM() const;
    float m_sngYTwipsPerMM() const;
    // Last hot-track positions (label mm), -1 when none.
    float horiHotTrack() const;
    float vertHotTrack() const;
    // Screen (logical) pixels per twip, from the widget's logical DPI.
    double pxPerTwipX() const;
    double pxPerTwipY() const;

signals:
    // The selection changed (field index or -1): refresh the property grid and status bar.
    // Also sent after each drag or resize step, so the grid follows the field.
    void selectionChanged(int field);
    // An edit of one field finished and was recorded for undo (drag, resize, Delete, nudge).
    void fieldEdited(int field);
    // A field was taken off the label with the Delete key (the palette must follow).
    void fieldRemoved(int field);
    // Double-click on a TEXT or SHOPNAME field.
    void editTextRequested(int field);
    // Ctrl+wheel: the zoom the user asked for (already in 10 % steps, clamped).
    void zoomRequested(float sngScale);
    // A right click (the selection already follows it), at this global position.
    void contextMenuRequested(const QPoint& globalPos);
    // A palette field dropped on the canvas: its top-left corner in label mm.
    void fieldDropped(int field, const QPointF& topLeftMM);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    struct Impl;
    Document& m_doc;
    Impl* d;
};

} // namespace quillon
