#include "deploy/TypeLibFile.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qor::deploy {

namespace {

[[noreturn]] void Malformed(const std::string& what) {
    throw std::runtime_error(what);
}

// Little-endian reads with bounds checks: a truncated file is an error, never a
// read past the end.
class Bytes {
  public:
    Bytes(std::span<const std::uint8_t> data, const char* what) : data_(data), what_(what) {}

    void Need(std::int64_t offset, std::int64_t size) const {
        if (offset < 0 || size < 0 || offset + size > static_cast<std::int64_t>(data_.size()))
            Malformed(std::string(what_) + ": truncated or bad offset " + std::to_string(offset));
    }
    std::uint16_t U16(std::int64_t offset) const {
        Need(offset, 2);
        return static_cast<std::uint16_t>(data_[offset] | data_[offset + 1] << 8);
    }
    std::uint32_t U32(std::int64_t offset) const {
        Need(offset, 4);
        return static_cast<std::uint32_t>(data_[offset]) |
               static_cast<std::uint32_t>(data_[offset + 1]) << 8 |
               static_cast<std::uint32_t>(data_[offset + 2]) << 16 |
               static_cast<std::uint32_t>(data_[offset + 3]) << 24;
    }
    std::int32_t I32(std::int64_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
    std::span<const std::uint8_t> Slice(std::int64_t offset, std::int64_t size) const {
        Need(offset, size);
        return data_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
    }

  private:
    std::span<const std::uint8_t> data_;
    const char* what_;
};

// Names and strings in a type library are 8-bit text; ours are ASCII, anything
// else is taken as Latin-1 so the result is always valid UTF-8.
std::string Utf8FromLatin1(std::span<const std::uint8_t> text) {
    std::string result;
    for (std::uint8_t c : text) {
        if (c < 0x80) {
            result += static_cast<char>(c);
        } else {
            result += static_cast<char>(0xC0 | c >> 6);
            result += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return result;
}

std::string Utf8FromUtf16(const Bytes& bytes, std::int64_t offset, std::size_t units) {
    std::string result;
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t c = bytes.U16(offset + 2 * static_cast<std::int64_t>(i));
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            const std::uint32_t low = bytes.U16(offset + 2 * static_cast<std::int64_t>(++i));
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
        if (c < 0x80) {
            result += static_cast<char>(c);
        } else if (c < 0x800) {
            result += static_cast<char>(0xC0 | c >> 6);
            result += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            result += static_cast<char>(0xE0 | c >> 12);
            result += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            result += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | c >> 18);
            result += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            result += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            result += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return result;
}

// The MSFT layout: a fixed header, one offset per type info, then a directory of
// fifteen segments (type infos, GUIDs, names, strings among them).
constexpr std::uint32_t kMsftMagic = 0x5446534D;  // "MSFT"
constexpr std::int64_t kHeaderSize = 0x54;
constexpr std::uint32_t kHasHelpDll = 0x100;
constexpr int kSegmentCount = 15;
constexpr int kTypeInfoSegment = 0, kGuidSegment = 5, kNameSegment = 7, kStringSegment = 8;

class MsftReader {
  public:
    explicit MsftReader(std::span<const std::uint8_t> data) : bytes_(data, "type library") {
        if (bytes_.U32(0) != kMsftMagic) Malformed("type library: not in MSFT format");
        varFlags_ = bytes_.U32(0x14);
        typeCount_ = bytes_.I32(0x20);
        if (typeCount_ < 0 || typeCount_ > 0x10000) Malformed("type library: bad type count");
        typeOffsets_ = kHeaderSize + ((varFlags_ & kHasHelpDll) ? 4 : 0);
        segments_ = typeOffsets_ + 4 * static_cast<std::int64_t>(typeCount_);
    }

    TypeLibFacts Read() const {
        TypeLibFacts lib;
        lib.guid = Guid(bytes_.I32(0x08));
        // The library's own locale is the second one; the first is where it was made.
        lib.lcid = bytes_.U32(0x10);
        lib.sysKind = static_cast<SysKind>(varFlags_ & 0xF);
        const std::uint32_t version = bytes_.U32(0x18);
        lib.major = static_cast<std::uint16_t>(version & 0xFFFF);
        lib.minor = static_cast<std::uint16_t>(version >> 16);
        lib.flags = static_cast<std::uint16_t>(bytes_.U32(0x1C));
        lib.helpString = String(bytes_.I32(0x24));
        lib.name = Name(bytes_.I32(0x38));
        for (int i = 0; i < typeCount_; ++i) {
            const std::int64_t info = Segment(kTypeInfoSegment) +
                                      bytes_.I32(typeOffsets_ + 4 * static_cast<std::int64_t>(i));
            TypeFacts type;
            type.kind = static_cast<TypeKind>(bytes_.U32(info) & 0xF);
            type.guid = Guid(bytes_.I32(info + 0x2C));
            type.flags = static_cast<std::uint16_t>(bytes_.U32(info + 0x30));
            type.name = Name(bytes_.I32(info + 0x34));
            type.helpString = String(bytes_.I32(info + 0x3C));
            lib.types.push_back(std::move(type));
        }
        return lib;
    }

  private:
    std::int64_t Segment(int index) const {
        if (index >= kSegmentCount) Malformed("type library: no such segment");
        return bytes_.I32(segments_ + 16 * index);
    }
    std::string Guid(std::int32_t offset) const {
        if (offset < 0) return {};  // a type without a GUID (an enum, an alias)
        const std::int64_t at = Segment(kGuidSegment) + offset;
        char text[40];
        auto b = bytes_.Slice(at + 8, 8);
        std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                      bytes_.U32(at), bytes_.U16(at + 4), bytes_.U16(at + 6), b[0], b[1], b[2],
                      b[3], b[4], b[5], b[6], b[7]);
        return text;
    }
    std::string Name(std::int32_t offset) const {
        if (offset < 0) return {};
        const std::int64_t at = Segment(kNameSegment) + offset;
        const std::uint32_t length = bytes_.U32(at + 8) & 0xFF;
        return Utf8FromLatin1(bytes_.Slice(at + 12, length));
    }
    std::string String(std::int32_t offset) const {
        if (offset < 0) return {};
        const std::int64_t at = Segment(kStringSegment) + offset;
        return Utf8FromLatin1(bytes_.Slice(at + 2, bytes_.U16(at)));
    }

    Bytes bytes_;
    std::uint32_t varFlags_ = 0;
    std::int32_t typeCount_ = 0;
    std::int64_t typeOffsets_ = 0;
    std::int64_t segments_ = 0;
};

// The resource tree of a PE image: type, then name or number, then language.
class PeResources {
  public:
    explicit PeResources(std::span<const std::uint8_t> data) : bytes_(data, "module") {
        if (bytes_.U16(0) != 0x5A4D) Malformed("module: not a Windows module (no MZ header)");
        const std::int64_t pe = bytes_.U32(0x3C);
        if (bytes_.U32(pe) != 0x00004550) Malformed("module: no PE signature");
        const std::int64_t coff = pe + 4;
        sectionCount_ = bytes_.U16(coff + 2);
        const std::int64_t optional = coff + 20;
        const std::uint16_t magic = bytes_.U16(optional);
        std::int64_t directories = 0;
        if (magic == 0x10B)
            directories = optional + 96;  // PE32
        else if (magic == 0x20B)
            directories = optional + 112;  // PE32+
        else
            Malformed("module: unknown optional header");
        const std::uint32_t directoryCount = bytes_.U32(directories - 4);
        sections_ = optional + bytes_.U16(coff + 16);
        if (directoryCount > 2) {
            const std::uint32_t rva = bytes_.U32(directories + 2 * 8);
            if (rva != 0) root_ = Offset(rva);
        }
    }

    // (number, bytes) of every resource of the named type, first language each.
    std::vector<std::pair<int, std::span<const std::uint8_t>>> OfType(
        const std::string& type) const {
        std::vector<std::pair<int, std::span<const std::uint8_t>>> found;
        if (root_ < 0) return found;
        for (const Entry& t : Entries(root_)) {
            if (!t.named || t.name != type || !t.directory) continue;
            for (const Entry& n : Entries(root_ + t.offset)) {
                if (n.named || !n.directory) continue;
                const auto languages = Entries(root_ + n.offset);
                if (languages.empty() || languages.front().directory)
                    Malformed("module: bad resource entry");
                const std::int64_t entry = root_ + languages.front().offset;
                found.emplace_back(n.id,
                                   bytes_.Slice(Offset(bytes_.U32(entry)), bytes_.U32(entry + 4)));
            }
        }
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        return found;
    }

  private:
    struct Entry {
        bool named = false;
        std::string name;
        int id = 0;
        bool directory = false;
        std::int64_t offset = 0;
    };

    std::vector<Entry> Entries(std::int64_t directory) const {
        const int count = bytes_.U16(directory + 12) + bytes_.U16(directory + 14);
        std::vector<Entry> entries;
        for (int i = 0; i < count; ++i) {
            const std::int64_t at = directory + 16 + 8 * static_cast<std::int64_t>(i);
            const std::uint32_t name = bytes_.U32(at);
            const std::uint32_t data = bytes_.U32(at + 4);
            Entry e;
            e.named = (name & 0x80000000u) != 0;
            if (e.named) {
                const std::int64_t text = root_ + (name & 0x7FFFFFFF);
                e.name = Utf8FromUtf16(bytes_, text + 2, bytes_.U16(text));
            } else {
                e.id = static_cast<int>(name & 0xFFFF);
            }
            e.directory = (data & 0x80000000u) != 0;
            e.offset = data & 0x7FFFFFFF;
            entries.push_back(std::move(e));
        }
        return entries;
    }

    std::int64_t Offset(std::uint32_t rva) const {
        for (int i = 0; i < sectionCount_; ++i) {
            const std::int64_t s = sections_ + 40 * static_cast<std::int64_t>(i);
            const std::uint32_t address = bytes_.U32(s + 12);
            const std::uint32_t size = std::max(bytes_.U32(s + 8), bytes_.U32(s + 16));
            if (rva >= address && rva < address + size) return bytes_.U32(s + 20) + (rva - address);
        }
        Malformed("module: address outside every section");
    }

    Bytes bytes_;
    int sectionCount_ = 0;
    std::int64_t sections_ = 0;
    std::int64_t root_ = -1;
};

}  // namespace

TypeLibFacts ReadTypeLib(std::span<const std::uint8_t> bytes) {
    return MsftReader(bytes).Read();
}

std::vector<EmbeddedTypeLib> ReadEmbeddedTypeLibs(std::span<const std::uint8_t> module) {
    std::vector<EmbeddedTypeLib> libs;
    for (const auto& [number, bytes] : PeResources(module).OfType("TYPELIB"))
        libs.push_back({number, ReadTypeLib(bytes)});
    return libs;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace qor::deploy
