#include "KivUtilities/AttributedReadOnlyTextEditor.h"

#include <QTextCursor>

namespace KivUtilities {

AttributedReadOnlyTextEditor::AttributedReadOnlyTextEditor(const QTextDocumentFragment &text, QWidget *parent)
    : QTextEdit(parent)
{
    setObjectName(QStringLiteral("AttributedReadOnlyTextEditor"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    setViewportMargins(horizontalInset, verticalInset, horizontalInset, verticalInset);
    setAttributedString(text);
}

void AttributedReadOnlyTextEditor::setAttributedString(const QTextDocumentFragment &text)
{
    document()->clear();
    QTextCursor cursor(document());
    cursor.insertFragment(text);
}

} // namespace KivUtilities
