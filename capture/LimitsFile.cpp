#include "LimitsFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <toml++/toml.h>

#include <cmath>
#include <functional>
#include <sstream>

namespace {

// Larger files are not limits files; reading one whole would only waste memory.
constexpr qint64 largestLimitsFile = 1 << 20;

// Which histogram can measure a limit.
enum class Family { Linearity, DcNoise, Dynamic };

struct LimitKey
{
    const char *key;
    Family family;
    double low;
    double high;
    bool whole; // a count: an integer in the file
    std::function<void(CaptureLimits &, double)> set;
};

const std::vector<LimitKey> &limitKeys()
{
    static const std::vector<LimitKey> keys = {
        {"max_dnl", Family::Linearity, 0, 4096, false,
            [](CaptureLimits &l, double v) { l.maxDnl = v; }},
        {"max_inl", Family::Linearity, 0, 4096, false,
            [](CaptureLimits &l, double v) { l.maxInl = v; }},
        {"max_missing", Family::Linearity, 0, 4096, true,
            [](CaptureLimits &l, double v) { l.maxMissing = int(v); }},
        {"max_noise", Family::DcNoise, 0, 4096, false,
            [](CaptureLimits &l, double v) { l.maxNoise = v; }},
        {"min_enob", Family::Dynamic, 0, 32, false,
            [](CaptureLimits &l, double v) { l.minEnob = v; }},
        {"min_sinad", Family::Dynamic, 0, 300, false,
            [](CaptureLimits &l, double v) { l.minSinad = v; }},
        {"max_thd", Family::Dynamic, -300, 0, false,
            [](CaptureLimits &l, double v) { l.maxThd = v; }},
        {"min_sfdr", Family::Dynamic, 0, 300, false,
            [](CaptureLimits &l, double v) { l.minSfdr = v; }},
    };
    return keys;
}

bool fits(Family family, TestKind kind)
{
    switch (family) {
    case Family::DcNoise:
        return kind == TestKind::Dc;
    case Family::Linearity:
        return kind != TestKind::Dc;
    case Family::Dynamic:
        return kind == TestKind::Sine;
    }
    return false;
}

// A sine histogram gives DNL and INL as well as the record's dynamic figures;
// noise is measured on a DC input alone.
bool together(Family first, Family second)
{
    return (first == Family::DcNoise) == (second == Family::DcNoise);
}

class Reader
{
public:
    explicit Reader(QString path)
        : m_path(std::move(path))
    { }

    QString fail(const toml::node &node, const QString &reason) const
    {
        return QStringLiteral("%1:%2: %3").arg(m_path).arg(node.source().begin.line).arg(reason);
    }
    QString fail(const QString &reason) const
    {
        return QStringLiteral("%1: %2").arg(m_path, reason);
    }

    std::optional<QString> text(const toml::node &node, const char *key, QString &error) const
    {
        const std::optional<std::string> value = node.value<std::string>();
        if (!value || value->empty()) {
            error = fail(node, QStringLiteral("%1: needs a non-empty string").arg(key));
            return std::nullopt;
        }
        for (const unsigned char c : *value) {
            if (c < 0x20 || c == 0x7f) {
                error = fail(node, QStringLiteral("%1: has a control character").arg(key));
                return std::nullopt;
            }
        }
        return QString::fromStdString(*value);
    }

private:
    QString m_path;
};

} // namespace

LimitsFileReading readLimitsFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    if (file.size() > largestLimitsFile)
        return {std::nullopt, QStringLiteral("%1: larger than a limits file").arg(path)};
    const QByteArray contents = file.read(largestLimitsFile + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    return parseLimitsFile(path, contents);
}

