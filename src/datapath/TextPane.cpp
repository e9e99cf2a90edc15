#include "datapath/TextPane.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "base/Cp1252.h"

namespace pv {

namespace {

constexpr int kPanePointSize = 8;

QString paneText(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        *out++ = QChar(cp1252ToUnicode(static_cast<uint8_t>(c)));
    }
    return text;
}

}  // namespace

QFont paneFont() {
    QFont font(QStringLiteral("Courier New"), kPanePointSize);
    // Lets the font matcher pick a monospace face where Courier New is not installed.
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(kPanePointSize);
    }
    return font;
}

QTextCharFormat paneCharFormat(PaneFormat format) {
    QTextCharFormat chars;
    chars.setFont(paneFont());
    switch (format) {
        case PaneFormat::SideA:
            chars.setForeground(QColor(255, 0, 0));
            break;
        case PaneFormat::SideB:
            chars.setForeground(QColor(0, 128, 0));
            break;
        case PaneFormat::Highlight:
            chars.setForeground(QColor(0, 0, 255));
            break;
    }
    return chars;
}

TextPane::TextPane(QWidget* parent) : edit_(new QPlainTextEdit(parent)) {
    for (PaneFormat format : {PaneFormat::SideA, PaneFormat::SideB, PaneFormat::Highlight}) {
        formats_[static_cast<int>(format)] = paneCharFormat(format);
    }
    edit_->setReadOnly(true);
    edit_->setUndoRedoEnabled(false);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setFont(formats_[0].font());
    edit_->setCurrentCharFormat(formats_[0]);
}

void TextPane::append(std::string_view text, PaneFormat format) {
    model_.append(text, format);
}

int TextPane::removeLeadingRows(int rows) {
    return model_.removeLeadingRows(rows);
}

void TextPane::setFormat(int start, int end, PaneFormat format) {
    model_.setFormat(start, end, format);
}

void TextPane::clear() {
    model_.clear();
}

bool TextPane::sync() {
    const int64_t start = model_.firstPosition();
    const int64_t end = model_.endPosition();
    int64_t from = std::min(model_.changedFrom(), shownEnd_);
    const bool rebuild = model_.generation() != shownGeneration_ || from < start;
    if (!rebuild && from >= end && start == shownStart_) {
        model_.markShown();
        return false;
    }
    QTextDocument* doc = edit_->document();
    if (rebuild) {
        doc->setMaximumBlockCount(0);
        doc->clear();
        shownStart_ = start;
        from = start;
    } else if (from < shownEnd_) {
        // Recoloured text at the end is taken out and inserted again in its new format.
        QTextCursor tail(doc);
        tail.setPosition(static_cast<int>(from - shownStart_));
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    }
    // The widget drops the rows at the top that the model dropped: after the insertion it holds
    // exactly the model's lines.
    doc->setMaximumBlockCount(model_.lineCount());
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    const std::string_view text = model_.textFrom(from);
    for (const PaneSpan& span : model_.spans(from)) {
        cursor.insertText(paneText(text.substr(static_cast<size_t>(span.start - from),
                                               static_cast<size_t>(span.end - span.start))),
                          formats_[static_cast<int>(span.format)]);
    }
    cursor.endEditBlock();
    shownStart_ = start;
    shownEnd_ = end;
    shownGeneration_ = model_.generation();
    model_.markShown();
    return true;
}

}  // namespace pv
