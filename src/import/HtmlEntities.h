#pragma once

#include <QString>
#include <QStringView>

// The text an HTML named character reference stands for ("egrave" gives "è", "amacr" "ā"),
// from the whole table of names HTML defines; "" for a name it does not define.
QString htmlEntity(QStringView name);
