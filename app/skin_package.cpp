#include "app/skin_package.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "util/c_deleter.h"

namespace app {
namespace {

constexpr std::size_t kSeparatorLength = 7;
constexpr std::uint32_t kHeaderNumber = 330388837;  // 0x13B15565

// Each attempt costs one pass over the package; a random 7-byte marker almost
// never occurs in real data, so the bound is only reached by a broken RNG.
constexpr int kSeparatorAttempts = 4096;

const char kMessageMalformed[] = "格式不规范";
const char kMessageBadHeader[] = "校验头部未成功";
const char kMessageBadChecksum[] = "校验数据失败";
const char kMessageLoaded[] = "解包成功";

using ChecksumPtr = std::unique_ptr<GChecksum, util::CDeleter<g_checksum_free>>;

// Cuts `block` at every non-overlapping occurrence of `separator`, scanning
// from the start. Bytes after the last occurrence form a final piece only
// when there is at least one. Stops once more than `max_pieces` were found,
// so that a package of millions of empty pieces costs no more than a valid one.
std::vector<std::string_view> SplitBySeparator(std::string_view block,
                                               std::string_view separator,
                                               std::size_t max_pieces = SIZE_MAX) {
    std::vector<std::string_view> pieces;
    if (block.empty() || separator.empty()) return pieces;
    std::size_t start = 0;
    while (start <= block.size() && pieces.size() <= max_pieces) {
        std::size_t match = block.find(separator, start);
        if (match == std::string_view::npos) break;
        pieces.push_back(block.substr(start, match - start));
        start = match + separator.size();
    }
    if (start < block.size() && pieces.size() <= max_pieces) pieces.push_back(block.substr(start));
    return pieces;
}

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

// splitmix64: a fixed, well-mixed sequence so the same resources always get
// the same separator.
std::uint64_t NextCandidate(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string AssemblePackage(const std::vector<std::string_view>& pieces,
                            std::string_view separator) {
    std::size_t total = 0;
    for (std::string_view piece : pieces) total += piece.size() + separator.size();
    std::string package;
    package.reserve(total);
    for (std::string_view piece : pieces) {
        package.append(piece);
        package.append(separator);
    }
    return package;
}

bool SplitsBackExactly(std::string_view package, std::string_view separator,
                       const std::vector<std::string_view>& pieces) {
    std::vector<std::string_view> again = SplitBySeparator(package, separator);
    if (again.size() != pieces.size()) return false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (again[i] != pieces[i]) return false;
    }
    return true;
}

}  // namespace

std::string SkinPackage::Resource(int number) const {
    if (number < 1 || static_cast<std::size_t>(number) > resources.size()) return {};
    return resources[static_cast<std::size_t>(number) - 1];
}

std::string SkinPackageHeader() {
    std::string header = "Skin_res";
    for (int shift = 0; shift < 32; shift += 8) {
        header.push_back(static_cast<char>((kHeaderNumber >> shift) & 0xFFu));
    }
    return header;
}

std::string Md5Hex(const std::string& data) {
    ChecksumPtr checksum(g_checksum_new(G_CHECKSUM_MD5));
    // GChecksum takes gssize lengths; feed large blocks in slices.
    constexpr std::size_t kSlice = 1u << 30;
    for (std::size_t offset = 0; offset < data.size(); offset += kSlice) {
        std::size_t length = std::min(kSlice, data.size() - offset);
        g_checksum_update(checksum.get(),
                          reinterpret_cast<const guchar*>(data.data() + offset),
                          static_cast<gssize>(length));
    }
    // GLib already formats the digest as lowercase hexadecimal, two digits a
    // byte; copy it so the text outlives the checksum object.
    return std::string(g_checksum_get_string(checksum.get()));
}

bool ReadWholeFile(const std::string& path, std::size_t limit, std::string& content,
                   FileReadProblem* problem) {
    auto refuse = [problem](int system_error, std::string text) {
        if (problem) *problem = {system_error, std::move(text)};
        return false;
    };
    auto refuse_errno = [&refuse](int system_error) {
        return refuse(system_error, std::strerror(system_error));
    };
    // Non-blocking open: a FIFO without a writer must not stall the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return refuse_errno(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) return refuse_errno(errno);
    if (!S_ISREG(info.st_mode)) return refuse(0, "not a regular file");
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > limit) {
        return refuse(0, "larger than " + std::to_string(limit) + " bytes");
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(info.st_size));
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return refuse_errno(errno);
        }
        if (got == 0) break;
        // The file may grow while it is read; the limit still holds.
        if (data.size() + static_cast<std::size_t>(got) > limit) {
            return refuse(0, "larger than " + std::to_string(limit) + " bytes");
        }
        data.append(buffer.data(), static_cast<std::size_t>(got));
    }
    content = std::move(data);
    if (problem) *problem = {};
    return true;
}

