#include "ui/qt/ChmArchive.h"

#include <QFile>

#include <chm_lib.h>

#include <algorithm>

namespace jw::ui {

namespace {

std::uint32_t Le32(const QByteArray& bytes, qsizetype at) {
    const auto b = [&](qsizetype i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
    return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

std::uint16_t Le16(const QByteArray& bytes, qsizetype at) {
    const auto b = [&](qsizetype i) { return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at + i])); };
    return static_cast<std::uint16_t>(b(0) | (b(1) << 8));
}

// Text of a NUL-ended byte field (a #SYSTEM record holds one).
std::string CString(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\0');
    return std::string(bytes.constData(), static_cast<std::size_t>(end < 0 ? bytes.size() : end));
}

}  // namespace

std::map<std::uint32_t, std::string> ParseContextMap(const QByteArray& ivb, const QByteArray& strings) {
    std::map<std::uint32_t, std::string> map;
    if (ivb.size() < 4) return map;
    const qsizetype declared = static_cast<qsizetype>(std::min<std::uint32_t>(Le32(ivb, 0), 0x7fffffffu));
    const qsizetype usable = std::min(declared, ivb.size() - 4);
    for (qsizetype at = 4; at + 8 <= 4 + usable; at += 8) {
        const std::uint32_t context = Le32(ivb, at);
        const std::uint32_t offset = Le32(ivb, at + 4);
        if (offset >= static_cast<std::uint64_t>(strings.size())) continue;
        const qsizetype end = strings.indexOf('\0', static_cast<qsizetype>(offset));
        if (end < 0) continue;
        map[context] = std::string(strings.constData() + offset, static_cast<std::size_t>(end - static_cast<qsizetype>(offset)));
    }
    return map;
}

std::map<std::uint16_t, QByteArray> ParseSystemBlock(const QByteArray& system) {
    std::map<std::uint16_t, QByteArray> records;
    qsizetype at = 4;  // behind the version
    while (at + 4 <= system.size()) {
        const std::uint16_t code = Le16(system, at);
        const std::uint16_t length = Le16(system, at + 2);
        at += 4;
        if (at + length > system.size()) break;
        records[code] = system.mid(at, length);
        at += length;
    }
    return records;
}

std::optional<std::string> ResolveTopicPath(std::string_view recorded,
                                            const std::function<bool(const std::string&)>& exists) {
    std::string path(recorded);
    std::string anchor;
    if (const auto hash = path.find('#'); hash != std::string::npos) {
        anchor = path.substr(hash);
        path.erase(hash);
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty()) return std::nullopt;
    if (path.front() != '/') path.insert(path.begin(), '/');
    if (path.size() < 2 || !exists(path)) return std::nullopt;
    return path + anchor;
}

ChmArchive::ChmArchive(chmFile* file) : file_(file) {
    const QByteArray ivb = Read("/#IVB").value_or(QByteArray());
    const QByteArray strings = Read("/#STRINGS").value_or(QByteArray());
    contexts_ = ParseContextMap(ivb, strings);
    system_ = ParseSystemBlock(Read("/#SYSTEM").value_or(QByteArray()));
}

ChmArchive::~ChmArchive() { chm_close(file_); }

std::unique_ptr<ChmArchive> ChmArchive::Open(const QString& path) {
    if (path.isEmpty()) return nullptr;
    chmFile* file = chm_open(QFile::encodeName(path).constData());
    if (file == nullptr) return nullptr;
    return std::unique_ptr<ChmArchive>(new ChmArchive(file));
}

bool ChmArchive::Exists(const std::string& archivePath) const {
    chmUnitInfo info{};
    return chm_resolve_object(file_, archivePath.c_str(), &info) == CHM_RESOLVE_SUCCESS;
}

std::vector<std::string> ChmArchive::ObjectPaths() const {
    std::vector<std::string> paths;
    const auto add = [](chmFile*, chmUnitInfo* info, void* context) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(info->path);
        return CHM_ENUMERATOR_CONTINUE;
    };
    chm_enumerate(file_, CHM_ENUMERATE_ALL, add, &paths);
    return paths;
}

std::optional<QByteArray> ChmArchive::Read(const std::string& archivePath) const {
    chmUnitInfo info{};
    if (chm_resolve_object(file_, archivePath.c_str(), &info) != CHM_RESOLVE_SUCCESS) return std::nullopt;
    if (info.length > kMaxObjectSize) return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(info.length), '\0');
    if (info.length == 0) return bytes;
    const LONGINT64 got = chm_retrieve_object(file_, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                              static_cast<LONGINT64>(info.length));
    if (got != static_cast<LONGINT64>(info.length)) return std::nullopt;
    return bytes;
}

std::optional<std::string> ChmArchive::TopicForContext(std::uint32_t context) const {
    const auto found = contexts_.find(context);
    if (found == contexts_.end()) return std::nullopt;
    return ResolveTopicPath(found->second, [this](const std::string& p) { return Exists(p); });
}

std::string ChmArchive::DefaultTopic() const {
    const auto found = system_.find(2);
    if (found == system_.end()) return {};
    const std::string topic = CString(found->second);
    if (topic.empty()) return {};
    return ResolveTopicPath(topic, [this](const std::string& p) { return Exists(p); }).value_or(std::string());
}

QString ChmArchive::Title() const {
    const auto found = system_.find(3);
    if (found == system_.end()) return {};
    return QString::fromUtf8(CString(found->second));
}

}  // namespace jw::ui
