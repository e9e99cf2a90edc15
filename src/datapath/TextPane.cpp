#include "datapath/TextPane.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Cp1252.h"

namespace pv {

namespace {

constexpr int kPanePointSize = 8;

QString paneText(std::string_view bytes, const PaneGlyphs& glyphs) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        *out++ = glyphs[static_cast<uint8_t>(c)];
    }
    return text;
}

}  // namespace

PaneGlyphs::PaneGlyphs(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal cell = metrics.horizontalAdvance(QChar('0'));
    // Present in the font (or a fallback the font engine takes) and drawn at the cell width;
    // a missing glyph would show the font's box, which has the cell width too.
    const auto fits = [&](char16_t glyph) {
        return metrics.inFontUcs4(glyph) &&
               std::abs(metrics.horizontalAdvance(QString(QChar(glyph))) - cell) < 0.01;
    };
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        glyphs_[byte] = QChar(cp1252ToUnicode(byte));
        if (byte < 0x20) {
            continue;
        }
        const std::u16string candidates = screenGlyphCandidates(byte);
        const auto found = std::find_if(candidates.begin(), candidates.end(), fits);
        if (found == candidates.end() || (byte < 0x7F && found != candidates.begin())) {
            uniform_ = false;
            continue;
        }
        glyphs_[byte] = QChar(*found);
    }
}

// QFontInfo::fixedPitch() is no guide: it is false for Noto Sans Mono and true for faces whose
// fallbacks draw some characters wider. What counts is the width of what the pane shows.
QFont paneFont() {
    QFont preferred(QStringLiteral("Courier New"), kPanePointSize);
    // Lets the font matcher pick a monospace face where Courier New is not installed.
    preferred.setStyleHint(QFont::TypeWriter);
    if (PaneGlyphs(preferred).uniform()) {
        return preferred;
    }
    std::vector<QFont> others = {QFontDatabase::systemFont(QFontDatabase::FixedFont)};
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family)) {
            others.emplace_back(family);
        }
    }
    for (QFont& font : others) {
        font.setPointSize(kPanePointSize);
        if (PaneGlyphs(font).uniform()) {
            return font;
        }
    }
    return preferred;
}

QTextCharFormat paneCharFormat(PaneFormat format, const QFont& font) {
    QTextCharFormat chars;
    chars.setFont(font);
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

TextPane::TextPane(QWidget* parent)
    : edit_(new QPlainTextEdit(parent)), font_(paneFont()), glyphs_(font_) {
    for (PaneFormat format : {PaneFormat::SideA, PaneFormat::SideB, PaneFormat::Highlight}) {
        formats_[static_cast<int>(format)] = paneCharFormat(format, font_);
    }
    edit_->setReadOnly(true);
    edit_->setUndoRedoEnabled(false);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setFont(formats_[0].font());
    edit_->setCurrentCharFormat(formats_[0]);
}

void TextPane::setPointSize(int points) {
    if (points == font_.pointSize()) {
        return;
    }
    font_.setPointSize(points);
    glyphs_ = PaneGlyphs(font_);
    for (PaneFormat format : {PaneFormat::SideA, PaneFormat::SideB, PaneFormat::Highlight}) {
        formats_[static_cast<int>(format)] = paneCharFormat(format, font_);
    }
    edit_->setFont(font_);
    edit_->setCurrentCharFormat(formats_[0]);
    restyled_ = true;
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
    const bool rebuild = model_.generation() != shownGeneration_ || from < start || restyled_;
    restyled_ = false;
    droppedAtTop_ = 0;
    if (!rebuild && from >= end && start == shownStart_) {
        model_.markShown();
        return false;
    }
    if (model_.generation() == shownGeneration_) {
        droppedAtTop_ = static_cast<int>(model_.firstRow() - shownFirstRow_);
    }
    shownFirstRow_ = model_.firstRow();
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
                                               static_cast<size_t>(span.end - span.start)),
                                   glyphs_),
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
