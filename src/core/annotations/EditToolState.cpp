#include "core/annotations/EditToolState.h"

#include <algorithm>

void EditToolState::setTool(PdfEditTool tool)
{
    m_tool = tool;
    if (tool == PdfEditTool::highlighter)
        m_highlighterThickness = std::max(m_highlighterThickness, minimumHighlighterThickness);
}

StrokeRecord EditToolState::stroke(const QList<PointRecord> &points) const
{
    StrokeRecord stroke;
    stroke.points = points;
    stroke.color = highlighterMode() ? m_highlighterColor : m_drawColor;
    stroke.thickness = drawThickness();
    stroke.opacity = drawOpacity();
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
