#include "ZstdFrames.h"

#include "import/VocabularySource.h"

#include <zstd.h>

#include <memory>

namespace {

struct FreeContext
{
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};
using Context = std::unique_ptr<ZSTD_DCtx, FreeContext>;

QString tooLarge(unsigned long long size, qint64 limit)
{
    return QStringLiteral("it decompresses to %1, more than the %2 taken")
        .arg(megabytes(qint64(std::min<unsigned long long>(size, 1ULL << 62))), megabytes(limit));
}

// The size the data's frames state, checked against the limit: false with the reason when
// it is damaged or states more; *known is false when a frame does not state its size.
bool checkStatedSize(unsigned long long stated, qint64 limit, bool* known, QString* error)
{
    *known = false;
    if (stated == ZSTD_CONTENTSIZE_ERROR) {
        *error = QStringLiteral("it is not data compressed with zstd");
        return false;
    }
    if (stated == ZSTD_CONTENTSIZE_UNKNOWN)
        return true;
    if (stated > (unsigned long long)limit) {
        *error = tooLarge(stated, limit);
        return false;
    }
    *known = true;
    return true;
}

// What the frames of the data state they decompress to together: ZSTD_CONTENTSIZE_UNKNOWN
// when one does not state it, ZSTD_CONTENTSIZE_ERROR when one is damaged.
unsigned long long statedSize(QByteArrayView data)
{
    unsigned long long total = 0;
    const char* at = data.data();
    size_t left = size_t(data.size());
    bool unknown = false;
    if (left == 0)
        return ZSTD_CONTENTSIZE_ERROR;
    while (left > 0) {
        const unsigned long long size = ZSTD_getFrameContentSize(at, left);
        if (size == ZSTD_CONTENTSIZE_ERROR)
            return size;
        const size_t frame = ZSTD_findFrameCompressedSize(at, left);
        if (ZSTD_isError(frame) || frame > left)
            return ZSTD_CONTENTSIZE_ERROR;
        if (size == ZSTD_CONTENTSIZE_UNKNOWN)
            unknown = true;
        else
            total = size > ~0ULL - 3 - total ? ~0ULL - 3 : total + size; // stays above any limit
        at += frame;
        left -= frame;
    }
    return unknown && total == 0 ? ZSTD_CONTENTSIZE_UNKNOWN : total;
}

} // namespace

namespace ZstdFrames {

bool startsFrame(QByteArrayView bytes)
{
    return bytes.size() >= 4 && quint8(bytes[0]) == 0x28 && quint8(bytes[1]) == 0xB5 &&
           quint8(bytes[2]) == 0x2F && quint8(bytes[3]) == 0xFD;
}

std::optional<QByteArray> decompress(QByteArrayView compressed, qint64 limit, QString* error)
{
    bool known = false;
    if (!checkStatedSize(statedSize(compressed), limit, &known, error))
        return std::nullopt;
    const Context context(ZSTD_createDCtx());
    if (!context) {
        *error = QStringLiteral("no memory to decompress it");
        return std::nullopt;
    }
    QByteArray out;
    ZSTD_inBuffer in{compressed.data(), size_t(compressed.size()), 0};
    QByteArray block(qsizetype(ZSTD_DStreamOutSize()), Qt::Uninitialized);
    size_t pending = 1;
    while (in.pos < in.size || pending != 0) {
        ZSTD_outBuffer o{block.data(), size_t(block.size()), 0};
        pending = ZSTD_decompressStream(context.get(), &o, &in);
        if (ZSTD_isError(pending)) {
            *error =
                QStringLiteral("it is damaged (%1)").arg(QString::fromLatin1(ZSTD_getErrorName(pending)));
            return std::nullopt;
        }
        if (out.size() + qint64(o.pos) > limit) {
            *error = tooLarge((unsigned long long)out.size() + o.pos, limit);
            return std::nullopt;
        }
        out.append(block.constData(), qsizetype(o.pos));
        if (in.pos == in.size && o.pos < o.size && pending != 0) {
            *error = QStringLiteral("it is cut short");
            return std::nullopt;
        }
    }
    return out;
}

bool decompressStream(const Reader& read, QIODevice& out, qint64 limit, QString* error)
{
    const Context context(ZSTD_createDCtx());
    if (!context) {
        *error = QStringLiteral("no memory to decompress it");
        return false;
    }
    QByteArray input(qsizetype(ZSTD_DStreamInSize()), Qt::Uninitialized);
    QByteArray block(qsizetype(ZSTD_DStreamOutSize()), Qt::Uninitialized);
    qint64 written = 0;
    bool first = true;
    size_t pending = 0;
    // One call of the decompressor: what it gives out is written, within the limit.
    const auto step = [&](ZSTD_inBuffer& in, size_t* given) {
        ZSTD_outBuffer o{block.data(), size_t(block.size()), 0};
        pending = ZSTD_decompressStream(context.get(), &o, &in);
        if (ZSTD_isError(pending)) {
            *error = QStringLiteral("it is damaged (%1)").arg(QString::fromLatin1(ZSTD_getErrorName(pending)));
            return false;
        }
        if (written + qint64(o.pos) > limit) {
            *error = tooLarge((unsigned long long)(written + qint64(o.pos)), limit);
            return false;
        }
        if (out.write(block.constData(), qint64(o.pos)) != qint64(o.pos)) {
            *error = QStringLiteral("it cannot be written: %1").arg(out.errorString());
            return false;
        }
        written += qint64(o.pos);
        *given = o.pos;
        return true;
    };
    for (;;) {
        const qint64 got = read(input.data(), input.size(), error);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (first) {
            // The first frame's header is in the first block read: its stated size is checked
            // before anything is decompressed.
            bool known = false;
            if (!checkStatedSize(ZSTD_getFrameContentSize(input.constData(), size_t(got)), limit, &known,
                                 error))
                return false;
            first = false;
        }
        ZSTD_inBuffer in{input.constData(), size_t(got), 0};
        size_t given = 0;
        while (in.pos < in.size) {
            if (!step(in, &given))
                return false;
        }
    }
    // What the context still holds of the last frame, given out by calls without input.
    while (!first && pending != 0) {
        ZSTD_inBuffer in{nullptr, 0, 0};
        size_t given = 0;
        if (!step(in, &given))
            return false;
        if (given == 0)
            break; // nothing more without input: the data ends inside a frame
    }
    if (first || pending != 0) {
        *error = first ? QStringLiteral("it is empty") : QStringLiteral("it is cut short");
        return false;
    }
    return true;
}

} // namespace ZstdFrames
