#include "platform/textformats/Zip.h"

#include <QHash>

#include <zip.h>

namespace {

Error corrupt(const QString& why)
{
    return Error::cocoa(kFileReadCorruptFileError, {}, why);
}

QString libzipMessage(zip_error_t* error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

} // namespace

struct ZipReader::State {
    QByteArray data;
    zip_t* archive = nullptr;
    Limits limits;
    qint64 totalRead = 0;
    // Member name to index in the archive.
    QHash<QString, zip_uint64_t> indexes;

    ~State()
    {
        if (archive)
            zip_discard(archive);
    }
};

ZipReader::ZipReader(std::unique_ptr<State> state) : m_state(std::move(state)) {}
ZipReader::~ZipReader() = default;
ZipReader::ZipReader(ZipReader&&) noexcept = default;
ZipReader& ZipReader::operator=(ZipReader&&) noexcept = default;

bool ZipReader::isUsableName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(u'\\'))
        return false;
    if (name.size() >= 2 && name[1] == u':')
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    for (const QStringView part : QStringView(name).split(u'/'))
        if (part == u"..")
            return false;
    return true;
}

QString ZipReader::safeBaseName(const QString& name)
{
    QString base = name.section(u'/', -1).section(u'\\', -1);
    QString out;
    out.reserve(base.size());
    for (const QChar c : base) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == u':' || u == u'*' || u == u'?' || u == u'"' || u == u'<' ||
            u == u'>' || u == u'|')
            continue;
        out.append(c);
    }
    while (out.startsWith(u'.'))
        out.remove(0, 1);
    out = out.left(120).trimmed();
    return out.isEmpty() ? QStringLiteral("attachment") : out;
}

std::optional<ZipReader> ZipReader::open(QByteArray data, Error* error, const Limits& limits)
{
    auto state = std::make_unique<State>();
    state->data = std::move(data);
    state->limits = limits;
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source =
        zip_source_buffer_create(state->data.constData(), zip_uint64_t(state->data.size()), 0, &zipError);
    if (source)
        state->archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zipError);
    if (!state->archive) {
        if (source)
            zip_source_free(source);
        setError(error, corrupt(QStringLiteral("The file is not a readable zip archive (%1).")
                                    .arg(libzipMessage(&zipError))));
        zip_error_fini(&zipError);
        return std::nullopt;
    }
    zip_error_fini(&zipError);
    const zip_int64_t count = zip_get_num_entries(state->archive, 0);
    if (count < 0 || count > limits.maxMembers) {
        setError(error, corrupt(QStringLiteral("The archive holds too many members.")));
        return std::nullopt;
    }
    QStringList names;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(state->archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        const QString name = QString::fromUtf8(raw);
        // A name met twice is ambiguous: only its first member counts.
        if (!isUsableName(name) || state->indexes.contains(name))
            continue;
        state->indexes.insert(name, zip_uint64_t(i));
        names.push_back(name);
    }
    ZipReader reader(std::move(state));
    reader.m_names = std::move(names);
    return reader;
}

std::optional<QByteArray> ZipReader::read(const QString& name, Error* error)
{
    State& s = *m_state;
    const auto it = s.indexes.constFind(name);
    if (it == s.indexes.constEnd()) {
        setError(error, corrupt(QStringLiteral("The archive has no member \"%1\".").arg(name)));
        return std::nullopt;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(s.archive, *it, 0, &stat) != 0) {
        setError(error, corrupt(QStringLiteral("The archive's member \"%1\" cannot be read.").arg(name)));
        return std::nullopt;
    }
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
        setError(error, corrupt(QStringLiteral("The archive's member \"%1\" is encrypted.").arg(name)));
        return std::nullopt;
    }
    const qint64 compressed =
        (stat.valid & ZIP_STAT_COMP_SIZE) ? qint64(std::min<zip_uint64_t>(stat.comp_size, 1ull << 62)) : 0;
    zip_file_t* file = zip_fopen_index(s.archive, *it, 0);
    if (!file) {
        setError(error, corrupt(QStringLiteral("The archive's member \"%1\" cannot be read (%2).")
                                    .arg(name, libzipMessage(zip_get_error(s.archive)))));
        return std::nullopt;
    }
    QByteArray out;
    char buffer[64 * 1024];
    QString failure;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            failure = QStringLiteral("The archive's member \"%1\" is damaged (%2).")
                          .arg(name, libzipMessage(zip_file_get_error(file)));
            break;
        }
        if (n == 0)
            break;
        const qint64 size = out.size() + n;
        if (size > s.limits.maxMemberBytes || s.totalRead + size > s.limits.maxTotalBytes ||
            (size > s.limits.maxRatioFreeBytes &&
             size > s.limits.maxRatio * std::max<qint64>(compressed, 1))) {
            failure = QStringLiteral("The archive's member \"%1\" inflates beyond what a document may hold.")
                          .arg(name);
            break;
        }
        out.append(buffer, qsizetype(n));
    }
    zip_fclose(file);
    if (!failure.isEmpty()) {
        setError(error, corrupt(failure));
        return std::nullopt;
    }
    s.totalRead += out.size();
    return out;
}

void ZipWriter::add(const QString& name, QByteArray data, bool compress)
{
    m_members.push_back(Member{name, std::move(data), compress});
}

std::optional<QByteArray> ZipWriter::finish(Error* error) const
{
    const auto fail = [error](const QString& why) {
        setError(error, Error::cocoa(kFileWriteUnknownError, {}, why));
        return std::nullopt;
    };
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &zipError);
    if (!target) {
        zip_error_fini(&zipError);
        return fail(QStringLiteral("The archive could not be made."));
    }
    zip_source_keep(target);
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &zipError);
    zip_error_fini(&zipError);
    if (!archive) {
        zip_source_free(target);
        return fail(QStringLiteral("The archive could not be made."));
    }
    bool ok = true;
    for (const Member& member : m_members) {
        // The buffer stays alive with this writer until zip_close has copied it.
        zip_source_t* source =
            zip_source_buffer(archive, member.data.constData(), zip_uint64_t(member.data.size()), 0);
        const QByteArray name = member.name.toUtf8();
        const zip_int64_t index =
            source ? zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE)
                   : -1;
        if (index < 0) {
            if (source)
                zip_source_free(source);
            ok = false;
            break;
        }
        // 1 January 1980, midnight: the first time the format can hold, the same on every run.
        constexpr zip_uint16_t kTime = 0;
        constexpr zip_uint16_t kDate = (0 << 9) | (1 << 5) | 1;
        if (zip_set_file_compression(archive, zip_uint64_t(index),
                                     member.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                     member.compress ? 6 : 0) != 0 ||
            zip_file_set_dostime(archive, zip_uint64_t(index), kTime, kDate, 0) != 0) {
            ok = false;
            break;
        }
    }
    if (!ok || zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(target);
        return fail(QStringLiteral("The archive could not be written."));
    }
    QByteArray out;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(target, &stat) == 0 && zip_source_open(target) == 0) {
        out.resize(qsizetype(stat.size));
        const zip_int64_t n = zip_source_read(target, out.data(), stat.size);
        zip_source_close(target);
        if (n != zip_int64_t(stat.size))
            out.clear();
    }
    zip_source_free(target);
    if (out.isEmpty())
        return fail(QStringLiteral("The archive could not be written."));
    return out;
}
