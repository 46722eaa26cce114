#pragma once

#include <QString>

// Texts read from files as the windows show them: cut after a sane length with an
// ellipsis, and with break chances inside very long words, so that a text of any size
// keeps a window within the screen. The stored text is never changed.
namespace ShownText {

constexpr int PhraseLimit = 2000; // a phrase or a translation
constexpr int NameLimit = 200;    // a subject's name, a tree node, a window title
constexpr int ButtonLimit = 80;   // a text on a button, which cannot wrap
constexpr int LineLimit = 1000;   // a line of a message box
constexpr int MessageLines = 50;  // the lines of a message box

// The text cut to at most limit characters (and an ellipsis); shorter texts unchanged.
QString cut(const QString& text, int limit);
// cut(), then a zero-width space after every 100 characters of a run without blanks, so
// that a word-wrapped label can break it.
QString wrappable(const QString& text, int limit);
// A message box's text: every line cut to LineLimit, at most MessageLines lines (the last
// lines, which usually ask the question, are kept), and wrappable.
QString message(const QString& text);

} // namespace ShownText
