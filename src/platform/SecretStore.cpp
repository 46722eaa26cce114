// libsecret's header first: its GLib headers use names Qt's headers define as macros.
#include <libsecret/secret.h>

#include "SecretStore.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <dlfcn.h>

namespace SecretStore {

namespace {

// libsecret is loaded when present: the program runs without it, keeping the file.
struct Library
{
    decltype(&secret_password_store_sync) store = nullptr;
    decltype(&secret_password_lookup_sync) lookup = nullptr;
    decltype(&secret_password_clear_sync) clear = nullptr;
    decltype(&secret_password_free) free = nullptr;
    void (*freeError)(GError*) = nullptr;

    bool usable() const { return store && lookup && clear && free && freeError; }
};

const Library& library()
{
    static const Library loaded = [] {
        Library l;
        // Without a session bus, GLib would try to start one.
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            return l;
        void* handle = ::dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
        void* glib = handle ? ::dlopen("libglib-2.0.so.0", RTLD_NOW | RTLD_LOCAL) : nullptr;
        if (!handle || !glib)
            return l;
        l.store = reinterpret_cast<decltype(l.store)>(::dlsym(handle, "secret_password_store_sync"));
        l.lookup = reinterpret_cast<decltype(l.lookup)>(::dlsym(handle, "secret_password_lookup_sync"));
        l.clear = reinterpret_cast<decltype(l.clear)>(::dlsym(handle, "secret_password_clear_sync"));
        l.free = reinterpret_cast<decltype(l.free)>(::dlsym(handle, "secret_password_free"));
        l.freeError = reinterpret_cast<decltype(l.freeError)>(::dlsym(glib, "g_error_free"));
        return l;
    }();
    return loaded;
}

const SecretSchema* schema()
{
    static const SecretSchema s = {
        "org.parlanto.Password",
        SECRET_SCHEMA_NONE,
        {{"name", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &s;
}

// name TAB base64(password), one a line.
QMap<QString, QString> readFile()
{
    QMap<QString, QString> entries;
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            entries.insert(QString::fromUtf8(line.left(tab)),
                           QString::fromUtf8(QByteArray::fromBase64(line.mid(tab + 1))));
    }
    return entries;
}

bool writeFile(const QMap<QString, QString>& entries, QString* error)
{
    const QString path = fileName();
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    // Private before anything is in it.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (auto it = entries.begin(); it != entries.end(); ++it)
        file.write(it.key().toUtf8() + '\t' + it.value().toUtf8().toBase64() + '\n');
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool saveInDesktop(const QString& name, const QString& password)
{
    const Library& l = library();
    if (!l.usable())
        return false;
    GError* failure = nullptr;
    const gboolean ok =
        l.store(schema(), SECRET_COLLECTION_DEFAULT, "Parlanto class server", password.toUtf8().constData(),
                nullptr, &failure, "name", name.toUtf8().constData(), nullptr);
    if (failure)
        l.freeError(failure);
    return ok;
}

} // namespace

QString fileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Parlanto/passwords");
}

bool save(const QString& name, const QString& password, QString* error, Where* where)
{
    QMap<QString, QString> entries = readFile();
    if (saveInDesktop(name, password)) {
        if (where)
            *where = Where::Desktop;
        // Not kept twice.
        if (entries.remove(name) > 0)
            writeFile(entries, nullptr);
        return true;
    }
    if (where)
        *where = Where::File;
    entries.insert(name, password);
    return writeFile(entries, error);
}

std::optional<QString> load(const QString& name)
{
    const Library& l = library();
    if (l.usable()) {
        GError* failure = nullptr;
        gchar* found = l.lookup(schema(), nullptr, &failure, "name", name.toUtf8().constData(), nullptr);
        if (failure)
            l.freeError(failure);
        if (found) {
            const QString password = QString::fromUtf8(found);
            l.free(found);
            return password;
        }
    }
    const QMap<QString, QString> entries = readFile();
    if (entries.contains(name))
        return entries.value(name);
    return std::nullopt;
}

void remove(const QString& name)
{
    const Library& l = library();
    if (l.usable()) {
        GError* failure = nullptr;
        l.clear(schema(), nullptr, &failure, "name", name.toUtf8().constData(), nullptr);
        if (failure)
            l.freeError(failure);
    }
    QMap<QString, QString> entries = readFile();
    if (entries.remove(name) > 0)
        writeFile(entries, nullptr);
}

} // namespace SecretStore
