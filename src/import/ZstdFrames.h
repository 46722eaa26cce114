#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

// Data compressed with zstd (Anki's newest packages), decompressed with Debian's libzstd
// within a limit: a frame states the size it decompresses to, and one stating more than the
// limit is refused before a byte of it is decompressed; one that does not state it is
// decompressed only up to the limit and refused there.
namespace ZstdFrames {

// Whether bytes start with a zstd frame's magic number.
bool startsFrame(QByteArrayView bytes);

// The whole of compressed, at most limit bytes; otherwise nothing, with the reason.
std::optional<QByteArray> decompress(QByteArrayView compressed, qint64 limit, QString* error);

// Decompresses what read gives (it fills a buffer and returns the bytes given, 0 at the end,
// -1 on a failure it describes in *error) into out, at most limit bytes.
using Reader = std::function<qint64(char* buffer, qint64 size, QString* error)>;
bool decompressStream(const Reader& read, QIODevice& out, qint64 limit, QString* error);

} // namespace ZstdFrames
