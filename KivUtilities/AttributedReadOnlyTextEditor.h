#pragma once

#include <QTextDocumentFragment>
#include <QTextEdit>

namespace KivUtilities {

// Styled text shown read-only in a scrolling view without a background: not editable, not
// selectable, 20 points of inset left and right and 22 above and below. The text's own colours win
// over the standard text colour.
class AttributedReadOnlyTextEditor : public QTextEdit
{
    Q_OBJECT
public:
    static constexpr int horizontalInset = 20;
    static constexpr int verticalInset = 22;

    explicit AttributedReadOnlyTextEditor(const QTextDocumentFragment &text = {}, QWidget *parent = nullptr);

    // Replaces the whole contents, formats included.
    void setAttributedString(const QTextDocumentFragment &text);
};

} // namespace KivUtilities
