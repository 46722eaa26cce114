#pragma once

class QAbstractItemView;

// Two views in one window must never show the same selection colour: a view without the
// keyboard focus shows its selection muted (a blend of the selection and field colours,
// with the ordinary text colour), the focused one in the full selection colour.
namespace FocusedSelection {
void install(QAbstractItemView* view);
} // namespace FocusedSelection
