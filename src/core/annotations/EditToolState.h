#pragma once

#include "core/annotations/PdfEditCacheFile.h"

enum class PdfEditTool { pen, text, highlighter };

// The annotation tools and their settings. The pen and the highlighter keep their own thickness and
// opacity; the text tool uses the pen's, and its colour. The settings in use (drawThickness(),
// drawOpacity()) are always those of the chosen tool, and a change of them is the chosen tool's.
class EditToolState {
public:
    static constexpr double minimumHighlighterThickness = 8;
    static constexpr double noteFontSize = 16;

    PdfEditTool tool() const { return m_tool; }
    bool addTextMode() const { return m_tool == PdfEditTool::text; }

    // Choosing the highlighter raises its thickness to the minimum.
    void setTool(PdfEditTool tool);

    double drawThickness() const { return highlighterMode() ? m_highlighterThickness : m_penThickness; }
    double drawOpacity() const { return highlighterMode() ? m_highlighterOpacity : m_penOpacity; }
    void setThickness(double thickness)
    {
        (highlighterMode() ? m_highlighterThickness : m_penThickness) = thickness;
    }
    void setOpacity(double opacity) { (highlighterMode() ? m_highlighterOpacity : m_penOpacity) = opacity; }

    const ColorRecord &drawColor() const { return m_drawColor; }
    const ColorRecord &highlighterColor() const { return m_highlighterColor; }
    void setDrawColor(const ColorRecord &color) { m_drawColor = color; }
    void setHighlighterColor(const ColorRecord &color) { m_highlighterColor = color; }

    // A stroke of the chosen tool through the points (page space).
    StrokeRecord stroke(const QList<PointRecord> &points) const;
    // A note in the pen's colour and opacity.
    TextRecord note(const PointRecord &position, const QString &text) const;

private:
    bool highlighterMode() const { return m_tool == PdfEditTool::highlighter; }
    PdfEditTool m_tool = PdfEditTool::pen;
    ColorRecord m_drawColor{1, 59 / 255.0, 48 / 255.0, 1};
    ColorRecord m_highlighterColor{1, 204 / 255.0, 0, 1};
    double m_penThickness = 3;
    double m_penOpacity = 1;
    double m_highlighterThickness = 10;
    double m_highlighterOpacity = 0.28;
};
