// Read access to a compiled HTML help file (.chm) through chmlib: its
// objects (topics, images), the context map that ties help context numbers
// to topics, and the default topic and title from its system block.
//
// The context map lives in two objects: "#IVB" holds a 32-bit byte count and
// then pairs of 32-bit little-endian numbers (context number, offset into
// "#STRINGS"), and "#STRINGS" holds the NUL-ended topic paths.  Some help
// compilers record a topic there as the absolute path of the source file on
// the machine that built the file ("/home/x/build/help/backup.htm") rather
// than its path inside the archive; ResolveTopicPath maps such an entry back
// to the archive object it names.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;

namespace jw::ui {

// Context number -> topic path as recorded.  Entries whose offset lies
// outside "#STRINGS" or whose text has no NUL end are left out; a byte count
// larger than "#IVB" is cut to what is there.
std::map<std::uint32_t, std::string> ParseContextMap(const QByteArray& ivb, const QByteArray& strings);

// The "#SYSTEM" block: a 32-bit version, then records of a 16-bit code, a
// 16-bit length and that many bytes.  Code -> bytes (the last of a code
// wins); a record running past the end stops the reading.
std::map<std::uint16_t, QByteArray> ParseSystemBlock(const QByteArray& system);

// The archive path ("/dir/topic.htm", with its "#anchor" if the entry had
// one) of a recorded topic: "\" read as "/", a missing leading "/" added
// (Windows' viewer takes a recorded path from the archive's root).  nullopt
// when exists() does not hold for that path.
std::optional<std::string> ResolveTopicPath(std::string_view recorded,
                                            const std::function<bool(const std::string&)>& exists);

class ChmArchive {
public:
    // nullptr when the file cannot be opened as a compiled help file.
    static std::unique_ptr<ChmArchive> Open(const QString& path);
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    bool Exists(const std::string& archivePath) const;
    // The paths of all objects the archive holds, its own ("/#IVB") included.
    std::vector<std::string> ObjectPaths() const;
    // The whole object; nullopt when it does not exist, cannot be read or is
    // larger than kMaxObjectSize.
    std::optional<QByteArray> Read(const std::string& archivePath) const;

    const std::map<std::uint32_t, std::string>& ContextMap() const { return contexts_; }
    // The archive path of the topic of a context number; nullopt when the
    // file does not map the number or its topic is not in the archive.
    std::optional<std::string> TopicForContext(std::uint32_t context) const;
    // The default topic ("/index.htm"), empty when the file names none.
    std::string DefaultTopic() const;
    // The help file's title, empty when it has none.
    QString Title() const;

    static constexpr std::uint64_t kMaxObjectSize = 64u << 20;

private:
    explicit ChmArchive(chmFile* file);
    chmFile* file_;
    std::map<std::uint32_t, std::string> contexts_;
    std::map<std::uint16_t, QByteArray> system_;
};

}  // namespace jw::ui
