#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn from SVG sources kept as resources.
namespace Pictures {

// Tree pictures 1..11: closed/open fixed folder, closed/open virtual folder, subject,
// selected subject, virtual subject, selected virtual subject, phrase, virtual phrase,
// failed subject. 0 or out of range gives a null icon.
QIcon treeImage(int number);
// Learner pictures 1..40 (the login list and the profile window).
QIcon learner(int number);
constexpr int LearnerCount = 40;
// Edition logos in edition-table order, 1..8.
QPixmap editionLogo(int row, const QSize& size);
// Tiled window backgrounds: "main", "splash", "login", "message".
QPixmap background(const QString& name);
QPixmap menuBullet();
QIcon programIcon();
// Pictures 41..43 of the administration window's list (activity, subject, learner results).
QIcon adminPicture(int number);

} // namespace Pictures
