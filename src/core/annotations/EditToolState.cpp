#include "core/annotations/EditToolState.h"

#include <algorithm>

void EditToolState::setTool(PdfEditTool tool)
{
    m_tool = tool;
    if (tool == PdfEditTool::highlighter) {
        m_highlighterThickness = std::max(m_highlighterThickness, minimumHighlighterThickness);
        m_drawThickness = m_highlighterThickness;
        m_drawOpacity = m_highlighterOpacity;
    } else {
        m_drawThickness = m_penThickness;
        m_drawOpacity = m_penOpacity;
    }
}

void EditToolState::setThickness(double thickness)
{
    m_drawThickness = thickness;
    (highlighterMode() ? m_highlighterThickness : m_penThickness) = thickness;
}

void EditToolState::setOpacity(double opacity)
{
    m_drawOpacity = opacity;
    (highlighterMode() ? m_highlighterOpacity : m_penOpacity) = opacity;
}

StrokeRecord EditToolState::stroke(const QList<PointRecord> &points) const
{
    StrokeRecord stroke;
    stroke.points = points;
    stroke.color = highlighterMode() ? m_highlighterColor : m_drawColor;
    stroke.thickness = m_drawThickness;
    stroke.opacity = m_drawOpacity;
    stroke.isHighlighter = highlighterMode();
    return stroke;
}

TextRecord EditToolState::note(const PointRecord &position, const QString &text) const
{
    TextRecord note;
    note.position = position;
    note.text = text;
    note.color = m_drawColor;
    note.opacity = m_penOpacity;
    note.fontSize = noteFontSize;
    return note;
}