bool LoadSkinPackage(const std::string& path, SkinPackage& table, std::string& message,
                     std::string* read_error) {
    std::string block;
    FileReadProblem problem;
    if (!ReadWholeFile(path, kMaxSkinPackageBytes, block, &problem)) block.clear();
    if (read_error) *read_error = problem.text;
    return ParseSkinPackage(block, table, message);
}

bool ParseSkinPackage(std::string_view whole, SkinPackage& table, std::string& message) {

    // Shorter than one separator: there is no separator to split by.
    if (whole.size() < kSeparatorLength) {
        message = kMessageMalformed;
        return false;
    }
    std::string_view separator = whole.substr(whole.size() - kSeparatorLength);
    // The header and checksum pieces come before the resources.
    constexpr std::size_t kMaxPieces = kMaxSkinResources + 2;
    std::vector<std::string_view> pieces = SplitBySeparator(whole, separator, kMaxPieces);
    if (pieces.empty() || pieces.size() > kMaxPieces) {
        message = kMessageMalformed;
        return false;
    }
    if (pieces.front() != SkinPackageHeader()) {
        message = kMessageBadHeader;
        return false;
    }
    // A header with nothing after it has no checksum to verify.
    if (pieces.size() < 2) {
        message = kMessageMalformed;
        return false;
    }

    std::string data;
    std::size_t data_size = 0;
    for (std::size_t i = 2; i < pieces.size(); ++i) data_size += pieces[i].size();
    data.reserve(data_size);
    for (std::size_t i = 2; i < pieces.size(); ++i) data.append(pieces[i]);

    // The digest may be followed by one terminating zero byte, nothing else.
    std::string_view stored = pieces[1];
    if (stored.size() == 33 && stored.back() == '\0') stored.remove_suffix(1);
    if (stored != Md5Hex(data)) {
        message = kMessageBadChecksum;
        return false;
    }

    std::vector<std::string> resources;
    resources.reserve(pieces.size() - 2);
    for (std::size_t i = 2; i < pieces.size(); ++i) resources.emplace_back(pieces[i]);
    table.resources = std::move(resources);
    message = kMessageLoaded;
    return true;
}

bool BuildSkinPackage(const std::vector<std::string>& resources, std::string& package,
                      std::string* error) {
    if (resources.size() > kMaxSkinResources) {
        SetError(error, std::to_string(resources.size()) + " resources; a package holds at most " +
                            std::to_string(kMaxSkinResources));
        return false;
    }
    // Header, checksum and one separator per piece: what the loader reads.
    std::size_t size = SkinPackageHeader().size() + 32 + 2 * kSeparatorLength;
    for (const std::string& resource : resources) size += resource.size() + kSeparatorLength;
    if (size > kMaxSkinPackageBytes) {
        SetError(error, "the package would be " + std::to_string(size) +
                            " bytes; the loader reads at most " +
                            std::to_string(kMaxSkinPackageBytes));
        return false;
    }
    std::string data;
    for (const std::string& resource : resources) data.append(resource);
    const std::string header = SkinPackageHeader();
    const std::string checksum = Md5Hex(data);

    std::vector<std::string_view> pieces;
    pieces.reserve(resources.size() + 2);
    pieces.push_back(header);
    pieces.push_back(checksum);
    for (const std::string& resource : resources) pieces.push_back(resource);

    std::uint64_t state = 0x536B696E5F726573ull;  // "Skin_res"
    for (int attempt = 0; attempt < kSeparatorAttempts; ++attempt) {
        std::uint64_t bits = NextCandidate(state);
        char separator[kSeparatorLength];
        for (std::size_t i = 0; i < kSeparatorLength; ++i) {
            separator[i] = static_cast<char>((bits >> (8 * i)) & 0xFFu);
        }
        std::string_view marker(separator, kSeparatorLength);
        // Cheap rejection first; the full re-split also catches occurrences
        // that straddle a piece and its separator.
        bool inside = false;
        for (std::string_view piece : pieces) {
            if (piece.find(marker) != std::string_view::npos) {
                inside = true;
                break;
            }
        }
        if (inside) continue;
        std::string candidate = AssemblePackage(pieces, marker);
        if (!SplitsBackExactly(candidate, marker, pieces)) continue;
        package = std::move(candidate);
        return true;
    }
    SetError(error, "no separator found that splits the package back exactly");
    return false;
}

bool WriteSkinPackage(const std::string& path, const std::vector<std::string>& resources,
                      std::string* error) {
    std::string package;
    if (!BuildSkinPackage(resources, package, error)) return false;

    // Written to a temporary file and renamed over `path`, so a failed write
    // never leaves a half-written package where a good one was.
    GError* failure = nullptr;
    if (!g_file_set_contents(path.c_str(), package.data(),
                             static_cast<gssize>(package.size()), &failure)) {
        SetError(error, "cannot write " + path + ": " +
                            (failure ? failure->message : "unknown error"));
        if (failure) g_error_free(failure);
        return false;
    }
    return true;
}

}  // namespace app
