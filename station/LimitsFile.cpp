#include "LimitsFile.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QString>

#include <toml++/toml.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

// Larger files are not limits files; reading one whole would only waste memory.
constexpr std::streamsize largestLimitsFile = 1 << 20;

using Reading = StationResult<LimitsFile>;

std::string numberText(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

class Reader
{
public:
    explicit Reader(std::string path)
        : m_path(std::move(path))
    { }

    Reading fail(const toml::node &node, const std::string &reason) const
    {
        return Reading::failure(
            m_path + ":" + std::to_string(node.source().begin.line) + ": " + reason);
    }
    Reading fail(const std::string &reason) const
    {
        return Reading::failure(m_path + ": " + reason);
    }

    // A name or revision: non-empty printable text.
    bool text(const toml::node &node, std::string_view key, std::string &value,
        std::string &problem) const
    {
        const std::optional<std::string> given = node.value<std::string>();
        if (!given || given->empty()) {
            problem = std::string(key) + ": needs a non-empty string";
            return false;
        }
        for (const unsigned char c : *given) {
            if (c < 0x20 || c == 0x7f) {
                problem = std::string(key) + ": has a control character";
                return false;
            }
        }
        value = *given;
        return true;
    }

private:
    std::string m_path;
};

std::string absolutePath(const std::string &path)
{
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
}

std::string sha256Hex(std::string_view contents)
{
    return QCryptographicHash::hash(
        QByteArrayView(contents.data(), qsizetype(contents.size())), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

} // namespace

StationResult<LimitsFile> readLimitsFile(const std::string &path)
{
    // A FIFO or a device would never end, a directory cannot be read: only a
    // regular file is a limits file.
    struct stat status
    { };
    if (::stat(path.c_str(), &status) != 0)
        return Reading::failure("cannot read " + path + ": " + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return Reading::failure("cannot read " + path + ": not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Reading::failure("cannot read " + path + ": " + std::strerror(errno));
    std::string contents(std::size_t(largestLimitsFile + 1), '\0');
    in.read(contents.data(), largestLimitsFile + 1);
    if (in.bad())
        return Reading::failure("cannot read " + path + ": " + std::strerror(errno));
    contents.resize(std::size_t(in.gcount()));
    if (std::streamsize(contents.size()) > largestLimitsFile)
        return Reading::failure(path + ": larger than a limits file");
    return parseLimitsFile(path, contents);
}

StationResult<LimitsFile> parseLimitsFile(const std::string &path, std::string_view contents)
{
    const Reader reader(path);
    toml::table root;
    try {
        root = toml::parse(contents, path);
    } catch (const toml::parse_error &error) {
        return Reading::failure(path + ":" + std::to_string(error.source().begin.line) + ": "
            + std::string(error.description()));
    }

    LimitsFile result;
    result.path = absolutePath(path);
    result.sha256 = sha256Hex(contents);
    std::string problem;
    const toml::table *limits = nullptr;
    for (const auto &[key, node] : root) {
        const std::string_view name = key.str();
        if (name == "name" || name == "revision") {
            if (!reader.text(node, name, name == "name" ? result.name : result.revision, problem))
                return reader.fail(node, problem);
        } else if (name == "kind") {
            const std::optional<std::string> value = node.value<std::string>();
            result.kind = value ? testKindFromKey(*value) : std::nullopt;
            if (!result.kind)
                return reader.fail(node, "kind: one of dc, ramp, sine");
        } else if (name == "limits" && node.is_table()) {
            limits = node.as_table();
        } else {
            return reader.fail(node, "unknown key '" + std::string(name) + "'");
        }
    }
    if (result.name.empty())
        return reader.fail("needs a name (name = \"...\")");
    if (result.revision.empty())
        return reader.fail("needs a revision (revision = \"...\")");
    if (!limits)
        return reader.fail("needs a [limits] table");

    // The first limit read: a limit that does not fit with it fits no input.
    const LimitDefinition *first = nullptr;
    for (const auto &[key, node] : *limits) {
        const std::string name(key.str());
        if (name == "guard_band") {
            const std::optional<bool> value = node.value_exact<bool>();
            if (!value)
                return reader.fail(node, "guard_band: true or false");
            result.limits.guardBand = *value;
            result.keys.push_back(name);
            continue;
        }
        const LimitDefinition *known = findLimit(name);
        if (!known || known->key != name)
            return reader.fail(node, "unknown limit '" + name + "'");
        std::optional<double> value;
        if (!known->whole())
            value = node.value<double>();
        else if (const std::optional<int64_t> count = node.value_exact<int64_t>())
            value = double(*count);
        if (!value || !std::isfinite(*value) || *value < known->low || *value > known->high) {
            return reader.fail(node,
                name + ": " + (known->whole() ? "a whole number" : "a number") + " from "
                    + numberText(known->low) + " to " + numberText(known->high));
        }
        if (result.kind && !known->measurableOn(*result.kind))
            return reader.fail(
                node, name + ": not measured on a " + testKindKey(*result.kind) + " histogram");
        if (first && !first->fitsWith(*known))
            return reader.fail(node,
                name
                    + ": noise limits and DNL, INL or dynamic limits need different inputs "
                      "(DC and ramp or sine)");
        if (!first)
            first = known;
        result.limits.set(*known, *value);
        result.keys.push_back(name);
    }
    // A file without a limit would pass every board it is given.
    if (result.limits.empty())
        return reader.fail(
            *limits, "[limits] sets no limit: a board held to nothing always passes");
    return result;
}
