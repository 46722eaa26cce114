#pragma once

#include <QString>

// Writes a template database with the users tables and views of "Parlanto.tpl" (empty),
// as the build makes it; tests and the benchmark make their own in temporary folders.
namespace UsersTemplate {
bool write(const QString& path, QString* error = nullptr);
}
