#include "platform/foundation/Gzip.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace {

// zlib counts in 32-bit units; larger buffers go through in pieces of this size.
constexpr qsizetype kMaxPiece = qsizetype(std::numeric_limits<uInt>::max() / 2);
constexpr qsizetype kOutputChunk = 64 * 1024;
// deflateInit2 and inflateInit2 take the window size plus 16 for gzip, plus 32 to detect
// gzip or zlib from the header.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kDetectWindowBits = 15 + 32;

Error gzipError(qint64 code, const QString& reason)
{
    return Error::cocoa(code, QUrl(), reason);
}

bool isGzipMagic(const char* p, qsizetype available)
{
    return available >= 2 && quint8(p[0]) == 0x1f && quint8(p[1]) == 0x8b;
}

// Streams end with what tape and block devices pad them with: zero bytes are not a new member.
bool isZeroPadding(const char* p, qsizetype available)
{
    return std::all_of(p, p + available, [](char c) { return c == 0; });
}

class Inflater {
public:
    Inflater() { m_ok = inflateInit2(&m_stream, kDetectWindowBits) == Z_OK; }
    ~Inflater()
    {
        if (m_ok)
            inflateEnd(&m_stream);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    std::optional<QByteArray> run(const QByteArray& data, qsizetype maxSize, Error* error)
    {
        if (!m_ok) {
            setError(error,
                     gzipError(kFileReadUnknownError, QStringLiteral("The decompressor could not start.")));
            return std::nullopt;
        }
        if (data.isEmpty()) {
            setError(error,
                     gzipError(kFileReadCorruptFileError, QStringLiteral("The compressed data are empty.")));
            return std::nullopt;
        }

        QByteArray output;
        char chunk[kOutputChunk];
        const char* input = data.constData();
        qsizetype remaining = data.size();
        while (true) {
            if (m_stream.avail_in == 0 && remaining > 0) {
                const qsizetype piece = std::min(remaining, kMaxPiece);
                m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
                m_stream.avail_in = uInt(piece);
                input += piece;
                remaining -= piece;
            }
            m_stream.next_out = reinterpret_cast<Bytef*>(chunk);
            m_stream.avail_out = uInt(sizeof chunk);
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            const qsizetype produced = qsizetype(sizeof chunk) - qsizetype(m_stream.avail_out);
            if (produced > maxSize - output.size()) {
                setError(error,
                         gzipError(kFileReadTooLargeError,
                                   QStringLiteral("The data inflate to more than %1 bytes.").arg(maxSize)));
                return std::nullopt;
            }
            output.append(chunk, produced);

            if (status == Z_STREAM_END) {
                const qsizetype consumed = qsizetype(input - data.constData()) - qsizetype(m_stream.avail_in);
                const char* rest = data.constData() + consumed;
                const qsizetype restSize = data.size() - consumed;
                if (restSize == 0 || isZeroPadding(rest, restSize))
                    return output;
                if (!isGzipMagic(rest, restSize)) {
                    setError(error,
                             gzipError(kFileReadCorruptFileError,
                                       QStringLiteral("Unexpected data after the compressed stream.")));
                    return std::nullopt;
                }
                // Another member follows, as concatenated gzip files do; the stream's input
                // already points at it.
                inflateReset(&m_stream);
                continue;
            }
            if (status == Z_BUF_ERROR && m_stream.avail_in == 0 && remaining == 0) {
                setError(error, gzipError(kFileReadCorruptFileError,
                                          QStringLiteral("The compressed data are truncated.")));
                return std::nullopt;
            }
            if (status != Z_OK && status != Z_BUF_ERROR) {
                const QString detail =
                    m_stream.msg ? QString::fromLatin1(m_stream.msg) : QStringLiteral("damaged");
                setError(error,
                         gzipError(kFileReadCorruptFileError,
                                   QStringLiteral("The compressed data are damaged (%1).").arg(detail)));
                return std::nullopt;
            }
        }
    }

private:
    z_stream m_stream{};
    bool m_ok = false;
};

} // namespace

QByteArray gzip(const QByteArray& data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return QByteArray();

    QByteArray output;
    char chunk[kOutputChunk];
    const char* input = data.constData();
    qsizetype remaining = data.size();
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0 && remaining > 0) {
            const qsizetype piece = std::min(remaining, kMaxPiece);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
            stream.avail_in = uInt(piece);
            input += piece;
            remaining -= piece;
        }
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = uInt(sizeof chunk);
        status = deflate(&stream, remaining > 0 ? Z_NO_FLUSH : Z_FINISH);
        if (status == Z_STREAM_ERROR)
            break;
        output.append(chunk, qsizetype(sizeof chunk) - qsizetype(stream.avail_out));
    }
    deflateEnd(&stream);
    return status == Z_STREAM_END ? output : QByteArray();
}

std::optional<QByteArray> gunzip(const QByteArray& data, qsizetype maxSize, Error* error)
{
    return Inflater().run(data, std::max<qsizetype>(maxSize, 0), error);
}
