#include "Pictures.h"

namespace Pictures {
QIcon treeImage(int) { return QIcon(); }
QIcon learner(int) { return QIcon(); }
QPixmap editionLogo(int, const QSize&) { return QPixmap(); }
QPixmap background(const QString&) { return QPixmap(); }
QPixmap menuBullet() { return QPixmap(); }
QIcon programIcon() { return QIcon(); }
QIcon adminPicture(int) { return QIcon(); }
} // namespace Pictures