LimitsFileReading parseLimitsFile(const QString &path, const QByteArray &contents)
{
    const Reader reader(path);
    toml::table root;
    try {
        root = toml::parse(std::string_view(contents.constData(), std::size_t(contents.size())),
            path.toStdString());
    } catch (const toml::parse_error &error) {
        return {std::nullopt,
            QStringLiteral("%1:%2: %3")
                .arg(path)
                .arg(error.source().begin.line)
                .arg(QString::fromUtf8(
                    error.description().data(), qsizetype(error.description().size())))};
    }

    LimitsFile result;
    result.path = QFileInfo(path).absoluteFilePath();
    result.sha256 = QString::fromLatin1(
        QCryptographicHash::hash(contents, QCryptographicHash::Sha256).toHex());
    QString error;
    const toml::table *limits = nullptr;
    for (const auto &[key, node] : root) {
        const std::string_view name = key.str();
        if (name == "name" || name == "revision") {
            const std::optional<QString> value = reader.text(node, name.data(), error);
            if (!value)
                return {std::nullopt, error};
            (name == "name" ? result.name : result.revision) = *value;
        } else if (name == "kind") {
            const std::optional<std::string> value = node.value<std::string>();
            result.kind = value ? testKindFromKey(*value) : std::nullopt;
            if (!result.kind)
                return {
                    std::nullopt, reader.fail(node, QStringLiteral("kind: one of dc, ramp, sine"))};
        } else if (name == "limits" && node.is_table()) {
            limits = node.as_table();
        } else {
            return {std::nullopt,
                reader.fail(node,
                    QStringLiteral("unknown key '%1'")
                        .arg(QString::fromUtf8(name.data(), qsizetype(name.size()))))};
        }
    }
    if (result.name.isEmpty())
        return {std::nullopt, reader.fail(QStringLiteral("needs a name (name = \"...\")"))};
    if (result.revision.isEmpty())
        return {std::nullopt, reader.fail(QStringLiteral("needs a revision (revision = \"...\")"))};
    if (!limits)
        return {std::nullopt, reader.fail(QStringLiteral("needs a [limits] table"))};

    // The family of the first limit read: a limit of the other fits no
    // histogram that fits the first.
    std::optional<Family> family;
    for (const auto &[key, node] : *limits) {
        const std::string name(key.str());
        const QString quoted = QString::fromStdString(name);
        if (name == "guard_band") {
            const std::optional<bool> value = node.value_exact<bool>();
            if (!value)
                return {
                    std::nullopt, reader.fail(node, QStringLiteral("guard_band: true or false"))};
            result.limits.guardBand = *value;
            result.keys.push_back(name);
            continue;
        }
        const auto known = std::ranges::find_if(
            limitKeys(), [&name](const LimitKey &limit) { return name == limit.key; });
        if (known == limitKeys().end())
            return {
                std::nullopt, reader.fail(node, QStringLiteral("unknown limit '%1'").arg(quoted))};
        std::optional<double> value;
        if (!known->whole)
            value = node.value<double>();
        else if (const std::optional<int64_t> count = node.value_exact<int64_t>())
            value = double(*count);
        if (!value || !std::isfinite(*value) || *value < known->low || *value > known->high) {
            return {std::nullopt,
                reader.fail(node,
                    QStringLiteral("%1: %2 from %3 to %4")
                        .arg(quoted,
                            known->whole ? QStringLiteral("a whole number")
                                         : QStringLiteral("a number"))
                        .arg(known->low)
                        .arg(known->high))};
        }
        if (result.kind && !fits(known->family, *result.kind)) {
            return {std::nullopt,
                reader.fail(node,
                    QStringLiteral("%1: not measured on a %2 histogram")
                        .arg(quoted, QString::fromLatin1(testKindKey(*result.kind))))};
        }
        if (family && !together(*family, known->family))
            return {std::nullopt,
                reader.fail(node,
                    QStringLiteral("%1: noise limits and DNL, INL or dynamic limits need "
                                   "different inputs (DC and ramp or sine)")
                        .arg(quoted))};
        family = known->family;
        known->set(result.limits, *value);
        result.keys.push_back(name);
    }
    return {std::move(result), {}};
}
